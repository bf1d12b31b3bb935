#include "player/display/character_library.h"
#include "player/display/definition_tags.h"
#include "player/swf/byte_reader.h"
#include "player/text/edit_text.h"
#include "player/text/font_character.h"
#include "player/text/static_text.h"

namespace flashsaver {

void ReadTextTag(const SwfTag& tag, CharacterLibrary& library) {
  ByteReader id_reader(tag.body);
  const uint16_t id = id_reader.U16();
  if (!id_reader.ok()) throw SwfError(SwfErrorKind::kBadTag, "no character id", tag.code);
  const uint8_t version = library.swf_version();
  switch (tag.code) {
    case swf_tag::kDefineFont:
      library.Define(id, ReadDefineFont(tag));
      break;
    case swf_tag::kDefineFont2:
    case swf_tag::kDefineFont3:
      library.Define(id, ReadDefineFont2(tag, version));
      break;
    case swf_tag::kDefineFontInfo:
    case swf_tag::kDefineFontInfo2:
    case swf_tag::kDefineFontAlignZones:
      // These add to a font defined earlier; one for an unknown id is ignored.
      if (const auto* font = library.FindAs<FontCharacter>(id, CharacterType::kFont)) {
        library.Replace(id, tag.code == swf_tag::kDefineFontAlignZones
                                ? ApplyAlignZones(tag, *font)
                                : ApplyFontInfo(tag, *font, version));
      }
      break;
    case swf_tag::kDefineText:
    case swf_tag::kDefineText2:
      library.Define(id, ReadDefineText(tag, library));
      break;
    case swf_tag::kDefineEditText:
      library.Define(id, ReadDefineEditText(tag, library));
      break;
    default:
      break;
  }
}

}  // namespace flashsaver
