// DefineMorphShape 1-2 as a character: drawn at the ratio of its placement. The drawing of the
// last ratio asked for is kept, since a placed morph is drawn at one ratio for many frames.
#pragma once

#include <mutex>
#include <optional>

#include "player/display/character.h"
#include "player/render/shape_drawing.h"

namespace flashsaver {

class MorphCharacter final : public DrawableCharacter {
 public:
  explicit MorphCharacter(MorphShape morph) : morph_(std::move(morph)) {}
  CharacterType type() const override { return CharacterType::kMorphShape; }
  void Draw(Canvas& canvas, const RenderState& state, const BitmapSource& bitmaps,
            uint16_t ratio) const override;
  SwfRect Bounds(uint16_t ratio) const override;

 private:
  MorphShape morph_;
  mutable std::mutex cache_mutex_;
  mutable std::optional<uint16_t> cached_ratio_;
  mutable ShapeDrawing cached_;
};

}  // namespace flashsaver
