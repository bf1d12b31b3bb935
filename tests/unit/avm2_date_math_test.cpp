// The AS3 machine's dates: calendar arithmetic, local time, the setters, text and parsing.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "player/avm2/date_math.h"
#include "player/avm2/date_text.h"

namespace flashsaver::avm2 {
namespace {

// 2001-02-03 04:05:06.007 UTC
constexpr double kFeb3 = 981173106007.0;
constexpr double kNepal = (5 * 60 + 45) * kMsPerMinute;

// Daylight saving of one hour from day 100 to day 300 of every year, for the gap rules.
class SummerZone : public TimeZone {
 public:
  double StandardOffsetMs() const override { return -5 * kMsPerHour; }
  double DaylightSavingMs(double utc) const override {
    double day = Day(utc) - DayFromYear(YearFromTime(utc));
    double hour = TimeWithinDay(utc) / kMsPerHour;
    double at = day + hour / 24;
    return at >= 100 + 7.0 / 24 && at < 300 + 6.0 / 24 ? kMsPerHour : 0;
  }
};

TEST(Avm2DateMath, CalendarFields) {
  struct Case {
    double t;
    double year;
    int month, date, weekday, hour, min, sec, ms;
  } cases[] = {
      {0, 1970, 0, 1, 4, 0, 0, 0, 0},
      {kFeb3, 2001, 1, 3, 6, 4, 5, 6, 7},
      {-1, 1969, 11, 31, 3, 23, 59, 59, 999},
      {951782400000.0, 2000, 1, 29, 2, 0, 0, 0, 0},   // a leap day
      {-2208988800000.0, 1900, 0, 1, 1, 0, 0, 0, 0},  // 1900 is not leap
      {8.64e15, 275760, 8, 13, 6, 0, 0, 0, 0},        // the last time value
      {-8.64e15, -271821, 3, 20, 2, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(YearFromTime(c.t), c.year) << c.t;
    EXPECT_EQ(MonthFromTime(c.t), c.month) << c.t;
    EXPECT_EQ(DateFromTime(c.t), c.date) << c.t;
    EXPECT_EQ(WeekDay(c.t), c.weekday) << c.t;
    EXPECT_EQ(HourFromTime(c.t), c.hour) << c.t;
    EXPECT_EQ(MinFromTime(c.t), c.min) << c.t;
    EXPECT_EQ(SecFromTime(c.t), c.sec) << c.t;
    EXPECT_EQ(MsFromTime(c.t), c.ms) << c.t;
  }
}

TEST(Avm2DateMath, MakeAndClip) {
  EXPECT_EQ(MakeDay(2000, 12, 1), MakeDay(2001, 0, 1));  // months roll into years
  EXPECT_EQ(MakeDay(2001, -1, 1), MakeDay(2000, 11, 1));
  EXPECT_EQ(MakeDay(2001, 1.9, 0), MakeDay(2001, 0, 31));
  EXPECT_EQ(MakeTime(1, 61, 0, 0.9), 2 * kMsPerHour + kMsPerMinute);
  EXPECT_TRUE(std::isnan(MakeDay(2001, INFINITY, 1)));
  EXPECT_TRUE(std::isnan(MakeDate(NAN, 0)));
  EXPECT_EQ(TimeClip(8.64e15), 8.64e15);
  EXPECT_TRUE(std::isnan(TimeClip(8.64e15 + 1)));
  EXPECT_FALSE(std::signbit(TimeClip(-0.0)));
  EXPECT_EQ(TimeClip(-1.5), -1);

  FixedTimeZone utc(0);
  const double two_digit[7] = {99, 0, 1, 0, 0, 0, 0};
  EXPECT_EQ(YearFromTime(TimeFromFields(two_digit, true, utc)), 1999);
  const double fields[7] = {2001, 1, 3, 4, 5, 6, 7};
  EXPECT_EQ(TimeFromFields(fields, true, utc), kFeb3);
  EXPECT_EQ(TimeFromFields(fields, false, FixedTimeZone(kNepal)), kFeb3 - kNepal);
  const double far[7] = {275760, 8, 13, 0, 0, 0, 1};
  EXPECT_TRUE(std::isnan(TimeFromFields(far, true, utc)));
  // Years far beyond double resolution end in NaN rather than a search without end.
  const double huge[7] = {1e20, 0, 1, 0, 0, 0, 0};
  EXPECT_TRUE(std::isnan(TimeFromFields(huge, false, SystemTimeZone())));
  EXPECT_EQ(FormatDate(1e300, DateForm::kString, utc), "Invalid Date");
}

TEST(Avm2DateMath, LocalTimeAndDaylightGap) {
  SummerZone zone;
  double winter = TimeFromFields({2001, 0, 15, 12, 0, 0, 0}, true, zone);
  double summer = TimeFromFields({2001, 6, 15, 12, 0, 0, 0}, true, zone);
  EXPECT_EQ(TimezoneOffsetMinutes(winter, zone), 300);
  EXPECT_EQ(TimezoneOffsetMinutes(summer, zone), 240);
  EXPECT_EQ(HourFromTime(LocalTime(summer, zone)), 8);
  // Day 100 of 2001 is April 11th; 02:30 local does not exist and moves on to 03:30.
  double gap = TimeFromFields({2001, 3, 11, 2, 30, 0, 0}, false, zone);
  EXPECT_EQ(HourFromTime(LocalTime(gap, zone)), 3);
  EXPECT_EQ(MinFromTime(LocalTime(gap, zone)), 30);
}

TEST(Avm2DateMath, Setters) {
  FixedTimeZone utc(0);
  auto set = [&](double t, int field, std::vector<double> args, bool as_utc = true) {
    return SetDateFields(t, field, args, as_utc, utc);
  };
  EXPECT_EQ(set(kFeb3, 1, {0, 31}), kFeb3 - 3 * kMsPerDay);       // setMonth(0, 31)
  EXPECT_EQ(set(kFeb3, 3, {0}), kFeb3 - 4 * kMsPerHour);          // setHours(0)
  EXPECT_EQ(set(kFeb3, 6, {1007}), kFeb3 + kMsPerSecond);         // setMilliseconds rolls over
  EXPECT_EQ(set(kFeb3, 2, {}), kFeb3);                            // nothing passed, nothing changes
  EXPECT_EQ(set(kFeb3, 5, {1, 2, 3, 4}), set(kFeb3, 5, {1, 2}));  // extra arguments ignored
  EXPECT_TRUE(std::isnan(set(kFeb3, 4, {NAN})));
  // A NaN date takes a year (with time 0) but no other field.
  EXPECT_EQ(set(NAN, 0, {2001, 1, 3}), kFeb3 - TimeWithinDay(kFeb3));
  EXPECT_TRUE(std::isnan(set(NAN, 1, {1})));
  EXPECT_TRUE(std::isnan(set(NAN, 3, {1})));
  // Local setters work on local fields.
  FixedTimeZone nepal(kNepal);
  double t = SetDateFields(kFeb3, 3, std::vector<double>{23}, false, nepal);
  EXPECT_EQ(HourFromTime(LocalTime(t, nepal)), 23);
  EXPECT_EQ(DateFromTime(LocalTime(t, nepal)), 3);
}

TEST(Avm2DateText, Forms) {
  FixedTimeZone nepal(kNepal);
  double t = kFeb3 - kNepal;  // 04:05:06 local
  EXPECT_EQ(FormatDate(t, DateForm::kString, nepal), "Sat Feb 3 04:05:06 GMT+0545 2001");
  EXPECT_EQ(FormatDate(t, DateForm::kDateString, nepal), "Sat Feb 3 2001");
  EXPECT_EQ(FormatDate(t, DateForm::kTimeString, nepal), "04:05:06 GMT+0545");
  EXPECT_EQ(FormatDate(t, DateForm::kLocaleString, nepal), "Sat Feb 3 2001 04:05:06 AM");
  EXPECT_EQ(FormatDate(t, DateForm::kLocaleDateString, nepal), "Sat Feb 3 2001");
  EXPECT_EQ(FormatDate(t, DateForm::kLocaleTimeString, nepal), "04:05:06 AM");
  EXPECT_EQ(FormatDate(kFeb3, DateForm::kUTCString, nepal), "Sat Feb 3 04:05:06 2001 UTC");
  FixedTimeZone west(-7 * kMsPerHour);
  EXPECT_EQ(FormatDate(0, DateForm::kString, west), "Wed Dec 31 17:00:00 GMT-0700 1969");
  EXPECT_EQ(FormatDate(12 * kMsPerHour, DateForm::kLocaleTimeString, FixedTimeZone(0)),
            "12:00:00 PM");
  EXPECT_EQ(FormatDate(0, DateForm::kLocaleTimeString, FixedTimeZone(0)), "12:00:00 AM");
  EXPECT_EQ(FormatDate(NAN, DateForm::kUTCString, west), "Invalid Date");
}

TEST(Avm2DateText, Parse) {
  FixedTimeZone west(-7 * kMsPerHour);
  const double t = kFeb3 - 7;  // whole seconds
  for (DateForm form : {DateForm::kString, DateForm::kUTCString}) {
    std::string text = FormatDate(t, form, west);
    EXPECT_EQ(ParseDate(std::u16string(text.begin(), text.end()), west), t) << text;
  }
  FixedTimeZone utc(0);
  auto at = [&](double y, double mo, double d, double h = 0, double mi = 0, double s = 0) {
    return TimeFromFields({y, mo, d, h, mi, s, 0}, true, utc);
  };
  struct Case {
    const char16_t* s;
    double t;
  } cases[] = {
      {u"Wed Apr 12 15:30:17 2006 GMT-0700", at(2006, 3, 12, 22, 30, 17)},
      {u"Wed Apr 12 15:30:17 2006 GMT+0700", at(2006, 3, 12, 8, 30, 17)},
      {u"Sat Apr 30 1974", at(1974, 3, 30)},
      {u"1999 Mon Sun Sat Apr 30 15:30:17", at(1999, 3, 30, 15, 30, 17)},
      {u"15:30:17    Apr/03/1988   ", at(1988, 3, 3, 15, 30, 17)},
      {u"Sat Apr 30 77", at(1977, 3, 30)},
      {u"Sat Jan Oct 30 77", at(1977, 9, 30)},
      {u"12/25/2000", at(2000, 11, 25)},
      {u"1/1/1999 1:30 PM", at(1999, 0, 1, 13, 30)},
      {u"Jan 1 2000 12:00 AM UTC", at(2000, 0, 1)},
      {u"Mon Jan 1 00:00:00 GMT-9 1900", at(1900, 0, 1, 9)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseDate(c.s, utc), c.t)
        << std::string(c.s, c.s + std::char_traits<char16_t>::length(c.s));
  }
  for (const char16_t* s : {u"Wed Apr 12 15:30:17 GMT-0700", u"Wed 12 15:30:17 GMT-0700 2006",
                            u"Sat Jan 30", u"Sat Jan 70 77", u"Sat Jan 30 random 77",
                            u"Sat Jan 30 77 Apr/03/1988", u"Sat Jan 30 77 GMT-0700 GMT-0800",
                            u"Saturday Jan 30 1999", u"Jan 30 1999 13 PM", u"", u"Jan 30 1999 x"}) {
    EXPECT_TRUE(std::isnan(ParseDate(s, utc)));
  }
}

}  // namespace
}  // namespace flashsaver::avm2
