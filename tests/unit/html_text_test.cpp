// A field's HTML read in and written back as the player writes it: the paragraphs that </p>
// makes only in multiline fields, the empty runs that breaks leave, and condensed whitespace.
#include <gtest/gtest.h>

#include <string>

#include "player/text/styled_text.h"

namespace flashsaver {
namespace {

TEST(HtmlText, WrittenBackAsThePlayerWritesIt) {
  constexpr const char* kP =
      "<P ALIGN=\"LEFT\"><FONT FACE=\"Sans\" SIZE=\"12\" COLOR=\"#000000\" "
      "LETTERSPACING=\"0\" KERNING=\"0\">";
  constexpr const char* kEnd = "</FONT></P>";
  struct Case {
    const char* label;
    const char* html;
    bool multiline, condense;
    std::string out;
  } cases[] = {
      {"empty", "", true, false, ""},
      {"one line break", "\n", false, false, std::string(kP) + kEnd},
      {"closing p ends a paragraph in a multiline field", "<p>a</p>b", true, false,
       std::string(kP) + "a" + kEnd + kP + "b" + kEnd},
      {"but not in a single-line one", "<p>a</p>b", false, false, std::string(kP) + "ab" + kEnd},
      {"bold break writes an empty bold run", "<b>\n</b>", false, false,
       std::string(kP) + "<B></B>" + kEnd},
      {"nested differences only", "a<font color='#ff0000'><i>b</i></font>", false, false,
       std::string(kP) + "a<FONT COLOR=\"#FF0000\"><I>b</I></FONT>" + kEnd},
      {"entities escaped", "&lt;&amp;&quot;", false, false,
       std::string(kP) + "&lt;&amp;&quot;" + kEnd},
      {"condensed whitespace, across tags (SWF 8)", "  a \n\t b<b> \n </b>", false, true,
       std::string(kP) + "a b<B> </B>" + kEnd},
      {"<br> breaks no single-line field", "a<br>b", false, false, std::string(kP) + "ab" + kEnd},
      {"<p> leaves a paragraph with text as it is", " <p align='right'>a</p>", true, false,
       std::string(kP) + " a" + kEnd},
      {"a FONT that differs from the open one nests in it",
       "a<font color='#ff0000'> <font size='20'>b</font></font>", false, false,
       std::string(kP) + "a<FONT COLOR=\"#FF0000\"> <FONT SIZE=\"20\">b</FONT></FONT>" + kEnd},
      {"margins in TEXTFORMAT", "<textformat leftmargin='3'>x</textformat>", false, false,
       std::string("<TEXTFORMAT LEFTMARGIN=\"3\">") + kP + "x" + kEnd + "</TEXTFORMAT>"},
  };
  TextFormat format;
  format.face = "Sans";
  format.size = 240;
  format.colour = {0, 0, 0, 255};
  for (const Case& c : cases) {
    const StyledText text = ParseHtml(c.html, format, {}, c.condense, c.multiline);
    EXPECT_EQ(WriteHtml(text, format, {}), c.out) << c.label;
  }
  // Before SWF 8 each run between tags is condensed on its own, and blank runs go.
  const StyledText older = ParseHtml("  a \n\t b<b> \n </b>", format, {}, true, false, nullptr, 7);
  EXPECT_EQ(WriteHtml(older, format, {}), std::string(kP) + " a b" + kEnd);
}

TEST(HtmlText, StyleSheetStylesTagsAndClasses) {
  constexpr const char* kP =
      "<P ALIGN=\"LEFT\"><FONT FACE=\"Sans\" SIZE=\"12\" COLOR=\"#000000\" "
      "LETTERSPACING=\"0\" KERNING=\"0\">";
  constexpr const char* kRedP =
      "<P ALIGN=\"LEFT\"><FONT FACE=\"Sans\" SIZE=\"12\" COLOR=\"#FF0000\" "
      "LETTERSPACING=\"0\" KERNING=\"0\">";
  constexpr const char* kEnd = "</FONT></P>";
  StyleTable table;
  TextStyle red, blue, centred, hidden;
  red.colour = Rgba{255, 0, 0, 255};
  blue.colour = Rgba{0, 0, 255, 255};
  centred.align = TextAlign::kCenter;
  hidden.display = TextStyle::Display::kNone;
  table.styles = {{".classRed", red}, {"a", blue},    {"span", blue},
                  {"font", blue},     {"p", centred}, {".gone", hidden}};
  struct Case {
    const char* label;
    const char* html;
    std::string out;
  } cases[] = {
      {"class matched whatever its case", "<span class=\"CLASSRED\">a</span>b",
       std::string(kRedP) + "a<FONT COLOR=\"#000000\">b</FONT>" + kEnd},
      {"class names are not trimmed", "<span class=\" classRed\">a</span>",
       std::string(kP) + "a" + kEnd},
      {"span and font styles style nothing", "<span>a</span><font>b</font>",
       std::string(kP) + "ab" + kEnd},
      {"a class comes after the tag's style", "<a class=\"classRed\">a</a>",
       std::string(kRedP) + "a" + kEnd},
      {"p takes its tag's alignment", "<p>a</p>",
       "<P ALIGN=\"CENTER\"><FONT FACE=\"Sans\" SIZE=\"12\" COLOR=\"#000000\" "
       "LETTERSPACING=\"0\" KERNING=\"0\">a</FONT></P>"},
      {"an align attribute wins over the style", "<p align=\"right\">a</p>",
       "<P ALIGN=\"RIGHT\"><FONT FACE=\"Sans\" SIZE=\"12\" COLOR=\"#000000\" "
       "LETTERSPACING=\"0\" KERNING=\"0\">a</FONT></P>"},
      {"display none hides the text", "a<span class=\"gone\">b<b>c</b></span>d",
       std::string(kP) + "ad" + kEnd},
  };
  TextFormat format;
  format.face = "Sans";
  format.size = 240;
  format.colour = {0, 0, 0, 255};
  for (const Case& c : cases) {
    const StyledText text = ParseHtml(c.html, format, {}, false, false, &table);
    EXPECT_EQ(WriteHtml(text, format, {}), c.out) << c.label;
  }
}

}  // namespace
}  // namespace flashsaver
