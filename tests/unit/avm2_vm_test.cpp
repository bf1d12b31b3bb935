// The AS3 machine's object model and limits, where the shared movie suite does not reach:
// collection of cycles, conversions, Flash's error texts, recursion and damaged bytecode.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

std::string Text(Vm& vm, const Value& v) { return vm.ToString(v).ToUtf8(); }

TEST(Avm2Heap, CollectsUnreachableCyclesAndKeepsRootedOnes) {
  Vm vm;
  vm.Collect();
  const size_t base = vm.heap().size();
  Object* kept = vm.NewObject();
  for (int i = 0; i < 100; ++i) {
    Object* a = vm.NewObject();
    Object* b = vm.NewObject();
    a->dynamic().Set(Str(u"other"), Value(b));
    b->dynamic().Set(Str(u"other"), Value(a));
  }
  vm.host_roots = [kept](Tracer& t) { t.Mark(kept); };
  EXPECT_EQ(vm.Collect(), 200u);
  EXPECT_EQ(vm.heap().size(), base + 1);
}

TEST(Avm2Conversions, FollowEcmaScriptAndAs3Rules) {
  Vm vm;
  struct Case {
    Value in;
    double number;
    const char* text;
  } cases[] = {
      {Value(Str(u" 12 ")), 12, " 12 "},
      {Value(Str(u"0x1F")), 31, "0x1F"},
      {Value(Str(u"")), 0, ""},
      {Value(Str(u"1e400")), INFINITY, "1e400"},
      {Value(), NAN, "undefined"},
      {Value::Null(), 0, "null"},
      {Value(true), 1, "true"},
      {Value(1e21), 1e21, "1e+21"},
      {Value(0.1), 0.1, "0.1"},
      {Value(-0.0), -0.0, "0"},
      {Value(uint32_t{4294967295u}), 4294967295.0, "4294967295"},
  };
  for (const Case& c : cases) {
    double n = vm.ToNumber(c.in);
    if (std::isnan(c.number))
      EXPECT_TRUE(std::isnan(n)) << c.text;
    else
      EXPECT_EQ(n, c.number) << c.text;
    EXPECT_EQ(Text(vm, c.in), c.text);
  }
  EXPECT_EQ(DoubleToInt32(4294967297.0), 1);
  EXPECT_EQ(DoubleToInt32(-2147483649.0), 2147483647);
  EXPECT_EQ(DoubleToUint32(-1), 4294967295u);
  EXPECT_TRUE(vm.LooseEquals(Value(Str(u"1")), Value(true)));
  EXPECT_TRUE(vm.LooseEquals(Value::Null(), Value()));
  EXPECT_FALSE(vm.LooseEquals(Value::Null(), Value(int32_t{0})));
  EXPECT_EQ(vm.LessThan(Value(NAN), Value(1.0)), -1);
  EXPECT_EQ(vm.LessThan(Value(Str(u"a")), Value(Str(u"b"))), 1);
}

TEST(Avm2Errors, CarryFlashsMessagesAndClasses) {
  Vm vm;
  struct Case {
    ErrorType type;
    int id;
    std::initializer_list<std::string> args;
    const char* text;
  } cases[] = {
      {ErrorType::kTypeError,
       1009,
       {},
       "TypeError: Error #1009: Cannot access a property or method of a null object reference."},
      {ErrorType::kReferenceError,
       1065,
       {"foo"},
       "ReferenceError: Error #1065: Variable foo is not defined."},
      {ErrorType::kTypeError,
       1034,
       {"\"a\"", "flash.display.Sprite"},
       "TypeError: Error #1034: Type Coercion failed: cannot convert \"a\" to "
       "flash.display.Sprite."},
  };
  for (const Case& c : cases) {
    try {
      vm.ThrowError(c.type, c.id, c.args);
      FAIL() << "no throw";
    } catch (const ScriptException& e) {
      EXPECT_EQ(Text(vm, e.value), c.text);
      EXPECT_EQ(vm.ToInt32(vm.GetProperty(e.value, "errorID")), c.id);
    }
  }
}

TEST(Avm2Properties, NullAccessAndSealedObjectsThrow) {
  Vm vm;
  EXPECT_THROW(vm.GetProperty(Value::Null(), "x"), ScriptException);
  EXPECT_THROW(vm.SetProperty(Value(), "x", Value(1)), ScriptException);
  // Namespace instances are sealed: no new properties.
  Value ns = vm.Construct(Value(static_cast<Object*>(vm.FindClass("Namespace"))), {});
  EXPECT_THROW(vm.SetProperty(ns, "nope", Value(1)), ScriptException);
  Object* o = vm.NewObject();
  vm.SetProperty(Value(o), "b", Value(2));
  vm.SetProperty(Value(o), "a", Value(1));
  // Dynamic properties keep the order they were made in.
  EXPECT_EQ(o->dynamic().entries()[0].key.ToUtf8(), "b");
}

TEST(Avm2Array, StoresOnlyWhatIsSet) {
  Vm vm;
  ArrayObject* a = vm.NewArray();
  a->Set(4000000000u, Value(1));
  EXPECT_EQ(a->length(), 4000000001u);
  EXPECT_FALSE(a->Has(5));
  a->SetLength(3000000000u);
  EXPECT_FALSE(a->Has(4000000000u));
  a->Set(1, Value(2));
  a->Set(0, Value(1));  // fills the hole: both are dense now
  EXPECT_EQ(a->NextIndex(-1), 0u);
  EXPECT_EQ(a->NextIndex(1), 3000000000u);
}

Value Recurse(Vm& vm, const Value&, std::span<const Value>) {
  Value f = vm.GetProperty(Value(vm.global()), "recurse");
  return vm.Call(f, Value(), {});
}

TEST(Avm2Limits, DeepRecursionThrowsStackOverflow) {
  Vm vm;
  vm.SetProperty(Value(vm.global()), "recurse",
                 Value(static_cast<Object*>(vm.NewNativeFunction(Recurse, 0, "recurse"))));
  try {
    Recurse(vm, Value(), {});
    FAIL() << "no throw";
  } catch (const ScriptException& e) {
    EXPECT_EQ(Text(vm, e.value), "Error: Error #1023: Stack overflow occurred.");
  }
}

TEST(Avm2Loading, DamagedBytecodeIsRefused) {
  Vm vm;
  std::vector<std::string> lines;
  vm.trace_output = [&lines](std::string_view s) { lines.emplace_back(s); };
  const std::vector<std::vector<uint8_t>> inputs = {
      {}, {0x10, 0x00, 0x2E, 0x00}, {0x10, 0x00, 0x2E, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
  for (const auto& bytes : inputs) EXPECT_FALSE(vm.LoadAbc(bytes, false));
  EXPECT_EQ(lines.size(), inputs.size());
}

// Natives with required parameters refuse fewer arguments before they run; typed callbacks
// refuse what is not a function.
TEST(Avm2Natives, CheckRequiredArgumentsAndCallbackTypes) {
  Vm vm;
  Value math(static_cast<Object*>(vm.FindClass("Math")));
  Value array(static_cast<Object*>(vm.NewArray({Value(1)})));
  struct Case {
    Value self;
    const char* method;
    std::vector<Value> args;
    const char* error;  // "" when the call succeeds
  } cases[] = {
      {math,
       "abs",
       {},
       "ArgumentError: Error #1063: Argument count mismatch on Math$/abs(). "
       "Expected 1, got 0."},
      {math,
       "pow",
       {Value(2)},
       "ArgumentError: Error #1063: Argument count mismatch on "
       "Math$/pow(). Expected 2, got 1."},
      {math, "abs", {Value(-2), Value(7)}, ""},
      {math, "max", {}, ""},
      {array, "filter", {Value(5)}, "TypeError: Error #1034"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.method);
    try {
      vm.Call(vm.GetProperty(c.self, c.method), c.self, c.args);
      EXPECT_STREQ(c.error, "");
    } catch (const ScriptException& e) {
      EXPECT_NE(std::string(c.error), "");
      EXPECT_EQ(Text(vm, e.value).rfind(c.error, 0), 0u) << Text(vm, e.value);
    }
  }
}

}  // namespace
}  // namespace flashsaver::avm2
