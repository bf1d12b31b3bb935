#include "player/render/nine_slice.h"

#include <algorithm>
#include <cmath>

namespace flashsaver {

std::optional<NineSlice::Axis> NineSlice::Axis::Make(double lo, double hi, double grid_lo,
                                                     double grid_hi, double scale) {
  if (!(hi > lo) || !(grid_hi > grid_lo) || grid_lo < lo || grid_hi > hi) return std::nullopt;
  if (!(scale > 1e-9) || !std::isfinite(scale)) return std::nullopt;
  Axis a{lo, hi, grid_lo, grid_hi, scale, 0, 0};
  const double margin_lo = grid_lo - lo, margin_hi = hi - grid_hi;
  const double span = (hi - lo) * scale;
  // Shrunk below its margins, the corners give up their size in proportion and the centre
  // vanishes.
  const double fit = std::min(1.0, span / std::max(margin_lo + margin_hi, 1e-9));
  a.out_grid_lo = lo * scale + margin_lo * fit;
  a.out_grid_hi = hi * scale - margin_hi * fit;
  return a;
}

double NineSlice::Axis::Map(double v) const {
  if (v <= grid_lo)
    return out_grid_lo -
           (grid_lo - v) * (out_grid_lo - lo * scale) / (grid_lo - lo > 0 ? grid_lo - lo : 1);
  if (v >= grid_hi)
    return out_grid_hi +
           (v - grid_hi) * (hi * scale - out_grid_hi) / (hi - grid_hi > 0 ? hi - grid_hi : 1);
  return out_grid_lo + (v - grid_lo) * (out_grid_hi - out_grid_lo) / (grid_hi - grid_lo);
}

std::optional<NineSlice> NineSlice::Make(const SwfRect& bounds, const SwfRect& grid,
                                         const Matrix& sprite) {
  const double sx = std::hypot(sprite.a, sprite.b), sy = std::hypot(sprite.c, sprite.d);
  auto x =
      Axis::Make(bounds.x_min.value, bounds.x_max.value, grid.x_min.value, grid.x_max.value, sx);
  auto y =
      Axis::Make(bounds.y_min.value, bounds.y_max.value, grid.y_min.value, grid.y_max.value, sy);
  if (!x || !y) return std::nullopt;
  NineSlice slice;
  slice.x_ = *x;
  slice.y_ = *y;
  return slice;
}

Matrix NineSlice::Unscaled(const Matrix& full) const {
  return full * Matrix{1 / x_.scale, 0, 0, 1 / y_.scale, 0, 0};
}

SwfRect NineSlice::MappedBounds() const {
  auto tw = [](double v) {
    return Twips{static_cast<int32_t>(std::clamp(std::round(v), -2e9, 2e9))};
  };
  return {tw(x_.lo * x_.scale), tw(x_.hi * x_.scale), tw(y_.lo * y_.scale), tw(y_.hi * y_.scale)};
}

ShapeDrawing NineSlice::Slice(const ShapeDrawing& shape, const Matrix& child) const {
  const Matrix stretch{x_.scale, 0, 0, y_.scale, 0, 0};
  return shape.Transformed([&](Point p) { return Map(child.Apply(p)); }, stretch * child);
}

}  // namespace flashsaver
