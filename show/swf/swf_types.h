// Units of the SWF format as their own types, so that twips, pixels and fixed-point frame rates
// are never mixed up.
#pragma once

#include <cstdint>

namespace flashsaver {

// 1/20 of a pixel, the unit of every SWF coordinate.
struct Twips {
  int32_t value = 0;
  static constexpr int32_t kPerPixel = 20;
  double ToPixels() const { return static_cast<double>(value) / kPerPixel; }
  friend bool operator==(Twips, Twips) = default;
};

struct SwfRect {
  Twips x_min, x_max, y_min, y_max;
  Twips Width() const { return Twips{x_max.value - x_min.value}; }
  Twips Height() const { return Twips{y_max.value - y_min.value}; }
  friend bool operator==(const SwfRect&, const SwfRect&) = default;
};

// Frames per second as 8.8 fixed point, as the header stores it.
struct FrameRate {
  uint16_t fixed_8_8 = 0;
  double PerSecond() const { return fixed_8_8 / 256.0; }
  friend bool operator==(FrameRate, FrameRate) = default;
};

// 0xRRGGBB.
struct Rgb {
  uint32_t value = 0;
  uint8_t Red() const { return static_cast<uint8_t>(value >> 16); }
  uint8_t Green() const { return static_cast<uint8_t>(value >> 8); }
  uint8_t Blue() const { return static_cast<uint8_t>(value); }
  friend bool operator==(Rgb, Rgb) = default;
};

}  // namespace flashsaver
