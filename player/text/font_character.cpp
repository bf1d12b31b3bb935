#include "player/text/font_character.h"

#include <algorithm>
#include <cmath>

#include "player/swf/byte_reader.h"
#include "player/text/glyph_shape.h"
#include "player/text/record_reading.h"

namespace flashsaver {
namespace {

[[noreturn]] void Bad(const SwfTag& tag, const char* what) {
  throw SwfError(SwfErrorKind::kBadTag, what, tag.code);
}

// Glyph i spans offsets[i] to offsets[i + 1], the last one up to end; offsets count from base.
void ReadGlyphs(const SwfTag& tag, size_t base, const std::vector<uint32_t>& offsets, size_t end,
                FontCharacter& font) {
  font.glyphs.resize(offsets.size());
  for (size_t i = 0; i < offsets.size(); ++i) {
    const size_t start = base + offsets[i];
    const size_t stop = i + 1 < offsets.size() ? base + offsets[i + 1] : end;
    if (start > stop || stop > tag.body.size()) Bad(tag, "glyph offset outside the tag");
    font.glyphs[i].outline = ReadGlyphShape(tag.body.subspan(start, stop - start));
  }
}

float Float16(uint16_t bits) {
  const int exponent = (bits >> 10) & 0x1F;
  const int mantissa = bits & 0x3FF;
  float value = exponent == 0 ? std::ldexp(static_cast<float>(mantissa), -24)
                              : std::ldexp(static_cast<float>(mantissa | 0x400), exponent - 25);
  if (exponent == 31) value = 0;  // infinities and NaN mean nothing here
  return (bits & 0x8000) ? -value : value;
}

}  // namespace

std::optional<size_t> FontCharacter::GlyphIndex(uint16_t code) const {
  const auto it = index_of_code_.find(code);
  if (it == index_of_code_.end()) return std::nullopt;
  return it->second;
}

void FontCharacter::IndexCodes() {
  index_of_code_.clear();
  for (size_t i = 0; i < glyphs.size(); ++i) {
    index_of_code_.try_emplace(glyphs[i].code, static_cast<uint32_t>(i));
  }
}

int16_t FontCharacter::Kerning(uint16_t left, uint16_t right) const {
  for (const KerningPair& k : kerning) {
    if (k.left == left && k.right == right) return k.adjustment;
  }
  return 0;
}

// Format notes: FontID, then an offset table of UI16 from its own start; its first entry is
// therefore twice the glyph count. Glyph shapes follow.
std::shared_ptr<FontCharacter> ReadDefineFont(const SwfTag& tag) {
  ByteReader reader(tag.body);
  reader.Skip(2);
  const size_t base = reader.offset();
  const uint16_t first = reader.U16();
  if (!reader.ok()) Bad(tag, "DefineFont without offset table");
  auto font = std::make_shared<FontCharacter>();
  const size_t count = first / 2;
  std::vector<uint32_t> offsets;
  if (count > 0) {
    offsets.push_back(first);
    for (size_t i = 1; i < count; ++i) offsets.push_back(reader.U16());
    if (!reader.ok()) Bad(tag, "DefineFont offset table truncated");
    ReadGlyphs(tag, base, offsets, tag.body.size(), *font);
  }
  return font;
}

// Format notes: FontID, flags (HasLayout, ShiftJIS, SmallText, ANSI, WideOffsets, WideCodes,
// Italic, Bold), language code, name (length-prefixed), NumGlyphs, offset table (UI16 or UI32
// by WideOffsets, from the table's start) with the code table's offset at its end, the glyph
// shapes, the code table (UI16 when WideCodes, else UI8), then with HasLayout: ascent, descent,
// leading, an advance and a bounds RECT per glyph, and kerning pairs (codes as wide as the
// code table's).
std::shared_ptr<FontCharacter> ReadDefineFont2(const SwfTag& tag, uint8_t swf_version) {
  ByteReader reader(tag.body);
  reader.Skip(2);
  auto font = std::make_shared<FontCharacter>();
  const uint8_t flags = reader.U8();
  font->has_layout = flags & 0x80;
  font->shift_jis = flags & 0x40;
  font->small_text = flags & 0x20;
  font->ansi = flags & 0x10;
  const bool wide_offsets = flags & 0x08;
  // DefineFont3 is meant to have wide codes, but Flash reads what the flag says
  // (edittext_text_height_leading).
  font->wide_codes = flags & 0x04;
  font->italic = flags & 0x02;
  font->bold = flags & 0x01;
  font->language = reader.U8();
  const uint8_t name_length = reader.U8();
  font->name = text::ConvertName(reader.Bytes(name_length), swf_version);
  const uint16_t count = reader.U16();
  if (tag.code == swf_tag::kDefineFont3) font->em_square = 1024 * 20;
  if (!reader.ok()) Bad(tag, "DefineFont2 header truncated");

  const size_t base = reader.offset();
  std::vector<uint32_t> offsets(count);
  for (uint32_t& offset : offsets) offset = wide_offsets ? reader.U32() : reader.U16();
  // A font without glyphs (a device font's name only) may stop here.
  if (count == 0 && reader.remaining() == 0) return font;
  const uint32_t code_table = wide_offsets ? reader.U32() : reader.U16();
  if (!reader.ok()) Bad(tag, "DefineFont2 offset table truncated");
  if (base + code_table > tag.body.size()) Bad(tag, "DefineFont2 code table outside the tag");
  ReadGlyphs(tag, base, offsets, base + code_table, *font);

  ByteReader rest(tag.body.subspan(base + code_table));
  for (FontGlyph& glyph : font->glyphs) glyph.code = font->wide_codes ? rest.U16() : rest.U8();
  if (!rest.ok()) Bad(tag, "DefineFont2 code table truncated");
  font->IndexCodes();
  if (font->has_layout) {
    font->ascent = rest.U16();
    font->descent = rest.U16();
    font->leading = static_cast<int16_t>(rest.U16());
    for (FontGlyph& glyph : font->glyphs) glyph.advance = static_cast<int16_t>(rest.U16());
    for (FontGlyph& glyph : font->glyphs) glyph.bounds = ReadRect(rest);
    const uint16_t kerning_count = rest.U16();
    // Each pair takes at least 4 bytes: never reserve more than the tag can hold.
    if (rest.ok() && kerning_count <= rest.remaining() / 4) {
      font->kerning.resize(kerning_count);
      for (KerningPair& k : font->kerning) {
        k.left = font->wide_codes ? rest.U16() : rest.U8();
        k.right = font->wide_codes ? rest.U16() : rest.U8();
        k.adjustment = static_cast<int16_t>(rest.U16());
      }
    }
    // Some tools write the layout without kerning: what was read before stays.
    if (!rest.ok()) font->kerning.clear();
  }
  return font;
}

// Format notes: FontID, name (length-prefixed), flags (reserved 2 bits, SmallText, ShiftJIS,
// ANSI, Italic, Bold, WideCodes), DefineFontInfo2 then a language code and always wide codes;
// then one code per glyph of the font.
std::shared_ptr<FontCharacter> ApplyFontInfo(const SwfTag& tag, const FontCharacter& font,
                                             uint8_t swf_version) {
  ByteReader reader(tag.body);
  reader.Skip(2);
  auto out = std::make_shared<FontCharacter>(font);
  const uint8_t name_length = reader.U8();
  out->name = text::ConvertName(reader.Bytes(name_length), swf_version);
  const uint8_t flags = reader.U8();
  out->small_text = flags & 0x20;
  out->shift_jis = flags & 0x10;
  out->ansi = flags & 0x08;
  out->italic = flags & 0x04;
  out->bold = flags & 0x02;
  out->wide_codes = (flags & 0x01) || tag.code == swf_tag::kDefineFontInfo2;
  if (tag.code == swf_tag::kDefineFontInfo2) out->language = reader.U8();
  for (FontGlyph& glyph : out->glyphs) glyph.code = out->wide_codes ? reader.U16() : reader.U8();
  if (!reader.ok()) Bad(tag, "DefineFontInfo code table truncated");
  out->IndexCodes();
  return out;
}

// Format notes: FontID, CSMTableHint UB[2] and 6 reserved bits, then per glyph: NumZoneData
// (UI8, 2 in practice), that many pairs of FLOAT16 (position, range), and a byte whose two top
// bits say whether the zones apply to y (0x80) and x (0x40).
std::shared_ptr<FontCharacter> ApplyAlignZones(const SwfTag& tag, const FontCharacter& font) {
  ByteReader reader(tag.body);
  reader.Skip(2);
  auto out = std::make_shared<FontCharacter>(font);
  out->csm_hint = static_cast<uint8_t>(reader.U8() >> 6);
  out->align_zones.clear();
  for (size_t i = 0; i < font.glyphs.size() && reader.ok(); ++i) {
    const uint8_t zone_count = reader.U8();
    float values[4] = {};
    for (int z = 0; z < zone_count; ++z) {
      const float position = Float16(reader.U16());
      const float range = Float16(reader.U16());
      if (z < 2) {
        values[z * 2] = position;
        values[z * 2 + 1] = range;
      }
    }
    const uint8_t mask = reader.U8();
    if (!reader.ok()) break;
    out->align_zones.push_back(
        {values[0], values[1], values[2], values[3], (mask & 0x40) != 0, (mask & 0x80) != 0});
  }
  if (!reader.ok()) Bad(tag, "DefineFontAlignZones truncated");
  return out;
}

}  // namespace flashsaver
