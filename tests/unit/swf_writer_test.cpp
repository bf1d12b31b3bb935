// The SWF writer's bit packing and records, read back with the player's byte reader, and the
// sample movies' tag lists read back with the player's tag reader.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <vector>

#include "player/swf/byte_reader.h"
#include "player/swf/swf_movie.h"
#include "tools/block_font.h"
#include "tools/sample_movies.h"
#include "tools/swf_records.h"
#include "tools/swf_writer.h"

namespace flashsaver {
namespace {

using swf_out::Bytes;

TEST(SwfWriterBits, SignedFieldsReadBackAtTheirWidth) {
  const int32_t values[] = {0,     1,      -1,     2,         -2,        16383,
                            16384, -16384, -16385, INT32_MAX, INT32_MIN, 11000};
  Bytes out;
  BitWriter bits(out);
  for (int32_t v : values) {
    bits.Unsigned(static_cast<uint32_t>(SignedBitsFor(v)), 5);
    bits.Signed(v, SignedBitsFor(v) == 32 ? 32 : SignedBitsFor(v));
  }
  ByteReader reader(out);
  for (int32_t v : values) {
    int n = static_cast<int>(reader.UnsignedBits(5));
    if (n == 0) n = 32;  // five bits cannot say 32; only the extremes need it
    EXPECT_EQ(reader.SignedBits(n), v);
  }
  EXPECT_TRUE(reader.ok());
  // The fewest bits: one more than any smaller field would leave the value's sign wrong.
  EXPECT_EQ(SignedBitsFor(0), 1);
  EXPECT_EQ(SignedBitsFor(-1), 1);
  EXPECT_EQ(SignedBitsFor(1), 2);
  EXPECT_EQ(SignedBitsFor(16383), 15);
  EXPECT_EQ(SignedBitsFor(16384), 16);
  EXPECT_EQ(SignedBitsFor(-16384), 15);
  EXPECT_EQ(UnsignedBitsFor(0), 0);
  EXPECT_EQ(UnsignedBitsFor(255), 8);
  EXPECT_EQ(UnsignedBitsFor(256), 9);
}

// MATRIX as the format lays it out, independent of the writer.
Matrix ReadMatrix(ByteReader& r) {
  Matrix m;
  if (r.UnsignedBits(1)) {
    const int n = static_cast<int>(r.UnsignedBits(5));
    m.a = r.SignedBits(n) / 65536.0;
    m.d = r.SignedBits(n) / 65536.0;
  }
  if (r.UnsignedBits(1)) {
    const int n = static_cast<int>(r.UnsignedBits(5));
    m.b = r.SignedBits(n) / 65536.0;
    m.c = r.SignedBits(n) / 65536.0;
  }
  const int n = static_cast<int>(r.UnsignedBits(5));
  m.tx = r.SignedBits(n);
  m.ty = r.SignedBits(n);
  return m;
}

struct MatrixCase {
  const char* label;
  Matrix m;
};

void PrintTo(const MatrixCase& c, std::ostream* os) { *os << c.label; }

class SwfWriterMatrix : public ::testing::TestWithParam<MatrixCase> {};

TEST_P(SwfWriterMatrix, ReadsBackWithinFixedPointPrecision) {
  const Matrix& m = GetParam().m;
  Bytes out;
  swf_out::PutMatrix(out, m);
  out.push_back(0xA5);  // the next record starts on a byte of its own
  ByteReader reader(out);
  const Matrix back = ReadMatrix(reader);
  EXPECT_EQ(reader.U8(), 0xA5);
  EXPECT_TRUE(reader.ok());
  EXPECT_NEAR(back.a, m.a, 1.0 / 65536);
  EXPECT_NEAR(back.b, m.b, 1.0 / 65536);
  EXPECT_NEAR(back.c, m.c, 1.0 / 65536);
  EXPECT_NEAR(back.d, m.d, 1.0 / 65536);
  EXPECT_EQ(back.tx, std::round(m.tx));
  EXPECT_EQ(back.ty, std::round(m.ty));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SwfWriterMatrix,
    ::testing::Values(MatrixCase{"Identity", {}}, MatrixCase{"Translation", {1, 0, 0, 1, 200, -7}},
                      MatrixCase{"ScaleOnly", {0.5, 0, 0, 3.25, 0, 0}},
                      MatrixCase{"Rotation", {0.6, 0.8, -0.8, 0.6, 4000, 3000}},
                      MatrixCase{"Mirror", {-1, 0, 0, -1, -12800, 9600}},
                      MatrixCase{"TinyGradient", {0.00061, 0.0001, -0.0001, 0.00061, 1, 1}},
                      MatrixCase{"LargeScale", {400, 0, 0, 400, 1e6, -1e6}}),
    [](const ::testing::TestParamInfo<MatrixCase>& info) { return info.param.label; });

TEST(SwfWriterRecords, ColourTransformWritesOnlyTheTermsInUse) {
  struct Case {
    ColorTransform cx;
    size_t bytes;
  };
  ColorTransform add_only;
  add_only.r_add = -255;
  add_only.b_add = 40;
  ColorTransform both = add_only;
  both.a_mult = 128;
  const Case cases[] = {{{}, 1}, {add_only, 6}, {both, 11}};  // 9 and 10 bits a term
  for (const Case& c : cases) {
    Bytes out;
    swf_out::PutColorTransform(out, c.cx);
    EXPECT_EQ(out.size(), c.bytes);
    ByteReader r(out);
    const bool has_add = r.UnsignedBits(1), has_mult = r.UnsignedBits(1);
    const int n = static_cast<int>(r.UnsignedBits(4));
    ColorTransform back;
    if (has_mult) {
      for (int16_t* v : {&back.r_mult, &back.g_mult, &back.b_mult, &back.a_mult}) {
        *v = static_cast<int16_t>(r.SignedBits(n));
      }
    }
    if (has_add) {
      for (int16_t* v : {&back.r_add, &back.g_add, &back.b_add, &back.a_add}) {
        *v = static_cast<int16_t>(r.SignedBits(n));
      }
    }
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(back, c.cx);
  }
}

// Walks SHAPE records as the format defines them and returns every point reached.
std::vector<std::pair<int32_t, int32_t>> WalkShape(ByteReader& r) {
  const int fill_bits = static_cast<int>(r.UnsignedBits(4));
  const int line_bits = static_cast<int>(r.UnsignedBits(4));
  std::vector<std::pair<int32_t, int32_t>> points;
  int32_t x = 0, y = 0;
  while (r.ok()) {
    if (r.UnsignedBits(1) == 0) {
      const uint32_t flags = r.UnsignedBits(5);
      if (flags == 0) break;
      EXPECT_EQ(flags & 0x10, 0u) << "no new styles are written";
      if (flags & 0x01) {
        const int n = static_cast<int>(r.UnsignedBits(5));
        x = r.SignedBits(n);
        y = r.SignedBits(n);
        points.emplace_back(x, y);
      }
      if (flags & 0x02) r.UnsignedBits(fill_bits);
      if (flags & 0x04) r.UnsignedBits(fill_bits);
      if (flags & 0x08) r.UnsignedBits(line_bits);
    } else if (r.UnsignedBits(1) == 1) {
      const int n = static_cast<int>(r.UnsignedBits(4)) + 2;
      if (r.UnsignedBits(1)) {
        x += r.SignedBits(n);
        y += r.SignedBits(n);
      } else if (r.UnsignedBits(1)) {
        y += r.SignedBits(n);
      } else {
        x += r.SignedBits(n);
      }
      points.emplace_back(x, y);
    } else {
      const int n = static_cast<int>(r.UnsignedBits(4)) + 2;
      x += r.SignedBits(n);
      y += r.SignedBits(n);
      points.emplace_back(x, y);  // the control point
      x += r.SignedBits(n);
      y += r.SignedBits(n);
      points.emplace_back(x, y);
    }
  }
  return points;
}

TEST(SwfWriterRecords, ShapeEdgesReachEveryPointTheContoursName) {
  swf_out::Shape shape;
  shape.fills = {swf_out::FillStyle::Solid({1, 2, 3, 255})};
  shape.lines = {{20, {0, 0, 0, 255}}, {40, {9, 9, 9, 255}}, {60, {1, 1, 1, 255}}};
  swf_out::Contour c;
  c.fill1 = 1;
  c.line = 3;
  c.start_x = -300;
  c.start_y = 65000;
  c.LineTo(-300, 100)  // vertical, long
      .LineTo(2, 100)  // horizontal
      .LineTo(3, 101)  // general, one twip each way
      .CurveTo(-60000, 0, 40, -40);
  swf_out::Contour far = swf_out::Rectangle(0, 0, 1, 1);
  shape.contours = {c, far};
  const Bytes tag = swf_out::DefineShape3(7, shape);

  ByteReader r(tag);
  const SwfTag t = ReadSwfTag(r);
  EXPECT_EQ(t.code, swf_tag::kDefineShape3);
  ByteReader body(t.body);
  EXPECT_EQ(body.U16(), 7);
  ByteReader bounds(t.body.subspan(2));
  const int n = static_cast<int>(bounds.UnsignedBits(5));
  EXPECT_EQ(bounds.SignedBits(n), -60000 - 30);  // widened by half the widest line
  EXPECT_EQ(bounds.SignedBits(n), 40 + 30);
  EXPECT_EQ(bounds.SignedBits(n), -40 - 30);
  EXPECT_EQ(bounds.SignedBits(n), 65000 + 30);
  EXPECT_EQ(bounds.U8(), 1);  // one fill style, solid
  EXPECT_EQ(bounds.U8(), 0x00);
  bounds.Skip(4);
  EXPECT_EQ(bounds.U8(), 3);  // three line styles
  bounds.Skip(3 * 6);
  const auto points = WalkShape(bounds);
  const std::vector<std::pair<int32_t, int32_t>> expected = {
      {-300, 65000}, {-300, 100}, {2, 100}, {3, 101}, {-60000, 0}, {40, -40},
      {0, 0},        {1, 0},      {1, 1},   {0, 1},   {0, 0}};
  EXPECT_EQ(points, expected);
  EXPECT_TRUE(bounds.ok());
  EXPECT_EQ(bounds.remaining(), 0u);
}

TEST(SwfWriterRecords, EdgesLongerThanTheFormatHoldsAreRefused) {
  swf_out::Shape shape;
  swf_out::Contour c;
  c.LineTo(70000, 0);
  shape.contours = {c};
  EXPECT_THROW(swf_out::DefineShape3(1, shape), std::invalid_argument);
  swf_out::Shape other = shape;
  other.contours[0].edges[0].curve = true;
  EXPECT_THROW(swf_out::DefineMorphShape(1, shape, other), std::invalid_argument);
}

// Twice the area enclosed, positive for clockwise outlines on screen (y down).
int64_t SignedArea(const swf_out::Contour& c) {
  int64_t sum = 0;
  int32_t x = c.start_x, y = c.start_y;
  for (const swf_out::Edge& e : c.edges) {
    sum += static_cast<int64_t>(x) * e.y - static_cast<int64_t>(e.x) * y;
    x = e.x;
    y = e.y;
  }
  return sum;
}

TEST(BlockFont, CellsJoinIntoOutlinesWithHoles) {
  struct Case {
    const char* label;
    std::vector<std::string> rows;
    std::vector<int64_t> areas;  // each contour's signed area in cells, in any order
    size_t corners;              // edges of all contours together
  };
  const Case cases[] = {
      {"OneCell", {"#"}, {2}, 4},
      {"Bar", {"####"}, {8}, 4},
      {"Ell", {"#.", "#.", "##"}, {8}, 6},
      {"Ring", {"###", "#.#", "###"}, {18, -2}, 8},
      {"ThickRing", {"####", "#..#", "####"}, {24, -4}, 8},
      {"Empty", {"...", "..."}, {}, 0},
  };
  for (const Case& c : cases) {
    const auto contours = TraceCells(c.rows, 1, 0, 0);
    std::vector<int64_t> areas;
    size_t edges = 0;
    for (const auto& contour : contours) {
      areas.push_back(SignedArea(contour));
      edges += contour.edges.size();
      EXPECT_EQ(contour.edges.back().x, contour.start_x) << c.label << ": closed";
      EXPECT_EQ(contour.edges.back().y, contour.start_y) << c.label << ": closed";
    }
    std::sort(areas.begin(), areas.end(), std::greater<>());
    EXPECT_EQ(areas, c.areas) << c.label;
    EXPECT_EQ(edges, c.corners) << c.label;
  }
}

// Winding number of the outlines around (x, y), for axis-aligned edges.
int Winding(const std::vector<swf_out::Contour>& contours, double x, double y) {
  int winding = 0;
  for (const auto& c : contours) {
    int32_t px = c.start_x, py = c.start_y;
    for (const swf_out::Edge& e : c.edges) {
      if (px == e.x && px > x && ((py < y) != (e.y < y))) winding += e.y > py ? 1 : -1;
      px = e.x;
      py = e.y;
    }
  }
  return winding;
}

TEST(BlockFont, GlyphOutlinesCoverEachCellOnceOrNotAtAll) {
  // Letters whose cells touch only at corners (V, M, O) may trace either way round the shared
  // corner; either way each cell lies inside the outlines once or not at all.
  for (const swf_out::Glyph& g : BlockFontGlyphs()) {
    int64_t area = 0;
    for (const auto& contour : g.contours) area += SignedArea(contour);
    int covered = 0;
    for (int row = 0; row < 7; ++row) {
      for (int col = 0; col < 5; ++col) {
        const int w = Winding(g.contours, (col + 0.5) * 128, (row - 6.5) * 128);
        EXPECT_TRUE(w == 0 || w == 1) << static_cast<char>(g.code) << " " << col << "," << row;
        covered += w;
      }
    }
    EXPECT_EQ(area, int64_t{2} * covered * 128 * 128) << static_cast<char>(g.code);
    EXPECT_EQ(covered == 0, g.code == ' ') << static_cast<char>(g.code);
  }
}

TEST(BlockFont, RunsSkipCharactersTheFontLacks) {
  const swf_out::TextRun run = BlockFontRun(3, "SA?VE", 512, {}, 0, 0);
  ASSERT_EQ(run.glyphs.size(), 4u);
  const auto glyphs = BlockFontGlyphs();
  EXPECT_EQ(glyphs[run.glyphs[2].first].code, 'V');
  EXPECT_EQ(run.glyphs[0].second, glyphs[run.glyphs[0].first].advance / 2);
}

// Every tag of a list read with the player's reader, sprites opened; counts ShowFrame tags
// per timeline.
void CheckTimeline(std::span<const uint8_t> data, uint32_t frames, const std::string& where) {
  ByteReader reader(data);
  uint32_t shown = 0;
  bool ended = false;
  while (reader.remaining() > 0 && !ended) {
    const SwfTag tag = ReadSwfTag(reader);
    ended = tag.code == swf_tag::kEnd;
    if (tag.code == swf_tag::kShowFrame) ++shown;
    if (tag.code == swf_tag::kDefineSprite) {
      ByteReader sprite(tag.body);
      const uint16_t id = sprite.U16();
      const uint16_t count = sprite.U16();
      CheckTimeline(tag.body.subspan(4), count, where + " sprite " + std::to_string(id));
    }
  }
  EXPECT_TRUE(ended) << where;
  EXPECT_EQ(reader.remaining(), 0u) << where << ": bytes after End";
  EXPECT_EQ(shown, frames) << where;
}

TEST(SampleMovies, EveryTimelineReadsToItsEnd) {
  for (const std::string& name : SampleMovieNames()) {
    const Bytes file = SampleMovie(name);
    const SwfMovie movie = ReadSwfMovie(file);
    EXPECT_FALSE(movie.tag_problem.has_value()) << name;
    EXPECT_EQ(movie.header.version, 8) << name;
    EXPECT_GT(movie.header.frame_count, 0) << name;
    const std::vector<uint8_t> data = UncompressSwf(file);
    EXPECT_EQ(data.size(), movie.header.file_length) << name;
    const std::span<const uint8_t> after_signature = std::span<const uint8_t>(data).subspan(8);
    ByteReader header(after_signature);
    ReadSwfHeader(header);
    CheckTimeline(after_signature.subspan(header.offset()), movie.header.frame_count, name);
  }
  EXPECT_THROW(SampleMovie("no such movie"), std::invalid_argument);
}

}  // namespace
}  // namespace flashsaver
