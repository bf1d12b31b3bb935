// JSON through the machine: round trips, formatting, and Flash's errors for bad input.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

class Avm2Json : public ::testing::Test {
 protected:
  Value Json() { return Value(static_cast<Object*>(vm.FindClass("JSON"))); }
  Value Parse(const char* text) {
    return vm.CallMethod(Json(), "parse", std::vector<Value>{Value::Ascii(text)});
  }
  std::string Stringify(std::vector<Value> args) {
    return vm.ToString(vm.CallMethod(Json(), "stringify", args)).ToUtf8();
  }
  Vm vm;
};

TEST_F(Avm2Json, RoundTripsAndFormats) {
  struct Case {
    const char* in;
    const char* out;
  };
  for (const Case& c : std::vector<Case>{
           {" [1, -2.5e1, true, null, \"a\\u0041\\n\"] ", "[1,-25,true,null,\"aA\\n\"]"},
           {"{\"b\":{\"c\":[]},\"a\":{}}", "{\"b\":{\"c\":[]},\"a\":{}}"},
           {"\"\\u0001\"", "\"\\u0001\""},
       })
    EXPECT_EQ(Stringify({Parse(c.in)}), c.out) << c.in;
  EXPECT_EQ(Stringify({Parse("{\"a\":[1]}"), Value::Null(), Value(2)}),
            "{\n  \"a\": [\n    1\n  ]\n}");
  // A replacer list picks and orders the keys.
  Value keys(vm.NewArray({Value::Ascii("b")}));
  EXPECT_EQ(Stringify({Parse("{\"a\":1,\"b\":2}"), keys}), "{\"b\":2}");
}

TEST_F(Avm2Json, BadInputThrows) {
  for (const char* bad : {"", "-", "01", "[1,]", "{'a':1}", "\"\x01\"", "1 2", "[", "tru"})
    EXPECT_THROW(Parse(bad), ScriptException) << bad;
  std::string deep(100000, '[');
  EXPECT_THROW(Parse(deep.c_str()), ScriptException);
  Value cyclic(vm.NewObject());
  vm.SetProperty(cyclic, "self", cyclic);
  EXPECT_THROW(Stringify({cyclic}), ScriptException);
}

}  // namespace
}  // namespace flashsaver::avm2
