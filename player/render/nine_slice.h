// Nine-slice scaling (DefineScalingGrid): a sprite's shapes are stretched piecewise so that
// the four corners outside the grid keep their size, the edges stretch along one axis and the
// centre along both. Only shapes placed directly in the sprite are sliced, as in Flash.
#pragma once

#include <optional>

#include "player/render/shape_drawing.h"
#include "player/swf/swf_types.h"

namespace flashsaver {

class NineSlice {
 public:
  // bounds: the sliced shapes' area in the sprite's twips; grid: the centre rectangle;
  // sprite: the sprite's own matrix, whose scale the slicing takes over. Nothing when the grid
  // cannot slice (empty, or not inside the bounds).
  static std::optional<NineSlice> Make(const SwfRect& bounds, const SwfRect& grid,
                                       const Matrix& sprite);

  // A point of the sprite's twips, moved to the sliced place in the scaled space.
  Point Map(Point p) const { return {x_.Map(p.x), y_.Map(p.y)}; }
  // What the sprite's full matrix becomes once Map has taken its scale over.
  Matrix Unscaled(const Matrix& full) const;
  // The sliced area in the scaled space.
  SwfRect MappedBounds() const;
  // The shape (with its own matrix inside the sprite) moved point by point; fill matrices are
  // stretched by the sprite's scale so gradients and bitmaps span the stretched shape.
  ShapeDrawing Slice(const ShapeDrawing& shape, const Matrix& child) const;

 private:
  struct Axis {
    double lo = 0, hi = 0;                    // the bounds
    double grid_lo = 0, grid_hi = 0;          // the grid
    double scale = 1;                         // the sprite's scale along this axis
    double out_grid_lo = 0, out_grid_hi = 0;  // where the grid lands, scaled space
    double Map(double v) const;
    static std::optional<Axis> Make(double lo, double hi, double grid_lo, double grid_hi,
                                    double scale);
  };
  Axis x_, y_;
};

}  // namespace flashsaver
