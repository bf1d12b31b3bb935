#include "player/render/picture.h"

#include <algorithm>

namespace flashsaver {

void Picture::Fill(PixelBox box, Rgb colour) {
  box.left = std::clamp(box.left, 0, width);
  box.right = std::clamp(box.right, 0, width);
  box.top = std::clamp(box.top, 0, height);
  box.bottom = std::clamp(box.bottom, 0, height);
  if (box.Empty()) return;
  const uint32_t pixel = OpaquePixel(colour);
  for (int32_t y = box.top; y < box.bottom; ++y) {
    std::fill(Row(y) + box.left, Row(y) + box.right, pixel);
  }
}

}  // namespace flashsaver
