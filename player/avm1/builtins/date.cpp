// Date: a time value in milliseconds since 1970 (UTC), shown in the machine's local time.
#include <chrono>
#include <cmath>
#include <ctime>

#include "player/avm1/builtins/builtins.h"

namespace flashsaver::avm1 {
namespace {

constexpr double kMsPerDay = 86400000.0;

// Days from 1970-01-01 to a civil date, and back (proleptic Gregorian).
double DaysFromCivil(double y, double m, double d) {
  // Months outside 0..11 carry into the year.
  y += std::floor(m / 12);
  m = std::fmod(m, 12);
  if (m < 0) m += 12;
  int64_t yy = static_cast<int64_t>(y) - (m < 2 ? 1 : 0);
  int64_t era = (yy >= 0 ? yy : yy - 399) / 400;
  int64_t yoe = yy - era * 400;
  int64_t mp = (static_cast<int64_t>(m) + 9) % 12;
  int64_t doy = (153 * mp + 2) / 5;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return static_cast<double>(era * 146097 + doe - 719468) + d - 1;
}

struct Civil {
  double year, month, day, weekday, hours, minutes, seconds, ms;
};

Civil ToCivil(double t) {
  double days = std::floor(t / kMsPerDay);
  double in_day = t - days * kMsPerDay;
  int64_t z = static_cast<int64_t>(days) + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
  Civil c;
  c.year = static_cast<double>(y);
  c.month = static_cast<double>(m - 1);
  c.day = static_cast<double>(d);
  double wd = std::fmod(days + 4, 7);
  c.weekday = wd < 0 ? wd + 7 : wd;
  c.hours = std::floor(in_day / 3600000);
  c.minutes = std::floor(std::fmod(in_day, 3600000) / 60000);
  c.seconds = std::floor(std::fmod(in_day, 60000) / 1000);
  c.ms = std::fmod(in_day, 1000);
  return c;
}

double MakeTime(const Civil& c) {
  return DaysFromCivil(c.year, c.month, c.day) * kMsPerDay + c.hours * 3600000 + c.minutes * 60000 +
         c.seconds * 1000 + c.ms;
}

// The machine's offset from UTC at time t, in milliseconds (local = utc + offset).
double LocalOffset(double t) {
  if (!std::isfinite(t)) return 0;
  std::time_t secs = static_cast<std::time_t>(std::floor(t / 1000));
  std::tm local = *std::localtime(&secs);
  std::tm utc = *std::gmtime(&secs);
  utc.tm_isdst = local.tm_isdst;
  double diff = std::difftime(std::mktime(&local), std::mktime(&utc));
  return diff * 1000;
}

double TimeOf(Object* o) {
  if (!o || o->kind() != ObjectKind::kDate) return NAN;
  const Value& v = static_cast<ValueObject*>(o)->value;
  return v.IsNumber() ? v.AsNumber() : NAN;
}

void SetTimeOf(Object* o, double t) {
  if (o && o->kind() == ObjectKind::kDate) {
    if (std::isfinite(t)) t = std::trunc(t);
    if (std::fabs(t) > 8.64e15) t = NAN;
    static_cast<ValueObject*>(o)->value = Value(t);
  }
}

double Now() {
  using namespace std::chrono;
  return static_cast<double>(
      duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

Value Construct(Vm& vm, const CallArgs& c) {
  auto* o = vm.New<ValueObject>(ObjectKind::kDate, Value(Now()));
  o->Define("__proto__", vm.date_proto);
  o->Define("__constructor__", c.callee);
  if (c.args.size() == 1) {
    SetTimeOf(o, vm.ToNumber(c.Arg(0)));
  } else if (c.args.size() > 1) {
    double f[7] = {0, 0, 1, 0, 0, 0, 0};
    for (size_t i = 0; i < 7 && i < c.args.size(); ++i) f[i] = vm.ToNumber(c.args[i]);
    if (f[0] >= 0 && f[0] < 100) f[0] += 1900;
    Civil civil{f[0], f[1], f[2], 0, f[3], f[4], f[5], f[6]};
    double local = MakeTime(civil);
    SetTimeOf(o, local - LocalOffset(local));
  }
  return o;
}

Value CallAsFunction(Vm& vm, const CallArgs& c) {
  CallArgs none{nullptr, {}, c.callee, true};
  return vm.ToString(Construct(vm, none));
}

enum Field { kYear, kMonth, kDay, kWeekday, kHours, kMinutes, kSeconds, kMs };

template <Field F, bool kUtc>
Value Get(Vm&, const CallArgs& c) {
  double t = TimeOf(c.this_obj);
  if (!c.this_obj || c.this_obj->kind() != ObjectKind::kDate) return Value();
  if (std::isnan(t)) return NAN;
  Civil civil = ToCivil(kUtc ? t : t + LocalOffset(t));
  double fields[] = {civil.year,  civil.month,   civil.day,     civil.weekday,
                     civil.hours, civil.minutes, civil.seconds, civil.ms};
  return fields[F];
}

// setX(value, [more fields...]) on local or UTC fields.
template <Field F, bool kUtc>
Value Set(Vm& vm, const CallArgs& c) {
  if (!c.this_obj || c.this_obj->kind() != ObjectKind::kDate) return Value();
  double t = TimeOf(c.this_obj);
  if (std::isnan(t)) t = 0;
  double offset = kUtc ? 0 : LocalOffset(t);
  Civil civil = ToCivil(t + offset);
  double* fields[] = {&civil.year,  &civil.month,   &civil.day,     nullptr,
                      &civil.hours, &civil.minutes, &civil.seconds, &civil.ms};
  int f = F;
  for (size_t i = 0; i < c.args.size() && f <= kMs; ++i, ++f) {
    if (f == kWeekday) ++f;
    *fields[f] = vm.ToNumber(c.args[i]);
  }
  double local = MakeTime(civil);
  SetTimeOf(c.this_obj, kUtc ? local : local - LocalOffset(local));
  return TimeOf(c.this_obj);
}

Value GetTime(Vm&, const CallArgs& c) {
  if (!c.this_obj || c.this_obj->kind() != ObjectKind::kDate) return Value();
  return TimeOf(c.this_obj);
}

Value SetTime(Vm& vm, const CallArgs& c) {
  SetTimeOf(c.this_obj, vm.ToNumber(c.Arg(0)));
  return TimeOf(c.this_obj);
}

Value GetTimezoneOffset(Vm&, const CallArgs& c) {
  double t = TimeOf(c.this_obj);
  return -LocalOffset(t) / 60000;
}

Value GetYear(Vm& vm, const CallArgs& c) {
  Value y = Get<kYear, false>(vm, c);
  return y.IsNumber() ? Value(y.AsNumber() - 1900) : y;
}

// getUTCYear, undocumented but present: the UTC year counted from 1900, as getYear counts.
Value GetUtcYear(Vm& vm, const CallArgs& c) {
  Value y = Get<kYear, true>(vm, c);
  return y.IsNumber() ? Value(y.AsNumber() - 1900) : y;
}

// setYear(y): a year from 0 to 99 is one of the 1900s, as getYear counts them.
Value SetYear(Vm& vm, const CallArgs& c) {
  if (c.args.empty()) return Set<kYear, false>(vm, c);
  double year = vm.ToNumber(c.args[0]);
  if (year >= 0 && year <= 99) year += 1900;
  const Value arg(year);
  CallArgs call = c;
  call.args = std::span<const Value>(&arg, 1);
  return Set<kYear, false>(vm, call);
}

// "Tue Feb 1 00:00:00 GMT-0800 2005"
Value ToStringMethod(Vm&, const CallArgs& c) {
  double t = TimeOf(c.this_obj);
  if (!c.this_obj || c.this_obj->kind() != ObjectKind::kDate) return "[object Object]";
  if (std::isnan(t)) return "Invalid Date";
  double offset = LocalOffset(t);
  Civil v = ToCivil(t + offset);
  static const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  int off_min = static_cast<int>(offset / 60000);
  char buf[96];
  std::snprintf(buf, sizeof buf, "%s %s %d %02d:%02d:%02d GMT%c%02d%02d %d",
                kDays[static_cast<int>(v.weekday)], kMonths[static_cast<int>(v.month)],
                static_cast<int>(v.day), static_cast<int>(v.hours), static_cast<int>(v.minutes),
                static_cast<int>(v.seconds), off_min < 0 ? '-' : '+', std::abs(off_min) / 60,
                std::abs(off_min) % 60, static_cast<int>(v.year));
  return buf;
}

Value Utc(Vm& vm, const CallArgs& c) {
  double f[7] = {0, 0, 1, 0, 0, 0, 0};
  for (size_t i = 0; i < 7 && i < c.args.size(); ++i) f[i] = vm.ToNumber(c.args[i]);
  if (f[0] >= 0 && f[0] < 100) f[0] += 1900;
  return MakeTime(Civil{f[0], f[1], f[2], 0, f[3], f[4], f[5], f[6]});
}

}  // namespace

void InstallDate(Vm& vm) {
  Object* proto = vm.NewObject();
  vm.date_proto = proto;
  struct {
    const char* name;
    NativeFn fn;
  } const methods[] = {{"getFullYear", Get<kYear, false>},
                       {"getMonth", Get<kMonth, false>},
                       {"getDate", Get<kDay, false>},
                       {"getDay", Get<kWeekday, false>},
                       {"getHours", Get<kHours, false>},
                       {"getMinutes", Get<kMinutes, false>},
                       {"getSeconds", Get<kSeconds, false>},
                       {"getMilliseconds", Get<kMs, false>},
                       {"getUTCFullYear", Get<kYear, true>},
                       {"getUTCMonth", Get<kMonth, true>},
                       {"getUTCDate", Get<kDay, true>},
                       {"getUTCDay", Get<kWeekday, true>},
                       {"getUTCHours", Get<kHours, true>},
                       {"getUTCMinutes", Get<kMinutes, true>},
                       {"getUTCSeconds", Get<kSeconds, true>},
                       {"getUTCMilliseconds", Get<kMs, true>},
                       {"setFullYear", Set<kYear, false>},
                       {"setMonth", Set<kMonth, false>},
                       {"setDate", Set<kDay, false>},
                       {"setHours", Set<kHours, false>},
                       {"setMinutes", Set<kMinutes, false>},
                       {"setSeconds", Set<kSeconds, false>},
                       {"setMilliseconds", Set<kMs, false>},
                       {"setUTCFullYear", Set<kYear, true>},
                       {"setUTCMonth", Set<kMonth, true>},
                       {"setUTCDate", Set<kDay, true>},
                       {"setUTCHours", Set<kHours, true>},
                       {"setUTCMinutes", Set<kMinutes, true>},
                       {"setUTCSeconds", Set<kSeconds, true>},
                       {"setUTCMilliseconds", Set<kMs, true>},
                       {"getTime", GetTime},
                       {"valueOf", GetTime},
                       {"setTime", SetTime},
                       {"getTimezoneOffset", GetTimezoneOffset},
                       {"getYear", GetYear},
                       {"getUTCYear", GetUtcYear},
                       {"setYear", SetYear},
                       {"toString", ToStringMethod}};
  for (const auto& m : methods) vm.DefineMethod(proto, m.name, m.fn, 3);
  FunctionObject* ctor = vm.DefineClass("Date", CallAsFunction, Construct, proto);
  vm.DefineMethod(ctor, "UTC", Utc, 7);
}

}  // namespace flashsaver::avm1
