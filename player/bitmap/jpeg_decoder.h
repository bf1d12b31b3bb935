// JPEG decoding through libjpeg: the player's DefineBits pictures, and the still pictures of the
// preview and the dialog's banner.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "player/render/picture.h"

namespace flashsaver {

// An opaque picture (alpha 0xFF), or nothing for data that is not a JPEG picture libjpeg can
// decode, or one of more than max_pixels (refused before anything is allocated).
std::optional<Picture> DecodeJpegPicture(std::span<const uint8_t> data, uint64_t max_pixels);

struct DecodedImage {
  int width = 0;
  int height = 0;
  // Top-down rows of width pixels, 4 bytes each in the order blue, green, red, 0: the layout
  // of a 32-bit device-independent bitmap.
  std::vector<uint8_t> pixels;
};

// Pictures beyond this many pixels are refused rather than allocated.
inline constexpr uint64_t kMaxDecodedPixels = 64ull * 1024 * 1024;

// False for data that is not a JPEG picture libjpeg can decode, or one that is too large.
bool DecodeJpeg(const uint8_t* data, size_t size, DecodedImage& image);

}  // namespace flashsaver
