#include "player/display/shape_character.h"

namespace flashsaver {

void ShapeCharacter::Draw(Canvas& canvas, const RenderState& state, const BitmapSource& bitmaps,
                          uint16_t) const {
  canvas.DrawShape(drawing_, state, bitmaps);
}

SwfRect ShapeCharacter::Bounds(uint16_t) const { return drawing_.bounds(); }

}  // namespace flashsaver
