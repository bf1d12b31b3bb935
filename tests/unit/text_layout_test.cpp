// Edit text: HTML of the basic tags into styled text, and lines laid out with wrap, alignment,
// gutter and leading.
#include <gtest/gtest.h>

#include <string>

#include "player/display/character_library.h"
#include "player/text/text_layout.h"

namespace flashsaver {
namespace {

// Every character 10 units wide in a 100-unit EM square; ascent 80, descent 20.
class FixedFace final : public DeviceFace {
 public:
  FixedFace() { glyph_.outline.MoveTo({0, 0}), glyph_.outline.LineTo({10, -50}); }
  double em_square() const override { return 100; }
  double ascent() const override { return 80; }
  double descent() const override { return 20; }
  const DeviceGlyph* Glyph(char32_t) const override { return &glyph_; }

 private:
  DeviceGlyph glyph_{{}, 10};
};

class FixedFonts final : public DeviceFonts {
 public:
  const DeviceFace* Face(std::string_view, bool, bool) const override { return &face_; }

 private:
  FixedFace face_;
};

std::string Narrow(std::u32string_view s) { return {s.begin(), s.end()}; }

struct Laid {
  StyledText text;
  TextLayout layout;
  std::vector<std::string> Lines() const {
    std::vector<std::string> out;
    for (const LaidOutLine& l : layout.lines) {
      out.push_back(
          Narrow(std::u32string_view(text.chars).substr(l.first_char, l.end_char - l.first_char)));
    }
    return out;
  }
};

// Size 200 twips: each character 20 twips, ascent 160, descent 40.
Laid LayOut(std::string_view text, double content_width, bool wrap, ParagraphFormat para = {},
            const CharacterLibrary* library = nullptr) {
  static const FixedFonts fonts;
  TextFormat format;
  format.size = 200;
  Laid laid{PlainText(text, format, para), {}};
  laid.layout = LayOutText(laid.text, {nullptr, false, &fonts, library},
                           {0, 0, content_width + 2 * kTextGutter, wrap, false});
  return laid;
}

TEST(TextLayout, WordWrapBreaksAfterSpacesAndInsideLongWords) {
  struct Case {
    const char* text;
    double width;
    bool wrap;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"aaa bbb ccc", 150, true, {"aaa bbb ", "ccc"}},
      {"aaa bbb ccc", 150, false, {"aaa bbb ccc"}},
      {"abcdefghij", 90, true, {"abcd", "efgh", "ij"}},
      {"a\rb\r\nc\nd", 500, true, {"a", "b", "", "c", "d"}},  // \r\n breaks twice
      {"ab\r\rcd", 500, false, {"ab", "", "cd"}},
      {"x", 5, true, {"x"}},  // a line always takes its first character
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(LayOut(c.text, c.width, c.wrap).Lines(), c.lines);
  }
}

TEST(TextLayout, AlignmentMarginsIndentGutterAndLeading) {
  struct Case {
    TextAlign align;
    double left_margin, indent;
    double first_x;
  };
  // "ab cd", 100 twips wide, in 150 twips of content (beside the margin).
  const Case cases[] = {
      {TextAlign::kLeft, 0, 0, kTextGutter},
      {TextAlign::kCenter, 0, 0, kTextGutter + 25},
      {TextAlign::kRight, 0, 0, kTextGutter + 50},
      {TextAlign::kLeft, 30, 10, kTextGutter + 40},
      {TextAlign::kRight, 30, 0, kTextGutter + 30 + 50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.align));
    ParagraphFormat para;
    para.align = c.align;
    para.left_margin = c.left_margin;
    para.indent = c.indent;
    para.leading = 60;
    const Laid laid = LayOut("ab cd", 150 + c.left_margin, true, para);
    ASSERT_EQ(laid.layout.lines.size(), 1u);
    EXPECT_DOUBLE_EQ(laid.layout.lines[0].x, c.first_x);
    EXPECT_DOUBLE_EQ(laid.layout.lines[0].width, 100);
    EXPECT_DOUBLE_EQ(laid.layout.lines[0].baseline, kTextGutter + 160);
    ASSERT_FALSE(laid.layout.glyphs.empty());
    EXPECT_DOUBLE_EQ(laid.layout.glyphs[0].x, c.first_x);
    EXPECT_DOUBLE_EQ(laid.layout.glyphs[0].scale, 2);
  }
  ParagraphFormat para;
  para.leading = 60;
  const Laid two = LayOut("ab\rcd", 150, true, para);
  ASSERT_EQ(two.layout.lines.size(), 2u);
  EXPECT_DOUBLE_EQ(two.layout.lines[1].baseline, kTextGutter + 160 + 40 + 60 + 160);
  EXPECT_DOUBLE_EQ(two.layout.text_height, 2 * 200 + 60);
}

// textWidth and textHeight as scripts read them: a lone line counts its leading, an empty
// field measures nothing, trailing spaces count except on SWF 8 lines not aligned left.
TEST(TextLayout, MeasuresAsScriptsReadThem) {
  const CharacterLibrary swf7(7), swf8(8);
  struct Case {
    const char* text;
    TextAlign align;
    const CharacterLibrary* library;
    double width, height;
  };
  const Case cases[] = {
      {"ab", TextAlign::kLeft, &swf8, 40, 200 + 60},
      {"", TextAlign::kLeft, &swf8, 0, 0},
      {"ab\rcd", TextAlign::kLeft, &swf8, 40, 2 * 200 + 60},
      {"ab  ", TextAlign::kLeft, &swf8, 80, 260},
      {"ab  ", TextAlign::kRight, &swf8, 40, 260},
      {"ab  ", TextAlign::kRight, &swf7, 80, 260},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ParagraphFormat para;
    para.align = c.align;
    para.leading = 60;
    const Laid laid = LayOut(c.text, 500, false, para, c.library);
    EXPECT_DOUBLE_EQ(laid.layout.text_width, c.width);
    EXPECT_DOUBLE_EQ(laid.layout.text_height, c.height);
  }
}

TEST(HtmlText, BasicTagsAndEntities) {
  struct Case {
    const char* html;
    const char* text;
  };
  const Case cases[] = {
      {"a<br>b<BR/>c", "a\nb\nc"},
      // A closing </p> or </li> ends its paragraph, the last one too (edittext_html_swf8).
      {"<p>a</p><p>b</p>", "a\nb\n"},
      {"<p align='center'>a</p>", "a\n"},
      {"x &lt;&amp;&gt;&quot; &#65;&#x42;&bogus;", "x <&>\" AB&bogus;"},
      {"<span class=\"k\">keep</span> <b>me</b>", "keep me"},
      {"<li>one</li><li>two</li>", "one\ntwo\n"},
      {"line\r\nnext", "line\nnext"},
      {"cut <b", "cut "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.html);
    const StyledText t = ParseHtml(c.html, {}, {});
    EXPECT_EQ(Narrow(t.chars), c.text);
    EXPECT_EQ(t.format_of.size(), t.chars.size());
    EXPECT_EQ(t.paragraphs.size(), 1 + std::count(t.chars.begin(), t.chars.end(), U'\n'));
  }
}

TEST(HtmlText, FormatsNestAndParagraphsKeepTheirOwn) {
  TextFormat base;
  base.face = "Base";
  base.size = 240;
  const StyledText t = ParseHtml(
      "<p align=\"right\"><font face=\"Mono\" size=\"20\" color=\"#FF8000\">f<b>b<i>i</i></b>"
      "<font size=\"+4\">s</font></font><u>u</u></p><li>l</li>",
      base, {});
  ASSERT_EQ(Narrow(t.chars), "fbisu\nl\n");
  const TextFormat& f = t.FormatAt(0);
  EXPECT_EQ(f.face, "Mono");
  EXPECT_EQ(f.size, 400);
  EXPECT_EQ(f.colour, (Rgba{0xFF, 0x80, 0x00, 255}));
  EXPECT_TRUE(t.FormatAt(1).bold && !t.FormatAt(1).italic);
  EXPECT_TRUE(t.FormatAt(2).bold && t.FormatAt(2).italic);
  EXPECT_EQ(t.FormatAt(3).size, 480);
  EXPECT_FALSE(t.FormatAt(3).bold);
  EXPECT_EQ(t.FormatAt(4).face, "Base");
  EXPECT_TRUE(t.FormatAt(4).underline);
  ASSERT_EQ(t.paragraphs.size(), 3u);  // the closing </li> starts an empty one
  EXPECT_EQ(t.paragraphs[0].align, TextAlign::kRight);
  EXPECT_FALSE(t.paragraphs[0].bullet);
  EXPECT_TRUE(t.paragraphs[1].bullet);
}

TEST(HtmlText, HostileMarkupStaysWithinLimits) {
  std::string html;
  for (int i = 0; i < 5000; ++i) html += "<font size=\"" + std::to_string(i) + "\">x";
  for (int i = 0; i < 20000; ++i) html += "<b>";
  html += "y";
  for (int i = 0; i < 20000; ++i) html += "</i>";
  const StyledText t = ParseHtml(html, {}, {});
  EXPECT_EQ(t.chars.size(), 5001u);
  EXPECT_EQ(t.chars.back(), U'y');
  EXPECT_LE(t.formats.size(), 256u);
  for (uint16_t f : t.format_of) ASSERT_LT(f, t.formats.size());
}

}  // namespace
}  // namespace flashsaver
