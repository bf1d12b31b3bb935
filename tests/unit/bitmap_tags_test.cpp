// The bitmap tags: lossless pictures of each format written byte by byte, JPEG pictures split
// the ways movies store them, the alpha plane of DefineBitsJPEG3, and damaged or oversized data.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "player/bitmap/jpeg_decoder.h"
#include "player/display/definition_tags.h"

namespace flashsaver {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Fixture(const std::string& name) {
  std::ifstream in(std::string(FLASHSAVER_SOURCE_DIR) + "/tests/data/pictures/" + name,
                   std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes Zlib(const Bytes& plain) {
  uLongf size = compressBound(static_cast<uLong>(plain.size()));
  Bytes packed(size);
  compress(packed.data(), &size, plain.data(), static_cast<uLong>(plain.size()));
  packed.resize(size);
  return packed;
}

void Append16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

void Append32(Bytes& b, uint32_t v) {
  Append16(b, v & 0xFFFF);
  Append16(b, v >> 16);
}

Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The body of a DefineBitsLossless(2) tag with id 1.
Bytes LosslessBody(uint8_t format, uint16_t width, uint16_t height, int table_entries,
                   const Bytes& plain) {
  Bytes b;
  Append16(b, 1);
  b.push_back(format);
  Append16(b, width);
  Append16(b, height);
  if (format == 3) b.push_back(static_cast<uint8_t>(table_entries - 1));
  return Join(b, Zlib(plain));
}

const Picture* Read(uint16_t code, const Bytes& body, CharacterLibrary& library) {
  ReadBitmapTag(SwfTag{code, body}, library);
  return library.FindBitmap(1);
}

struct LosslessCase {
  const char* label;
  uint16_t code;
  uint8_t format;
  uint16_t width, height;
  int table_entries;
  Bytes plain;  // what the zlib data inflates to
  std::vector<uint32_t> expected;
};

TEST(LosslessBitmaps, DecodeEveryFormatPixelByPixel) {
  const LosslessCase cases[] = {
      {"colour-mapped RGB, rows padded to 4 bytes, index past the table transparent",
       swf_tag::kDefineBitsLossless,
       3,
       3,
       2,
       2,
       {0xFF, 0, 0, 0, 0x80, 0xFF,  //
        0, 1, 0, 0xAA,              //
        1, 1, 7, 0xAA},
       {0xFFFF0000, 0xFF0080FF, 0xFFFF0000, 0xFF0080FF, 0xFF0080FF, 0}},
      {"colour-mapped RGBA, stored premultiplied, colour above alpha held to it",
       swf_tag::kDefineBitsLossless2,
       3,
       2,
       1,
       2,
       {0x40, 0x20, 0x10, 0x80, 0xFF, 0x00, 0x00, 0x40,  //
        0, 1, 0, 0},
       {0x80402010, 0x40400000}},
      {"15-bit, big-endian words, rows padded",
       swf_tag::kDefineBitsLossless,
       4,
       1,
       3,
       0,
       {0x7C, 0x00, 0, 0, 0x00, 0x1F, 0, 0, 0x42, 0x10, 0, 0},
       {0xFFFF0000, 0xFF0000FF, 0xFF848484}},
      {"24-bit, the pad byte ignored",
       swf_tag::kDefineBitsLossless,
       5,
       2,
       1,
       0,
       {0x00, 0x11, 0x22, 0x33, 0x7F, 0xFE, 0xDC, 0xBA},
       {0xFF112233, 0xFFFEDCBA}},
      {"32-bit premultiplied ARGB",
       swf_tag::kDefineBitsLossless2,
       5,
       2,
       1,
       0,
       {0x80, 0x40, 0x7F, 0x90, 0x00, 0x00, 0x00, 0x00},
       {0x80407F80, 0}},
  };
  for (const LosslessCase& c : cases) {
    CharacterLibrary library(8);
    const Picture* picture =
        Read(c.code, LosslessBody(c.format, c.width, c.height, c.table_entries, c.plain), library);
    ASSERT_NE(picture, nullptr) << c.label;
    EXPECT_EQ(picture->width, c.width) << c.label;
    EXPECT_EQ(picture->height, c.height) << c.label;
    EXPECT_EQ(picture->pixels, c.expected) << c.label;
  }
}

struct RefusedCase {
  const char* label;
  uint16_t code;
  Bytes body;
};

TEST(BitmapTags, RefuseDamagedOrOversizedDataAndDefineNothing) {
  const Bytes jpeg = Fixture("picture.jpg");
  ASSERT_GT(jpeg.size(), 300u);
  const Bytes two_pixels = {0, 1, 2, 3, 0, 1, 2, 3};
  Bytes bomb_plain(100000, 0);
  Bytes jpeg3_past_end;
  Append16(jpeg3_past_end, 1);
  Append32(jpeg3_past_end, static_cast<uint32_t>(jpeg.size() + 1));
  jpeg3_past_end = Join(jpeg3_past_end, jpeg);
  Bytes cut_zlib = LosslessBody(5, 2, 1, 0, two_pixels);
  cut_zlib.resize(cut_zlib.size() - 6);
  Bytes garbage_zlib = LosslessBody(5, 2, 1, 0, two_pixels);
  std::fill(garbage_zlib.begin() + 7, garbage_zlib.end(), 0x5A);
  const RefusedCase cases[] = {
      {"no id", swf_tag::kDefineBitsLossless, {1}},
      {"lossless header cut", swf_tag::kDefineBitsLossless, {1, 0, 5, 2, 0}},
      {"zero width", swf_tag::kDefineBitsLossless, LosslessBody(5, 0, 1, 0, two_pixels)},
      {"side past the cap", swf_tag::kDefineBitsLossless2, LosslessBody(5, 9000, 1, 0, bomb_plain)},
      {"too many pixels", swf_tag::kDefineBitsLossless2,
       LosslessBody(5, 8000, 8000, 0, bomb_plain)},
      {"unknown format", swf_tag::kDefineBitsLossless, LosslessBody(6, 2, 1, 0, two_pixels)},
      {"zlib data too short", swf_tag::kDefineBitsLossless, LosslessBody(5, 3, 1, 0, two_pixels)},
      {"zlib data cut", swf_tag::kDefineBitsLossless, cut_zlib},
      {"zlib data damaged", swf_tag::kDefineBitsLossless, garbage_zlib},
      {"colour table cut", swf_tag::kDefineBitsLossless2, LosslessBody(3, 1, 1, 256, {1, 2, 3})},
      {"jpeg garbage", swf_tag::kDefineBitsJpeg2, Join({1, 0}, Bytes(500, 0x5A))},
      {"jpeg cut in its header", swf_tag::kDefineBitsJpeg2,
       Join({1, 0}, Bytes(jpeg.begin(), jpeg.begin() + 120))},
      {"png cut", swf_tag::kDefineBitsJpeg2,
       Join({1, 0}, Bytes{0x89, 'P', 'N', 'G', 13, 10, 26, 10})},
      {"jpeg3 image past the tag", swf_tag::kDefineBitsJpeg3, jpeg3_past_end},
      {"defineBits without tables or image", swf_tag::kDefineBits, {1, 0}},
  };
  for (const RefusedCase& c : cases) {
    CharacterLibrary library(8);
    try {
      ReadBitmapTag(SwfTag{c.code, c.body}, library);
      ADD_FAILURE() << c.label << ": no error";
    } catch (const SwfError& e) {
      EXPECT_EQ(e.kind(), SwfErrorKind::kBadTag) << c.label;
      EXPECT_EQ(e.tag(), c.code) << c.label;
    }
    EXPECT_EQ(library.Find(1), nullptr) << c.label;
  }
}

// Splits the fixture JPEG (SOI, APP0, DQT, DQT, SOF0, DHT x4, SOS...) as a DefineBits movie
// stores it: the quantisation and Huffman tables in JPEGTables, each part with its own start
// and end markers, and the older encoders' end-start pair in front of the image.
TEST(JpegBitmaps, EveryStorageFormDecodesToTheSamePicture) {
  const Bytes jpeg = Fixture("picture.jpg");
  const std::optional<Picture> direct = DecodeJpegPicture(jpeg, 1 << 20);
  ASSERT_TRUE(direct.has_value());
  struct Segment {
    size_t begin, end;
  };
  std::vector<Segment> segments;
  size_t pos = 2;
  while (jpeg[pos + 1] != 0xDA) {
    const size_t length = jpeg[pos + 2] << 8 | jpeg[pos + 3];
    segments.push_back({pos, pos + 2 + length});
    pos += 2 + length;
  }
  const Bytes soi = {0xFF, 0xD8}, eoi = {0xFF, 0xD9};
  Bytes tables = soi, image = {0xFF, 0xD9, 0xFF, 0xD8};
  for (const Segment& s : segments) {
    const bool is_table = jpeg[s.begin + 1] == 0xDB || jpeg[s.begin + 1] == 0xC4;
    Bytes& to = is_table ? tables : image;
    to.insert(to.end(), jpeg.begin() + s.begin, jpeg.begin() + s.end);
  }
  tables = Join(tables, eoi);
  image.insert(image.end(), jpeg.begin() + pos, jpeg.end());

  CharacterLibrary split(6);
  ReadBitmapTag(SwfTag{swf_tag::kJpegTables, tables}, split);
  const Picture* from_tables = Read(swf_tag::kDefineBits, Join({1, 0}, image), split);
  ASSERT_NE(from_tables, nullptr);
  EXPECT_EQ(from_tables->pixels, direct->pixels);

  CharacterLibrary whole(6);
  const Bytes with_pair = Join({1, 0, 0xFF, 0xD9, 0xFF, 0xD8}, jpeg);
  const Picture* from_jpeg2 = Read(swf_tag::kDefineBitsJpeg2, with_pair, whole);
  ASSERT_NE(from_jpeg2, nullptr);
  EXPECT_EQ(from_jpeg2->pixels, direct->pixels);
}

TEST(JpegBitmaps, Jpeg3ColoursComePremultipliedAndADamagedPlaneLeavesItOpaque) {
  const Bytes jpeg = Fixture("picture.jpg");
  const std::optional<Picture> direct = DecodeJpegPicture(jpeg, 1 << 20);
  ASSERT_TRUE(direct.has_value());
  Bytes alpha(static_cast<size_t>(direct->width) * direct->height);
  for (size_t i = 0; i < alpha.size(); ++i) alpha[i] = static_cast<uint8_t>(i * 7);
  Bytes head;
  Append16(head, 1);
  Append32(head, static_cast<uint32_t>(jpeg.size()));
  head = Join(head, jpeg);

  CharacterLibrary library(8);
  const Picture* picture = Read(swf_tag::kDefineBitsJpeg3, Join(head, Zlib(alpha)), library);
  ASSERT_NE(picture, nullptr);
  ASSERT_EQ(picture->pixels.size(), alpha.size());
  for (size_t i = 0; i < alpha.size(); ++i) {
    const uint32_t a = alpha[i];
    const uint32_t pixel = picture->pixels[i];
    ASSERT_EQ(pixel >> 24, a) << i;
    for (int shift : {16, 8, 0}) {
      const uint32_t expected = std::min(direct->pixels[i] >> shift & 0xFF, a);
      ASSERT_EQ(pixel >> shift & 0xFF, expected) << i;
    }
  }

  CharacterLibrary short_plane(8);
  alpha.resize(alpha.size() / 2);
  const Picture* opaque = Read(swf_tag::kDefineBitsJpeg3, Join(head, Zlib(alpha)), short_plane);
  ASSERT_NE(opaque, nullptr);
  EXPECT_EQ(opaque->pixels, direct->pixels);
}

TEST(JpegBitmaps, PngAndGifDataDecodeThroughTheirOwnSignatures) {
  for (const char* name : {"picture.png", "picture.gif"}) {
    CharacterLibrary library(8);
    const Picture* picture = Read(swf_tag::kDefineBitsJpeg2, Join({1, 0}, Fixture(name)), library);
    ASSERT_NE(picture, nullptr) << name;
    // The fixtures are left half red, right half blue (near enough), opaque, like the JPEG.
    const uint32_t left = picture->pixels[5];
    const uint32_t right = picture->pixels[static_cast<size_t>(picture->width) - 5];
    EXPECT_EQ(left & 0xFFF0F0F0u, 0xFFF00000u) << name << std::hex << " " << left;
    EXPECT_EQ(right & 0xFFF0F0F0u, 0xFF0000F0u) << name << std::hex << " " << right;
  }
}

}  // namespace
}  // namespace flashsaver
