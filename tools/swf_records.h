// Encoders for the SWF records and tags that the sample movies use. Every Tag function returns
// a whole tag record (header and body), so a timeline is the concatenation of its tags.
// Coordinates are twips; matrices and colour transforms are the player's own types.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "player/render/filters.h"
#include "player/swf/swf_types.h"

namespace flashsaver::swf_out {

using Bytes = std::vector<uint8_t>;

void PutRgb(Bytes& out, Rgba c);
void PutRgba(Bytes& out, Rgba c);
void PutRect(Bytes& out, const SwfRect& r);
// a, b, c, d as 16.16 fixed point, the translation rounded to whole twips.
void PutMatrix(Bytes& out, const Matrix& m);
// CXFORMWITHALPHA; the terms that leave colours unchanged are left out.
void PutColorTransform(Bytes& out, const ColorTransform& cx);

struct GradientStop {
  uint8_t ratio = 0;
  Rgba colour;
};

struct FillStyle {
  uint8_t type = 0x00;  // 0x00 solid, 0x10 linear, 0x12 radial, 0x40..0x43 bitmap
  Rgba colour;
  Matrix matrix;  // gradients: the ±16384 square to shape twips; bitmaps: pixels to twips
  std::vector<GradientStop> stops;
  uint16_t bitmap_id = 0;

  static FillStyle Solid(Rgba c) { return {0x00, c, {}, {}, 0}; }
  static FillStyle Linear(const Matrix& m, std::vector<GradientStop> s) {
    return {0x10, {}, m, std::move(s), 0};
  }
  static FillStyle Radial(const Matrix& m, std::vector<GradientStop> s) {
    return {0x12, {}, m, std::move(s), 0};
  }
  // repeat: tiled (0x40/0x42) or clamped (0x41/0x43); smooth: 0x40/0x41.
  static FillStyle Bitmap(uint16_t id, const Matrix& m, bool repeat, bool smooth) {
    const uint8_t type = static_cast<uint8_t>(0x40 | (repeat ? 0 : 1) | (smooth ? 0 : 2));
    return {type, {}, m, {}, id};
  }
};

// A linear gradient running from (x0, y0) to (x1, y1); a radial one of radius r around (x, y).
Matrix LinearGradientMatrix(double x0, double y0, double x1, double y1);
Matrix RadialGradientMatrix(double x, double y, double r);

struct LineStyle {
  uint16_t width = 20;
  Rgba colour;
};

struct Edge {
  bool curve = false;
  int32_t control_x = 0, control_y = 0;  // curves only
  int32_t x = 0, y = 0;                  // the end point, absolute
};

// One run of edges from a move-to, with the styles on its two sides and its line (1-based
// indexes into the shape's arrays, 0 for none). Fill 1 lies to the right of the direction of
// travel on screen, so clockwise outlines carry their fill as fill1.
struct Contour {
  uint32_t fill0 = 0, fill1 = 0, line = 0;
  int32_t start_x = 0, start_y = 0;
  std::vector<Edge> edges;

  Contour& LineTo(int32_t x, int32_t y);
  Contour& CurveTo(int32_t cx, int32_t cy, int32_t x, int32_t y);
};

// Clockwise on screen, starting at the top left.
Contour Rectangle(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
// Eight quadratic arcs, clockwise from the rightmost point.
Contour Circle(int32_t cx, int32_t cy, int32_t r);
// The closed polygon through points, in their order.
Contour Polygon(const std::vector<std::pair<int32_t, int32_t>>& points);

struct Shape {
  std::vector<FillStyle> fills;
  std::vector<LineStyle> lines;
  std::vector<Contour> contours;
};

// The smallest rectangle around every point (control points included) widened by half the
// widest line.
SwfRect ShapeBounds(const Shape& shape);

// DefineShape3 (colours with alpha). Throws std::invalid_argument when an edge is longer than
// SWF's 17-bit deltas hold.
Bytes DefineShape3(uint16_t id, const Shape& shape);
// DefineMorphShape between two shapes of the same styles and the same edges, one for one.
Bytes DefineMorphShape(uint16_t id, const Shape& start, const Shape& end);

Bytes DefineBitsLossless2(uint16_t id, int32_t width, int32_t height,
                          const std::vector<Rgba>& pixels);  // straight alpha, rows top down
Bytes DefineBitsJpeg2(uint16_t id, const Bytes& jpeg);

struct Glyph {
  uint16_t code = 0;              // the character it draws
  std::vector<Contour> contours;  // on the 1024-unit em square, baseline at y = 0
  int16_t advance = 0;
};

// DefineFont2 with wide codes, a layout and no kerning.
Bytes DefineFont2(uint16_t id, const std::string& name, const std::vector<Glyph>& glyphs,
                  uint16_t ascent, uint16_t descent);

struct TextRun {
  uint16_t font_id = 0;
  uint16_t height = 240;  // twips
  Rgba colour;
  int32_t x = 0, y = 0;                              // the baseline's start
  std::vector<std::pair<uint32_t, int32_t>> glyphs;  // glyph index, advance in twips
};

// DefineText2 (colours with alpha).
Bytes DefineText2(uint16_t id, const SwfRect& bounds, const Matrix& matrix,
                  const std::vector<TextRun>& runs);

struct Placement {
  uint16_t depth = 1;
  std::optional<uint16_t> character;  // a new object (or, with move, a replacement)
  bool move = false;                  // changes the object already at depth
  std::optional<Matrix> matrix;
  std::optional<ColorTransform> color;
  std::optional<uint16_t> ratio;
  std::optional<std::string> name;
  std::optional<uint16_t> clip_depth;
};

Bytes PlaceObject2(const Placement& p);
// PlaceObject3 with a filter list and a blend mode (either may be absent).
Bytes PlaceObject3(const Placement& p, const std::vector<Filter>& filters,
                   std::optional<uint8_t> blend_mode);
Bytes RemoveObject2(uint16_t depth);
Bytes ShowFrame();
Bytes FileAttributes(uint32_t flags);
// The sprite's own timeline: tags as concatenated records, ShowFrame tags included; End is
// added here.
Bytes DefineSprite(uint16_t id, uint16_t frame_count, const Bytes& tags);
// The nine-slice grid of a sprite: its centre rectangle in the sprite's twips.
Bytes DefineScalingGrid(uint16_t id, const SwfRect& centre);

}  // namespace flashsaver::swf_out
