// DefineShape 1-4 as a character: the records turned into a ShapeDrawing once, at definition.
#pragma once

#include "player/display/character.h"
#include "player/render/shape_drawing.h"

namespace flashsaver {

class ShapeCharacter final : public DrawableCharacter {
 public:
  explicit ShapeCharacter(const Shape& shape) : drawing_(ShapeDrawing::FromShape(shape)) {}
  CharacterType type() const override { return CharacterType::kShape; }
  void Draw(Canvas& canvas, const RenderState& state, const BitmapSource& bitmaps,
            uint16_t ratio) const override;
  SwfRect Bounds(uint16_t ratio) const override;
  const ShapeDrawing& drawing() const { return drawing_; }

 private:
  ShapeDrawing drawing_;
};

}  // namespace flashsaver
