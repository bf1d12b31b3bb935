#include "show/monitor_layout.h"

#include <limits>

namespace flashsaver {

ScreenRect SpanningRect(const std::vector<ScreenRect>& monitors, int32_t primary_height) {
  int64_t width = 0;
  for (const ScreenRect& m : monitors) width += m.width;
  if (width > std::numeric_limits<int32_t>::max()) width = std::numeric_limits<int32_t>::max();
  return ScreenRect{0, 0, static_cast<int32_t>(width), primary_height};
}

size_t ShowMonitorIndex(const std::vector<ScreenRect>& monitors, int32_t x, int32_t y) {
  for (size_t i = 0; i < monitors.size(); ++i) {
    const ScreenRect& m = monitors[i];
    if (x >= m.left && y >= m.top && int64_t{x} < int64_t{m.left} + m.width &&
        int64_t{y} < int64_t{m.top} + m.height) {
      return i;
    }
  }
  return 0;
}

std::vector<ScreenRect> CoverRects(const std::vector<ScreenRect>& monitors, size_t show_monitor) {
  std::vector<ScreenRect> covers;
  for (size_t i = 0; i < monitors.size(); ++i) {
    if (i != show_monitor) covers.push_back(monitors[i]);
  }
  return covers;
}

}  // namespace flashsaver
