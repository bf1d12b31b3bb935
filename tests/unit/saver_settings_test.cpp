#include "settings/saver_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "failing_file_system.h"

namespace flashsaver {
namespace {

namespace stdfs = std::filesystem;

constexpr char kInstall[] = "C:\\Inst\\";

SettingsRecord Read(const std::string& text) {
  IniFile ini;
  ini.Parse(text);
  SettingsRecord record;
  record.ScrName = "stale";  // every field must be set by the read, none kept
  ReadSettingsFile(ini, kInstall, record);
  return record;
}

std::vector<size_t> Flags(const EffectSet& set) {
  std::vector<size_t> flags;
  for (size_t i = 0; i < set.size(); ++i) {
    if (set[i]) flags.push_back(i);
  }
  return flags;
}

TEST(SaverSettingsTest, AbsentFileGivesTheDefaults) {
  const SettingsRecord r = Read("");
  EXPECT_EQ(r.FlashSequence, 0);
  EXPECT_EQ(r.FlashQuality, 1);
  EXPECT_TRUE(r.MousePress);
  EXPECT_TRUE(r.KeyboardPress);
  EXPECT_FALSE(r.MouseMove);
  EXPECT_EQ(r.FlashDownloadTime, 20);
  EXPECT_EQ(r.FlashStopTime, 10);
  EXPECT_TRUE(r.FlashSameMonitor);
  EXPECT_EQ(r.ScrName, "Screensaver Setting");
  EXPECT_EQ(r.Build_BannerImage, "marvexbanner.jpg");
  EXPECT_EQ(r.ImageSequence, 1);
  EXPECT_EQ(r.FontName, "MS Sans Serif");
  EXPECT_EQ(r.FontColor, 0x00FFFFFF);
  EXPECT_EQ(r.Back_Image_Path, "C:\\Inst\\background\\");
  EXPECT_EQ(r.useeffects.count(), 105u);
  EXPECT_TRUE(r.useeffects[59] && r.useeffects[144] && r.useeffects[5]);
  EXPECT_FALSE(r.useeffects[0] || r.useeffects[1] || r.useeffects[151]);
  // Apart from the computed path, the defaults are the record's initial values.
  SettingsRecord initial;
  initial.Back_Image_Path = "C:\\Inst\\background\\";
  EXPECT_EQ(r, initial);
}

struct ReadCase {
  const char* label;
  const char* text;
  std::function<bool(const SettingsRecord&)> holds;
};

const ReadCase kReadCases[] = {
    {"any letter case", "[SET]\r\nflashsize=2\r\n", [](auto& r) { return r.FlashSize == 2; }},
    {"blank after equals", "[Set]\r\nFlashSize= 2\r\n", [](auto& r) { return r.FlashSize == 2; }},
    {"blank before equals", "[Set]\r\nFlashSize =2\r\n", [](auto& r) { return r.FlashSize == 0; }},
    {"word is no boolean", "[Set]\r\nMouseMove=true\r\n", [](auto& r) { return !r.MouseMove; }},
    {"word keeps a true default", "[Set]\r\nMousePress=false\r\n",
     [](auto& r) { return r.MousePress; }},
    {"any integer is true", "[Set]\r\nMouseMove=2\r\n", [](auto& r) { return r.MouseMove; }},
    {"zero is false", "[Set]\r\nKeyboardPress=0\r\n", [](auto& r) { return !r.KeyboardPress; }},
    {"0x colour", "[Set]\r\nFlashColor=0xFF\r\n", [](auto& r) { return r.FlashColor == 255; }},
    {"$ colour", "[Set]\r\nFlashColor=$FF\r\n", [](auto& r) { return r.FlashColor == 255; }},
    {"trailing text", "[Set]\r\nFlashSize=2x\r\n", [](auto& r) { return r.FlashSize == 0; }},
    {"trailing text keeps default", "[Set]\r\nFlashQuality=3 \r\n",
     [](auto& r) { return r.FlashQuality == 1; }},
    {"8 bits of 258", "[Set]\r\nFlashSequence=258\r\n",
     [](auto& r) { return r.FlashSequence == 2; }},
    {"8 bits of -1", "[Set]\r\nWebSequence=-1\r\n", [](auto& r) { return r.WebSequence == 255; }},
    {"8 bits of 513", "[Set]\r\nImageSequence=513\r\n",
     [](auto& r) { return r.ImageSequence == 1; }},
    {"8-bit default", "[Set]\r\nImageSequence=x\r\n", [](auto& r) { return r.ImageSequence == 1; }},
    {"position 7", "[Caption]\r\nPosition=7\r\n", [](auto& r) { return r.Position == 0; }},
    {"position 5", "[caption]\r\nposition=5\r\n", [](auto& r) { return r.Position == 5; }},
    {"position 1", "[Caption]\r\nPosition=1\r\n", [](auto& r) { return r.Position == 1; }},
    {"position 257 is not 1", "[Caption]\r\nPosition=257\r\n",
     [](auto& r) { return r.Position == 0; }},
    {"position -1", "[Caption]\r\nPosition=-1\r\n", [](auto& r) { return r.Position == 0; }},
    {"caption keys live in Caption", "[Set]\r\nX=1\r\nFontName=Arial\r\n[Caption]\r\nY=2\r\n",
     [](auto& r) { return r.X == 10 && r.FontName == "MS Sans Serif" && r.Y == 2; }},
    {"set keys do not live in Caption", "[Caption]\r\nFlashSize=2\r\n",
     [](auto& r) { return r.FlashSize == 0; }},
    {"strings unchanged", "[Set]\r\nScrName= Sky  \r\nAuthor=A=B\r\n",
     [](auto& r) { return r.ScrName == " Sky  " && r.Author == "A=B"; }},
    {"empty string is a value", "[Set]\r\nScrName=\r\nBuild_BannerImage=\r\n",
     [](auto& r) { return r.ScrName.empty() && r.Build_BannerImage.empty(); }},
    {"background path from the file", "[Set]\r\nBack_Image_Path=D:\\bg\\\r\n",
     [](auto& r) { return r.Back_Image_Path == "D:\\bg\\"; }},
    {"lower-case keys", "[Set]\r\nRESELL=1\r\nhidemarvextext=1\r\nbuild_usebanner=1\r\n",
     [](auto& r) { return r.resell && r.HideMarvexText && r.Build_UseBanner; }},
    {"effects in set", "[set]\r\nuseeffects=5,6\r\n",
     [](auto& r) { return Flags(r.useeffects) == std::vector<size_t>{5}; }},
    {"effects in Set spelled USEEFFECTS", "[Set]\r\nUSEEFFECTS=abc,7,\r\n",
     [](auto& r) { return Flags(r.useeffects) == std::vector<size_t>{7}; }},
    {"effects empty", "[Set]\r\nuseeffects=\r\n", [](auto& r) { return r.useeffects.none(); }},
    {"first of two Set sections", "[Set]\r\nFlashSize=1\r\n[set]\r\nFlashSize=2\r\nFlashMute=1\r\n",
     [](auto& r) { return r.FlashSize == 1 && !r.FlashMute; }},
    {"negative colour", "[Set]\r\nFlashColor=$FFFFFFFF\r\n",
     [](auto& r) { return r.FlashColor == -1; }},
    {"carried keys", "[Set]\r\nWebInterval=33\r\nVideoShowStatus=0\r\nSplashImage=s.jpg\r\n",
     [](auto& r) { return r.WebInterval == 33 && !r.VideoShowStatus && r.SplashImage == "s.jpg"; }},
};

TEST(SaverSettingsTest, ReadingRules) {
  for (const ReadCase& c : kReadCases) {
    EXPECT_TRUE(c.holds(Read(c.text))) << c.label;
  }
}

TEST(SaverSettingsTest, EffectList) {
  const struct {
    const char* text;
    std::vector<size_t> flags;
  } cases[] = {
      {"5,6", {5}},
      {"200,", {}},
      {"abc,7,", {7}},
      {"", {}},
      {",,,", {}},
      {"151,152,-1,0,", {0, 151}},
      {" 3,", {3}},
      {"3 ,", {}},
      {"$A,x0B,", {10, 11}},
      {"9,9,9,", {9}},
      {"4294967296,2,", {2}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Flags(ParseEffectList(c.text)), c.flags) << c.text;
  }
}

// The rewrite of an empty file holds every written key, in the writing order, with its
// default; Caption comes after Set because Set was written first.
constexpr char kDefaultsWritten[] =
    "[Set]\r\nImageSize=0\r\nImageSequence=1\r\nFlashSequence=0\r\nVideoSequence=0\r\n"
    "WebSequence=0\r\nAllowReverseTransition=0\r\nClearOldImage=0\r\nPlayMusic=1\r\n"
    "RandomMusic=0\r\nLoopMusic=1\r\nImageInterval=3\r\nBackgroundColor=0\r\nEffectSpeed2=3\r\n"
    "PicturePath=\r\nMusicPath=\r\nMouseMove=0\r\nMousePress=1\r\nKeyboardPress=1\r\n"
    "ShowCursor=0\r\nOnlyEscKeyExit=0\r\nFlashMute=0\r\nFlashSize=0\r\nFlashQuality=1\r\n"
    "FlashColor=0\r\nFlashStopTime=10\r\nFlashDownloadTime=20\r\nVideoMute=0\r\nVideoSize=0\r\n"
    "VideoDownloadTime=20\r\nVideoShowStatus=1\r\nVideoPreview=0\r\nFlashPreview=1\r\n"
    "WebImage=1\r\nWebSound=1\r\nWebVideo=1\r\nWebScript=1\r\nWebActiveX=1\r\nWebOffline=0\r\n"
    "WebHideScrollBar=1\r\nWebFlatBorder=1\r\nWebStopPopup=1\r\nWebInterval=10\r\n"
    "WebMaxInterval=20\r\nWebShowStatus=1\r\nWebLastPage=0\r\nRandomPosition=0\r\n"
    "ScrName=Screensaver Setting\r\nBuildName=\r\nBuildAuthor=\r\nBuildWebsite=\r\n"
    "BuildEmail=\r\nIconFile=\r\nImageEncrypt=0\r\nHideMarvexText=0\r\n"
    "Build_NotCreateIcons=0\r\nBuild_DisableSetupPrompt=0\r\nBuild_AddPassword=0\r\n"
    "NoUserSetting=0\r\nInstallPassword=\r\nBuild_ReadmeText=\r\nBack_Mode_UseColor=1\r\n"
    "Back_Image_UseTiled=1\r\nBack_Image_Filename=\r\nBack_Image_Path=C:\\Inst\\background\\\r\n"
    "MediaPlayerMp3=0\r\nTransparentMode=0\r\nTransparentModeColor=0\r\nShowSplash=0\r\n"
    "SplashImage=\r\nImageSameMonitor=1\r\nFlashSameMonitor=1\r\nVideoSameMonitor=1\r\n"
    "WebSameMonitor=1\r\n\r\n"
    "[Caption]\r\nForceHide=0\r\nPosition=0\r\nX=10\r\nY=10\r\nFontName=MS Sans Serif\r\n"
    "FontSize=9\r\nFontColor=16777215\r\nFontBold=0\r\nFontItalic=0\r\nFontUnderline=0\r\n"
    "FontStrikeout=0\r\n\r\n";

class SettingsFileWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = stdfs::temp_directory_path() /
           ("flashsaver-settings-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    stdfs::remove_all(dir_);
    stdfs::create_directories(dir_);
    path_ = (dir_ / "Sky.002").string();
  }
  void TearDown() override { stdfs::remove_all(dir_); }

  void Put(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  std::string Get() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : stdfs::directory_iterator(dir_)) names.push_back(e.path().filename());
    return names;
  }

  stdfs::path dir_;
  std::string path_;
};

TEST_F(SettingsFileWriteTest, DefaultsInTheirOrderAndFormat) {
  IniFile ini;
  ini.Open(SystemFileSystem(), path_);  // missing: opens empty
  SettingsRecord record;
  ReadSettingsFile(ini, kInstall, record);
  ASSERT_TRUE(SaveSettingsFile(record, ini));
  EXPECT_EQ(Get(), kDefaultsWritten);
}

TEST_F(SettingsFileWriteTest, RewriteKeepsWhatItDoesNotWriteAndFixesKeyCase) {
  Put(";comment\nstray=1\n[set]\nflashsize=2\nAuthor=Ann\nuseeffects=5,\r"
      "Build_BannerImage=b.jpg\nUnknown=u\n[Flash]\na.swf=1\n(URL) http://x/?q**1=0\n");
  IniFile ini;
  ini.Open(SystemFileSystem(), path_);
  SettingsRecord record;
  ReadSettingsFile(ini, kInstall, record);
  EXPECT_EQ(record.FlashSize, 2);
  record.FlashSize = 1;
  record.Author = "changed";  // not written back
  ASSERT_TRUE(SaveSettingsFile(record, ini));

  const std::string text = Get();
  // Replaced in place with this program's spelling; lines it does not write stay as they were.
  EXPECT_EQ(text.rfind("[set]\r\nFlashSize=1\r\nAuthor=Ann\r\nuseeffects=5,\r\n"
                       "Build_BannerImage=b.jpg\r\nUnknown=u\r\nImageSize=0\r\n",
                       0),
            0u)
      << text;
  EXPECT_EQ(text.find("flashsize"), std::string::npos);
  EXPECT_EQ(text.find("stray"), std::string::npos);
  EXPECT_EQ(text.find(";comment"), std::string::npos);
  // The list section keeps its place, before the appended Caption section.
  const size_t flash = text.find("\r\n\r\n[Flash]\r\na.swf=1\r\n(URL) http://x/?q**1=0\r\n\r\n");
  const size_t caption = text.find("[Caption]\r\nForceHide=0\r\nPosition=0\r\n");
  ASSERT_NE(flash, std::string::npos) << text;
  ASSERT_NE(caption, std::string::npos) << text;
  EXPECT_LT(flash, caption);
  EXPECT_EQ(text.substr(text.size() - 19), "FontStrikeout=0\r\n\r\n");
  EXPECT_EQ(Files(), std::vector<std::string>{"Sky.002"});
}

TEST_F(SettingsFileWriteTest, RoundTripOfEveryWrittenKey) {
  SettingsRecord changed;
  changed.FlashSequence = 2;
  changed.FlashSize = 2;
  changed.FlashQuality = 3;
  changed.FlashColor = 0x00123456;
  changed.FlashMute = true;
  changed.FlashStopTime = -5;
  changed.FlashDownloadTime = 2147483647;
  changed.FlashSameMonitor = false;
  changed.ImageSameMonitor = false;
  changed.MouseMove = true;
  changed.MousePress = false;
  changed.KeyboardPress = false;
  changed.ShowCursor = true;
  changed.OnlyEscKeyExit = true;
  changed.ScrName = "Sky = blue";
  changed.HideMarvexText = true;
  changed.NoUserSetting = true;
  changed.ImageSize = 255;
  changed.ImageSequence = 0;
  changed.VideoSequence = 7;
  changed.WebSequence = 2;
  changed.PlayMusic = false;
  changed.EffectSpeed2 = -2147483647 - 1;
  changed.PicturePath = "C:\\p\\";
  changed.WebShowStatus = false;
  changed.RandomPosition = true;
  changed.Back_Image_Path = "";
  changed.TransparentModeColor = 0xFF00FF;
  changed.Position = 4;
  changed.FontStrikeout = true;
  changed.X = -10;
  changed.FontName = "Arial";
  changed.FontColor = 0;

  IniFile ini;
  ini.Open(SystemFileSystem(), path_);
  ASSERT_TRUE(SaveSettingsFile(changed, ini));
  IniFile again;
  again.Open(SystemFileSystem(), path_);
  SettingsRecord read;
  ReadSettingsFile(again, kInstall, read);
  EXPECT_EQ(read, changed);
}

TEST_F(SettingsFileWriteTest, FailedWriteLeavesTheOldFileWhole) {
  const std::string old_text = "[Set]\r\nFlashSize=2\r\n[Flash]\r\nmovie.swf=1\r\n\r\n";
  const struct {
    const char* label;
    std::function<void(FailingFileSystem&)> fault;
  } faults[] = {
      {"disk full at the start", [](auto& fs) { fs.bytes_before_write_failure = 0; }},
      {"disk full part-way", [](auto& fs) { fs.bytes_before_write_failure = 100; }},
      {"close fails", [](auto& fs) { fs.close_fails = true; }},
      {"rename fails", [](auto& fs) { fs.move_fails = true; }},
  };
  for (const auto& f : faults) {
    Put(old_text);
    FailingFileSystem fs;
    IniFile ini;
    ini.Open(fs, path_);
    f.fault(fs);
    SettingsRecord record;
    record.FlashSize = 1;
    EXPECT_FALSE(SaveSettingsFile(record, ini)) << f.label;
    EXPECT_EQ(Get(), old_text) << f.label;
    EXPECT_EQ(Files(), std::vector<std::string>{"Sky.002"}) << f.label;
  }
}

TEST_F(SettingsFileWriteTest, UnreadableFileIsNeverWrittenOver) {
  const std::string old_text = "[Set]\r\nFlashSize=2\r\n";
  const struct {
    const char* label;
    std::function<void(FailingFileSystem&)> fault;
  } faults[] = {
      {"cannot be opened", [](auto& fs) { fs.open_for_reading_fails = true; }},
      {"cannot be read whole", [](auto& fs) { fs.reported_size = 4096; }},
      {"too large", [](auto& fs) { fs.reported_size = IniFile::kMaxFileSize + 1; }},
  };
  for (const auto& f : faults) {
    Put(old_text);
    FailingFileSystem fs;
    f.fault(fs);
    IniFile ini;
    ini.Open(fs, path_);
    SettingsRecord record;
    ReadSettingsFile(ini, kInstall, record);
    EXPECT_EQ(record.FlashSize, 0) << f.label;  // defaults, as for a missing file
    EXPECT_FALSE(SaveSettingsFile(record, ini)) << f.label;
    EXPECT_EQ(Get(), old_text) << f.label;
  }
}

TEST_F(SettingsFileWriteTest, ProcessWideSaveIgnoresFailures) {
  const std::string old_text = "[Set]\r\nFlashSize=2\r\n";
  Put(old_text);
  FailingFileSystem fs;
  SettingsFile.Close();
  SettingsFile.Open(fs, path_);
  fs.write_throws = true;
  SaverSettings.FlashSize = 1;
  EXPECT_NO_THROW(SaveSettingsFile());
  EXPECT_EQ(Get(), old_text);
  SettingsFile.Close();
  SaverSettings = SettingsRecord();
}

}  // namespace
}  // namespace flashsaver
