// Font and static text tags: code tables, advances, glyph scale per font version, and where
// DefineText places its glyphs.
#include <gtest/gtest.h>

#include <vector>

#include "player/display/character_library.h"
#include "player/display/definition_tags.h"
#include "player/text/edit_text.h"
#include "player/text/font_character.h"
#include "player/text/static_text.h"

namespace flashsaver {
namespace {

// Bytes and MSB-first bit fields, as SWF packs them.
struct TagWriter {
  std::vector<uint8_t> bytes;
  int bits_used = 8;
  void U8(uint32_t v) {
    bits_used = 8;
    bytes.push_back(static_cast<uint8_t>(v));
  }
  void U16(uint32_t v) {
    U8(v & 0xFF);
    U8(v >> 8);
  }
  void Bits(int32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) {
      if (bits_used == 8) {
        bytes.push_back(0);
        bits_used = 0;
      }
      if ((static_cast<uint32_t>(v) >> i) & 1)
        bytes.back() |= static_cast<uint8_t>(0x80 >> bits_used);
      ++bits_used;
    }
  }
};

// A square glyph from (0,-size) to (size,0): move, four straight edges, end.
std::vector<uint8_t> SquareGlyph(int size) {
  TagWriter w;
  w.Bits(1, 4);  // fill bits
  w.Bits(0, 4);  // line bits
  w.Bits(0, 1);
  w.Bits(0x05, 5);  // fill1 and move
  w.Bits(13, 5);
  w.Bits(0, 13);
  w.Bits(-size, 13);
  w.Bits(1, 1);  // fill1 = 1
  const int deltas[4][2] = {{size, 0}, {0, size}, {-size, 0}, {0, -size}};
  for (const auto& d : deltas) {
    w.Bits(1, 1);
    w.Bits(1, 1);
    w.Bits(11, 4);  // 13 bits
    w.Bits(0, 1);   // not general
    w.Bits(d[0] == 0 ? 1 : 0, 1);
    w.Bits(d[0] == 0 ? d[1] : d[0], 13);
  }
  w.Bits(0, 6);
  return w.bytes;
}

struct FontRecipe {
  uint16_t tag = swf_tag::kDefineFont2;
  bool wide_codes = false;
  std::vector<uint16_t> codes;
  std::vector<int16_t> advances;  // empty: no layout
};

std::vector<uint8_t> FontBody(uint16_t id, const FontRecipe& recipe) {
  TagWriter w;
  w.U16(id);
  const bool layout = !recipe.advances.empty();
  w.U8((layout ? 0x80 : 0) | (recipe.wide_codes ? 0x04 : 0));
  w.U8(1);  // language
  w.U8(4);
  for (char c : std::string("Test")) w.U8(static_cast<uint8_t>(c));
  w.U16(static_cast<uint32_t>(recipe.codes.size()));
  const std::vector<uint8_t> glyph = SquareGlyph(1000);
  const size_t table = (recipe.codes.size() + 1) * 2;
  for (size_t i = 0; i <= recipe.codes.size(); ++i) {
    w.U16(static_cast<uint32_t>(table + i * glyph.size()));
  }
  for (size_t i = 0; i < recipe.codes.size(); ++i) {
    w.bytes.insert(w.bytes.end(), glyph.begin(), glyph.end());
  }
  const bool wide = recipe.wide_codes;
  for (uint16_t c : recipe.codes) wide ? w.U16(c) : w.U8(c);
  if (layout) {
    w.U16(900);  // ascent
    w.U16(200);  // descent
    w.U16(static_cast<uint16_t>(-10));
    for (int16_t a : recipe.advances) w.U16(static_cast<uint16_t>(a));
    for (size_t i = 0; i < recipe.codes.size(); ++i) w.U8(0);  // empty RECTs
    w.U16(1);
    wide ? w.U16(recipe.codes[0]) : w.U8(recipe.codes[0]);
    wide ? w.U16(recipe.codes[1]) : w.U8(recipe.codes[1]);
    w.U16(static_cast<uint16_t>(-30));
  }
  return w.bytes;
}

const FontCharacter* Define(CharacterLibrary& library, uint16_t code,
                            const std::vector<uint8_t>& body) {
  ReadTextTag({code, body}, library);
  return library.FindAs<FontCharacter>(1, CharacterType::kFont);
}

TEST(FontTags, CodeTablesAdvancesAndKerningOfEachForm) {
  struct Case {
    const char* label;
    FontRecipe recipe;
    double em;
  };
  const Case cases[] = {
      {"DefineFont2 narrow codes", {swf_tag::kDefineFont2, false, {'A', 'b'}, {500, 600}}, 1024},
      {"DefineFont2 wide codes", {swf_tag::kDefineFont2, true, {0x416, 0x20AC}, {700, -1}}, 1024},
      {"DefineFont3, 20 times finer",
       {swf_tag::kDefineFont3, true, {0x416, 'y'}, {9000, 1}},
       20480},
      // Flash reads the codes as the flag says, even where the format asks for wide ones.
      {"DefineFont3 narrow codes", {swf_tag::kDefineFont3, false, {'x', 'y'}, {9000, 1}}, 20480},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    CharacterLibrary library(8);
    const FontCharacter* font = Define(library, c.recipe.tag, FontBody(1, c.recipe));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->name, "Test");
    EXPECT_DOUBLE_EQ(font->GlyphScale(400), 400 / c.em);
    ASSERT_EQ(font->glyphs.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(font->glyphs[i].code, c.recipe.codes[i]);
      EXPECT_EQ(font->glyphs[i].advance, c.recipe.advances[i]);
      EXPECT_EQ(font->GlyphIndex(c.recipe.codes[i]), i);
    }
    EXPECT_EQ(font->ascent, 900);
    EXPECT_EQ(font->leading, -10);
    EXPECT_EQ(font->Kerning(c.recipe.codes[0], c.recipe.codes[1]), -30);
    EXPECT_EQ(font->Kerning(c.recipe.codes[1], c.recipe.codes[0]), 0);
  }
}

// Fields with embedFonts find the movie's font by face name, the matching style first.
TEST(FontTags, FontNamedPrefersTheStyleThenAnyOfTheName) {
  CharacterLibrary library(8);
  const FontRecipe recipe{swf_tag::kDefineFont2, false, {'a'}, {}};
  std::vector<uint8_t> bold = FontBody(2, recipe);
  bold[2] |= 0x01;  // the Bold flag
  ReadTextTag({swf_tag::kDefineFont2, bold}, library);
  const FontCharacter* plain = Define(library, swf_tag::kDefineFont2, FontBody(1, recipe));
  ASSERT_NE(plain, nullptr);
  const FontCharacter* bold_font = library.FindAs<FontCharacter>(2, CharacterType::kFont);
  ASSERT_NE(bold_font, nullptr);
  EXPECT_EQ(library.FontNamed("Test", false, false), plain);
  EXPECT_EQ(library.FontNamed("Test", true, false), bold_font);
  EXPECT_EQ(library.FontNamed("Test", false, true), plain);  // no italic: the first defined
  EXPECT_EQ(library.FontNamed("Other", false, false), nullptr);
}

TEST(FontTags, GlyphShapeBecomesClosedOutline) {
  CharacterLibrary library(8);
  const FontCharacter* font = Define(library, swf_tag::kDefineFont2,
                                     FontBody(1, {swf_tag::kDefineFont2, false, {'A', 'B'}, {}}));
  ASSERT_NE(font, nullptr);
  const auto& commands = font->glyphs[0].outline.commands;
  ASSERT_EQ(commands.size(), 5u);
  EXPECT_EQ(commands[0].kind, PathCommand::Kind::kMoveTo);
  EXPECT_EQ(commands[0].to, (Point{0, -1000}));
  EXPECT_EQ(commands[1].to, (Point{1000, -1000}));
  EXPECT_EQ(commands[2].to, (Point{1000, 0}));
  EXPECT_EQ(commands[4].to, commands[0].to);
}

TEST(FontTags, FontInfoSetsCodesOfAnOutlineOnlyFont) {
  for (const uint16_t info : {swf_tag::kDefineFontInfo, swf_tag::kDefineFontInfo2}) {
    SCOPED_TRACE(info);
    CharacterLibrary library(5);
    TagWriter font;
    font.U16(1);
    font.U16(4);  // two glyphs: offsets 4 and 4 + glyph
    const std::vector<uint8_t> glyph = SquareGlyph(100);
    font.U16(static_cast<uint32_t>(4 + glyph.size()));
    for (int i = 0; i < 2; ++i) font.bytes.insert(font.bytes.end(), glyph.begin(), glyph.end());
    ASSERT_NE(Define(library, swf_tag::kDefineFont, font.bytes), nullptr);

    TagWriter w;
    w.U16(1);
    w.U8(3);
    for (char c : std::string("Abc")) w.U8(static_cast<uint8_t>(c));
    w.U8(0x06);  // bold, italic, narrow codes
    if (info == swf_tag::kDefineFontInfo2) w.U8(2);
    for (uint16_t code : {0xE9, 0x41}) info == swf_tag::kDefineFontInfo2 ? w.U16(code) : w.U8(code);
    const FontCharacter* font_with_info = Define(library, info, w.bytes);
    ASSERT_NE(font_with_info, nullptr);
    EXPECT_EQ(font_with_info->name, "Abc");
    EXPECT_TRUE(font_with_info->bold && font_with_info->italic);
    EXPECT_EQ(font_with_info->GlyphIndex(0x41), 1u);
    EXPECT_EQ(font_with_info->GlyphIndex(0xE9), 0u);
    EXPECT_EQ(font_with_info->glyphs[1].outline.commands.size(), 5u);
  }
}

TEST(FontTags, GlyphOffsetPastTheTagIsRefused) {
  std::vector<uint8_t> body = FontBody(1, {swf_tag::kDefineFont2, false, {'A', 'B'}, {}});
  body[11] = 0xF0;  // second glyph's offset, low byte: now past the code table
  CharacterLibrary library(8);
  try {
    ReadTextTag({swf_tag::kDefineFont2, body}, library);
    FAIL() << "no error";
  } catch (const SwfError& e) {
    EXPECT_EQ(e.kind(), SwfErrorKind::kBadTag);
    EXPECT_EQ(e.tag(), swf_tag::kDefineFont2);
  }
}

class RecordingCanvas final : public Canvas {
 public:
  struct Fill {
    Matrix matrix;
    Rgba colour;
  };
  std::vector<Fill> fills;
  void DrawShape(const ShapeDrawing&, const RenderState&, const BitmapSource&) override {}
  void FillPath(const Path&, FillRule, Rgba colour, const RenderState& state) override {
    fills.push_back({state.matrix, colour});
  }
  void BeginMask() override {}
  void EndMask() override {}
  void PopMask() override {}
  void BeginLayer(const LayerEffects&) override {}
  void EndLayer() override {}
};

TEST(StaticText, RecordsPlaceGlyphsByOffsetAdvanceAndHeight) {
  for (const uint16_t code : {swf_tag::kDefineText, swf_tag::kDefineText2}) {
    SCOPED_TRACE(code);
    CharacterLibrary library(8);
    Define(library, swf_tag::kDefineFont2,
           FontBody(1, {swf_tag::kDefineFont2, false, {'A', 'B'}, {}}));
    TagWriter w;
    w.U16(2);
    // An empty RECT of 9 bits: the MATRIX still starts on the next byte.
    w.Bits(1, 5);
    w.Bits(0, 4);
    w.U8(0);     // identity MATRIX: no scale, no rotate, 0-bit translate
    w.U8(2);     // glyph bits
    w.U8(8);     // advance bits
    w.U8(0x8F);  // font, colour, x and y
    w.U16(1);
    for (uint8_t v : {0x10, 0x20, 0x30}) w.U8(v);
    if (code == swf_tag::kDefineText2) w.U8(0x80);
    w.U16(100);
    w.U16(static_cast<uint16_t>(-40));
    w.U16(512);  // height: half the EM square
    w.U8(3);
    const int entries[3][2] = {{0, 50}, {1, -20}, {3, 10}};  // glyph 3 does not exist
    for (const auto& e : entries) {
      w.Bits(e[0], 2);
      w.Bits(e[1], 8);
    }
    w.U8(0x01);  // x only: a new line keeps y
    w.U16(7);
    w.U8(1);
    w.Bits(1, 2);
    w.Bits(0, 8);
    w.U8(0);
    ReadTextTag({code, w.bytes}, library);
    const auto* text = library.FindAs<StaticTextCharacter>(2, CharacterType::kText);
    ASSERT_NE(text, nullptr);
    RecordingCanvas canvas;
    text->Draw(canvas, {Matrix::Scale(2, 2), {}}, library, 0);
    ASSERT_EQ(canvas.fills.size(), 3u);
    const double x[] = {100, 150, 7};
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_DOUBLE_EQ(canvas.fills[i].matrix.a, 2 * 0.5);
      EXPECT_DOUBLE_EQ(canvas.fills[i].matrix.tx, 2 * x[i]);
      EXPECT_DOUBLE_EQ(canvas.fills[i].matrix.ty, 2 * -40);
    }
    EXPECT_EQ(
        canvas.fills[0].colour,
        (Rgba{0x10, 0x20, 0x30, code == swf_tag::kDefineText2 ? uint8_t{0x80} : uint8_t{255}}));
  }
}

TEST(EditText, FieldsOfTheTagInOrderAndOpaqueTextColour) {
  CharacterLibrary library(8);
  Define(library, swf_tag::kDefineFont2,
         FontBody(1, {swf_tag::kDefineFont2, false, {'A', 'B'}, {500, 600}}));
  TagWriter w;
  w.U16(2);
  w.Bits(11, 5);  // bounds 0..1000 x 0..600 twips
  for (int v : {0, 1000, 0, 600}) w.Bits(v, 11);
  w.U8(0x80 | 0x40 | 0x04 | 0x02 | 0x01);  // text, wrap, colour, max length, font
  w.U8(0x20 | 0x08 | 0x01);                // layout, border, outlines
  w.U16(1);
  w.U16(360);
  for (uint8_t v : {0x11, 0x22, 0x33, 0x44}) w.U8(v);
  w.U16(12);
  w.U8(2);  // centre
  w.U16(20);
  w.U16(30);
  w.U16(40);
  w.U16(static_cast<uint16_t>(-5));
  for (const uint32_t c : {0x76u, 0u, 0x41u, 0x42u, 0u}) w.U8(c);  // "v", "AB"
  ReadTextTag({swf_tag::kDefineEditText, w.bytes}, library);
  const auto* field = library.FindAs<EditTextCharacter>(2, CharacterType::kEditText);
  ASSERT_NE(field, nullptr);
  const EditTextDefinition& d = *field->definition();
  EXPECT_EQ(d.bounds, (SwfRect{Twips{0}, Twips{1000}, Twips{0}, Twips{600}}));
  EXPECT_TRUE(d.word_wrap && d.border && d.use_outlines);
  EXPECT_FALSE(d.multiline || d.html || d.password);
  EXPECT_EQ(d.height, 360);
  EXPECT_EQ(d.colour, (Rgba{0x11, 0x22, 0x33, 255}));
  EXPECT_EQ(d.max_length, 12);
  EXPECT_EQ(d.align, TextAlign::kCenter);
  EXPECT_EQ(d.left_margin, 20);
  EXPECT_EQ(d.right_margin, 30);
  EXPECT_EQ(d.indent, 40);
  EXPECT_EQ(d.leading, -5);
  EXPECT_EQ(d.variable_name, "v");
  EXPECT_EQ(d.initial_text, "AB");
  EXPECT_EQ(field->initial_field().layout().glyphs.size(), 2u);

  RecordingCanvas canvas;
  field->Draw(canvas, {}, library, 0);
  // Background, border, the border's part-covered corner (embedded fonts), two glyphs.
  ASSERT_EQ(canvas.fills.size(), 5u);
  EXPECT_GT(canvas.fills[2].colour.a, 0);
  EXPECT_LT(canvas.fills[2].colour.a, 255);
  EXPECT_EQ(canvas.fills[3].colour, d.colour);
}

}  // namespace
}  // namespace flashsaver
