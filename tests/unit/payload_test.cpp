// The payload and the media lists over real files: screen savers built by saverpack's builder
// around a stand-in engine, read back by the portable core.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "package/content.h"
#include "package/media_lists.h"
#include "package/package_state.h"
#include "package/payload.h"
#include "package/tail_record.h"
#include "package/temp_folder.h"
#include "settings/memory_registry.h"
#include "settings/saver_settings.h"
#include "startup/run_state.h"
#include "tools/saverpack/saver_builder.h"

namespace flashsaver {
namespace {

namespace stdfs = std::filesystem;

std::string Win(const stdfs::path& p) {
  std::string s = p.string();
  for (char& c : s) {
    if (c == '/') c = '\\';
  }
  return s;
}

std::string ReadAll(const stdfs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const stdfs::path& p, const std::string& data) {
  std::ofstream(p, std::ios::binary) << data;
}

std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(random());
  return s;
}

class Payload : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = stdfs::temp_directory_path() /
            ("flashsaver-payload-" +
             std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    stdfs::remove_all(root_);
    stdfs::create_directories(root_ / "in");
    WriteAll(root_ / "in" / "engine.bin", RandomBytes(200000, 1));
    WriteAll(root_ / "in" / "movie1.swf", RandomBytes(300000, 2));
    WriteAll(root_ / "in" / "raw.swf", RandomBytes(4000, 3));
    WriteAll(root_ / "in" / "data.xml", "<data/>");
    TempFolderStartup(SystemFileSystem(), Win(root_) + "\\");
    ResetRun();
  }
  void TearDown() override {
    ResetRun();
    std::error_code ec;
    stdfs::remove_all(root_, ec);
  }
  void ResetRun() {
    ClosePackage();
    SettingsFile.Close();
    SaverSettings = SettingsRecord{};
    PackageFound = false;
    StandAloneRun = false;
    SettingsFilePath.clear();
    SystemMemoryRegistry().Clear();
  }
  saverpack::BuildRequest Request(const std::string& output) {
    saverpack::BuildRequest r;
    r.engine = (root_ / "in" / "engine.bin").string();
    r.output = (root_ / output).string();
    return r;
  }
  void Run(const std::string& program) {
    ProgramFilePath = Win(root_ / program);
    LocatePackage();
  }
  stdfs::path Temp(const std::string& name) { return root_ / "Marvex" / name; }

  stdfs::path root_;
};

TEST_F(Payload, PackagedSaverUnpacksSettingsAndCutsFilesOnDemand) {
  auto r = Request("Sky.scr");
  r.settings.push_back({"Set", "FlashSequence", "1"});
  r.packed.push_back({"movie1.swf", (root_ / "in" / "movie1.swf").string(), false, true});
  r.items.push_back({"Flash", "movie1.swf"});
  r.packed.push_back({"raw.swf", (root_ / "in" / "raw.swf").string(), true, false});
  r.items.push_back({"Flash", "raw.swf"});
  r.items.push_back({"Flash", "off.swf", "0"});
  r.items.push_back({"Flash", "odd.swf", "yes"});
  r.packed.push_back({"data.xml", (root_ / "in" / "data.xml").string(), false, false});
  r.items.push_back({"Flash", "(Resource) data.xml"});
  saverpack::BuildSaver(r);

  Run("Sky.scr");
  ASSERT_TRUE(PackageFound);
  EXPECT_FALSE(StandAloneRun);
  EXPECT_EQ(SettingsFilePath, TempFolder + "settings.ini");
  EXPECT_TRUE(stdfs::exists(Temp("settings.ini")));
  EXPECT_TRUE(stdfs::exists(Temp("settings.ini~")));

  LoadContent();
  EXPECT_EQ(SaverName, "Sky");
  EXPECT_EQ(ExeFolder, Win(root_) + "\\");
  EXPECT_EQ(SaverSettings.FlashSequence, 1);
  EXPECT_EQ(FlashList, (MediaList{"movie1.swf", "raw.swf", "odd.swf"}));
  EXPECT_EQ(ReadAll(Temp("data.xml")), "<data/>") << "side file not extracted at load";
  EXPECT_FALSE(stdfs::exists(Temp("movie1.swf"))) << "a movie was extracted before use";

  std::string item = FlashList[0];
  ASSERT_TRUE(ResolveMediaItem(item));
  EXPECT_EQ(item, TempFolder + "movie1.swf");
  EXPECT_EQ(ReadAll(Temp("movie1.swf")), ReadAll(root_ / "in" / "movie1.swf"));
  EXPECT_TRUE(stdfs::exists(Temp("movie1.swf~")));

  std::string raw = "raw.swf";
  ASSERT_TRUE(ResolveMediaItem(raw));
  EXPECT_EQ(ReadAll(Temp("raw.swf")), ReadAll(root_ / "in" / "raw.swf"));

  // A second extraction replaces the file and its "~" companion.
  WriteAll(Temp("raw.swf"), "stale");
  WriteAll(Temp("raw.swf~"), "stale");
  ExtractPackedFile("raw.swf", TempFolder + "raw.swf");
  EXPECT_EQ(ReadAll(Temp("raw.swf")), ReadAll(root_ / "in" / "raw.swf"));
  EXPECT_EQ(ReadAll(Temp("raw.swf~")), ReadAll(root_ / "in" / "raw.swf"));

  std::string missing = "nothere.swf";
  EXPECT_FALSE(ResolveMediaItem(missing));
}

TEST_F(Payload, ExeExtensionInAnyCaseMakesAStandAloneRun) {
  for (const char* name : {"Sky.exe", "Sky.EXE", "Sky.Exe"}) {
    SCOPED_TRACE(name);
    ResetRun();
    saverpack::BuildSaver(Request(name));
    Run(name);
    EXPECT_TRUE(PackageFound);
    EXPECT_TRUE(StandAloneRun);
  }
  ResetRun();
  stdfs::copy_file(root_ / "in" / "engine.bin", root_ / "Bare.exe");
  Run("Bare.exe");
  EXPECT_FALSE(PackageFound);
  EXPECT_FALSE(StandAloneRun) << "a bare engine never runs stand-alone";
}

TEST_F(Payload, BareEngineReadsItsSideFile) {
  stdfs::copy_file(root_ / "in" / "engine.bin", root_ / "Sky.scr");
  WriteAll(root_ / "Sky.002", "[Flash]\r\nclip.swf=1\r\n[set]\r\nflashsize=2\r\n");
  Run("Sky.scr");
  ASSERT_FALSE(PackageFound);
  LoadContent();
  EXPECT_EQ(SettingsFilePath, Win(root_) + "\\Sky.002");
  EXPECT_EQ(SaverSettings.FlashSize, 2);
  EXPECT_EQ(FlashList, MediaList{"clip.swf"});
}

TEST_F(Payload, SmallestPackageIsFoundAtItsOwnTail) {
  // The whole package is far smaller than the tail window, which reaches into the engine.
  const auto result = saverpack::BuildSaver(Request("Tiny.scr"));
  EXPECT_LT(result.size - 200000, 1000u);
  Run("Tiny.scr");
  EXPECT_TRUE(PackageFound);
  EXPECT_TRUE(stdfs::exists(Temp("settings.ini")));
}

TEST_F(Payload, DamagedTailRecordsAndRangesAreAbsent) {
  const std::string engine = ReadAll(root_ / "in" / "engine.bin");
  WriteAll(root_ / "NoSep.scr", engine + PackageMarker() + "settings.ini" + "PK\x05\x06");
  Run("NoSep.scr");
  EXPECT_FALSE(PackageFound);

  ResetRun();
  auto r = Request("Ranges.scr");
  const auto size = stdfs::file_size(root_ / "in" / "engine.bin");
  r.settings = {{"zippos", "back.swf_1", "500"},
                {"zippos", "back.swf_2", "400"},
                {"zippos", "same.swf_1", "500"},
                {"zippos", "same.swf_2", "500"},
                {"zippos", "past.swf_1", "100"},
                {"zippos", "past.swf_2", "999999999"},
                {"zippos", "half.swf_1", "100"},
                {"zippos", "text.swf_1", "abc"},
                {"zippos", "text.swf_2", "200"},
                {"zippos", "notzip.swf_1", "100"},
                {"zippos", "notzip.swf_2", std::to_string(size)}};
  saverpack::BuildSaver(r);
  Run("Ranges.scr");
  ASSERT_TRUE(PackageFound);
  LoadContent();
  for (const char* key : {"back.swf", "same.swf", "past.swf", "half.swf", "text.swf"}) {
    SCOPED_TRACE(key);
    EXPECT_NO_THROW(ExtractPackedFile(key, TempFolder + key));
    EXPECT_FALSE(stdfs::exists(Temp(key)));
    EXPECT_FALSE(stdfs::exists(Temp(std::string(key) + "~")));
  }
  // A range that holds no archive: the reader's error reaches the caller, the resolution
  // swallows it.
  EXPECT_ANY_THROW(ExtractPackedFile("notzip.swf", TempFolder + "notzip.swf"));
  std::string item = "notzip.swf";
  EXPECT_FALSE(ResolveMediaItem(item));
  // Destinations outside the temporary folder are never written.
  ExtractPackedFile("notzip.swf", Win(root_) + "\\outside.swf");
  EXPECT_FALSE(stdfs::exists(root_ / "outside.swf~"));
}

TEST_F(Payload, ShuffleKeepsTheItemsAndIsFixedAfterLoad) {
  MediaList list;
  for (int i = 0; i < 50; ++i) list.push_back("m" + std::to_string(i) + ".swf");
  MediaList shuffled = list;
  ShuffleList(shuffled);
  EXPECT_NE(shuffled, list) << "50 items kept their order (chance 1 in 50!)";
  std::sort(shuffled.begin(), shuffled.end());
  MediaList sorted = list;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(shuffled, sorted);

  MediaList empty;
  ShuffleList(empty);
  EXPECT_TRUE(empty.empty());
}

TEST_F(Payload, RegistryOverlayDecidesTheShuffle) {
  auto r = Request("Sky.scr");
  for (int i = 0; i < 40; ++i) r.items.push_back({"Flash", "m" + std::to_string(i) + ".swf"});
  saverpack::BuildSaver(r);
  SystemMemoryRegistry().SetDword("\\Software\\Korvanlabs\\Sky.scr", "FlashSequence", 2);
  Run("Sky.scr");
  LoadContent();
  ASSERT_EQ(FlashList.size(), 40u);
  EXPECT_EQ(SaverSettings.FlashSequence, 2);
  EXPECT_NE(FlashList[0] + FlashList[1] + FlashList[2], "m0.swfm1.swfm2.swf");
}

}  // namespace
}  // namespace flashsaver
