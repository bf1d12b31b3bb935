// The readers of the definition tags, one group each. Every reader is limited to its tag's body
// and throws SwfError (kBadTag, with the tag code) for a body that does not hold what the code
// needs; the caller then skips that tag, as Flash does, and the movie goes on.
#pragma once

#include "player/display/character_library.h"
#include "player/swf/swf_movie.h"

namespace flashsaver {

// DefineShape 1-4, DefineMorphShape 1-2.
void ReadShapeTag(const SwfTag& tag, CharacterLibrary& library);
// JPEGTables, DefineBits, DefineBitsJPEG2/3, DefineBitsLossless 1-2.
void ReadBitmapTag(const SwfTag& tag, CharacterLibrary& library);
// DefineFont 1-3, DefineFontInfo 1-2, DefineFontAlignZones, DefineText 1-2, DefineEditText.
void ReadTextTag(const SwfTag& tag, CharacterLibrary& library);

}  // namespace flashsaver
