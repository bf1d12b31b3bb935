#include "player/render/filters.h"

#include <algorithm>
#include <cmath>

namespace flashsaver {
namespace {

constexpr int kMaxBlur = 255;  // Flash caps blur sizes at 255 pixels
constexpr int kMaxPasses = 15;

int BlurWindow(double blur, double scale) {
  if (!std::isfinite(blur) || !std::isfinite(scale)) return 1;
  return static_cast<int>(std::clamp(std::round(blur * std::abs(scale)), 1.0, double(kMaxBlur)));
}

int Passes(const Filter& f) { return std::clamp(f.passes, 0, kMaxPasses); }

double Channel(uint32_t p, int shift) { return static_cast<double>((p >> shift) & 0xFF); }

uint32_t Pack(double a, double r, double g, double b) {
  // Rounds half up, as lround does for these non-negative values, without its call.
  auto c = [](double v) {
    return !(v > 0) ? 0u : v >= 255 ? 255u : static_cast<uint32_t>(v + 0.5);
  };
  const uint32_t A = c(a);
  return (A << 24) | (std::min(c(r), A) << 16) | (std::min(c(g), A) << 8) | std::min(c(b), A);
}

// A plane of one value per pixel of the box (0..1), for alpha-based effects.
struct Plane {
  int32_t w = 0, h = 0;
  std::vector<float> v;
  Plane(int32_t width, int32_t height) : w(width), h(height), v(size_t(width) * height, 0.f) {}
  float& at(int32_t x, int32_t y) { return v[size_t(y) * w + x]; }
  float get(int32_t x, int32_t y) const {
    return x < 0 || y < 0 || x >= w || y >= h ? 0.f : v[size_t(y) * w + x];
  }
};

// Box blurs work on 8.8 fixed-point samples (the low byte keeps the fraction between passes),
// channels interleaved; the running sums are integers, and one float multiply per sample
// divides by the window, exact below 2^24. Both loops run over plain arrays and vectorize.
using Sample = uint16_t;
constexpr float kSampleScale = 256.f;

struct BlurScratch {
  std::vector<Sample> other;   // the pass's output, swapped with the input after each pass
  std::vector<Sample> line;    // one row with zeros around it
  std::vector<uint32_t> sums;  // one running sum per sample of a row
};

BlurScratch& Scratch() {
  // Kept between frames: a full-screen blur would otherwise fault in tens of megabytes a frame.
  thread_local BlurScratch scratch;
  return scratch;
}

inline Sample Scaled(uint32_t sum, float inverse) {
  return static_cast<Sample>(static_cast<float>(sum) * inverse + 0.5f);
}

// Window k along each row: the pixel at x covers x - k/2 .. x - k/2 + k - 1, zeros outside.
template <int CH>
void BoxRows(const Sample* in, Sample* out, int32_t w, int32_t h, int k, BlurScratch& s) {
  const int lo = k / 2, hi = k - 1 - lo;
  const float inverse = 1.f / static_cast<float>(k);
  s.line.assign(size_t(w + k + 1) * CH, 0);
  for (int32_t y = 0; y < h; ++y) {
    const Sample* row = in + size_t(y) * w * CH;
    std::copy(row, row + size_t(w) * CH, s.line.begin() + ptrdiff_t(lo) * CH);
    const Sample* line = s.line.data();  // line[(i + lo) * CH] is row[i * CH]
    uint32_t sum[CH] = {};
    for (int i = 0; i < k - 1; ++i) {
      for (int c = 0; c < CH; ++c) sum[c] += line[size_t(i) * CH + c];
    }
    Sample* o = out + size_t(y) * w * CH;
    for (int32_t x = 0; x < w; ++x) {
      const Sample* enter = line + size_t(x + lo + hi) * CH;
      const Sample* leave = line + size_t(x) * CH;
      for (int c = 0; c < CH; ++c) {
        sum[c] += enter[c];
        o[size_t(x) * CH + c] = Scaled(sum[c], inverse);
        sum[c] -= leave[c];
      }
    }
  }
}

// The same down the columns, a whole row of sums at a time.
void BoxColumns(const Sample* in, Sample* out, int32_t w, int32_t h, int ch, int k,
                BlurScratch& s) {
  const int lo = k / 2, hi = k - 1 - lo;
  const float inverse = 1.f / static_cast<float>(k);
  const size_t n = size_t(w) * ch;
  s.sums.assign(n, 0);
  uint32_t* sums = s.sums.data();
  for (int32_t y = 0; y < std::min<int32_t>(hi, h); ++y) {
    const Sample* row = in + size_t(y) * n;
    for (size_t i = 0; i < n; ++i) sums[i] += row[i];
  }
  for (int32_t y = 0; y < h; ++y) {
    if (y + hi < h) {
      const Sample* enter = in + size_t(y + hi) * n;
      for (size_t i = 0; i < n; ++i) sums[i] += enter[i];
    }
    Sample* o = out + size_t(y) * n;
    for (size_t i = 0; i < n; ++i) o[i] = Scaled(sums[i], inverse);
    if (y - lo >= 0) {
      const Sample* leave = in + size_t(y - lo) * n;
      for (size_t i = 0; i < n; ++i) sums[i] -= leave[i];
    }
  }
}

// Blurs w x h samples of ch channels in place (data holds them), passes times.
void BoxBlur(std::vector<Sample>& data, int32_t w, int32_t h, int ch, int kx, int ky, int passes) {
  BlurScratch& s = Scratch();
  s.other.resize(data.size());
  for (int p = 0; p < passes; ++p) {
    if (kx > 1) {
      if (ch == 4) {
        BoxRows<4>(data.data(), s.other.data(), w, h, kx, s);
      } else {
        BoxRows<1>(data.data(), s.other.data(), w, h, kx, s);
      }
      data.swap(s.other);
    }
    if (ky > 1) {
      BoxColumns(data.data(), s.other.data(), w, h, ch, ky, s);
      data.swap(s.other);
    }
  }
}

void BlurPlane(Plane& plane, int kx, int ky, int passes) {
  if ((kx <= 1 && ky <= 1) || passes <= 0 || plane.v.empty()) return;
  thread_local std::vector<Sample> samples;
  samples.resize(plane.v.size());
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] =
        static_cast<Sample>(std::clamp(plane.v[i], 0.f, 1.f) * 255.f * kSampleScale + 0.5f);
  }
  BoxBlur(samples, plane.w, plane.h, 1, kx, ky, passes);
  constexpr float kToUnit = 1.f / (255.f * kSampleScale);
  for (size_t i = 0; i < samples.size(); ++i) plane.v[i] = float(samples[i]) * kToUnit;
}

Plane AlphaOf(const Picture& picture, PixelBox box) {
  Plane plane(box.Width(), box.Height());
  for (int32_t y = 0; y < plane.h; ++y) {
    const uint32_t* row = picture.Row(box.top + y) + box.left;
    for (int32_t x = 0; x < plane.w; ++x) plane.at(x, y) = Channel(row[x], 24) / 255.f;
  }
  return plane;
}

Plane Shifted(const Plane& plane, int dx, int dy) {
  Plane out(plane.w, plane.h);
  for (int32_t y = 0; y < plane.h; ++y) {
    for (int32_t x = 0; x < plane.w; ++x) out.at(x, y) = plane.get(x - dx, y - dy);
  }
  return out;
}

struct Offset {
  int dx = 0, dy = 0;
};

Offset OffsetOf(const Filter& f, double sx, double sy) {
  if (!std::isfinite(f.distance) || !std::isfinite(f.angle)) return {};
  const double d = std::clamp(f.distance, -4096.0, 4096.0);
  return {static_cast<int>(std::lround(d * std::cos(f.angle) * sx)),
          static_cast<int>(std::lround(d * std::sin(f.angle) * sy))};
}

double Strength(const Filter& f) {
  return std::isfinite(f.strength) ? std::clamp(f.strength, 0.0, 255.0) : 0.0;
}

// A shadow or glow: the blurred (inner: inverted) alpha in one colour, behind the object,
// inside it, or alone.
void Shadow(const Filter& f, Picture& picture, PixelBox box, double sx, double sy) {
  Plane alpha = AlphaOf(picture, box);
  Plane shade = alpha;
  if (f.inner) {
    for (float& v : shade.v) v = 1.f - v;
  }
  const Offset off = OffsetOf(f, sx, sy);
  if (off.dx || off.dy) {
    shade = Shifted(shade, off.dx, off.dy);
    if (f.inner) {
      // Beyond the box counts as outside the object, which an inner shadow darkens too.
      for (int32_t y = 0; y < shade.h; ++y) {
        for (int32_t x = 0; x < shade.w; ++x) {
          const int32_t ox = x - off.dx, oy = y - off.dy;
          if (ox < 0 || oy < 0 || ox >= shade.w || oy >= shade.h) shade.at(x, y) = 1.f;
        }
      }
    }
  }
  BlurPlane(shade, BlurWindow(f.blur_x, sx), BlurWindow(f.blur_y, sy), std::max(Passes(f), 1));
  const double strength = Strength(f);
  const double ca = f.colour.a / 255.0;
  for (int32_t y = 0; y < shade.h; ++y) {
    uint32_t* row = picture.Row(box.top + y) + box.left;
    for (int32_t x = 0; x < shade.w; ++x) {
      const double s = std::min(1.0, shade.at(x, y) * strength) * ca;
      const uint32_t p = row[x];
      const double sa = Channel(p, 24), sr = Channel(p, 16), sg = Channel(p, 8), sb = Channel(p, 0);
      const double src_a = sa / 255.0;
      double a, r, g, b;
      if (f.inner) {
        const double t = s * src_a;  // the shade, inside the object only
        if (f.knockout) {
          a = 255 * t, r = f.colour.r * t, g = f.colour.g * t, b = f.colour.b * t;
        } else {
          a = sa, r = sr * (1 - s) + f.colour.r * t, g = sg * (1 - s) + f.colour.g * t,
          b = sb * (1 - s) + f.colour.b * t;
        }
      } else if (f.knockout) {
        const double t = s * (1 - src_a);
        a = 255 * t, r = f.colour.r * t, g = f.colour.g * t, b = f.colour.b * t;
      } else if (f.hide_object) {
        a = 255 * s, r = f.colour.r * s, g = f.colour.g * s, b = f.colour.b * s;
      } else {
        const double t = s * (1 - src_a);  // behind the object
        a = sa + 255 * t, r = sr + f.colour.r * t, g = sg + f.colour.g * t, b = sb + f.colour.b * t;
      }
      row[x] = Pack(a, r, g, b);
    }
  }
}

Rgba GradientAt(const std::vector<std::pair<uint8_t, Rgba>>& stops, double ratio) {
  if (stops.empty()) return {0, 0, 0, 0};
  const double at = std::clamp(ratio, 0.0, 255.0);
  if (at <= stops.front().first) return stops.front().second;
  for (size_t i = 1; i < stops.size(); ++i) {
    if (at <= stops[i].first) {
      const double span = stops[i].first - stops[i - 1].first;
      const double t = span > 0 ? (at - stops[i - 1].first) / span : 1;
      const Rgba a = stops[i - 1].second, b = stops[i].second;
      auto mix = [&](uint8_t u, uint8_t v) {
        return static_cast<uint8_t>(std::lround(u + (v - u) * t));
      };
      return {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b), mix(a.a, b.a)};
    }
  }
  return stops.back().second;
}

// Puts a coloured effect (amount 0..1 of colour c) atop the object (inner), behind it (outer),
// or both; knocked out, the object itself is gone.
void Composite(uint32_t& pixel, Rgba c, double amount, bool inner, bool outer, bool knockout) {
  const double sa = Channel(pixel, 24), sr = Channel(pixel, 16), sg = Channel(pixel, 8),
               sb = Channel(pixel, 0);
  const double src_a = sa / 255.0;
  const double e = std::clamp(amount, 0.0, 1.0) * (c.a / 255.0);
  const double in = inner ? e * src_a : 0, out = outer ? e * (1 - src_a) : 0;
  if (knockout) {
    const double t = in + out;
    pixel = Pack(255 * t, c.r * t, c.g * t, c.b * t);
    return;
  }
  const double keep = inner ? 1 - e : 1;
  const double t = in + out;
  pixel = Pack(sa + 255 * out, sr * keep + c.r * t, sg * keep + c.g * t, sb * keep + c.b * t);
}

void Bevel(const Filter& f, Picture& picture, PixelBox box, double sx, double sy) {
  Plane alpha = AlphaOf(picture, box);
  Plane blurred = alpha;
  BlurPlane(blurred, BlurWindow(f.blur_x, sx), BlurWindow(f.blur_y, sy), std::max(Passes(f), 1));
  const Offset off = OffsetOf(f, sx, sy);
  const double strength = Strength(f);
  const bool gradient = f.kind == FilterKind::kGradientBevel;
  const bool inner = f.inner || f.on_top, outer = !f.inner || f.on_top;
  for (int32_t y = 0; y < blurred.h; ++y) {
    uint32_t* row = picture.Row(box.top + y) + box.left;
    for (int32_t x = 0; x < blurred.w; ++x) {
      // Lit from the angle's side: the edge facing the light is higher than the one behind.
      const double v =
          (blurred.get(x + off.dx, y + off.dy) - blurred.get(x - off.dx, y - off.dy)) * strength;
      const double lit = std::clamp(v, -1.0, 1.0);
      if (gradient) {
        const Rgba c = GradientAt(f.gradient, 128 + lit * 127.5);
        Composite(row[x], c, 1, inner, outer, f.knockout);
      } else if (lit >= 0) {
        Composite(row[x], f.highlight, lit, inner, outer, f.knockout);
      } else {
        Composite(row[x], f.colour, -lit, inner, outer, f.knockout);
      }
    }
  }
}

void GradientGlow(const Filter& f, Picture& picture, PixelBox box, double sx, double sy) {
  Plane shade = AlphaOf(picture, box);
  if (f.inner) {
    for (float& v : shade.v) v = 1.f - v;
  }
  const Offset off = OffsetOf(f, sx, sy);
  if (off.dx || off.dy) shade = Shifted(shade, off.dx, off.dy);
  BlurPlane(shade, BlurWindow(f.blur_x, sx), BlurWindow(f.blur_y, sy), std::max(Passes(f), 1));
  const double strength = Strength(f);
  const bool inner = f.inner || f.on_top, outer = !f.inner || f.on_top;
  for (int32_t y = 0; y < shade.h; ++y) {
    uint32_t* row = picture.Row(box.top + y) + box.left;
    for (int32_t x = 0; x < shade.w; ++x) {
      const double s = std::min(1.0, shade.at(x, y) * strength);
      Composite(row[x], GradientAt(f.gradient, s * 255), 1, inner, outer, f.knockout);
    }
  }
}

void ColourMatrix(const Filter& f, Picture& picture, PixelBox box) {
  const auto& m = f.colour_matrix;
  for (int32_t y = box.top; y < box.bottom; ++y) {
    uint32_t* row = picture.Row(y);
    for (int32_t x = box.left; x < box.right; ++x) {
      const double a = Channel(row[x], 24);
      double c[4] = {Channel(row[x], 16), Channel(row[x], 8), Channel(row[x], 0), a};
      if (a > 0) {
        for (int i = 0; i < 3; ++i) c[i] = c[i] * 255 / a;
      }
      double o[4];
      for (int i = 0; i < 4; ++i) {
        o[i] = std::clamp(m[i * 5] * c[0] + m[i * 5 + 1] * c[1] + m[i * 5 + 2] * c[2] +
                              m[i * 5 + 3] * c[3] + m[i * 5 + 4],
                          0.0, 255.0);
      }
      const double k = o[3] / 255;
      row[x] = Pack(o[3], o[0] * k, o[1] * k, o[2] * k);
    }
  }
}

void Convolution(const Filter& f, Picture& picture, PixelBox box) {
  const int mx = f.matrix_x, my = f.matrix_y;
  if (mx <= 0 || my <= 0 || f.matrix.size() != size_t(mx) * size_t(my)) return;
  const Picture source = picture;
  const double divisor = f.divisor != 0 && std::isfinite(f.divisor) ? f.divisor : 1;
  const double bias = std::isfinite(f.bias) ? f.bias : 0;
  auto unpremultiplied = [&](int32_t x, int32_t y, double out[4]) {
    uint32_t p;
    if (x < box.left || y < box.top || x >= box.right || y >= box.bottom) {
      if (!f.clamp) {
        const Rgba d = f.default_colour;
        out[0] = d.r, out[1] = d.g, out[2] = d.b, out[3] = d.a;
        return;
      }
      p = source.Row(
          std::clamp(y, box.top, box.bottom - 1))[std::clamp(x, box.left, box.right - 1)];
    } else {
      p = source.Row(y)[x];
    }
    const double a = Channel(p, 24);
    out[3] = a;
    for (int i = 0; i < 3; ++i) {
      const double c = Channel(p, 16 - 8 * i);
      out[i] = a > 0 ? c * 255 / a : 0;
    }
  };
  for (int32_t y = box.top; y < box.bottom; ++y) {
    for (int32_t x = box.left; x < box.right; ++x) {
      double sum[4] = {0, 0, 0, 0};
      for (int j = 0; j < my; ++j) {
        for (int i = 0; i < mx; ++i) {
          const float w = f.matrix[size_t(j) * mx + i];
          if (w == 0 || !std::isfinite(w)) continue;
          double px[4];
          unpremultiplied(x + i - mx / 2, y + j - my / 2, px);
          for (int c = 0; c < 4; ++c) sum[c] += w * px[c];
        }
      }
      double own[4];
      unpremultiplied(x, y, own);
      double o[4];
      for (int c = 0; c < 4; ++c) o[c] = std::clamp(sum[c] / divisor + bias, 0.0, 255.0);
      if (f.preserve_alpha) o[3] = own[3];
      const double k = o[3] / 255;
      picture.Row(y)[x] = Pack(o[3], o[0] * k, o[1] * k, o[2] * k);
    }
  }
}

}  // namespace

void BlurPicture(Picture& picture, PixelBox box, double blur_x, double blur_y, int passes) {
  const int kx = BlurWindow(blur_x, 1), ky = BlurWindow(blur_y, 1);
  if ((kx <= 1 && ky <= 1) || passes <= 0 || box.Empty()) return;
  // Premultiplied channels blur independently and stay premultiplied.
  const int32_t w = box.Width(), h = box.Height();
  thread_local std::vector<Sample> samples;
  samples.resize(size_t(w) * h * 4);
  for (int32_t y = 0; y < h; ++y) {
    const uint32_t* row = picture.Row(box.top + y) + box.left;
    Sample* out = samples.data() + size_t(y) * w * 4;
    for (int32_t x = 0; x < w; ++x) {
      for (int c = 0; c < 4; ++c) out[x * 4 + c] = Sample((row[x] >> (8 * c) & 0xFF) << 8);
    }
  }
  BoxBlur(samples, w, h, 4, kx, ky, std::min(passes, kMaxPasses));
  for (int32_t y = 0; y < h; ++y) {
    uint32_t* row = picture.Row(box.top + y) + box.left;
    const Sample* in = samples.data() + size_t(y) * w * 4;
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t a = std::min<uint32_t>((in[x * 4 + 3] + 128u) >> 8, 255u);
      uint32_t p = a << 24;
      for (int c = 0; c < 3; ++c)
        p |= std::min<uint32_t>((in[x * 4 + c] + 128u) >> 8, a) << (8 * c);
      row[x] = p;
    }
  }
}

PixelBox FilterMargins(const Filter& f, double sx, double sy) {
  switch (f.kind) {
    case FilterKind::kColorMatrix:
      return {};
    case FilterKind::kConvolution:
      return {f.matrix_x / 2 + 1, f.matrix_y / 2 + 1, f.matrix_x / 2 + 1, f.matrix_y / 2 + 1};
    default:
      break;
  }
  const int passes = std::max(Passes(f), 1);
  const int bx = BlurWindow(f.blur_x, sx) / 2 * passes + 1;
  const int by = BlurWindow(f.blur_y, sy) / 2 * passes + 1;
  const Offset off =
      f.kind == FilterKind::kBlur || f.kind == FilterKind::kGlow ? Offset{} : OffsetOf(f, sx, sy);
  const int ox = std::abs(off.dx), oy = std::abs(off.dy);
  return {bx + ox, by + oy, bx + ox, by + oy};
}

void ApplyFilter(const Filter& f, Picture& picture, PixelBox box, double sx, double sy) {
  box.left = std::max(box.left, 0);
  box.top = std::max(box.top, 0);
  box.right = std::min(box.right, picture.width);
  box.bottom = std::min(box.bottom, picture.height);
  if (box.Empty()) return;
  switch (f.kind) {
    case FilterKind::kBlur:
      BlurPicture(picture, box, f.blur_x * std::abs(sx), f.blur_y * std::abs(sy), Passes(f));
      break;
    case FilterKind::kDropShadow:
    case FilterKind::kGlow:
      Shadow(f, picture, box, sx, sy);
      break;
    case FilterKind::kBevel:
    case FilterKind::kGradientBevel:
      Bevel(f, picture, box, sx, sy);
      break;
    case FilterKind::kGradientGlow:
      GradientGlow(f, picture, box, sx, sy);
      break;
    case FilterKind::kColorMatrix:
      ColourMatrix(f, picture, box);
      break;
    case FilterKind::kConvolution:
      Convolution(f, picture, box);
      break;
  }
}

}  // namespace flashsaver
