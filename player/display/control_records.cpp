#include "player/display/control_records.h"

#include "player/swf/basic_records.h"
#include "player/swf/tag_codes.h"

namespace flashsaver {
namespace {

int16_t Term(ByteReader& reader, int bits) { return static_cast<int16_t>(reader.SignedBits(bits)); }

[[noreturn]] void Bad(const SwfTag& tag, const char* what) {
  throw SwfError(SwfErrorKind::kBadTag, what, tag.code);
}

}  // namespace

void SkipFilterList(ByteReader& reader, std::vector<uint8_t>& ids) {
  const uint8_t count = reader.U8();
  for (uint8_t i = 0; i < count && reader.ok(); ++i) {
    const uint8_t id = reader.U8();
    ids.push_back(id);
    switch (id) {
      case 0:  // drop shadow
        reader.Skip(23);
        break;
      case 1:  // blur
        reader.Skip(9);
        break;
      case 2:  // glow
        reader.Skip(15);
        break;
      case 3:  // bevel
        reader.Skip(27);
        break;
      case 4:    // gradient glow
      case 7: {  // gradient bevel
        const uint8_t colours = reader.U8();
        reader.Skip(static_cast<size_t>(colours) * 5 + 19);
        break;
      }
      case 5: {  // convolution
        const uint8_t columns = reader.U8();
        const uint8_t rows = reader.U8();
        reader.Skip(8 + static_cast<size_t>(columns) * rows * 4 + 5);
        break;
      }
      case 6:  // colour matrix
        reader.Skip(80);
        break;
      default:  // an unknown filter's length is unknown: nothing after it can be read
        reader.Skip(reader.remaining() + 1);
        break;
    }
  }
}

Matrix ReadMatrixRecord(ByteReader& reader) { return ReadMatrix(reader); }

ColorTransform ReadColorTransformRecord(ByteReader& reader, bool with_alpha) {
  reader.Skip(0);
  ColorTransform c;
  const bool has_add = reader.UnsignedBits(1) != 0;
  const bool has_mult = reader.UnsignedBits(1) != 0;
  const int bits = static_cast<int>(reader.UnsignedBits(4));
  if (has_mult) {
    c.r_mult = Term(reader, bits);
    c.g_mult = Term(reader, bits);
    c.b_mult = Term(reader, bits);
    if (with_alpha) c.a_mult = Term(reader, bits);
  }
  if (has_add) {
    c.r_add = Term(reader, bits);
    c.g_add = Term(reader, bits);
    c.b_add = Term(reader, bits);
    if (with_alpha) c.a_add = Term(reader, bits);
  }
  return c;
}

std::string ReadCString(ByteReader& reader) {
  std::string text;
  while (reader.ok()) {
    const uint8_t c = reader.U8();
    if (c == 0) break;
    text.push_back(static_cast<char>(c));
  }
  return text;
}

PlaceCommand ReadPlaceObject(const SwfTag& tag, uint8_t swf_version) {
  ByteReader reader(tag.body);
  PlaceCommand place;
  if (tag.code == swf_tag::kPlaceObject) {
    place.character_id = reader.U16();
    place.depth = reader.U16();
    place.matrix = ReadMatrixRecord(reader);
    if (!reader.ok()) Bad(tag, "PlaceObject ends early");
    // The colour transform is there only when the tag has bytes left for it.
    if (reader.remaining() > 0) {
      ByteReader rest(tag.body.subspan(reader.offset()));
      const ColorTransform color = ReadColorTransformRecord(rest, false);
      if (rest.ok()) place.color = color;
    }
    return place;
  }
  const uint8_t flags = reader.U8();
  const uint8_t flags3 = tag.code == swf_tag::kPlaceObject3 ? reader.U8() : 0;
  place.depth = reader.U16();
  place.move = (flags & 0x01) != 0;
  const bool has_image = (flags3 & 0x10) != 0;
  if ((flags3 & 0x08) || (has_image && (flags & 0x02))) place.class_name = ReadCString(reader);
  if (flags & 0x02) place.character_id = reader.U16();
  if (flags & 0x04) place.matrix = ReadMatrixRecord(reader);
  if (flags & 0x08) place.color = ReadColorTransformRecord(reader, true);
  if (flags & 0x10) place.ratio = reader.U16();
  if (flags & 0x20) place.name = ReadCString(reader);
  if (flags & 0x40) place.clip_depth = reader.U16();
  if (!reader.ok()) Bad(tag, "PlaceObject2 ends early");
  if (flags3 & 0x01) SkipFilterList(reader, place.filter_ids);
  if (flags3 & 0x02) place.blend_mode = reader.U8();
  if (flags3 & 0x04) place.cache_as_bitmap = reader.U8() != 0;
  // What the fields above describe is enough to draw; a damaged tail (effects, clip events)
  // loses only what lies in it.
  if (!reader.ok()) {
    place.filter_ids.clear();
    return place;
  }
  if (flags3 & 0x20) reader.Skip(5);  // visible flag and opaque background colour
  if ((flags & 0x80) && swf_version >= 5) place.clip_actions = reader.Bytes(reader.remaining());
  return place;
}

RemoveCommand ReadRemoveObject(const SwfTag& tag) {
  ByteReader reader(tag.body);
  RemoveCommand remove;
  if (tag.code == swf_tag::kRemoveObject) remove.character_id = reader.U16();
  remove.depth = reader.U16();
  if (!reader.ok()) Bad(tag, "RemoveObject ends early");
  return remove;
}

}  // namespace flashsaver
