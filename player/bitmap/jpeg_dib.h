// JPEG decoding for the still pictures of the preview and the dialog's banner, as device-
// independent bitmap rows. Apart from jpeg_decoder.h because the window side has a Picture of
// its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace flashsaver {

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
