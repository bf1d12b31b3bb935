// The SWF reader over byte tables, and over movies of the test writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>

#include <lzma.h>
#include <zlib.h>

#include <vector>

#include "player/swf/byte_reader.h"
#include "player/swf/swf_movie.h"
#include "tools/swf_writer.h"

namespace flashsaver {
namespace {

using Bytes = std::vector<uint8_t>;

// "FWS" version 6, a 550 x 400 px stage (RECT with 15-bit fields), 24 fps, 2 frames,
// SetBackgroundColor 0x336699, two ShowFrame tags and End.
const Bytes kSmallMovie = {
    'F',  'W',  'S',  6,    0x20, 0,    0,    0,           // signature, version, length 32
    0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00,  // RECT 0..11000, 0..8000 twips
    0x00, 0x18,                                            // 24.0 fps
    0x02, 0x00,                                            // 2 frames
    0x43, 0x02, 0x33, 0x66, 0x99,                          // SetBackgroundColor
    0x40, 0x00, 0x40, 0x00,                                // ShowFrame, ShowFrame
    0x00, 0x00};                                           // End

TEST(SwfReader, ReadsAHandWrittenMovie) {
  const SwfMovie movie = ReadSwfMovie(kSmallMovie);
  EXPECT_EQ(movie.header.compression, SwfCompression::kNone);
  EXPECT_EQ(movie.header.version, 6);
  EXPECT_EQ(movie.header.file_length, 32u);
  EXPECT_EQ(movie.header.stage, (SwfRect{Twips{0}, Twips{11000}, Twips{0}, Twips{8000}}));
  EXPECT_DOUBLE_EQ(movie.header.stage.Width().ToPixels(), 550.0);
  EXPECT_DOUBLE_EQ(movie.header.frame_rate.PerSecond(), 24.0);
  EXPECT_EQ(movie.header.frame_count, 2);
  ASSERT_TRUE(movie.background.has_value());
  EXPECT_EQ(movie.background->value, 0x336699u);
  EXPECT_EQ(movie.show_frame_tags, 2u);
  EXPECT_FALSE(movie.tag_problem.has_value());
}

struct WrittenCase {
  const char* label;
  SwfMovieSpec spec;
};

void PrintTo(const WrittenCase& c, std::ostream* os) { *os << c.label; }

class SwfRoundTrip : public ::testing::TestWithParam<WrittenCase> {};

TEST_P(SwfRoundTrip, ReadsBackWhatTheWriterWrote) {
  const SwfMovieSpec& spec = GetParam().spec;
  const SwfMovie movie = ReadSwfMovie(WriteSwfMovie(spec));
  EXPECT_EQ(movie.header.compression,
            spec.compressed ? SwfCompression::kZlib : SwfCompression::kNone);
  EXPECT_EQ(movie.header.stage.Width().value, spec.width_px * 20);
  EXPECT_EQ(movie.header.stage.Height().value, spec.height_px * 20);
  EXPECT_EQ(movie.header.frame_rate.fixed_8_8, spec.frame_rate_8_8);
  EXPECT_EQ(movie.header.frame_count, spec.frame_count);
  EXPECT_EQ(movie.show_frame_tags, spec.frame_count);
  EXPECT_EQ(movie.background.has_value(), spec.background_rgb.has_value());
  if (movie.background) {
    EXPECT_EQ(movie.background->value, *spec.background_rgb);
  }
  EXPECT_FALSE(movie.tag_problem.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SwfRoundTrip,
    ::testing::Values(WrittenCase{"Plain", {10, false, 550, 400, 12 * 256, 24, 0x000000}},
                      WrittenCase{"Zlib", {10, true, 800, 600, 30 * 256, 300, 0xFF8000}},
                      WrittenCase{"FractionalRate", {8, false, 1, 1, 0x0C80, 1, 0x123456}},
                      WrittenCase{"NoBackground", {10, true, 640, 480, 25 * 256, 5, std::nullopt}},
                      WrittenCase{"NoFrames", {10, false, 100, 100, 12 * 256, 0, 0xFFFFFF}},
                      WrittenCase{"LongTagRun", {10, true, 4000, 3000, 0xFFFF, 70, 0x010203}}),
    [](const ::testing::TestParamInfo<WrittenCase>& info) { return info.param.label; });

struct BadCase {
  const char* label;
  Bytes bytes;
  SwfErrorKind kind;
};

void PrintTo(const BadCase& c, std::ostream* os) { *os << c.label; }

Bytes Truncated(size_t n) { return Bytes(kSmallMovie.begin(), kSmallMovie.begin() + n); }

Bytes CompressedWithLength(uint32_t length) {
  SwfMovieSpec spec;
  spec.compressed = true;
  Bytes b = WriteSwfMovie(spec);
  b[4] = static_cast<uint8_t>(length);
  b[5] = static_cast<uint8_t>(length >> 8);
  b[6] = static_cast<uint8_t>(length >> 16);
  b[7] = static_cast<uint8_t>(length >> 24);
  return b;
}

Bytes DamagedZlib() {
  Bytes b = {'C', 'W', 'S', 10, 100, 0, 0, 0, 0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF};
  return b;
}

class SwfBadInput : public ::testing::TestWithParam<BadCase> {};

TEST_P(SwfBadInput, FailsWithATypedError) {
  try {
    ReadSwfMovie(GetParam().bytes);
    FAIL() << "no error";
  } catch (const SwfError& e) {
    EXPECT_EQ(e.kind(), GetParam().kind) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SwfBadInput,
    ::testing::Values(
        BadCase{"Empty", {}, SwfErrorKind::kNotSwf},
        BadCase{"OtherSignature", {'G', 'I', 'F', '8', '9', 'a', 0, 0}, SwfErrorKind::kNotSwf},
        BadCase{"LowerCase", {'f', 'w', 's', 6, 8, 0, 0, 0}, SwfErrorKind::kNotSwf},
        BadCase{"LzmaWithoutProperties",
                {'Z', 'W', 'S', 13, 100, 0, 0, 0, 1, 2, 3},
                SwfErrorKind::kTruncated},
        BadCase{"LzmaBadProperties",
                {'Z', 'W', 'S', 13, 100, 0, 0, 0, 9, 0, 0, 0, 0xFF, 0, 0, 1, 0, 0},
                SwfErrorKind::kBadCompressedData},
        BadCase{"LzmaDamagedData",
                {'Z', 'W', 'S', 13, 100, 0, 0, 0, 9, 0, 0, 0, 0x5D, 0, 0, 1, 0, 0xFF, 0xFF},
                SwfErrorKind::kBadCompressedData},
        BadCase{"NoLength", Truncated(6), SwfErrorKind::kTruncated},
        BadCase{"InsideRect", Truncated(12), SwfErrorKind::kTruncated},
        BadCase{"NoFrameCount", Truncated(20), SwfErrorKind::kTruncated},
        BadCase{"HugeClaim", CompressedWithLength(0xFFFFFFF0u), SwfErrorKind::kTooLarge},
        BadCase{"DamagedZlib", DamagedZlib(), SwfErrorKind::kBadCompressedData},
        BadCase{"ClaimShorterThanHeader", CompressedWithLength(10), SwfErrorKind::kTruncated}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return info.param.label; });

struct TagProblemCase {
  const char* label;
  Bytes tail;  // what follows the header of kSmallMovie
  std::optional<uint16_t> tag;
  SwfErrorKind kind;
  bool background_found;
};

void PrintTo(const TagProblemCase& c, std::ostream* os) { *os << c.label; }

class SwfTagProblems : public ::testing::TestWithParam<TagProblemCase> {};

TEST_P(SwfTagProblems, KeepTheHeaderAndNameTheTag) {
  Bytes b(kSmallMovie.begin(), kSmallMovie.begin() + 21);
  b.insert(b.end(), GetParam().tail.begin(), GetParam().tail.end());
  const SwfMovie movie = ReadSwfMovie(b);
  EXPECT_EQ(movie.header.frame_count, 2);
  ASSERT_TRUE(movie.tag_problem.has_value());
  EXPECT_EQ(movie.tag_problem->kind(), GetParam().kind);
  EXPECT_EQ(movie.tag_problem->tag(), GetParam().tag);
  EXPECT_EQ(movie.background.has_value(), GetParam().background_found);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SwfTagProblems,
    ::testing::Values(
        TagProblemCase{"ShortColour", {0x42, 0x02, 0x33, 0x66}, 9, SwfErrorKind::kBadTag, false},
        TagProblemCase{"BodyPastEnd", {0x43, 0x02, 0x33}, 9, SwfErrorKind::kTruncated, false},
        TagProblemCase{"LongLengthPastEnd",
                       {0x43, 0x02, 1, 2, 3, 0x3F, 0x03, 0xFF, 0xFF, 0xFF, 0x7F},
                       12,
                       SwfErrorKind::kTruncated,
                       true},
        TagProblemCase{"HalfTagHeader",
                       {0x43, 0x02, 1, 2, 3, 0x40},
                       std::nullopt,
                       SwfErrorKind::kTruncated,
                       true}),
    [](const ::testing::TestParamInfo<TagProblemCase>& info) { return info.param.label; });

TEST(SwfReader, MissingEndTagIsNoProblem) {
  const Bytes b = Truncated(kSmallMovie.size() - 2);
  const SwfMovie movie = ReadSwfMovie(b);
  EXPECT_FALSE(movie.tag_problem.has_value());
  EXPECT_EQ(movie.show_frame_tags, 2u);
}

TEST(SwfReader, ZlibStreamCutShortKeepsTheHeaderAndTheTagsBeforeTheCut) {
  SwfMovieSpec spec;
  spec.frame_count = 500;
  const Bytes plain = WriteSwfMovie(spec);
  // Stored (level 0) blocks keep the bytes in place, so the cut falls at a known spot.
  uLongf packed_size = compressBound(static_cast<uLong>(plain.size() - 8));
  Bytes packed(packed_size);
  ASSERT_EQ(compress2(packed.data(), &packed_size, plain.data() + 8,
                      static_cast<uLong>(plain.size() - 8), 0),
            Z_OK);
  Bytes file(plain.begin(), plain.begin() + 8);
  file[0] = 'C';
  file.insert(file.end(), packed.begin(), packed.begin() + 2 + 5 + 400);
  const SwfMovie movie = ReadSwfMovie(file);
  EXPECT_EQ(movie.header.frame_count, 500);
  EXPECT_GT(movie.show_frame_tags, 150u);
  EXPECT_LT(movie.show_frame_tags, 500u);
}

// A "ZWS" movie as the authoring tools write it: the LZMA properties from an .lzma stream
// (5 property bytes, 8 size bytes), moved behind the compressed length.
Bytes LzmaMovie(const Bytes& plain, size_t keep_packed = SIZE_MAX) {
  lzma_options_lzma options;
  EXPECT_FALSE(lzma_lzma_preset(&options, 6));
  lzma_stream stream = LZMA_STREAM_INIT;
  EXPECT_EQ(lzma_alone_encoder(&stream, &options), LZMA_OK);
  Bytes alone(plain.size() + 1024);
  stream.next_in = plain.data() + 8;
  stream.avail_in = plain.size() - 8;
  stream.next_out = alone.data();
  stream.avail_out = alone.size();
  EXPECT_EQ(lzma_code(&stream, LZMA_FINISH), LZMA_STREAM_END);
  alone.resize(alone.size() - stream.avail_out);
  lzma_end(&stream);
  const Bytes properties(alone.begin(), alone.begin() + 5);
  Bytes packed(alone.begin() + 13, alone.end());
  packed.resize(std::min(packed.size(), keep_packed));
  Bytes file(plain.begin(), plain.begin() + 8);
  file[0] = 'Z';
  for (int i = 0; i < 4; ++i) file.push_back(static_cast<uint8_t>(packed.size() >> (8 * i)));
  file.insert(file.end(), properties.begin(), properties.end());
  file.insert(file.end(), packed.begin(), packed.end());
  return file;
}

TEST(SwfReader, LzmaMovieReadsAsItsUncompressedForm) {
  SwfMovieSpec spec;
  spec.frame_count = 300;
  spec.background_rgb = 0x204060;
  const Bytes plain = WriteSwfMovie(spec);
  const Bytes file = LzmaMovie(plain);
  const Bytes uncompressed = UncompressSwf(file);
  ASSERT_EQ(uncompressed.size(), plain.size());
  EXPECT_TRUE(std::equal(plain.begin() + 1, plain.end(), uncompressed.begin() + 1))
      << "all but the signature's first letter";
  const SwfMovie movie = ReadSwfMovie(file);
  EXPECT_EQ(movie.header.compression, SwfCompression::kLzma);
  EXPECT_EQ(movie.show_frame_tags, 300u);
  ASSERT_TRUE(movie.background.has_value());
  EXPECT_EQ(movie.background->value, 0x204060u);
  EXPECT_FALSE(movie.tag_problem.has_value());
}

TEST(SwfReader, LzmaDataCutShortKeepsTheTagsBeforeTheCut) {
  SwfMovieSpec spec;
  spec.frame_count = 5000;
  const Bytes plain = WriteSwfMovie(spec);
  const Bytes whole = LzmaMovie(plain);
  const Bytes file = LzmaMovie(plain, (whole.size() - 17) / 2);
  const SwfMovie movie = ReadSwfMovie(file);
  EXPECT_EQ(movie.header.frame_count, 5000);
  EXPECT_GT(movie.show_frame_tags, 0u);
  EXPECT_LT(movie.show_frame_tags, 5000u);
}

struct BitsCase {
  Bytes bytes;
  int count;
  int32_t expected_signed;
};

class BitFields : public ::testing::TestWithParam<BitsCase> {};

TEST_P(BitFields, ReadMostSignificantFirstAndSignExtend) {
  ByteReader reader(GetParam().bytes);
  EXPECT_EQ(reader.SignedBits(GetParam().count), GetParam().expected_signed);
  EXPECT_TRUE(reader.ok());
}

INSTANTIATE_TEST_SUITE_P(Cases, BitFields,
                         ::testing::Values(BitsCase{{0x80}, 1, -1}, BitsCase{{0x40}, 2, 1},
                                           BitsCase{{0xF0}, 4, -1}, BitsCase{{0x70}, 4, 7},
                                           BitsCase{{0x80, 0x00}, 9, -256},
                                           BitsCase{{0x7F, 0xFF, 0xFF, 0xFF}, 32, 0x7FFFFFFF},
                                           BitsCase{{0x00}, 0, 0}));

TEST(ByteReader, StaysFailedAfterAShortRead) {
  const Bytes b = {1, 2, 3};
  ByteReader reader(b);
  EXPECT_EQ(reader.U16(), 0x0201);
  EXPECT_EQ(reader.U32(), 0u);
  EXPECT_FALSE(reader.ok());
  EXPECT_EQ(reader.U8(), 0);
  EXPECT_EQ(reader.remaining(), 0u);
}

TEST(ByteReader, HugeSkipDoesNotWrap) {
  const Bytes b = {1, 2, 3};
  ByteReader reader(b);
  reader.U8();
  reader.Skip(SIZE_MAX);
  EXPECT_FALSE(reader.ok());
}

}  // namespace
}  // namespace flashsaver
