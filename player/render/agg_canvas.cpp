#include "player/render/agg_canvas.h"

#include <agg_conv_curve.h>
#include <agg_conv_stroke.h>
#include <agg_curves.h>
#include <agg_path_storage.h>
#include <agg_rasterizer_compound_aa.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_rasterizer_sl_clip.h>
#include <agg_scanline_p.h>
#include <agg_scanline_u.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <deque>
#include <optional>
#include <vector>

#include "player/render/layer_cache.h"
#include "player/render/paint.h"
#include "player/render/shape_drawing.h"

namespace flashsaver {
namespace {

const Picture* FillBitmap(const FillStyle& f, const BitmapSource& bitmaps) {
  if (f.kind != FillKind::kBitmap) return nullptr;
  return f.picture ? f.picture.get() : bitmaps.FindBitmap(f.bitmap_id);
}

// The double-precision clipper: AGG's integer one overflows on coordinates past about ±8 million
// pixels, which zoomed or damaged movies reach.
using CompoundRasterizer = agg::rasterizer_compound_aa<agg::rasterizer_sl_clip_dbl>;
using Rasterizer = agg::rasterizer_scanline_aa<agg::rasterizer_sl_clip_dbl>;

// The double clipper cuts every edge at the clip box before the rasterizer's 24.8 fixed point
// sees it; this only keeps infinities and NaNs (from degenerate matrices) out of it.
double Tame(double v) { return std::isfinite(v) ? std::clamp(v, -1e12, 1e12) : 0.0; }

// A curve whose control points all lie on one side of the box (grown by margin) crosses the
// box's rows exactly as the straight edge between its ends does, so it is drawn as that edge.
bool CurveOutside(Point a, Point c, Point b, const PixelBox& box, double margin) {
  const auto all = [&](auto pred) { return pred(a) && pred(c) && pred(b); };
  return all([&](Point p) { return p.x < box.left - margin; }) ||
         all([&](Point p) { return p.x > box.right + margin; }) ||
         all([&](Point p) { return p.y < box.top - margin; }) ||
         all([&](Point p) { return p.y > box.bottom + margin; });
}

// Hands a quadratic curve in target pixels to line(end) or curve(control, end). Flattening a
// curve millions of pixels long would make millions of segments, so long curves are halved
// until each half is short or outside the box, where a straight edge does as well.
template <typename Line, typename Curve>
void EmitCurve(Point a, Point c, Point b, const PixelBox& box, double margin, Line line,
               Curve curve, int depth = 0) {
  if (CurveOutside(a, c, b, box, margin)) {
    line(b);
    return;
  }
  const double extent = std::max(
      {std::fabs(c.x - a.x), std::fabs(b.x - c.x), std::fabs(c.y - a.y), std::fabs(b.y - c.y)});
  if (extent > 4096 && depth < 48) {
    const Point ac{(a.x + c.x) / 2, (a.y + c.y) / 2}, cb{(c.x + b.x) / 2, (c.y + b.y) / 2};
    const Point mid{(ac.x + cb.x) / 2, (ac.y + cb.y) / 2};
    EmitCurve(a, ac, mid, box, margin, line, curve, depth + 1);
    EmitCurve(mid, cb, b, box, margin, line, curve, depth + 1);
    return;
  }
  curve(c, b);
}

// A Path in twips fed to a rasterizer in target pixels, curves flattened there.
template <typename Sink>
void FeedPath(const Path& path, const Matrix& m, const PixelBox& clip, Sink& sink) {
  Point pen;
  agg::curve3_div curve;
  for (const PathCommand& cmd : path.commands) {
    const Point to = m.Apply(cmd.to);
    switch (cmd.kind) {
      case PathCommand::Kind::kMoveTo:
        sink.move_to_d(Tame(to.x), Tame(to.y));
        break;
      case PathCommand::Kind::kLineTo:
        sink.line_to_d(Tame(to.x), Tame(to.y));
        break;
      case PathCommand::Kind::kCurveTo: {
        Point start = pen;  // of the piece being emitted
        EmitCurve(
            pen, m.Apply(cmd.control), to, clip, 1,
            [&](Point p) {
              sink.line_to_d(Tame(p.x), Tame(p.y));
              start = p;
            },
            [&](Point c, Point p) {
              curve.init(Tame(start.x), Tame(start.y), Tame(c.x), Tame(c.y), Tame(p.x), Tame(p.y));
              double x, y;
              curve.rewind(0);
              curve.vertex(&x, &y);  // the start point, already there
              while (!agg::is_stop(curve.vertex(&x, &y))) sink.line_to_d(x, y);
              start = p;
            });
        break;
      }
    }
    pen = to;
  }
}

// A line style's path as AGG vertices in target pixels; a subpath that ends where it began is
// closed (so it gets a join there, not two caps) unless the style says otherwise.
void BuildStrokePath(const Path& path, const Matrix& m, bool no_close, const PixelBox& clip,
                     double width, agg::path_storage& out) {
  Point device_pen;
  out.remove_all();
  Point start, pen;
  auto close_if_closed = [&] {
    if (!no_close && out.total_vertices() > 1 && start == pen) out.close_polygon();
  };
  for (const PathCommand& cmd : path.commands) {
    const Point to = m.Apply(cmd.to);
    switch (cmd.kind) {
      case PathCommand::Kind::kMoveTo:
        close_if_closed();
        out.move_to(Tame(to.x), Tame(to.y));
        start = cmd.to;
        break;
      case PathCommand::Kind::kLineTo:
        out.line_to(Tame(to.x), Tame(to.y));
        break;
      case PathCommand::Kind::kCurveTo: {
        EmitCurve(
            device_pen, m.Apply(cmd.control), to, clip, width + 2,
            [&](Point p) { out.line_to(Tame(p.x), Tame(p.y)); },
            [&](Point c, Point p) { out.curve3(Tame(c.x), Tame(c.y), Tame(p.x), Tame(p.y)); });
        break;
      }
    }
    pen = cmd.to;
    device_pen = to;
  }
  close_if_closed();
}

agg::line_cap_e AggCap(CapStyle cap) {
  switch (cap) {
    case CapStyle::kNone:
      return agg::butt_cap;
    case CapStyle::kSquare:
      return agg::square_cap;
    case CapStyle::kRound:
      break;
  }
  return agg::round_cap;
}

agg::line_join_e AggJoin(JoinStyle join) {
  switch (join) {
    case JoinStyle::kBevel:
      return agg::bevel_join;
    case JoinStyle::kMiter:
      return agg::miter_join_revert;
    case JoinStyle::kRound:
      break;
  }
  return agg::round_join;
}

// All four 8-bit channels of a pixel times k/255 (k 0..255), two channels per multiply.
inline uint32_t Scale(uint32_t p, uint32_t k) {
  uint32_t rb = (p & 0x00FF00FFu) * k + 0x00800080u;
  rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
  uint32_t ag = ((p >> 8) & 0x00FF00FFu) * k + 0x00800080u;
  ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
  return rb | ag;
}

// Premultiplied source over destination, the source scaled by cover (0..255). Premultiplied
// channels never exceed alpha, so the sum cannot carry into the next channel.
inline uint32_t BlendOver(uint32_t dst, uint32_t src, uint32_t cover) {
  if (cover != 255) src = Scale(src, cover);
  const uint32_t sa = src >> 24;
  if (sa == 255) return src;
  return src + Scale(dst, 255 - sa);
}

}  // namespace

struct AggCanvas::Impl {
  Picture* target;  // the picture or the innermost layer
  CanvasOptions options;
  PixelBox clip;

  CompoundRasterizer compound;
  Rasterizer rasterizer;
  agg::scanline_u8 scanline;
  // Single-style scanlines come packed: the inside of a shape is one run of one cover, filled
  // without looking at each pixel's cover.
  agg::scanline_p8 packed;
  agg::path_storage stroke_path;

  // Per-draw scratch, kept between draws so that a frame does not allocate per shape.
  std::vector<Paint> paints;
  std::vector<uint32_t> colors;
  // Premultiplied channels times cover, summed over the styles of a pixel: red and blue, alpha
  // and green, 16 bits each.
  struct Mix {
    uint32_t rb = 0, ag = 0;
  };
  std::vector<Mix> mix;
  std::vector<uint8_t> covers;

  // The mask stack: coverage buffers over the whole target, each intersected with the one below
  // once it is complete. building is true while draws go into the top one.
  std::vector<std::vector<uint8_t>> masks;
  size_t mask_depth = 0;
  bool building = false;

  // Open layers, innermost last, and finished layers' pictures kept for the next.
  struct Layer {
    Picture picture;
    LayerEffects effects;
    PixelBox outer_clip;
    Picture* below = nullptr;
    std::optional<CachedLayer> keep;  // the picture goes into the cache when finished
  };
  std::deque<Layer> layers;  // a deque: the pictures below keep their addresses
  std::vector<Picture> spare_pictures;
  size_t passed_layers = 0;  // layers begun past the limit, drawn without effects

  void SetClip(const PixelBox& box) {
    clip = box;
    compound.clip_box(clip.left, clip.top, clip.right, clip.bottom);
    rasterizer.clip_box(clip.left, clip.top, clip.right, clip.bottom);
  }

  Impl(Picture& t, const CanvasOptions& o) : target(&t), options(o) {
    const PixelBox whole{0, 0, t.width, t.height};
    clip = o.clip.Empty()
               ? whole
               : PixelBox{std::max(o.clip.left, 0), std::max(o.clip.top, 0),
                          std::min(o.clip.right, t.width), std::min(o.clip.bottom, t.height)};
    compound.clip_box(clip.left, clip.top, clip.right, clip.bottom);
    rasterizer.clip_box(clip.left, clip.top, clip.right, clip.bottom);
    // Styles in ascending order: later fill styles paint over earlier ones where they overlap.
    compound.layer_order(agg::layer_inverse);
  }

  const uint8_t* ActiveMaskRow(int y) const {
    // While a mask is being built the draws are limited by nothing; once done they are limited
    // by the top finished mask.
    const size_t finished = building ? mask_depth - 1 : mask_depth;
    if (finished == 0) return nullptr;
    return masks[finished - 1].data() + static_cast<size_t>(y) * static_cast<size_t>(target->width);
  }

  // Calls f(offset, count) for the part of each mask row inside the clip box.
  template <typename F>
  void ForClipRows(F f) const {
    for (int32_t y = clip.top; y < clip.bottom; ++y) {
      f(static_cast<size_t>(y) * static_cast<size_t>(target->width) +
            static_cast<size_t>(clip.left),
        static_cast<size_t>(clip.Width()));
    }
  }

  uint32_t Cover(uint32_t c) const {
    if (options.anti_alias) return c;
    return c >= 128 ? 255 : 0;
  }

  // Writes one row of pixels whose colours (premultiplied, or one solid colour when src is
  // null) come with their covers.
  void BlendRow(int x, int y, int len, const uint32_t* src, uint32_t solid, const uint8_t* cover) {
    if (y < clip.top || y >= clip.bottom) return;
    const int start = std::max(x, clip.left);
    const int stop = std::min(x + len, clip.right);
    if (building) {
      uint8_t* m = masks[mask_depth - 1].data() + static_cast<size_t>(y) * target->width;
      for (int i = start; i < stop; ++i) {
        const uint32_t c = cover[i - x];
        m[i] = static_cast<uint8_t>(m[i] + (c * (255u - m[i]) + 127) / 255);
      }
      return;
    }
    const uint8_t* mask = ActiveMaskRow(y);
    uint32_t* row = target->Row(y);
    const uint8_t* cov = cover - x;
    if (mask) {
      for (int i = start; i < stop; ++i) {
        const uint32_t c = (cov[i] * mask[i] + 127) / 255;
        if (c) row[i] = BlendOver(row[i], src ? src[i - x] : solid, c);
      }
    } else if (src) {
      const uint32_t* s = src - x;
      for (int i = start; i < stop; ++i) {
        if (cov[i]) row[i] = BlendOver(row[i], s[i], cov[i]);
      }
    } else if ((solid >> 24) == 255) {
      // The common case: an opaque colour, fully covered inside a shape.
      for (int i = start; i < stop; ++i) {
        const uint32_t c = cov[i];
        if (c == 255) {
          row[i] = solid;
        } else if (c) {
          row[i] = BlendOver(row[i], solid, c);
        }
      }
    } else {
      for (int i = start; i < stop; ++i) {
        if (cov[i]) row[i] = BlendOver(row[i], solid, cov[i]);
      }
    }
  }

  void EnsureScratch(size_t len) {
    if (colors.size() < len) {
      colors.resize(len);
      covers.resize(len);
      mix.resize(len);
    }
  }

  // Paints colour p (premultiplied) over the fraction over/255 of a pixel whose mix so far
  // covers have/255 of it: that part is taken to hold the mix's mean colour.
  static void PaintOver(Mix& m, uint32_t p, uint32_t over, uint32_t have) {
    const uint32_t alpha = p >> 24;
    uint32_t lanes[4] = {m.rb & 0xFFFFu, m.ag & 0xFFFFu, m.rb >> 16, m.ag >> 16};  // b g r a
    for (int ch = 0; ch < 4; ++ch) {
      const uint32_t src = (p >> (8 * ch)) & 0xFF;
      const uint64_t under = static_cast<uint64_t>(lanes[ch]) * over * alpha / (have * 255u);
      const uint64_t value = lanes[ch] + static_cast<uint64_t>(src) * over - under;
      lanes[ch] = static_cast<uint32_t>(std::min<uint64_t>(value, 255u * 255u));
    }
    m.rb = lanes[0] | (lanes[2] << 16);
    m.ag = lanes[1] | (lanes[3] << 16);
  }

  // Sweeps the compound rasterizer: at each pixel the styles share one coverage budget, so two
  // fills that meet along an edge cover it fully and show no seam.
  void SweepCompound() {
    if (!compound.rewind_scanlines()) return;
    const int min_x = compound.min_x();
    const size_t len = static_cast<size_t>(compound.max_x() - min_x + 2);
    EnsureScratch(len);
    scanline.reset(min_x, compound.max_x());
    packed.reset(min_x, compound.max_x());
    while (unsigned num_styles = compound.sweep_styles()) {
      if (num_styles == 1) {
        // One style on this scanline: nothing to share, blend its spans directly.
        if (!compound.sweep_scanline(packed, 0)) continue;
        const Paint& paint = paints[compound.style(0)];
        SweepSpans(paint);
        continue;
      }
      const int sl_start = compound.scanline_start();
      const unsigned sl_len = compound.scanline_length();
      if (sl_len == 0) continue;
      const size_t base = static_cast<size_t>(sl_start - min_x);
      std::fill_n(mix.begin() + static_cast<ptrdiff_t>(base), sl_len, Mix{});
      std::fill_n(covers.begin() + static_cast<ptrdiff_t>(base), sl_len, uint8_t{0});
      int y = 0;
      for (unsigned i = 0; i < num_styles; ++i) {
        if (!compound.sweep_scanline(scanline, static_cast<int>(i))) continue;
        y = scanline.y();
        const Paint& paint = paints[compound.style(i)];
        auto span = scanline.begin();
        for (unsigned n = scanline.num_spans(); n > 0; --n, ++span) {
          const size_t off = static_cast<size_t>(span->x - min_x);
          uint32_t* cs = colors.data() + off;
          if (!building) paint.Generate(cs, span->x, y, span->len);
          for (size_t k = 0; k < static_cast<size_t>(span->len); ++k) {
            uint8_t& have = covers[off + k];
            const uint32_t cover = Cover(span->covers[k]);
            if (!cover) continue;
            // The part of the cover that fits beside what earlier styles cover is added; the
            // rest overlaps them and is painted over them (later styles draw on top).
            const uint32_t beside = std::min<uint32_t>(cover, 255u - have);
            const uint32_t over = cover - beside;
            const uint32_t p = cs[k];
            Mix& m = mix[off + k];
            if (over != 0 && have != 0) PaintOver(m, p, over, have);
            have = static_cast<uint8_t>(have + beside);
            m.rb += (p & 0x00FF00FFu) * beside;
            m.ag += ((p >> 8) & 0x00FF00FFu) * beside;
          }
        }
      }
      // The mixed colour already carries its coverage: blend it at full cover where anything
      // was drawn.
      uint32_t* out = colors.data() + base;
      for (size_t k = 0; k < sl_len; ++k) {
        const Mix& m = mix[base + k];
        // Each 16-bit lane holds at most 255·255; divide by 255 with rounding.
        auto div = [](uint32_t v) {
          const uint32_t lo = v & 0xFFFFu, hi = v >> 16;
          return ((lo + 128 + ((lo + 128) >> 8)) >> 8) |
                 (((hi + 128 + ((hi + 128) >> 8)) >> 8) << 16);
        };
        out[k] = div(m.rb) | (div(m.ag) << 8);
        if (!building && covers[base + k]) covers[base + k] = 255;
      }
      BlendRow(sl_start, y, static_cast<int>(sl_len), out, 0, covers.data() + base);
    }
  }

  // Blends the spans of the last swept packed scanline with one paint.
  void SweepSpans(const Paint& paint) {
    const int y = packed.y();
    if (!paint.solid() && !building) {
      SweepRuns(paint, y);
      return;
    }
    const bool opaque_fill = (paint.color() >> 24) == 255 && !building &&
                             ActiveMaskRow(y) == nullptr && y >= clip.top && y < clip.bottom;
    auto span = packed.begin();
    for (unsigned n = packed.num_spans(); n > 0; --n, ++span) {
      const uint8_t* cover = span->covers;
      const int x = span->x;
      int len = span->len;
      if (len < 0) {
        len = -len;
        const uint8_t c = static_cast<uint8_t>(Cover(*span->covers));
        if (c == 0) continue;
        if (c == 255 && opaque_fill) {
          uint32_t* row = target->Row(y);
          const int start = std::max(x, clip.left);
          const int stop = std::min(x + len, clip.right);
          if (start < stop) std::fill(row + start, row + stop, paint.color());
          continue;
        }
        std::fill_n(covers.data(), len, c);
        cover = covers.data();
      } else if (!options.anti_alias) {
        for (int k = 0; k < len; ++k)
          covers[static_cast<size_t>(k)] = static_cast<uint8_t>(Cover(span->covers[k]));
        cover = covers.data();
      }
      BlendRow(x, y, len, nullptr, paint.color(), cover);
    }
  }

  // Gradients and bitmaps step their sampling point along a run from its start, so touching
  // spans are joined into one run, as an unpacked scanline holds them: the colours then do not
  // depend on where the rasterizer split the row.
  void SweepRuns(const Paint& paint, int y) {
    auto span = packed.begin();
    unsigned n = packed.num_spans();
    while (n > 0) {
      const int run_x = span->x;
      int run_len = 0;
      do {
        uint8_t* out = covers.data() + run_len;
        const int len = span->len < 0 ? -span->len : span->len;
        if (span->len < 0) {
          std::fill_n(out, len, static_cast<uint8_t>(Cover(*span->covers)));
        } else {
          for (int k = 0; k < len; ++k) out[k] = static_cast<uint8_t>(Cover(span->covers[k]));
        }
        run_len += len;
        ++span;
        --n;
      } while (n > 0 && span->x == run_x + run_len);
      paint.Generate(colors.data(), run_x, y, run_len);
      BlendRow(run_x, y, run_len, colors.data(), 0, covers.data());
    }
  }

  // Sweeps the scanline rasterizer with one paint.
  void SweepSingle(const Paint& paint) {
    if (!rasterizer.rewind_scanlines()) return;
    packed.reset(rasterizer.min_x(), rasterizer.max_x());
    EnsureScratch(static_cast<size_t>(rasterizer.max_x() - rasterizer.min_x() + 2));
    while (rasterizer.sweep_scanline(packed)) SweepSpans(paint);
  }

  void DrawFills(const ShapeLayer& layer, const ShapeDrawing& shape, const RenderState& state,
                 const BitmapSource& bitmaps) {
    if (layer.fill_runs.empty()) return;
    paints.resize(layer.fills.size());
    if (!building) {
      for (size_t i = 0; i < layer.fills.size(); ++i) {
        const FillStyle& f = layer.fills[i];
        paints[i].SetFill(f, state.matrix, state.color, FillBitmap(f, bitmaps),
                          options.smooth_bitmaps);
      }
    }
    compound.reset();
    compound.filling_rule(shape.non_zero() ? agg::fill_non_zero : agg::fill_even_odd);
    for (const FillRun& run : layer.fill_runs) {
      compound.styles(static_cast<int>(run.fill0) - 1, static_cast<int>(run.fill1) - 1);
      FeedPath(run.path, state.matrix, clip, compound);
    }
    SweepCompound();
  }

  // Flash scales a line's width with the object (by the mean of its axes) unless the style asks
  // otherwise, and never draws it thinner than one pixel.
  double StrokeWidth(const LineStyle& line, const Matrix& m) const {
    const double scale = std::sqrt((m.a * m.a + m.b * m.b + m.c * m.c + m.d * m.d) / 2);
    const double twips_per_px = Twips::kPerPixel;
    double w = (line.no_hscale || line.no_vscale) ? line.width / twips_per_px : line.width * scale;
    if (!std::isfinite(w) || w < 1) w = 1;
    return std::min(w, 1e6);
  }

  // Flash gives each end of an open line its own cap; AGG's stroker has one for both. With two
  // different caps the body is stroked with flat ends and each cap is added as a polygon wound
  // the same way as the stroke's outline, so that the non-zero rule joins them without a seam.
  template <typename Stroke, typename Curves>
  void AddStrokeWithCaps(Stroke& stroke, Curves& curves, const LineStyle& line, double half) {
    double area = 0;
    Point first, prev;
    stroke.rewind(0);
    double x, y;
    for (unsigned cmd; !agg::is_stop(cmd = stroke.vertex(&x, &y));) {
      if (agg::is_move_to(cmd)) {
        rasterizer.move_to_d(x, y);
        first = prev = {x, y};
      } else if (agg::is_vertex(cmd)) {
        rasterizer.line_to_d(x, y);
        area += prev.x * y - x * prev.y;
        prev = {x, y};
      } else if (agg::is_end_poly(cmd)) {
        area += prev.x * first.y - first.x * prev.y;
        prev = first;
      }
    }
    std::vector<Point> polygon;
    auto add_cap = [&](Point at, Point toward, CapStyle cap) {
      const double dx = at.x - toward.x, dy = at.y - toward.y, len = std::hypot(dx, dy);
      if (cap == CapStyle::kNone || len == 0 || !std::isfinite(len)) return;
      const Point u{dx / len * half, dy / len * half}, n{-u.y, u.x};
      polygon.clear();
      if (cap == CapStyle::kSquare) {
        polygon = {{at.x + n.x, at.y + n.y},
                   {at.x + n.x + u.x, at.y + n.y + u.y},
                   {at.x - n.x + u.x, at.y - n.y + u.y},
                   {at.x - n.x, at.y - n.y}};
      } else {
        const int steps = std::clamp(static_cast<int>(half * 2) + 8, 8, 256);
        for (int k = 0; k < steps; ++k) {
          const double a = 2 * 3.14159265358979323846 * k / steps;
          polygon.push_back({at.x + half * std::cos(a), at.y + half * std::sin(a)});
        }
      }
      double own = 0;
      for (size_t k = 0; k < polygon.size(); ++k) {
        const Point& p = polygon[k];
        const Point& q = polygon[(k + 1) % polygon.size()];
        own += p.x * q.y - q.x * p.y;
      }
      if ((own < 0) != (area < 0)) std::reverse(polygon.begin(), polygon.end());
      rasterizer.move_to_d(polygon[0].x, polygon[0].y);
      for (size_t k = 1; k < polygon.size(); ++k) rasterizer.line_to_d(polygon[k].x, polygon[k].y);
      rasterizer.close_polygon();
    };
    // The ends of each open subpath, with the points next to them for the directions.
    std::vector<Point> sub;
    bool closed = false;
    auto finish = [&] {
      if (sub.size() >= 2 && !closed) {
        add_cap(sub.front(), sub[1], line.start_cap);
        add_cap(sub.back(), sub[sub.size() - 2], line.end_cap);
      }
      sub.clear();
      closed = false;
    };
    curves.rewind(0);
    for (unsigned cmd; !agg::is_stop(cmd = curves.vertex(&x, &y));) {
      if (agg::is_move_to(cmd)) {
        finish();
        sub.push_back({x, y});
      } else if (agg::is_vertex(cmd)) {
        if (sub.empty() || !(sub.back() == Point{x, y})) sub.push_back({x, y});
      } else if (agg::is_close(cmd)) {
        closed = true;
      }
    }
    finish();
  }

  void DrawLines(const ShapeLayer& layer, const RenderState& state, const BitmapSource& bitmaps) {
    Paint paint;
    for (size_t i = 0; i < layer.lines.size(); ++i) {
      const Path& path = layer.line_paths[i];
      if (path.commands.size() < 2) continue;
      const LineStyle& line = layer.lines[i];
      if (!building) {
        if (line.fill) {
          const FillStyle& f = *line.fill;
          paint.SetFill(f, state.matrix, state.color, FillBitmap(f, bitmaps),
                        options.smooth_bitmaps);
        } else {
          paint.SetSolid(line.color, state.color);
        }
        if (paint.solid() && paint.color() == 0) continue;
      }
      const double width = StrokeWidth(line, state.matrix);
      BuildStrokePath(path, state.matrix, line.no_close, clip, width, stroke_path);
      agg::conv_curve<agg::path_storage> curves(stroke_path);
      agg::conv_stroke<agg::conv_curve<agg::path_storage>> stroke(curves);
      stroke.width(width);
      const bool two_caps = line.start_cap != line.end_cap;
      stroke.line_cap(two_caps ? agg::butt_cap : AggCap(line.start_cap));
      stroke.line_join(AggJoin(line.join));
      stroke.miter_limit(std::max(1.0, line.miter_limit));
      rasterizer.reset();
      rasterizer.filling_rule(agg::fill_non_zero);
      if (two_caps) {
        AddStrokeWithCaps(stroke, curves, line, width / 2);
      } else {
        rasterizer.add_path(stroke);
      }
      SweepSingle(paint);
    }
  }
};

AggCanvas::AggCanvas(Picture& target, const CanvasOptions& options)
    : impl_(std::make_unique<Impl>(target, options)) {}
AggCanvas::~AggCanvas() = default;

void AggCanvas::DrawShape(const ShapeDrawing& shape, const RenderState& state,
                          const BitmapSource& bitmaps) {
  if (impl_->clip.Empty()) return;
  for (const ShapeLayer& layer : shape.layers()) {
    impl_->DrawFills(layer, shape, state, bitmaps);
    impl_->DrawLines(layer, state, bitmaps);
  }
}

void AggCanvas::FillPath(const Path& path, FillRule rule, Rgba colour, const RenderState& state) {
  Impl& d = *impl_;
  if (d.clip.Empty() || path.Empty()) return;
  Paint paint;
  paint.SetSolid(colour, state.color);
  d.rasterizer.reset();
  d.rasterizer.filling_rule(rule == FillRule::kNonZero ? agg::fill_non_zero : agg::fill_even_odd);
  FeedPath(path, state.matrix, d.clip, d.rasterizer);
  d.SweepSingle(paint);
}

void AggCanvas::BeginMask() {
  Impl& d = *impl_;
  if (d.masks.size() <= d.mask_depth) d.masks.emplace_back();
  std::vector<uint8_t>& m = d.masks[d.mask_depth];
  // Only the clip box is ever read or written; the buffer is kept for the next mask.
  m.resize(static_cast<size_t>(d.target->width) * static_cast<size_t>(d.target->height));
  d.ForClipRows([&m](size_t at, size_t n) {
    std::fill_n(m.begin() + static_cast<ptrdiff_t>(at), n, uint8_t{0});
  });
  ++d.mask_depth;
  d.building = true;
}

void AggCanvas::EndMask() {
  Impl& d = *impl_;
  if (!d.building) return;
  d.building = false;
  if (d.mask_depth < 2) return;
  // Nested masks: only what lies inside the mask below stays.
  std::vector<uint8_t>& top = d.masks[d.mask_depth - 1];
  const std::vector<uint8_t>& below = d.masks[d.mask_depth - 2];
  d.ForClipRows([&top, &below](size_t at, size_t n) {
    for (size_t i = at; i < at + n; ++i)
      top[i] = static_cast<uint8_t>((top[i] * below[i] + 127) / 255);
  });
}

void AggCanvas::PopMask() {
  Impl& d = *impl_;
  if (d.mask_depth == 0) return;
  --d.mask_depth;
  d.building = false;
}

namespace {

PixelBox Grow(const PixelBox& box, const PixelBox& by, const PixelBox& within) {
  return {std::max(box.left - by.left, within.left), std::max(box.top - by.top, within.top),
          std::min(box.right + by.right, within.right),
          std::min(box.bottom + by.bottom, within.bottom)};
}

// The smallest box holding every pixel of the picture inside box that is not transparent.
PixelBox Content(const Picture& picture, const PixelBox& box) {
  PixelBox found{box.right, box.bottom, box.left, box.top};
  for (int32_t y = box.top; y < box.bottom; ++y) {
    const uint32_t* row = picture.Row(y);
    int32_t x0 = box.left;
    while (x0 < box.right && row[x0] == 0) ++x0;
    if (x0 == box.right) continue;
    int32_t x1 = box.right;
    while (x1 > x0 && row[x1 - 1] == 0) --x1;
    found.left = std::min(found.left, x0);
    found.right = std::max(found.right, x1);
    found.top = std::min(found.top, y);
    found.bottom = y + 1;
  }
  return found;
}

}  // namespace

void AggCanvas::BeginLayer(const LayerEffects& effects) { BeginLayerKept(effects, std::nullopt); }

void AggCanvas::BeginLayerKept(const LayerEffects& effects,
                               const std::optional<CachedLayer>& keep) {
  Impl& d = *impl_;
  // Each layer holds a picture of the whole target: past a few levels the effects are dropped
  // and the objects drawn straight through, so that nesting cannot take unbounded memory.
  if (d.layers.size() >= kMaxLayers || d.passed_layers > 0) {
    ++d.passed_layers;
    return;
  }
  Impl::Layer layer;
  layer.effects = effects;
  layer.outer_clip = d.clip;
  layer.below = d.target;
  layer.keep = keep;
  // A filter reaches in from beyond the area being drawn: draw that far around it too. A
  // picture to be kept is drawn whole, wherever the area being drawn lies.
  const PixelBox whole{0, 0, d.target->width, d.target->height};
  PixelBox reach = d.clip;
  if (keep) reach = whole;
  for (const Filter& f : effects.filters) {
    reach = Grow(reach, FilterMargins(f, effects.scale_x, effects.scale_y), whole);
  }
  if (!d.spare_pictures.empty()) {
    layer.picture = std::move(d.spare_pictures.back());
    d.spare_pictures.pop_back();
  }
  if (layer.picture.width != d.target->width || layer.picture.height != d.target->height) {
    layer.picture = Picture(d.target->width, d.target->height);
  }
  for (int32_t y = reach.top; y < reach.bottom; ++y) {
    std::fill_n(layer.picture.Row(y) + reach.left, reach.Width(), 0u);
  }
  d.layers.push_back(std::move(layer));
  d.target = &d.layers.back().picture;
  d.SetClip(reach);
}

void AggCanvas::EndLayer() {
  Impl& d = *impl_;
  if (d.passed_layers > 0) {
    --d.passed_layers;
    return;
  }
  if (d.layers.empty()) return;
  Impl::Layer layer = std::move(d.layers.back());
  d.layers.pop_back();
  const PixelBox drawn = d.clip;
  PixelBox area = Content(layer.picture, drawn);
  const LayerEffects& fx = layer.effects;
  for (const Filter& f : fx.filters) {
    if (area.Empty()) break;
    area = Grow(area, FilterMargins(f, fx.scale_x, fx.scale_y), drawn);
    ApplyFilter(f, layer.picture, area, fx.scale_x, fx.scale_y);
  }
  if (layer.keep && d.options.layer_cache) {
    d.options.layer_cache->Store(layer.keep->object, layer.keep->look, layer.keep->x, layer.keep->y,
                                 layer.picture, area);
  }
  d.target = layer.below;
  d.SetClip(layer.outer_clip);
  // Alpha and erase change what lies below wherever the layer is, transparent parts included.
  const bool everywhere = fx.blend == BlendMode::kAlpha;
  const PixelBox put =
      everywhere
          ? d.clip
          : PixelBox{std::max(area.left, d.clip.left), std::max(area.top, d.clip.top),
                     std::min(area.right, d.clip.right), std::min(area.bottom, d.clip.bottom)};
  if (!put.Empty()) {
    for (int32_t y = put.top; y < put.bottom; ++y) {
      flashsaver::BlendRow(d.target->Row(y) + put.left, layer.picture.Row(y) + put.left,
                           put.Width(), fx.blend);
    }
  }
  d.spare_pictures.push_back(std::move(layer.picture));
}

bool AggCanvas::KeepsLayers() const { return impl_->options.layer_cache != nullptr; }

bool AggCanvas::BeginCachedLayer(const LayerEffects& effects, const CachedLayer& layer) {
  Impl& d = *impl_;
  LayerCache* cache = d.options.layer_cache;
  // Under a mask the layer's draws are clipped by it, and an alpha layer changes what lies
  // below it everywhere: neither picture stands on its own.
  if (!cache || d.mask_depth > 0 || effects.blend == BlendMode::kAlpha ||
      d.layers.size() >= kMaxLayers || d.passed_layers > 0) {
    BeginLayer(effects);
    return false;
  }
  // The same subtree looks different with other filter scales or edges.
  uint64_t look = layer.look;
  for (double v : {effects.scale_x, effects.scale_y, d.options.anti_alias ? 1.0 : 0.0,
                   d.options.smooth_bitmaps ? 1.0 : 0.0}) {
    look = (look ^ std::bit_cast<uint64_t>(v)) * 0x100000001B3ull;
  }
  const LayerCache::Entry* kept =
      cache->Find(layer.object, look, d.target->width, d.target->height);
  if (!kept) {
    if (cache->Missed(layer.object, look)) {
      BeginLayerKept(effects, CachedLayer{layer.object, look, layer.x, layer.y});
    } else {
      BeginLayer(effects);
    }
    return false;
  }
  // Kept pictures move by whole pixels, as cached bitmaps do.
  const auto dx = static_cast<int32_t>(std::lround(std::clamp(layer.x - kept->x, -1e6, 1e6)));
  const auto dy = static_cast<int32_t>(std::lround(std::clamp(layer.y - kept->y, -1e6, 1e6)));
  const PixelBox& from = kept->box;
  const PixelBox put{std::max(from.left + dx, d.clip.left), std::max(from.top + dy, d.clip.top),
                     std::min(from.right + dx, d.clip.right),
                     std::min(from.bottom + dy, d.clip.bottom)};
  for (int32_t y = put.top; y < put.bottom; ++y) {
    const uint32_t* src = kept->pixels.data() + size_t(y - dy - from.top) * from.Width() +
                          (put.left - dx - from.left);
    flashsaver::BlendRow(d.target->Row(y) + put.left, src, put.Width(), effects.blend);
  }
  return true;
}

}  // namespace flashsaver
