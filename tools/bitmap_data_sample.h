// The sample movie of flash.display.BitmapData: a frame script that builds bitmaps with the
// class's methods and shows them with attachBitmap and beginBitmapFill.
#pragma once

#include <cstdint>
#include <vector>

namespace flashsaver {

std::vector<uint8_t> BitmapDataSampleMovie();

}  // namespace flashsaver
