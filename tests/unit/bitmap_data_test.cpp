// BitmapData: the sizes the player refuses, colours read back through the premultiplied store,
// pixelDissolve's coverage, perlinNoise's values, copies clipped at every edge, and an attached
// bitmap that a script changes showing the change in the next frame.
#include "player/display/bitmap_data.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>
#include <string>

#include "player/display/movie_player.h"
#include "player/render/agg_canvas.h"
#include "player/swf/tag_codes.h"
#include "tools/swf_records.h"
#include "tools/swf_writer.h"

namespace flashsaver {
namespace {

TEST(BitmapDataTest, RefusesSizesOutsideTheLimits) {
  struct Case {
    int32_t w, h;
    bool made;
  };
  const Case cases[] = {{1, 1, true},    {2880, 2880, true},     {0, 5, false},
                        {5, 0, false},   {2881, 1, false},       {1, 2881, false},
                        {-1, 10, false}, {100000, 100000, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(MakeBitmap(c.w, c.h, true, 0).has_value(), c.made) << c.w << "x" << c.h;
  }
}

TEST(BitmapDataTest, LiveBitmapsStayWithinTheBudget) {
  const size_t before = LiveBitmapBytes();
  std::vector<std::shared_ptr<BitmapPixels>> kept;
  while (auto b = ShareBitmap(*MakeBitmap(kMaxBitmapSide, kMaxBitmapSide, true, 0))) {
    kept.push_back(std::move(b));
    ASSERT_LE(kept.size(), kMaxLiveBitmapBytes / (size_t{kMaxBitmapSide} * kMaxBitmapSide * 4));
  }
  EXPECT_LE(LiveBitmapBytes(), kMaxLiveBitmapBytes);
  ReleaseBitmap(*kept.back());  // dispose gives the room back before the object goes
  EXPECT_TRUE(ShareBitmap(*MakeBitmap(kMaxBitmapSide, kMaxBitmapSide, true, 0)));
  kept.clear();
  EXPECT_EQ(LiveBitmapBytes(), before);
}

TEST(BitmapDataTest, ColoursReadBackThroughThePremultipliedStore) {
  struct Case {
    bool transparent;
    uint32_t set, read;
  };
  const Case cases[] = {
      {true, 0xFF336699, 0xFF336699},  {true, 0x80FF0000, 0x80FF0000},
      {true, 0x80FF8040, 0x80FF7F40},  // a half step rounds down
      {true, 0x7F808080, 0x7F808080},  {true, 0xD3898989, 0xD3888888},
      {true, 0x88337777, 0x88337676},   // precision lost as the store keeps it
      {true, 0x00FFFFFF, 0x00000000},   // nothing of a transparent colour stays
      {false, 0x00123456, 0xFF123456},  // opaque bitmaps drop the alpha
  };
  for (const Case& c : cases) {
    BitmapPixels b = *MakeBitmap(4, 4, c.transparent, 0);
    SetPixel32(b, 1, 2, c.set);
    EXPECT_EQ(GetPixel32(b, 1, 2), c.read) << std::hex << c.set;
  }
  BitmapPixels b = *MakeBitmap(4, 4, true, 0x40000000);
  SetPixel(b, 0, 0, 0xFFFFFF);
  EXPECT_EQ(GetPixel32(b, 0, 0), 0x40FFFFFFu) << "setPixel keeps the alpha";
  EXPECT_EQ(GetPixel32(b, -1, 0), 0u);
  EXPECT_EQ(GetPixel32(b, 0, 4), 0u);
}

size_t CountColour(const BitmapPixels& b, uint32_t argb) {
  size_t n = 0;
  for (int32_t y = 0; y < b.height(); ++y) {
    for (int32_t x = 0; x < b.width(); ++x) n += GetPixel32(b, x, y) == argb;
  }
  return n;
}

TEST(BitmapDataTest, PixelDissolveCoversTheBoxWithoutRepeats) {
  // The reference picture of the suite: 9999 of a 100 x 100 box leaves no pixel behind.
  BitmapPixels full = *MakeBitmap(100, 100, true, 0xFF1197DD);
  PixelDissolve(full, full, full.Bounds(), 0, 0, 0, 9999, 0xFF33FF99);
  EXPECT_EQ(CountColour(full, 0xFF33FF99), 10000u);

  // The reference player's order, return value and pixels, from its traces.
  struct Case {
    int32_t w, h, seed, n, returned;
    std::set<int32_t> dissolved;  // y * w + x
  };
  const Case cases[] = {
      {10, 10, 0, 3, 4, {0, 20, 33, 82}}, {10, 10, 1, 3, 6, {0, 20, 82, 86}},
      {10, 10, 12345, 10, 76, {}},        {7, 5, 0, 3, 4, {0, 12, 17, 19}},
      {4, 4, 15, 1, 0, {0, 4}},           {16, 16, 32, 1, 33, {0, 1}},
  };
  for (const Case& c : cases) {
    BitmapPixels d = *MakeBitmap(c.w, c.h, false, 0xFF000000);
    EXPECT_EQ(PixelDissolve(d, d, d.Bounds(), 0, 0, c.seed, c.n, 0xFFFFFFFF), c.returned)
        << c.w << "x" << c.h << " seed " << c.seed;
    if (c.dissolved.empty()) continue;
    std::set<int32_t> white;
    for (int32_t i = 0; i < c.w * c.h; ++i) {
      if (GetPixel32(d, i % c.w, i / c.w) == 0xFFFFFFFF) white.insert(i);
    }
    EXPECT_EQ(white, c.dissolved) << c.w << "x" << c.h << " seed " << c.seed;
  }

  // Pixel 0 goes with every call; steps continued from the returned seed reach new pixels
  // until the box is covered.
  BitmapPixels b = *MakeBitmap(37, 23, false, 0xFF000000);
  const size_t total = 37 * 23;
  int32_t seed = 12345;
  size_t covered = 0;
  for (int step = 0; step < 9; ++step) {
    seed = PixelDissolve(b, b, b.Bounds(), 0, 0, seed, 99, 0xFFFFFFFF);
    const size_t now = CountColour(b, 0xFFFFFFFF);
    EXPECT_EQ(now, std::min(total, 1 + 99 * (step + size_t{1}))) << "step " << step;
    covered = now;
  }
  EXPECT_EQ(covered, total);
}

TEST(BitmapDataTest, PerlinNoiseMatchesTheReference) {
  // getPixel32 of the reference player's opaque bitmaps after perlinNoise.
  struct Point {
    int32_t x, y;
    uint32_t argb;
  };
  struct Case {
    const char* label;
    int32_t w, h;
    PerlinSettings settings;
    std::vector<Point> expected;
  };
  const Case cases[] = {
      {"one channel",
       16,
       16,
       {8.0, 8.0, 1, 1, false, false, false, 1, {}},
       {{3, 2, 0xFF2D0000u}, {15, 15, 0xFF050000u}}},
      {"fractal, three octaves",
       16,
       16,
       {5.0, 9.0, 3, -3, false, true, false, 7, {}},
       {{3, 2, 0xFF8C809Eu}, {15, 15, 0xFF718BB0u}}},
      {"stitched blue",
       16,
       12,
       {7.0, 5.0, 3, 42, true, true, false, 4, {}},
       {{3, 2, 0xFF00009Du}, {15, 11, 0xFF000083u}}},
      {"grey",
       16,
       16,
       {8.0, 8.0, 2, 99, false, true, true, 7, {}},
       {{3, 2, 0xFFBCBCBCu}, {15, 15, 0xFF7E7E7Eu}}},
      {"offsets",
       16,
       16,
       {8.0, 8.0, 2, 5, false, true, false, 7, {{3.5, -2}, {10, 20}}},
       {{3, 2, 0xFF916493u}, {15, 15, 0xFF369B7Au}}},
      {"largest seed",
       20,
       20,
       {30.0, 30.0, 4, 2147483647, false, false, false, 6, {}},
       {{3, 2, 0xFF002C45u}, {19, 19, 0xFF006B54u}}},
      {"negative base",
       16,
       16,
       {-6.0, 9.0, 2, -77, false, false, false, 7, {}},
       {{3, 2, 0xFF39A729u}, {15, 15, 0xFF37A418u}}},
      {"far offset",
       16,
       16,
       {8.0, 8.0, 2, 3, false, true, false, 7, {{1e12, -3e9}}},
       {{3, 2, 0xFF00FF00u}, {15, 15, 0xFF00FF00u}}},
      {"grey stitched",
       10,
       30,
       {3.0, 11.0, 5, 31337, true, false, true, 7, {}},
       {{3, 2, 0xFF3E3E3Eu}, {9, 29, 0xFF2D2D2Du}}},
      {"forty octaves, the finest past any lattice",
       16,
       16,
       {8.0, 8.0, 40, 5, false, true, false, 7, {}},
       {{3, 2, 0xFFFFFF00u}, {15, 15, 0xFFFF0000u}}},
      {"smallest seed",
       16,
       16,
       {8.0, 8.0, 2, INT32_MIN, false, true, false, 7, {}},
       {{3, 2, 0xFF725334u}, {15, 15, 0xFF8C7197u}}},
  };
  for (const Case& c : cases) {
    BitmapPixels b = *MakeBitmap(c.w, c.h, false, 0);
    PerlinNoise(b, c.settings);
    for (const Point& p : c.expected) {
      EXPECT_EQ(GetPixel32(b, p.x, p.y), p.argb) << c.label << " at " << p.x << "," << p.y;
    }
  }
}

TEST(BitmapDataTest, CopiesClipToBothBitmaps) {
  struct Case {
    const char* label;
    PixelBox box;
    int32_t dx, dy;
    size_t copied;
  };
  const Case cases[] = {
      {"inside", {0, 0, 4, 4}, 2, 2, 16},
      {"past the right", {0, 0, 8, 8}, 6, 0, 16},  // 2 columns of 8 rows
      {"negative point", {0, 0, 8, 8}, -6, -6, 4},
      {"box past the source", {6, 6, 20, 20}, 0, 0, 4},
      {"negative box", {-4, -4, 2, 2}, 0, 0, 4},
      {"nowhere", {0, 0, 8, 8}, 100, 0, 0},
  };
  const BitmapPixels source = *MakeBitmap(8, 8, true, 0xFFFF0000);
  for (const Case& c : cases) {
    BitmapPixels dest = *MakeBitmap(8, 8, true, 0);
    CopyPixels(dest, source, c.box, c.dx, c.dy, {}, false);
    EXPECT_EQ(CountColour(dest, 0xFFFF0000), c.copied) << c.label;
  }
}

TEST(BitmapDataTest, AreaOperations) {
  // A vertical wall splits the bitmap: the fill stops at it.
  BitmapPixels b = *MakeBitmap(10, 10, true, 0xFFFFFFFF);
  FillRect(b, {4, 0, 5, 10}, 0xFF000000);
  FloodFill(b, 0, 0, 0xFF00FF00);
  EXPECT_EQ(CountColour(b, 0xFF00FF00), 40u);
  const PixelBox found = ColourBounds(b, 0xFFFFFFFF, 0xFF000000, true);
  EXPECT_EQ(found, (PixelBox{4, 0, 5, 10}));
  BitmapPixels dest = *MakeBitmap(10, 10, true, 0);
  EXPECT_EQ(Threshold(dest, b, b.Bounds(), 0, 0, ThresholdTest::kEqual, 0xFF000000, 0xFF0000FF,
                      0xFFFFFFFF, false),
            10u);
  EXPECT_EQ(CountColour(dest, 0xFF0000FF), 10u);
  EXPECT_EQ(Compare(b, b).code, 0);
  EXPECT_FALSE(Compare(b, b).difference);
  EXPECT_EQ(Compare(b, *MakeBitmap(9, 10, true, 0)).code, -3);
  EXPECT_EQ(Compare(b, *MakeBitmap(10, 9, true, 0)).code, -4);
  const CompareResult diff = Compare(b, dest);
  ASSERT_TRUE(diff.difference);
  EXPECT_EQ(GetPixel32(*diff.difference, 4, 0), 0xFF000001u) << "colour differences, wrapped";
}

// A script makes a red bitmap and attaches it in frame 1, turns its centre blue in frame 2 and
// disposes of it in frame 3: each change must reach the picture and the area redrawn.
struct Script {
  swf_out::Bytes code;
  Script& Push(const std::string& s) {
    code.insert(code.end(), {0x96, static_cast<uint8_t>(s.size() + 2), 0, 0});
    code.insert(code.end(), s.begin(), s.end());
    code.push_back(0);
    return *this;
  }
  Script& PushInt(int32_t n) {
    const auto u = static_cast<uint32_t>(n);
    code.insert(code.end(), {0x96, 5, 0, 7, static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8),
                             static_cast<uint8_t>(u >> 16), static_cast<uint8_t>(u >> 24)});
    return *this;
  }
  Script& PushFalse() {
    code.insert(code.end(), {0x96, 2, 0, 5, 0});
    return *this;
  }
  Script& Op(uint8_t op) {
    code.push_back(op);
    return *this;
  }
  Script& Var(const std::string& name) { return Push(name).Op(0x1C); }
  Script& Call(const std::string& object, const std::string& method) {
    return Var(object).Push(method).Op(0x52).Op(0x17);
  }
  swf_out::Bytes Tag() const {
    swf_out::Bytes body = code;
    body.push_back(0);
    swf_out::Bytes out;
    PutTag(out, swf_tag::kDoAction, body);
    return out;
  }
};

uint32_t CentrePixel(const MoviePlayer& player) {
  Picture picture(40, 40, 0xFFFFFFFF);
  AggCanvas canvas(picture, CanvasOptions{});
  player.Render(canvas, Matrix::Scale(0.05, 0.05));
  return picture.Row(20)[20];
}

TEST(BitmapDataClassTest, AttachedBitmapShowsScriptChangesNextFrame) {
  using namespace swf_out;
  Script make;
  make.Push("b").PushInt(0xFF0000).PushFalse().PushInt(40).PushInt(40).PushInt(4);
  make.Var("flash").Push("display").Op(0x4E).Push("BitmapData").Op(0x53).Op(0x1D);
  make.PushInt(1).Var("b").PushInt(2).Call("_root", "attachBitmap");
  Script change;
  change.PushInt(0x0000FF).PushInt(20).PushInt(20).PushInt(3).Call("b", "setPixel");
  Script dispose;
  dispose.PushInt(0).Call("b", "dispose");
  Bytes timeline = FileAttributes(0);
  const auto add = [](Bytes& to, const Bytes& b) { to.insert(to.end(), b.begin(), b.end()); };
  for (const Script* s : {&make, &change, &dispose}) {
    add(timeline, s->Tag());
    add(timeline, ShowFrame());
  }
  SwfMovieSpec spec;
  spec.version = 8;
  spec.width_px = spec.height_px = 40;
  spec.frame_count = 3;
  MoviePlayer player(WriteSwfMovie(spec, timeline));

  player.AdvanceFrame();
  player.TakeInvalidatedArea();
  EXPECT_EQ(CentrePixel(player), 0xFFFF0000u);
  player.AdvanceFrame();
  EXPECT_TRUE(player.TakeInvalidatedArea()) << "setPixel";
  EXPECT_EQ(CentrePixel(player), 0xFF0000FFu);
  player.AdvanceFrame();
  EXPECT_TRUE(player.TakeInvalidatedArea()) << "dispose";
  EXPECT_EQ(CentrePixel(player), 0xFFFFFFFFu);
}

// The same through a drawing's bitmap fill: the drawing stays as it was, its bitmap changes.
TEST(BitmapDataClassTest, BitmapFillShowsScriptChangesNextFrame) {
  using namespace swf_out;
  Script make;
  make.Push("b").PushInt(0xFF0000).PushFalse().PushInt(40).PushInt(40).PushInt(4);
  make.Var("flash").Push("display").Op(0x4E).Push("BitmapData").Op(0x53).Op(0x1D);
  make.Push("f").PushInt(1).Push("f").PushInt(2).Var("_root").Push("createEmptyMovieClip");
  make.Op(0x52).Op(0x1D);
  make.Var("b").PushInt(1).Call("f", "beginBitmapFill");
  make.PushInt(0).PushInt(0).PushInt(2).Call("f", "moveTo");
  for (auto [x, y] : {std::pair{40, 0}, {40, 40}, {0, 40}, {0, 0}}) {
    make.PushInt(y).PushInt(x).PushInt(2).Call("f", "lineTo");
  }
  make.PushInt(0).Call("f", "endFill");
  Script change;
  change.PushInt(0x0000FF).PushInt(20).PushInt(20).PushInt(3).Call("b", "setPixel");
  Bytes timeline = FileAttributes(0);
  const auto add = [](Bytes& to, const Bytes& b) { to.insert(to.end(), b.begin(), b.end()); };
  for (const Script* s : {&make, &change}) {
    add(timeline, s->Tag());
    add(timeline, ShowFrame());
  }
  SwfMovieSpec spec;
  spec.version = 8;
  spec.width_px = spec.height_px = 40;
  spec.frame_count = 2;
  MoviePlayer player(WriteSwfMovie(spec, timeline));

  player.AdvanceFrame();
  player.TakeInvalidatedArea();
  EXPECT_EQ(CentrePixel(player), 0xFFFF0000u);
  player.AdvanceFrame();
  EXPECT_TRUE(player.TakeInvalidatedArea()) << "setPixel";
  EXPECT_EQ(CentrePixel(player), 0xFF0000FFu);
}

}  // namespace
}  // namespace flashsaver
