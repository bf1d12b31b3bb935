// The small records that many tags share: RECT, MATRIX and colours. One reader for each, used
// by shapes, text and the display list's control tags alike.
#pragma once

#include "player/swf/byte_reader.h"
#include "player/swf/swf_types.h"

namespace flashsaver {

// RECT and MATRIX are bit-packed and start and end on a byte boundary, so neither shares a byte
// with the record before or after it.
SwfRect ReadRect(ByteReader& reader);
Matrix ReadMatrix(ByteReader& reader);
Rgba ReadRgb(ByteReader& reader);  // alpha 255
Rgba ReadRgba(ByteReader& reader);

}  // namespace flashsaver
