// Placement of the stage by scale mode and alignment.
#include <gtest/gtest.h>

#include <ostream>

#include "show/stage_layout.h"

namespace flashsaver {
namespace {

struct LayoutCase {
  const char* label;
  double stage_w, stage_h;
  int32_t window_w, window_h;
  int32_t scale_mode, align_mode;
  PixelRect expected;
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.label; }

class Placement : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(Placement, PutsTheStageWhereFlashWould) {
  const LayoutCase& c = GetParam();
  const StageLayout layout =
      PlaceStage(c.stage_w, c.stage_h, c.window_w, c.window_h, c.scale_mode, c.align_mode);
  EXPECT_EQ(layout.stage, c.expected) << layout.stage.left << "," << layout.stage.top << ","
                                      << layout.stage.right << "," << layout.stage.bottom;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Placement,
    ::testing::Values(
        // 4:3 stage in a 16:9 window: show-all leaves bands left and right.
        LayoutCase{"ShowAllCentred", 800, 600, 1920, 1080, kScaleShowAll, 0, {240, 0, 1680, 1080}},
        LayoutCase{
            "ShowAllLeft", 800, 600, 1920, 1080, kScaleShowAll, kAlignLeft, {0, 0, 1440, 1080}},
        LayoutCase{
            "ShowAllRight", 800, 600, 1920, 1080, kScaleShowAll, kAlignRight, {480, 0, 1920, 1080}},
        LayoutCase{"ShowAllTallWindow", 800, 600, 600, 1000, kScaleShowAll, 0, {0, 275, 600, 725}},
        LayoutCase{"ShowAllTopBottomBothTop",
                   800,
                   600,
                   600,
                   1000,
                   kScaleShowAll,
                   kAlignTop | kAlignBottom,
                   {0, 0, 600, 450}},
        LayoutCase{
            "ShowAllBottom", 800, 600, 600, 1000, kScaleShowAll, kAlignBottom, {0, 550, 600, 1000}},
        LayoutCase{"ExactFitFills",
                   550,
                   400,
                   1280,
                   1024,
                   kScaleExactFit,
                   kAlignLeft | kAlignTop,
                   {0, 0, 1280, 1024}},
        LayoutCase{"NoScaleCentred", 550, 400, 1280, 1024, kScaleNoScale, 0, {365, 312, 915, 712}},
        LayoutCase{"NoScaleTopLeft",
                   550,
                   400,
                   1280,
                   1024,
                   kScaleNoScale,
                   kAlignLeft | kAlignTop,
                   {0, 0, 550, 400}},
        LayoutCase{"NoScaleBottomRight",
                   550,
                   400,
                   1280,
                   1024,
                   kScaleNoScale,
                   kAlignRight | kAlignBottom,
                   {730, 624, 1280, 1024}},
        LayoutCase{"NoScaleLargerThanWindow",
                   2000,
                   1000,
                   1000,
                   500,
                   kScaleNoScale,
                   0,
                   {-500, -250, 1500, 750}},
        LayoutCase{"NoBorderCrops", 800, 600, 1920, 1080, kScaleNoBorder, 0, {0, -180, 1920, 1260}},
        LayoutCase{"UnknownModeIsShowAll", 800, 600, 1920, 1080, 7, 0, {240, 0, 1680, 1080}},
        LayoutCase{"FractionalStage", 0.05, 0.05, 100, 100, kScaleShowAll, 0, {0, 0, 100, 100}},
        LayoutCase{"EmptyStage", 0, 400, 1280, 1024, kScaleShowAll, 0, {}},
        LayoutCase{"NegativeStage", -550, 400, 1280, 1024, kScaleNoScale, 0, {}},
        LayoutCase{"EmptyWindow", 550, 400, 0, 1024, kScaleShowAll, 0, {}}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return info.param.label; });

TEST(Placement, ScaleMapsStagePixelsToWindowPixels) {
  const StageLayout layout = PlaceStage(400, 300, 1000, 600, kScaleExactFit, 0);
  EXPECT_DOUBLE_EQ(layout.scale_x, 2.5);
  EXPECT_DOUBLE_EQ(layout.scale_y, 2.0);
  EXPECT_DOUBLE_EQ(layout.offset_x, 0);
}

}  // namespace
}  // namespace flashsaver
