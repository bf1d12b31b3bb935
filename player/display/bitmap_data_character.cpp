#include "player/display/bitmap_data_character.h"

namespace flashsaver {

ShapeDrawing BitmapRectDrawing(const std::shared_ptr<const Picture>& picture, bool smoothing) {
  const int32_t w = picture->width * 20, h = picture->height * 20;
  Shape shape;
  shape.bounds = SwfRect{Twips{0}, Twips{w}, Twips{0}, Twips{h}};
  shape.edge_bounds = shape.bounds;
  FillStyle fill;
  fill.kind = FillKind::kBitmap;
  fill.matrix = Matrix::Scale(20, 20);
  fill.bitmap_repeat = false;
  fill.bitmap_smooth = smoothing;
  fill.picture = picture;
  shape.styles.push_back(StyleArrays{{fill}, {}});
  ShapeRecord start;
  start.has_move = true;
  start.fill0 = 0;
  start.fill1 = 1;  // clockwise on screen: the inside lies right of each edge
  shape.records.push_back(start);
  for (auto [dx, dy] : {std::pair{w, 0}, {0, h}, {-w, 0}, {0, -h}}) {
    ShapeRecord edge;
    edge.kind = ShapeRecord::Kind::kStraight;
    edge.dx = dx, edge.dy = dy;
    shape.records.push_back(edge);
  }
  return ShapeDrawing::FromShape(shape);
}

}  // namespace flashsaver
