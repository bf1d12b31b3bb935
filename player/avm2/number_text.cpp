// The AS3 machine's number text. Printing uses the shortest round-trip digits; the fixed,
// exponential and precision forms lay out the exact decimal digits of the double first and then
// round half up on the next digit, carrying into a spare leading zero, which is how the player
// arrives at forms such as 0.0999.toPrecision(2) == "0.100".
#include "player/avm2/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <system_error>

namespace flashsaver::avm2 {
namespace {

// Decimal digits of a positive finite value: value = 0.digits * 10^point.
struct Digits {
  std::string digits;
  int point = 0;
};

Digits FromScientific(const char* begin, const char* end) {
  Digits d;
  const char* p = begin;
  for (; p < end && *p != 'e'; ++p) {
    if (*p != '.') d.digits.push_back(*p);
  }
  int exp = 0;
  if (p < end) std::from_chars(p + (p[1] == '+' ? 2 : 1), end, exp);
  d.point = exp + 1;
  while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
  return d;
}

Digits ShortestDigits(double v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  return FromScientific(buf, r.ptr);
}

// Every digit of the binary value (a double has at most 767 significant decimal digits).
Digits ExactDigits(double v) {
  static constexpr int kMaxDigits = 780;
  char buf[kMaxDigits + 32];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, kMaxDigits);
  return FromScientific(buf, r.ptr);
}

// Hands out the digits one by one, zeros after the last.
class DigitSource {
 public:
  explicit DigitSource(const Digits& d) : d_(d) {}
  char Next() { return pos_ < d_.digits.size() ? d_.digits[pos_++] : '0'; }

 private:
  const Digits& d_;
  size_t pos_ = 0;
};

// Rounds text half up on `next`, carrying leftward over the decimal point into the spare
// leading '0' at `first`.
void RoundUp(std::string& text, size_t first, char next) {
  if (next < '5') return;
  for (size_t i = text.size(); i-- > first;) {
    if (text[i] == '.') continue;
    if (text[i] != '9') {
      ++text[i];
      return;
    }
    text[i] = '0';
  }
}

// Drops the spare leading zero unless it is the units digit.
std::string DropSpare(const std::string& body, bool negative) {
  size_t start = body.size() > 1 && body[0] == '0' && body[1] != '.' ? 1 : 0;
  return (negative ? "-" : "") + body.substr(start);
}

std::string Exponent(int e) { return (e < 0 ? "e-" : "e+") + std::to_string(e < 0 ? -e : e); }

NumberText RangeError(int value, int low, int high) {
  NumberText r;
  r.error_id = 1002;
  r.message =
      "Error #1002: Number.toPrecision has a range of 1 to 21. Number.toFixed and "
      "Number.toExponential have a range of 0 to 20. Specified value is not within expected "
      "range.";
  (void)value;
  (void)low;
  (void)high;
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
  if (n == 0) return "0";
  if (n >= -2147483648.0 && n <= 2147483647.0 && n == std::trunc(n)) {
    return std::to_string(static_cast<int32_t>(n));
  }
  bool negative = n < 0;
  Digits d = ShortestDigits(std::fabs(n));
  const int k = static_cast<int>(d.digits.size());
  const int p = d.point;
  std::string out = negative ? "-" : "";
  if (k <= p && p <= 21) {
    out += d.digits;
    out.append(static_cast<size_t>(p - k), '0');
  } else if (0 < p && p <= 21) {
    out += d.digits.substr(0, static_cast<size_t>(p));
    out += '.';
    out += d.digits.substr(static_cast<size_t>(p));
  } else if (-6 < p && p <= 0) {
    out += "0.";
    out.append(static_cast<size_t>(-p), '0');
    out += d.digits;
  } else {
    out += d.digits[0];
    if (k > 1) {
      out += '.';
      out += d.digits.substr(1);
    }
    out += Exponent(p - 1);
  }
  return out;
}

NumberText NumberToStringRadix(double n, int radix) {
  NumberText out;
  if (radix == 10 || !std::isfinite(n)) {
    out.text = NumberToString(n);
    return out;
  }
  if (radix < 2 || radix > 36) {
    out.error_id = 1003;
    out.message = "Error #1003: The radix argument must be between 2 and 36; got " +
                  std::to_string(radix) + ".";
    return out;
  }
  // The integer part only: fractions are dropped, and values below 1 in size print "0".
  double v = std::floor(std::fabs(n));
  if (v < 1) {
    out.text = "0";
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
  if (digits < 0 || digits > 20) return RangeError(digits, 0, 20);
  if (NonFinite(n, out)) return out;
  bool negative = n < 0;
  Digits d = ExactDigits(std::fabs(n));
  if (n == 0) d = Digits{"0", 1};
  DigitSource src(d);
  std::string body = "0";
  if (d.point > 0) {
    for (int i = 0; i < d.point; ++i) body += src.Next();
  } else {
    body += '0';
  }
  if (digits > 0) body += '.';
  int zeros = d.point < 0 ? -d.point : 0;
  for (int i = 0; i < digits; ++i) body += i < zeros ? '0' : src.Next();
  RoundUp(body, 0, digits < zeros ? '0' : src.Next());
  out.text = DropSpare(body, negative);
  return out;
}

NumberText NumberToExponential(double n, int digits) {
  NumberText out;
  if (digits < 0 || digits > 20) return RangeError(digits, 0, 20);
  if (NonFinite(n, out)) return out;
  bool negative = n < 0;
  Digits d = n == 0 ? Digits{"0", 1} : ExactDigits(std::fabs(n));
  DigitSource src(d);
  std::string body = "0";
  body += src.Next();
  if (digits > 0) body += '.';
  for (int i = 0; i < digits; ++i) body += src.Next();
  RoundUp(body, 0, src.Next());
  int exp = d.point - 1;
  if (body[0] == '1') {
    // The carry ran through every digit: 9.99 -> 10.0 reads 1.00 with one more power.
    body = digits > 0 ? "1." + std::string(static_cast<size_t>(digits), '0') : "1";
    ++exp;
  } else {
    body.erase(0, 1);
  }
  out.text = (negative ? "-" : "") + body + Exponent(exp);
  return out;
}

NumberText NumberToPrecision(double n, int precision) {
  NumberText out;
  if (precision < 1 || precision > 21) return RangeError(precision, 1, 21);
  if (NonFinite(n, out)) return out;
  bool negative = n < 0;
  Digits d = n == 0 ? Digits{"0", 1} : ExactDigits(std::fabs(n));
  DigitSource src(d);
  const int exp = d.point - 1;
  if (exp >= precision) {
    NumberText e = NumberToExponential(n, precision - 1);
    return e;
  }
  std::string body = "0";
  if (exp < 0) {
    // The player never switches to exponent form for small values here.
    body += "0.";
    body.append(static_cast<size_t>(-exp - 1), '0');
    for (int i = 0; i < precision; ++i) body += src.Next();
  } else {
    for (int i = 0; i <= exp; ++i) body += src.Next();
    if (exp + 1 < precision) {
      body += '.';
      for (int i = exp + 1; i < precision; ++i) body += src.Next();
    }
  }
  RoundUp(body, 0, src.Next());
  out.text = DropSpare(body, negative);
  return out;
}

double StringToNumber(std::u16string_view s) {
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
