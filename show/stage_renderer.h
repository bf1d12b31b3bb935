// The one drawing interface of the built-in player: the player decides what goes where, a
// renderer puts it on a surface (a window's device context, or a recording in the tests).
#pragma once

#include "show/stage_layout.h"
#include "player/swf/swf_types.h"

namespace flashsaver {

class StageRenderer {
 public:
  virtual ~StageRenderer() = default;
  // Fills the rectangle (window pixels, right and bottom exclusive) with the colour.
  virtual void FillRect(const PixelRect& rect, Rgb colour) = 0;
};

}  // namespace flashsaver
