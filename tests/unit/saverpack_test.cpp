// saverpack's own parts: the ZIP writer against zlib and the checker, the settings text, and
// the inspection of damaged screen savers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/saverpack/ini_text.h"
#include "tools/saverpack/saver_builder.h"
#include "tools/saverpack/saver_listing.h"
#include "tools/saverpack/zip_check.h"
#include "tools/saverpack/zip_writer.h"

namespace saverpack {
namespace {

namespace stdfs = std::filesystem;

TEST(ZipWriter, EntriesReadBackIntactStoredAndDeflated) {
  struct Case {
    const char* label;
    std::string data;
    bool deflate;
  };
  std::string big;
  for (int i = 0; i < 200000; ++i) big += static_cast<char>("abcab"[i % 5] + (i % 977 == 0));
  const Case cases[] = {{"empty stored", "", false},
                        {"empty deflated", "", true},
                        {"small deflated", "hello, hello, hello", true},
                        {"big deflated", big, true},
                        {"big stored", big, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::stringstream archive;
    archive << "lead-in bytes";
    const auto start = static_cast<uint64_t>(archive.tellp());
    ZipWriter zip(archive);
    zip.AddBytes("one.bin", c.data, {c.deflate, false, 0x5A210000});
    zip.AddBytes("two.txt", "second", {c.deflate, true, 0x5A210000});
    zip.Finish();
    const auto end = static_cast<uint64_t>(archive.tellp());
    const ZipCheck check = CheckZip(archive, start, end, 1 << 20);
    ASSERT_TRUE(check.intact) << check.problem;
    ASSERT_EQ(check.entries.size(), 2u);
    EXPECT_EQ(check.kept.at("one.bin"), c.data);
    EXPECT_EQ(check.kept.at("two.txt"), "second");
    EXPECT_EQ(check.entries[0].method, c.deflate ? 8 : 0);
    EXPECT_EQ(check.entries[0].attributes, 0x20u);
    EXPECT_EQ(check.entries[1].attributes, 0x21u) << "read-only mark";
  }
}

TEST(ZipCheck, FindsDamage) {
  std::stringstream archive;
  ZipWriter zip(archive);
  zip.AddBytes("m.swf", std::string(5000, 'q') + "tail", {true, false, 0});
  zip.Finish();
  const std::string good = archive.str();
  struct Case {
    const char* label;
    std::string bytes;
  };
  std::string flipped = good;
  flipped[40] = static_cast<char>(flipped[40] ^ 0xFF);
  const Case cases[] = {{"data flipped", flipped},
                        {"cut short", good.substr(0, good.size() - 30)},
                        {"no end record", good.substr(0, good.size() - 22)},
                        {"empty", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::stringstream in(c.bytes);
    EXPECT_FALSE(CheckZip(in, 0, c.bytes.size()).intact);
  }
}

TEST(IniText, SetReplacesInPlaceAndAppends) {
  IniText ini = IniText::Parse("junk\r\n[SET]\nflashsize=1\r;c\rFlashSize=9\n[Flash]\na=1\n");
  ini.Set("Set", "FlashSize", "2");
  ini.Set("Set", "New", "x");
  ini.Set("zippos", "a_1", "10");
  ini.Append("Flash", "a", "0");
  EXPECT_EQ(ini.Text(),
            "[SET]\r\nFlashSize=2\r\n;c\r\nFlashSize=9\r\nNew=x\r\n\r\n"
            "[Flash]\r\na=1\r\na=0\r\n\r\n[zippos]\r\na_1=10\r\n\r\n");
  EXPECT_EQ(ini.Get("set", "flashsize"), "2");
  EXPECT_FALSE(ini.Get("Set", "Missing"));
}

TEST(Saverpack, BuildsAndInspectsAndSeesDamage) {
  const stdfs::path root = stdfs::temp_directory_path() / "flashsaver-saverpack-inspect";
  stdfs::remove_all(root);
  stdfs::create_directories(root);
  std::ofstream(root / "engine.bin", std::ios::binary) << std::string(160000, 'E');
  std::ofstream(root / "a=b.swf", std::ios::binary) << std::string(70000, 'S');
  std::ofstream(root / "raw.swf", std::ios::binary) << "RAW";
  BuildRequest r;
  r.engine = (root / "engine.bin").string();
  r.output = (root / "Sky.scr").string();
  r.packed = {{KeyForName("a=b.swf"), (root / "a=b.swf").string(), false, false},
              {"raw.swf", (root / "raw.swf").string(), true, false}};
  r.items = {{"Flash", "a**b.swf"}, {"Flash", "raw.swf"}};
  r.settings = {{"Set", "ScrName", "Sky"}};
  BuildSaver(r);

  std::ostringstream report;
  EXPECT_TRUE(InspectSaver(r.output, report)) << report.str();
  EXPECT_NE(report.str().find("settings file \"settings.ini\""), std::string::npos);
  EXPECT_NE(report.str().find("a**b.swf  zip  160000-"), std::string::npos) << report.str();
  EXPECT_NE(report.str().find("a=b.swf 70000 bytes"), std::string::npos) << report.str();
  EXPECT_NE(report.str().find("ScrName=Sky"), std::string::npos);
  EXPECT_NE(report.str().find("all intact"), std::string::npos);

  {
    std::fstream f(r.output, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(160000 + 60);
    f.put('\x7F');
  }
  std::ostringstream damaged;
  EXPECT_FALSE(InspectSaver(r.output, damaged));
  EXPECT_NE(damaged.str().find("NOT INTACT"), std::string::npos) << damaged.str();

  std::ostringstream bare;
  EXPECT_FALSE(InspectSaver((root / "engine.bin").string(), bare));
  EXPECT_NE(bare.str().find("no tail record"), std::string::npos);
  stdfs::remove_all(root);
}

}  // namespace
}  // namespace saverpack
