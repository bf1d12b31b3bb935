// Arrays of huge lengths stay sparse: each method costs what the script stored.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "player/avm1/heap.h"
#include "player/avm1/vm.h"

namespace flashsaver::avm1 {
namespace {

struct SparseCase {
  const char* method;
  std::vector<Value> args;
  // index → expected text of the element (of the result when `of_result`), and the length.
  bool of_result;
  double length;
  std::vector<std::pair<const char*, const char*>> elements;
};

TEST(Avm1SparseArray, MethodsOfHugeArraysTouchOnlyStoredElements) {
  const SparseCase cases[] = {
      {"slice", {Value(999999999.0)}, true, 1, {{"0", "b"}}},
      {"reverse", {}, false, 1e9, {{"999999996", "a"}, {"0", "b"}}},
      {"concat", {Value("c")}, true, 1e9 + 1, {{"3", "a"}, {"1000000000", "c"}}},
      {"splice", {Value(1.0), Value(2.0), Value("x")}, false, 1e9 - 1, {{"1", "x"}, {"2", "a"}}},
      {"sort", {}, false, 1e9, {{"0", "a"}, {"1", "b"}, {"2", "undefined"}}},
      {"shift", {}, false, 1e9 - 1, {{"2", "a"}, {"999999998", "b"}}},
      {"unshift", {Value("u")}, false, 1e9 + 1, {{"0", "u"}, {"4", "a"}}},
  };
  for (const SparseCase& c : cases) {
    NullHost host;
    Vm vm(host, 8);
    Object* a = vm.NewArray();
    vm.SetMember(a, "length", 1e9);
    vm.SetMember(a, "3", Value("a"));
    vm.SetMember(a, "999999999", Value("b"));
    Value result = vm.CallMethod(a, c.method, c.args);
    Object* checked = c.of_result ? result.AsObject() : a;
    ASSERT_NE(checked, nullptr) << c.method;
    EXPECT_EQ(vm.ToNumber(vm.GetMember(checked, "length")), c.length) << c.method;
    for (const auto& [index, text] : c.elements) {
      EXPECT_EQ(vm.ToString(vm.GetMember(checked, index)), text) << c.method << " " << index;
    }
  }
}

TEST(Avm1SparseArray, LengthKeepsTheNumberAndJoinStopsAtTheStringLimit) {
  NullHost host;
  Vm vm(host, 6);
  Object* a = vm.NewArray();
  vm.SetMember(a, "length", 1e24);
  EXPECT_EQ(vm.ToString(vm.GetMember(a, "length")), "1e+24");
  EXPECT_EQ(vm.ToString(vm.CallMethod(a, "join", {})), "");
  vm.SetMember(a, "length", 4294967294.0);
  vm.SetMember(a, "7", Value("x"));
  EXPECT_THROW(vm.CallMethod(a, "join", {}), ScriptAbort);
  const Value empty[] = {Value("")};
  EXPECT_EQ(vm.ToString(vm.CallMethod(a, "join", empty)), "x");  // v6 holes join as ""
}

}  // namespace
}  // namespace flashsaver::avm1
