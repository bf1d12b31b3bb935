#include "settings/integer_text.h"

namespace flashsaver {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads into an unsigned magnitude no larger than limit; the sign is applied by the caller.
bool ParseMagnitude(std::string_view text, uint64_t decimal_limit, uint64_t hex_limit,
                    bool& negative, bool& hex, uint64_t& magnitude) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  hex = false;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == text.size()) return false;
  const uint64_t base = hex ? 16 : 10;
  const uint64_t limit = hex ? hex_limit : decimal_limit;
  magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit =
        hex ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
    if (digit < 0) return false;
    if (magnitude > (limit - static_cast<uint64_t>(digit)) / base) return false;
    magnitude = magnitude * base + static_cast<uint64_t>(digit);
  }
  return true;
}

}  // namespace

bool ParseInt32(std::string_view text, int32_t& value) {
  bool negative = false;
  bool hex = false;
  uint64_t magnitude = 0;
  if (!ParseMagnitude(text, uint64_t{0x80000000}, uint64_t{0xFFFFFFFF}, negative, hex, magnitude)) {
    return false;
  }
  if (!hex && !negative && magnitude > 0x7FFFFFFF) return false;
  uint32_t bits = static_cast<uint32_t>(magnitude);
  if (negative) bits = 0u - bits;
  value = static_cast<int32_t>(bits);
  return true;
}

bool ParseInt64(std::string_view text, int64_t& value) {
  bool negative = false;
  bool hex = false;
  uint64_t magnitude = 0;
  if (!ParseMagnitude(text, uint64_t{0x8000000000000000}, ~uint64_t{0}, negative, hex, magnitude)) {
    return false;
  }
  if (!hex && !negative && magnitude > 0x7FFFFFFFFFFFFFFF) return false;
  uint64_t bits = magnitude;
  if (negative) bits = 0u - bits;
  value = static_cast<int64_t>(bits);
  return true;
}

}  // namespace flashsaver
