// XML through the script machine's own calls: parse status, round trips, entity handling, tree
// edits that must refuse cycles, and nesting deep enough to overflow a recursive walker.
#include <gtest/gtest.h>

#include <string>

#include "player/avm1/builtins/builtins.h"
#include "player/avm1/heap.h"
#include "player/avm1/vm.h"

namespace flashsaver::avm1 {
namespace {

struct XmlMachine {
  NullHost host;
  Vm vm{host, 8};
  Object* Parse(const std::string& src, bool ignore_white = false) {
    Object* doc = vm.Construct(vm.GetMember(vm.global(), "XML"), {}).AsObject();
    vm.SetMember(doc, "ignoreWhite", ignore_white);
    Value arg[] = {Value(src)};
    vm.CallMethod(doc, "parseXML", arg);
    return doc;
  }
  std::string Str(Object* o) { return vm.ToString(vm.CallMethod(o, "toString", {})); }
  double Status(Object* doc) { return vm.ToNumber(vm.GetMember(doc, "status")); }
};

TEST(Avm1Xml, ParseStatusAndRoundTrip) {
  struct Case {
    const char* label;
    const char* src;
    double status;
    const char* out;  // null: not compared
  } cases[] = {
      {"empty element", "<a/>", 0, "<a />"},
      {"nested with attribute", "<a x='1'><b>t</b></a>", 0, "<a x=\"1\"><b>t</b></a>"},
      {"named entities decoded then escaped", "<a>&lt;&amp;&quot;&apos;&gt;</a>", 0,
       "<a>&lt;&amp;&quot;&apos;&gt;</a>"},
      {"unknown entity kept", "<a>&thing;</a>", 0, "<a>&amp;thing;</a>"},
      {"comment dropped", "<a><!-- c --></a>", 0, "<a />"},
      {"cdata as text", "<a><![CDATA[<x>]]></a>", 0, "<a>&lt;x&gt;</a>"},
      {"declaration kept", "<?xml version=\"1.0\"?><a/>", 0, "<?xml version=\"1.0\"?><a />"},
      {"missing end tag", "<a><b></b>", -9, nullptr},
      {"end tag without start", "<a></b>", -10, nullptr},
      {"unterminated comment", "<a><!-- x", -5, nullptr},
      {"unterminated attribute", "<a x=\"1>", -8, nullptr},
      {"unterminated cdata", "<![CDATA[x", -2, nullptr},
  };
  for (const Case& c : cases) {
    XmlMachine m;
    Object* doc = m.Parse(c.src);
    EXPECT_EQ(m.Status(doc), c.status) << c.label;
    if (c.out) {
      EXPECT_EQ(m.Str(doc), c.out) << c.label;
    }
  }
}

TEST(Avm1Xml, IgnoreWhiteDropsOnlyBlankText) {
  XmlMachine m;
  EXPECT_EQ(m.Str(m.Parse("<a>\n  <b> x </b>\n</a>", true)), "<a><b> x </b></a>");
}

TEST(Avm1Xml, AppendChildRefusesCyclesAndMovesNodes) {
  XmlMachine m;
  Object* doc = m.Parse("<a><b/></a><c/>");
  Object* a = m.vm.GetMember(doc, "firstChild").AsObject();
  Object* b = m.vm.GetMember(a, "firstChild").AsObject();
  Object* c = m.vm.GetMember(doc, "lastChild").AsObject();
  Value arg_a[] = {Value(a)};
  m.vm.CallMethod(b, "appendChild", arg_a);  // a is b's parent: refused
  m.vm.CallMethod(a, "appendChild", arg_a);  // itself: refused
  Value arg_c[] = {Value(c)};
  m.vm.CallMethod(b, "appendChild", arg_c);  // moves c under b
  EXPECT_EQ(m.Str(doc), "<a><b><c /></b></a>");
  EXPECT_EQ(m.vm.ArrayLength(m.vm.GetMember(doc, "childNodes").AsObject()), 1u);
}

TEST(Avm1Xml, DeepNestingParsesSerializesAndCollects) {
  XmlMachine m;
  const int depth = 100000;
  std::string src;
  for (int i = 0; i < depth; ++i) src += "<n>";
  for (int i = 0; i < depth; ++i) src += "</n>";
  Object* doc = m.Parse(src);
  EXPECT_EQ(m.Status(doc), 0);
  EXPECT_EQ(m.Str(doc), [&] {
    std::string s;
    for (int i = 0; i < depth - 1; ++i) s += "<n>";
    s += "<n />";
    for (int i = 0; i < depth - 1; ++i) s += "</n>";
    return s;
  }());
  m.vm.Collect();
}

}  // namespace
}  // namespace flashsaver::avm1
