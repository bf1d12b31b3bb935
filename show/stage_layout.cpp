#include "show/stage_layout.h"

#include <algorithm>
#include <cmath>

namespace flashsaver {
namespace {

// Beyond this a rounded coordinate would not fit the pixel type.
constexpr double kCoordinateLimit = 1e9;

int32_t Round(double v) {
  return static_cast<int32_t>(std::lround(std::clamp(v, -kCoordinateLimit, kCoordinateLimit)));
}

double Place(double free_space, bool at_start, bool at_end) {
  if (at_start) return 0;
  if (at_end) return free_space;
  return free_space / 2;
}

}  // namespace

StageLayout PlaceStage(double stage_width, double stage_height, int32_t window_width,
                       int32_t window_height, int32_t scale_mode, int32_t align_mode) {
  StageLayout layout;
  if (!(stage_width > 0) || !(stage_height > 0) || window_width <= 0 || window_height <= 0) {
    return layout;
  }
  const double sx = window_width / stage_width;
  const double sy = window_height / stage_height;
  switch (scale_mode) {
    case kScaleExactFit:
      layout.scale_x = sx;
      layout.scale_y = sy;
      break;
    case kScaleNoScale:
      layout.scale_x = layout.scale_y = 1;
      break;
    case kScaleNoBorder:
      layout.scale_x = layout.scale_y = std::max(sx, sy);
      break;
    default:
      layout.scale_x = layout.scale_y = std::min(sx, sy);
      break;
  }
  const double width = stage_width * layout.scale_x;
  const double height = stage_height * layout.scale_y;
  layout.offset_x =
      Place(window_width - width, (align_mode & kAlignLeft) != 0, (align_mode & kAlignRight) != 0);
  layout.offset_y = Place(window_height - height, (align_mode & kAlignTop) != 0,
                          (align_mode & kAlignBottom) != 0);
  layout.stage = PixelRect{Round(layout.offset_x), Round(layout.offset_y),
                           Round(layout.offset_x + width), Round(layout.offset_y + height)};
  return layout;
}

}  // namespace flashsaver
