// What the character dictionary holds: one object per defined character id. Shapes, morphs,
// static and edit text draw themselves; sprites and buttons are expanded by the display list.
#pragma once

#include <cstdint>
#include <utility>

#include "player/render/canvas.h"
#include "player/render/picture.h"
#include "player/swf/swf_types.h"

namespace flashsaver {

enum class CharacterType : uint8_t {
  kShape,
  kMorphShape,
  kBitmap,
  kFont,
  kText,
  kEditText,
  kSprite,
  kButton,
  kVideo,
};

class Character {
 public:
  virtual ~Character() = default;
  virtual CharacterType type() const = 0;
};

// A character that the display list places as a leaf and draws with its own state.
class DrawableCharacter : public Character {
 public:
  // ratio: the PlaceObject ratio (0 to 65535), used by morph shapes only.
  virtual void Draw(Canvas& canvas, const RenderState& state, const BitmapSource& bitmaps,
                    uint16_t ratio) const = 0;
  // Bounds in the character's own twips, for hit tests, dirty regions and _width/_height.
  virtual SwfRect Bounds(uint16_t ratio) const = 0;
  // Changes when the picture does without the character changing (a script's bitmap).
  virtual uint32_t revision() const { return 0; }
};

// A decoded DefineBits* picture, used by bitmap fills.
class BitmapCharacter final : public Character {
 public:
  explicit BitmapCharacter(Picture picture) : picture_(std::move(picture)) {}
  CharacterType type() const override { return CharacterType::kBitmap; }
  const Picture& picture() const { return picture_; }

 private:
  Picture picture_;
};

}  // namespace flashsaver
