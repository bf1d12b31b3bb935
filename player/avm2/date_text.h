// Dates as text: the forms the player's Date writes, and Date.parse.
#pragma once

#include <string>
#include <string_view>

#include "player/avm2/date_math.h"

namespace flashsaver::avm2 {

enum class DateForm {
  kString,            // Sat Feb 3 04:05:06 GMT+0545 2001
  kDateString,        // Sat Feb 3 2001
  kTimeString,        // 04:05:06 GMT+0545
  kLocaleString,      // Sat Feb 3 2001 04:05:06 AM
  kLocaleDateString,  // Sat Feb 3 2001
  kLocaleTimeString,  // 04:05:06 AM
  kUTCString,         // Sat Feb 3 04:05:06 2001 UTC
};

// "Invalid Date" for NaN.
std::string FormatDate(double t, DateForm form, const TimeZone& tz);

// Date.parse and new Date(string): what toString and toUTCString write and the simple forms
// around them ("MM/DD/YYYY", "Mon DD YYYY HH:MM:SS GMT+HHMM", "1/1/1999 1:30 PM"). NaN when
// the text has no year, month and day or holds anything the reader does not know.
double ParseDate(std::u16string_view s, const TimeZone& tz);

}  // namespace flashsaver::avm2
