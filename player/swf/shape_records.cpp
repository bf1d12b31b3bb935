#include "player/swf/shape_records.h"

#include <string>

#include "player/swf/basic_records.h"
#include "player/swf/byte_reader.h"
#include "player/swf/swf_error.h"

namespace flashsaver {
namespace {

constexpr size_t kMaxGradientStops = 15;

[[noreturn]] void Fail(const std::string& what) { throw SwfError(SwfErrorKind::kBadTag, what); }

Rgba ReadColor(ByteReader& r, bool alpha) { return alpha ? ReadRgba(r) : ReadRgb(r); }

// The count of a style array: one byte, or 0xFF followed by 16 bits from DefineShape2 on.
size_t ReadStyleCount(ByteReader& r, bool extended) {
  size_t count = r.U8();
  if (count == 0xFF && extended) count = r.U16();
  return count;
}

// The byte before the gradient records: spread (2 bits), interpolation (2 bits), count (4).
void ReadGradientHead(ByteReader& r, Gradient& g, size_t& count) {
  const uint8_t head = r.U8();
  // 3 is reserved for both fields; Flash falls back to the defaults.
  const int spread = head >> 6;
  g.spread = spread == 1   ? SpreadMode::kReflect
             : spread == 2 ? SpreadMode::kRepeat
                           : SpreadMode::kPad;
  g.interpolation = ((head >> 4) & 3) == 1 ? Interpolation::kLinearRgb : Interpolation::kRgb;
  count = head & 0x0F;
  if (count > kMaxGradientStops) count = kMaxGradientStops;
}

// FILLSTYLE's type byte: which kind, and the bitmap flags of 0x40-0x43.
bool SetFillKind(uint8_t type, FillStyle& fill) {
  switch (type) {
    case 0x00:
      fill.kind = FillKind::kSolid;
      return true;
    case 0x10:
      fill.kind = FillKind::kLinearGradient;
      return true;
    case 0x12:
      fill.kind = FillKind::kRadialGradient;
      return true;
    case 0x13:
      fill.kind = FillKind::kFocalGradient;
      return true;
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
      fill.kind = FillKind::kBitmap;
      fill.bitmap_repeat = (type & 1) == 0;
      fill.bitmap_smooth = (type & 2) == 0;
      return true;
    default:
      return false;
  }
}

FillStyle ReadFillStyle(ByteReader& r, int version) {
  FillStyle fill;
  const uint8_t type = r.U8();
  if (!SetFillKind(type, fill)) Fail("unknown fill style type " + std::to_string(type));
  switch (fill.kind) {
    case FillKind::kSolid:
      fill.color = ReadColor(r, version >= 3);
      break;
    case FillKind::kBitmap:
      fill.bitmap_id = r.U16();
      fill.matrix = ReadMatrix(r);
      break;
    default: {
      fill.matrix = ReadMatrix(r);
      size_t count = 0;
      ReadGradientHead(r, fill.gradient, count);
      for (size_t i = 0; i < count && r.ok(); ++i) {
        GradientStop stop;
        stop.ratio = r.U8();
        stop.color = ReadColor(r, version >= 3);
        fill.gradient.stops.push_back(stop);
      }
      if (fill.kind == FillKind::kFocalGradient) {
        fill.gradient.focal_point = static_cast<int16_t>(r.U16()) / 256.0;
      }
      break;
    }
  }
  return fill;
}

CapStyle Cap(uint32_t bits) {
  return bits == 1 ? CapStyle::kNone : bits == 2 ? CapStyle::kSquare : CapStyle::kRound;
}

// LINESTYLE2's flag fields, shared by DefineShape4 and DefineMorphShape2. Returns whether a fill
// style follows instead of a colour.
bool ReadLineFlags(ByteReader& r, LineStyle& line) {
  line.start_cap = Cap(r.UnsignedBits(2));
  const uint32_t join = r.UnsignedBits(2);
  const bool has_fill = r.UnsignedBits(1) != 0;
  line.no_hscale = r.UnsignedBits(1) != 0;
  line.no_vscale = r.UnsignedBits(1) != 0;
  line.pixel_hinting = r.UnsignedBits(1) != 0;
  r.UnsignedBits(5);
  line.no_close = r.UnsignedBits(1) != 0;
  line.end_cap = Cap(r.UnsignedBits(2));
  line.join = join == 1 ? JoinStyle::kBevel : join == 2 ? JoinStyle::kMiter : JoinStyle::kRound;
  if (line.join == JoinStyle::kMiter) line.miter_limit = r.U16() / 256.0;
  return has_fill;
}

LineStyle ReadLineStyle(ByteReader& r, int version) {
  LineStyle line;
  line.width = r.U16();
  if (version < 4) {
    line.color = ReadColor(r, version >= 3);
    return line;
  }
  if (ReadLineFlags(r, line)) {
    line.fill = ReadFillStyle(r, version);
    if (line.fill->kind == FillKind::kSolid) line.color = line.fill->color;
  } else {
    line.color = ReadRgba(r);
  }
  return line;
}

// Never trust a count from the file: each style takes at least one byte, so a count larger than
// what is left is damage, not a reason to allocate.
void CheckCount(ByteReader& r, size_t count, const char* what) {
  if (count > r.remaining()) Fail(std::string(what) + " count runs past the tag");
}

StyleArrays ReadStyleArrays(ByteReader& r, int version) {
  StyleArrays arrays;
  const size_t fills = ReadStyleCount(r, version >= 2);
  CheckCount(r, fills, "fill style");
  arrays.fills.reserve(fills);
  for (size_t i = 0; i < fills && r.ok(); ++i) arrays.fills.push_back(ReadFillStyle(r, version));
  const size_t lines = ReadStyleCount(r, version >= 2);
  CheckCount(r, lines, "line style");
  arrays.lines.reserve(lines);
  for (size_t i = 0; i < lines && r.ok(); ++i) arrays.lines.push_back(ReadLineStyle(r, version));
  if (!r.ok()) Fail("style arrays run past the tag");
  return arrays;
}

// SHAPE / SHAPEWITHSTYLE records after the fill and line index bit counts. on_new_styles reads
// a new pair of style arrays (SHAPEWITHSTYLE only) and returns its index; null for morph edges.
template <typename OnNewStyles>
std::vector<ShapeRecord> ReadRecords(ByteReader& r, OnNewStyles on_new_styles) {
  std::vector<ShapeRecord> records;
  int fill_bits = static_cast<int>(r.UnsignedBits(4));
  int line_bits = static_cast<int>(r.UnsignedBits(4));
  while (r.ok() && records.size() < kMaxShapeRecords) {
    ShapeRecord rec;
    if (r.UnsignedBits(1)) {
      if (r.UnsignedBits(1)) {
        rec.kind = ShapeRecord::Kind::kStraight;
        const int n = static_cast<int>(r.UnsignedBits(4)) + 2;
        if (r.UnsignedBits(1)) {
          rec.dx = r.SignedBits(n);
          rec.dy = r.SignedBits(n);
        } else if (r.UnsignedBits(1)) {
          rec.dy = r.SignedBits(n);
        } else {
          rec.dx = r.SignedBits(n);
        }
      } else {
        rec.kind = ShapeRecord::Kind::kCurve;
        const int n = static_cast<int>(r.UnsignedBits(4)) + 2;
        rec.control_dx = r.SignedBits(n);
        rec.control_dy = r.SignedBits(n);
        rec.dx = r.SignedBits(n);
        rec.dy = r.SignedBits(n);
      }
    } else {
      const uint32_t flags = r.UnsignedBits(5);
      if (flags == 0 || !r.ok()) break;  // the end record
      if (flags & 0x01) {
        rec.has_move = true;
        const int n = static_cast<int>(r.UnsignedBits(5));
        rec.move_x = r.SignedBits(n);
        rec.move_y = r.SignedBits(n);
      }
      if (flags & 0x02) rec.fill0 = r.UnsignedBits(fill_bits);
      if (flags & 0x04) rec.fill1 = r.UnsignedBits(fill_bits);
      if (flags & 0x08) rec.line = r.UnsignedBits(line_bits);
      if ((flags & 0x10) && r.ok()) {
        const std::optional<uint32_t> index = on_new_styles(r);
        if (!index) break;  // not allowed here: treat as the end
        rec.new_styles = index;
        fill_bits = static_cast<int>(r.UnsignedBits(4));
        line_bits = static_cast<int>(r.UnsignedBits(4));
      }
    }
    if (!r.ok()) break;  // a record cut by the tag's end is dropped; those before it stay
    records.push_back(rec);
  }
  return records;
}

std::vector<ShapeRecord> ReadEdgesOnly(ByteReader& r) {
  return ReadRecords(r, [](ByteReader&) -> std::optional<uint32_t> { return std::nullopt; });
}

FillStyle ReadMorphFill(ByteReader& r, FillStyle& end) {
  FillStyle start;
  const uint8_t type = r.U8();
  if (!SetFillKind(type, start)) Fail("unknown morph fill style type " + std::to_string(type));
  end = start;
  switch (start.kind) {
    case FillKind::kSolid:
      start.color = ReadRgba(r);
      end.color = ReadRgba(r);
      break;
    case FillKind::kBitmap:
      start.bitmap_id = end.bitmap_id = r.U16();
      start.matrix = ReadMatrix(r);
      end.matrix = ReadMatrix(r);
      break;
    default: {
      start.matrix = ReadMatrix(r);
      end.matrix = ReadMatrix(r);
      size_t count = 0;
      ReadGradientHead(r, start.gradient, count);
      end.gradient.spread = start.gradient.spread;
      end.gradient.interpolation = start.gradient.interpolation;
      for (size_t i = 0; i < count && r.ok(); ++i) {
        GradientStop s, e;
        s.ratio = r.U8();
        s.color = ReadRgba(r);
        e.ratio = r.U8();
        e.color = ReadRgba(r);
        start.gradient.stops.push_back(s);
        end.gradient.stops.push_back(e);
      }
      if (start.kind == FillKind::kFocalGradient) {
        start.gradient.focal_point = static_cast<int16_t>(r.U16()) / 256.0;
        end.gradient.focal_point = static_cast<int16_t>(r.U16()) / 256.0;
      }
      break;
    }
  }
  return start;
}

MorphLineStyle ReadMorphLine(ByteReader& r, int version) {
  MorphLineStyle line;
  line.start.width = r.U16();
  line.end.width = r.U16();
  if (version >= 2) {
    const bool has_fill = ReadLineFlags(r, line.start);
    const uint16_t end_width = line.end.width;
    line.end = line.start;
    line.end.width = end_width;
    if (has_fill) {
      FillStyle end_fill;
      line.start.fill = ReadMorphFill(r, end_fill);
      line.end.fill = end_fill;
      line.start.color = line.start.fill->color;
      line.end.color = end_fill.color;
      return line;
    }
  }
  line.start.color = ReadRgba(r);
  line.end.color = ReadRgba(r);
  return line;
}

}  // namespace

Shape ReadShape(ByteReader& r, int version) {
  Shape shape;
  shape.bounds = ReadRect(r);
  shape.edge_bounds = shape.bounds;
  if (version >= 4) {
    shape.edge_bounds = ReadRect(r);
    const uint8_t flags = r.U8();
    shape.uses_scaling_strokes = (flags & 0x01) != 0;
    shape.uses_non_scaling_strokes = (flags & 0x02) != 0;
    shape.non_zero = (flags & 0x04) != 0;
  }
  shape.styles.push_back(ReadStyleArrays(r, version));
  shape.records = ReadRecords(r, [&](ByteReader& rr) -> std::optional<uint32_t> {
    if (shape.styles.size() >= kMaxStyleArrays) return std::nullopt;
    shape.styles.push_back(ReadStyleArrays(rr, version));
    return static_cast<uint32_t>(shape.styles.size() - 1);
  });
  return shape;
}

MorphShape ReadMorphShape(ByteReader& r, int version) {
  MorphShape morph;
  morph.start_bounds = ReadRect(r);
  morph.end_bounds = ReadRect(r);
  if (version >= 2) {
    ReadRect(r);  // edge bounds: only hit tests would use them
    ReadRect(r);
    r.U8();  // stroke scaling flags
  }
  const uint32_t offset = r.U32();
  const size_t end_edges_at = r.offset() + offset;
  size_t count = ReadStyleCount(r, true);
  CheckCount(r, count, "morph fill style");
  for (size_t i = 0; i < count && r.ok(); ++i) {
    MorphFillStyle fill;
    fill.start = ReadMorphFill(r, fill.end);
    morph.fills.push_back(std::move(fill));
  }
  count = ReadStyleCount(r, true);
  CheckCount(r, count, "morph line style");
  for (size_t i = 0; i < count && r.ok(); ++i) morph.lines.push_back(ReadMorphLine(r, version));
  if (!r.ok()) Fail("morph styles run past the tag");
  morph.start_records = ReadEdgesOnly(r);
  // The offset says where the end edges begin; trust it only when it points ahead of us.
  if (offset != 0 && end_edges_at >= r.offset() && end_edges_at - r.offset() <= r.remaining()) {
    r.Skip(end_edges_at - r.offset());
  }
  morph.end_records = ReadEdgesOnly(r);
  return morph;
}

}  // namespace flashsaver
