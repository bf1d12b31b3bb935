#include <stb_image.h>

#include <algorithm>
#include <climits>
#include <memory>

#include "player/bitmap/bitmap_decoders.h"
#include "player/bitmap/jpeg_decoder.h"

namespace flashsaver {
namespace {

uint32_t Premultiplied(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  auto scale = [a](uint32_t c) { return (c * a + 127) / 255; };
  return a << 24 | scale(r) << 16 | scale(g) << 8 | scale(b);
}

bool StartsWith(std::span<const uint8_t> data, std::span<const uint8_t> prefix) {
  return data.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), data.begin());
}

std::optional<Picture> DecodeWithStb(std::span<const uint8_t> data) {
  if (data.size() > INT_MAX) return std::nullopt;
  const int size = static_cast<int>(data.size());
  int width = 0, height = 0, channels = 0;
  if (!stbi_info_from_memory(data.data(), size, &width, &height, &channels) ||
      !BitmapSizeAllowed(width, height)) {
    return std::nullopt;
  }
  const std::unique_ptr<stbi_uc, void (*)(void*)> rgba(
      stbi_load_from_memory(data.data(), size, &width, &height, &channels, 4), &stbi_image_free);
  if (!rgba || !BitmapSizeAllowed(width, height)) return std::nullopt;
  Picture picture(width, height);
  const stbi_uc* in = rgba.get();
  for (uint32_t& pixel : picture.pixels) {
    pixel = Premultiplied(in[0], in[1], in[2], in[3]);
    in += 4;
  }
  return picture;
}

}  // namespace

bool BitmapSizeAllowed(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxBitmapSide && height <= kMaxBitmapSide &&
         width * height <= kMaxBitmapPixels;
}

ImageKind KindOfImage(std::span<const uint8_t> data) {
  static constexpr uint8_t kPng[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  static constexpr uint8_t kGif[] = {'G', 'I', 'F', '8'};
  if (StartsWith(data, kPng)) return ImageKind::kPng;
  if (StartsWith(data, kGif)) return ImageKind::kGif;
  return ImageKind::kJpeg;
}

std::optional<Picture> DecodeEmbeddedImage(std::span<const uint8_t> data) {
  if (KindOfImage(data) != ImageKind::kJpeg) return DecodeWithStb(data);
  const std::vector<uint8_t> jpeg = JoinJpegStreams({}, data);
  std::optional<Picture> picture = DecodeJpegPicture(jpeg, kMaxBitmapPixels);
  if (picture && !BitmapSizeAllowed(picture->width, picture->height)) return std::nullopt;
  return picture;
}

bool ApplyAlphaPlane(Picture& picture, std::span<const uint8_t> zlib_alpha) {
  const size_t count = picture.pixels.size();
  const std::optional<std::vector<uint8_t>> alpha = InflateAtMost(zlib_alpha, count);
  if (!alpha || alpha->size() < count) return false;
  // The JPEG's colours come already multiplied by this alpha (authoring tools write them so);
  // a channel above its alpha, a JPEG rounding artefact, is held to it.
  for (size_t i = 0; i < count; ++i) {
    const uint32_t pixel = picture.pixels[i];
    const uint32_t a = (*alpha)[i];
    auto held = [&](int shift) { return std::min<uint32_t>(pixel >> shift & 0xFF, a) << shift; };
    picture.pixels[i] = a << 24 | held(16) | held(8) | held(0);
  }
  return true;
}

}  // namespace flashsaver
