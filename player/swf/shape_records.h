// The shape records of DefineShape 1-4 and DefineMorphShape 1-2: fill and line style arrays and
// the edge list, read as the file stores them (edge deltas in twips, style indexes 1-based with 0
// meaning none). Turning them into something drawable is render/shape_drawing's job.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "player/swf/swf_types.h"

namespace flashsaver {

class ByteReader;
struct Picture;

enum class FillKind : uint8_t { kSolid, kLinearGradient, kRadialGradient, kFocalGradient, kBitmap };
enum class SpreadMode : uint8_t { kPad, kReflect, kRepeat };
enum class Interpolation : uint8_t { kRgb, kLinearRgb };

struct GradientStop {
  uint8_t ratio = 0;
  Rgba color;
  friend bool operator==(const GradientStop&, const GradientStop&) = default;
};

struct Gradient {
  SpreadMode spread = SpreadMode::kPad;
  Interpolation interpolation = Interpolation::kRgb;
  std::vector<GradientStop> stops;  // at most 15
  double focal_point = 0;           // -1..1 along the x axis, focal gradients only
  friend bool operator==(const Gradient&, const Gradient&) = default;
};

struct FillStyle {
  FillKind kind = FillKind::kSolid;
  Rgba color;  // kSolid
  // Gradients: the gradient square (-16384..16384 twips) to shape twips. Bitmaps: bitmap pixels
  // to shape twips.
  Matrix matrix;
  Gradient gradient;
  uint16_t bitmap_id = 0;
  bool bitmap_repeat = true;
  bool bitmap_smooth = true;
  // A script's bitmap (beginBitmapFill, attachBitmap), drawn as it is at drawing time; when
  // set, bitmap_id is not looked up.
  std::shared_ptr<const Picture> picture;
  friend bool operator==(const FillStyle&, const FillStyle&) = default;
};

enum class CapStyle : uint8_t { kRound, kNone, kSquare };
enum class JoinStyle : uint8_t { kRound, kBevel, kMiter };

struct LineStyle {
  uint16_t width = 0;  // twips; 0 is a hairline
  Rgba color;
  CapStyle start_cap = CapStyle::kRound;
  CapStyle end_cap = CapStyle::kRound;
  JoinStyle join = JoinStyle::kRound;
  double miter_limit = 3;
  bool no_hscale = false;
  bool no_vscale = false;
  bool pixel_hinting = false;
  bool no_close = false;
  std::optional<FillStyle> fill;  // DefineShape4 lines drawn with a fill style
  friend bool operator==(const LineStyle&, const LineStyle&) = default;
};

struct StyleArrays {
  std::vector<FillStyle> fills;
  std::vector<LineStyle> lines;
};

struct ShapeRecord {
  enum class Kind : uint8_t { kStyleChange, kStraight, kCurve };
  Kind kind = Kind::kStyleChange;
  // Edges: the anchor delta, and for curves the control delta that comes first.
  int32_t dx = 0, dy = 0;
  int32_t control_dx = 0, control_dy = 0;
  // Style changes.
  bool has_move = false;
  int32_t move_x = 0, move_y = 0;
  std::optional<uint32_t> fill0, fill1, line;
  // Index into Shape::styles of the arrays this record starts (a new layer), when it has any.
  std::optional<uint32_t> new_styles;
};

struct Shape {
  SwfRect bounds;
  SwfRect edge_bounds;  // DefineShape4 only; bounds otherwise
  bool non_zero = false;
  bool uses_non_scaling_strokes = false;
  bool uses_scaling_strokes = false;
  // styles[0] holds the arrays before the first record; a style change with new_styles set
  // switches to a later entry.
  std::vector<StyleArrays> styles;
  std::vector<ShapeRecord> records;
};

// A morph's styles hold pairs: the start state and the end state of each style.
struct MorphFillStyle {
  FillStyle start, end;
};
struct MorphLineStyle {
  LineStyle start, end;
};

struct MorphShape {
  SwfRect start_bounds, end_bounds;
  std::vector<MorphFillStyle> fills;
  std::vector<MorphLineStyle> lines;
  // Style changes (with moves and style indexes) and edges of the start shape; the end shape
  // has the same edges in the same order, with moves only.
  std::vector<ShapeRecord> start_records;
  std::vector<ShapeRecord> end_records;
};

// Limits on what a file may claim, so that a damaged count cannot allocate without bound.
inline constexpr size_t kMaxShapeRecords = 1u << 20;
inline constexpr size_t kMaxStyleArrays = 1u << 14;

// shape_version is 1 to 4 (DefineShape to DefineShape4). The reader stands after the
// character id. A body that ends inside the style arrays throws SwfError (kBadTag); records end
// at the body's end or at a damaged record, keeping those read before it.
Shape ReadShape(ByteReader& reader, int shape_version);
// morph_version is 1 or 2. The reader stands after the character id.
MorphShape ReadMorphShape(ByteReader& reader, int morph_version);

}  // namespace flashsaver
