#include "player/render/nine_slice.h"

#include <gtest/gtest.h>

#include "tools/sample_movies.h"
#include "tools/saverpack/movie_still.h"

namespace flashsaver {
namespace {

// Bounds 0..100 with the grid at 20..80 along both axes.
const SwfRect kBounds{Twips{0}, Twips{100}, Twips{0}, Twips{100}};
const SwfRect kGrid{Twips{20}, Twips{80}, Twips{20}, Twips{80}};

TEST(NineSlice, CornersKeepTheirSizeAndTheCentreStretches) {
  struct Case {
    double scale, in, out;
  } const cases[] = {
      {3, 0, 0},    {3, 10, 10},   {3, 20, 20},     // the left margin is not scaled
      {3, 50, 150}, {3, 80, 280},                   // the centre takes the rest: 20..280
      {3, 90, 290}, {3, 100, 300},                  // the right margin is not scaled
      {1, 37, 37},                                  // no scale, no change
      {0.2, 10, 5}, {0.2, 50, 10}, {0.2, 100, 20},  // smaller than the margins: they shrink
  };
  for (const Case& c : cases) {
    const auto slice = NineSlice::Make(kBounds, kGrid, Matrix{c.scale, 0, 0, 1, 0, 0});
    ASSERT_TRUE(slice);
    EXPECT_NEAR(slice->Map({c.in, 50}).x, c.out, 1e-9) << c.scale << " " << c.in;
    EXPECT_NEAR(slice->Map({0, c.in}).y, c.in, 1e-9) << "y is unscaled";
  }
}

TEST(NineSlice, RotationKeepsItsAngleAndOnlyTheScaleIsTakenOver) {
  // 90 degrees turned, twice as large: the unscaled matrix is the bare turn.
  const Matrix sprite{0, 2, -2, 0, 7, 9};
  const auto slice = NineSlice::Make(kBounds, kGrid, sprite);
  ASSERT_TRUE(slice);
  const Matrix rest = slice->Unscaled(sprite);
  EXPECT_NEAR(rest.a, 0, 1e-12);
  EXPECT_NEAR(rest.b, 1, 1e-12);
  EXPECT_NEAR(rest.c, -1, 1e-12);
  EXPECT_NEAR(rest.d, 0, 1e-12);
  const Point p = rest.Apply(slice->Map({100, 100}));
  const Point q = sprite.Apply({100, 100});  // the far corner lands where unsliced
  EXPECT_NEAR(p.x, q.x, 1e-9);
  EXPECT_NEAR(p.y, q.y, 1e-9);
}

TEST(NineSlice, GridsThatCannotSliceAreRefused) {
  const SwfRect cases[] = {
      {Twips{50}, Twips{50}, Twips{20}, Twips{80}},   // empty
      {Twips{80}, Twips{20}, Twips{20}, Twips{80}},   // inverted
      {Twips{-10}, Twips{80}, Twips{20}, Twips{80}},  // outside the bounds
      {Twips{20}, Twips{80}, Twips{20}, Twips{200}},
  };
  for (const SwfRect& grid : cases) {
    EXPECT_FALSE(NineSlice::Make(kBounds, grid, Matrix{2, 0, 0, 2, 0, 0}));
  }
  EXPECT_FALSE(NineSlice::Make(kBounds, kGrid, Matrix{0, 0, 0, 2, 0, 0})) << "zero scale";
}

// The sample's widest panel (2.5 x 1 at 10, 10): its top right mark, a circle of radius 6 at
// 10 px from the corner, stays round; unsliced it would be an ellipse centred 15 px further in.
TEST(NineSlice, TheSpriteOfASampleMovieIsDrawnSliced) {
  const Picture picture = saverpack::RenderMovieStill(SampleMovie("scale9"), 1);
  auto red = [&](int x, int y) {
    const uint32_t p = picture.pixels[static_cast<size_t>(y * picture.width + x)];
    return ((p >> 16) & 0xFF) > 180 && (p & 0xFF) < 90;
  };
  EXPECT_TRUE(red(253, 20));
  EXPECT_FALSE(red(238, 20));
  EXPECT_TRUE(red(20, 20)) << "the top left mark is where it was";
}

}  // namespace
}  // namespace flashsaver
