// ASnative's numbers and the built-ins kept apart for SWF 6 and SWF 7+ movies, through the
// machine's own calls; the trace set judges the rest.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/avm1/builtins/machine_facts.h"
#include "player/avm1/vm.h"

namespace flashsaver::avm1 {
namespace {

Value Call(Vm& vm, Object* on, const char* name, std::vector<Value> args) {
  return vm.CallMethod(on, name, args);
}

TEST(Avm1NativeIds, NumbersReachTheBuiltInOfThatName) {
  NullHost host;
  Vm vm(host, 8);
  Object* g = vm.global();
  Object* date =
      vm.Construct(vm.GetMember(g, "Date"), std::vector<Value>{Value(1234.0)}).AsObject();
  ASSERT_NE(date, nullptr);
  Object* array = vm.NewArray(std::vector<Value>{Value("b"), Value("a")});
  struct Case {
    int category, index;
    Object* on;
    std::vector<Value> args;
    std::string expected;  // ToString of the result
  } cases[] = {
      {100, 0, g, {Value("a b")}, "a%20b"},             // escape
      {100, 2, g, {Value("12px")}, "12"},               // parseInt
      {101, 5, date, {Value("x")}, "false"},            // hasOwnProperty
      {103, 16, date, {}, "1234"},                      // getTime
      {103, 17, date, {Value(99.0)}, "99"},             // setTime
      {200, 0, g, {Value(-3.0)}, "3"},                  // abs
      {200, 2, g, {Value(4.0), Value(9.0)}, "9"},       // max
      {200, 17, g, {Value(2.0), Value(10.0)}, "1024"},  // pow
      {252, 6, array, {Value("-")}, "b-a"},             // join
      {252, 9, array, {}, "a,b"},                       // sort
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.category) + "," + std::to_string(c.index));
    Value fn = Call(vm, g, "ASnative", {Value(double(c.category)), Value(double(c.index))});
    ASSERT_TRUE(vm.IsFunction(fn));
    EXPECT_EQ(vm.ToString(vm.CallFunction(fn, c.on, c.args)), c.expected);
  }
  // Every number of the categories the table covers names a built-in that exists.
  for (auto [category, last] : {std::pair{100, 3}, {101, 7}, {103, 20}, {200, 17}, {252, 10}}) {
    for (int i = 0; i <= last; ++i) {
      Value fn = Call(vm, g, "ASnative", {Value(double(category)), Value(double(i))});
      EXPECT_TRUE(vm.IsFunction(fn)) << category << "," << i;
    }
  }
  EXPECT_TRUE(Call(vm, g, "ASnative", {Value(200.0), Value(999.0)}).IsUndefined());
}

TEST(Avm1NativeIds, SetNativeReadsVersionPrefixesAndSkipsEmptyNames) {
  NullHost host;
  Vm vm(host, 7);
  Object* o = vm.NewObject();
  Call(vm, vm.global(), "ASSetNative", {Value(o), Value(200.0), Value(",a,8b,6c,10d,1e")});
  struct Case {
    const char* name;
    bool seen;
  } cases[] = {{"a", true}, {"b", false}, {"c", true}, {"d", false}, {"e", true}};
  for (const Case& c : cases) {
    EXPECT_EQ(vm.IsFunction(vm.GetMember(o, c.name)), c.seen) << c.name;
  }
  // The empty first name used number 0, so "a" is number 1, Math.min.
  EXPECT_EQ(vm.ToNumber(vm.CallFunction(vm.GetMember(o, "a"), nullptr,
                                        std::vector<Value>{Value(5.0), Value(2.0)})),
            2);
}

TEST(Avm1Realms, SwfSixAndOlderHaveBuiltInsOfTheirOwn) {
  NullHost host;
  Vm vm(host, 8);
  Object* g8 = vm.global();
  Object* proto8 = vm.object_proto;
  EXPECT_EQ(vm.GlobalFor(7), g8);
  Object* g6 = vm.GlobalFor(6);
  ASSERT_NE(g6, g8);
  EXPECT_EQ(vm.global(), g8);  // looking does not switch
  vm.set_swf_version(5);
  EXPECT_EQ(vm.global(), g6);
  EXPECT_NE(vm.object_proto, proto8);
  Object* array6 = vm.NewArray();
  EXPECT_TRUE(vm.InstanceOf(Value(array6), vm.GetMember(g6, "Array").AsObject()));
  vm.set_swf_version(8);
  EXPECT_FALSE(vm.InstanceOf(Value(array6), vm.GetMember(g8, "Array").AsObject()));
  // The set not in use survives a collection.
  g6->SetOwn("kept", Value("yes"), false);
  vm.Collect();
  vm.set_swf_version(6);
  EXPECT_EQ(vm.ToString(vm.GetMember(vm.global(), "kept")), "yes");
  EXPECT_TRUE(vm.IsFunction(vm.GetMember(vm.global(), "Object")));
}

}  // namespace
}  // namespace flashsaver::avm1

namespace flashsaver::avm1 {
namespace {

TEST(Avm1MachineFacts, CapabilitiesTellTheMachineTheShowRead) {
  struct Lang {
    uint16_t langid;
    const char* code;
  } langs[] = {{0x0409, "en"},    {0x0809, "en"},    {0x0407, "de"}, {0x0804, "zh-CN"},
               {0x0404, "zh-TW"}, {0x1004, "zh-CN"}, {0x0411, "ja"}, {0x0425, "xu"}};
  for (const Lang& l : langs) EXPECT_EQ(LanguageCodeOf(l.langid), l.code) << l.langid;
  EXPECT_EQ(WindowsOsName(5, 1), "Windows XP");
  EXPECT_EQ(WindowsOsName(6, 1), "Windows 7");
  EXPECT_EQ(WindowsOsName(10, 0), "Windows 10");
  EXPECT_EQ(WindowsOsName(4, 0), "Windows");

  const MachineFacts saved = CurrentMachineFacts();
  SetMachineFacts({"Windows 7", "de", 1920, 1080, 120});
  NullHost host;
  Vm vm(host, 8);
  Object* caps =
      vm.GetMember(vm.GetMember(vm.global(), "System").AsObject(), "capabilities").AsObject();
  SetMachineFacts(saved);
  ASSERT_NE(caps, nullptr);
  EXPECT_EQ(vm.ToString(vm.GetMember(caps, "os")), "Windows 7");
  EXPECT_EQ(vm.ToString(vm.GetMember(caps, "language")), "de");
  EXPECT_EQ(vm.ToNumber(vm.GetMember(caps, "screenResolutionX")), 1920);
  EXPECT_EQ(vm.ToNumber(vm.GetMember(caps, "screenResolutionY")), 1080);
  EXPECT_EQ(vm.ToNumber(vm.GetMember(caps, "screenDPI")), 120);
}

}  // namespace
}  // namespace flashsaver::avm1
