// Lays a text field's styled text out in lines: word wrap, alignment, margins, indent, leading,
// and the gutter Flash keeps inside every field.
#pragma once

#include <memory>
#include <vector>

#include "player/render/path.h"
#include "player/text/device_fonts.h"
#include "player/text/font_character.h"
#include "player/text/styled_text.h"

namespace flashsaver {

class CharacterLibrary;

// Flash keeps 2 pixels between a field's bounds and its text on every side.
inline constexpr double kTextGutter = 2 * Twips::kPerPixel;

// Where a field's glyphs come from: its embedded font when the field uses outlines and the font
// has glyphs, otherwise the system's fonts by the format's face name.
struct LayoutFonts {
  std::shared_ptr<const FontCharacter> embedded;
  bool use_outlines = false;
  const DeviceFonts* device = nullptr;
  // The movie's fonts, for faces other than the field's own; may be null.
  const CharacterLibrary* library = nullptr;
};

struct LaidOutGlyph {
  const Path* outline = nullptr;
  double scale = 0;     // EM units to twips
  double x = 0, y = 0;  // baseline origin, twips in the field's space
  Rgba colour;
};

struct LaidOutLine {
  size_t first_char = 0, end_char = 0;  // into the styled text
  double x = 0, width = 0;              // twips; width without trailing spaces
  double baseline = 0, ascent = 0, descent = 0;
};

struct TextLayout {
  std::vector<LaidOutGlyph> glyphs;
  std::vector<LaidOutLine> lines;
  std::vector<SwfRect> underlines;
  double text_width = 0;   // widest line with its margins
  double text_height = 0;  // top of the first line to the bottom of the last
};

struct LayoutBox {
  double left = 0, top = 0, width = 0;  // the field's bounds (twips), gutter not removed
  bool word_wrap = false;
  bool password = false;
};

TextLayout LayOutText(const StyledText& text, const LayoutFonts& fonts, const LayoutBox& box);

}  // namespace flashsaver
