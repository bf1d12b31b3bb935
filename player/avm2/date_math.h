// ECMA-262 time values as the AS3 machine computes them: day and year arithmetic, the field
// constructors, local time through a time-zone interface, and the Date setters' field rules.
// Pure functions, no dependency on the machine.
#pragma once

#include <span>

namespace flashsaver::avm2 {

inline constexpr double kMsPerSecond = 1000;
inline constexpr double kMsPerMinute = 60000;
inline constexpr double kMsPerHour = 3600000;
inline constexpr double kMsPerDay = 86400000;

double Day(double t);
double TimeWithinDay(double t);
double DayFromYear(double year);
double TimeFromYear(double year);
bool IsLeapYear(double year);
// The calendar fields of a time value; t must be finite (a clipped time value).
double YearFromTime(double t);
int MonthFromTime(double t);  // 0..11
int DateFromTime(double t);   // 1..31
int WeekDay(double t);        // 0 = Sunday
int HourFromTime(double t);
int MinFromTime(double t);
int SecFromTime(double t);
int MsFromTime(double t);

// NaN when any argument is not finite; arguments are truncated to integers first.
double MakeTime(double hour, double min, double sec, double ms);
double MakeDay(double year, double month, double date);
double MakeDate(double day, double time);
// NaN outside +-8.64e15 ms; otherwise the value truncated (and -0 made +0).
double TimeClip(double t);

// Where local time stands against UTC. The standard offset does not change with the date;
// daylight saving adds to it at the times it is in force.
class TimeZone {
 public:
  virtual ~TimeZone() = default;
  virtual double StandardOffsetMs() const = 0;
  virtual double DaylightSavingMs(double utc_ms) const = 0;
};

// A zone with fixed numbers, for tests and hosts that know better than the system.
class FixedTimeZone : public TimeZone {
 public:
  explicit FixedTimeZone(double offset_ms, double dst_ms = 0) : offset_(offset_ms), dst_(dst_ms) {}
  double StandardOffsetMs() const override { return offset_; }
  double DaylightSavingMs(double) const override { return dst_; }

 private:
  double offset_;
  double dst_;
};

// The machine's own zone, read from the C runtime.
const TimeZone& SystemTimeZone();

double LocalTime(double t, const TimeZone& tz);
// Local time back to UTC. A local time inside the hour skipped when daylight saving starts
// is moved an hour on, as the player does.
double UtcFromLocal(double local, const TimeZone& tz);
// getTimezoneOffset: minutes UTC is ahead of local time (negative east of Greenwich).
double TimezoneOffsetMinutes(double t, const TimeZone& tz);

// new Date(y, m, d, h, min, s, ms) and Date.UTC: fields are year, month, date, hours,
// minutes, seconds, ms; years below 100 count from 1900.
double TimeFromFields(const double (&fields)[7], bool utc, const TimeZone& tz);

// The Date setters. first_field is the field the setter starts at (0 = full year ... 6 = ms);
// args are its numeric arguments, of which those beyond the last field are ignored. A NaN
// argument makes the date NaN; missing ones keep their current value. Returns the new time.
double SetDateFields(double t, int first_field, std::span<const double> args, bool utc,
                     const TimeZone& tz);

}  // namespace flashsaver::avm2
