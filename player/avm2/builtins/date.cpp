// Date: a time value in milliseconds since 1970 UTC, read and written through local or UTC
// calendar fields. The arithmetic and the text forms live in date_math and date_text.
#include <chrono>
#include <cmath>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/date_math.h"
#include "player/avm2/date_text.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

class DateObject : public Object {
 public:
  DateObject(ClassObject* cls, Object* proto) : Object(ObjectKind::kBoxed, cls, proto) {}
  double time = NAN;
};

Object* CreateDate(Vm& vm, ClassObject* cls) {
  return vm.heap().New<DateObject>(cls, cls->prototype);
}

double Now() {
  using namespace std::chrono;
  return static_cast<double>(
      duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

// The Date a method runs on. Called through the prototype on anything else (Date.prototype
// itself included) the methods read an invalid date, as the player's do, instead of throwing.
DateObject* ThisDate(Vm&, const Value& self) { return dynamic_cast<DateObject*>(self.AsObject()); }

double TimeOf(Vm& vm, const Value& self) {
  DateObject* d = ThisDate(vm, self);
  return d ? d->time : NAN;
}

Value DateConstruct(Vm& vm, const Value& self, std::span<const Value> args) {
  auto* d = dynamic_cast<DateObject*>(self.AsObject());
  if (!d) return Value();
  if (args.empty()) {
    d->time = Now();
  } else if (args.size() == 1) {
    d->time = args[0].IsString() ? ParseDate(args[0].AsStr().view(), SystemTimeZone())
                                 : TimeClip(vm.ToNumber(args[0]));
  } else {
    double fields[7] = {0, 0, 1, 0, 0, 0, 0};
    for (size_t i = 0; i < args.size() && i < 7; ++i) fields[i] = vm.ToNumber(args[i]);
    d->time = TimeFromFields(fields, false, SystemTimeZone());
  }
  return Value();
}

// Date(...) called as a function ignores its arguments and describes the present.
Value DateCall(Vm&, const Value&, std::span<const Value>) {
  return Value(Str::FromUtf8(FormatDate(Now(), DateForm::kString, SystemTimeZone())));
}

Value Parse(Vm& vm, const Value&, std::span<const Value> args) {
  return Value::Numeric(
      ParseDate(ArgString(vm, args, 0, Str(u"undefined")).view(), SystemTimeZone()));
}

Value Utc(Vm& vm, const Value&, std::span<const Value> args) {
  double fields[7] = {NAN, NAN, 1, 0, 0, 0, 0};
  for (size_t i = 0; i < args.size() && i < 7; ++i) fields[i] = vm.ToNumber(args[i]);
  return Value::Numeric(TimeFromFields(fields, true, SystemTimeZone()));
}

Value GetTime(Vm& vm, const Value& self, std::span<const Value>) {
  return Value::Numeric(TimeOf(vm, self));
}

Value SetTime(Vm& vm, const Value& self, std::span<const Value> args) {
  DateObject* d = ThisDate(vm, self);
  double t = TimeClip(ArgNumber(vm, args, 0, NAN));
  if (d) d->time = t;
  return Value::Numeric(t);
}

template <DateForm F>
Value ToText(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Str::FromUtf8(FormatDate(TimeOf(vm, self), F, SystemTimeZone())));
}

enum Field { kYear, kMonth, kDate, kHours, kMinutes, kSeconds, kMs, kDay, kOffset };

template <Field F, bool kUtc>
Value Get(Vm& vm, const Value& self, std::span<const Value>) {
  double t = TimeOf(vm, self);
  if (std::isnan(t)) return Value(NAN);
  if (F == kOffset) return Value::Numeric(TimezoneOffsetMinutes(t, SystemTimeZone()));
  if (!kUtc) t = LocalTime(t, SystemTimeZone());
  switch (F) {
    case kYear:
      return Value::Numeric(YearFromTime(t));
    case kMonth:
      return Value(MonthFromTime(t));
    case kDate:
      return Value(DateFromTime(t));
    case kHours:
      return Value(HourFromTime(t));
    case kMinutes:
      return Value(MinFromTime(t));
    case kSeconds:
      return Value(SecFromTime(t));
    case kMs:
      return Value(MsFromTime(t));
    case kDay:
      return Value(WeekDay(t));
    default:
      return Value(NAN);
  }
}

template <Field F, bool kUtc>
Value Set(Vm& vm, const Value& self, std::span<const Value> args) {
  DateObject* d = ThisDate(vm, self);
  double nums[7];
  size_t n = 0;
  for (; n < args.size() && n < 7; ++n) nums[n] = vm.ToNumber(args[n]);
  if (!d) return Value(NAN);
  d->time = SetDateFields(d->time, F, std::span<const double>(nums, n), kUtc, SystemTimeZone());
  return Value::Numeric(d->time);
}

// The property form: `date.month = 3` is setMonth(3).
template <Field F, bool kUtc>
Value SetOne(Vm& vm, const Value& self, std::span<const Value> args) {
  Set<F, kUtc>(vm, self, args.first(args.empty() ? 0 : 1));
  return Value();
}

Value SetTimeProperty(Vm& vm, const Value& self, std::span<const Value> args) {
  SetTime(vm, self, args);
  return Value();
}

}  // namespace

const NativeClass& DateClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.name = "Date";
    c.instance = {
        AS3Method("valueOf", GetTime),
        AS3Method("getTime", GetTime),
        AS3Method("setTime", SetTime, 1),
        AS3Method("toString", ToText<DateForm::kString>),
        AS3Method("toDateString", ToText<DateForm::kDateString>),
        AS3Method("toTimeString", ToText<DateForm::kTimeString>),
        AS3Method("toLocaleString", ToText<DateForm::kLocaleString>),
        AS3Method("toLocaleDateString", ToText<DateForm::kLocaleDateString>),
        AS3Method("toLocaleTimeString", ToText<DateForm::kLocaleTimeString>),
        AS3Method("toUTCString", ToText<DateForm::kUTCString>),
        ProtoMethod("toJSON", ToText<DateForm::kString>, 1),
        AS3Method("getFullYear", Get<kYear, false>),
        AS3Method("getMonth", Get<kMonth, false>),
        AS3Method("getDate", Get<kDate, false>),
        AS3Method("getDay", Get<kDay, false>),
        AS3Method("getHours", Get<kHours, false>),
        AS3Method("getMinutes", Get<kMinutes, false>),
        AS3Method("getSeconds", Get<kSeconds, false>),
        AS3Method("getMilliseconds", Get<kMs, false>),
        AS3Method("getUTCFullYear", Get<kYear, true>),
        AS3Method("getUTCMonth", Get<kMonth, true>),
        AS3Method("getUTCDate", Get<kDate, true>),
        AS3Method("getUTCDay", Get<kDay, true>),
        AS3Method("getUTCHours", Get<kHours, true>),
        AS3Method("getUTCMinutes", Get<kMinutes, true>),
        AS3Method("getUTCSeconds", Get<kSeconds, true>),
        AS3Method("getUTCMilliseconds", Get<kMs, true>),
        AS3Method("getTimezoneOffset", Get<kOffset, false>),
        AS3Method("setFullYear", Set<kYear, false>, 3),
        AS3Method("setMonth", Set<kMonth, false>, 2),
        AS3Method("setDate", Set<kDate, false>, 1),
        AS3Method("setHours", Set<kHours, false>, 4),
        AS3Method("setMinutes", Set<kMinutes, false>, 3),
        AS3Method("setSeconds", Set<kSeconds, false>, 2),
        AS3Method("setMilliseconds", Set<kMs, false>, 1),
        AS3Method("setUTCFullYear", Set<kYear, true>, 3),
        AS3Method("setUTCMonth", Set<kMonth, true>, 2),
        AS3Method("setUTCDate", Set<kDate, true>, 1),
        AS3Method("setUTCHours", Set<kHours, true>, 4),
        AS3Method("setUTCMinutes", Set<kMinutes, true>, 3),
        AS3Method("setUTCSeconds", Set<kSeconds, true>, 2),
        AS3Method("setUTCMilliseconds", Set<kMs, true>, 1),
        Getter("fullYear", Get<kYear, false>),
        Setter("fullYear", SetOne<kYear, false>),
        Getter("month", Get<kMonth, false>),
        Setter("month", SetOne<kMonth, false>),
        Getter("date", Get<kDate, false>),
        Setter("date", SetOne<kDate, false>),
        Getter("hours", Get<kHours, false>),
        Setter("hours", SetOne<kHours, false>),
        Getter("minutes", Get<kMinutes, false>),
        Setter("minutes", SetOne<kMinutes, false>),
        Getter("seconds", Get<kSeconds, false>),
        Setter("seconds", SetOne<kSeconds, false>),
        Getter("milliseconds", Get<kMs, false>),
        Setter("milliseconds", SetOne<kMs, false>),
        Getter("fullYearUTC", Get<kYear, true>),
        Setter("fullYearUTC", SetOne<kYear, true>),
        Getter("monthUTC", Get<kMonth, true>),
        Setter("monthUTC", SetOne<kMonth, true>),
        Getter("dateUTC", Get<kDate, true>),
        Setter("dateUTC", SetOne<kDate, true>),
        Getter("hoursUTC", Get<kHours, true>),
        Setter("hoursUTC", SetOne<kHours, true>),
        Getter("minutesUTC", Get<kMinutes, true>),
        Setter("minutesUTC", SetOne<kMinutes, true>),
        Getter("secondsUTC", Get<kSeconds, true>),
        Setter("secondsUTC", SetOne<kSeconds, true>),
        Getter("millisecondsUTC", Get<kMs, true>),
        Setter("millisecondsUTC", SetOne<kMs, true>),
        Getter("day", Get<kDay, false>),
        Getter("dayUTC", Get<kDay, true>),
        Getter("timezoneOffset", Get<kOffset, false>),
        Getter("time", GetTime),
        Setter("time", SetTimeProperty),
    };
    c.statics = {AS3Method("parse", Parse, 1), AS3Method("UTC", Utc, 7),
                 Const("length", Value(int32_t{7}))};
    c.constructor = DateConstruct;
    c.call = DateCall;
    c.create = CreateDate;
    c.constructor_length = 7;
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
