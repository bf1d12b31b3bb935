#include "player/avm2/date_text.h"

#include <cmath>
#include <limits>

namespace flashsaver::avm2 {
namespace {

constexpr char kMonthNames[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
constexpr char kDayNames[] = "SunMonTueWedThuFriSat";

void Two(std::string& out, int v) {
  out.push_back(static_cast<char>('0' + v / 10 % 10));
  out.push_back(static_cast<char>('0' + v % 10));
}

std::string Year(double y) { return std::to_string(static_cast<long long>(y)); }

// What the reader has gathered so far; -1 marks a field not seen.
struct Fields {
  int year = -1, month = -1, day = -1, hour = -1, min = -1, sec = -1;
  double zone_minutes = -1;  // minutes west of UTC; -1 for local time
};

bool IsAlpha(char16_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char16_t c) { return c >= '0' && c <= '9'; }

// A word: month and day names (three letters, case as written), GMT, UTC, AM and PM.
bool ReadWord(std::u16string_view w, Fields& f) {
  if (w.size() == 3) {
    static constexpr char kWords[] =
        "JanFebMarAprMayJunJulAugSepOctNovDecSunMonTueWedThuFriSatGMTUTC";
    for (int k = 0; k < 21; ++k) {
      const char* key = kWords + 3 * k;
      if (w[0] == key[0] && w[1] == key[1] && w[2] == key[2]) {
        if (k < 12) f.month = k;
        if (k == 20) f.zone_minutes = 0;
        // Day names are optional decoration; GMT is known by the sign that follows it.
        return true;
      }
    }
    return false;
  }
  if (w == u"AM" || w == u"PM") {
    if (f.hour < 0 || f.hour > 12) return false;
    if (w == u"AM" && f.hour == 12) f.hour = 0;
    if (w == u"PM" && f.hour != 12) f.hour += 12;
    return true;
  }
  return false;
}

// A number; what it means follows from the character before it, the one after it and the
// fields already read. i is past the number's first digit.
bool ReadNumber(std::u16string_view s, size_t& i, char16_t first, char16_t prev, Fields& f) {
  long long v = first - '0';
  char16_t next = 0;
  while (i < s.size() && IsDigit(s[i])) {
    if (v < 100000000) v = v * 10 + (s[i] - '0');
    ++i;
  }
  if (i < s.size()) next = s[i];
  const bool at_end = i >= s.size();
  int n = static_cast<int>(v);
  if (prev == '+' || prev == '-') {
    // A zone offset: "GMT-9" in hours, "GMT-0900" as hours and minutes.
    n = n < 24 ? n * 60 : n % 100 + n / 100 * 60;
    if (prev == '+') n = -n;
    if (f.zone_minutes != 0 && f.zone_minutes != -1) return false;
    f.zone_minutes = n;
    return true;
  }
  if (n >= 70 || (prev == '/' && f.month >= 0 && f.day >= 0 && f.year < 0)) {
    if (f.year >= 0) return false;
    if (!(at_end || next <= ' ' || next == ',' || next == '/')) return false;
    f.year = n < 100 ? n + 1900 : n;
    return true;
  }
  if (!at_end && next == '/') {
    if (f.month < 0) {
      f.month = n - 1;
    } else if (f.day < 0) {
      f.day = n;
    } else {
      return false;
    }
    return true;
  }
  if (!at_end && next == ':') {
    if (f.hour < 0) {
      f.hour = n;
    } else if (f.min < 0) {
      f.min = n;
    } else {
      return false;
    }
    return true;
  }
  if (!at_end && next != ',' && next > ' ' && next != '-') return false;
  if (f.hour >= 0 && f.min < 0) {
    f.min = n;
  } else if (f.min >= 0 && f.sec < 0) {
    f.sec = n;
  } else if (f.day < 0) {
    f.day = n;
  } else {
    return false;
  }
  return true;
}

}  // namespace

std::string FormatDate(double t, DateForm form, const TimeZone& tz) {
  if (std::isnan(TimeClip(t))) return "Invalid Date";
  double time = form == DateForm::kUTCString ? t : LocalTime(t, tz);
  int delta = static_cast<int>((time - t) / kMsPerMinute);
  char sign = delta < 0 ? '-' : '+';
  if (delta < 0) delta = -delta;
  const int hour = HourFromTime(time);
  const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
  const std::string weekday(kDayNames + 3 * WeekDay(time), 3);
  const std::string month(kMonthNames + 3 * MonthFromTime(time), 3);
  const std::string date = std::to_string(DateFromTime(time));
  const std::string year = Year(YearFromTime(time));

  std::string clock;
  Two(clock,
      form == DateForm::kLocaleString || form == DateForm::kLocaleTimeString ? hour12 : hour);
  clock += ':';
  Two(clock, MinFromTime(time));
  clock += ':';
  Two(clock, SecFromTime(time));
  std::string zone = "GMT";
  zone += sign;
  Two(zone, delta / 60);
  Two(zone, delta % 60);
  const std::string ampm = hour >= 12 ? "PM" : "AM";

  switch (form) {
    case DateForm::kString:
      return weekday + " " + month + " " + date + " " + clock + " " + zone + " " + year;
    case DateForm::kDateString:
    case DateForm::kLocaleDateString:
      return weekday + " " + month + " " + date + " " + year;
    case DateForm::kTimeString:
      return clock + " " + zone;
    case DateForm::kLocaleString:
      return weekday + " " + month + " " + date + " " + year + " " + clock + " " + ampm;
    case DateForm::kLocaleTimeString:
      return clock + " " + ampm;
    case DateForm::kUTCString:
      return weekday + " " + month + " " + date + " " + clock + " " + year + " UTC";
  }
  return std::string();
}

double ParseDate(std::u16string_view s, const TimeZone& tz) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  Fields f;
  char16_t prev = 0;
  size_t i = 0;
  while (i < s.size()) {
    char16_t c = s[i++];
    if (c <= ' ' || c == ',' || c == '-') {
      // A '-' right before digits is a sign (of a zone offset); otherwise a separator.
      if (c == '-' && i < s.size() && IsDigit(s[i])) prev = c;
    } else if (c == '/' || c == ':' || c == '+') {
      prev = c;
    } else if (IsDigit(c)) {
      if (!ReadNumber(s, i, c, prev, f)) return kNaN;
      prev = 0;
    } else {
      size_t start = i - 1;
      while (i < s.size() && IsAlpha(s[i])) ++i;
      if (i <= start + 1) return kNaN;
      if (!ReadWord(s.substr(start, i - start), f)) return kNaN;
      prev = 0;
    }
  }
  if (f.year < 0 || f.month < 0 || f.day < 0) return kNaN;
  double fields[7] = {static_cast<double>(f.year),
                      static_cast<double>(f.month),
                      static_cast<double>(f.day),
                      static_cast<double>(f.hour < 0 ? 0 : f.hour),
                      static_cast<double>(f.min < 0 ? 0 : f.min),
                      static_cast<double>(f.sec < 0 ? 0 : f.sec),
                      0};
  if (f.zone_minutes == -1) return TimeFromFields(fields, false, tz);
  return TimeFromFields(fields, true, tz) + f.zone_minutes * kMsPerMinute;
}

}  // namespace flashsaver::avm2
