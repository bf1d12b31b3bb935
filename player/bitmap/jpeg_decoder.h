// JPEG decoding through libjpeg for the player's DefineBits pictures (jpeg_dib.h gives the
// still pictures of the preview and the dialog's banner the same decoder).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "player/render/picture.h"

namespace flashsaver {

// An opaque picture (alpha 0xFF), or nothing for data that is not a JPEG picture libjpeg can
// decode, or one of more than max_pixels (refused before anything is allocated).
std::optional<Picture> DecodeJpegPicture(std::span<const uint8_t> data, uint64_t max_pixels);

}  // namespace flashsaver
