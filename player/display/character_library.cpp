#include "player/display/character_library.h"

#include "player/text/font_character.h"

namespace flashsaver {

void CharacterLibrary::Define(uint16_t id, std::shared_ptr<const Character> character) {
  if (character) characters_.try_emplace(id, std::move(character));
}

const Character* CharacterLibrary::Find(uint16_t id) const {
  const auto it = characters_.find(id);
  return it == characters_.end() ? nullptr : it->second.get();
}

const Picture* CharacterLibrary::FindBitmap(uint16_t id) const {
  const auto* bitmap = FindAs<BitmapCharacter>(id, CharacterType::kBitmap);
  return bitmap ? &bitmap->picture() : nullptr;
}

std::shared_ptr<const Character> CharacterLibrary::Shared(uint16_t id) const {
  const auto it = characters_.find(id);
  return it == characters_.end() ? nullptr : it->second;
}

void CharacterLibrary::Replace(uint16_t id, std::shared_ptr<const Character> character) {
  if (character) characters_[id] = std::move(character);
}

const FontCharacter* CharacterLibrary::FontNamed(std::string_view name, bool bold,
                                                 bool italic) const {
  const FontCharacter* styled = nullptr;
  const FontCharacter* any = nullptr;
  uint16_t styled_id = 0, any_id = 0;
  for (const auto& [id, character] : characters_) {
    if (character->type() != CharacterType::kFont) continue;
    const auto* font = static_cast<const FontCharacter*>(character.get());
    if (font->name != name || font->glyphs.empty()) continue;
    if (!any || id < any_id) any = font, any_id = id;
    if (font->bold == bold && font->italic == italic && (!styled || id < styled_id)) {
      styled = font, styled_id = id;
    }
  }
  return styled ? styled : any;
}

}  // namespace flashsaver
