// Picture files: the decoder chosen by extension, the format check of the first bytes, and the
// JPEG decoder on good, damaged and hostile data.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "player/bitmap/jpeg_dib.h"
#include "startup/picture_format.h"

namespace flashsaver {
namespace {

std::vector<uint8_t> Fixture(const std::string& name) {
  std::ifstream in(std::string(FLASHSAVER_SOURCE_DIR) + "/tests/data/pictures/" + name,
                   std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct ExtensionCase {
  const char* path;
  PictureFormat format;
};

TEST(PictureFormatForPath, ChoosesByExtensionInAnyCase) {
  const ExtensionCase cases[] = {
      {"C:\\pics\\a.bmp", PictureFormat::kBitmap},
      {"C:\\pics\\a.BMP", PictureFormat::kBitmap},
      {"a.ico", PictureFormat::kIcon},
      {"a.wmf", PictureFormat::kMetafile},
      {"a.Emf", PictureFormat::kEnhancedMetafile},
      {"a.GIF", PictureFormat::kGif},
      {"a.gif", PictureFormat::kGif},
      {"a.jpg", PictureFormat::kJpeg},
      {"a.JPEG", PictureFormat::kJpeg},
      {"my.pictures\\a.jpeg", PictureFormat::kJpeg},
      {"a.png", PictureFormat::kUnsupported},
      {"a.jpe", PictureFormat::kUnsupported},
      {"a.tif", PictureFormat::kUnsupported},
      {"a.bmp.txt", PictureFormat::kUnsupported},
      {"C:\\my.bmp\\picture", PictureFormat::kUnsupported},
      {"bmp", PictureFormat::kUnsupported},
      {"a.", PictureFormat::kUnsupported},
      {"", PictureFormat::kUnsupported},
  };
  for (const ExtensionCase& c : cases) {
    EXPECT_EQ(PictureFormatForPath(c.path), c.format) << c.path;
  }
}

TEST(PictureDataMatches, EachFixtureMatchesOnlyItsOwnFormat) {
  const ExtensionCase fixtures[] = {
      {"picture.bmp", PictureFormat::kBitmap},
      {"picture.ico", PictureFormat::kIcon},
      {"picture.gif", PictureFormat::kGif},
      {"picture.jpg", PictureFormat::kJpeg},
  };
  const PictureFormat all[] = {PictureFormat::kBitmap,   PictureFormat::kIcon,
                               PictureFormat::kMetafile, PictureFormat::kEnhancedMetafile,
                               PictureFormat::kGif,      PictureFormat::kJpeg};
  for (const ExtensionCase& f : fixtures) {
    const std::vector<uint8_t> data = Fixture(f.path);
    ASSERT_FALSE(data.empty()) << f.path;
    for (PictureFormat format : all) {
      EXPECT_EQ(PictureDataMatches(format, data.data(), data.size()), format == f.format)
          << f.path << " as format " << static_cast<int>(format);
    }
  }
  const std::vector<uint8_t> png = Fixture("picture.png");
  for (PictureFormat format : all) {
    EXPECT_FALSE(PictureDataMatches(format, png.data(), png.size()));
  }
}

TEST(PictureDataMatches, MetafileHeaders) {
  std::vector<uint8_t> placeable(64, 0);
  placeable[0] = 0xD7;
  placeable[1] = 0xCD;
  placeable[2] = 0xC6;
  placeable[3] = 0x9A;
  EXPECT_TRUE(PictureDataMatches(PictureFormat::kMetafile, placeable.data(), placeable.size()));
  EXPECT_FALSE(PictureDataMatches(PictureFormat::kMetafile, placeable.data(), 20));

  std::vector<uint8_t> emf(108, 0);
  emf[0] = 1;
  emf[40] = ' ';
  emf[41] = 'E';
  emf[42] = 'M';
  emf[43] = 'F';
  EXPECT_TRUE(PictureDataMatches(PictureFormat::kEnhancedMetafile, emf.data(), emf.size()));
  emf[41] = 'X';
  EXPECT_FALSE(PictureDataMatches(PictureFormat::kEnhancedMetafile, emf.data(), emf.size()));
  EXPECT_FALSE(PictureDataMatches(PictureFormat::kEnhancedMetafile, emf.data(), 40));
}

TEST(DecodeJpeg, DecodesTheFixtureIntoTopDownBlueGreenRedRows) {
  const std::vector<uint8_t> data = Fixture("picture.jpg");
  DecodedImage image;
  ASSERT_TRUE(DecodeJpeg(data.data(), data.size(), image));
  ASSERT_EQ(image.width, 40);
  ASSERT_EQ(image.height, 30);
  ASSERT_EQ(image.pixels.size(), 40u * 30u * 4u);
  // Left half red, right half blue; JPEG is lossy, so near enough.
  auto pixel = [&](int x, int y) { return &image.pixels[(static_cast<size_t>(y) * 40 + x) * 4]; };
  for (int y : {0, 15, 29}) {
    const uint8_t* left = pixel(5, y);
    EXPECT_LT(left[0], 40);
    EXPECT_LT(left[1], 40);
    EXPECT_GT(left[2], 215);
    const uint8_t* right = pixel(34, y);
    EXPECT_GT(right[0], 215);
    EXPECT_LT(right[1], 40);
    EXPECT_LT(right[2], 40);
  }
}

TEST(DecodeJpeg, RefusesDataItCannotDecode) {
  const std::vector<uint8_t> good = Fixture("picture.jpg");
  ASSERT_GT(good.size(), 200u);
  struct Case {
    const char* label;
    std::vector<uint8_t> data;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}});
  cases.push_back({"marker only", {0xFF, 0xD8, 0xFF}});
  cases.push_back({"png", Fixture("picture.png")});
  cases.push_back({"header cut", std::vector<uint8_t>(good.begin(), good.begin() + 100)});
  std::vector<uint8_t> garbage(good.begin(), good.begin() + 2);
  garbage.resize(600, 0x5A);
  cases.push_back({"garbage after start marker", garbage});
  for (const Case& c : cases) {
    DecodedImage image;
    EXPECT_FALSE(DecodeJpeg(c.data.data(), c.data.size(), image)) << c.label;
    EXPECT_TRUE(image.pixels.empty()) << c.label;
  }
}

TEST(DecodeJpeg, RefusesHugeDimensionsWithoutAllocating) {
  std::vector<uint8_t> data = Fixture("picture.jpg");
  // The baseline frame header (FFC0): length, precision, then height and width.
  size_t sof = 0;
  for (size_t i = 2; i + 9 < data.size(); ++i) {
    if (data[i] == 0xFF && data[i + 1] == 0xC0) {
      sof = i;
      break;
    }
  }
  ASSERT_NE(sof, 0u);
  data[sof + 5] = 0xFF;
  data[sof + 6] = 0xFF;
  data[sof + 7] = 0xFF;
  data[sof + 8] = 0xFF;
  DecodedImage image;
  EXPECT_FALSE(DecodeJpeg(data.data(), data.size(), image));
}

}  // namespace
}  // namespace flashsaver
