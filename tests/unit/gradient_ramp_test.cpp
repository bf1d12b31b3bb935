#include <gtest/gtest.h>

#include "player/render/paint.h"

namespace flashsaver {
namespace {

Gradient TwoStops(uint8_t r0, Rgba c0, uint8_t r1, Rgba c1) {
  Gradient g;
  g.stops = {{r0, c0}, {r1, c1}};
  return g;
}

constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};

TEST(GradientRamp, StopsTransformAndInterpolation) {
  ColorTransform half_alpha;
  half_alpha.a_mult = 128;
  ColorTransform green_added;
  green_added.g_add = 100;
  Gradient linear_rgb = TwoStops(0, {0, 0, 0, 255}, 255, {255, 255, 255, 255});
  linear_rgb.interpolation = Interpolation::kLinearRgb;
  struct Case {
    const char* label;
    Gradient gradient;
    ColorTransform color;
    int index;
    uint32_t expected;  // premultiplied 0xAARRGGBB
  } cases[] = {
      {"first stop", TwoStops(0, kRed, 255, kBlue), {}, 0, 0xFFFF0000},
      {"last stop", TwoStops(0, kRed, 255, kBlue), {}, 255, 0xFF0000FF},
      {"middle", TwoStops(0, kRed, 255, kBlue), {}, 51, 0xFFCC0033},
      {"before the first stop pads", TwoStops(64, kRed, 192, kBlue), {}, 10, 0xFFFF0000},
      {"after the last stop pads", TwoStops(64, kRed, 192, kBlue), {}, 250, 0xFF0000FF},
      {"alpha multiplied in, then premultiplied", TwoStops(0, kRed, 255, kRed), half_alpha, 9,
       0x7F7F0000},
      {"addition folded in", TwoStops(0, kRed, 255, kBlue), green_added, 0, 0xFFFF6400},
      {"linear RGB is lighter in the middle", linear_rgb, {}, 128, 0xFFBABABA},
      {"sRGB middle", TwoStops(0, {0, 0, 0, 255}, 255, {255, 255, 255, 255}), {}, 128, 0xFF808080},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BuildGradientRamp(c.gradient, c.color)[static_cast<size_t>(c.index)], c.expected)
        << c.label;
  }
}

// A linear gradient over 0..32 target pixels (the square scaled by 1/1024): pixel 40 lies past
// its end by about a quarter of its length.
TEST(GradientRamp, SpreadModes) {
  FillStyle fill;
  fill.kind = FillKind::kLinearGradient;
  fill.gradient = TwoStops(0, kRed, 255, kBlue);
  fill.matrix = Matrix::Translate(16, 0) * Matrix::Scale(1.0 / 1024, 1.0 / 1024);
  struct Case {
    SpreadMode spread;
    uint32_t at_40;
  } cases[] = {
      {SpreadMode::kPad, 0xFF0000FF},
      {SpreadMode::kRepeat, BuildGradientRamp(fill.gradient, {})[68]},
      {SpreadMode::kReflect, BuildGradientRamp(fill.gradient, {})[187]},
  };
  for (const Case& c : cases) {
    fill.gradient.spread = c.spread;
    Paint paint;
    paint.SetFill(fill, Matrix{}, {}, nullptr, true);
    uint32_t px = 0;
    paint.Generate(&px, 40, 0, 1);
    EXPECT_EQ(px, c.at_40) << static_cast<int>(c.spread);
  }
}

}  // namespace
}  // namespace flashsaver
