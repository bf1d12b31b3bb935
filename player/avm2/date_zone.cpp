// The machine's time zone from the C runtime. Times outside the years the runtime handles
// everywhere (1971-2037) are looked up in an equivalent year: one with the same length that
// starts on the same weekday, so daylight-saving rules of the "second Sunday" kind still apply.
#include <cmath>
#include <ctime>

#include "player/avm2/date_math.h"

namespace flashsaver::avm2 {
namespace {

double EquivalentTime(double utc_ms) {
  double year = YearFromTime(utc_ms);
  if (year >= 1971 && year <= 2037) return utc_ms;
  bool leap = IsLeapYear(year);
  int weekday = WeekDay(TimeFromYear(year));
  double within = utc_ms - TimeFromYear(year);
  for (int y = 1972; y <= 2037; ++y) {
    if (IsLeapYear(y) == leap && WeekDay(TimeFromYear(y)) == weekday) {
      return TimeFromYear(y) + within;
    }
  }
  return utc_ms;
}

// Seconds east of UTC at a time, and whether daylight saving is in force then.
bool LocalOffset(double utc_ms, long& offset_s, bool& dst) {
  std::time_t t = static_cast<std::time_t>(std::floor(EquivalentTime(utc_ms) / 1000));
  std::tm tm{};
#ifdef _WIN32
  if (_localtime64_s(&tm, reinterpret_cast<const __time64_t*>(&t)) != 0) return false;
  dst = tm.tm_isdst > 0;
  offset_s = -_timezone - (dst ? _dstbias : 0);
#else
  if (localtime_r(&t, &tm) == nullptr) return false;
  dst = tm.tm_isdst > 0;
  offset_s = tm.tm_gmtoff;
#endif
  return true;
}

class SystemZone : public TimeZone {
 public:
  SystemZone() {
#ifdef _WIN32
    _tzset();
#else
    tzset();
#endif
    // The smaller of this year's January and July offsets: daylight saving only adds. The zone
    // does not change while a movie plays, so it is read once.
    double now = static_cast<double>(std::time(nullptr)) * 1000;
    double jan = TimeFromYear(YearFromTime(now));
    double jul = jan + 181 * kMsPerDay;
    long a = 0, b = 0;
    bool dst = false;
    if (!LocalOffset(jan, a, dst)) a = 0;
    if (!LocalOffset(jul, b, dst)) b = a;
    standard_ms_ = static_cast<double>(a < b ? a : b) * 1000;
  }
  double StandardOffsetMs() const override { return standard_ms_; }
  double DaylightSavingMs(double utc_ms) const override {
    if (!(std::fabs(utc_ms) <= 8.7e15)) return 0;
    long offset = 0;
    bool dst = false;
    if (!LocalOffset(utc_ms, offset, dst) || !dst) return 0;
    double extra = static_cast<double>(offset) * 1000 - standard_ms_;
    return extra > 0 ? extra : 0;
  }

 private:
  double standard_ms_ = 0;
};

}  // namespace

const TimeZone& SystemTimeZone() {
  static const SystemZone zone;
  return zone;
}

}  // namespace flashsaver::avm2
