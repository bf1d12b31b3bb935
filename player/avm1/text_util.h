// Character-level views of UTF-8 strings: the script counts characters, not bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace flashsaver::avm1 {

size_t Utf8Length(std::string_view s);
// Characters [start, start + count) of s; clamps to the end.
std::string Utf8Substr(std::string_view s, size_t start, size_t count);
// The code of character i, or 0 past the end.
uint32_t Utf8At(std::string_view s, size_t i);
std::string Utf8Encode(uint32_t code);
std::u16string ToUtf16(std::string_view s);
std::string FromUtf16(std::u16string_view s);
// a < b by code points, surrogate pairs taken whole.
bool CodePointLess(std::string_view a, std::string_view b);
// The text of an SWF 5 movie, written in the Windows Western code page.
std::string Windows1252ToUtf8(std::string_view s);

}  // namespace flashsaver::avm1
