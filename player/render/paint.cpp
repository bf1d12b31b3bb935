#include "player/render/paint.h"

#include <algorithm>
#include <cmath>

namespace flashsaver {
namespace {

// The gradient square of every gradient fill spans -16384..16384 twips before its matrix.
constexpr double kGradientHalf = 16384.0;

double ToLinear(uint8_t c) { return std::pow(c / 255.0, 2.2); }
uint8_t FromLinear(double c) {
  return static_cast<uint8_t>(std::lround(std::pow(std::clamp(c, 0.0, 1.0), 1 / 2.2) * 255));
}

Rgba Mix(Rgba a, Rgba b, double f, Interpolation mode) {
  auto lin = [f](uint8_t x, uint8_t y) {
    return static_cast<uint8_t>(std::lround(x + (y - x) * f));
  };
  Rgba out;
  if (mode == Interpolation::kLinearRgb) {
    auto gam = [f](uint8_t x, uint8_t y) {
      return FromLinear(ToLinear(x) + (ToLinear(y) - ToLinear(x)) * f);
    };
    out = {gam(a.r, b.r), gam(a.g, b.g), gam(a.b, b.b), 0};
  } else {
    out = {lin(a.r, b.r), lin(a.g, b.g), lin(a.b, b.b), 0};
  }
  out.a = lin(a.a, b.a);
  return out;
}

uint32_t Unpack(uint32_t p, int shift) { return (p >> shift) & 0xFF; }

// Inverts m; false when it is singular, which draws nothing.
bool Invert(const Matrix& m, double& ia, double& ib, double& ic, double& id, double& itx,
            double& ity) {
  const double det = m.a * m.d - m.b * m.c;
  if (!std::isfinite(det) || std::fabs(det) < 1e-12) return false;
  ia = m.d / det;
  ib = -m.b / det;
  ic = -m.c / det;
  id = m.a / det;
  itx = -(ia * m.tx + ic * m.ty);
  ity = -(ib * m.tx + id * m.ty);
  return true;
}

double Spread(double t, SpreadMode mode) {
  switch (mode) {
    case SpreadMode::kPad:
      return std::clamp(t, 0.0, 1.0);
    case SpreadMode::kRepeat:
      return t - std::floor(t);
    case SpreadMode::kReflect: {
      const double m = t - 2 * std::floor(t / 2);
      return m > 1 ? 2 - m : m;
    }
  }
  return 0;
}

// Bitmap pixels are premultiplied; a colour transform works on straight colour.
uint32_t TransformPixel(uint32_t p, const ColorTransform& cx) {
  const uint32_t a = p >> 24;
  if (a == 0 && cx.a_add <= 0) return 0;
  Rgba c;
  c.a = static_cast<uint8_t>(a);
  if (a != 0) {
    c.r = static_cast<uint8_t>(std::min<uint32_t>(255, Unpack(p, 16) * 255 / a));
    c.g = static_cast<uint8_t>(std::min<uint32_t>(255, Unpack(p, 8) * 255 / a));
    c.b = static_cast<uint8_t>(std::min<uint32_t>(255, Unpack(p, 0) * 255 / a));
  }
  return Premultiply(cx.Apply(c));
}

}  // namespace

uint32_t Premultiply(Rgba c) {
  auto pm = [&](uint8_t v) { return static_cast<uint32_t>((v * c.a + 127) / 255); };
  return (static_cast<uint32_t>(c.a) << 24) | (pm(c.r) << 16) | (pm(c.g) << 8) | pm(c.b);
}

GradientRamp BuildGradientRamp(const Gradient& gradient, const ColorTransform& color) {
  GradientRamp ramp{};
  const auto& stops = gradient.stops;
  if (stops.empty()) return ramp;
  size_t k = 0;
  for (int i = 0; i < 256; ++i) {
    while (k + 1 < stops.size() && stops[k + 1].ratio < i) ++k;
    Rgba c;
    if (i <= stops.front().ratio) {
      c = stops.front().color;
    } else if (k + 1 >= stops.size()) {
      c = stops.back().color;
    } else {
      const int span = stops[k + 1].ratio - stops[k].ratio;
      const double f = span <= 0 ? 1.0 : static_cast<double>(i - stops[k].ratio) / span;
      c = Mix(stops[k].color, stops[k + 1].color, std::clamp(f, 0.0, 1.0), gradient.interpolation);
    }
    ramp[static_cast<size_t>(i)] = Premultiply(color.Apply(c));
  }
  return ramp;
}

void Paint::SetSolid(Rgba color, const ColorTransform& cx) {
  kind_ = Kind::kSolid;
  color_ = Premultiply(cx.Apply(color));
}

void Paint::SetFill(const FillStyle& fill, const Matrix& shape_to_target, const ColorTransform& cx,
                    const Picture* bitmap, bool smooth_bitmaps) {
  if (fill.kind == FillKind::kSolid) {
    SetSolid(fill.color, cx);
    return;
  }
  kind_ = Kind::kSolid;
  color_ = 0;
  if (!Invert(shape_to_target * fill.matrix, ia_, ib_, ic_, id_, itx_, ity_)) return;
  if (fill.kind == FillKind::kBitmap) {
    if (!bitmap || bitmap->width <= 0 || bitmap->height <= 0) return;
    kind_ = Kind::kBitmap;
    bitmap_ = bitmap;
    repeat_ = fill.bitmap_repeat;
    smooth_ = smooth_bitmaps && fill.bitmap_smooth;
    bitmap_cx_ = cx;
    return;
  }
  if (fill.gradient.stops.empty()) return;
  ramp_ = BuildGradientRamp(fill.gradient, cx);
  spread_ = fill.gradient.spread;
  // Flash keeps the focal point off the circle itself.
  focal_ = std::clamp(fill.gradient.focal_point, -0.98, 0.98);
  kind_ = fill.kind == FillKind::kLinearGradient   ? Kind::kLinear
          : fill.kind == FillKind::kRadialGradient ? Kind::kRadial
                                                   : Kind::kFocal;
}

void Paint::Generate(uint32_t* out, int x, int y, int len) const {
  if (kind_ == Kind::kSolid) {
    std::fill(out, out + len, color_);
  } else if (kind_ == Kind::kBitmap) {
    GenerateBitmap(out, x, y, len);
  } else {
    GenerateGradient(out, x, y, len);
  }
}

// The ramp position of each pixel of a run, with the kind and spread fixed at compile time:
// this loop runs for every gradient pixel of a frame.
template <Paint::Kind kind, SpreadMode spread>
void Paint::GradientRun(uint32_t* out, double u, double v, double du, double dv, int len) const {
  for (int i = 0; i < len; ++i, u += du, v += dv) {
    double t;
    if constexpr (kind == Kind::kLinear) {
      t = (u + 1) / 2;
    } else if constexpr (kind == Kind::kRadial) {
      t = std::sqrt(u * u + v * v);
    } else {
      // The ray from the focal point F through p meets the unit circle at F + s·(p - F);
      // p lies at t = 1/s along it.
      const double dx = u - focal_, dy = v;
      const double dd = dx * dx + dy * dy;
      if (dd < 1e-18) {
        t = 0;
      } else {
        const double fd = focal_ * dx;
        const double s = (-fd + std::sqrt(fd * fd - dd * (focal_ * focal_ - 1))) / dd;
        t = 1 / s;
      }
    }
    if (!std::isfinite(t)) t = 1;
    t = Spread(t, spread);
    out[i] = ramp_[static_cast<size_t>(std::clamp(static_cast<int>(t * 255 + 0.5), 0, 255))];
  }
}

template <Paint::Kind kind>
void Paint::GradientRun(uint32_t* out, double u, double v, double du, double dv, int len) const {
  switch (spread_) {
    case SpreadMode::kPad:
      return GradientRun<kind, SpreadMode::kPad>(out, u, v, du, dv, len);
    case SpreadMode::kRepeat:
      return GradientRun<kind, SpreadMode::kRepeat>(out, u, v, du, dv, len);
    case SpreadMode::kReflect:
      return GradientRun<kind, SpreadMode::kReflect>(out, u, v, du, dv, len);
  }
}

void Paint::GenerateGradient(uint32_t* out, int x, int y, int len) const {
  const double px = x + 0.5, py = y + 0.5;
  const double u = (ia_ * px + ic_ * py + itx_) / kGradientHalf;
  const double v = (ib_ * px + id_ * py + ity_) / kGradientHalf;
  const double du = ia_ / kGradientHalf, dv = ib_ / kGradientHalf;
  if (kind_ == Kind::kLinear) {
    GradientRun<Kind::kLinear>(out, u, v, du, dv, len);
  } else if (kind_ == Kind::kRadial) {
    GradientRun<Kind::kRadial>(out, u, v, du, dv, len);
  } else {
    GradientRun<Kind::kFocal>(out, u, v, du, dv, len);
  }
}

namespace {

// floor() for the range the bitmap sampler keeps coordinates in (|d| <= 1e15): without SSE4.1
// std::floor is a library call, twice per bitmap pixel.
inline double FloorOf(double d) {
  const double t = static_cast<double>(static_cast<long long>(d));
  return t > d ? t - 1 : t;
}

// A bitmap coordinate wrapped (repeating fills) or clamped (clipped fills: the edges extend).
template <bool repeat>
inline int Wrap(long long i, int n) {
  if constexpr (repeat) {
    if (i >= 0 && i < n) return static_cast<int>(i);
    const long long m = i % n;
    return static_cast<int>(m < 0 ? m + n : m);
  } else {
    return static_cast<int>(std::clamp<long long>(i, 0, n - 1));
  }
}

}  // namespace

template <bool repeat, bool smooth>
void Paint::BitmapRun(uint32_t* out, double u, double v, int len) const {
  const Picture& bm = *bitmap_;
  const int w = bm.width, h = bm.height;
  // Keep coordinates in a range that floor and the casts survive.
  auto safe = [](double d) { return std::isfinite(d) ? std::clamp(d, -1e15, 1e15) : 0.0; };
  const bool transform = !bitmap_cx_.IsIdentity();
  for (int i = 0; i < len; ++i, u += ia_, v += ib_) {
    uint32_t p;
    if constexpr (!smooth) {
      const int bx = Wrap<repeat>(static_cast<long long>(FloorOf(safe(u))), w);
      const int by = Wrap<repeat>(static_cast<long long>(FloorOf(safe(v))), h);
      p = bm.Row(by)[bx];
    } else {
      const double su = safe(u) - 0.5, sv = safe(v) - 0.5;
      const double fu = FloorOf(su), fv = FloorOf(sv);
      const auto wx = static_cast<uint32_t>((su - fu) * 256),
                 wy = static_cast<uint32_t>((sv - fv) * 256);
      const int x0 = Wrap<repeat>(static_cast<long long>(fu), w),
                x1 = Wrap<repeat>(static_cast<long long>(fu) + 1, w);
      const int y0 = Wrap<repeat>(static_cast<long long>(fv), h),
                y1 = Wrap<repeat>(static_cast<long long>(fv) + 1, h);
      const uint32_t p00 = bm.Row(y0)[x0], p01 = bm.Row(y0)[x1];
      const uint32_t p10 = bm.Row(y1)[x0], p11 = bm.Row(y1)[x1];
      p = 0;
      for (int s = 0; s < 32; s += 8) {
        const uint32_t top = Unpack(p00, s) * (256 - wx) + Unpack(p01, s) * wx;
        const uint32_t bottom = Unpack(p10, s) * (256 - wx) + Unpack(p11, s) * wx;
        p |= ((top * (256 - wy) + bottom * wy + 32768) >> 16) << s;
      }
    }
    out[i] = transform ? TransformPixel(p, bitmap_cx_) : p;
  }
}

void Paint::GenerateBitmap(uint32_t* out, int x, int y, int len) const {
  const double px = x + 0.5, py = y + 0.5;
  const double u = ia_ * px + ic_ * py + itx_;
  const double v = ib_ * px + id_ * py + ity_;
  if (repeat_) {
    smooth_ ? BitmapRun<true, true>(out, u, v, len) : BitmapRun<true, false>(out, u, v, len);
  } else {
    smooth_ ? BitmapRun<false, true>(out, u, v, len) : BitmapRun<false, false>(out, u, v, len);
  }
}

}  // namespace flashsaver
