// Font glyphs: SHAPE records without style arrays, one fill, read into an outline.
#pragma once

#include <span>

#include "player/render/path.h"

namespace flashsaver {

// The outline of one glyph in the font's EM square units (y down, baseline at 0). Throws
// SwfError (kBadTag) when the records run past the data or declare style arrays, which glyphs
// may not.
Path ReadGlyphShape(std::span<const uint8_t> data);

}  // namespace flashsaver
