// The reader's Windows files and host under Wine: read-only targets refused, time and
// attributes of finished files, writers kept out of an open archive, the OEM conversion.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "package/zip/archive_files.h"
#include "package/zip/unzip_host.h"

namespace flashsaver {
namespace {

class WinArchiveFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH + 1] = {};
    ASSERT_NE(::GetTempPathA(sizeof(temp), temp), 0u);
    folder_ = std::string(temp) + "FlashSaverArchiveTest" +
              std::to_string(::GetCurrentProcessId()) + "\\nested\\deeper";
    ASSERT_TRUE(files_.CreateFolders(folder_));
    ASSERT_TRUE(files_.FolderExists(folder_));
    path_ = folder_ + "\\entry.txt";
  }
  void TearDown() override {
    ::SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(path_.c_str());
    std::string f = folder_;
    for (int i = 0; i < 3; ++i) {
      ::RemoveDirectoryA(f.c_str());
      f = f.substr(0, f.find_last_of('\\'));
    }
  }
  void Put(const std::string& text, const FileStamp* stamp = nullptr) {
    auto out = files_.CreateOutput(path_);
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(out->Write(reinterpret_cast<const uint8_t*>(text.data()), text.size()), text.size());
    out->Close(stamp);
  }
  std::string Get() {
    auto in = files_.OpenArchive(path_);
    if (!in) return "<missing>";
    std::string text(static_cast<size_t>(in->Size()), '\0');
    in->Read(reinterpret_cast<uint8_t*>(text.data()), text.size());
    return text;
  }

  ArchiveFiles& files_ = SystemArchiveFiles();
  std::string folder_;
  std::string path_;
};

TEST_F(WinArchiveFilesTest, FinishedFileGetsTheEntrysTimeAndSettableAttributes) {
  FileStamp stamp;
  stamp.dos_date_time =
      (uint32_t{(2003 - 1980) << 9 | 7 << 5 | 14} << 16) | (9 << 11 | 30 << 5 | 5);
  stamp.set_attributes = true;
  stamp.attributes = 0x81A40000u | FILE_ATTRIBUTE_READONLY;  // with a Unix host's mode bits
  Put("content", &stamp);
  EXPECT_EQ(Get(), "content");
  const DWORD attributes = ::GetFileAttributesA(path_.c_str());
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(attributes & FILE_ATTRIBUTE_DIRECTORY);

  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(::GetFileAttributesExA(path_.c_str(), GetFileExInfoStandard, &data));
  FILETIME local;
  SYSTEMTIME t;
  ASSERT_TRUE(::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local));
  ASSERT_TRUE(::FileTimeToSystemTime(&local, &t));
  EXPECT_EQ(t.wYear, 2003);
  EXPECT_EQ(t.wMonth, 7);
  EXPECT_EQ(t.wDay, 14);
  EXPECT_EQ(t.wHour, 9);
  EXPECT_EQ(t.wMinute, 30);
  EXPECT_EQ(t.wSecond, 10);

  // Read-only now: it is neither replaced nor touched.
  EXPECT_EQ(files_.CreateOutput(path_), nullptr);
  EXPECT_EQ(Get(), "content");
}

TEST_F(WinArchiveFilesTest, ExistingFileIsReplacedAndRemoved) {
  Put("a longer first version");
  Put("second");
  EXPECT_EQ(Get(), "second");
  EXPECT_TRUE(files_.FileExists(path_));
  EXPECT_TRUE(files_.RemoveFile(path_));
  EXPECT_FALSE(files_.FileExists(path_));
}

TEST_F(WinArchiveFilesTest, OpenArchiveKeepsWritersOut) {
  Put("archive bytes");
  auto in = files_.OpenArchive(path_);
  ASSERT_NE(in, nullptr);
  HANDLE writer = ::CreateFileA(path_.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
  if (writer != INVALID_HANDLE_VALUE) ::CloseHandle(writer);
  ASSERT_TRUE(in->Seek(8));
  uint8_t tail[16] = {};
  EXPECT_EQ(in->Read(tail, sizeof tail), 5u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(tail), 5), "bytes");
  EXPECT_EQ(files_.OpenArchive(folder_ + "\\missing.zip"), nullptr);
}

TEST(WinUnzipHostTest, OemNamesBecomeAnsiByteForByte) {
  const std::string oem("\x81\x84\x94 x\0y", 7);
  const std::string ansi = SystemUnzipHost().OemToAnsi(oem);
  ASSERT_EQ(ansi.size(), oem.size());
  // The same conversion through the wide code pages.
  wchar_t wide[16];
  const int n = ::MultiByteToWideChar(CP_OEMCP, 0, oem.data(), 7, wide, 16);
  char expected[16];
  ::WideCharToMultiByte(CP_ACP, 0, wide, n, expected, sizeof expected, nullptr, nullptr);
  EXPECT_EQ(ansi, std::string(expected, 7));
  EXPECT_EQ(ansi.substr(3), std::string(" x\0y", 4));
}

}  // namespace
}  // namespace flashsaver
