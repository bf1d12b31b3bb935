// saverpack --still: the argument, the BMP it writes, and the saver that packs it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/sample_movies.h"
#include "tools/saverpack/movie_still.h"
#include "tools/saverpack/saver_listing.h"
#include "tools/swf_writer.h"

namespace saverpack {
namespace {

namespace stdfs = std::filesystem;

uint32_t Le(const std::string& s, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(s[at + i]);
  return v;
}

TEST(MovieStill, ArgumentSplitsOffATrailingFrameNumberOnly) {
  struct Case {
    const char* text;
    const char* movie;
    int frame;
  };
  const Case cases[] = {
      {"a.swf", "a.swf", 1},
      {"a.swf:12", "a.swf", 12},
      {"C:\\movies\\a.swf", "C:\\movies\\a.swf", 1},
      {"C:\\movies\\a.swf:3", "C:\\movies\\a.swf", 3},
      {"a.swf:", "a.swf:", 1},
      {"dir:x/a.swf", "dir:x/a.swf", 1},
      {"a.swf:65535", "a.swf", 65535},
  };
  for (const Case& c : cases) {
    const StillSource s = ParseStillArgument(c.text);
    EXPECT_EQ(s.movie, c.movie) << c.text;
    EXPECT_EQ(s.frame, c.frame) << c.text;
  }
  for (const char* bad : {"a.swf:0", "a.swf:65536", "a.swf:99999999999999999999"}) {
    EXPECT_THROW(ParseStillArgument(bad), std::runtime_error) << bad;
  }
}

TEST(MovieStill, BmpRowsRunBottomUpInBlueGreenRedPaddedToFourBytes) {
  flashsaver::Picture p(3, 2);
  p.pixels = {0xFF102030, 0xFF405060, 0xFF708090, 0xFFA0B0C0, 0xFFD0E0F0, 0xFF010203};
  const std::string bmp = EncodeBmp24(p);
  ASSERT_EQ(bmp.size(), 54u + 2 * 12);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(Le(bmp, 2, 4), bmp.size());
  EXPECT_EQ(Le(bmp, 10, 4), 54u);
  EXPECT_EQ(Le(bmp, 18, 4), 3u);
  EXPECT_EQ(Le(bmp, 22, 4), 2u);
  EXPECT_EQ(Le(bmp, 28, 2), 24u);
  // The bottom row first: C0 B0 A0 is the blue, green and red of 0xA0B0C0.
  EXPECT_EQ(Le(bmp, 54, 3), 0xA0B0C0u);
  EXPECT_EQ(Le(bmp, 54 + 6, 3), 0x010203u);
  EXPECT_EQ(Le(bmp, 54 + 9, 3), 0u);  // padding
  EXPECT_EQ(Le(bmp, 54 + 12, 3), 0x102030u);
}

class MovieStillSaver : public ::testing::Test {
 protected:
  void SetUp() override {
    stdfs::remove_all(root_);
    stdfs::create_directories(root_ / "work");
    std::ofstream(root_ / "engine.bin", std::ios::binary) << std::string(4096, 'E');
    ASSERT_TRUE(flashsaver::WriteBytesToFile(flashsaver::SampleMovie("mask"),
                                             (root_ / "stripes.swf").string()));
  }
  void TearDown() override { stdfs::remove_all(root_); }

  const stdfs::path root_ = stdfs::temp_directory_path() / "flashsaver-movie-still";
};

TEST_F(MovieStillSaver, PacksTheStillAndNamesItForThePreview) {
  BuildRequest r;
  r.engine = (root_ / "engine.bin").string();
  r.output = (root_ / "Still.scr").string();
  const std::string key =
      AddMovieStill(r, (root_ / "stripes.swf").string() + ":3", false, root_ / "work");
  EXPECT_EQ(key, "stripes_still.bmp");
  BuildSaver(r);

  std::ostringstream report;
  EXPECT_TRUE(InspectSaver(r.output, report)) << report.str();
  EXPECT_NE(report.str().find("Build_StaticImage=stripes_still.bmp"), std::string::npos)
      << report.str();
  EXPECT_NE(report.str().find("Build_UseStaticPreview=1"), std::string::npos);
  EXPECT_NE(report.str().find("stripes_still.bmp  zip"), std::string::npos);
  EXPECT_NE(report.str().find("preview still: stripes_still.bmp (packed)\n"), std::string::npos);

  // The stage's size and, where nothing is drawn, the movie's background colour.
  std::ifstream in(root_ / "work" / key, std::ios::binary);
  const std::string bmp{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_GT(bmp.size(), 54u);
  EXPECT_EQ(Le(bmp, 18, 4), 240u);
  EXPECT_EQ(Le(bmp, 22, 4), 100u);
  EXPECT_EQ(Le(bmp, 54, 3), 0x303030u);
}

TEST_F(MovieStillSaver, RefusesFramesPastTheEndAndFilesThatAreNoMovie) {
  BuildRequest r;
  EXPECT_THROW(AddMovieStill(r, (root_ / "stripes.swf").string() + ":4", false, root_ / "work"),
               std::runtime_error);
  EXPECT_THROW(AddMovieStill(r, (root_ / "engine.bin").string(), false, root_ / "work"),
               std::runtime_error);
  EXPECT_THROW(AddMovieStill(r, (root_ / "missing.swf").string(), false, root_ / "work"),
               std::runtime_error);
  EXPECT_TRUE(r.packed.empty());
  EXPECT_TRUE(r.settings.empty());
}

}  // namespace
}  // namespace saverpack
