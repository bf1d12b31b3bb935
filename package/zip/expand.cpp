// Expanding (methods 2 to 5, "reduced" with compression factor 1 to 4).
//
// Format notes:
// - The data start with 256 follower sets, for byte values 255 down to 0: a 6-bit count N
//   (at most 32) and N 8-bit bytes. Bits are read least significant first.
// - Then a byte stream follows, each byte coded against the byte before it (0 at the start):
//   with an empty follower set it is 8 plain bits; otherwise a 1 bit is followed by 8 plain
//   bits, and a 0 bit by an index of B(N) bits into the set, B(N) being the bits needed for
//   N - 1 but at least 1.
// - Those bytes are a stream with an escape byte, DLE = 144: DLE 0 is a literal 144; DLE V with
//   V != 0 starts a back reference. The low 8 - factor bits of V give the length; when they are
//   all ones, one more byte is added to it. The next byte C and the high factor bits of V give
//   the distance (high * 256 + C + 1). The reference copies length + 3 bytes; bytes before the
//   start of the output are zeros.
// - There is no end code: the stream ends with the entry's uncompressed size.
#include <cstdint>
#include <memory>

#include "package/zip/legacy_methods.h"
#include "package/zip/lsb_bit_reader.h"
#include "package/zip/output_window.h"

namespace flashsaver {
namespace {

constexpr unsigned kDle = 144;
constexpr unsigned kMaxFollowers = 32;

struct ExpandState {
  ExpandState(CompressedInput& in, DecodedOutput& out, uint64_t size)
      : bits(in), window(out, size) {}

  LsbBitReader bits;
  OutputWindow window;
  uint8_t count[256];
  uint8_t index_bits[256];
  uint8_t followers[256][kMaxFollowers];
};

int IndexBits(unsigned n) {
  int bits = 1;
  while ((1u << bits) < n) ++bits;
  return bits;
}

// Return codes:
//   0  the follower sets were read
//   1  the input ran out
//  -1  a set claims more than 32 followers
int ReadFollowerSets(ExpandState& s) {
  for (int value = 255; value >= 0; --value) {
    unsigned n = s.bits.Bits(6);
    if (n > kMaxFollowers) return -1;
    s.count[value] = static_cast<uint8_t>(n);
    s.index_bits[value] = static_cast<uint8_t>(IndexBits(n));
    for (unsigned i = 0; i < n; ++i) s.followers[value][i] = static_cast<uint8_t>(s.bits.Bits(8));
  }
  return s.bits.Exhausted() ? 1 : 0;
}

// Return codes:
//   0  the uncompressed size was reached
//   1  the input ran out first
//  -1  a set claims more than 32 followers
//  -2  an index points past the end of its follower set
int Decode(ExpandState& s, int factor) {
  int err = ReadFollowerSets(s);
  if (err != 0) return err;

  const unsigned length_mask = 0xFFu >> factor;
  const int distance_shift = 8 - factor;
  unsigned last = 0;
  int state = 0;
  unsigned v = 0;
  size_t length = 0;
  while (!s.window.Full()) {
    unsigned c;
    unsigned n = s.count[last];
    if (n == 0) {
      c = s.bits.Bits(8);
    } else if (s.bits.Bits(1) != 0) {
      c = s.bits.Bits(8);
    } else {
      unsigned i = s.bits.Bits(s.index_bits[last]);
      if (i >= n) return s.bits.Exhausted() ? 1 : -2;
      c = s.followers[last][i];
    }
    if (s.bits.Exhausted()) return 1;
    last = c;

    switch (state) {
      case 0:
        if (c == kDle) {
          state = 1;
        } else {
          s.window.Put(static_cast<uint8_t>(c));
        }
        break;
      case 1:
        if (c == 0) {
          s.window.Put(kDle);
          state = 0;
        } else {
          v = c;
          length = v & length_mask;
          state = length == length_mask ? 2 : 3;
        }
        break;
      case 2:
        length += c;
        state = 3;
        break;
      default:
        s.window.Copy(((v >> distance_shift) << 8) + c + 1, length + 3);
        state = 0;
        break;
    }
  }
  return 0;
}

}  // namespace

void Expand(CompressedInput& in, DecodedOutput& out, int factor, uint64_t uncompressed_size) {
  if (factor < 1 || factor > 4) return;
  auto state = std::make_unique<ExpandState>(in, out, uncompressed_size);
  Decode(*state, factor);
  state->window.Flush();
}

}  // namespace flashsaver
