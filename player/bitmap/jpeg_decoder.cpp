#include "player/bitmap/jpeg_decoder.h"
#include "player/bitmap/jpeg_dib.h"

#include <csetjmp>
#include <cstdio>
#include <utility>

#include <jpeglib.h>

namespace flashsaver {
namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf escape;
};

// libjpeg's default would print and call exit(); a bad picture must only fail to load.
[[noreturn]] void EscapeOnError(j_common_ptr info) {
  auto* errors = reinterpret_cast<ErrorManager*>(info->err);
  std::longjmp(errors->escape, 1);
}

void IgnoreMessage(j_common_ptr, int) {}

// Everything that lives across setjmp is trivially destructible or was constructed before it.
bool DecodeInto(std::span<const uint8_t> data, uint64_t max_pixels, Picture& image,
                std::vector<uint8_t>& row) {
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = &EscapeOnError;
  errors.base.emit_message = &IgnoreMessage;
  if (setjmp(errors.escape)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  const uint64_t pixels = static_cast<uint64_t>(info.image_width) * info.image_height;
  if (pixels == 0 || pixels > max_pixels) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  if (info.output_components != 3) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  const size_t width = info.output_width;
  image =
      Picture(static_cast<int32_t>(info.output_width), static_cast<int32_t>(info.output_height));
  row.assign(width * 3, 0);
  while (info.output_scanline < info.output_height) {
    const int32_t y = static_cast<int32_t>(info.output_scanline);
    JSAMPROW rows[1] = {row.data()};
    if (jpeg_read_scanlines(&info, rows, 1) != 1) break;
    uint32_t* out = image.Row(y);
    for (size_t x = 0; x < width; ++x) {
      out[x] = 0xFF000000u | static_cast<uint32_t>(row[x * 3]) << 16 |
               static_cast<uint32_t>(row[x * 3 + 1]) << 8 | row[x * 3 + 2];
    }
  }
  const bool complete = info.output_scanline == info.output_height;
  if (complete) jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return complete;
}

}  // namespace

std::optional<Picture> DecodeJpegPicture(std::span<const uint8_t> data, uint64_t max_pixels) {
  if (data.size() < 4) return std::nullopt;
  std::vector<uint8_t> row;
  Picture picture;
  if (!DecodeInto(data, max_pixels, picture, row)) return std::nullopt;
  return picture;
}

bool DecodeJpeg(const uint8_t* data, size_t size, DecodedImage& image) {
  if (!data) return false;
  const std::optional<Picture> picture =
      DecodeJpegPicture(std::span<const uint8_t>(data, size), kMaxDecodedPixels);
  if (!picture) return false;
  image.width = picture->width;
  image.height = picture->height;
  image.pixels.resize(picture->pixels.size() * 4);
  uint8_t* out = image.pixels.data();
  for (const uint32_t pixel : picture->pixels) {
    *out++ = static_cast<uint8_t>(pixel);
    *out++ = static_cast<uint8_t>(pixel >> 8);
    *out++ = static_cast<uint8_t>(pixel >> 16);
    *out++ = 0;
  }
  return true;
}

}  // namespace flashsaver
