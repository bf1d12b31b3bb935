// The small SWF records that text tags share (RECT, MATRIX, colours, strings), read with the
// project's ByteReader. Kept in their own namespace so that they never clash with other groups'
// readers of the same records.
#pragma once

#include <cstdint>
#include <string>

#include "player/swf/byte_reader.h"
#include "player/swf/swf_types.h"

namespace flashsaver::text {

// RECT and MATRIX end on a byte boundary, as every SWF record does.
SwfRect ReadRect(ByteReader& reader);
Matrix ReadMatrix(ByteReader& reader);
Rgba ReadRgb(ByteReader& reader);
Rgba ReadRgba(ByteReader& reader);
// A NUL-terminated string, converted to UTF-8: SWF 6 and later store UTF-8, earlier movies the
// system's code page, read here as Latin-1. A string cut off by the end of the data ends there.
std::string ReadString(ByteReader& reader, uint8_t swf_version);
// Bytes of a length-prefixed name (font names), same conversion; trailing NULs dropped.
std::string ConvertName(std::span<const uint8_t> bytes, uint8_t swf_version);

}  // namespace flashsaver::text
