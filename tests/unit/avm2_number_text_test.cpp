// The AS3 machine's number text: printing, the toFixed family, and text to number.
#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "player/avm2/number_text.h"

namespace flashsaver::avm2 {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Avm2NumberText, PrintsNumbersAsThePlayer) {
  struct Case {
    double n;
    const char* text;
  } cases[] = {
      {0.1 + 0.2, "0.30000000000000004"},  // shortest round trip, unlike AS2's 15 digits
      {-0.0, "0"},
      {2147483648.0, "2147483648"},
      {-2147483648.0, "-2147483648"},
      {1e20, "100000000000000000000"},
      {1e21, "1e+21"},
      {0.000001, "0.000001"},
      {1.5e-7, "1.5e-7"},
      {-123.456, "-123.456"},
      // Large exponent forms keep 15 digits, small ones all of them.
      {1.7976931348623157e308, "1.79769313486231e+308"},
      {4.9406564584124654e-324, "4.9406564584124654e-324"},
      {kNaN, "NaN"},
      {-kInf, "-Infinity"},
  };
  for (const Case& c : cases) EXPECT_EQ(NumberToString(c.n), c.text) << c.text;
}

TEST(Avm2NumberText, FixedExponentialAndPrecision) {
  EXPECT_EQ(NumberToFixed(2.5, 0).text, "3");
  EXPECT_EQ(NumberToFixed(1.005, 2).text, "1.00");
  EXPECT_EQ(NumberToFixed(123.456, 2).text, "123.46");
  EXPECT_EQ(NumberToFixed(-0.0001, 2).text, "-0.00");
  EXPECT_EQ(NumberToFixed(0.0, 3).text, "0.000");
  EXPECT_EQ(NumberToFixed(1e21, 1).text, "1000000000000000000000.0");
  EXPECT_EQ(NumberToFixed(kInf, 2).text, "Infinity");
  EXPECT_EQ(NumberToPrecision(123.456, 4).text, "123.5");
  EXPECT_EQ(NumberToPrecision(123.456, 2).text, "1.2e+2");
  EXPECT_EQ(NumberToPrecision(0.000123, 2).text, "0.00012");  // no exponent form below one
  EXPECT_EQ(NumberToExponential(123.456, 2).text, "1.23e+2");
  EXPECT_EQ(NumberToExponential(-0.0001, 1).text, "-1.0e-4");
  // Zero reads as 1e-15 to the digit generator.
  EXPECT_EQ(NumberToExponential(0.0, 0).text, "1e-15");
  EXPECT_EQ(NumberToExponential(-0.0, 2).text, "0.00e-16");
  EXPECT_EQ(NumberToExponential(kNaN, 2).text, "NaN");

  EXPECT_EQ(NumberToFixed(1, 21).error_id, 1002);
  EXPECT_EQ(NumberToFixed(1, -1).error_id, 1002);
  EXPECT_EQ(NumberToExponential(1, 21).error_id, 1002);
  EXPECT_EQ(NumberToPrecision(1, 0).error_id, 1002);
  EXPECT_EQ(NumberToPrecision(1, 22).error_id, 1002);
  EXPECT_EQ(NumberToPrecision(1, 21).error_id, 0);
}

TEST(Avm2NumberText, RadixPrintsTheIntegerPart) {
  EXPECT_EQ(NumberToStringRadix(255.9, 16).text, "ff");
  EXPECT_EQ(NumberToStringRadix(-10, 2).text, "-1010");
  EXPECT_EQ(NumberToStringRadix(0.75, 8).text, "0");
  EXPECT_EQ(NumberToStringRadix(4294967296.0 * 16, 16).text, "1000000000");
  EXPECT_EQ(NumberToStringRadix(0.5, 10).text, "0.5");
  EXPECT_EQ(NumberToStringRadix(kNaN, 2).text, "NaN");
  NumberText bad = NumberToStringRadix(5, 37);
  EXPECT_EQ(bad.error_id, 1003);
  EXPECT_EQ(bad.message, "The radix argument must be between 2 and 36; got 37.");
  EXPECT_EQ(NumberToStringRadix(5, 1).error_id, 1003);
}

TEST(Avm2NumberText, StringToNumber) {
  struct Case {
    const char16_t* s;
    double n;
  } cases[] = {
      {u"", 0},
      {u" \t\u3000 ", 0},
      {u" 12.5 ", 12.5},
      {u"\u00a0-3e2\u2028", -300},
      {u".5", 0.5},
      {u"5.", 5},
      {u"1e", 1},
      {u"0xFF1306", 16716550},
      {u"-0x10", -16},
      {u"-Infinity", -kInf},
      {u"+Infinity", kInf},
      {u"1e400", kInf},
      {u"1e-400", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(StringToNumber(c.s), c.n);
  for (const char16_t* s : {u".", u"1e-", u"12abc", u"infinity", u"0x", u"0x-10", u"- 1", u"1 2"}) {
    EXPECT_TRUE(std::isnan(StringToNumber(s)));
  }
}

TEST(Avm2NumberText, ParseIntAndParseFloat) {
  struct Case {
    const char16_t* s;
    int radix;
    double n;
  } cases[] = {
      {u"100", 2, 4},
      {u"100", 36, 1296},
      {u"0x123", 0, 291},
      {u"-0x100", 0, -256},
      {u"0x12", 16, 18},
      {u"0x100", 36, 1540944},
      {u"  -077  ", 0, -77},
      {u"12aaa", 0, 12},
      {u"0-100", 0, 0},
      {u"+0x123", 34, 1298259},
      {u"+0x123", 33, 0},
      // Past 53 bits the digits are rounded once, not digit by digit.
      {u"0x200000000000011", 16, 144115188075855904.0},
      {u"0x20000000000003", 0, 9007199254740996.0},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseInt(c.s, c.radix), c.n) << c.radix;
  for (const char16_t* s : {u"", u"++1", u"0x", u"0x-100", u"0x  "}) {
    EXPECT_TRUE(std::isnan(ParseInt(s, 0)));
  }
  EXPECT_TRUE(std::isnan(ParseInt(u"100", 1)));
  EXPECT_TRUE(std::isnan(ParseInt(u"100", 37)));
  EXPECT_EQ(ParseInt(std::u16string(400, u'9'), 10), kInf);

  EXPECT_EQ(ParseFloat(u"  3.25abc"), 3.25);
  EXPECT_EQ(ParseFloat(u"-.5e1x"), -5);
  EXPECT_EQ(ParseFloat(u"Infinity"), kInf);
  EXPECT_TRUE(std::isnan(ParseFloat(u"x1")));
  EXPECT_TRUE(std::isnan(ParseFloat(u"  ")));
}

TEST(Avm2NumberText, IntegerWrapping) {
  EXPECT_EQ(ToInt32(4294967296.0 + 5), 5);
  EXPECT_EQ(ToInt32(2147483648.0), -2147483647 - 1);
  EXPECT_EQ(ToInt32(-1.9), -1);
  EXPECT_EQ(ToUint32(-1), 4294967295u);
  EXPECT_EQ(ToUint32(kNaN), 0u);
  EXPECT_EQ(ToUint32(-kInf), 0u);
  EXPECT_EQ(ToInt32(1e300), 0);
}

}  // namespace
}  // namespace flashsaver::avm2
