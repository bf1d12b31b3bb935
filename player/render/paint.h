// Paints: what fills a span of pixels for one fill style (solid colour, gradient, bitmap), with
// the colour transform already applied. Colours are premultiplied 0xAARRGGBB, as in Picture.
#pragma once

#include <array>
#include <cstdint>

#include "player/render/picture.h"
#include "player/swf/shape_records.h"

namespace flashsaver {

using GradientRamp = std::array<uint32_t, 256>;

// The gradient's 256 colours: stops interpolated (in sRGB or linear RGB) and the colour
// transform applied to each entry, then premultiplied.
GradientRamp BuildGradientRamp(const Gradient& gradient, const ColorTransform& color);

uint32_t Premultiply(Rgba c);

class Paint {
 public:
  // fill_to_target maps the fill's own space (the gradient square or bitmap pixels, via the
  // fill matrix) to target pixels. bitmap may be null (the fill draws nothing).
  void SetSolid(Rgba color, const ColorTransform& cx);
  void SetFill(const FillStyle& fill, const Matrix& shape_to_target, const ColorTransform& cx,
               const Picture* bitmap, bool smooth_bitmaps);

  bool solid() const { return kind_ == Kind::kSolid; }
  uint32_t color() const { return color_; }
  // Colours of the pixels x..x+len-1 of row y, sampled at pixel centres.
  void Generate(uint32_t* out, int x, int y, int len) const;

 private:
  enum class Kind : uint8_t { kSolid, kLinear, kRadial, kFocal, kBitmap };
  void GenerateGradient(uint32_t* out, int x, int y, int len) const;
  template <Kind kind>
  void GradientRun(uint32_t* out, double u, double v, double du, double dv, int len) const;
  template <Kind kind, SpreadMode spread>
  void GradientRun(uint32_t* out, double u, double v, double du, double dv, int len) const;
  void GenerateBitmap(uint32_t* out, int x, int y, int len) const;
  template <bool repeat, bool smooth>
  void BitmapRun(uint32_t* out, double u, double v, int len) const;

  Kind kind_ = Kind::kSolid;
  uint32_t color_ = 0;
  // Target pixels to the fill's space.
  double ia_ = 0, ib_ = 0, ic_ = 0, id_ = 0, itx_ = 0, ity_ = 0;
  GradientRamp ramp_{};
  SpreadMode spread_ = SpreadMode::kPad;
  double focal_ = 0;
  const Picture* bitmap_ = nullptr;
  bool repeat_ = false;
  bool smooth_ = false;
  ColorTransform bitmap_cx_;
};

}  // namespace flashsaver
