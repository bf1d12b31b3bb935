// The AS3 machine's number text: range checks and the conversions from text. The digits of
// printed numbers come from number_digits.cpp.
#include "player/avm2/number_text.h"

#include "player/avm2/number_digits.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <system_error>

namespace flashsaver::avm2 {
namespace {

NumberText PrecisionError() {
  NumberText r;
  r.error_id = 1002;
  r.message =
      "Number.toPrecision has a range of 1 to 21. Number.toFixed and Number.toExponential have a "
      "range of 0 to 20. Specified value is not within expected range.";
  return r;
}

bool NonFinite(double n, NumberText& out) {
  if (std::isfinite(n)) return false;
  out.text = NumberToString(n);
  return true;
}

int DigitValue(char16_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

size_t SkipSpaces(std::u16string_view s, size_t i) {
  while (i < s.size() && IsNumberSpace(s[i])) ++i;
  return i;
}

// Reads [sign]digits[.digits][e[sign]digits] or [sign]Infinity at i; end receives the stop.
// Returns NaN when there are no digits.
double ReadDecimal(std::u16string_view s, size_t i, size_t& end) {
  std::string text;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    if (s[i] == '-') text.push_back('-');
    ++i;
  }
  static constexpr std::u16string_view kInfinity = u"Infinity";
  if (s.substr(i, kInfinity.size()) == kInfinity) {
    end = i + kInfinity.size();
    if (end < s.size() && !IsNumberSpace(s[end])) return std::numeric_limits<double>::quiet_NaN();
    double inf = std::numeric_limits<double>::infinity();
    return text.empty() ? inf : -inf;
  }
  size_t digits = 0;
  auto take_digits = [&] {
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      if (text.size() < 1100) text.push_back(static_cast<char>(s[i]));
      ++i;
      ++digits;
    }
  };
  take_digits();
  if (i < s.size() && s[i] == '.') {
    text.push_back('.');
    ++i;
    take_digits();
  }
  if (digits == 0) {
    end = i;
    return std::numeric_limits<double>::quiet_NaN();
  }
  end = i;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    // The player takes "1e" and "1e+" as 1 but rejects text ending in "e-".
    size_t j = i + 1;
    bool negative = false;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) negative = s[j++] == '-';
    if (negative && j == s.size()) return std::numeric_limits<double>::quiet_NaN();
    int exp = 0;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
      if (exp < 100000) exp = exp * 10 + (s[j] - '0');
      ++j;
    }
    text += negative ? "e-" : "e";
    text += std::to_string(exp);
    end = j;
  }
  double v = 0;
  const char* first = text.data();
  auto r = std::from_chars(first, text.data() + text.size(), v);
  if (r.ec == std::errc::result_out_of_range) {
    // from_chars leaves v untouched on overflow and underflow: decide by the exponent sign.
    bool tiny = text.find("e-") != std::string::npos;
    v = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    if (text[0] == '-') v = -v;
  }
  return v;
}

// Digits of an integer string in a radix; NaN without any digit. Power-of-two radixes gather
// the bits exactly, then round once to nearest-even like a correct parser.
double ReadInteger(std::u16string_view s, size_t i, int radix, size_t& end) {
  double result = 0;
  size_t start = i;
  while (i < s.size() && DigitValue(s[i]) < radix) {
    result = result * radix + DigitValue(s[i]);
    ++i;
  }
  end = i;
  if (i == start) return std::numeric_limits<double>::quiet_NaN();
  if (result >= 9007199254740992.0 && (radix & (radix - 1)) == 0) {
    int bits_per_digit = 0;
    for (int r = radix; r > 1; r >>= 1) ++bits_per_digit;
    uint64_t mantissa = 0;
    int bits = 0;
    int extra_exp = 0;
    bool sticky = false;
    for (size_t k = start; k < end; ++k) {
      int v = DigitValue(s[k]);
      for (int b = bits_per_digit - 1; b >= 0; --b) {
        int bit = (v >> b) & 1;
        if (bits == 0 && bit == 0) continue;
        if (bits < 64) {
          mantissa = mantissa << 1 | static_cast<uint64_t>(bit);
          ++bits;
        } else {
          ++extra_exp;
          sticky |= bit != 0;
        }
      }
    }
    // Reduce to 53 bits with round half to even.
    int shift = bits - 53;
    uint64_t top = mantissa >> shift;
    uint64_t rest = mantissa & ((uint64_t{1} << shift) - 1);
    uint64_t half = uint64_t{1} << (shift - 1);
    if (rest > half || (rest == half && (sticky || (top & 1)))) ++top;
    result = std::ldexp(static_cast<double>(top), shift + extra_exp);
  }
  return result;
}

}  // namespace

bool IsNumberSpace(char16_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == 0xa0 ||
         c == 0x1680 || c == 0x180e || (c >= 0x2000 && c <= 0x200b) || c == 0x2028 || c == 0x2029 ||
         c == 0x202f || c == 0x205f || c == 0x3000 || c == 0xfeff;
}

std::string IntToString(int32_t n) { return std::to_string(n); }
std::string UintToString(uint32_t n) { return std::to_string(n); }

std::string NumberToString(double n) {
  if (std::isnan(n)) return "NaN";
  if (std::isinf(n)) return n > 0 ? "Infinity" : "-Infinity";
  if (n > -2147483648.0 && n <= 2147483647.0 && n == std::trunc(n)) {
    return std::to_string(static_cast<int32_t>(n));
  }
  return FormatDouble(n, DigitMode::kShortest, 15);
}

NumberText NumberToStringRadix(double n, int radix) {
  NumberText out;
  if (radix == 10 || !std::isfinite(n)) {
    out.text = NumberToString(n);
    return out;
  }
  if (radix < 2 || radix > 36) {
    out.error_id = 1003;
    out.message = "The radix argument must be between 2 and 36; got " + std::to_string(radix) + ".";
    return out;
  }
  // The integer part only: fractions are dropped, and values below 1 in size print "0".
  double v = std::floor(std::fabs(n));
  if (v < 1) {
    out.text.assign(1, '0');  // not = "0": GCC 12 -O3 warns falsely on that copy
    return out;
  }
  std::string digits;
  while (v != 0) {
    double q = std::floor(v / radix);
    int d = static_cast<int>(v - q * radix);
    if (d < 0 || d >= radix) d = 0;  // guards against rounding in huge values
    digits.push_back(static_cast<char>(d < 10 ? '0' + d : 'a' + d - 10));
    v = q;
  }
  if (n < 0) digits.push_back('-');
  out.text.assign(digits.rbegin(), digits.rend());
  return out;
}

NumberText NumberToFixed(double n, int digits) {
  NumberText out;
  if (digits < 0 || digits > 20) return PrecisionError();
  if (!NonFinite(n, out)) out.text = FormatDouble(n, DigitMode::kFixed, digits);
  return out;
}

NumberText NumberToExponential(double n, int digits) {
  NumberText out;
  if (digits < 0 || digits > 20) return PrecisionError();
  if (!NonFinite(n, out)) out.text = FormatDouble(n, DigitMode::kExponential, digits);
  return out;
}

NumberText NumberToPrecision(double n, int precision) {
  NumberText out;
  if (precision < 1 || precision > 21) return PrecisionError();
  if (!NonFinite(n, out)) out.text = FormatDouble(n, DigitMode::kPrecision, precision);
  return out;
}

double StringToNumber(std::u16string_view s) {
  // Flash reads the text as a C string: a NUL character ends it.
  s = s.substr(0, s.find(u'\0'));
  size_t i = SkipSpaces(s, 0);
  if (i == s.size()) return 0;
  size_t end = i;
  size_t j = i;
  bool negative = false;
  if (j < s.size() && (s[j] == '+' || s[j] == '-')) negative = s[j++] == '-';
  double v;
  if (j + 1 < s.size() && s[j] == '0' && (s[j + 1] == 'x' || s[j + 1] == 'X')) {
    // Hexadecimal, with the sign allowed before "0x".
    v = ReadInteger(s, j + 2, 16, end);
    if (negative) v = -v;
  } else {
    v = ReadDecimal(s, i, end);
  }
  if (SkipSpaces(s, end) != s.size()) return std::numeric_limits<double>::quiet_NaN();
  return v;
}

double ParseInt(std::u16string_view s, int radix) {
  size_t i = SkipSpaces(s, 0);
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  bool hex = i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X');
  if (hex && (radix == 16 || radix == 0)) {
    i += 2;
    radix = 16;
  } else if (radix == 0) {
    radix = 10;
  }
  if (radix < 2 || radix > 36) return std::numeric_limits<double>::quiet_NaN();
  size_t end = i;
  double v;
  if (radix == 10) {
    // Decimal digits go through the correctly rounding reader.
    size_t j = i;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j;
    if (j == i) return std::numeric_limits<double>::quiet_NaN();
    std::u16string digits(s.substr(i, j - i));
    v = ReadDecimal(digits, 0, end);
  } else {
    v = ReadInteger(s, i, radix, end);
  }
  return negative ? -v : v;
}

double ParseFloat(std::u16string_view s) {
  size_t i = SkipSpaces(s, 0);
  size_t end = i;
  return ReadDecimal(s, i, end);
}

int32_t ToInt32(double n) { return static_cast<int32_t>(ToUint32(n)); }

uint32_t ToUint32(double n) {
  if (!std::isfinite(n)) return 0;
  double m = std::fmod(std::trunc(n), 4294967296.0);
  if (m < 0) m += 4294967296.0;
  return static_cast<uint32_t>(m);
}

double ToInteger(double n) {
  if (std::isnan(n)) return 0;
  return std::trunc(n);
}

}  // namespace flashsaver::avm2
