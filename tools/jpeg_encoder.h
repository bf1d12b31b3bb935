// JPEG pictures for the sample movies' DefineBitsJPEG2 tags, written with libjpeg.
#pragma once

#include <cstdint>
#include <vector>

namespace flashsaver {

// A baseline JPEG of an RGB picture (rows top down, 3 bytes a pixel). Throws std::runtime_error
// when the encoder fails or the sizes do not match.
std::vector<uint8_t> EncodeJpeg(int width, int height, const std::vector<uint8_t>& rgb,
                                int quality);

}  // namespace flashsaver
