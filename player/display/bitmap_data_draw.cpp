#include "player/display/bitmap_data_draw.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "player/display/bitmap_data_character.h"
#include "player/render/agg_canvas.h"
#include "player/render/blend.h"

namespace flashsaver {
namespace {

// A bitmap drawing holds no character references, so nothing is ever looked up here.
class NoBitmaps final : public BitmapSource {
 public:
  const Picture* FindBitmap(uint16_t) const override { return nullptr; }
};

}  // namespace

void ApplyFilterToBitmap(BitmapPixels& dest, const BitmapPixels& source, PixelBox box, int32_t dx,
                         int32_t dy, const Filter& filter) {
  // The source box goes into a picture of its own with room for what the filter spreads, is
  // filtered there and lands on dest spread and all. Only what can land on dest is kept, with
  // up to kContext pixels around it to spread in from: that bounds the picture by dest's size
  // whatever the radius.
  constexpr int32_t kContext = 512;
  const PixelBox clipped = Intersect(box, source.Bounds());
  if (clipped.Empty()) return;
  dx += clipped.left - box.left;
  dy += clipped.top - box.top;
  const PixelBox spread = FilterMargins(filter, 1, 1);
  const PixelBox whole{dx - spread.left, dy - spread.top, dx + clipped.Width() + spread.right,
                       dy + clipped.Height() + spread.bottom};
  const PixelBox reach = Intersect(whole, dest.Bounds());
  if (reach.Empty()) return;
  const PixelBox area = Intersect(whole, PixelBox{reach.left - kContext, reach.top - kContext,
                                                  reach.right + kContext, reach.bottom + kContext});
  BitmapPixels work;
  work.picture = Picture(area.Width(), area.Height());
  CopyPixels(work, source, clipped, dx - area.left, dy - area.top, {}, false);
  ApplyFilter(filter, work.picture, work.Bounds(), 1, 1);
  const PixelBox landing{reach.left - area.left, reach.top - area.top, reach.right - area.left,
                         reach.bottom - area.top};
  CopyPixels(dest, work, landing, reach.left, reach.top, {}, false);
}

PixelBox FilterRect(PixelBox box, const Filter& filter) {
  const PixelBox m = FilterMargins(filter, 1, 1);
  return {box.left - m.left, box.top - m.top, box.right + m.right, box.bottom + m.bottom};
}

ColorTransform TransformOfTerms(double r_mult, double g_mult, double b_mult, double a_mult,
                                double r_add, double g_add, double b_add, double a_add) {
  auto term = [](double v) {
    return static_cast<int16_t>(std::isfinite(v) ? std::clamp(v, -32768.0, 32767.0) : 0);
  };
  ColorTransform ct;
  ct.r_mult = term(r_mult * 256);
  ct.g_mult = term(g_mult * 256);
  ct.b_mult = term(b_mult * 256);
  ct.a_mult = term(a_mult * 256);
  ct.r_add = term(r_add);
  ct.g_add = term(g_add);
  ct.b_add = term(b_add);
  ct.a_add = term(a_add);
  return ct;
}

void DrawIntoBitmap(BitmapPixels& dest, std::optional<PixelBox> clip, bool smooth,
                    std::optional<uint8_t> blend, const std::function<void(Canvas&)>& draw) {
  CanvasOptions options;
  options.smooth_bitmaps = smooth;
  if (clip) {
    options.clip = Intersect(*clip, dest.Bounds());
    if (options.clip.Empty()) return;
  }
  {
    AggCanvas canvas(dest.picture, options);
    const bool layer = blend && *blend > 1;
    if (layer) {
      LayerEffects effects;
      effects.blend = BlendModeOf(*blend);
      canvas.BeginLayer(effects);
    }
    draw(canvas);
    if (layer) canvas.EndLayer();
  }
  if (!dest.transparent) {
    for (uint32_t& p : dest.picture.pixels) p |= 0xFF000000u;
  }
  dest.Changed();
}

void DrawBitmapOnCanvas(Canvas& canvas, const BitmapPixels& source, const Matrix& matrix,
                        const ColorTransform& transform, bool smooth) {
  auto picture = std::make_shared<const Picture>(source.picture);
  static const NoBitmaps kNone;
  canvas.DrawShape(BitmapRectDrawing(picture, smooth),
                   RenderState{matrix * Matrix::Scale(0.05, 0.05), transform}, kNone);
}

namespace {

constexpr const char* kBlendNames[] = {"normal",  "normal", "layer",      "multiply", "screen",
                                       "lighten", "darken", "difference", "add",      "subtract",
                                       "invert",  "alpha",  "erase",      "overlay",  "hardlight"};

int32_t Component(uint32_t argb, uint32_t channel) {
  switch (channel) {
    case 1:
      return static_cast<int32_t>(argb >> 16 & 0xFF);
    case 2:
      return static_cast<int32_t>(argb >> 8 & 0xFF);
    case 4:
      return static_cast<int32_t>(argb & 0xFF);
    case 8:
      return static_cast<int32_t>(argb >> 24);
    default:
      return 128;
  }
}

int32_t Wrap(int32_t v, int32_t size) {
  const int32_t r = v % size;
  return r < 0 ? r + size : r;
}

}  // namespace

std::optional<uint8_t> BlendModeFromName(std::string_view name) {
  for (uint8_t i = 1; i < std::size(kBlendNames); ++i) {
    if (name == kBlendNames[i]) return i;
  }
  return std::nullopt;
}

const char* BlendModeName(uint8_t mode) {
  return mode < std::size(kBlendNames) ? kBlendNames[mode] : "normal";
}

void DisplaceBitmap(BitmapPixels& dest, const BitmapPixels& source, PixelBox box, int32_t dx,
                    int32_t dy, const DisplacementParams& p) {
  const PixelBox src_box = Intersect(box, source.Bounds());
  if (src_box.Empty() || !p.map) return;
  dx += src_box.left - box.left;
  dy += src_box.top - box.top;
  // Read from a copy: the source may be dest itself.
  const Picture from = source.picture;
  const int32_t w = source.width(), h = source.height();
  const auto scale_x = std::isfinite(p.scale_x) ? p.scale_x : 0.0;
  const auto scale_y = std::isfinite(p.scale_y) ? p.scale_y : 0.0;
  const uint32_t fill = PremultiplyArgb(StoredColour(dest, p.colour));
  for (int32_t y = 0; y < src_box.Height(); ++y) {
    const int32_t ty = dy + y;
    if (ty < 0 || ty >= dest.height()) continue;
    for (int32_t x = 0; x < src_box.Width(); ++x) {
      const int32_t tx = dx + x;
      if (tx < 0 || tx >= dest.width()) continue;
      const int32_t sx = src_box.left + x, sy = src_box.top + y;
      const int32_t mx = x - p.map_x, my = y - p.map_y;
      uint32_t out = from.Row(sy)[sx];
      if (mx >= 0 && my >= 0 && mx < p.map->width() && my < p.map->height()) {
        const uint32_t m = UnpremultiplyArgb(p.map->picture.Row(my)[mx]);
        const double ox =
            std::clamp((Component(m, p.component_x) - 128) * scale_x / 256, -1e8, 1e8);
        const double oy =
            std::clamp((Component(m, p.component_y) - 128) * scale_y / 256, -1e8, 1e8);
        // The lookup falls between pixels: the four around it are mixed by their nearness.
        const double fx = std::floor(ox), fy = std::floor(oy);
        const double wx = ox - fx, wy = oy - fy;
        const int32_t lx = sx + static_cast<int32_t>(fx), ly = sy + static_cast<int32_t>(fy);
        auto fetch = [&](int32_t x0, int32_t y0) {
          if (x0 >= 0 && y0 >= 0 && x0 < w && y0 < h) return from.Row(y0)[x0];
          switch (p.mode) {
            case 0:
              return from.Row(Wrap(y0, h))[Wrap(x0, w)];
            case 1:
              return from.Row(std::clamp(y0, 0, h - 1))[std::clamp(x0, 0, w - 1)];
            case 2:
              return from.Row(sy)[sx];
            default:
              return fill;
          }
        };
        const uint32_t c00 = fetch(lx, ly), c10 = fetch(lx + 1, ly);
        const uint32_t c01 = fetch(lx, ly + 1), c11 = fetch(lx + 1, ly + 1);
        out = 0;
        for (int shift = 0; shift < 32; shift += 8) {
          auto ch = [shift](uint32_t c) { return static_cast<double>(c >> shift & 0xFF); };
          const double top = ch(c00) * (1 - wx) + ch(c10) * wx;
          const double bottom = ch(c01) * (1 - wx) + ch(c11) * wx;
          const double v = top * (1 - wy) + bottom * wy;
          out |= static_cast<uint32_t>(std::clamp(std::lround(v), 0L, 255L)) << shift;
        }
      }
      if (!dest.transparent) out = PremultiplyArgb(StoredColour(dest, UnpremultiplyArgb(out)));
      dest.picture.Row(ty)[tx] = out;
    }
  }
  dest.Changed();
}

}  // namespace flashsaver
