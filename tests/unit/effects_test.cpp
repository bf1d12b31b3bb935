// Filters and blend modes: the records, the pixel arithmetic, and layers drawn in part.
#include <gtest/gtest.h>

#include "player/display/control_records.h"
#include "player/display/movie_player.h"
#include "player/render/agg_canvas.h"
#include "player/render/blend.h"
#include "player/render/filters.h"
#include "player/swf/tag_codes.h"
#include "tools/sample_movies.h"
#include "tools/swf_records.h"

namespace flashsaver {
namespace {

TEST(Effects, FilterListsReadBackAsWritten) {
  std::vector<Filter> filters(8);
  for (size_t i = 0; i < filters.size(); ++i) {
    Filter& f = filters[i];
    f.kind = static_cast<FilterKind>(i);
    f.blur_x = 3.5, f.blur_y = 7.25, f.passes = 3;
    f.colour = {1, 2, 3, 4};
  }
  Filter& shadow = filters[0];
  shadow.angle = 0.75, shadow.distance = -6, shadow.strength = 1.5;
  shadow.knockout = shadow.hide_object = true;
  filters[3].highlight = {9, 8, 7, 6}, filters[3].on_top = true, filters[3].inner = true;
  filters[3].angle = 1, filters[3].distance = 2, filters[3].strength = 0.5;
  for (size_t g : {4u, 7u}) {
    filters[g].gradient = {{0, {1, 1, 1, 0}}, {200, {9, 9, 9, 255}}};
    filters[g].angle = 0.5, filters[g].distance = 4;
  }
  Filter& conv = filters[5];
  conv.matrix_x = 3, conv.matrix_y = 2, conv.matrix = {1, 2, 3, 4, 5, 6};
  conv.divisor = 2.5f, conv.bias = -1, conv.default_colour = {5, 6, 7, 8}, conv.clamp = false;
  filters[6].colour_matrix[7] = -0.5f;
  // Fields a kind does not carry are left at their defaults by the reader.
  for (Filter& f : filters) {
    if (f.kind == FilterKind::kBlur || f.kind == FilterKind::kGradientGlow ||
        f.kind == FilterKind::kGradientBevel) {
      f.colour = Filter{}.colour;
    }
    if (f.kind == FilterKind::kColorMatrix || f.kind == FilterKind::kConvolution) {
      const Filter d;
      f.colour = d.colour, f.blur_x = d.blur_x, f.blur_y = d.blur_y, f.passes = d.passes;
    }
  }
  const swf_out::Bytes tag =
      swf_out::PlaceObject3({1, uint16_t{2}, false, {}, {}, {}, {}, {}}, filters, uint8_t{13});
  const PlaceCommand place = ReadPlaceObject(
      SwfTag{swf_tag::kPlaceObject3, std::span(tag).subspan((tag[0] & 0x3F) == 0x3F ? 6 : 2)}, 8);
  ASSERT_EQ(place.filters.size(), filters.size());
  for (size_t i = 0; i < filters.size(); ++i) EXPECT_EQ(place.filters[i], filters[i]) << i;
  EXPECT_EQ(place.blend_mode, 13);
}

TEST(Effects, LimitsOnFilterCountAndLayerDepth) {
  const std::vector<Filter> many(40, Filter{});
  const swf_out::Bytes tag =
      swf_out::PlaceObject3({1, uint16_t{2}, false, {}, {}, {}, {}, {}}, many, uint8_t{3});
  const PlaceCommand place = ReadPlaceObject(
      SwfTag{swf_tag::kPlaceObject3, std::span(tag).subspan((tag[0] & 0x3F) == 0x3F ? 6 : 2)}, 8);
  EXPECT_EQ(place.filters.size(), kMaxFiltersPerObject);
  EXPECT_EQ(place.blend_mode, 3) << "the fields after the list are still read";

  // Layers nested far deeper than the limit still draw, and pair up.
  Picture p(4, 4);
  AggCanvas canvas(p, CanvasOptions{});
  LayerEffects fx;
  fx.blend = BlendMode::kInvert;
  for (int i = 0; i < 40; ++i) canvas.BeginLayer(LayerEffects{});
  canvas.BeginLayer(fx);
  Path square;
  square.MoveTo({0, 0});
  square.LineTo({80, 0});
  square.LineTo({80, 80});
  square.LineTo({0, 80});
  canvas.FillPath(square, FillRule::kNonZero, {255, 0, 0, 255}, {Matrix::Scale(0.05, 0.05), {}});
  for (int i = 0; i < 41; ++i) canvas.EndLayer();
  EXPECT_EQ(p.Row(2)[2], 0xFFFF0000u);
}

uint32_t Blend(uint32_t below, uint32_t above, BlendMode mode) {
  BlendRow(&below, &above, 1, mode);
  return below;
}

TEST(Effects, BlendModesOnOpaqueAndTransparentPixels) {
  struct Case {
    BlendMode mode;
    uint32_t below, above, want;
  } const cases[] = {
      {BlendMode::kNormal, 0xFF204060, 0x80400000, 0xFF502030},
      {BlendMode::kMultiply, 0xFF80FF00, 0xFF8080FF, 0xFF408000},
      {BlendMode::kScreen, 0xFF800000, 0xFF800000, 0xFFC00000},
      {BlendMode::kLighten, 0xFF10F010, 0xFFF01010, 0xFFF0F010},
      {BlendMode::kDarken, 0xFF10F010, 0xFFF01010, 0xFF101010},
      {BlendMode::kDifference, 0xFF10F080, 0xFFF01080, 0xFFE0E000},
      {BlendMode::kAdd, 0xFFC01000, 0xFF801000, 0xFFFF2000},
      {BlendMode::kSubtract, 0xFFC01000, 0xFF802000, 0xFF400000},
      {BlendMode::kInvert, 0xFF00FF40, 0xFF123456, 0xFFFF00BF},
      {BlendMode::kAlpha, 0xFF804020, 0x80000000, 0x80402010},
      {BlendMode::kErase, 0xFF804020, 0x80000000, 0x7F40200F},
      {BlendMode::kOverlay, 0xFF40C000, 0xFF808080, 0xFF40C000},
      {BlendMode::kHardLight, 0xFF808080, 0xFF40C000, 0xFF40C000},
      // Where the layer is transparent nothing changes but for alpha, which clears.
      {BlendMode::kMultiply, 0xFF123456, 0x00000000, 0xFF123456},
      {BlendMode::kDifference, 0xFF123456, 0x00000000, 0xFF123456},
      {BlendMode::kAlpha, 0xFF123456, 0x00000000, 0x00000000},
  };
  for (const Case& c : cases) {
    const uint32_t got = Blend(c.below, c.above, c.mode);
    for (int shift : {24, 16, 8, 0}) {
      EXPECT_NEAR(int((got >> shift) & 0xFF), int((c.want >> shift) & 0xFF), 1)
          << "mode " << int(c.mode) << std::hex << " got " << got << " want " << c.want;
    }
  }
  EXPECT_EQ(BlendModeOf(0), BlendMode::kNormal);
  EXPECT_EQ(BlendModeOf(15), BlendMode::kNormal);
}

Picture Dot() {
  Picture p(9, 9);
  p.Row(4)[4] = 0xFF804020;
  return p;
}

TEST(Effects, PixelFiltersTransformEachPixel) {
  // A colour matrix that swaps red and blue and halves alpha.
  Filter swap;
  swap.kind = FilterKind::kColorMatrix;
  swap.colour_matrix = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0.5f, 0};
  Picture p = Dot();
  ApplyFilter(swap, p, {0, 0, 9, 9}, 1, 1);
  EXPECT_NEAR(int(p.Row(4)[4] >> 24), 128, 1);
  EXPECT_NEAR(int((p.Row(4)[4] >> 16) & 0xFF), 0x10, 1);  // blue 0x20, premultiplied by 1/2
  EXPECT_NEAR(int(p.Row(4)[4] & 0xFF), 0x40, 1);

  // A convolution that moves every pixel one to the right.
  Filter shift;
  shift.kind = FilterKind::kConvolution;
  shift.matrix_x = 3, shift.matrix_y = 1, shift.matrix = {1, 0, 0};
  shift.preserve_alpha = false;
  p = Dot();
  ApplyFilter(shift, p, {0, 0, 9, 9}, 1, 1);
  EXPECT_EQ(p.Row(4)[5], 0xFF804020u);
  EXPECT_EQ(p.Row(4)[4], 0u);
}

TEST(Effects, BlurSpreadsWithoutLosingCoverage) {
  Picture p = Dot();
  BlurPicture(p, {0, 0, 9, 9}, 3, 3, 2);
  double alpha = 0;
  for (uint32_t px : p.pixels) alpha += px >> 24;
  EXPECT_NEAR(alpha, 255, 9 * 9 / 2.0) << "rounding only";
  EXPECT_GT(p.Row(2)[2] >> 24, 0u) << "two passes of 3 reach two pixels";
  EXPECT_EQ(p.Row(1)[4], 0u);
}

// The filters sample redrawn in part, as the show redraws only what changed: the blurred and
// shadowed cells must come out the same as in the whole picture (but for the rounding of
// coverage along the clip's edge).
TEST(Effects, LayersDrawnInPartMatchTheWholePicture) {
  const std::vector<uint8_t> movie = SampleMovie("filters");
  MoviePlayer player(movie);
  player.AdvanceFrame();
  const Matrix m = Matrix::Scale(0.05, 0.05);
  Picture whole(480, 240), part(480, 240);
  {
    AggCanvas canvas(whole, CanvasOptions{});
    player.Render(canvas, m);
  }
  const PixelBox clip{100, 30, 300, 200};
  {
    AggCanvas canvas(part, CanvasOptions{true, true, clip});
    player.Render(canvas, m);
  }
  int differ = 0;
  for (int32_t y = clip.top; y < clip.bottom; ++y) {
    for (int32_t x = clip.left; x < clip.right; ++x) {
      for (int shift : {24, 16, 8, 0}) {
        const int a = (whole.Row(y)[x] >> shift) & 0xFF, b = (part.Row(y)[x] >> shift) & 0xFF;
        differ += std::abs(a - b) > 2;
      }
    }
  }
  EXPECT_EQ(differ, 0);
  EXPECT_EQ(part.Row(10)[10], 0u) << "nothing is drawn outside the clip";
}

}  // namespace
}  // namespace flashsaver
