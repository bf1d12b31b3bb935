// Units of the SWF format as their own types, so that twips, pixels and fixed-point frame rates
// are never mixed up.
#pragma once

#include <cstdint>

namespace flashsaver {

// 1/20 of a pixel, the unit of every SWF coordinate.
struct Twips {
  int32_t value = 0;
  static constexpr int32_t kPerPixel = 20;
  double ToPixels() const { return static_cast<double>(value) / kPerPixel; }
  friend bool operator==(Twips, Twips) = default;
};

struct SwfRect {
  Twips x_min, x_max, y_min, y_max;
  Twips Width() const { return Twips{x_max.value - x_min.value}; }
  Twips Height() const { return Twips{y_max.value - y_min.value}; }
  friend bool operator==(const SwfRect&, const SwfRect&) = default;
};

// Frames per second as 8.8 fixed point, as the header stores it.
struct FrameRate {
  uint16_t fixed_8_8 = 0;
  double PerSecond() const { return fixed_8_8 / 256.0; }
  friend bool operator==(FrameRate, FrameRate) = default;
};

// 0xRRGGBB.
struct Rgb {
  uint32_t value = 0;
  uint8_t Red() const { return static_cast<uint8_t>(value >> 16); }
  uint8_t Green() const { return static_cast<uint8_t>(value >> 8); }
  uint8_t Blue() const { return static_cast<uint8_t>(value); }
  friend bool operator==(Rgb, Rgb) = default;
};

// A colour with alpha, straight (not premultiplied), as SWF's RGBA records store it.
struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 255;
  friend bool operator==(Rgba, Rgba) = default;
};

// A point in twips, kept in double so that transformed coordinates lose nothing.
struct Point {
  double x = 0, y = 0;
  friend bool operator==(Point, Point) = default;
};

// SWF's MATRIX: x' = a·x + c·y + tx, y' = b·x + d·y + ty, translation in twips (or in the
// target's unit once concatenated with a stage-to-pixel matrix).
struct Matrix {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  Point Apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
  // this ∘ inner: inner applies first.
  Matrix operator*(const Matrix& inner) const {
    return {a * inner.a + c * inner.b,        b * inner.a + d * inner.b,
            a * inner.c + c * inner.d,        b * inner.c + d * inner.d,
            a * inner.tx + c * inner.ty + tx, b * inner.tx + d * inner.ty + ty};
  }
  static Matrix Translate(double x, double y) { return {1, 0, 0, 1, x, y}; }
  static Matrix Scale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
  friend bool operator==(const Matrix&, const Matrix&) = default;
};

// SWF's CXFORMWITHALPHA. Multipliers are 8.8 fixed point (256 = unchanged) and the additions
// whole colour steps, as Flash computes them: c' = clamp(c·mult/256 + add).
struct ColorTransform {
  int16_t r_mult = 256, g_mult = 256, b_mult = 256, a_mult = 256;
  int16_t r_add = 0, g_add = 0, b_add = 0, a_add = 0;

  Rgba Apply(Rgba c) const;
  // this ∘ inner: inner applies first.
  ColorTransform operator*(const ColorTransform& inner) const;
  bool IsIdentity() const { return *this == ColorTransform{}; }
  friend bool operator==(const ColorTransform&, const ColorTransform&) = default;
};

}  // namespace flashsaver
