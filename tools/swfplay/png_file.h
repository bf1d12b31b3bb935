#pragma once

#include <string>

#include "player/render/picture.h"

namespace flashsaver {

// Writes the picture as an 8-bit RGB PNG; alpha is dropped (the stage is opaque). False when
// the file cannot be written.
bool WritePngFile(const Picture& picture, const std::string& path);

}  // namespace flashsaver
