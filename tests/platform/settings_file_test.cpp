#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "package/file_system.h"
#include "settings/saver_settings.h"

namespace flashsaver {
namespace {

class WinSettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH + 1] = {};
    ASSERT_NE(::GetTempPathA(sizeof(temp), temp), 0u);
    folder_ = std::string(temp) + "FlashSaverSettingsTest" +
              std::to_string(::GetCurrentProcessId()) + "\\";
    ASSERT_TRUE(SystemFileSystem().CreateFolders(folder_));
    path_ = folder_ + "Sky.002";
  }
  void TearDown() override {
    ::SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(path_.c_str());
    ::DeleteFileA((path_ + ".new").c_str());
    ::RemoveDirectoryA(folder_.c_str());
  }
  void Put(const std::string& text) {
    auto file = SystemFileSystem().CreateReplacing(path_);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->Write(text.data(), text.size()));
    ASSERT_TRUE(file->Close());
  }
  std::string Get() {
    auto file = SystemFileSystem().OpenForReading(path_);
    if (!file) return "<missing>";
    std::string text(static_cast<size_t>(file->Size()), '\0');
    if (!text.empty() && !file->ReadAt(0, text.data(), text.size())) return "<unreadable>";
    return text;
  }

  std::string folder_;
  std::string path_;
};

TEST_F(WinSettingsFileTest, SaveReplacesAnExistingFile) {
  Put("[Set]\nFlashSize=2\n[Flash]\nmovie.swf=1\n");
  IniFile ini;
  ini.Open(SystemFileSystem(), path_);
  SettingsRecord record;
  ReadSettingsFile(ini, "C:\\Inst\\", record);
  EXPECT_EQ(record.FlashSize, 2);
  record.FlashSize = 1;
  ASSERT_TRUE(SaveSettingsFile(record, ini));
  const std::string text = Get();
  EXPECT_EQ(text.rfind("[Set]\r\nFlashSize=1\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("[Flash]\r\nmovie.swf=1\r\n\r\n[Caption]\r\n"), std::string::npos);
  EXPECT_FALSE(SystemFileSystem().FileExists(path_ + ".new"));
}

TEST_F(WinSettingsFileTest, FailedReplaceLeavesNoPartFile) {
  // A folder in the file's place: the new file is written, but cannot replace it.
  ASSERT_TRUE(::CreateDirectoryA(path_.c_str(), nullptr));
  IniFile ini;
  ini.Open(SystemFileSystem(), path_);
  SettingsRecord record;
  EXPECT_FALSE(SaveSettingsFile(record, ini));
  EXPECT_TRUE(SystemFileSystem().FolderExists(path_));
  EXPECT_FALSE(SystemFileSystem().FileExists(path_ + ".new"));
  ::RemoveDirectoryA(path_.c_str());
}

}  // namespace
}  // namespace flashsaver
