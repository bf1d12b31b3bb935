// The small pieces under the reader: the end signature search, DOS times, the
// names that may become files, and the buffered stream.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "package/zip/buffered_file_stream.h"
#include "package/zip/dos_time.h"
#include "package/zip/output_names.h"
#include "package/zip/zip_records.h"

namespace flashsaver {
namespace {

TEST(EndSignatureTest, TakesTheOccurrenceNearestToTheEnd) {
  struct Case {
    const char* label;
    std::vector<size_t> signatures_at;
    size_t size;
    long expected;  // -1: none
  };
  const Case cases[] = {
      {"none", {}, 100, -1},
      {"one at the start", {0}, 22, 0},
      {"two: the later wins", {10, 50}, 100, 50},
      {"one too close to the end is ignored", {10, 90}, 100, 10},
      {"last possible position", {78}, 100, 78},
      {"window shorter than a record", {0}, 21, -1},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> data(c.size, 0);
    for (size_t at : c.signatures_at) {
      const uint8_t sig[] = {0x50, 0x4B, 0x05, 0x06};
      for (size_t i = 0; i < 4 && at + i < data.size(); ++i) data[at + i] = sig[i];
    }
    const auto found = FindEndSignature(data.data(), data.size());
    EXPECT_EQ(found ? static_cast<long>(*found) : -1, c.expected) << c.label;
  }
}

TEST(EndRecordTest, AcceptsOnlySaneDiskNumbersAndOffsets) {
  struct Case {
    uint16_t this_disk, directory_disk;
    uint32_t offset;
    bool ok;
  };
  const Case cases[] = {
      {0, 0, 0, true},  {999, 999, 0, true}, {1000, 0, 0, false},      {0, 1000, 0, false},
      {1, 2, 0, false}, {2, 1, 0, true},     {0, 0, 0x7FFFFFFF, true}, {0, 0, 0x80000000, false},
  };
  for (const Case& c : cases) {
    TEndOfCentralDir end;
    end.this_disk = c.this_disk;
    end.directory_disk = c.directory_disk;
    end.directory_offset = c.offset;
    EXPECT_EQ(EndRecordAcceptable(end), c.ok)
        << c.this_disk << "/" << c.directory_disk << " at " << c.offset;
  }
}

uint32_t Dos(int year, int month, int day, int hour, int minute, int units) {
  return (uint32_t(year - 1980) << 25) | (uint32_t(month) << 21) | (uint32_t(day) << 16) |
         (uint32_t(hour) << 11) | (uint32_t(minute) << 5) | uint32_t(units);
}

TEST(DosTimeTest, BringsEveryFieldIntoRange) {
  struct Case {
    const char* label;
    uint32_t in, out;
  };
  const Case cases[] = {
      {"valid stays", Dos(2004, 6, 15, 13, 45, 10), Dos(2004, 6, 15, 13, 45, 10)},
      {"hour 31", Dos(2004, 6, 15, 31, 0, 0), Dos(2004, 6, 15, 23, 0, 0)},
      {"minute 63", Dos(2004, 6, 15, 1, 63, 0), Dos(2004, 6, 15, 1, 59, 0)},
      {"seconds 60 and 62", Dos(2004, 6, 15, 1, 2, 30), Dos(2004, 6, 15, 1, 2, 29)},
      {"seconds 62", Dos(2004, 6, 15, 1, 2, 31), Dos(2004, 6, 15, 1, 2, 29)},
      {"year 2107", Dos(2107, 6, 15, 1, 2, 3), Dos(2099, 6, 15, 1, 2, 3)},
      {"month 0", Dos(2004, 0, 15, 1, 2, 3), Dos(2004, 1, 15, 1, 2, 3)},
      {"month 15", Dos(2004, 15, 15, 1, 2, 3), Dos(2004, 12, 15, 1, 2, 3)},
      {"day 0", Dos(2004, 6, 0, 1, 2, 3), Dos(2004, 6, 1, 1, 2, 3)},
      {"all zero", 0, Dos(1980, 1, 1, 0, 0, 0)},
      {"all ones", 0xFFFFFFFF, Dos(2099, 12, 31, 23, 59, 29)},
  };
  for (const Case& c : cases) EXPECT_EQ(ValidDosDateTime(c.in), c.out) << c.label;
}

TEST(OutputNameTest, RefusesNamesWindowsWouldNotCreateAsGiven) {
  const std::string refused[] = {"",
                                 ".",
                                 "..",
                                 "...",
                                 " ",
                                 ". .",
                                 "CON",
                                 "con",
                                 "Con.txt",
                                 "NUL.tar.gz",
                                 "nul ",
                                 "AUX.",
                                 "PRN . txt",
                                 "COM1",
                                 "com9.log",
                                 "LPT1",
                                 "lpt9.",
                                 "COM\xB9",
                                 "CONIN$",
                                 "a<b",
                                 "a>b",
                                 "a:b",
                                 "a\"b",
                                 "a/b",
                                 "a\\b",
                                 "a|b",
                                 "a?b",
                                 "a*b",
                                 std::string("a\0b", 3),
                                 "tab\there",
                                 "\x1f"};
  for (const std::string& name : refused) EXPECT_FALSE(UsableOutputName(name)) << name;
  const std::string accepted[] = {"a.txt", "CONSOLE.txt", "COM10",   "COM0",    "LPT",
                                  "nul_x", "x.con",       ".hidden", "a b.txt", "\xE4\xF6\xFC.txt",
                                  "a..b"};
  for (const std::string& name : accepted) EXPECT_TRUE(UsableOutputName(name)) << name;
}

class MemoryInput final : public ArchiveInput {
 public:
  explicit MemoryInput(std::vector<uint8_t> data) : data_(std::move(data)) {}
  uint64_t Size() override { return data_.size(); }
  int64_t ModificationTime() override { return 7; }
  bool Seek(uint64_t position) override {
    ++seeks;
    position_ = position;
    return true;
  }
  size_t Read(uint8_t* buffer, size_t size) override {
    ++reads;
    if (position_ >= data_.size()) return 0;
    const size_t n = std::min<size_t>(size, data_.size() - position_);
    std::copy_n(data_.begin() + position_, n, buffer);
    position_ += n;
    return n;
  }
  int seeks = 0, reads = 0;

 private:
  std::vector<uint8_t> data_;
  uint64_t position_ = 0;
};

TEST(BufferedFileStreamTest, AgreesWithThePlainBytesUnderRandomSeeksAndReads) {
  std::mt19937 random(1234);
  std::vector<uint8_t> data(100000);
  for (auto& b : data) b = static_cast<uint8_t>(random());
  TBufferedFileStream stream(std::make_unique<MemoryInput>(data));
  uint64_t model = 0;
  for (int step = 0; step < 5000; ++step) {
    const int what = random() % 4;
    if (what == 0) {
      model = random() % (data.size() + 100);
      stream.Seek(model);
    } else if (what == 1) {
      const int b = stream.ReadByte();
      ASSERT_EQ(b, model < data.size() ? data[model] : -1) << "step " << step;
      if (model < data.size()) ++model;
    } else {
      const size_t want = what == 2 ? random() % 64 : random() % 40000;
      std::vector<uint8_t> got(want);
      const size_t n = stream.Read(got.data(), want);
      const size_t expected =
          model >= data.size() ? 0 : std::min<size_t>(want, data.size() - model);
      ASSERT_EQ(n, expected) << "step " << step;
      ASSERT_TRUE(std::equal(got.begin(), got.begin() + n, data.begin() + model)) << step;
      model += n;
    }
    ASSERT_EQ(stream.Position(), model);
  }
}

TEST(BufferedFileStreamTest, SmallReadsShareOneFileRead) {
  auto input = std::make_unique<MemoryInput>(std::vector<uint8_t>(20000, 1));
  MemoryInput* raw = input.get();
  TBufferedFileStream stream(std::move(input));
  uint8_t b[46];
  for (int i = 0; i < 100; ++i) ASSERT_EQ(stream.Read(b, sizeof b), sizeof b);  // 4600 bytes
  EXPECT_EQ(raw->reads, 1);
}

}  // namespace
}  // namespace flashsaver
