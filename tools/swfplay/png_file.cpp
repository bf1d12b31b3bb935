#include "tools/swfplay/png_file.h"

#include <vector>

// Static, so that another copy of the writer in the same program does not clash.
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace flashsaver {

bool WritePngFile(const Picture& picture, const std::string& path) {
  if (picture.width <= 0 || picture.height <= 0) return false;
  std::vector<uint8_t> rgb(static_cast<size_t>(picture.width) * picture.height * 3);
  size_t at = 0;
  for (int32_t y = 0; y < picture.height; ++y) {
    const uint32_t* row = picture.Row(y);
    for (int32_t x = 0; x < picture.width; ++x) {
      rgb[at++] = static_cast<uint8_t>(row[x] >> 16);
      rgb[at++] = static_cast<uint8_t>(row[x] >> 8);
      rgb[at++] = static_cast<uint8_t>(row[x]);
    }
  }
  return stbi_write_png(path.c_str(), picture.width, picture.height, 3, rgb.data(),
                        picture.width * 3) != 0;
}

}  // namespace flashsaver
