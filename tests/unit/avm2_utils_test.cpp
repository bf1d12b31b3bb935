// flash.utils and flash.xml through the machine: Proxy routing, the timer queue's order, the
// lenient XMLDocument reader and the multi-byte escapes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/builtins/error.h"
#include "player/avm2/builtins/timers.h"
#include "player/avm2/vm.h"
#include "player/avm2/xml_dom_parser.h"

namespace flashsaver::avm2 {
namespace {

std::vector<std::string> g_log;

std::string Describe(Vm& vm, const Value& v) {
  if (auto* q = dynamic_cast<QNameObject*>(v.AsObject()))
    return "QName(" + (q->ns ? q->ns->uri.ToUtf8() : std::string("null")) + "," +
           q->local.ToUtf8() + ")";
  return vm.TypeOf(v).ToUtf8() + ":" + vm.ToString(v).ToUtf8();
}

template <const char* kName>
Value Record(Vm& vm, const Value&, std::span<const Value> args) {
  std::string line = kName;
  for (const Value& a : args) line += " " + Describe(vm, a);
  g_log.push_back(line);
  return Value(true);
}

constexpr char kGet[] = "get";
constexpr char kSet[] = "set";
constexpr char kCall[] = "call";
constexpr char kHas[] = "has";
constexpr char kDelete[] = "delete";

NativeMember ProxyOverride(const char* name, NativeFn fn) {
  NativeMember m = Method(name, fn, 1);
  m.ns = MemberNs::kFlashProxy;
  return m;
}

// A Proxy subclass whose flash_proxy methods log their arguments, with one ordinary method.
const NativeClass& LoggingProxy() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.name = "LoggingProxy";
    c.super_name = "flash.utils::Proxy";
    c.instance = {ProxyOverride("getProperty", Record<kGet>),
                  ProxyOverride("setProperty", Record<kSet>),
                  ProxyOverride("callProperty", Record<kCall>),
                  ProxyOverride("hasProperty", Record<kHas>),
                  ProxyOverride("deleteProperty", Record<kDelete>),
                  Method("own", Record<kCall>)};
    return c;
  }();
  return spec;
}

struct ProxyCase {
  const char* name;
  void (*access)(Vm& vm, const Value& p);
  const char* logged;  // empty: the proxy is not asked
};

class ProxyRouting : public testing::TestWithParam<ProxyCase> {};

TEST_P(ProxyRouting, AsksTheProxyOnlyForNamesItsTraitsLack) {
  Vm vm;
  g_log.clear();
  Value p = vm.Construct(Value(static_cast<Object*>(vm.DefineNativeClass(LoggingProxy()))), {});
  GetParam().access(vm, p);
  std::string got = g_log.empty() ? "" : g_log.back();
  EXPECT_EQ(got, GetParam().logged);
}

Name InNs(Vm& vm, const char16_t* uri, const char16_t* local) {
  Name n;
  n.local = Str(local);
  n.set.push_back(vm.InternNs(NsKind::kPublic, Str(uri)));
  return n;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProxyRouting,
    testing::Values(
        ProxyCase{"Get", [](Vm& vm, const Value& p) { vm.GetProperty(p, "a"); }, "get QName(,a)"},
        ProxyCase{"GetInNamespace",
                  [](Vm& vm, const Value& p) { vm.GetProperty(p, InNs(vm, u"urn:x", u"b")); },
                  "get QName(urn:x,b)"},
        ProxyCase{"AnyNamespaceIsNull",
                  [](Vm& vm, const Value& p) {
                    Name n;
                    n.local = Str(u"own");
                    n.any_ns = true;
                    vm.GetProperty(p, n);
                  },
                  "get QName(null,own)"},
        ProxyCase{"Set", [](Vm& vm, const Value& p) { vm.SetProperty(p, "a", Value(1)); },
                  "set QName(,a) number:1"},
        ProxyCase{"CallPassesArguments",
                  [](Vm& vm, const Value& p) {
                    Value a[2] = {Value(2), Value(Str(u"s"))};
                    vm.CallProperty(p, vm.PublicName("f"), a);
                  },
                  "call QName(,f) number:2 string:s"},
        ProxyCase{"TraitMethodIsCalledDirectly",
                  [](Vm& vm, const Value& p) { vm.CallProperty(p, vm.PublicName("own"), {}); },
                  "call"},
        ProxyCase{"InPassesAString",
                  [](Vm& vm, const Value& p) { vm.HasProperty(p, vm.PublicName("own")); },
                  "has string:own"},
        ProxyCase{"Delete",
                  [](Vm& vm, const Value& p) { vm.DeleteProperty(p, vm.PublicName("d")); },
                  "delete QName(,d)"}),
    [](const testing::TestParamInfo<ProxyCase>& i) { return std::string(i.param.name); });

TEST(Avm2Proxy, BaseMethodsThrowWithFlashsStack) {
  Vm vm;
  Value p = vm.Construct(Value(static_cast<Object*>(vm.FindClass("flash.utils::Proxy"))), {});
  try {
    vm.GetProperty(p, "x");
    FAIL() << "no error";
  } catch (const ScriptException& e) {
    auto* err = dynamic_cast<ErrorObject*>(e.value.AsObject());
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(vm.ToString(e.value).ToUtf8(),
              "Error: Error #2088: The Proxy class does not implement getProperty. It must be "
              "overridden by a subclass.");
    EXPECT_EQ(err->stack.rfind("\n\tat Error$/throwError()\n\tat flash.utils::Proxy/", 0), 0u);
  }
}

// ---- Timers ------------------------------------------------------------------------------------

template <const char* kName>
Value Tick(Vm&, const Value&, std::span<const Value>) {
  g_log.push_back(kName);
  return Value();
}
constexpr char kA[] = "a";
constexpr char kB[] = "b";
constexpr char kC[] = "c";

Value CallGlobal(Vm& vm, const char* name, std::vector<Value> args) {
  Name n = vm.PublicName(name);
  n.set.push_back(vm.InternNs(NsKind::kPublic, Str(u"flash.utils")));
  Value f;
  EXPECT_TRUE(vm.FindDefinition(n, f, nullptr));
  return vm.Call(f, Value(), args);
}

Value Fn(Vm& vm, NativeFn fn) {
  return Value(static_cast<Object*>(vm.NewNativeFunction(fn, 0, "f")));
}

TEST(Avm2Timers, RunDueOnesEarliestFirstOncePerCall) {
  Vm vm;
  g_log.clear();
  CallGlobal(vm, "setTimeout", {Fn(vm, Tick<kA>), Value(50)});
  CallGlobal(vm, "setTimeout", {Fn(vm, Tick<kB>), Value(20)});
  Value id = CallGlobal(vm, "setInterval", {Fn(vm, Tick<kC>), Value(30)});
  RunDueTimers(vm, 10);
  EXPECT_TRUE(g_log.empty());
  RunDueTimers(vm, 100);  // the interval is due three times over but runs once
  EXPECT_EQ(g_log, (std::vector<std::string>{"b", "c", "a"}));
  RunDueTimers(vm, 129);
  EXPECT_EQ(g_log.size(), 3u);
  RunDueTimers(vm, 130);
  EXPECT_EQ(g_log.back(), "c");
  CallGlobal(vm, "clearInterval", {id});
  RunDueTimers(vm, 1000);
  EXPECT_EQ(g_log.size(), 4u);
}

TEST(Avm2Timers, TimerCountsToItsRepeatCountAndRejectsBadDelays) {
  Vm vm;
  g_log.clear();
  Value cls = Value(static_cast<Object*>(vm.FindClass("flash.utils::Timer")));
  Value args[2] = {Value(10), Value(2)};
  Value t = vm.Construct(cls, args);
  Value listen[2] = {Value(Str(u"timerComplete")), Fn(vm, Tick<kA>)};
  vm.CallMethod(t, "addEventListener", listen);
  vm.CallMethod(t, "start", {});
  for (double ms = 10; ms <= 100; ms += 10) RunDueTimers(vm, ms);
  EXPECT_EQ(vm.ToInt32(vm.GetProperty(t, "currentCount")), 2);
  EXPECT_FALSE(Vm::ToBoolean(vm.GetProperty(t, "running")));
  EXPECT_EQ(g_log, std::vector<std::string>{"a"});
  for (double bad : {-1.0, std::numeric_limits<double>::infinity()}) {
    Value a[1] = {Value(bad)};
    EXPECT_THROW(vm.Construct(cls, a), ScriptException);
    EXPECT_THROW(vm.SetProperty(t, "delay", Value(bad)), ScriptException);
  }
}

// ---- flash.xml and the escapes -----------------------------------------------------------------

struct TextCase {
  const char* name;
  const char* input;
  const char* expected;
};

class XmlDocumentText : public testing::TestWithParam<TextCase> {};

TEST_P(XmlDocumentText, ParsesAndPrintsAsFlash) {
  Vm vm;
  std::string input = GetParam().input;
  bool ignore_white = input.starts_with("!");
  if (ignore_white) input.erase(0, 1);
  Value doc = vm.Construct(Value(static_cast<Object*>(vm.FindClass("flash.xml::XMLDocument"))), {});
  vm.SetProperty(doc, "ignoreWhite", Value(ignore_white));
  Value src[1] = {Value(Str::FromUtf8(input))};
  vm.CallMethod(doc, "parseXML", src);
  EXPECT_EQ(vm.ToString(doc).ToUtf8(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XmlDocumentText,
    testing::Values(
        TextCase{"EmptyElementsCloseShort", "<a><b></b></a>", "<a><b /></a>"},
        TextCase{"EntitiesDecodeAndReescape", "<a t=\"&lt;&#65;&#x42;\">&amp;&apos;</a>",
                 "<a t=\"&lt;AB\">&amp;&apos;</a>"},
        TextCase{"CommentsSplitTextAndVanish", "x<!-- c -->y", "xy"},
        TextCase{"CdataIsTextKeptUnderIgnoreWhite", "!<a> <![CDATA[ ]]> </a>", "<a> </a>"},
        TextCase{"DeclarationsPrintFirst", "<?xml version=\"1.0\"?><!DOCTYPE a><a/>",
                 "<?xml version=\"1.0\"?><!DOCTYPE a><a />"},
        TextCase{"UnclosedAndStrayTagsAreTolerated", "<a><b>t</c></a", "<a><b>t</b></a>"}),
    [](const testing::TestParamInfo<TextCase>& i) { return std::string(i.param.name); });

class MultiByteEscape : public testing::TestWithParam<TextCase> {};

TEST_P(MultiByteEscape, FollowsFlash) {
  Vm vm;
  std::string fn = GetParam().name;
  fn = fn.starts_with("Escape") ? "escapeMultiByte" : "unescapeMultiByte";
  Value r = CallGlobal(vm, fn.c_str(), {Value(Str::FromUtf8(GetParam().input))});
  EXPECT_EQ(vm.ToString(r).ToUtf8(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MultiByteEscape,
    testing::Values(TextCase{"EscapeKeepsOnlyLettersAndDigits", "a-b.\xC3\xA9", "a%2Db%2E%C3%A9"},
                    TextCase{"UnescapeDecodesUtf8", "%E4%B8%ADx",
                             "\xE4\xB8\xAD"
                             "x"},
                    TextCase{"UnescapeDropsBrokenEscapes", "%GA%AG%", "A"},
                    TextCase{"UnescapeFallsBackToLatin1", "%F0%9F", "\xC3\xB0\xC2\x9F"},
                    TextCase{"UnescapeStopsAtNul", "P%00Q", "P"}),
    [](const testing::TestParamInfo<TextCase>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace flashsaver::avm2
