// The player's decimal digit generator and its layout of a double as text. The AS3 machine prints
// numbers with a free-format digit generator (scaled remainders and error margins, in doubles
// when the value is small enough and in big integers otherwise) and then lays the digits out
// with a spare leading zero for carries. Its quirks are visible to scripts: exponent forms keep
// at most 15 digits (Number.MAX_VALUE prints 1.79769313486231e+308), zero counts as 1e-15 to
// toExponential, and toFixed(0) of a value below one never rounds up.
#pragma once

#include <string>

namespace flashsaver::avm2 {

enum class DigitMode { kShortest, kFixed, kPrecision, kExponential };

// Lays out a finite value. kShortest takes precision 15 (the exponent form's digit budget);
// the other modes take the already range-checked argument of toFixed / toPrecision /
// toExponential.
std::string FormatDouble(double value, DigitMode mode, int precision);

}  // namespace flashsaver::avm2
