#include "player/display/clip_drawing.h"

#include <algorithm>
#include <cmath>

namespace flashsaver {

int32_t ClipDrawing::Twips(double v) const {
  if (!std::isfinite(v)) return 0;
  return static_cast<int32_t>(std::lround(std::clamp(v, -1e8, 1e8)));
}

void ClipDrawing::SetLine(std::optional<LineStyle> line) {
  line_ = std::move(line);
  layer_open_ = false;
  ++revision_;
  cached_.reset();
}

void ClipDrawing::BeginFill(const FillStyle& fill) {
  if (fill_) EndFill();
  fill_ = fill;
  if (fill.picture) live_pictures_ = true;
  layer_open_ = false;
  fill_first_record_ = shape_.records.size();
  fill_area_ = 0;
  start_x_ = x_, start_y_ = y_;
  ++revision_;
  cached_.reset();
}

void ClipDrawing::EndFill() {
  if (!fill_) return;
  CloseContour();
  // The records give the fill on the right of each edge; a contour drawn the other way round
  // has its inside on the left. Flash fills either.
  if (fill_area_ < 0) {
    for (size_t i = fill_first_record_; i < shape_.records.size(); ++i) {
      ShapeRecord& r = shape_.records[i];
      if (r.kind == ShapeRecord::Kind::kStyleChange && r.fill1 == 1u) {
        r.fill0 = 1;
        r.fill1 = 0;
      }
    }
  }
  fill_.reset();
  layer_open_ = false;
  ++revision_;
  cached_.reset();
}

void ClipDrawing::StartLayer() {
  if (shape_.styles.size() >= kMaxStyleArrays) return;
  StyleArrays styles;
  if (fill_) styles.fills.push_back(*fill_);
  if (line_) styles.lines.push_back(*line_);
  ShapeRecord r;
  r.new_styles = static_cast<uint32_t>(shape_.styles.size());
  shape_.styles.push_back(std::move(styles));
  r.has_move = true;
  r.move_x = x_, r.move_y = y_;
  r.fill0 = 0;
  r.fill1 = fill_ ? 1u : 0u;
  r.line = line_ ? 1u : 0u;
  shape_.records.push_back(r);
  layer_open_ = true;
}

void ClipDrawing::Edge(int32_t dx, int32_t dy, int32_t cdx, int32_t cdy, bool curve) {
  if (shape_.records.size() + 4 >= kMaxDrawingRecords) return;
  if (!layer_open_) StartLayer();
  if (!layer_open_) return;
  ShapeRecord r;
  r.kind = curve ? ShapeRecord::Kind::kCurve : ShapeRecord::Kind::kStraight;
  r.control_dx = cdx, r.control_dy = cdy;
  r.dx = dx, r.dy = dy;
  shape_.records.push_back(r);
  // The pen's path as a polygon (control points included) for the fill's orientation.
  auto cross = [&](int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    fill_area_ += static_cast<double>(x0 * y1 - x1 * y0);
  };
  const int64_t cx = curve ? x_ + cdx : x_, cy = curve ? y_ + cdy : y_;
  const int64_t ax = cx + dx, ay = cy + dy;
  if (curve) cross(x_, y_, cx, cy);
  cross(cx, cy, ax, ay);
  // Bounds in twips, widened by half the line.
  const int32_t pad = line_ ? line_->width / 2 : 0;
  SwfRect& b = shape_.bounds;
  for (const auto& [px, py] : {std::pair<int64_t, int64_t>{x_, y_}, {cx, cy}, {ax, ay}}) {
    const bool first = !has_bounds_;
    has_bounds_ = true;
    const auto x0 = static_cast<int32_t>(px - pad), x1 = static_cast<int32_t>(px + pad);
    const auto y0 = static_cast<int32_t>(py - pad), y1 = static_cast<int32_t>(py + pad);
    b.x_min.value = first ? x0 : std::min(b.x_min.value, x0);
    b.x_max.value = first ? x1 : std::max(b.x_max.value, x1);
    b.y_min.value = first ? y0 : std::min(b.y_min.value, y0);
    b.y_max.value = first ? y1 : std::max(b.y_max.value, y1);
  }
  shape_.edge_bounds = b;
  x_ = static_cast<int32_t>(ax), y_ = static_cast<int32_t>(ay);
  ++revision_;
  cached_.reset();
}

void ClipDrawing::CloseContour() {
  if (!fill_ || !layer_open_ || (x_ == start_x_ && y_ == start_y_)) return;
  // The closing edge fills but is not stroked.
  ShapeRecord off;
  off.line = 0;
  shape_.records.push_back(off);
  Edge(start_x_ - x_, start_y_ - y_, 0, 0, false);
  ShapeRecord on;
  on.line = line_ ? 1u : 0u;
  shape_.records.push_back(on);
}

void ClipDrawing::MoveTo(double x, double y) {
  CloseContour();
  x_ = Twips(x), y_ = Twips(y);
  start_x_ = x_, start_y_ = y_;
  if (layer_open_ && shape_.records.size() < kMaxDrawingRecords) {
    ShapeRecord r;
    r.has_move = true;
    r.move_x = x_, r.move_y = y_;
    shape_.records.push_back(r);
  }
}

void ClipDrawing::LineTo(double x, double y) { Edge(Twips(x) - x_, Twips(y) - y_, 0, 0, false); }

void ClipDrawing::CurveTo(double cx, double cy, double x, double y) {
  const int32_t tcx = Twips(cx), tcy = Twips(cy);
  Edge(Twips(x) - tcx, Twips(y) - tcy, tcx - x_, tcy - y_, true);
}

void ClipDrawing::Clear() {
  shape_ = Shape{};
  line_.reset();
  fill_.reset();
  x_ = y_ = start_x_ = start_y_ = 0;
  layer_open_ = false;
  has_bounds_ = false;
  live_pictures_ = false;
  fill_area_ = 0;
  ++revision_;
  cached_.reset();
}

const ShapeDrawing& ClipDrawing::Drawing() const {
  if (!cached_) {
    // A fill still open draws as if closed.
    ClipDrawing closed = *this;
    closed.cached_.reset();
    closed.EndFill();
    cached_ = ShapeDrawing::FromShape(closed.shape_);
  }
  return *cached_;
}

}  // namespace flashsaver
