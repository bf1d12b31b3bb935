#include "player/avm2/date_math.h"

#include <cmath>
#include <limits>

namespace flashsaver::avm2 {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMaxTime = 8.64e15;

constexpr int kMonthStart[2][13] = {{0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
                                    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366}};

// Remainder with the sign of the divisor.
double PositiveMod(double a, double b) {
  double r = std::fmod(a, b);
  return r < 0 ? r + b : r;
}

int DayWithinYear(double t) { return static_cast<int>(Day(t) - DayFromYear(YearFromTime(t))); }

bool AllFinite(std::initializer_list<double> values) {
  for (double v : values) {
    if (!std::isfinite(v)) return false;
  }
  return true;
}

}  // namespace

double Day(double t) { return std::floor(t / kMsPerDay); }

double TimeWithinDay(double t) { return PositiveMod(t, kMsPerDay); }

double DayFromYear(double year) {
  return 365 * (year - 1970) + std::floor((year - 1969) / 4) - std::floor((year - 1901) / 100) +
         std::floor((year - 1601) / 400);
}

double TimeFromYear(double year) { return kMsPerDay * DayFromYear(year); }

bool IsLeapYear(double year) {
  return std::fmod(year, 4) == 0 && (std::fmod(year, 100) != 0 || std::fmod(year, 400) == 0);
}

double YearFromTime(double t) {
  if (!std::isfinite(t)) return kNaN;
  double year = std::floor(Day(t) / 365.2425) + 1970;
  // The estimate is off by at most a year for time values; the bound keeps values far outside
  // them (where a year is below a double's resolution) from looping.
  for (int i = 0; i < 4 && TimeFromYear(year) > t; ++i) --year;
  for (int i = 0; i < 4 && TimeFromYear(year + 1) <= t; ++i) ++year;
  return year;
}

int MonthFromTime(double t) {
  int day = DayWithinYear(t);
  const int* starts = kMonthStart[IsLeapYear(YearFromTime(t)) ? 1 : 0];
  int month = 0;
  while (month < 11 && day >= starts[month + 1]) ++month;
  return month;
}

int DateFromTime(double t) {
  const int* starts = kMonthStart[IsLeapYear(YearFromTime(t)) ? 1 : 0];
  return DayWithinYear(t) - starts[MonthFromTime(t)] + 1;
}

int WeekDay(double t) { return static_cast<int>(PositiveMod(Day(t) + 4, 7)); }

// The player rounds to the nearest millisecond before taking the hour.
int HourFromTime(double t) {
  return static_cast<int>(PositiveMod(std::floor((t + 0.5) / kMsPerHour), 24));
}
int MinFromTime(double t) {
  return static_cast<int>(PositiveMod(std::floor(t / kMsPerMinute), 60));
}
int SecFromTime(double t) {
  return static_cast<int>(PositiveMod(std::floor(t / kMsPerSecond), 60));
}
int MsFromTime(double t) { return static_cast<int>(PositiveMod(std::trunc(t), kMsPerSecond)); }

double MakeTime(double hour, double min, double sec, double ms) {
  if (!AllFinite({hour, min, sec, ms})) return kNaN;
  return std::trunc(hour) * kMsPerHour + std::trunc(min) * kMsPerMinute +
         std::trunc(sec) * kMsPerSecond + std::trunc(ms);
}

double MakeDay(double year, double month, double date) {
  if (!AllFinite({year, month, date})) return kNaN;
  year = std::trunc(year);
  month = std::trunc(month);
  date = std::trunc(date);
  year += std::floor(month / 12);
  int m = static_cast<int>(PositiveMod(month, 12));
  return DayFromYear(year) + kMonthStart[IsLeapYear(year) ? 1 : 0][m] + (date - 1);
}

double MakeDate(double day, double time) {
  if (!AllFinite({day, time})) return kNaN;
  return std::trunc(day) * kMsPerDay + std::trunc(time);
}

double TimeClip(double t) {
  if (!std::isfinite(t) || std::fabs(t) > kMaxTime) return kNaN;
  return std::trunc(t) + 0.0;
}

double LocalTime(double t, const TimeZone& tz) {
  return t + tz.StandardOffsetMs() + tz.DaylightSavingMs(t);
}

double UtcFromLocal(double local, const TimeZone& tz) {
  // Far outside the time values the answer is NaN anyway; zones are not asked about such times.
  if (!(std::fabs(local) <= kMaxTime + 2 * kMsPerDay)) return kNaN;
  double standard = tz.StandardOffsetMs();
  double dst = tz.DaylightSavingMs(local - standard);
  if (dst != 0 && tz.DaylightSavingMs(local - standard - kMsPerHour) == 0) local += kMsPerHour;
  return local - standard - dst;
}

double TimezoneOffsetMinutes(double t, const TimeZone& tz) {
  if (std::isnan(t)) return kNaN;
  return (t - LocalTime(t, tz)) / kMsPerMinute;
}

double TimeFromFields(const double (&fields)[7], bool utc, const TimeZone& tz) {
  double year = fields[0];
  if (year < 100) year += 1900;
  double t = MakeDate(MakeDay(year, fields[1], fields[2]),
                      MakeTime(fields[3], fields[4], fields[5], fields[6]));
  if (!utc) t = UtcFromLocal(t, tz);
  return TimeClip(t);
}

double SetDateFields(double t, int first_field, std::span<const double> args, bool utc,
                     const TimeZone& tz) {
  double f[7] = {kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN};
  int field = first_field;
  for (double a : args) {
    if (field >= 7 || field < 0) break;
    // NaN marks a field left alone, so an explicit NaN argument spoils the whole date.
    if (std::isnan(a)) return kNaN;
    f[field++] = a;
  }
  double local = utc ? t : LocalTime(t, tz);
  if (first_field < 3) {
    if (std::isnan(t)) {
      // A NaN date comes back to life only through its year.
      if (std::isnan(f[0])) return kNaN;
      local = 0;
    }
    if (std::isnan(f[0])) f[0] = YearFromTime(local);
    if (std::isnan(f[1])) f[1] = MonthFromTime(local);
    if (std::isnan(f[2])) f[2] = DateFromTime(local);
    local = MakeDate(MakeDay(f[0], f[1], f[2]), TimeWithinDay(local));
  } else {
    if (std::isnan(local)) return kNaN;
    if (std::isnan(f[3])) f[3] = HourFromTime(local);
    if (std::isnan(f[4])) f[4] = MinFromTime(local);
    if (std::isnan(f[5])) f[5] = SecFromTime(local);
    if (std::isnan(f[6])) f[6] = MsFromTime(local);
    local = MakeDate(Day(local), MakeTime(f[3], f[4], f[5], f[6]));
  }
  return TimeClip(utc ? local : UtcFromLocal(local, tz));
}

}  // namespace flashsaver::avm2
