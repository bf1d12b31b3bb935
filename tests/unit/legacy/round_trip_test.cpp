// Data made by the test encoders decodes back to the original, in every variant of each method
// and in the chunk sizes the archive reader may hand over.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "tests/unit/legacy/legacy_encoders.h"
#include "tests/unit/legacy/legacy_test_support.h"

namespace flashsaver::legacy_test {
namespace {

struct Sample {
  const char* name;
  std::function<Bytes()> make;
};

const std::vector<Sample>& Samples() {
  static const std::vector<Sample> samples = {
      {"empty", [] { return Bytes{}; }},
      {"one byte", [] { return Bytes{144}; }},
      {"text 200 KB", [] { return TextSample(200000, 1); }},
      {"small alphabet 120 KB", [] { return RandomSample(120000, 2, 5); }},
      {"random 40 KB", [] { return RandomSample(40000, 3); }},
      {"runs 100 KB", [] { return RunsSample(100000, 4); }},
      {"zeros 70 KB", [] { return Bytes(70000, 0); }},
  };
  return samples;
}

void ExpectRoundTrip(uint16_t method, uint16_t flags, const Bytes& data, const Bytes& packed) {
  for (size_t chunk : {size_t{32768}, size_t{4093}, size_t{1}}) {
    if (chunk == 1 && data.size() > 50000) continue;  // byte-wise input on the smaller samples
    SCOPED_TRACE("chunk " + std::to_string(chunk));
    MemoryInput in(packed, chunk);
    MemoryOutput out;
    if (method == 1) Unshrink(in, out, data.size());
    if (method >= 2 && method <= 5) Expand(in, out, method - 1, data.size());
    if (method == 6) Explode(in, out, flags, data.size());
    ASSERT_EQ(out.bytes.size(), data.size());
    EXPECT_TRUE(out.bytes == data) << "decoded bytes differ";
    EXPECT_LE(out.largest_block, 32768u);
  }
}

TEST(LegacyRoundTrip, Shrink) {
  int kwkwk = 0;
  int freed_last_code = 0;
  for (const Sample& s : Samples()) {
    SCOPED_TRACE(s.name);
    Bytes data = s.make();
    ShrinkStats stats;
    Bytes packed = Shrink(data, {}, &stats);
    ExpectRoundTrip(1, 0, data, packed);
    kwkwk += stats.kwkwk;
    freed_last_code += stats.freed_last_code;
  }
  EXPECT_GT(kwkwk, 10) << "no code named the string being added";
  EXPECT_GT(freed_last_code, 0) << "no clear freed the code just sent";
}

TEST(LegacyRoundTrip, HandMadeShrinkStreams) {
  for (const HandMadeStream& h : HandMadeShrinkStreams()) {
    SCOPED_TRACE(h.label);
    EXPECT_EQ(Decode(1, 0, h.stream, h.text.size()), h.text);
  }
}

// Megabytes of text meet a clear that frees the code just sent, whose slot then takes a new
// string before the string added after it is read.
TEST(LegacyRoundTrip, ShrinkOfMegabytes) {
  const Bytes data = TextSample(3000000, 31);
  const Bytes packed = Shrink(data);
  MemoryInput in(packed);
  MemoryOutput out;
  Unshrink(in, out, data.size());
  EXPECT_TRUE(out.bytes == data);
}

TEST(LegacyRoundTrip, ShrinkReachesThirteenBitsAndClearsPartially) {
  ShrinkStats stats;
  Bytes data = RandomSample(120000, 2, 5);
  Bytes packed = Shrink(data, {}, &stats);
  EXPECT_EQ(stats.widenings, 4);
  EXPECT_EQ(stats.widest, 13);
  EXPECT_GT(stats.partial_clears, 0);
  ExpectRoundTrip(1, 0, data, packed);
}

TEST(LegacyRoundTrip, ShrinkWithEarlyPartialClears) {
  for (size_t every : {size_t{1}, size_t{50}, size_t{700}}) {
    SCOPED_TRACE("clear every " + std::to_string(every));
    ShrinkStats stats;
    Bytes data = TextSample(every == 1 ? 3000 : 40000, 7);
    Bytes packed = Shrink(data, {every}, &stats);
    EXPECT_GT(stats.partial_clears, 10);
    ExpectRoundTrip(1, 0, data, packed);
  }
}

TEST(LegacyRoundTrip, ReduceWithEachFactor) {
  for (int factor = 1; factor <= 4; ++factor) {
    ReduceStats total;
    for (const Sample& s : Samples()) {
      SCOPED_TRACE("factor " + std::to_string(factor) + ", " + s.name);
      Bytes data = s.make();
      ReduceStats stats;
      Bytes packed = Reduce(data, factor, &stats);
      ExpectRoundTrip(static_cast<uint16_t>(factor + 1), 0, data, packed);
      total.matches += stats.matches;
      total.long_matches += stats.long_matches;
      total.far_matches += stats.far_matches;
      total.escaped_dles += stats.escaped_dles;
      total.follower_sets += stats.follower_sets;
      total.single_follower_sets += stats.single_follower_sets;
    }
    // The samples reach every part of the format.
    SCOPED_TRACE("factor " + std::to_string(factor));
    EXPECT_GT(total.matches, 1000);
    EXPECT_GT(total.long_matches, 10);
    EXPECT_GT(total.far_matches, 10);
    EXPECT_GT(total.escaped_dles, 10);
    EXPECT_GT(total.follower_sets, 10);
    EXPECT_GT(total.single_follower_sets, 0);
  }
}

TEST(LegacyRoundTrip, ImplodeWithEachDictionaryAndTreeCount) {
  for (bool big : {false, true}) {
    for (bool literal_tree : {false, true}) {
      const std::string variant =
          std::string(big ? "8K" : "4K") + (literal_tree ? " 3 trees" : " 2 trees");
      ImplodeStats total;
      for (const Sample& s : Samples()) {
        SCOPED_TRACE(variant + ", " + s.name);
        Bytes data = s.make();
        ImplodeStats stats;
        Bytes packed = Implode(data, big, literal_tree, &stats);
        ExpectRoundTrip(6, ImplodeFlags(big, literal_tree), data, packed);
        total.matches += stats.matches;
        total.long_matches += stats.long_matches;
        total.far_matches += stats.far_matches;
        total.literals += stats.literals;
        total.longest_code = std::max(total.longest_code, stats.longest_code);
      }
      SCOPED_TRACE(variant);
      EXPECT_GT(total.matches, 1000);
      EXPECT_GT(total.long_matches, 10);
      EXPECT_GT(total.literals, 1000);
      EXPECT_GT(total.longest_code, 10);
      if (big) {
        EXPECT_GT(total.far_matches, 10);
      }
    }
  }
}

}  // namespace
}  // namespace flashsaver::legacy_test
