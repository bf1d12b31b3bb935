#include "show/monitor_layout.h"

#include <gtest/gtest.h>

namespace flashsaver {
namespace {

const ScreenRect kLeft{0, 0, 1920, 1080};
const ScreenRect kRight{1920, 0, 1280, 1024};
const ScreenRect kBelow{0, 1080, 1024, 768};
const ScreenRect kLeftOfPrimary{-1600, 0, 1600, 900};

TEST(MonitorLayout, SpanningWindowSumsTheWidthsAtThePrimaryHeight) {
  EXPECT_EQ(SpanningRect({kLeft, kRight}, 1080), (ScreenRect{0, 0, 3200, 1080}));
  EXPECT_EQ(SpanningRect({kLeft, kRight, kBelow}, 1080), (ScreenRect{0, 0, 4224, 1080}));
  EXPECT_EQ(SpanningRect({}, 768), (ScreenRect{0, 0, 0, 768}));
  const ScreenRect huge{0, 0, 2000000000, 10};
  EXPECT_EQ(SpanningRect({huge, huge}, 10).width, INT32_MAX);
}

TEST(MonitorLayout, ShowMonitorIsTheOneHoldingThePoint) {
  EXPECT_EQ(ShowMonitorIndex({kLeft, kRight}, 357, 210), 0u);
  EXPECT_EQ(ShowMonitorIndex({kRight, kLeft}, 357, 210), 1u);
  EXPECT_EQ(ShowMonitorIndex({kLeftOfPrimary, kLeft}, 357, 210), 1u);
  // Edges: right and bottom edges belong to the next monitor.
  EXPECT_EQ(ShowMonitorIndex({kLeft, kRight}, 1920, 0), 1u);
  EXPECT_EQ(ShowMonitorIndex({kLeft, kBelow}, 10, 1080), 1u);
  // Nowhere: the first of the list.
  EXPECT_EQ(ShowMonitorIndex({kRight, kBelow}, -5000, -5000), 0u);
  EXPECT_EQ(ShowMonitorIndex({}, 0, 0), 0u);
}

TEST(MonitorLayout, CoversEveryMonitorButTheShowsInListOrder) {
  EXPECT_TRUE(CoverRects({kLeft}, 0).empty());
  EXPECT_TRUE(CoverRects({}, 0).empty());
  EXPECT_EQ(CoverRects({kLeft, kRight, kBelow}, 0), (std::vector<ScreenRect>{kRight, kBelow}));
  EXPECT_EQ(CoverRects({kLeftOfPrimary, kLeft, kRight}, 1),
            (std::vector<ScreenRect>{kLeftOfPrimary, kRight}));
}

}  // namespace
}  // namespace flashsaver
