#include "package/tail_record.h"

#include <gtest/gtest.h>

#include <string>

#include "package/packed_range.h"
#include "memory_file_system.h"

namespace flashsaver {
namespace {

// Tests spell the marker through the same function as the engine, so that no test binary
// is needed to carry it either.
std::string M() { return PackageMarker(); }

struct TailCase {
  const char* label;
  std::string window;
  bool found;
  std::string name;
  std::string archive;
};

TEST(TailRecord, MarkerIsTheEightBytes) { EXPECT_EQ(M(), std::string("#marv") + "ex#"); }

TEST(TailRecord, Table) {
  const TailCase cases[] = {
      {"plain", "engine" + M() + "settings.ini**PK-archive", true, "settings.ini", "PK-archive"},
      {"at window start", M() + "a.ini**Z", true, "a.ini", "Z"},
      {"empty archive", "xx" + M() + "a.ini**", true, "a.ini", ""},
      {"first marker wins", "x" + M() + "early**E" + M() + "late**L", true, "early",
       "E" + M() + "late**L"},
      {"name up to first separator", M() + "a.ini**b**c", true, "a.ini", "b**c"},
      {"no marker", "just an engine **", false, "", ""},
      {"marker cut at window start", M().substr(3) + "a.ini**Z", false, "", ""},
      {"no separator", "e" + M() + "settings.ini", false, "", ""},
      {"separator before marker only", "**" + M() + "name", false, "", ""},
      {"empty name", M() + "**archive", false, "", ""},
      {"name with backslash", M() + "..\\evil.ini**Z", false, "", ""},
      {"name with slash", M() + "../evil.ini**Z", false, "", ""},
      {"name with drive", M() + "C:evil.ini**Z", false, "", ""},
      {"dot dot", M() + "..**Z", false, "", ""},
      {"control character", M() + "a\nb**Z", false, "", ""},
  };
  for (const TailCase& c : cases) {
    SCOPED_TRACE(c.label);
    const auto record =
        FindTailRecord(reinterpret_cast<const uint8_t*>(c.window.data()), c.window.size());
    ASSERT_EQ(record.has_value(), c.found);
    if (!record) continue;
    EXPECT_EQ(record->settings_name, c.name);
    EXPECT_EQ(c.window.substr(record->archive_offset), c.archive);
  }
}

TEST(PackedRange, OnlyRangesInsideTheFileAreCut) {
  struct RangeCase {
    int64_t start, end;
    uint64_t size;
    bool usable;
  };
  const RangeCase cases[] = {
      {100, 200, 1000, true},   {100, 1000, 1000, true}, {0, 200, 1000, false},
      {100, 0, 1000, false},    {200, 200, 1000, false}, {300, 200, 1000, false},
      {100, 1001, 1000, false}, {-5, 200, 1000, false},  {100, -1, 1000, false},
      {1, 2, 2, true},
  };
  for (const RangeCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.start) + "-" + std::to_string(c.end));
    const auto range = CheckedRange(c.start, c.end, c.size);
    ASSERT_EQ(range.has_value(), c.usable);
    if (range) {
      EXPECT_EQ(range->start, static_cast<uint64_t>(c.start));
      EXPECT_EQ(range->end, static_cast<uint64_t>(c.end));
    }
  }
}

TEST(PackedRange, CopiesInBoundedChunksWithTheBytesUnchanged) {
  std::string data;
  for (int i = 0; i < 3 * 1024 * 1024 + 77; ++i) data += static_cast<char>((i * 131) >> 3);
  MemoryReadableFile from(data);
  std::string copy;
  MemoryWritableFile to(&copy);
  ASSERT_TRUE(CopyRange(from, {5, data.size() - 3}, to));
  EXPECT_EQ(copy, data.substr(5, data.size() - 8));
  EXPECT_LE(from.largest_read, size_t{1} << 20);
  EXPECT_GE(from.reads, 3);
}

TEST(PackedRange, CopyReportsAShortWrite) {
  MemoryReadableFile from(std::string(5000, 'a'));
  std::string copy;
  MemoryWritableFile to(&copy, 100);
  EXPECT_FALSE(CopyRange(from, {1, 5000}, to));
}

}  // namespace
}  // namespace flashsaver
