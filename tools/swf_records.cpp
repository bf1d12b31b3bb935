#include "tools/swf_records.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "player/swf/tag_codes.h"
#include "tools/swf_writer.h"

namespace flashsaver::swf_out {
namespace {

Bytes TagBytes(uint16_t code, const Bytes& body) {
  Bytes out;
  PutTag(out, code, body);
  return out;
}

int32_t Fixed16(double v) { return static_cast<int32_t>(std::lround(v * 65536.0)); }

int BitsForAll(std::initializer_list<int32_t> values) {
  int bits = 1;
  for (int32_t v : values) bits = std::max(bits, SignedBitsFor(v));
  return bits;
}

void PutStyleCount(Bytes& out, size_t count) {
  if (count < 0xFF) {
    PutU8(out, static_cast<uint32_t>(count));
  } else {
    PutU8(out, 0xFF);
    PutU16(out, static_cast<uint32_t>(count));
  }
}

void PutGradient(Bytes& out, const std::vector<GradientStop>& stops) {
  if (stops.empty() || stops.size() > 15) {
    throw std::invalid_argument("a gradient needs 1 to 15 stops");
  }
  PutU8(out, static_cast<uint32_t>(stops.size()));  // pad spread, normal RGB interpolation
  for (const GradientStop& s : stops) {
    PutU8(out, s.ratio);
    PutRgba(out, s.colour);
  }
}

void PutFillStyle(Bytes& out, const FillStyle& f) {
  PutU8(out, f.type);
  if (f.type == 0x00) {
    PutRgba(out, f.colour);
  } else if (f.type == 0x10 || f.type == 0x12) {
    PutMatrix(out, f.matrix);
    PutGradient(out, f.stops);
  } else {
    PutU16(out, f.bitmap_id);
    PutMatrix(out, f.matrix);
  }
}

// The shape records of every contour, after NumFillBits and NumLineBits, in one bit stream.
// with_styles false writes move-tos only, as the end edges of a morph have them.
void PutShapeRecords(Bytes& out, const std::vector<Contour>& contours, int fill_bits, int line_bits,
                     bool with_styles) {
  BitWriter bits(out);
  bits.Unsigned(static_cast<uint32_t>(fill_bits), 4);
  bits.Unsigned(static_cast<uint32_t>(line_bits), 4);
  int32_t x = 0, y = 0;
  for (const Contour& c : contours) {
    const bool fills = with_styles && fill_bits > 0;
    const bool line = with_styles && line_bits > 0;
    bits.Unsigned(0, 1);  // a style change record
    bits.Unsigned(0, 1);  // no new styles
    bits.Unsigned(line ? 1 : 0, 1);
    bits.Unsigned(fills ? 1 : 0, 1);  // fill style 1
    bits.Unsigned(fills ? 1 : 0, 1);  // fill style 0
    bits.Unsigned(1, 1);              // move to, absolute
    const int move_bits = BitsForAll({c.start_x, c.start_y});
    bits.Unsigned(static_cast<uint32_t>(move_bits), 5);
    bits.Signed(c.start_x, move_bits);
    bits.Signed(c.start_y, move_bits);
    if (fills) {
      bits.Unsigned(c.fill0, fill_bits);
      bits.Unsigned(c.fill1, fill_bits);
    }
    if (line) bits.Unsigned(c.line, line_bits);
    x = c.start_x;
    y = c.start_y;
    for (const Edge& e : c.edges) {
      bits.Unsigned(1, 1);  // an edge record
      if (e.curve) {
        const int32_t cdx = e.control_x - x, cdy = e.control_y - y;
        const int32_t adx = e.x - e.control_x, ady = e.y - e.control_y;
        const int n = BitsForAll({cdx, cdy, adx, ady, 2});
        if (n > 17) throw std::invalid_argument("curve too long for one edge record");
        bits.Unsigned(0, 1);
        bits.Unsigned(static_cast<uint32_t>(n - 2), 4);
        bits.Signed(cdx, n);
        bits.Signed(cdy, n);
        bits.Signed(adx, n);
        bits.Signed(ady, n);
      } else {
        const int32_t dx = e.x - x, dy = e.y - y;
        const int n = BitsForAll({dx, dy, 2});
        if (n > 17) throw std::invalid_argument("line too long for one edge record");
        bits.Unsigned(1, 1);
        bits.Unsigned(static_cast<uint32_t>(n - 2), 4);
        if (dx != 0 && dy != 0) {
          bits.Unsigned(1, 1);
          bits.Signed(dx, n);
          bits.Signed(dy, n);
        } else {
          bits.Unsigned(0, 1);
          bits.Unsigned(dx == 0 ? 1 : 0, 1);  // vertical
          bits.Signed(dx == 0 ? dy : dx, n);
        }
      }
      x = e.x;
      y = e.y;
    }
  }
  bits.Unsigned(0, 6);  // end of shape
}

void PutStyles(Bytes& out, const Shape& shape) {
  PutStyleCount(out, shape.fills.size());
  for (const FillStyle& f : shape.fills) PutFillStyle(out, f);
  PutStyleCount(out, shape.lines.size());
  for (const LineStyle& l : shape.lines) {
    PutU16(out, l.width);
    PutRgba(out, l.colour);
  }
}

void CheckSameOutline(const Shape& start, const Shape& end) {
  bool same = start.fills.size() == end.fills.size() && start.lines.size() == end.lines.size() &&
              start.contours.size() == end.contours.size();
  for (size_t i = 0; same && i < start.fills.size(); ++i) {
    same = start.fills[i].type == end.fills[i].type &&
           start.fills[i].stops.size() == end.fills[i].stops.size();
  }
  for (size_t i = 0; same && i < start.contours.size(); ++i) {
    const Contour& a = start.contours[i];
    const Contour& b = end.contours[i];
    same = a.edges.size() == b.edges.size();
    for (size_t j = 0; same && j < a.edges.size(); ++j) same = a.edges[j].curve == b.edges[j].curve;
  }
  if (!same) throw std::invalid_argument("a morph needs the same styles and edges at both ends");
}

}  // namespace

void PutRgb(Bytes& out, Rgba c) { out.insert(out.end(), {c.r, c.g, c.b}); }
void PutRgba(Bytes& out, Rgba c) { out.insert(out.end(), {c.r, c.g, c.b, c.a}); }

void PutRect(Bytes& out, const SwfRect& r) {
  const int n = BitsForAll({r.x_min.value, r.x_max.value, r.y_min.value, r.y_max.value});
  BitWriter bits(out);
  bits.Unsigned(static_cast<uint32_t>(n), 5);
  for (Twips t : {r.x_min, r.x_max, r.y_min, r.y_max}) bits.Signed(t.value, n);
}

void PutMatrix(Bytes& out, const Matrix& m) {
  BitWriter bits(out);
  const int32_t a = Fixed16(m.a), b = Fixed16(m.b), c = Fixed16(m.c), d = Fixed16(m.d);
  const bool scale = a != 65536 || d != 65536;
  bits.Unsigned(scale ? 1 : 0, 1);
  if (scale) {
    const int n = BitsForAll({a, d});
    bits.Unsigned(static_cast<uint32_t>(n), 5);
    bits.Signed(a, n);
    bits.Signed(d, n);
  }
  const bool rotate = b != 0 || c != 0;
  bits.Unsigned(rotate ? 1 : 0, 1);
  if (rotate) {
    const int n = BitsForAll({b, c});
    bits.Unsigned(static_cast<uint32_t>(n), 5);
    bits.Signed(b, n);
    bits.Signed(c, n);
  }
  const int32_t tx = static_cast<int32_t>(std::lround(m.tx));
  const int32_t ty = static_cast<int32_t>(std::lround(m.ty));
  const int n = tx == 0 && ty == 0 ? 0 : BitsForAll({tx, ty});
  bits.Unsigned(static_cast<uint32_t>(n), 5);
  bits.Signed(tx, n);
  bits.Signed(ty, n);
}

void PutColorTransform(Bytes& out, const ColorTransform& cx) {
  const bool add = cx.r_add || cx.g_add || cx.b_add || cx.a_add;
  const bool mult = cx.r_mult != 256 || cx.g_mult != 256 || cx.b_mult != 256 || cx.a_mult != 256;
  int n = 1;
  if (mult) n = std::max(n, BitsForAll({cx.r_mult, cx.g_mult, cx.b_mult, cx.a_mult}));
  if (add) n = std::max(n, BitsForAll({cx.r_add, cx.g_add, cx.b_add, cx.a_add}));
  BitWriter bits(out);
  bits.Unsigned(add ? 1 : 0, 1);
  bits.Unsigned(mult ? 1 : 0, 1);
  bits.Unsigned(static_cast<uint32_t>(n), 4);
  if (mult) {
    for (int16_t v : {cx.r_mult, cx.g_mult, cx.b_mult, cx.a_mult}) bits.Signed(v, n);
  }
  if (add) {
    for (int16_t v : {cx.r_add, cx.g_add, cx.b_add, cx.a_add}) bits.Signed(v, n);
  }
}

Matrix LinearGradientMatrix(double x0, double y0, double x1, double y1) {
  const double dx = x1 - x0, dy = y1 - y0;
  const double scale = std::hypot(dx, dy) / 32768.0;
  const double angle = std::atan2(dy, dx);
  const double cs = std::cos(angle) * scale, sn = std::sin(angle) * scale;
  return {cs, sn, -sn, cs, (x0 + x1) / 2, (y0 + y1) / 2};
}

Matrix RadialGradientMatrix(double x, double y, double r) {
  return {r / 16384.0, 0, 0, r / 16384.0, x, y};
}

Contour& Contour::LineTo(int32_t x, int32_t y) {
  edges.push_back({false, 0, 0, x, y});
  return *this;
}

Contour& Contour::CurveTo(int32_t cx, int32_t cy, int32_t x, int32_t y) {
  edges.push_back({true, cx, cy, x, y});
  return *this;
}

Contour Rectangle(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  Contour c;
  c.start_x = x0;
  c.start_y = y0;
  c.LineTo(x1, y0).LineTo(x1, y1).LineTo(x0, y1).LineTo(x0, y0);
  return c;
}

Contour Circle(int32_t cx, int32_t cy, int32_t r) {
  // Each arc spans 45 degrees; its control point lies on the bisector at r / cos(22.5°).
  const double control = r / std::cos(std::numbers::pi / 8);
  auto at = [&](double angle, double radius, bool want_x) {
    const double v = want_x ? cx + radius * std::cos(angle) : cy + radius * std::sin(angle);
    return static_cast<int32_t>(std::lround(v));
  };
  Contour c;
  c.start_x = cx + r;
  c.start_y = cy;
  for (int i = 0; i < 8; ++i) {
    const double mid = (i + 0.5) * std::numbers::pi / 4, end = (i + 1) * std::numbers::pi / 4;
    c.CurveTo(at(mid, control, true), at(mid, control, false), i == 7 ? cx + r : at(end, r, true),
              i == 7 ? cy : at(end, r, false));
  }
  return c;
}

Contour Polygon(const std::vector<std::pair<int32_t, int32_t>>& points) {
  Contour c;
  if (points.empty()) return c;
  c.start_x = points.front().first;
  c.start_y = points.front().second;
  for (size_t i = 1; i < points.size(); ++i) c.LineTo(points[i].first, points[i].second);
  c.LineTo(c.start_x, c.start_y);
  return c;
}

SwfRect ShapeBounds(const Shape& shape) {
  int32_t x0 = INT32_MAX, y0 = INT32_MAX, x1 = INT32_MIN, y1 = INT32_MIN;
  auto take = [&](int32_t x, int32_t y) {
    x0 = std::min(x0, x);
    y0 = std::min(y0, y);
    x1 = std::max(x1, x);
    y1 = std::max(y1, y);
  };
  for (const Contour& c : shape.contours) {
    take(c.start_x, c.start_y);
    for (const Edge& e : c.edges) {
      take(e.x, e.y);
      if (e.curve) take(e.control_x, e.control_y);
    }
  }
  if (x0 > x1) return {};
  int32_t pad = 0;
  for (const LineStyle& l : shape.lines) pad = std::max<int32_t>(pad, (l.width + 1) / 2);
  return {Twips{x0 - pad}, Twips{x1 + pad}, Twips{y0 - pad}, Twips{y1 + pad}};
}

Bytes DefineShape3(uint16_t id, const Shape& shape) {
  Bytes body;
  PutU16(body, id);
  PutRect(body, ShapeBounds(shape));
  PutStyles(body, shape);
  PutShapeRecords(body, shape.contours, UnsignedBitsFor(static_cast<uint32_t>(shape.fills.size())),
                  UnsignedBitsFor(static_cast<uint32_t>(shape.lines.size())), true);
  return TagBytes(swf_tag::kDefineShape3, body);
}

Bytes DefineMorphShape(uint16_t id, const Shape& start, const Shape& end) {
  CheckSameOutline(start, end);
  Bytes body;
  PutU16(body, id);
  PutRect(body, ShapeBounds(start));
  PutRect(body, ShapeBounds(end));
  Bytes styles;
  PutStyleCount(styles, start.fills.size());
  for (size_t i = 0; i < start.fills.size(); ++i) {
    const FillStyle& a = start.fills[i];
    const FillStyle& b = end.fills[i];
    PutU8(styles, a.type);
    if (a.type == 0x00) {
      PutRgba(styles, a.colour);
      PutRgba(styles, b.colour);
    } else if (a.type == 0x10 || a.type == 0x12) {
      PutMatrix(styles, a.matrix);
      PutMatrix(styles, b.matrix);
      PutU8(styles, static_cast<uint32_t>(a.stops.size()));
      for (size_t s = 0; s < a.stops.size(); ++s) {
        PutU8(styles, a.stops[s].ratio);
        PutRgba(styles, a.stops[s].colour);
        PutU8(styles, b.stops[s].ratio);
        PutRgba(styles, b.stops[s].colour);
      }
    } else {
      PutU16(styles, a.bitmap_id);
      PutMatrix(styles, a.matrix);
      PutMatrix(styles, b.matrix);
    }
  }
  PutStyleCount(styles, start.lines.size());
  for (size_t i = 0; i < start.lines.size(); ++i) {
    PutU16(styles, start.lines[i].width);
    PutU16(styles, end.lines[i].width);
    PutRgba(styles, start.lines[i].colour);
    PutRgba(styles, end.lines[i].colour);
  }
  const int fill_bits = UnsignedBitsFor(static_cast<uint32_t>(start.fills.size()));
  const int line_bits = UnsignedBitsFor(static_cast<uint32_t>(start.lines.size()));
  PutShapeRecords(styles, start.contours, fill_bits, line_bits, true);
  PutU32(body, static_cast<uint32_t>(styles.size()));  // from here to the end edges
  body.insert(body.end(), styles.begin(), styles.end());
  PutShapeRecords(body, end.contours, 0, 0, false);
  return TagBytes(swf_tag::kDefineMorphShape, body);
}

Bytes DefineBitsLossless2(uint16_t id, int32_t width, int32_t height,
                          const std::vector<Rgba>& pixels) {
  if (width <= 0 || height <= 0 || pixels.size() != static_cast<size_t>(width) * height) {
    throw std::invalid_argument("bitmap size and pixel count differ");
  }
  // ARGB, premultiplied, as the format stores it.
  Bytes argb;
  argb.reserve(pixels.size() * 4);
  for (const Rgba& p : pixels) {
    auto pre = [&](uint8_t v) { return static_cast<uint8_t>((v * p.a + 127) / 255); };
    argb.insert(argb.end(), {p.a, pre(p.r), pre(p.g), pre(p.b)});
  }
  uLongf packed_size = compressBound(static_cast<uLong>(argb.size()));
  Bytes packed(packed_size);
  if (compress2(packed.data(), &packed_size, argb.data(), static_cast<uLong>(argb.size()), 9) !=
      Z_OK) {
    throw std::runtime_error("zlib compression failed");
  }
  Bytes body;
  PutU16(body, id);
  PutU8(body, 5);  // 32-bit ARGB
  PutU16(body, static_cast<uint32_t>(width));
  PutU16(body, static_cast<uint32_t>(height));
  body.insert(body.end(), packed.begin(),
              packed.begin() + static_cast<std::ptrdiff_t>(packed_size));
  return TagBytes(swf_tag::kDefineBitsLossless2, body);
}

Bytes DefineBitsJpeg2(uint16_t id, const Bytes& jpeg) {
  Bytes body;
  PutU16(body, id);
  body.insert(body.end(), jpeg.begin(), jpeg.end());
  return TagBytes(swf_tag::kDefineBitsJpeg2, body);
}

Bytes DefineFont2(uint16_t id, const std::string& name, const std::vector<Glyph>& glyphs,
                  uint16_t ascent, uint16_t descent) {
  std::vector<Bytes> shapes;
  for (const Glyph& g : glyphs) {
    Bytes s;
    PutShapeRecords(s, g.contours, 1, 0, true);
    shapes.push_back(std::move(s));
  }
  size_t total = 0;
  for (const Bytes& s : shapes) total += s.size();
  const size_t table = 4 * (glyphs.size() + 1);  // wide offsets, and the code table's offset
  Bytes body;
  PutU16(body, id);
  PutU8(body, 0x80 | 0x08 | 0x04);  // layout, wide offsets, wide codes
  PutU8(body, 1);                   // Latin
  PutU8(body, static_cast<uint32_t>(name.size()));
  body.insert(body.end(), name.begin(), name.end());
  PutU16(body, static_cast<uint32_t>(glyphs.size()));
  size_t offset = table;
  for (const Bytes& s : shapes) {
    PutU32(body, static_cast<uint32_t>(offset));
    offset += s.size();
  }
  PutU32(body, static_cast<uint32_t>(table + total));
  for (const Bytes& s : shapes) body.insert(body.end(), s.begin(), s.end());
  for (const Glyph& g : glyphs) PutU16(body, g.code);
  PutU16(body, ascent);
  PutU16(body, descent);
  PutU16(body, 0);  // leading
  for (const Glyph& g : glyphs) PutU16(body, static_cast<uint16_t>(g.advance));
  for (const Glyph& g : glyphs) PutRect(body, ShapeBounds(Shape{{}, {}, g.contours}));
  PutU16(body, 0);  // no kerning
  return TagBytes(swf_tag::kDefineFont2, body);
}

Bytes DefineText2(uint16_t id, const SwfRect& bounds, const Matrix& matrix,
                  const std::vector<TextRun>& runs) {
  uint32_t max_index = 0;
  int advance_bits = 1;
  for (const TextRun& r : runs) {
    for (const auto& [index, advance] : r.glyphs) {
      max_index = std::max(max_index, index);
      advance_bits = std::max(advance_bits, SignedBitsFor(advance));
    }
  }
  const int glyph_bits = std::max(1, UnsignedBitsFor(max_index));
  Bytes body;
  PutU16(body, id);
  PutRect(body, bounds);
  PutMatrix(body, matrix);
  PutU8(body, static_cast<uint32_t>(glyph_bits));
  PutU8(body, static_cast<uint32_t>(advance_bits));
  for (const TextRun& r : runs) {
    if (r.glyphs.size() > 255) throw std::invalid_argument("more than 255 glyphs in a run");
    PutU8(body, 0x80 | 0x08 | 0x04 | 0x02 | 0x01);  // font, colour, y and x offsets
    PutU16(body, r.font_id);
    PutRgba(body, r.colour);
    PutU16(body, static_cast<uint16_t>(r.x));
    PutU16(body, static_cast<uint16_t>(r.y));
    PutU16(body, r.height);
    PutU8(body, static_cast<uint32_t>(r.glyphs.size()));
    BitWriter bits(body);
    for (const auto& [index, advance] : r.glyphs) {
      bits.Unsigned(index, glyph_bits);
      bits.Signed(advance, advance_bits);
    }
  }
  PutU8(body, 0);
  return TagBytes(swf_tag::kDefineText2, body);
}

Bytes PlaceObject2(const Placement& p) {
  Bytes body;
  uint8_t flags = 0;
  if (p.clip_depth) flags |= 0x40;
  if (p.name) flags |= 0x20;
  if (p.ratio) flags |= 0x10;
  if (p.color) flags |= 0x08;
  if (p.matrix) flags |= 0x04;
  if (p.character) flags |= 0x02;
  if (p.move) flags |= 0x01;
  PutU8(body, flags);
  PutU16(body, p.depth);
  if (p.character) PutU16(body, *p.character);
  if (p.matrix) PutMatrix(body, *p.matrix);
  if (p.color) PutColorTransform(body, *p.color);
  if (p.ratio) PutU16(body, *p.ratio);
  if (p.name) {
    body.insert(body.end(), p.name->begin(), p.name->end());
    PutU8(body, 0);
  }
  if (p.clip_depth) PutU16(body, *p.clip_depth);
  return TagBytes(swf_tag::kPlaceObject2, body);
}

namespace {

void PutFixed(Bytes& out, double v) { PutU32(out, static_cast<uint32_t>(std::lround(v * 65536))); }
void PutFloat(Bytes& out, float v) { PutU32(out, std::bit_cast<uint32_t>(v)); }

void PutFilter(Bytes& out, const Filter& f) {
  PutU8(out, static_cast<uint8_t>(f.kind));
  auto tail = [&](bool angle, bool bevel) {
    PutFixed(out, f.blur_x);
    PutFixed(out, f.blur_y);
    if (angle) {
      PutFixed(out, f.angle);
      PutFixed(out, f.distance);
    }
    PutU16(out, static_cast<uint16_t>(std::lround(f.strength * 256)));
    uint8_t flags = static_cast<uint8_t>((f.inner ? 0x80 : 0) | (f.knockout ? 0x40 : 0) |
                                         (f.hide_object ? 0 : 0x20));
    flags |= bevel ? static_cast<uint8_t>((f.on_top ? 0x10 : 0) | (f.passes & 0x0F))
                   : static_cast<uint8_t>(f.passes & 0x1F);
    PutU8(out, flags);
  };
  switch (f.kind) {
    case FilterKind::kDropShadow:
      PutRgba(out, f.colour);
      tail(true, false);
      break;
    case FilterKind::kBlur:
      PutFixed(out, f.blur_x);
      PutFixed(out, f.blur_y);
      PutU8(out, static_cast<uint8_t>(f.passes << 3));
      break;
    case FilterKind::kGlow:
      PutRgba(out, f.colour);
      tail(false, false);
      break;
    case FilterKind::kBevel:
      PutRgba(out, f.highlight);
      PutRgba(out, f.colour);
      tail(true, true);
      break;
    case FilterKind::kGradientGlow:
    case FilterKind::kGradientBevel:
      PutU8(out, static_cast<uint8_t>(f.gradient.size()));
      for (const auto& stop : f.gradient) PutRgba(out, stop.second);
      for (const auto& stop : f.gradient) PutU8(out, stop.first);
      tail(true, true);
      break;
    case FilterKind::kConvolution:
      PutU8(out, static_cast<uint8_t>(f.matrix_x));
      PutU8(out, static_cast<uint8_t>(f.matrix_y));
      PutFloat(out, f.divisor);
      PutFloat(out, f.bias);
      for (float v : f.matrix) PutFloat(out, v);
      PutRgba(out, f.default_colour);
      PutU8(out, static_cast<uint8_t>((f.clamp ? 2 : 0) | (f.preserve_alpha ? 1 : 0)));
      break;
    case FilterKind::kColorMatrix:
      for (float v : f.colour_matrix) PutFloat(out, v);
      break;
  }
}

}  // namespace

Bytes PlaceObject3(const Placement& p, const std::vector<Filter>& filters,
                   std::optional<uint8_t> blend_mode) {
  Bytes tag = PlaceObject2(p);
  // The PlaceObject2 body with the second flag byte after the first, the effects appended.
  const size_t header = (tag[0] | (tag[1] << 8)) & 0x3F;
  Bytes body(tag.begin() + (header == 0x3F ? 6 : 2), tag.end());
  const uint8_t flags3 =
      static_cast<uint8_t>((filters.empty() ? 0 : 0x01) | (blend_mode ? 0x02 : 0));
  body.insert(body.begin() + 1, flags3);
  if (!filters.empty()) {
    PutU8(body, static_cast<uint8_t>(filters.size()));
    for (const Filter& f : filters) PutFilter(body, f);
  }
  if (blend_mode) PutU8(body, *blend_mode);
  return TagBytes(swf_tag::kPlaceObject3, body);
}

Bytes RemoveObject2(uint16_t depth) {
  Bytes body;
  PutU16(body, depth);
  return TagBytes(swf_tag::kRemoveObject2, body);
}

Bytes ShowFrame() { return TagBytes(swf_tag::kShowFrame, {}); }

Bytes FileAttributes(uint32_t flags) {
  Bytes body;
  PutU32(body, flags);
  return TagBytes(swf_tag::kFileAttributes, body);
}

Bytes DefineSprite(uint16_t id, uint16_t frame_count, const Bytes& tags) {
  Bytes body;
  PutU16(body, id);
  PutU16(body, frame_count);
  body.insert(body.end(), tags.begin(), tags.end());
  PutTag(body, swf_tag::kEnd, {});
  return TagBytes(swf_tag::kDefineSprite, body);
}

Bytes DefineScalingGrid(uint16_t id, const SwfRect& centre) {
  Bytes body;
  PutU16(body, id);
  PutRect(body, centre);
  return TagBytes(swf_tag::kDefineScalingGrid, body);
}

}  // namespace flashsaver::swf_out
