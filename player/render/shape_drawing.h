// A shape's styles and outlines prepared for drawing. Each style-array of the file becomes a
// layer, drawn in order: its fills in one pass, then each line style in a pass of its own (so a
// line crossing itself does not blend twice). Fill edges keep both the style on their left
// (fill0) and on their right (fill1), which is how a compound rasterizer fills shared edges
// without seams.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "player/render/path.h"
#include "player/swf/shape_records.h"

namespace flashsaver {

// Consecutive edges that share their two fill styles; the path starts with a move.
struct FillRun {
  uint32_t fill0 = 0, fill1 = 0;  // 1-based into the layer's fills, 0 for none
  Path path;
};

struct ShapeLayer {
  std::vector<FillStyle> fills;
  std::vector<LineStyle> lines;
  std::vector<FillRun> fill_runs;
  std::vector<Path> line_paths;  // one per line style, same index
};

class ShapeDrawing {
 public:
  static ShapeDrawing FromShape(const Shape& shape);
  // ratio 0 is the start shape, 65535 the end shape.
  static ShapeDrawing FromMorph(const MorphShape& morph, uint16_t ratio);

  // Every outline point moved by map and every fill matrix multiplied by fills (on the outside):
  // for drawings that no single matrix describes (nine-slice scaling).
  ShapeDrawing Transformed(const std::function<Point(Point)>& map, const Matrix& fills) const;

  const std::vector<ShapeLayer>& layers() const { return layers_; }
  bool non_zero() const { return non_zero_; }
  const SwfRect& bounds() const { return bounds_; }

 private:
  friend class ShapeBuilder;
  std::vector<ShapeLayer> layers_;
  bool non_zero_ = false;
  SwfRect bounds_;
};

}  // namespace flashsaver
