#include "player/render/agg_canvas.h"

#include <gtest/gtest.h>

#include "player/render/shape_drawing.h"

namespace flashsaver {
namespace {

class NoBitmaps final : public BitmapSource {
 public:
  const Picture* FindBitmap(uint16_t) const override { return nullptr; }
};

// Twips in these shapes are drawn 1:1 as pixels, so that coordinates read as pixels.
const RenderState kPixels{Matrix{}, {}};

ShapeRecord Change(std::optional<uint32_t> f0, std::optional<uint32_t> f1,
                   std::optional<uint32_t> line, std::optional<Point> move) {
  ShapeRecord r;
  r.fill0 = f0;
  r.fill1 = f1;
  r.line = line;
  if (move) {
    r.has_move = true;
    r.move_x = static_cast<int32_t>(move->x);
    r.move_y = static_cast<int32_t>(move->y);
  }
  return r;
}

ShapeRecord Edge(int32_t dx, int32_t dy) {
  ShapeRecord r;
  r.kind = ShapeRecord::Kind::kStraight;
  r.dx = dx;
  r.dy = dy;
  return r;
}

FillStyle Solid(Rgba c) {
  FillStyle f;
  f.color = c;
  return f;
}

Shape Rectangle(Rgba colour, int x0, int y0, int x1, int y1) {
  Shape s;
  s.styles.push_back({{Solid(colour)}, {}});
  s.records = {Change(std::nullopt, 1, std::nullopt, Point{double(x0), double(y0)}),
               Edge(x1 - x0, 0), Edge(0, y1 - y0), Edge(x0 - x1, 0), Edge(0, y0 - y1)};
  return s;
}

Path Square(double x0, double y0, double x1, double y1) {
  Path p;
  p.MoveTo({x0, y0});
  p.LineTo({x1, y0});
  p.LineTo({x1, y1});
  p.LineTo({x0, y1});
  p.LineTo({x0, y0});
  return p;
}

TEST(AggCanvas, SharedEdgeOfTwoFillsHasNoSeam) {
  // Red and blue halves meet along one two-sided edge at x = 9 twips, drawn at half scale so
  // that it runs through the middle of pixel column 4.
  Shape s;
  s.styles.push_back({{Solid({255, 0, 0, 255}), Solid({0, 0, 255, 255})}, {}});
  s.records = {Change(0, 1, std::nullopt, Point{0, 0}),
               Edge(9, 0),
               Change(2, 1, std::nullopt, std::nullopt),  // the shared edge
               Edge(0, 16),
               Change(0, 1, std::nullopt, std::nullopt),
               Edge(-9, 0),
               Edge(0, -16),
               Change(0, 2, std::nullopt, Point{9, 0}),
               Edge(9, 0),
               Edge(0, 16),
               Edge(-9, 0)};
  Picture pic(9, 8, 0xFFFFFFFF);
  AggCanvas canvas(pic, {});
  canvas.DrawShape(ShapeDrawing::FromShape(s), {Matrix::Scale(0.5, 0.5), {}}, NoBitmaps());
  const uint32_t seam = pic.Row(4)[4];
  // Half red, half blue, and none of the white below shows through.
  EXPECT_EQ(seam >> 24, 0xFFu);
  EXPECT_NEAR(static_cast<int>((seam >> 16) & 0xFF), 128, 2);
  EXPECT_NEAR(static_cast<int>(seam & 0xFF), 128, 2);
  EXPECT_EQ((seam >> 8) & 0xFF, 0u);
  EXPECT_EQ(pic.Row(4)[1], 0xFFFF0000u);
  EXPECT_EQ(pic.Row(4)[7], 0xFF0000FFu);
}

TEST(AggCanvas, LaterFillStylePaintsOverEarlierOne) {
  // Two squares of one layer overlap: the half-transparent blue (style 2) lies over the red.
  Shape s;
  s.styles.push_back({{Solid({255, 0, 0, 255}), Solid({0, 0, 255, 128})}, {}});
  for (uint32_t style : {1u, 2u}) {
    const double at = style == 1 ? 0 : 4;
    s.records.push_back(Change(0, style, std::nullopt, Point{at, at}));
    for (const auto& [dx, dy] : {std::pair{6, 0}, {0, 6}, {-6, 0}, {0, -6}}) {
      s.records.push_back(Edge(dx, dy));
    }
  }
  Picture pic(10, 10, 0xFFFFFFFF);
  AggCanvas canvas(pic, {});
  canvas.DrawShape(ShapeDrawing::FromShape(s), kPixels, NoBitmaps());
  EXPECT_EQ(pic.Row(1)[1], 0xFFFF0000u);
  EXPECT_EQ(pic.Row(8)[8], 0xFF7F7FFFu);  // blue over white
  EXPECT_EQ(pic.Row(5)[5], 0xFF7F0080u);  // blue over red
}

TEST(AggCanvas, FillRules) {
  // Two overlapping squares drawn the same way round: non-zero fills the overlap, even-odd
  // leaves it empty.
  Path p = Square(0, 0, 6, 6);
  const Path second = Square(3, 3, 9, 9);
  p.commands.insert(p.commands.end(), second.commands.begin(), second.commands.end());
  for (FillRule rule : {FillRule::kEvenOdd, FillRule::kNonZero}) {
    Picture pic(10, 10);
    AggCanvas canvas(pic, {});
    canvas.FillPath(p, rule, {0, 0, 0, 255}, kPixels);
    EXPECT_EQ(pic.Row(1)[1], 0xFF000000u);
    EXPECT_EQ(pic.Row(4)[4], rule == FillRule::kNonZero ? 0xFF000000u : 0u);
  }
}

TEST(AggCanvas, HairlineIsOnePixelWide) {
  for (uint16_t width : {0, 5}) {  // 0 is a hairline; 5 twips is thinner than a pixel
    Shape s;
    LineStyle line;
    line.width = width;
    line.color = {0, 0, 0, 255};
    s.styles.push_back({{}, {line}});
    s.records = {Change(std::nullopt, std::nullopt, 1, Point{20, 110}), Edge(160, 0)};
    Picture pic(10, 10);
    AggCanvas canvas(pic, {});
    canvas.DrawShape(ShapeDrawing::FromShape(s), {Matrix::Scale(0.05, 0.05), {}}, NoBitmaps());
    EXPECT_EQ(pic.Row(4)[5], 0u) << width;
    EXPECT_EQ(pic.Row(5)[5], 0xFF000000u) << width;
    EXPECT_EQ(pic.Row(6)[5], 0u) << width;
  }
}

TEST(AggCanvas, EachEndOfALineHasItsOwnCap) {
  // A 4 px wide line from x = 4 to x = 12 at y = 5: no cap at its start, a square one (2 px
  // further) at its end; the body joins the cap without a seam.
  Shape s;
  LineStyle line;
  line.width = 4;
  line.color = {0, 0, 0, 255};
  line.start_cap = CapStyle::kNone;
  line.end_cap = CapStyle::kSquare;
  s.styles.push_back({{}, {line}});
  s.records = {Change(std::nullopt, std::nullopt, 1, Point{4, 5}), Edge(8, 0)};
  Picture pic(16, 10);
  AggCanvas canvas(pic, {});
  canvas.DrawShape(ShapeDrawing::FromShape(s), kPixels, NoBitmaps());
  EXPECT_EQ(pic.Row(5)[3], 0u);
  EXPECT_EQ(pic.Row(5)[4], 0xFF000000u);
  EXPECT_EQ(pic.Row(5)[12], 0xFF000000u);
  EXPECT_EQ(pic.Row(4)[13], 0xFF000000u);
  EXPECT_EQ(pic.Row(5)[14], 0u);
}

TEST(AggCanvas, MasksClipAndNest) {
  Picture pic(8, 8);
  AggCanvas canvas(pic, {});
  const ShapeDrawing left = ShapeDrawing::FromShape(Rectangle({0, 0, 0, 255}, 0, 0, 4, 8));
  const ShapeDrawing top = ShapeDrawing::FromShape(Rectangle({0, 0, 0, 255}, 0, 0, 8, 4));
  const ShapeDrawing all = ShapeDrawing::FromShape(Rectangle({255, 0, 0, 255}, 0, 0, 8, 8));
  canvas.BeginMask();
  canvas.DrawShape(left, kPixels, NoBitmaps());
  canvas.EndMask();
  canvas.BeginMask();
  canvas.DrawShape(top, kPixels, NoBitmaps());
  canvas.EndMask();
  canvas.DrawShape(all, kPixels, NoBitmaps());  // inside both masks: the top-left quarter
  canvas.PopMask();
  EXPECT_EQ(pic.Row(1)[1], 0xFFFF0000u);
  EXPECT_EQ(pic.Row(1)[6], 0u);
  EXPECT_EQ(pic.Row(6)[1], 0u);
  canvas.PopMask();
  canvas.FillPath(Square(0, 0, 8, 8), FillRule::kNonZero, {0, 0, 255, 255}, kPixels);
  EXPECT_EQ(pic.Row(6)[6], 0xFF0000FFu);  // after both pops nothing clips
}

// A 2 x 1 bitmap (red, blue) filled with its matrix in twips per bitmap pixel: 20 twips, drawn
// at 1/10 so that each bitmap pixel covers two target pixels.
TEST(AggCanvas, BitmapFills) {
  class OneBitmap final : public BitmapSource {
   public:
    OneBitmap() : picture(2, 1) { picture.pixels = {0xFFFF0000u, 0xFF0000FFu}; }
    const Picture* FindBitmap(uint16_t id) const override { return id == 7 ? &picture : nullptr; }
    Picture picture;
  } bitmaps;
  struct Case {
    bool repeat, smooth;
    int x;
    uint32_t expected;
  } cases[] = {
      {true, false, 5, 0xFFFF0000u},   // repeats: the third pair of pixels is red again
      {false, false, 5, 0xFF0000FFu},  // clipped: the last column extends
      {false, false, 1, 0xFFFF0000u},
      {false, true, 1, 0xFFBF0040u},  // a quarter of the way into blue, bilinear
      {true, true, 7,
       0xFF4000BFu},  // repeating and smoothed: the last column blends into the first
  };
  for (const Case& c : cases) {
    Shape s = Rectangle({}, 0, 0, 80, 10);
    FillStyle& f = s.styles[0].fills[0];
    f.kind = FillKind::kBitmap;
    f.bitmap_id = 7;
    f.bitmap_repeat = c.repeat;
    f.bitmap_smooth = c.smooth;
    f.matrix = Matrix::Scale(20, 20);
    Picture pic(8, 1);
    AggCanvas canvas(pic, {});
    canvas.DrawShape(ShapeDrawing::FromShape(s), {Matrix::Scale(0.1, 0.1), {}}, bitmaps);
    EXPECT_EQ(pic.Row(0)[c.x], c.expected) << c.repeat << c.smooth << c.x;
  }
}

// Coordinates far past the picture, and a stroke wider than it, are clipped, not wrapped.
TEST(AggCanvas, HugeCoordinatesStayInside) {
  Shape s = Rectangle({0, 0, 0, 255}, -1000000000, -1000000000, 1000000000, 1000000000);
  LineStyle line;
  line.width = 65535;
  line.color = {255, 0, 0, 255};
  s.styles[0].lines.push_back(line);
  s.records[0].line = 1;
  // A curve bulging a thousand million twips away from the shape; scaled it would flatten into
  // more segments than memory holds.
  ShapeRecord bulge;
  bulge.kind = ShapeRecord::Kind::kCurve;
  bulge.control_dx = 2000000000;
  bulge.control_dy = 0;
  bulge.dx = 0;
  bulge.dy = 2000000000;
  s.records.push_back(bulge);
  Picture pic(4, 4);
  CanvasOptions options;
  options.clip = {0, 0, 2, 4};
  AggCanvas canvas(pic, options);
  canvas.DrawShape(ShapeDrawing::FromShape(s), {Matrix::Scale(1e6, 1e6), {}}, NoBitmaps());
  EXPECT_EQ(pic.Row(2)[1], 0xFF000000u);
  EXPECT_EQ(pic.Row(2)[2], 0u);  // outside the clip box
}

TEST(AggCanvas, LowQualityHasNoPartialCoverage) {
  Picture pic(10, 10);
  CanvasOptions low;
  low.anti_alias = false;
  AggCanvas canvas(pic, low);
  Path tri;
  tri.MoveTo({0.3, 0.2});
  tri.LineTo({9.7, 1.4});
  tri.LineTo({4.1, 9.6});
  canvas.FillPath(tri, FillRule::kNonZero, {0, 0, 0, 255}, kPixels);
  int drawn = 0;
  for (uint32_t p : pic.pixels) {
    EXPECT_TRUE(p == 0 || p == 0xFF000000u) << std::hex << p;
    drawn += p != 0;
  }
  EXPECT_GT(drawn, 20);
}

}  // namespace
}  // namespace flashsaver
