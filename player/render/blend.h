// The blend modes of SWF 8 (PlaceObject3 and `blendMode`): how a layer's finished picture is
// put onto what lies below it. Both are premultiplied 0xAARRGGBB.
#pragma once

#include <cstdint>

namespace flashsaver {

enum class BlendMode : uint8_t {
  kNormal = 1,
  kLayer = 2,
  kMultiply = 3,
  kScreen = 4,
  kLighten = 5,
  kDarken = 6,
  kDifference = 7,
  kAdd = 8,
  kSubtract = 9,
  kInvert = 10,
  kAlpha = 11,
  kErase = 12,
  kOverlay = 13,
  kHardLight = 14,
};

// The mode of a PlaceObject3 byte; 0 and unknown values are normal.
BlendMode BlendModeOf(uint8_t value);

// dst[i] = src[i] blended onto dst[i], for n pixels.
void BlendRow(uint32_t* dst, const uint32_t* src, int n, BlendMode mode);

}  // namespace flashsaver
