// Where a movie's stage goes inside the player's window, by the control's ScaleMode and
// AlignMode, as Flash places it.
#pragma once

#include <cstdint>

namespace flashsaver {

// Values of the control's ScaleMode property.
enum ScaleMode : int32_t {
  kScaleShowAll = 0,   // whole stage visible, aspect kept, bands at two sides
  kScaleNoBorder = 1,  // window filled, aspect kept, the stage cropped
  kScaleExactFit = 2,  // window filled, stage stretched
  kScaleNoScale = 3,   // one stage pixel to one window pixel
};

// Bits of the control's AlignMode property; 0 centres on both axes.
enum AlignBits : int32_t {
  kAlignLeft = 1,
  kAlignRight = 2,
  kAlignTop = 4,
  kAlignBottom = 8,
};

struct PixelRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

struct StageLayout {
  // Window pixel = stage pixel × scale + offset.
  double scale_x = 1, scale_y = 1;
  double offset_x = 0, offset_y = 0;
  // The stage in window pixels, rounded; it may reach outside the window (no-border, no-scale).
  PixelRect stage;
};

// stage_width and stage_height in stage pixels. A stage without area, or a window without area,
// gives an empty stage rectangle. Unknown scale modes place as show-all.
StageLayout PlaceStage(double stage_width, double stage_height, int32_t window_width,
                       int32_t window_height, int32_t scale_mode, int32_t align_mode);

}  // namespace flashsaver
