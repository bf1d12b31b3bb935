// The integer box blur against exact arithmetic, and layers kept between frames: a kept picture
// must look as the object drawn anew would, and be dropped when the object changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "player/display/movie_player.h"
#include "player/render/agg_canvas.h"
#include "player/render/filters.h"
#include "player/render/layer_cache.h"
#include "player/video/h263_deblock.h"
#include "tools/swf_records.h"
#include "tools/swf_writer.h"

namespace flashsaver {
namespace {

// A picture of random premultiplied pixels, a third of them transparent.
Picture Noise(int32_t w, int32_t h, uint32_t seed) {
  Picture p(w, h);
  for (uint32_t& px : p.pixels) {
    seed = seed * 1664525u + 1013904223u;
    const uint32_t a = (seed >> 24) % 3 == 0 ? 0 : seed >> 24;
    auto c = [&](int shift) { return a ? ((seed >> shift) & 0xFF) * a / 255 : 0; };
    px = a << 24 | c(16) << 16 | c(8) << 8 | c(0);
  }
  return p;
}

// One channel box-blurred in doubles: window k, the pixel at x covering x - k/2 .. x - k/2 + k - 1.
std::vector<double> ExactBlur(const Picture& p, int shift, int kx, int ky, int passes) {
  const int32_t w = p.width, h = p.height;
  std::vector<double> v(size_t(w) * h);
  for (size_t i = 0; i < v.size(); ++i) v[i] = (p.pixels[i] >> shift) & 0xFF;
  auto pass = [&](int k, bool rows) {
    if (k <= 1) return;
    std::vector<double> out(v.size(), 0);
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        double sum = 0;
        for (int i = -k / 2; i < k - k / 2; ++i) {
          const int32_t sx = rows ? x + i : x, sy = rows ? y : y + i;
          if (sx >= 0 && sy >= 0 && sx < w && sy < h) sum += v[size_t(sy) * w + sx];
        }
        out[size_t(y) * w + x] = sum / k;
      }
    }
    v = out;
  };
  for (int i = 0; i < passes; ++i) pass(kx, true), pass(ky, false);
  return v;
}

TEST(LayerCache, BoxBlurKeepsToExactArithmetic) {
  struct Case {
    int32_t w, h;
    int kx, ky, passes;
  } cases[] = {{17, 9, 3, 3, 1},  {23, 31, 4, 7, 2}, {40, 12, 9, 1, 3},
               {12, 40, 1, 8, 2}, {6, 5, 15, 15, 3}, {64, 48, 32, 2, 1}};
  for (const Case& c : cases) {
    const Picture source = Noise(c.w, c.h, uint32_t(c.w * 131 + c.kx));
    Picture blurred = source;
    BlurPicture(blurred, {0, 0, c.w, c.h}, c.kx, c.ky, c.passes);
    int worst = 0;
    for (int shift : {24, 16, 8, 0}) {
      const std::vector<double> exact = ExactBlur(source, shift, c.kx, c.ky, c.passes);
      for (size_t i = 0; i < exact.size(); ++i) {
        const int got = (blurred.pixels[i] >> shift) & 0xFF;
        worst = std::max(worst, int(std::abs(got - std::lround(exact[i]))));
      }
    }
    EXPECT_LE(worst, 1) << c.w << "x" << c.h << " window " << c.kx << "x" << c.ky << " passes "
                        << c.passes;
  }
}

// A sprite (a square and a disc) placed with a blur and a glow at depth 1 in frame 1, then changed
// in frame 2 by place.
std::vector<uint8_t> TwoFrames(const swf_out::Placement& change) {
  using namespace swf_out;
  swf_out::Shape s;
  s.fills = {FillStyle::Solid({200, 40, 40, 255}), FillStyle::Solid({40, 90, 220, 180})};
  Contour square = Rectangle(-400, -400, 400, 400);
  square.fill1 = 1;
  Contour disc = Circle(300, 200, 300);
  disc.fill1 = 2;
  s.contours = {square, disc};
  Bytes timeline = FileAttributes(0);
  auto add = [&timeline](const Bytes& tag) {
    timeline.insert(timeline.end(), tag.begin(), tag.end());
  };
  add(DefineShape3(1, s));
  Bytes inside = PlaceObject2({1, uint16_t{1}, false, {}, {}, {}, {}, {}});
  const Bytes show = ShowFrame();
  inside.insert(inside.end(), show.begin(), show.end());
  add(DefineSprite(2, 1, inside));
  Filter blur, glow;
  blur.kind = FilterKind::kBlur, blur.blur_x = blur.blur_y = 5, blur.passes = 2;
  glow.kind = FilterKind::kGlow, glow.blur_x = glow.blur_y = 8, glow.colour = {250, 220, 0, 255};
  add(PlaceObject3({1, uint16_t{2}, false, Matrix{1, 0, 0, 1, 1200, 1000}, {}, {}, {}, {}},
                   {blur, glow}, std::nullopt));
  add(ShowFrame());
  add(PlaceObject2(change));
  add(ShowFrame());
  SwfMovieSpec spec;
  spec.version = 8, spec.width_px = 160, spec.height_px = 120, spec.frame_count = 2;
  return WriteSwfMovie(spec, timeline);
}

TEST(LayerCache, KeptPicturesFollowTheirObjectAndGoWhenItChanges) {
  ColorTransform tint;
  tint.g_mult = 128;
  struct Case {
    const char* what;
    swf_out::Placement change;
    bool kept;
  } cases[] = {
      {"moved by whole pixels", {1, {}, true, Matrix{1, 0, 0, 1, 1340, 900}, {}, {}, {}, {}}, true},
      {"left alone", {1, {}, true, Matrix{1, 0, 0, 1, 1200, 1000}, {}, {}, {}, {}}, true},
      {"scaled", {1, {}, true, Matrix{1.5, 0, 0, 1.5, 1200, 1000}, {}, {}, {}, {}}, false},
      {"tinted", {1, {}, true, {}, tint, {}, {}, {}}, false},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> movie = TwoFrames(c.change);
    MoviePlayer player(movie);
    LayerCache cache;
    CanvasOptions kept;
    kept.layer_cache = &cache;
    const Matrix m = Matrix::Scale(0.05, 0.05);
    Picture fresh(160, 120), reused(160, 120);
    for (int frame = 1; frame <= 2; ++frame) {
      player.AdvanceFrame();
      reused.Fill({0, 0, 160, 120}, Rgb{0xFFFFFF});
      AggCanvas canvas(reused, kept);
      player.Render(canvas, m);
      cache.EndFrame(true);
    }
    fresh.Fill({0, 0, 160, 120}, Rgb{0xFFFFFF});
    AggCanvas canvas(fresh, CanvasOptions{});
    player.Render(canvas, m);
    EXPECT_EQ(cache.hits(), c.kept ? 1u : 0u) << c.what;
    EXPECT_EQ(cache.size(), 1u) << c.what;
    int differ = 0;
    for (size_t i = 0; i < fresh.pixels.size(); ++i) differ += fresh.pixels[i] != reused.pixels[i];
    EXPECT_EQ(differ, 0) << c.what;
  }
}

TEST(LayerCache, UnfinishedFramesAndUnusedPicturesAreDropped) {
  LayerCache cache;
  const Picture p = Noise(20, 10, 7);
  cache.Store(1, 100, 0, 0, p, {0, 0, 20, 10});
  cache.EndFrame(true);
  ASSERT_NE(cache.Find(1, 100, 20, 10), nullptr);
  EXPECT_EQ(cache.Find(1, 100, 21, 10), nullptr) << "another target size";
  cache.Store(2, 200, 0, 0, p, {5, 5, 50, 50});  // clipped to the picture
  EXPECT_EQ(cache.bytes(), (20 * 10 + 15 * 5) * 4u);
  cache.EndFrame(false);
  EXPECT_EQ(cache.size(), 1u) << "what an unfinished frame kept may lack parts";
  cache.EndFrame(true);
  EXPECT_EQ(cache.size(), 0u) << "object 1 was not drawn in that frame";
  EXPECT_EQ(cache.bytes(), 0u);

  // An object whose look changes every frame stops being kept, and is kept again once still.
  int stored = 0;
  for (uint64_t look = 1; look <= 6; ++look) {
    if (!cache.Find(3, look, 20, 10) && cache.Missed(3, look)) {
      cache.Store(3, look, 0, 0, p, {0, 0, 20, 10}), ++stored;
    }
    cache.EndFrame(true);
  }
  EXPECT_LT(stored, 6);
  EXPECT_EQ(cache.bytes(), 0u);
  ASSERT_EQ(cache.Find(3, 6, 20, 10), nullptr);
  ASSERT_TRUE(cache.Missed(3, 6));
  cache.Store(3, 6, 0, 0, p, {0, 0, 20, 10});
  cache.EndFrame(true);
  EXPECT_NE(cache.Find(3, 6, 20, 10), nullptr);
}

TEST(H263Deblock, EdgesSmoothedByStrengthAndHeaderRead) {
  // Four samples across a vertical block edge (columns 6..9 of a 10-wide plane), and the result:
  // small steps are smoothed, steps beyond the strength are taken for real edges.
  struct Case {
    uint8_t in[4];
    int strength;
    uint8_t out[4];
  } cases[] = {{{0, 0, 1, 1}, 12, {0, 0, 1, 1}}, {{0, 0, 4, 4}, 1, {0, 1, 3, 4}},
               {{0, 0, 6, 6}, 1, {0, 0, 6, 6}},  {{0, 0, 6, 6}, 2, {1, 2, 4, 5}},
               {{0, 0, 8, 8}, 2, {0, 1, 7, 8}},  {{0, 0, 10, 10}, 3, {1, 3, 7, 9}},
               {{9, 5, 5, 9}, 12, {9, 5, 5, 9}}, {{255, 255, 251, 251}, 1, {255, 254, 252, 251}}};
  for (const Case& c : cases) {
    uint8_t plane[10];
    std::fill(plane, plane + 6, c.in[0]);
    std::copy(c.in, c.in + 4, plane + 6);
    DeblockPlane(plane, 10, 10, 1, c.strength);
    EXPECT_EQ(std::vector<uint8_t>(plane + 6, plane + 10), std::vector<uint8_t>(c.out, c.out + 4))
        << int(c.in[0]) << " " << int(c.in[2]) << " strength " << c.strength;
  }
  EXPECT_EQ(DeblockStrength(0), 0);
  EXPECT_EQ(DeblockStrength(31), 12);

  // Start code, version 0, temporal reference, size 2 (352 x 288), type 0, deblocking 1,
  // quantizer 9.
  const uint8_t header[] = {0x00, 0x00, 0x80, 0x01, 0x14, 0x80};
  const std::optional<SorensonPicture> read = ReadSorensonPicture(header);
  ASSERT_TRUE(read);
  EXPECT_TRUE(read->deblocking);
  EXPECT_EQ(read->quantizer, 9);
  const uint8_t not_one[] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE};
  EXPECT_FALSE(ReadSorensonPicture(not_one));
  EXPECT_FALSE(ReadSorensonPicture(std::span(header, 4))) << "cut short";
}

}  // namespace
}  // namespace flashsaver
