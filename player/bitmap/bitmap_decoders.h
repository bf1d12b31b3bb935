// The decoders behind the bitmap tags: each turns a tag's image data into a premultiplied
// Picture, or nothing when the data is damaged or larger than the player accepts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "player/render/picture.h"

namespace flashsaver {

// Flash 8 refuses more than 2880 pixels a side; later players accept 8191. The pixel count cap
// keeps one bitmap under 64 MB.
inline constexpr int64_t kMaxBitmapSide = 8191;
inline constexpr int64_t kMaxBitmapPixels = 16 * 1024 * 1024;
bool BitmapSizeAllowed(int64_t width, int64_t height);

// A DefineBits picture: the movie's JPEGTables and the tag's data, joined into one JPEG stream.
std::vector<uint8_t> JoinJpegStreams(std::span<const uint8_t> tables,
                                     std::span<const uint8_t> image);

// JPEG, PNG or GIF data, told apart by their signatures (PNG and GIF since SWF 8). JPEG data may
// carry the stray end-and-start marker pairs of older encoders.
enum class ImageKind { kJpeg, kPng, kGif };
ImageKind KindOfImage(std::span<const uint8_t> data);
std::optional<Picture> DecodeEmbeddedImage(std::span<const uint8_t> data);

// DefineBitsJPEG3's alpha plane: zlib data of one byte per pixel. Premultiplies the picture's
// colours; false (picture unchanged) when the plane is damaged or too short.
bool ApplyAlphaPlane(Picture& picture, std::span<const uint8_t> zlib_alpha);

// DefineBitsLossless 1 and 2. format 3: colour-mapped (table_size entries), 4: 15-bit RGB,
// 5: 24-bit RGB (Lossless) or 32-bit premultiplied ARGB (Lossless2).
struct LosslessHeader {
  uint8_t format = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  uint16_t table_size = 0;  // format 3 only: the stored count plus one
  bool with_alpha = false;  // DefineBitsLossless2
};
std::optional<Picture> DecodeLossless(const LosslessHeader& header,
                                      std::span<const uint8_t> zlib_data);

// Inflates a zlib stream into at most limit bytes; the caller compares the size with what it
// needs. Nothing for a damaged stream.
std::optional<std::vector<uint8_t>> InflateAtMost(std::span<const uint8_t> zlib_data, size_t limit);

}  // namespace flashsaver
