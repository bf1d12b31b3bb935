// Strings of the text tags, read with the project's ByteReader; RECT, MATRIX and colours come
// from player/swf/basic_records.h.
#pragma once

#include <cstdint>
#include <string>

#include "player/swf/basic_records.h"
#include "player/swf/byte_reader.h"
#include "player/swf/swf_types.h"

namespace flashsaver::text {

// A NUL-terminated string, converted to UTF-8: SWF 6 and later store UTF-8, earlier movies the
// system's code page, read here as Latin-1. A string cut off by the end of the data ends there.
std::string ReadString(ByteReader& reader, uint8_t swf_version);
// Bytes of a length-prefixed name (font names), same conversion; trailing NULs dropped.
std::string ConvertName(std::span<const uint8_t> bytes, uint8_t swf_version);

}  // namespace flashsaver::text
