// Small encoders for the older ZIP methods, used only to make test data: shrinking, reducing and
// imploding as PKWARE's APPNOTE describes them. They aim at coverage of the format (every code
// width, partial clears, each compression factor, each dictionary and tree combination), not at
// good compression.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace flashsaver::legacy_test {

using Bytes = std::vector<uint8_t>;

// Bits go out least significant first, as the older methods store them.
class BitWriter {
 public:
  void Put(uint32_t value, int n);
  Bytes Finish();

 private:
  Bytes out_;
  uint32_t acc_ = 0;
  int count_ = 0;
};

struct ShrinkOptions {
  // Also clear partially after this many codes, table full or not; 0: only when it is full.
  size_t clear_every = 0;
};
struct ShrinkStats {
  int widest = 9;
  int widenings = 0;
  int partial_clears = 0;
  int kwkwk = 0;            // codes sent for the string that the decoder is about to add
  int freed_last_code = 0;  // clears that freed the code just sent, which is still extended
};
Bytes Shrink(const Bytes& data, ShrinkOptions options = {}, ShrinkStats* stats = nullptr);

struct ReduceStats {
  int matches = 0;
  int long_matches = 0;  // with the extra length byte
  int escaped_dles = 0;
  int far_matches = 0;  // using the highest distance bits of the factor
  int follower_sets = 0;
  int single_follower_sets = 0;
};
// Valid shrink streams written code by code, one for each rule of the format; unzip and 7-Zip
// read them as `text`.
struct HandMadeStream {
  const char* label;
  Bytes stream;
  Bytes text;
};
std::vector<HandMadeStream> HandMadeShrinkStreams();

// factor: 1 to 4; the entry's method is factor + 1.
Bytes Reduce(const Bytes& data, int factor, ReduceStats* stats = nullptr);

struct ImplodeStats {
  int matches = 0;
  int long_matches = 0;  // length code 63 with the extra byte
  int far_matches = 0;   // distances beyond 4 KB
  int literals = 0;
  int longest_code = 0;
};
// The general-purpose flags that go with the choice: bit 1 for 8 KB, bit 2 for the literal tree.
uint16_t ImplodeFlags(bool dictionary_8k, bool literal_tree);
Bytes Implode(const Bytes& data, bool dictionary_8k, bool literal_tree,
              ImplodeStats* stats = nullptr);

// Pieces of imploding for hand-made streams: the codes of a tree as APPNOTE builds them (each
// left-aligned in 16 bits), a tree in its stored form, and one code as it is sent.
std::vector<uint16_t> ShannonFanoCodes(const std::vector<int>& lengths);
void PutTree(BitWriter& out, const std::vector<int>& lengths);
void PutCode(BitWriter& out, uint16_t code, int length);

}  // namespace flashsaver::legacy_test
