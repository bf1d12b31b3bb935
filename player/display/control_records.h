// The records of the timeline's control tags: PlaceObject 1-3 and RemoveObject 1-2, read into
// commands that the display list runs each time its frame is reached, and the MATRIX and CXFORM
// records they share with buttons.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "player/render/filters.h"
#include "player/swf/byte_reader.h"
#include "player/swf/swf_movie.h"
#include "player/swf/swf_types.h"

namespace flashsaver {

// MATRIX: scale and rotate-skew as 16.16 fixed point, translation in twips.
Matrix ReadMatrixRecord(ByteReader& reader);
// CXFORM (with_alpha false) or CXFORMWITHALPHA.
ColorTransform ReadColorTransformRecord(ByteReader& reader, bool with_alpha);
// A zero-terminated string; the bytes are kept as they are (SWF 6+ text is UTF-8).
std::string ReadCString(ByteReader& reader);

inline constexpr size_t kMaxFiltersPerObject = 16;

// A FILTERLIST, appended to filters (the first kMaxFiltersPerObject of them). An unknown filter
// fails the reader (its length is unknown).
void ReadFilterList(ByteReader& reader, std::vector<Filter>& filters);

// One PlaceObject tag. Absent fields leave the placed object's value as it is.
struct PlaceCommand {
  uint16_t depth = 0;
  bool move = false;  // modifies (or, with a character, replaces) the object at depth
  std::optional<uint16_t> character_id;
  std::optional<Matrix> matrix;
  std::optional<ColorTransform> color;
  std::optional<uint16_t> ratio;
  std::optional<std::string> name;
  std::optional<uint16_t> clip_depth;
  std::optional<std::string> class_name;  // kept for the script engine
  std::optional<uint8_t> blend_mode;
  std::optional<bool> cache_as_bitmap;
  std::vector<Filter> filters;
  std::span<const uint8_t> clip_actions;  // the raw CLIPACTIONS record
};

struct RemoveCommand {
  uint16_t depth = 0;
  std::optional<uint16_t> character_id;  // RemoveObject (1) names it; RemoveObject2 does not
};

// PlaceObject, PlaceObject2 or PlaceObject3 (by the tag's code). Throws SwfError (kBadTag).
PlaceCommand ReadPlaceObject(const SwfTag& tag, uint8_t swf_version);
// RemoveObject or RemoveObject2. Throws SwfError (kBadTag).
RemoveCommand ReadRemoveObject(const SwfTag& tag);

}  // namespace flashsaver
