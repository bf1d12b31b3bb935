// The files a movie loads, read from its folder.
#include "player/display/folder_file_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace flashsaver {
namespace {

namespace stdfs = std::filesystem;

TEST(FolderFileReader, ReadsFilesBesideAndBelowTheMovie) {
  const stdfs::path root = stdfs::temp_directory_path() / "flashsaver_folder_reader_test";
  stdfs::remove_all(root);
  stdfs::create_directories(root / "movies" / "sub");
  std::ofstream(root / "movies" / "child.swf", std::ios::binary) << "abc";
  std::ofstream(root / "movies" / "sub" / "deep.swf", std::ios::binary) << "de";
  std::ofstream(root / "outside.swf", std::ios::binary) << "o";
  std::ofstream(root / "movies" / "empty.swf", std::ios::binary);
  { std::ofstream big(root / "movies" / "big.swf", std::ios::binary); }
  stdfs::resize_file(root / "movies" / "big.swf", kMaxLoadedFileBytes + 1);

  const MoviePlayer::FileReader read = FolderFileReader((root / "movies").string());
  struct Case {
    const char* path;
    std::optional<std::string> bytes;
  } cases[] = {
      {"child.swf", "abc"},    {"sub/deep.swf", "de"},    {"sub\\deep.swf", "de"},
      {"../outside.swf", "o"}, {"empty.swf", ""},         {"missing.swf", std::nullopt},
      {"sub", std::nullopt},   {"big.swf", std::nullopt},
  };
  for (const Case& c : cases) {
    const auto got = read(c.path);
    ASSERT_EQ(got.has_value(), c.bytes.has_value()) << c.path;
    if (got) {
      EXPECT_EQ(std::string(got->begin(), got->end()), *c.bytes) << c.path;
    }
  }
  EXPECT_FALSE(FolderFileReader("")("child.swf"));
  stdfs::remove_all(root);
}

TEST(FolderFileReader, FolderOfAMovie) {
  struct Case {
    const char* movie;
    const char* folder;
  } cases[] = {
      {"C:\\Saver\\tmp\\a.swf", "C:\\Saver\\tmp"},
      {"/home/u/a.swf", "/home/u"},
      {"/a.swf", "/"},
      {"a.swf", ""},
      {"http://example.com/m/a.swf", ""},
      {"file:///C:/m/a.swf", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(MovieFolderOf(c.movie), c.folder) << c.movie;
}

}  // namespace
}  // namespace flashsaver
