// A 32-bit picture: rows top to bottom, each pixel 0xAARRGGBB in a uint32_t (B, G, R, A in
// memory, as a Windows top-down DIB), colour premultiplied by alpha. The player renders into one,
// the show blits it, swfplay writes it as PNG; decoded SWF bitmaps are kept the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "player/swf/swf_types.h"

namespace flashsaver {

// Window or picture pixels, right and bottom exclusive.
struct PixelBox {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool Empty() const { return right <= left || bottom <= top; }
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  friend bool operator==(const PixelBox&, const PixelBox&) = default;
};

struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;  // width × height

  Picture() = default;
  Picture(int32_t w, int32_t h, uint32_t fill = 0)
      : width(w), height(h), pixels(static_cast<size_t>(w) * static_cast<size_t>(h), fill) {}

  uint32_t* Row(int32_t y) { return pixels.data() + static_cast<size_t>(y) * width; }
  const uint32_t* Row(int32_t y) const { return pixels.data() + static_cast<size_t>(y) * width; }
  // Opaque fill of the part of box that lies inside the picture.
  void Fill(PixelBox box, Rgb colour);
};

inline constexpr uint32_t OpaquePixel(Rgb colour) {
  return 0xFF000000u | (colour.value & 0xFFFFFFu);
}

}  // namespace flashsaver
