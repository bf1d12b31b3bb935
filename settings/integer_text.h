// Integers as the settings file writes them: optional leading blanks, an optional sign, then
// decimal digits or hexadecimal digits after "$", "x", "X", "0x" or "0X". The whole text must
// be the number; anything else is not an integer.
#pragma once

#include <cstdint>
#include <string_view>

namespace flashsaver {

// Decimal values must fit the type; hexadecimal values may use every bit of it, so that
// $FFFFFFFF reads as -1, as a colour written in hexadecimal would expect.
bool ParseInt32(std::string_view text, int32_t& value);
bool ParseInt64(std::string_view text, int64_t& value);

}  // namespace flashsaver
