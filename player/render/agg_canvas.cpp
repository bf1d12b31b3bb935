#include "player/render/agg_canvas.h"

#include <agg_conv_curve.h>
#include <agg_conv_stroke.h>
#include <agg_curves.h>
#include <agg_path_storage.h>
#include <agg_rasterizer_compound_aa.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_rasterizer_sl_clip.h>
#include <agg_scanline_u.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "player/render/paint.h"
#include "player/render/shape_drawing.h"

namespace flashsaver {
namespace {

// The double-precision clipper: AGG's integer one overflows on coordinates past about ±8 million
// pixels, which zoomed or damaged movies reach.
using CompoundRasterizer = agg::rasterizer_compound_aa<agg::rasterizer_sl_clip_dbl>;
using Rasterizer = agg::rasterizer_scanline_aa<agg::rasterizer_sl_clip_dbl>;

// Coordinates far outside any picture are pulled in before they reach the rasterizer's 24.8
// fixed point; the clipper then cuts them at the clip box.
double Tame(double v) { return std::isfinite(v) ? std::clamp(v, -1e7, 1e7) : 0.0; }

// A Path in twips fed to a rasterizer in target pixels, curves flattened there.
template <typename Sink>
void FeedPath(const Path& path, const Matrix& m, Sink& sink) {
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
        const Point c = m.Apply(cmd.control);
        curve.init(Tame(pen.x), Tame(pen.y), Tame(c.x), Tame(c.y), Tame(to.x), Tame(to.y));
        double x, y;
        curve.rewind(0);
        curve.vertex(&x, &y);  // the start point, already there
        while (!agg::is_stop(curve.vertex(&x, &y))) sink.line_to_d(x, y);
        break;
      }
    }
    pen = to;
  }
}

// A line style's path as AGG vertices in target pixels; a subpath that ends where it began is
// closed (so it gets a join there, not two caps) unless the style says otherwise.
void BuildStrokePath(const Path& path, const Matrix& m, bool no_close, agg::path_storage& out) {
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
        const Point c = m.Apply(cmd.control);
        out.curve3(Tame(c.x), Tame(c.y), Tame(to.x), Tame(to.y));
        break;
      }
    }
    pen = cmd.to;
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
  Picture& target;
  CanvasOptions options;
  PixelBox clip;

  CompoundRasterizer compound;
  Rasterizer rasterizer;
  agg::scanline_u8 scanline;
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

  Impl(Picture& t, const CanvasOptions& o) : target(t), options(o) {
    const PixelBox whole{0, 0, t.width, t.height};
    clip = o.clip.Empty()
               ? whole
               : PixelBox{std::max(o.clip.left, 0), std::max(o.clip.top, 0),
                          std::min(o.clip.right, t.width), std::min(o.clip.bottom, t.height)};
    compound.clip_box(clip.left, clip.top, clip.right, clip.bottom);
    rasterizer.clip_box(clip.left, clip.top, clip.right, clip.bottom);
    compound.layer_order(agg::layer_direct);
  }

  const uint8_t* ActiveMaskRow(int y) const {
    // While a mask is being built the draws are limited by nothing; once done they are limited
    // by the top finished mask.
    const size_t finished = building ? mask_depth - 1 : mask_depth;
    if (finished == 0) return nullptr;
    return masks[finished - 1].data() + static_cast<size_t>(y) * static_cast<size_t>(target.width);
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
      uint8_t* m = masks[mask_depth - 1].data() + static_cast<size_t>(y) * target.width;
      for (int i = start; i < stop; ++i) {
        const uint32_t c = cover[i - x];
        m[i] = static_cast<uint8_t>(m[i] + (c * (255u - m[i]) + 127) / 255);
      }
      return;
    }
    const uint8_t* mask = ActiveMaskRow(y);
    uint32_t* row = target.Row(y);
    for (int i = start; i < stop; ++i) {
      uint32_t c = cover[i - x];
      if (mask) c = (c * mask[i] + 127) / 255;
      if (c) row[i] = BlendOver(row[i], src ? src[i - x] : solid, c);
    }
  }

  void EnsureScratch(size_t len) {
    if (colors.size() < len) {
      colors.resize(len);
      covers.resize(len);
      mix.resize(len);
    }
  }

  // Sweeps the compound rasterizer: at each pixel the styles share one coverage budget, so two
  // fills that meet along an edge cover it fully and show no seam.
  void SweepCompound() {
    if (!compound.rewind_scanlines()) return;
    const int min_x = compound.min_x();
    const size_t len = static_cast<size_t>(compound.max_x() - min_x + 2);
    EnsureScratch(len);
    scanline.reset(min_x, compound.max_x());
    while (unsigned num_styles = compound.sweep_styles()) {
      if (num_styles == 1) {
        // One style on this scanline: nothing to share, blend its spans directly.
        if (!compound.sweep_scanline(scanline, 0)) continue;
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
            const uint32_t c = std::min<uint32_t>(Cover(span->covers[k]), 255u - have);
            if (!c) continue;
            have = static_cast<uint8_t>(have + c);
            const uint32_t p = cs[k];
            Mix& m = mix[off + k];
            m.rb += (p & 0x00FF00FFu) * c;
            m.ag += ((p >> 8) & 0x00FF00FFu) * c;
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

  // Blends the spans of the last swept scanline with one paint.
  void SweepSpans(const Paint& paint) {
    const int y = scanline.y();
    const bool solid = paint.solid();
    auto span = scanline.begin();
    for (unsigned n = scanline.num_spans(); n > 0; --n, ++span) {
      const uint8_t* cover = span->covers;
      if (!options.anti_alias) {
        for (int k = 0; k < span->len; ++k)
          covers[static_cast<size_t>(k)] = static_cast<uint8_t>(Cover(span->covers[k]));
        cover = covers.data();
      }
      if (!building && !solid) paint.Generate(colors.data(), span->x, y, span->len);
      BlendRow(span->x, y, span->len, solid ? nullptr : colors.data(), paint.color(), cover);
    }
  }

  // Sweeps the scanline rasterizer with one paint.
  void SweepSingle(const Paint& paint) {
    if (!rasterizer.rewind_scanlines()) return;
    scanline.reset(rasterizer.min_x(), rasterizer.max_x());
    EnsureScratch(static_cast<size_t>(rasterizer.max_x() - rasterizer.min_x() + 2));
    while (rasterizer.sweep_scanline(scanline)) SweepSpans(paint);
  }

  void DrawFills(const ShapeLayer& layer, const ShapeDrawing& shape, const RenderState& state,
                 const BitmapSource& bitmaps) {
    if (layer.fill_runs.empty()) return;
    paints.resize(layer.fills.size());
    if (!building) {
      for (size_t i = 0; i < layer.fills.size(); ++i) {
        const FillStyle& f = layer.fills[i];
        paints[i].SetFill(f, state.matrix, state.color,
                          f.kind == FillKind::kBitmap ? bitmaps.FindBitmap(f.bitmap_id) : nullptr,
                          options.smooth_bitmaps);
      }
    }
    compound.reset();
    compound.filling_rule(shape.non_zero() ? agg::fill_non_zero : agg::fill_even_odd);
    for (const FillRun& run : layer.fill_runs) {
      compound.styles(static_cast<int>(run.fill0) - 1, static_cast<int>(run.fill1) - 1);
      FeedPath(run.path, state.matrix, compound);
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

  void DrawLines(const ShapeLayer& layer, const RenderState& state, const BitmapSource& bitmaps) {
    Paint paint;
    for (size_t i = 0; i < layer.lines.size(); ++i) {
      const Path& path = layer.line_paths[i];
      if (path.commands.size() < 2) continue;
      const LineStyle& line = layer.lines[i];
      if (!building) {
        if (line.fill) {
          const FillStyle& f = *line.fill;
          paint.SetFill(f, state.matrix, state.color,
                        f.kind == FillKind::kBitmap ? bitmaps.FindBitmap(f.bitmap_id) : nullptr,
                        options.smooth_bitmaps);
        } else {
          paint.SetSolid(line.color, state.color);
        }
        if (paint.solid() && paint.color() == 0) continue;
      }
      BuildStrokePath(path, state.matrix, line.no_close, stroke_path);
      agg::conv_curve<agg::path_storage> curves(stroke_path);
      agg::conv_stroke<agg::conv_curve<agg::path_storage>> stroke(curves);
      stroke.width(StrokeWidth(line, state.matrix));
      stroke.line_cap(AggCap(line.start_cap));
      stroke.line_join(AggJoin(line.join));
      stroke.miter_limit(std::max(1.0, line.miter_limit));
      rasterizer.reset();
      rasterizer.filling_rule(agg::fill_non_zero);
      rasterizer.add_path(stroke);
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
  FeedPath(path, state.matrix, d.rasterizer);
  d.SweepSingle(paint);
}

void AggCanvas::BeginMask() {
  Impl& d = *impl_;
  if (d.masks.size() <= d.mask_depth) d.masks.emplace_back();
  std::vector<uint8_t>& m = d.masks[d.mask_depth];
  m.assign(static_cast<size_t>(d.target.width) * static_cast<size_t>(d.target.height), 0);
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
  for (size_t i = 0; i < top.size(); ++i)
    top[i] = static_cast<uint8_t>((top[i] * below[i] + 127) / 255);
}

void AggCanvas::PopMask() {
  Impl& d = *impl_;
  if (d.mask_depth == 0) return;
  --d.mask_depth;
  d.building = false;
}

}  // namespace flashsaver
