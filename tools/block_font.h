// A small embedded font for the sample movies: block capitals drawn on a 5 x 7 grid, outlined
// as SWF glyphs on the 1024-unit em square.
#pragma once

#include <string>

#include "tools/swf_records.h"

namespace flashsaver {

// The font's glyphs: a space and the capitals that the samples spell.
std::vector<swf_out::Glyph> BlockFontGlyphs();

// A text run of the font: each character's glyph index and advance at height twips; characters
// the font lacks are left out.
swf_out::TextRun BlockFontRun(uint16_t font_id, const std::string& text, uint16_t height,
                              Rgba colour, int32_t x, int32_t y);

// The outline of a grid of filled cells, cell twips wide, with the top-left cell at (x, y):
// cells that touch are joined into one contour, holes kept. Clockwise, fill on fill1.
std::vector<swf_out::Contour> TraceCells(const std::vector<std::string>& rows, int32_t cell,
                                         int32_t x, int32_t y);

}  // namespace flashsaver
