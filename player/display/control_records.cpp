#include "player/display/control_records.h"

#include <bit>

#include "player/swf/basic_records.h"
#include "player/swf/tag_codes.h"

namespace flashsaver {
namespace {

int16_t Term(ByteReader& reader, int bits) { return static_cast<int16_t>(reader.SignedBits(bits)); }

[[noreturn]] void Bad(const SwfTag& tag, const char* what) {
  throw SwfError(SwfErrorKind::kBadTag, what, tag.code);
}

}  // namespace

namespace {

double ReadFixed(ByteReader& reader) { return static_cast<int32_t>(reader.U32()) / 65536.0; }
double ReadFixed8(ByteReader& reader) { return static_cast<int16_t>(reader.U16()) / 256.0; }
float ReadFloat(ByteReader& reader) { return std::bit_cast<float>(reader.U32()); }

// Blur, angle, distance, strength and the flag byte that shadows, glows and bevels share.
void ReadShadowTail(ByteReader& reader, Filter& f, bool has_angle, bool bevel) {
  f.blur_x = ReadFixed(reader);
  f.blur_y = ReadFixed(reader);
  if (has_angle) {
    f.angle = ReadFixed(reader);
    f.distance = ReadFixed(reader);
  }
  f.strength = ReadFixed8(reader);
  const uint8_t flags = reader.U8();
  f.inner = (flags & 0x80) != 0;
  f.knockout = (flags & 0x40) != 0;
  f.hide_object = (flags & 0x20) == 0;  // "composite source" clear: the object is not drawn
  if (bevel) {
    f.on_top = (flags & 0x10) != 0;
    f.passes = flags & 0x0F;
  } else {
    f.passes = flags & 0x1F;
  }
  // Only a drop shadow can hide its object; the others always keep it.
  if (f.kind != FilterKind::kDropShadow) f.hide_object = false;
}

}  // namespace

void ReadFilterList(ByteReader& reader, std::vector<Filter>& filters) {
  const uint8_t count = reader.U8();
  for (uint8_t i = 0; i < count && reader.ok(); ++i) {
    const uint8_t id = reader.U8();
    Filter f;
    f.kind = static_cast<FilterKind>(id);
    switch (id) {
      case 0:  // drop shadow
        f.colour = ReadRgba(reader);
        ReadShadowTail(reader, f, true, false);
        break;
      case 1: {  // blur
        f.blur_x = ReadFixed(reader);
        f.blur_y = ReadFixed(reader);
        f.passes = reader.U8() >> 3;
        break;
      }
      case 2:  // glow
        f.colour = ReadRgba(reader);
        ReadShadowTail(reader, f, false, false);
        break;
      case 3:  // bevel: the first colour is the highlight's, whatever the record's name says
        f.highlight = ReadRgba(reader);
        f.colour = ReadRgba(reader);
        ReadShadowTail(reader, f, true, true);
        break;
      case 4:    // gradient glow
      case 7: {  // gradient bevel
        const uint8_t colours = reader.U8();
        std::vector<Rgba> rgba;
        for (uint8_t k = 0; k < colours && reader.ok(); ++k) rgba.push_back(ReadRgba(reader));
        for (uint8_t k = 0; k < colours && reader.ok(); ++k) {
          f.gradient.emplace_back(reader.U8(), rgba[k]);
        }
        ReadShadowTail(reader, f, true, true);
        break;
      }
      case 5: {  // convolution
        f.matrix_x = reader.U8();
        f.matrix_y = reader.U8();
        f.divisor = ReadFloat(reader);
        f.bias = ReadFloat(reader);
        const size_t n = static_cast<size_t>(f.matrix_x) * static_cast<size_t>(f.matrix_y);
        for (size_t k = 0; k < n && reader.ok(); ++k) f.matrix.push_back(ReadFloat(reader));
        f.default_colour = ReadRgba(reader);
        const uint8_t flags = reader.U8();
        f.clamp = (flags & 0x02) != 0;
        f.preserve_alpha = (flags & 0x01) != 0;
        break;
      }
      case 6:  // colour matrix
        for (float& v : f.colour_matrix) v = ReadFloat(reader);
        break;
      default:  // an unknown filter's length is unknown: nothing after it can be read
        reader.Skip(reader.remaining() + 1);
        break;
    }
    // Each filter costs a pass over the object's picture: a few dozen are all any movie uses.
    if (reader.ok() && filters.size() < kMaxFiltersPerObject) filters.push_back(std::move(f));
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
  if (flags3 & 0x01) ReadFilterList(reader, place.filters);
  if (flags3 & 0x02) place.blend_mode = reader.U8();
  if (flags3 & 0x04) place.cache_as_bitmap = reader.U8() != 0;
  // What the fields above describe is enough to draw; a damaged tail (effects, clip events)
  // loses only what lies in it.
  if (!reader.ok()) {
    place.filters.clear();
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
