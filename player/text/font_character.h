// Embedded fonts: DefineFont 1-3 with what DefineFontInfo 1-2 and DefineFontAlignZones add.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "player/display/character.h"
#include "player/render/path.h"
#include "player/swf/swf_movie.h"

namespace flashsaver {

struct FontGlyph {
  Path outline;        // EM square units, y down, baseline at 0
  uint16_t code = 0;   // the character it draws (UCS-2, or the movie's code page before SWF 6)
  double advance = 0;  // EM units; from the layout table
  SwfRect bounds;      // EM units; from the layout table
};

struct KerningPair {
  uint16_t left = 0, right = 0;
  int16_t adjustment = 0;  // EM units
};

// One glyph's stroke alignment zones (16-bit floats decoded), kept for hinting.
struct AlignZone {
  float x_position = 0, x_range = 0, y_position = 0, y_range = 0;
  bool has_x = false, has_y = false;
};

class FontCharacter final : public Character {
 public:
  CharacterType type() const override { return CharacterType::kFont; }

  // Text of height h twips scales glyphs by h / em_square.
  double GlyphScale(double height_twips) const { return height_twips / em_square; }
  // The glyph index that draws code (the first such glyph), or nullopt.
  std::optional<size_t> GlyphIndex(uint16_t code) const;
  // Rebuilds the lookup of GlyphIndex once the glyphs' codes are set.
  void IndexCodes();
  // Kerning between two codes in EM units (0 when the font has none).
  int16_t Kerning(uint16_t left, uint16_t right) const;

  std::string name;
  bool bold = false, italic = false, small_text = false, shift_jis = false, ansi = false;
  bool wide_codes = false;
  uint8_t language = 0;
  bool has_layout = false;
  double ascent = 0, descent = 0, leading = 0;  // EM units
  std::vector<FontGlyph> glyphs;
  std::vector<KerningPair> kerning;
  std::vector<AlignZone> align_zones;
  uint8_t csm_hint = 0;
  // DefineFont and DefineFont2 glyphs use a 1024-unit EM square; DefineFont3 draws them 20
  // times finer.
  double em_square = 1024;

 private:
  std::unordered_map<uint16_t, uint32_t> index_of_code_;
};

// Every reader starts after the tag's first two bytes, the font's id, which the caller reads.
// They throw SwfError (kBadTag) for a body that does not hold what the tag needs.

// DefineFont (glyph outlines only).
std::shared_ptr<FontCharacter> ReadDefineFont(const SwfTag& tag);
// DefineFont2 and DefineFont3.
std::shared_ptr<FontCharacter> ReadDefineFont2(const SwfTag& tag, uint8_t swf_version);
// DefineFontInfo 1-2: a copy of font with name, style flags and code table set.
std::shared_ptr<FontCharacter> ApplyFontInfo(const SwfTag& tag, const FontCharacter& font,
                                             uint8_t swf_version);
// DefineFontAlignZones: a copy of font with the zones set.
std::shared_ptr<FontCharacter> ApplyAlignZones(const SwfTag& tag, const FontCharacter& font);

}  // namespace flashsaver
