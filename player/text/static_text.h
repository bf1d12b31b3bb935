// DefineText 1-2: glyphs of embedded fonts placed by the authoring tool.
#pragma once

#include <memory>
#include <vector>

#include "player/display/character.h"
#include "player/swf/swf_movie.h"
#include "player/text/font_character.h"

namespace flashsaver {

class CharacterLibrary;

struct PlacedGlyph {
  std::shared_ptr<const FontCharacter> font;
  uint32_t index = 0;   // into font->glyphs
  double x = 0, y = 0;  // baseline origin, twips in the text's space
  double height = 0;    // twips
  Rgba colour;
};

// A glyph by its font's id, found or not when the text was read: a font defined after the text
// still gives the text's characters to scripts (TextSnapshot).
struct GlyphReference {
  uint16_t font_id = 0;
  uint32_t index = 0;
};

class StaticTextCharacter final : public DrawableCharacter {
 public:
  StaticTextCharacter(SwfRect bounds, Matrix matrix, std::vector<PlacedGlyph> glyphs,
                      std::vector<GlyphReference> references = {})
      : bounds_(bounds),
        matrix_(matrix),
        glyphs_(std::move(glyphs)),
        references_(std::move(references)) {}
  CharacterType type() const override { return CharacterType::kText; }
  void Draw(Canvas& canvas, const RenderState& state, const BitmapSource& bitmaps,
            uint16_t ratio) const override;
  SwfRect Bounds(uint16_t) const override { return bounds_; }

  const Matrix& matrix() const { return matrix_; }
  const std::vector<PlacedGlyph>& glyphs() const { return glyphs_; }
  // Every glyph of the records in order, drawn or not.
  const std::vector<GlyphReference>& references() const { return references_; }

 private:
  SwfRect bounds_;
  Matrix matrix_;
  std::vector<PlacedGlyph> glyphs_;
  std::vector<GlyphReference> references_;
};

// Reads the tag after its character id. Glyphs of fonts the library lacks, and indices past a
// font's glyphs, are dropped as Flash drops them. Throws SwfError (kBadTag).
std::shared_ptr<StaticTextCharacter> ReadDefineText(const SwfTag& tag,
                                                    const CharacterLibrary& library);

// Fills one glyph outline scaled from the font's EM square to height twips at (x, y).
void DrawGlyph(Canvas& canvas, const Path& outline, double em_scale, double x, double y,
               Rgba colour, const RenderState& state);

}  // namespace flashsaver
