// RegExp and String's regexp methods through the AS3 machine's API, as scripts call them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

class RegExpClassTest : public ::testing::Test {
 protected:
  Value NewRegExp(std::vector<Value> args) {
    return vm.Construct(Value(static_cast<Object*>(vm.FindClass("RegExp"))), args);
  }
  std::string Text(const Value& v) { return vm.ToString(v).ToUtf8(); }
  std::string Call(const Value& obj, const char* method, std::vector<Value> args) {
    return Text(vm.CallMethod(obj, method, args));
  }
  Value S(const char* utf8) { return Value::Ascii(utf8); }

  Vm vm;
};

TEST_F(RegExpClassTest, ExecGivesGroupsIndexInputAndNamesAndMovesLastIndex) {
  Value re = NewRegExp({S("(?P<w>s)(h)?e"), S("g")});
  Value subject = S("She sells seashells");
  Value m = vm.CallMethod(re, "exec", std::vector<Value>{subject});
  EXPECT_EQ(Text(m), "se,s,");  // an unmatched group is undefined
  EXPECT_EQ(Text(vm.GetProperty(m, "index")), "4");
  EXPECT_EQ(Text(vm.GetProperty(m, "input")), "She sells seashells");
  EXPECT_EQ(Text(vm.GetProperty(m, "w")), "s");
  EXPECT_EQ(Text(vm.GetProperty(re, "lastIndex")), "6");
  EXPECT_EQ(Call(re, "exec", {subject}), "se,s,");
  EXPECT_EQ(Call(re, "exec", {subject}), "she,s,h");
  EXPECT_EQ(Call(re, "exec", {subject}), "null");
  EXPECT_EQ(Text(vm.GetProperty(re, "lastIndex")), "0");
}

TEST_F(RegExpClassTest, ConstructionAndToString) {
  EXPECT_EQ(Text(NewRegExp({})), "//");
  EXPECT_EQ(Text(NewRegExp({S("a/b"), S("xsmig?")})), "/a/b/gimsx");
  Value copy = NewRegExp({NewRegExp({S("a"), S("m")})});
  EXPECT_EQ(Text(copy), "/a/m");
  EXPECT_TRUE(vm.ToBoolean(vm.GetProperty(copy, "multiline")));
  EXPECT_THROW(NewRegExp({copy, S("")}), ScriptException);
  // A pattern that does not compile never matches, and is no error.
  EXPECT_EQ(Call(NewRegExp({S("(")}), "test", {S("(")}), "false");
}

TEST_F(RegExpClassTest, StringMethods) {
  Value s = S("a1b22c");
  EXPECT_EQ(Call(s, "match", {NewRegExp({S("\\d+"), S("g")})}), "1,22");
  EXPECT_EQ(Call(s, "match", {S("b(2)")}), "b2,2");
  EXPECT_EQ(Call(s, "search", {S("\\d\\d")}), "3");
  EXPECT_EQ(Call(s, "search", {}), "-1");  // the pattern "undefined"
  EXPECT_EQ(Call(S("is undefined"), "match", {Value()}), "undefined");
  EXPECT_EQ(Call(s, "replace", {NewRegExp({S("(\\d)"), S("g")}), S("<$1>")}), "a<1>b<2><2>c");
  EXPECT_EQ(Call(s, "replace", {S("1"), S("$&")}), "a$&b22c");  // a string pattern: text as is
  EXPECT_EQ(Call(s, "split", {NewRegExp({S("(\\d+)")})}), "a,1,b,22,c");
  EXPECT_EQ(Call(s, "split", {S("2"), Value(int32_t{2})}), "a1b,");
}

TEST_F(RegExpClassTest, ReplaceFunctionGetsMatchGroupsIndexAndSubject) {
  Value fn(static_cast<Object*>(vm.NewNativeFunction(
      [](Vm& v, const Value&, std::span<const Value> args) -> Value {
        std::u16string out = u"[";
        for (const Value& a : args) out += v.ToString(a).str() + u";";
        return Value(out + u"]");
      },
      0, "f")));
  EXPECT_EQ(Call(S("xaby"), "replace", {NewRegExp({S("a(q)?(b)")}), fn}), "x[ab;;b;1;xaby;]y");
  EXPECT_EQ(Call(S("xaby"), "replace", {S("b"), fn}), "xa[b;2;xaby;]y");
}

}  // namespace
}  // namespace flashsaver::avm2
