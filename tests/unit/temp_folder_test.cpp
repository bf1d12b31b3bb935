#include "package/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "package/package_state.h"

namespace flashsaver {
namespace {

namespace stdfs = std::filesystem;

class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ =
        stdfs::temp_directory_path() /
        ("flashsaver-temp-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    stdfs::remove_all(root_);
    stdfs::create_directories(root_);
    system_temp_ = root_.string() + "/";
  }
  void TearDown() override {
    std::error_code ec;
    stdfs::permissions(root_ / "Marvex" / "ro.txt", stdfs::perms::owner_all,
                       stdfs::perm_options::add, ec);
    stdfs::remove_all(root_, ec);
  }
  void Touch(const stdfs::path& p) { std::ofstream(p) << "x"; }

  stdfs::path root_;
  std::string system_temp_;
};

TEST_F(TempFolderTest, StartupFixesThePathAndCreatesTmp) {
  TempFolderStartup(SystemFileSystem(), system_temp_);
  EXPECT_EQ(TempFolder, system_temp_ + "Marvex\\");
  EXPECT_TRUE(stdfs::is_directory(root_ / "Marvex" / "tmp"));
  // A second start over an existing folder keeps its content.
  Touch(root_ / "Marvex" / "a.txt");
  TempFolderStartup(SystemFileSystem(), system_temp_);
  EXPECT_TRUE(stdfs::exists(root_ / "Marvex" / "a.txt"));
}

TEST_F(TempFolderTest, CleanupEmptiesBothFoldersOnlyWhenClaimed) {
  TempFolderStartup(SystemFileSystem(), system_temp_);
  const stdfs::path marvex = root_ / "Marvex";
  Touch(marvex / "movie.swf");
  Touch(marvex / "tmp" / "part.dat");
  Touch(marvex / "ro.txt");
  stdfs::permissions(marvex / "ro.txt", stdfs::perms::owner_read);
  stdfs::create_directories(marvex / "other");
  Touch(marvex / "other" / "inner.dat");

  ASSERT_FALSE(TempFolderClaimed());
  TempFolderCleanup(SystemFileSystem());
  EXPECT_TRUE(stdfs::exists(marvex / "movie.swf")) << "an unclaimed instance deleted files";

  ClaimTempFolder();
  TempFolderCleanup(SystemFileSystem());
  EXPECT_FALSE(stdfs::exists(marvex / "movie.swf"));
  EXPECT_FALSE(stdfs::exists(marvex / "tmp" / "part.dat"));
  EXPECT_FALSE(stdfs::exists(marvex / "ro.txt"));
  EXPECT_TRUE(stdfs::is_directory(marvex / "tmp"));
  EXPECT_TRUE(stdfs::exists(marvex / "other" / "inner.dat"));
}

}  // namespace
}  // namespace flashsaver
