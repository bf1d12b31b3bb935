// Damaged and hostile streams: the decoders never crash, never hang and never deliver more than
// the uncompressed size; they stop with short or wrong output for the CRC test to reject.
// AddressSanitizer and UndefinedBehaviorSanitizer watch every case.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <stdexcept>

#include "tests/unit/legacy/legacy_encoders.h"
#include "tests/unit/legacy/legacy_test_support.h"

namespace flashsaver::legacy_test {
namespace {

struct Codec {
  const char* name;
  uint16_t method;
  uint16_t flags;
  std::function<Bytes(const Bytes&)> encode;
};

std::vector<Codec> Codecs() {
  return {
      {"shrink", 1, 0, [](const Bytes& d) { return Shrink(d); }},
      {"reduce 1", 2, 0, [](const Bytes& d) { return Reduce(d, 1); }},
      {"reduce 2", 3, 0, [](const Bytes& d) { return Reduce(d, 2); }},
      {"reduce 3", 4, 0, [](const Bytes& d) { return Reduce(d, 3); }},
      {"reduce 4", 5, 0, [](const Bytes& d) { return Reduce(d, 4); }},
      {"implode 4K 2 trees", 6, 0, [](const Bytes& d) { return Implode(d, false, false); }},
      {"implode 4K 3 trees", 6, 4, [](const Bytes& d) { return Implode(d, false, true); }},
      {"implode 8K 2 trees", 6, 2, [](const Bytes& d) { return Implode(d, true, false); }},
      {"implode 8K 3 trees", 6, 6, [](const Bytes& d) { return Implode(d, true, true); }},
  };
}

bool IsPrefix(const Bytes& part, const Bytes& whole) {
  return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

TEST(LegacyRobustness, TruncatedStreamsGiveAShortPrefix) {
  const Bytes data = TextSample(30000, 21);
  for (const Codec& c : Codecs()) {
    const Bytes packed = c.encode(data);
    for (size_t keep : {size_t{0}, size_t{1}, size_t{2}, size_t{40}, size_t{300}, packed.size() / 2,
                        packed.size() - 1}) {
      SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(keep) + " bytes kept");
      const Bytes cut(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(keep));
      const Bytes out = Decode(c.method, c.flags, cut, data.size());
      EXPECT_LT(out.size(), data.size());
      EXPECT_TRUE(IsPrefix(out, data)) << "a truncated stream produced wrong bytes";
    }
  }
}

TEST(LegacyRobustness, DecodingStopsAtTheUncompressedSize) {
  const Bytes data = RunsSample(200000, 22);
  for (const Codec& c : Codecs()) {
    const Bytes packed = c.encode(data);
    for (uint64_t size : {uint64_t{0}, uint64_t{1}, uint64_t{1000}, uint64_t{65537}}) {
      SCOPED_TRACE(std::string(c.name) + ", size " + std::to_string(size));
      const Bytes out = Decode(c.method, c.flags, packed, size);
      EXPECT_EQ(out.size(), size);
      EXPECT_TRUE(IsPrefix(out, data));
    }
    // A declared size beyond the data ends with the input.
    SCOPED_TRACE(c.name);
    const Bytes out = Decode(c.method, c.flags, packed, uint64_t{1} << 40);
    EXPECT_GE(out.size(), data.size());
    EXPECT_LE(out.size(), data.size() + 400);
    EXPECT_TRUE(IsPrefix(data, out));
  }
}

TEST(LegacyRobustness, FlippedBitsAndGarbageStayBounded) {
  const Bytes data = TextSample(20000, 23);
  std::mt19937 rng(24);
  for (const Codec& c : Codecs()) {
    SCOPED_TRACE(c.name);
    const Bytes packed = c.encode(data);
    for (int round = 0; round < 40; ++round) {
      Bytes damaged = packed;
      const int flips = 1 + round % 4;
      for (int i = 0; i < flips; ++i) damaged[rng() % damaged.size()] ^= 1u << (rng() % 8);
      const uint64_t size = round % 5 == 0 ? uint64_t{1} << 32 : data.size();
      const Bytes out = Decode(c.method, c.flags, damaged, size);
      // A flipped bit early in the stream may make it longer, never without bound: every
      // output byte costs input bits, at most 318 bytes per match.
      EXPECT_LE(out.size(), std::min<uint64_t>(size, damaged.size() * 8 * 320));
    }
    for (int round = 0; round < 40; ++round) {
      const Bytes garbage = RandomSample(rng() % 3000, static_cast<uint32_t>(rng()));
      const uint64_t size = round % 2 == 0 ? uint64_t{1} << 32 : rng() % 100000;
      const Bytes out = Decode(c.method, c.flags, garbage, size);
      EXPECT_LE(out.size(), std::min<uint64_t>(size, garbage.size() * 8 * 320 + 320));
    }
  }
}

// Hand-made streams, each with the output that shows where the decoder stopped.
struct Crafted {
  const char* label;
  uint16_t method;
  uint16_t flags;
  std::function<void(BitWriter&)> write;
  uint64_t size;
  Bytes expected;
};

void Codes(BitWriter& out, int width, std::initializer_list<unsigned> codes) {
  for (unsigned code : codes) out.Put(code, width);
}

void NoFollowers(BitWriter& out) {
  for (int i = 0; i < 256; ++i) out.Put(0, 6);
}

std::vector<int> Flat64() { return std::vector<int>(64, 6); }

// A back reference of an implode stream with two flat trees and a 4 KB dictionary.
void FlatMatch(BitWriter& out, unsigned distance, unsigned length) {
  const auto codes = ShannonFanoCodes(Flat64());
  out.Put(0, 1);
  out.Put((distance - 1) & 63, 6);
  PutCode(out, codes[(distance - 1) >> 6], 6);
  PutCode(out, codes[length - 2], 6);
}

std::vector<Crafted> CraftedStreams() {
  const Bytes ab{'A', 'B'};
  return {
      {"shrink: widening past 13 bits stops", 1, 0,
       [](BitWriter& o) {
         Codes(o, 9, {'A', 256, 1});
         Codes(o, 10, {256, 1});
         Codes(o, 11, {256, 1});
         Codes(o, 12, {256, 1});
         Codes(o, 13, {'B', 256, 1, 'C'});
       },
       10, ab},
      {"shrink: unknown control code stops", 1, 0,
       [](BitWriter& o) {
         Codes(o, 9, {'A', 'B', 256, 3, 'C'});
       },
       10, ab},
      {"shrink: first code names an empty slot",
       1,
       0,
       [](BitWriter& o) {
         Codes(o, 9, {300, 'A'});
       },
       10,
       {}},
      {"shrink: code names an empty slot beyond the next", 1, 0,
       [](BitWriter& o) {
         Codes(o, 9, {'A', 'B', 300, 'C'});
       },
       10, ab},
      {"shrink: a freed slot is not named again",
       1,
       0,
       // 257 = AB, 258 = BA; the clear frees both (leaves); 259 is no longer known.
       [](BitWriter& o) {
         Codes(o, 9, {'A', 'B', 'A', 256, 2, 258, 'C'});
       },
       20,
       {'A', 'B', 'A'}},
      {"reduce: more than 32 followers", 5, 0, [](BitWriter& o) { o.Put(33, 6); }, 10, {}},
      {"reduce: index past the follower set",
       5,
       0,
       [](BitWriter& o) {
         // S(255) = {'x', 'y', 'z'}, all others empty; then 255 and a 2-bit index of 3.
         o.Put(3, 6);
         for (unsigned c : {'x', 'y', 'z'}) o.Put(c, 8);
         for (int i = 0; i < 255; ++i) o.Put(0, 6);
         o.Put(255, 8);
         o.Put(0, 1);
         o.Put(1, 2);
         o.Put(0, 1);
         o.Put(3, 2);
       },
       10,
       {255, 'y'}},
      {"reduce: a reference before the start reads zeros",
       5,
       0,
       [](BitWriter& o) {
         NoFollowers(o);
         for (unsigned c : {144u, 0x01u, 0x00u, unsigned{'x'}}) o.Put(c, 8);
       },
       5,
       {0, 0, 0, 0, 'x'}},
      {"reduce: DLE 0 is a literal 144, factor 1 long length", 2, 0,
       [](BitWriter& o) {
         NoFollowers(o);
         // 'a', 144 0, then length 127 + 2 (+3) from distance 2.
         for (unsigned c : {unsigned{'a'}, 144u, 0u, 144u, 0x7Fu, 2u, 1u}) o.Put(c, 8);
       },
       134,
       [] {
         Bytes b{'a', 144};
         for (int i = 0; i < 132; ++i) b.push_back(i % 2 == 0 ? 'a' : 144);
         return b;
       }()},
      {"implode: tree of too few symbols",
       6,
       0,
       [](BitWriter& o) {
         o.Put(0, 8);
         o.Put(0xF5, 8);  // 16 symbols of 6 bits
       },
       10,
       {}},
      {"implode: over-subscribed tree",
       6,
       0,
       [](BitWriter& o) { PutTree(o, std::vector<int>(64, 5)); },
       10,
       {}},
      {"implode: pattern outside an incomplete tree",
       6,
       0,
       [](BitWriter& o) {
         std::vector<int> lengths(64, 7);  // half of the 7-bit patterns are no code
         PutTree(o, lengths);
         PutTree(o, Flat64());
         o.Put(1, 1);
         o.Put('A', 8);
         o.Put(0, 1);
         o.Put(0, 6);
         PutCode(o, ShannonFanoCodes(Flat64())[0], 6);
         o.Put(0, 7);  // the length: every code of this tree starts with a 1
       },
       10,
       {'A'}},
      {"implode: a reference before the start reads zeros",
       6,
       0,
       [](BitWriter& o) {
         PutTree(o, Flat64());
         PutTree(o, Flat64());
         FlatMatch(o, 100, 5);
         o.Put(1, 1);
         o.Put('x', 8);
         FlatMatch(o, 1, 3);
       },
       9,
       {0, 0, 0, 0, 0, 'x', 'x', 'x', 'x'}},
  };
}

TEST(LegacyRobustness, CraftedStreams) {
  for (const Crafted& c : CraftedStreams()) {
    SCOPED_TRACE(c.label);
    BitWriter writer;
    c.write(writer);
    const Bytes stream = writer.Finish();
    EXPECT_EQ(Decode(c.method, c.flags, stream, c.size), c.expected);
  }
}

class ThrowingOutput : public DecodedOutput {
 public:
  void WriteBlock(const uint8_t*, size_t) override { throw std::runtime_error("too big"); }
};

TEST(LegacyRobustness, AnOutputErrorLeavesTheDecoder) {
  const Bytes data = TextSample(100000, 25);
  for (const Codec& c : Codecs()) {
    SCOPED_TRACE(c.name);
    const Bytes packed = c.encode(data);
    MemoryInput in(packed);
    ThrowingOutput out;
    auto run = [&] {
      if (c.method == 1) Unshrink(in, out, data.size());
      if (c.method >= 2 && c.method <= 5) Expand(in, out, c.method - 1, data.size());
      if (c.method == 6) Explode(in, out, c.flags, data.size());
    };
    EXPECT_THROW(run(), std::runtime_error);
  }
}

TEST(LegacyRobustness, FactorOutsideOneToFourDecodesNothing) {
  const Bytes packed = Reduce(TextSample(1000, 26), 4);
  for (int factor : {0, 5, -1}) {
    MemoryInput in(packed);
    MemoryOutput out;
    Expand(in, out, factor, 1000);
    EXPECT_TRUE(out.bytes.empty()) << factor;
  }
}

}  // namespace
}  // namespace flashsaver::legacy_test
