#include "player/text/static_text.h"

#include "player/display/character_library.h"
#include "player/swf/byte_reader.h"
#include "player/text/record_reading.h"

namespace flashsaver {

void DrawGlyph(Canvas& canvas, const Path& outline, double em_scale, double x, double y,
               Rgba colour, const RenderState& state) {
  if (outline.Empty()) return;
  RenderState glyph_state = state;
  glyph_state.matrix = state.matrix * Matrix::Translate(x, y) * Matrix::Scale(em_scale, em_scale);
  // Glyphs are shapes with one fill, and shapes fill even-odd.
  canvas.FillPath(outline, FillRule::kEvenOdd, colour, glyph_state);
}

void StaticTextCharacter::Draw(Canvas& canvas, const RenderState& state, const BitmapSource&,
                               uint16_t) const {
  RenderState text_state = state;
  text_state.matrix = state.matrix * matrix_;
  for (const PlacedGlyph& g : glyphs_) {
    DrawGlyph(canvas, g.font->glyphs[g.index].outline, g.font->GlyphScale(g.height), g.x, g.y,
              g.colour, text_state);
  }
}

// Format notes: CharacterID, TextBounds RECT, TextMatrix MATRIX, GlyphBits UI8, AdvanceBits UI8,
// then text records until a zero byte. A record: a flags byte (type bit 1, 3 reserved, HasFont,
// HasColor, HasYOffset, HasXOffset), FontID UI16, TextColor (RGB, RGBA in DefineText2),
// XOffset SI16, YOffset SI16, TextHeight UI16 (with the font), GlyphCount UI8, then
// GlyphIndex UB[GlyphBits] and GlyphAdvance SB[AdvanceBits] per glyph, padded to a byte.
// Offsets are absolute positions within the text; advances move x along the line.
std::shared_ptr<StaticTextCharacter> ReadDefineText(const SwfTag& tag,
                                                    const CharacterLibrary& library) {
  ByteReader reader(tag.body);
  reader.Skip(2);
  const SwfRect bounds = ReadRect(reader);
  const Matrix matrix = ReadMatrix(reader);
  const int glyph_bits = reader.U8();
  const int advance_bits = reader.U8();
  if (!reader.ok() || glyph_bits > 32 || advance_bits > 32) {
    throw SwfError(SwfErrorKind::kBadTag, "DefineText header", tag.code);
  }
  std::vector<PlacedGlyph> glyphs;
  std::vector<GlyphReference> references;
  std::shared_ptr<const FontCharacter> font;
  uint16_t font_id = 0;
  Rgba colour;
  double x = 0, y = 0, height = 0;
  for (;;) {
    const uint8_t flags = reader.U8();
    // A record list that ends early keeps the records before it, as Flash draws them.
    if (!reader.ok() || flags == 0) break;
    if (flags & 0x08) {
      font_id = reader.U16();
      font = std::dynamic_pointer_cast<const FontCharacter>(library.Shared(font_id));
    }
    if (flags & 0x04) {
      colour = tag.code == swf_tag::kDefineText2 ? ReadRgba(reader) : ReadRgb(reader);
    }
    if (flags & 0x01) x = static_cast<int16_t>(reader.U16());
    if (flags & 0x02) y = static_cast<int16_t>(reader.U16());
    if (flags & 0x08) height = reader.U16();
    const uint8_t count = reader.U8();
    for (int i = 0; i < count; ++i) {
      const uint32_t index = reader.UnsignedBits(glyph_bits);
      const int32_t advance = reader.SignedBits(advance_bits);
      if (!reader.ok()) break;
      references.push_back({font_id, index});
      if (font && index < font->glyphs.size())
        glyphs.push_back({font, index, x, y, height, colour});
      x += advance;
    }
  }
  return std::make_shared<StaticTextCharacter>(bounds, matrix, std::move(glyphs),
                                               std::move(references));
}

}  // namespace flashsaver
