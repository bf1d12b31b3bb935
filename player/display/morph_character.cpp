#include "player/display/morph_character.h"

#include <cmath>

namespace flashsaver {

void MorphCharacter::Draw(Canvas& canvas, const RenderState& state, const BitmapSource& bitmaps,
                          uint16_t ratio) const {
  std::lock_guard lock(cache_mutex_);
  if (cached_ratio_ != ratio) {
    cached_ = ShapeDrawing::FromMorph(morph_, ratio);
    cached_ratio_ = ratio;
  }
  canvas.DrawShape(cached_, state, bitmaps);
}

SwfRect MorphCharacter::Bounds(uint16_t ratio) const {
  const double t = ratio / 65535.0;
  auto lerp = [t](Twips a, Twips b) {
    return Twips{static_cast<int32_t>(std::lround(a.value + (b.value - a.value) * t))};
  };
  const SwfRect& s = morph_.start_bounds;
  const SwfRect& e = morph_.end_bounds;
  return {lerp(s.x_min, e.x_min), lerp(s.x_max, e.x_max), lerp(s.y_min, e.y_min),
          lerp(s.y_max, e.y_max)};
}

}  // namespace flashsaver
