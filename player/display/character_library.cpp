#include "player/display/character_library.h"

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

}  // namespace flashsaver
