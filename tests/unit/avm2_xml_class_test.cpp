// The XML and XMLList classes through the machine: property access, assignment, methods, `in`,
// equality and errors, as scripts reach them.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "player/avm2/builtins/xml_support.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

struct ScriptCase {
  const char* name;
  const char* source;
  // Works on the parsed XML; returns the value whose text is checked.
  std::function<Value(Vm&, const Value&)> run;
  const char* expected;
};

Value Xml(Vm& vm, const std::string& text) {
  Value arg(Str::FromUtf8(text));
  return vm.Construct(Value(static_cast<Object*>(vm.FindClass("XML"))), std::span(&arg, 1));
}

Value Markup(Vm& vm, const Value& v) { return vm.CallMethod(v, "toXMLString", {}); }

class XmlScript : public testing::TestWithParam<ScriptCase> {};

TEST_P(XmlScript, BehavesAsFlash) {
  const ScriptCase& c = GetParam();
  Vm vm;
  std::string result;
  vm.RunGuarded([&] {
    result = vm.ToString(c.run(vm, Xml(vm, c.source))).ToUtf8();
    return Value();
  });
  EXPECT_EQ(result, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XmlScript,
    testing::Values(
        ScriptCase{"ListOfChildren", "<a><b>1</b><c/><b>2</b></a>",
                   [](Vm& vm, const Value& x) { return Markup(vm, vm.GetProperty(x, "b")); },
                   "<b>1</b>\n<b>2</b>"},
        ScriptCase{"AssignmentCreates", "<a/>",
                   [](Vm& vm, const Value& x) {
                     vm.SetProperty(x, "c", Value(Str(u"v")));
                     vm.SetProperty(x, "@k", Value(int32_t{1}));
                     vm.SetProperty(vm.GetProperty(x, "c"), "d", Value(Str(u"w")));
                     return Markup(vm, x);
                   },
                   "<a k=\"1\">\n  <c>\n    v\n    <d>w</d>\n  </c>\n</a>"},
        ScriptCase{"IndexAssignmentReplacesContent", "<a><b>1</b><b>2</b></a>",
                   [](Vm& vm, const Value& x) {
                     vm.SetProperty(vm.GetProperty(x, "b"), "1", Value(Str(u"z")));
                     vm.DeleteProperty(vm.GetProperty(x, "b"), vm.PublicName("0"));
                     return Markup(vm, x);
                   },
                   "<a>\n  <b>z</b>\n</a>"},
        ScriptCase{"AppendedTextIsNamedAfterTheLastChild", "<a><m/></a>",
                   [](Vm& vm, const Value& x) {
                     Value t(Str(u"<t/>"));
                     vm.CallMethod(x, "appendChild", std::span(&t, 1));
                     return Markup(vm, x);
                   },
                   "<a>\n  <m/>\n  <m>&lt;t/&gt;</m>\n</a>"},
        ScriptCase{"DescendantsAndMethods", "<a><b><c>1</c></b><c>2</c></a>",
                   [](Vm& vm, const Value& x) {
                     Value all = XmlDescendants(vm, x, vm.PublicName("c"));
                     return Value(vm.ToString(vm.CallMethod(all, "length", {})).str() + u" " +
                                  vm.ToString(vm.CallMethod(x, "name", {})).str() + u" " +
                                  vm.ToString(vm.GetProperty(x, "c")).str());
                   },
                   "2 a 2"},
        ScriptCase{"InAndEquality", "<a><b>1</b></a>",
                   [](Vm& vm, const Value& x) {
                     Value b = vm.GetProperty(x, "b");
                     std::string r;
                     r += vm.HasProperty(x, vm.PublicName("b")) ? "1" : "0";
                     r += vm.HasProperty(x, vm.PublicName("z")) ? "1" : "0";
                     r += vm.HasProperty(x, vm.PublicName("toString")) ? "1" : "0";
                     r += vm.LooseEquals(b, Value(int32_t{1})) ? "1" : "0";
                     r += vm.LooseEquals(x, Xml(vm, "<a><b>1</b></a>")) ? "1" : "0";
                     r += StrictEquals(vm.GetProperty(b, "0"), vm.GetProperty(b, "0")) ? "1" : "0";
                     return Value(Str::FromUtf8(r));
                   },
                   "101111"},
        ScriptCase{"SettingsChangeOutput", "<a><b>1</b></a>",
                   [](Vm& vm, const Value& x) {
                     Value cls(static_cast<Object*>(vm.FindClass("XML")));
                     vm.SetProperty(cls, "prettyPrinting", Value(false));
                     std::u16string compact = vm.ToString(Markup(vm, x)).str();
                     vm.CallMethod(cls, "setSettings", {});
                     return Value(compact + u"|" + vm.ToString(Markup(vm, x)).str());
                   },
                   "<a><b>1</b></a>|<a>\n  <b>1</b>\n</a>"},
        ScriptCase{"LiteralEscaping", "<a/>",
                   [](Vm& vm, const Value&) {
                     return Value(
                         XmlEscapeForLiteral(vm, Value(Str(u" a<b ")), false).AsStr().str() + u"|" +
                         XmlEscapeForLiteral(vm, Value(Str(u"\n\"")), true).AsStr().str() + u"|" +
                         XmlEscapeForLiteral(vm, Value(5.5), false).AsStr().str());
                   },
                   "a&lt;b|&#xA;&quot;|5.5"},
        ScriptCase{"DefaultNamespaceAppliesToParseAndLookup", "<a/>",
                   [](Vm& vm, const Value&) {
                     XmlSetDefaultNamespace(vm, Value(Str(u"U")));
                     Value x = Xml(vm, "<a><b>1</b></a>");
                     Value uri = vm.GetProperty(vm.CallMethod(x, "name", {}), "uri");
                     return Value(vm.ToString(uri).str() + u" " +
                                  vm.ToString(vm.GetProperty(x, "b")).str() + u" " +
                                  vm.ToString(Markup(vm, vm.GetProperty(x, "b"))).str());
                   },
                   "U 1 <b xmlns=\"U\">1</b>"},
        ScriptCase{"ListsAddEnumerateAndGuardOneItemMethods", "<a><b/><c/></a>",
                   [](Vm& vm, const Value& x) {
                     Value sum;
                     XmlAdd(vm, vm.GetProperty(x, "b"), vm.GetProperty(x, "c"), sum);
                     std::u16string r;
                     for (uint32_t i = 0; XmlNextIndex(sum, i, i) && i;) {
                       Value item;
                       XmlNextValue(vm, sum, i, item);
                       r += vm.ToString(vm.CallMethod(item, "localName", {})).str();
                     }
                     try {
                       vm.CallMethod(sum, "name", {});
                     } catch (const ScriptException& e) {
                       r += u" " + vm.ToString(e.value).str();
                     }
                     return Value(r);
                   },
                   "bc TypeError: Error #1086: The name method only works on lists containing one "
                   "item."},
        ScriptCase{"ParseErrorIsATypeError", "<a/>",
                   [](Vm& vm, const Value&) {
                     try {
                       Xml(vm, "<a><b></a>");
                     } catch (const ScriptException& e) {
                       return Value(vm.ToString(e.value));
                     }
                     return Value(Str(u"no error"));
                   },
                   "TypeError: Error #1085: The element type \"b\" must be terminated by the "
                   "matching end-tag \"</b>\"."}),
    [](const testing::TestParamInfo<ScriptCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace flashsaver::avm2
