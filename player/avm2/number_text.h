// Numbers to text and back as the AS3 machine does it: Number printing, the radix and
// fixed/exponential/precision forms, string-to-number conversion, parseInt/parseFloat and the
// int/uint wrapping. Pure functions, no dependency on the machine.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace flashsaver::avm2 {

// ECMA-262 ToString(Number): the shortest digits that read back to the same double; exponent
// form from 1e21 up and below 1e-6 ("1e+21", "1.5e-7"); -0 prints as "0".
std::string NumberToString(double n);
std::string IntToString(int32_t n);
std::string UintToString(uint32_t n);

// A formatting result: text, or the RangeError a binding throws (error_id != 0, message set).
struct NumberText {
  std::string text;
  int error_id = 0;
  std::string message;
};

// Number.prototype.toString(radix). Radix 10, NaN and infinities print as NumberToString; other
// radixes print the integer part only (the player drops fractions), error #1003 outside 2..36.
NumberText NumberToStringRadix(double n, int radix);
// toFixed / toExponential / toPrecision with the digits argument already converted to int.
// Range errors #1002 (0..20 for fixed and exponential, 1..21 for precision).
NumberText NumberToFixed(double n, int digits);
NumberText NumberToExponential(double n, int digits);
NumberText NumberToPrecision(double n, int precision);

// ToNumber(String): surrounding white space, decimal with exponent, "Infinity" with sign, hex
// "0x" with an optional sign before it; empty or blank text is 0; anything else NaN.
double StringToNumber(std::u16string_view s);
// parseInt(s, radix): radix 0 chooses 16 for "0x" text and 10 otherwise; no octal.
double ParseInt(std::u16string_view s, int radix);
// parseFloat(s): the longest decimal prefix after white space; NaN without digits.
double ParseFloat(std::u16string_view s);

// ECMAScript ToInt32 / ToUint32: truncate and wrap modulo 2^32; NaN and infinities give 0.
int32_t ToInt32(double n);
uint32_t ToUint32(double n);
// ToInteger: truncation toward zero, NaN gives 0, infinities stay.
double ToInteger(double n);

// White space as ECMA-262 and the player's number reader accept it.
bool IsNumberSpace(char16_t c);

}  // namespace flashsaver::avm2
