// Where the show window and the cover windows go on a system with several monitors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace flashsaver {

struct ScreenRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool operator==(const ScreenRect&) const = default;
};

// One window across all monitors: from the primary screen's corner, as wide as all monitors
// together and as high as the primary screen.
ScreenRect SpanningRect(const std::vector<ScreenRect>& monitors, int32_t primary_height);

// The monitor that holds the show: the one containing the point, else the first of the list.
size_t ShowMonitorIndex(const std::vector<ScreenRect>& monitors, int32_t x, int32_t y);

// One cover for every monitor but the show's, in the order of the system's list.
std::vector<ScreenRect> CoverRects(const std::vector<ScreenRect>& monitors, size_t show_monitor);

}  // namespace flashsaver
