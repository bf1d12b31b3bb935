// The Date class as scripts reach it through the machine: constructors, accessors, setters.
#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

class Avm2DateClass : public ::testing::Test {
 protected:
  Value DateClass() { return Value(static_cast<Object*>(vm.FindClass("Date"))); }
  Value New(std::vector<Value> args) { return vm.Construct(DateClass(), args); }
  Value Call(const Value& obj, const char* name, std::vector<Value> args = {}) {
    return vm.CallMethod(obj, name, args);
  }
  double Num(const Value& v) { return vm.ToNumber(v); }
  std::string Text(const Value& v) { return vm.ToString(v).ToUtf8(); }

  Vm vm;
};

TEST_F(Avm2DateClass, ConstructorForms) {
  Value utc = New({Value(Str(u"Sat Feb 3 04:05:06 2001 UTC"))});
  EXPECT_EQ(Num(utc), 981173106000.0);
  EXPECT_EQ(Text(Call(utc, "toUTCString")), "Sat Feb 3 04:05:06 2001 UTC");
  EXPECT_EQ(Num(New({Value(981173106000.0)})), 981173106000.0);
  EXPECT_EQ(Num(New({utc})), 981173106000.0);  // another Date reads as its time
  EXPECT_TRUE(std::isnan(Num(New({Value(Str(u"no date"))}))));
  EXPECT_TRUE(std::isnan(Num(New({Value(9e15)}))));

  // Fields are local time; Date.UTC takes the same fields as UTC.
  Value local = New({Value(2001), Value(1), Value(3), Value(4), Value(5), Value(6), Value(7)});
  double offset = Num(Call(local, "getTimezoneOffset"));
  double as_utc = Num(vm.CallMethod(
      DateClass(), "UTC",
      std::vector<Value>{Value(2001), Value(1), Value(3), Value(4), Value(5), Value(6), Value(7)}));
  EXPECT_EQ(Num(local), as_utc + offset * 60000);
  EXPECT_EQ(Num(Call(local, "getHours")), 4);
  EXPECT_EQ(Num(Call(local, "getMilliseconds")), 7);
  EXPECT_EQ(Num(vm.GetProperty(local, "fullYear")), 2001);
  EXPECT_EQ(Num(New({Value(99), Value(0)})), Num(New({Value(1999), Value(0)})));
  EXPECT_TRUE(vm.Call(DateClass(), Value(), {}).IsString());
}

TEST_F(Avm2DateClass, SettersAndAccessors) {
  Value d = New({Value(981173106007.0)});
  EXPECT_EQ(Num(Call(d, "setUTCHours", {Value(0), Value(0)})), 981158406007.0);
  vm.SetProperty(d, "monthUTC", Value(0));
  EXPECT_EQ(Num(vm.GetProperty(d, "dateUTC")), 3);
  EXPECT_EQ(Num(vm.GetProperty(d, "monthUTC")), 0);
  vm.SetProperty(d, "time", Value(0.0));
  EXPECT_EQ(Num(vm.GetProperty(d, "dayUTC")), 4);
  EXPECT_TRUE(std::isnan(Num(Call(d, "setUTCDate", {Value(NAN)}))));
  EXPECT_EQ(Text(d), "Invalid Date");
  // Only the year brings an invalid date back.
  EXPECT_TRUE(std::isnan(Num(Call(d, "setUTCMonth", {Value(1)}))));
  EXPECT_EQ(Num(Call(d, "setUTCFullYear", {Value(1970), Value(0), Value(2)})), 86400000.0);
}

TEST_F(Avm2DateClass, PrototypeMethodsOnOtherObjects) {
  Object* proto = vm.FindClass("Date")->prototype;
  Value get_time = vm.GetProperty(Value(proto), "getTime");
  EXPECT_TRUE(std::isnan(Num(vm.Call(get_time, Value(vm.NewObject()), {}))));
  EXPECT_TRUE(std::isnan(Num(vm.Call(get_time, Value(proto), {}))));
}

}  // namespace
}  // namespace flashsaver::avm2
