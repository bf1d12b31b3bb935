#include <memory>

#include "player/display/definition_tags.h"
#include "player/display/morph_character.h"
#include "player/display/shape_character.h"
#include "player/swf/byte_reader.h"

namespace flashsaver {

void ReadShapeTag(const SwfTag& tag, CharacterLibrary& library) {
  ByteReader reader(tag.body);
  const uint16_t id = reader.U16();
  if (!reader.ok()) throw SwfError(SwfErrorKind::kBadTag, "shape tag without an id", tag.code);
  try {
    switch (tag.code) {
      case swf_tag::kDefineShape:
      case swf_tag::kDefineShape2:
      case swf_tag::kDefineShape3:
      case swf_tag::kDefineShape4: {
        const int version = tag.code == swf_tag::kDefineShape    ? 1
                            : tag.code == swf_tag::kDefineShape2 ? 2
                            : tag.code == swf_tag::kDefineShape3 ? 3
                                                                 : 4;
        library.Define(id, std::make_shared<ShapeCharacter>(ReadShape(reader, version)));
        break;
      }
      case swf_tag::kDefineMorphShape:
      case swf_tag::kDefineMorphShape2: {
        const int version = tag.code == swf_tag::kDefineMorphShape ? 1 : 2;
        library.Define(id, std::make_shared<MorphCharacter>(ReadMorphShape(reader, version)));
        break;
      }
      default:
        break;
    }
  } catch (const SwfError& e) {
    // The readers below do not know the tag; the error names it here.
    throw SwfError(e.kind(), e.what(), tag.code);
  }
}

}  // namespace flashsaver
