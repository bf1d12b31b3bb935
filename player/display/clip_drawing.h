// What a clip's script drew with the drawing API (lineStyle, beginFill, lineTo, ...): kept as
// shape records in the clip's twips and turned into a ShapeDrawing when drawn, under the clip's
// children.
#pragma once

#include <cstdint>
#include <optional>

#include "player/render/shape_drawing.h"
#include "player/swf/shape_records.h"

namespace flashsaver {

// Records beyond this are dropped, so a script drawing every frame without clear() cannot
// grow memory without end.
inline constexpr size_t kMaxDrawingRecords = 200000;

class ClipDrawing {
 public:
  // nullopt: lines off.
  void SetLine(std::optional<LineStyle> line);
  // Closes the fill that is open, and starts a new one at the pen.
  void BeginFill(const FillStyle& fill);
  // Closes the open fill back to its start.
  void EndFill();
  void MoveTo(double x, double y);  // twips
  void LineTo(double x, double y);
  void CurveTo(double cx, double cy, double x, double y);
  void Clear();

  bool empty() const { return shape_.records.empty(); }
  // Changes whenever the drawing does.
  uint32_t revision() const { return revision_; }
  // A fill shows a script's bitmap, which may change without the drawing changing.
  bool live_pictures() const { return live_pictures_; }
  const ShapeDrawing& Drawing() const;

 private:
  void StartLayer();
  void Edge(int32_t dx, int32_t dy, int32_t cdx, int32_t cdy, bool curve);
  void CloseContour();
  int32_t Twips(double v) const;

  Shape shape_;
  std::optional<LineStyle> line_;
  std::optional<FillStyle> fill_;
  int32_t x_ = 0, y_ = 0;              // the pen
  int32_t start_x_ = 0, start_y_ = 0;  // where the open contour of the fill began
  size_t fill_first_record_ = 0;       // the open fill's first record
  double fill_area_ = 0;               // twice its signed area, to find its inside
  bool layer_open_ = false;
  bool has_bounds_ = false;
  bool live_pictures_ = false;
  uint32_t revision_ = 0;
  mutable std::optional<ShapeDrawing> cached_;
};

}  // namespace flashsaver
