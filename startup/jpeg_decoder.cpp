#include "startup/jpeg_decoder.h"

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
bool DecodeInto(const uint8_t* data, size_t size, DecodedImage& image, std::vector<uint8_t>& row) {
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
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  const uint64_t pixels = static_cast<uint64_t>(info.image_width) * info.image_height;
  if (pixels == 0 || pixels > kMaxDecodedPixels) {
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
  image.width = static_cast<int>(info.output_width);
  image.height = static_cast<int>(info.output_height);
  image.pixels.assign(width * info.output_height * 4, 0);
  row.assign(width * 3, 0);
  while (info.output_scanline < info.output_height) {
    const size_t y = info.output_scanline;
    JSAMPROW rows[1] = {row.data()};
    if (jpeg_read_scanlines(&info, rows, 1) != 1) break;
    uint8_t* out = image.pixels.data() + y * width * 4;
    for (size_t x = 0; x < width; ++x) {
      out[x * 4 + 0] = row[x * 3 + 2];
      out[x * 4 + 1] = row[x * 3 + 1];
      out[x * 4 + 2] = row[x * 3 + 0];
    }
  }
  const bool complete = info.output_scanline == info.output_height;
  if (complete) jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return complete;
}

}  // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, DecodedImage& image) {
  if (!data || size < 4) return false;
  std::vector<uint8_t> row;
  DecodedImage decoded;
  if (!DecodeInto(data, size, decoded, row)) return false;
  image = std::move(decoded);
  return true;
}

}  // namespace flashsaver
