// The E4X tree: parsing, writing and the model's edits, checked against Flash's output.
#include <gtest/gtest.h>

#include <string>

#include "player/avm1/text_util.h"
#include "player/avm2/xml_ops.h"
#include "player/avm2/xml_parser.h"
#include "player/avm2/xml_writer.h"

namespace flashsaver::avm2 {
namespace {

using avm1::FromUtf16;
using avm1::ToUtf16;

XmlSettings Plain() {
  XmlSettings settings;
  settings.pretty_printing = false;
  return settings;
}

XmlSettings KeepAll() {
  XmlSettings settings;
  settings.ignore_comments = false;
  settings.ignore_processing_instructions = false;
  settings.ignore_whitespace = false;
  return settings;
}

XmlNode::Ptr Parse(const std::string& text, const XmlSettings& settings = {},
                   const std::string& default_uri = "") {
  XmlParseResult result = ParseXmlValue(ToUtf16(text), settings, ToUtf16(default_uri));
  EXPECT_TRUE(result.ok()) << text << ": " << FromUtf16(result.error.message);
  return result.node;
}

struct WriteCase {
  const char* input;
  XmlSettings settings;
  const char* expected;
};

class XmlWrite : public testing::TestWithParam<WriteCase> {};

TEST_P(XmlWrite, ParsesAndWritesAsFlash) {
  const WriteCase& c = GetParam();
  XmlNode::Ptr node = Parse(c.input, c.settings);
  ASSERT_TRUE(node);
  EXPECT_EQ(FromUtf16(XmlToXmlString(*node, c.settings)), c.expected);
}

XmlSettings Indent(int indent) {
  XmlSettings settings;
  settings.pretty_indent = indent;
  return settings;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XmlWrite,
    testing::Values(
        WriteCase{"<a><b>x</b><c/></a>", {}, "<a>\n  <b>x</b>\n  <c/>\n</a>"},
        WriteCase{"<a><b><c>t</c></b></a>", Indent(4),
                  "<a>\n    <b>\n        <c>t</c>\n    </b>\n</a>"},
        WriteCase{"<a><b/></a>", Indent(-1), "<a><b/></a>"},
        WriteCase{"<a>  spaced  <b/></a>", KeepAll(), "<a>\n  spaced\n  <b/>\n</a>"},
        WriteCase{"<a>  spaced  </a>", KeepAll(), "<a>spaced</a>"},
        WriteCase{"<foo><bar x=\"a&quot;b\">&gt;&amp;&lt;</bar></foo>", Plain(),
                  "<foo><bar x=\"a&quot;b\">&gt;&amp;&lt;</bar></foo>"},
        WriteCase{"<a v='&#x9;&#10;&lt;&gt;'/>", {}, "<a v=\"&#x9;&#xA;&lt;>\"/>"},
        WriteCase{"<a>&#x41;&#66;&foo;&amp</a>", {}, "<a>AB&amp;foo;&amp;amp</a>"},
        WriteCase{"<a><![CDATA[<&>]]></a>", {}, "<a><![CDATA[<&>]]></a>"},
        WriteCase{"<x:a xmlns:x=\"X\" x:k=\"1\"><x:b/></x:a>",
                  {},
                  "<x:a x:k=\"1\" xmlns:x=\"X\">\n  <x:b/>\n</x:a>"},
        WriteCase{"<a xmlns=\"U\"><b/></a>", {}, "<a xmlns=\"U\">\n  <b/>\n</a>"},
        WriteCase{"<a xmlns:p=\"P\"><b xmlns:p=\"Q\"><p:c xmlns:p=\"P\"/></b></a>", Plain(),
                  "<a xmlns:p=\"P\"><b xmlns:p=\"Q\"><p:c xmlns:p=\"P\"/></b></a>"},
        WriteCase{"<?xml version=\"1.0\"?><!DOCTYPE a><!--c--><a/>", {}, "<a/>"},
        WriteCase{"<a><!--c--><?pi v?></a>", KeepAll(), "<a>\n  <!--c-->\n  <?pi v?>\n</a>"},
        WriteCase{"<? processing instruction! ?>", KeepAll(), "<? processing instruction! ?>"},
        WriteCase{"<A></A >", {}, "<A/>"}));

struct ErrorCase {
  const char* input;
  int code;
  const char* message;
};

class XmlErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(XmlErrors, ReportFlashsTypeError) {
  const ErrorCase& c = GetParam();
  XmlParseResult result = ParseXmlValue(ToUtf16(c.input), {}, u"");
  EXPECT_FALSE(result.node);
  EXPECT_EQ(result.error.code, c.code);
  if (*c.message) {
    EXPECT_EQ(FromUtf16(result.error.message), c.message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XmlErrors,
    testing::Values(
        ErrorCase{"<a><b></a>", 1085,
                  "The element type \"b\" must be terminated by the matching end-tag \"</b>\"."},
        ErrorCase{"<a>", 1085, ""}, ErrorCase{"<a/><b/>", 1088, ""}, ErrorCase{"x<a/>", 1088, ""},
        ErrorCase{"</a>", 1088, ""},
        ErrorCase{"<a", 1090, "XML parser failure: element is malformed."},
        ErrorCase{"<a b/>", 1090, ""}, ErrorCase{"<>", 1090, ""},
        ErrorCase{"<a><![CDATA[x</a>", 1091, ""}, ErrorCase{"<?xml v", 1092, ""},
        ErrorCase{"<!DOCTYPE a <b>", 1093, ""}, ErrorCase{"<!-- x", 1094, ""},
        ErrorCase{"<a b='1></a>", 1095, ""}, ErrorCase{"<? x", 1097, ""},
        ErrorCase{"<a b='1' b='2'/>", 1104, ""},
        ErrorCase{"<p:a/>", 1083, "The prefix \"p\" for element \"a\" is not bound."}));

TEST(XmlParse, ValueRulesAroundTheRootElement) {
  XmlNode::Ptr empty = Parse("");
  EXPECT_EQ(empty->kind(), XmlKind::kText);
  XmlNode::Ptr text = Parse("  hello  ");
  EXPECT_EQ(FromUtf16(text->value()), "hello");
  XmlNode::Ptr element = Parse(" <!--c--> <a/> ", KeepAll());
  EXPECT_TRUE(element->IsElement());
  EXPECT_FALSE(element->parent());
}

TEST(XmlParse, NamespacesResolveByPrefixAndDefault) {
  XmlNode::Ptr a = Parse("<a xmlns:p='P' p:x='1' y='2'><p:b/><c/></a>", {}, "D");
  EXPECT_EQ(FromUtf16(a->name()->ns.uri), "D");
  EXPECT_EQ(FromUtf16(a->attributes()[0]->name()->ns.uri), "P");
  EXPECT_EQ(FromUtf16(a->attributes()[1]->name()->ns.uri), "");
  EXPECT_EQ(FromUtf16(a->children()[0]->name()->ns.uri), "P");
  // Written alone, a child declares what is in scope and what it uses.
  EXPECT_EQ(FromUtf16(XmlToXmlString(*a->children()[0], {})), "<p:b xmlns:p=\"P\"/>");
  EXPECT_EQ(FromUtf16(XmlToXmlString(*a->children()[1], {})), "<c xmlns:p=\"P\" xmlns=\"D\"/>");
}

TEST(XmlModel, CopiesCompareEqualAndStayApart) {
  XmlNode::Ptr a = Parse("<a y='2' x='1'><b>t</b><!--c--></a>", KeepAll());
  XmlNode::Ptr copy = a->DeepCopy({});
  EXPECT_EQ(copy->children().size(), 1u);  // the comment is dropped under ignoreComments
  EXPECT_FALSE(a->Equals(*copy));
  copy = a->DeepCopy(KeepAll());
  EXPECT_TRUE(a->Equals(*copy));
  EXPECT_TRUE(Parse("<a x='1' y='2'><b>t</b><!--c--></a>", KeepAll())->Equals(*a));
  copy->children()[0]->children()[0]->set_value(u"u");
  EXPECT_FALSE(a->Equals(*copy));
  EXPECT_EQ(copy->children()[1]->ChildIndex(), 1);
  EXPECT_EQ(copy->children()[1]->parent(), copy);
}

TEST(XmlModel, RedeclaredPrefixIsReplacedAndNamesLoseIt) {
  XmlNode::Ptr a = Parse("<p:a xmlns:p='P'/>");
  a->AddInScopeNamespace(XmlNamespace{u"p", u"Q"});
  ASSERT_EQ(a->namespaces().size(), 1u);
  EXPECT_EQ(FromUtf16(a->namespaces()[0].uri), "Q");
  EXPECT_FALSE(a->name()->ns.prefix);
  EXPECT_EQ(FromUtf16(XmlToXmlString(*a, {})), "<a xmlns:p=\"Q\" xmlns=\"P\"/>");
}

TEST(XmlModel, HostileDepthIsRefusedOrBounded) {
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  EXPECT_EQ(ParseXmlValue(ToUtf16(deep), {}, u"").error.code, 1023);
  // A tree built deeper than that by edits still writes, copies and frees without recursion
  // past the limit.
  XmlNode::Ptr root = XmlNode::CreateElement(XmlName{u"a", {}});
  XmlNode::Ptr tip = root;
  for (int i = 0; i < 200000; ++i) {
    XmlNode::Ptr next = XmlNode::CreateElement(XmlName{u"a", {}});
    tip->AppendChild(next);
    tip = next;
  }
  tip.reset();
  EXPECT_FALSE(XmlToXmlString(*root, Plain()).empty());
  EXPECT_TRUE(root->DeepCopy({})->Equals(*root->DeepCopy({})));
}

XmlQuery Child(const char16_t* local) { return XmlQuery{false, false, local, true, {}, {}}; }
XmlQuery Attr(const char16_t* local) { return XmlQuery{true, false, local, true, {}, {}}; }
XmlValue Text(const char16_t* text) { return XmlValue{XmlValue::Kind::kText, text, {}}; }

TEST(XmlOps, AssignmentCreatesReplacesAndCollapses) {
  XmlNode::Ptr x = Parse("<a><b>1</b><c/><b>2</b></a>");
  // Matching children collapse into the first; a new name is appended.
  EXPECT_FALSE(XmlPut(*x, Child(u"b"), Text(u"v"), {}));
  EXPECT_FALSE(XmlPut(*x, Child(u"d"), Text(u"w"), {}));
  EXPECT_FALSE(XmlPut(*x, Attr(u"k"), Text(u"\"q"), {}));
  EXPECT_EQ(FromUtf16(XmlToXmlString(*x, Plain())), "<a k=\"&quot;q\"><b>v</b><c/><d>w</d></a>");
  EXPECT_EQ(XmlPut(*x, Child(u"0"), Text(u"v"), {})->code, 1087);
  // A node is stored as a copy; putting an ancestor inside is a cycle.
  XmlValue self{XmlValue::Kind::kNode, {}, {x}};
  EXPECT_FALSE(XmlPut(*x->children()[1], Child(u"e"), self, {}));
  EXPECT_EQ(XmlReplace(*x->children()[1], 0, self, {})->code, 1118);
  XmlDelete(*x, Child(u"c"));
  XmlDelete(*x, Attr(u"k"));
  EXPECT_EQ(FromUtf16(XmlToXmlString(*x, Plain())), "<a><b>v</b><d>w</d></a>");
}

TEST(XmlOps, DescendantsAndNormalize) {
  XmlNode::Ptr x = Parse("<a i='1'><b i='2'><b i='3'/></b>t<c/></a>");
  EXPECT_EQ(XmlDescendants(*x, Child(u"b")).size(), 2u);
  EXPECT_EQ(XmlDescendants(*x, Attr(u"i")).size(), 3u);
  XmlQuery any = Child(u"");
  any.any_local = true;
  EXPECT_EQ(XmlDescendants(*x, any).size(), 4u);
  x->InsertChild(1, XmlNode::Create(XmlKind::kText, u"s"));
  x->InsertChild(0, XmlNode::Create(XmlKind::kText, u" \n "));
  x->InsertChild(3, XmlNode::Create(XmlKind::kCData, u"c"));
  XmlNormalize(*x);
  ASSERT_EQ(x->children().size(), 3u);
  EXPECT_EQ(FromUtf16(x->children()[1]->value()), "sct");
  // A list's markup puts each item on its own line even without pretty printing.
  EXPECT_EQ(FromUtf16(XmlListToXmlString(XmlGet(*x, Child(u"c")), Plain())), "<c/>");
  EXPECT_EQ(FromUtf16(XmlListToXmlString(x->children(), Plain())),
            "<b i=\"2\"><b i=\"3\"/></b>\nsct\n<c/>");
  EXPECT_EQ(FromUtf16(XmlListToString(x->children(), Plain())),
            FromUtf16(XmlListToXmlString(x->children(), Plain())));
}

}  // namespace
}  // namespace flashsaver::avm2
