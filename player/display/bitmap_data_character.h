// A BitmapData shown on the display list (attachBitmap): a leaf that draws the bitmap's pixels
// as they are when drawn, so a script's change shows in the next frame.
#pragma once

#include <memory>

#include "player/display/bitmap_data.h"
#include "player/display/character.h"
#include "player/render/shape_drawing.h"

namespace flashsaver {

// A rectangle of the bitmap's size (twips) filled with its pixels, one pixel per 20 twips.
ShapeDrawing BitmapRectDrawing(const std::shared_ptr<const Picture>& picture, bool smoothing);

// The bitmap as a picture that shares its owner's lifetime.
inline std::shared_ptr<const Picture> PictureOf(const std::shared_ptr<BitmapPixels>& pixels) {
  return std::shared_ptr<const Picture>(pixels, &pixels->picture);
}

class BitmapDataCharacter final : public DrawableCharacter {
 public:
  BitmapDataCharacter(std::shared_ptr<BitmapPixels> pixels, bool smoothing)
      : pixels_(std::move(pixels)), smoothing_(smoothing) {}
  CharacterType type() const override { return CharacterType::kBitmap; }
  void Draw(Canvas& canvas, const RenderState& state, const BitmapSource& bitmaps,
            uint16_t) const override {
    if (pixels_->disposed) return;
    canvas.DrawShape(BitmapRectDrawing(PictureOf(pixels_), smoothing_), state, bitmaps);
  }
  SwfRect Bounds(uint16_t) const override {
    if (pixels_->disposed) return SwfRect{};
    return SwfRect{Twips{0}, Twips{pixels_->width() * 20}, Twips{0}, Twips{pixels_->height() * 20}};
  }
  uint32_t revision() const override { return pixels_->revision; }

 private:
  std::shared_ptr<BitmapPixels> pixels_;
  bool smoothing_;
};

}  // namespace flashsaver
