// The movie's character dictionary, filled by the definition tags as the timeline reaches them.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "player/display/character.h"

namespace flashsaver {

class DeviceFonts;
class FontCharacter;

class CharacterLibrary final : public BitmapSource {
 public:
  explicit CharacterLibrary(uint8_t swf_version) : swf_version_(swf_version) {}

  uint8_t swf_version() const { return swf_version_; }

  // Flash keeps the first definition of an id; later ones are ignored.
  void Define(uint16_t id, std::shared_ptr<const Character> character);
  const Character* Find(uint16_t id) const;
  template <typename T>
  const T* FindAs(uint16_t id, CharacterType type) const {
    const Character* c = Find(id);
    return c && c->type() == type ? static_cast<const T*>(c) : nullptr;
  }
  const Picture* FindBitmap(uint16_t id) const override;

  // Mutable access for tags that add to an earlier definition (DefineFontInfo, alignment zones,
  // scaling grids). Null when the id is not defined.
  std::shared_ptr<const Character> Shared(uint16_t id) const;
  void Replace(uint16_t id, std::shared_ptr<const Character> character);

  // The embedded font a field with embedFonts draws a face name in: the one of that style, else
  // any of that name; of several, the first defined. Null when the movie has none.
  const FontCharacter* FontNamed(std::string_view name, bool bold, bool italic) const;

  // The JPEGTables tag's encoding tables, shared by every DefineBits of the movie.
  std::vector<uint8_t> jpeg_tables;
  // Outlines of the system's fonts for device-font text; may be null (then nothing is drawn).
  const DeviceFonts* device_fonts = nullptr;

 private:
  uint8_t swf_version_;
  std::unordered_map<uint16_t, std::shared_ptr<const Character>> characters_;
};

}  // namespace flashsaver
