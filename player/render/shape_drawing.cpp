#include "player/render/shape_drawing.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace flashsaver {

// Collects edges in absolute twips into the layers of a ShapeDrawing.
class ShapeBuilder {
 public:
  explicit ShapeBuilder(ShapeDrawing& out) : out_(out) {}

  void NewLayer(std::vector<FillStyle> fills, std::vector<LineStyle> lines) {
    ShapeLayer& layer = out_.layers_.emplace_back();
    layer.fills = std::move(fills);
    layer.lines = std::move(lines);
    layer.line_paths.resize(layer.lines.size());
    fill0_ = fill1_ = line_ = 0;
    run_ = nullptr;
  }

  void SetStyles(std::optional<uint32_t> fill0, std::optional<uint32_t> fill1,
                 std::optional<uint32_t> line) {
    ShapeLayer& layer = out_.layers_.back();
    // An index past the arrays draws nothing, as if it were 0.
    auto valid = [](uint32_t i, size_t n) { return i <= n ? i : 0u; };
    if (fill0) fill0_ = valid(*fill0, layer.fills.size());
    if (fill1) fill1_ = valid(*fill1, layer.fills.size());
    if (line) line_ = valid(*line, layer.lines.size());
    run_ = nullptr;
  }

  void MoveTo(Point p) {
    pen_ = p;
    run_ = nullptr;
  }

  void LineTo(Point p) {
    if (Path* fill = FillPath()) fill->LineTo(p);
    if (Path* line = LinePath()) line->LineTo(p);
    pen_ = p;
  }

  void CurveTo(Point control, Point p) {
    if (Path* fill = FillPath()) fill->CurveTo(control, p);
    if (Path* line = LinePath()) line->CurveTo(control, p);
    pen_ = p;
  }

 private:
  // The run that takes the next edge; an edge with the same style on both sides fills nothing.
  Path* FillPath() {
    if (fill0_ == fill1_) return nullptr;
    if (!run_) {
      run_ = &out_.layers_.back().fill_runs.emplace_back();
      run_->fill0 = fill0_;
      run_->fill1 = fill1_;
      run_->path.MoveTo(pen_);
    }
    return &run_->path;
  }

  // A line style's path continues where it stopped; otherwise a new subpath starts at the pen.
  Path* LinePath() {
    if (line_ == 0) return nullptr;
    Path& path = out_.layers_.back().line_paths[line_ - 1];
    if (path.Empty() || !(path.commands.back().to == pen_)) path.MoveTo(pen_);
    return &path;
  }

  ShapeDrawing& out_;
  Point pen_;
  uint32_t fill0_ = 0, fill1_ = 0, line_ = 0;
  FillRun* run_ = nullptr;  // stable: a layer's runs only grow while it is the last layer
};

namespace {

// Flash fills a style's area as if its outline were closed: a path that ends away from where it
// began gets a straight edge back (the reference pictures show it). Edges are taken with the
// style on their right; where more edges leave a point than arrive, an open chain starts, and
// the chain followed to its end is closed back to that point. Closed outlines, however their
// edges are split between records, are left as they are.
void CloseOpenFills(ShapeLayer& layer) {
  using Key = std::tuple<uint32_t, double, double>;
  std::map<Key, std::vector<Point>> out;  // style and point to the ends of the edges leaving it
  std::map<Key, int> balance;             // edges leaving minus edges arriving
  for (const FillRun& run : layer.fill_runs) {
    Point from;
    for (const PathCommand& cmd : run.path.commands) {
      if (cmd.kind != PathCommand::Kind::kMoveTo) {
        for (const auto& [style, a, b] :
             {std::tuple{run.fill1, from, cmd.to}, std::tuple{run.fill0, cmd.to, from}}) {
          if (style == 0) continue;
          out[{style, a.x, a.y}].push_back(b);
          ++balance[{style, a.x, a.y}];
          --balance[{style, b.x, b.y}];
        }
      }
      from = cmd.to;
    }
  }
  for (const auto& [key, excess] : balance) {
    const auto [style, x, y] = key;
    for (int i = 0; i < excess; ++i) {
      Point at{x, y};
      // Bounded by the edge count: each step uses one edge up.
      for (;;) {
        auto it = out.find({style, at.x, at.y});
        if (it == out.end() || it->second.empty()) break;
        at = it->second.back();
        it->second.pop_back();
      }
      if (at == Point{x, y}) continue;
      FillRun& closing = layer.fill_runs.emplace_back();
      closing.fill1 = style;
      closing.path.MoveTo(at);
      closing.path.LineTo({x, y});
    }
  }
}

}  // namespace

ShapeDrawing ShapeDrawing::FromShape(const Shape& shape) {
  ShapeDrawing out;
  out.non_zero_ = shape.non_zero;
  out.bounds_ = shape.bounds;
  ShapeBuilder b(out);
  if (shape.styles.empty()) return out;
  b.NewLayer(shape.styles[0].fills, shape.styles[0].lines);
  Point pen;
  for (const ShapeRecord& rec : shape.records) {
    switch (rec.kind) {
      case ShapeRecord::Kind::kStyleChange:
        if (rec.new_styles && *rec.new_styles < shape.styles.size()) {
          const StyleArrays& arrays = shape.styles[*rec.new_styles];
          b.NewLayer(arrays.fills, arrays.lines);
        }
        b.SetStyles(rec.fill0, rec.fill1, rec.line);
        if (rec.has_move) pen = {static_cast<double>(rec.move_x), static_cast<double>(rec.move_y)};
        b.MoveTo(pen);
        break;
      case ShapeRecord::Kind::kStraight:
        pen = {pen.x + rec.dx, pen.y + rec.dy};
        b.LineTo(pen);
        break;
      case ShapeRecord::Kind::kCurve: {
        const Point control{pen.x + rec.control_dx, pen.y + rec.control_dy};
        pen = {control.x + rec.dx, control.y + rec.dy};
        b.CurveTo(control, pen);
        break;
      }
    }
  }
  for (ShapeLayer& layer : out.layers_) CloseOpenFills(layer);
  return out;
}

namespace {

double Lerp(double a, double b, double t) { return a + (b - a) * t; }

Point Lerp(Point a, Point b, double t) { return {Lerp(a.x, b.x, t), Lerp(a.y, b.y, t)}; }

uint8_t Lerp8(uint8_t a, uint8_t b, double t) {
  return static_cast<uint8_t>(std::lround(std::clamp(Lerp(a, b, t), 0.0, 255.0)));
}

Rgba Lerp(Rgba a, Rgba b, double t) {
  return {Lerp8(a.r, b.r, t), Lerp8(a.g, b.g, t), Lerp8(a.b, b.b, t), Lerp8(a.a, b.a, t)};
}

Matrix Lerp(const Matrix& a, const Matrix& b, double t) {
  return {Lerp(a.a, b.a, t), Lerp(a.b, b.b, t),   Lerp(a.c, b.c, t),
          Lerp(a.d, b.d, t), Lerp(a.tx, b.tx, t), Lerp(a.ty, b.ty, t)};
}

FillStyle Lerp(const FillStyle& a, const FillStyle& b, double t) {
  FillStyle f = a;
  f.color = Lerp(a.color, b.color, t);
  f.matrix = Lerp(a.matrix, b.matrix, t);
  f.gradient.focal_point = Lerp(a.gradient.focal_point, b.gradient.focal_point, t);
  for (size_t i = 0; i < f.gradient.stops.size() && i < b.gradient.stops.size(); ++i) {
    f.gradient.stops[i].ratio = Lerp8(a.gradient.stops[i].ratio, b.gradient.stops[i].ratio, t);
    f.gradient.stops[i].color = Lerp(a.gradient.stops[i].color, b.gradient.stops[i].color, t);
  }
  return f;
}

LineStyle Lerp(const LineStyle& a, const LineStyle& b, double t) {
  LineStyle l = a;
  l.width = static_cast<uint16_t>(std::lround(Lerp(a.width, b.width, t)));
  l.color = Lerp(a.color, b.color, t);
  if (a.fill && b.fill) l.fill = Lerp(*a.fill, *b.fill, t);
  return l;
}

// An edge in absolute twips; a straight edge's control point is its middle, so that a straight
// edge can morph into a curve.
struct AbsEdge {
  bool curve = false;
  Point control, to;
};

AbsEdge Advance(const ShapeRecord& rec, Point& pen) {
  AbsEdge e;
  if (rec.kind == ShapeRecord::Kind::kCurve) {
    e.curve = true;
    e.control = {pen.x + rec.control_dx, pen.y + rec.control_dy};
    e.to = {e.control.x + rec.dx, e.control.y + rec.dy};
  } else {
    e.to = {pen.x + rec.dx, pen.y + rec.dy};
    e.control = Lerp(pen, e.to, 0.5);
  }
  pen = e.to;
  return e;
}

}  // namespace

ShapeDrawing ShapeDrawing::FromMorph(const MorphShape& morph, uint16_t ratio) {
  const double t = ratio / 65535.0;
  ShapeDrawing out;
  out.bounds_ = {
      Twips{static_cast<int32_t>(
          std::lround(Lerp(morph.start_bounds.x_min.value, morph.end_bounds.x_min.value, t)))},
      Twips{static_cast<int32_t>(
          std::lround(Lerp(morph.start_bounds.x_max.value, morph.end_bounds.x_max.value, t)))},
      Twips{static_cast<int32_t>(
          std::lround(Lerp(morph.start_bounds.y_min.value, morph.end_bounds.y_min.value, t)))},
      Twips{static_cast<int32_t>(
          std::lround(Lerp(morph.start_bounds.y_max.value, morph.end_bounds.y_max.value, t)))}};
  std::vector<FillStyle> fills;
  for (const MorphFillStyle& f : morph.fills) fills.push_back(Lerp(f.start, f.end, t));
  std::vector<LineStyle> lines;
  for (const MorphLineStyle& l : morph.lines) lines.push_back(Lerp(l.start, l.end, t));
  ShapeBuilder b(out);
  b.NewLayer(std::move(fills), std::move(lines));

  // The end edges pair with the start edges one for one; the end list holds moves only where
  // the start list has them.
  const std::vector<ShapeRecord>& end = morph.end_records;
  size_t j = 0;
  Point start_pen, end_pen;
  for (const ShapeRecord& rec : morph.start_records) {
    if (rec.kind == ShapeRecord::Kind::kStyleChange) {
      const ShapeRecord* end_rec = nullptr;
      if (j < end.size() && end[j].kind == ShapeRecord::Kind::kStyleChange) end_rec = &end[j++];
      if (rec.has_move)
        start_pen = {static_cast<double>(rec.move_x), static_cast<double>(rec.move_y)};
      if (end_rec && end_rec->has_move) {
        end_pen = {static_cast<double>(end_rec->move_x), static_cast<double>(end_rec->move_y)};
      } else if (rec.has_move) {
        end_pen = start_pen;
      }
      b.SetStyles(rec.fill0, rec.fill1, rec.line);
      b.MoveTo(Lerp(start_pen, end_pen, t));
      continue;
    }
    while (j < end.size() && end[j].kind == ShapeRecord::Kind::kStyleChange) {
      if (end[j].has_move) {
        end_pen = {static_cast<double>(end[j].move_x), static_cast<double>(end[j].move_y)};
      }
      ++j;
    }
    const AbsEdge s = Advance(rec, start_pen);
    // A missing end edge morphs nowhere: the start edge is kept.
    const AbsEdge e = j < end.size() ? Advance(end[j++], end_pen) : s;
    if (!s.curve && !e.curve) {
      b.LineTo(Lerp(s.to, e.to, t));
    } else {
      b.CurveTo(Lerp(s.control, e.control, t), Lerp(s.to, e.to, t));
    }
  }
  for (ShapeLayer& layer : out.layers_) CloseOpenFills(layer);
  return out;
}

ShapeDrawing ShapeDrawing::Transformed(const std::function<Point(Point)>& map,
                                       const Matrix& fills) const {
  ShapeDrawing out = *this;
  auto move = [&](Path& path) {
    for (PathCommand& c : path.commands) {
      c.to = map(c.to);
      if (c.kind == PathCommand::Kind::kCurveTo) c.control = map(c.control);
    }
  };
  auto restyle = [&](FillStyle& f) { f.matrix = fills * f.matrix; };
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool any = false;
  auto widen = [&](Point p) {
    if (!any) x0 = x1 = p.x, y0 = y1 = p.y, any = true;
    x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
  };
  for (ShapeLayer& layer : out.layers_) {
    for (FillStyle& f : layer.fills) restyle(f);
    for (LineStyle& l : layer.lines) {
      if (l.fill) restyle(*l.fill);
    }
    for (FillRun& run : layer.fill_runs) move(run.path);
    for (Path& path : layer.line_paths) move(path);
  }
  for (Point corner : {Point{double(bounds_.x_min.value), double(bounds_.y_min.value)},
                       Point{double(bounds_.x_max.value), double(bounds_.y_min.value)},
                       Point{double(bounds_.x_min.value), double(bounds_.y_max.value)},
                       Point{double(bounds_.x_max.value), double(bounds_.y_max.value)}}) {
    widen(map(corner));
  }
  auto tw = [](double v) {
    return Twips{static_cast<int32_t>(std::clamp(std::round(v), -2e9, 2e9))};
  };
  out.bounds_ = {tw(x0), tw(x1), tw(y0), tw(y1)};
  return out;
}

}  // namespace flashsaver
