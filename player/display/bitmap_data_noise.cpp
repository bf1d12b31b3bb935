// BitmapData's seeded effects: noise, perlinNoise and pixelDissolve. Each is a pure function of
// its seed, so a movie that reuses a seed gets the same picture every run.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>

#include "player/display/bitmap_data.h"

namespace flashsaver {
namespace {

// Park and Miller's minimal standard generator; seed 0 (which it cannot hold) becomes 1.
class ParkMiller {
 public:
  explicit ParkMiller(int32_t seed) {
    int64_t s = seed % 2147483647;
    if (s < 0) s += 2147483647;
    state_ = s == 0 ? 1 : s;
  }
  uint32_t Next() {
    state_ = state_ * 16807 % 2147483647;
    return static_cast<uint32_t>(state_);
  }

 private:
  int64_t state_;
};

// Saturating double to integer conversions: NaN gives 0, out-of-range values the nearest bound.
int32_t SaturatingInt(double v) {
  if (!(v == v)) return 0;
  if (v <= -2147483648.0) return INT32_MIN;
  if (v >= 2147483647.0) return INT32_MAX;
  return static_cast<int32_t>(v);
}
// Lattice arithmetic wraps at 32 bits as the reference's does, far from the origin.
int32_t Wrapping(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }
uint8_t SaturatingByte(double v) {
  if (!(v > 0)) return 0;
  return v >= 255 ? 255 : static_cast<uint8_t>(v);
}

// Two-dimensional gradient noise as the reference player makes it, SVG 1.1's feTurbulence with
// offsets per octave: four gradient tables (one per channel in use) and one lattice permutation,
// all drawn from one Park-Miller stream; a cubic ease (3t^2 - 2t^3); stitching wraps the lattice
// at the tile's edge, the wrap doubling with each octave. Matched value for value against the
// reference player's getPixel32.
class Turbulence {
 public:
  struct Stitch {
    int32_t width = 0, height = 0, wrap_x = 0, wrap_y = 0;
  };
  static constexpr int kSize = 256;
  static constexpr int32_t kOrigin = 4096;  // shifts coordinates positive before truncating

  explicit Turbulence(int32_t seed) {
    constexpr int64_t kM = 2147483647;
    int64_t state = seed;
    if (state <= 0) state = -(state % (kM - 1)) + 1;
    state = std::min(state, kM - 1);
    auto next = [&] {
      state = state * 16807 % kM;
      return state;
    };
    for (auto& table : gradient_) {
      for (int i = 0; i < kSize; ++i) {
        const double gx = static_cast<double>(next() % (2 * kSize) - kSize) / kSize;
        const double gy = static_cast<double>(next() % (2 * kSize) - kSize) / kSize;
        const double len = std::sqrt(gx * gx + gy * gy);
        // A zero gradient (1 in 2^18) cannot be normalised; the reference's division leaves
        // NaN, which turns the pixels around that lattice point black.
        const double nan = std::numeric_limits<double>::quiet_NaN();
        table[static_cast<size_t>(i)] =
            len == 0 ? std::array<double, 2>{nan, nan} : std::array<double, 2>{gx / len, gy / len};
      }
    }
    std::iota(lattice_.begin(), lattice_.begin() + kSize, 0);
    for (int i = kSize - 1; i > 0; --i) {
      std::swap(lattice_[static_cast<size_t>(i)], lattice_[static_cast<size_t>(next() % kSize)]);
    }
    for (size_t i = 0; i < kSize + 2; ++i) {
      lattice_[kSize + i] = lattice_[i];
      for (auto& table : gradient_) table[kSize + i] = table[i];
    }
  }

  double Noise(int channel, double x, double y, const Stitch* stitch) const {
    const double tx = x + kOrigin, ty = y + kOrigin;
    int32_t bx0 = SaturatingInt(tx), by0 = SaturatingInt(ty);
    const double rx0 = tx - bx0, ry0 = ty - by0, rx1 = rx0 - 1, ry1 = ry0 - 1;
    int32_t bx1 = Wrapping(int64_t{bx0} + 1), by1 = Wrapping(int64_t{by0} + 1);
    if (stitch) {
      auto wrap = [](int32_t& b, int32_t at, int32_t by) {
        if (b >= at) b = Wrapping(int64_t{b} - by);
      };
      wrap(bx0, stitch->wrap_x, stitch->width), wrap(bx1, stitch->wrap_x, stitch->width);
      wrap(by0, stitch->wrap_y, stitch->height), wrap(by1, stitch->wrap_y, stitch->height);
    }
    const int i = lattice_[static_cast<size_t>(bx0 & 255)];
    const int j = lattice_[static_cast<size_t>(bx1 & 255)];
    const auto& g = gradient_[static_cast<size_t>(channel)];
    auto dot = [&](int cell, double rx, double ry) {
      const auto& q = g[static_cast<size_t>(lattice_[static_cast<size_t>(cell)])];
      return rx * q[0] + ry * q[1];
    };
    const double sx = rx0 * rx0 * (3 - 2 * rx0), sy = ry0 * ry0 * (3 - 2 * ry0);
    auto lerp = [](double t, double a, double b) { return a + t * (b - a); };
    const double a = lerp(sx, dot(i + (by0 & 255), rx0, ry0), dot(j + (by0 & 255), rx1, ry0));
    const double b = lerp(sx, dot(i + (by1 & 255), rx0, ry1), dot(j + (by1 & 255), rx1, ry1));
    return lerp(sy, a, b);
  }

 private:
  std::array<int, 2 * kSize + 2> lattice_{};
  std::array<std::array<std::array<double, 2>, 2 * kSize + 2>, 4> gradient_{};
};

}  // namespace

void Noise(BitmapPixels& bmp, int32_t seed, uint8_t low, uint8_t high, uint32_t channels,
           bool grey) {
  if (low > high) std::swap(low, high);
  ParkMiller rng(seed);
  const uint32_t span = static_cast<uint32_t>(high - low) + 1;
  auto next = [&] { return static_cast<uint32_t>(low + rng.Next() % span); };
  for (int32_t y = 0; y < bmp.height(); ++y) {
    uint32_t* row = bmp.picture.Row(y);
    for (int32_t x = 0; x < bmp.width(); ++x) {
      uint32_t r = 0, g = 0, b = 0, a = 255;
      if (grey) {
        r = g = b = next();
      } else {
        if (channels & 1) r = next();
        if (channels & 2) g = next();
        if (channels & 4) b = next();
      }
      if (channels & 8) a = next();
      row[x] = PremultiplyArgb(StoredColour(bmp, a << 24 | r << 16 | g << 8 | b));
    }
  }
  bmp.Changed();
}

void PerlinNoise(BitmapPixels& bmp, const PerlinSettings& s) {
  // A full-size bitmap with many octaves would hold the frame for many seconds: past this many
  // pixel-octaves the finest octaves are left out.
  constexpr int64_t kMaxPixelOctaves = int64_t{16} << 20;
  const int64_t area = std::max<int64_t>(1, int64_t{bmp.width()} * bmp.height());
  // From octave 1025 on the frequency ratio is infinite and every sum NaN, so more octaves
  // cannot change a pixel.
  constexpr int kMaxOctaves = 1025;
  const int octaves = static_cast<int>(std::min<int64_t>(
      std::clamp(s.octaves, 0, kMaxOctaves), std::max<int64_t>(1, kMaxPixelOctaves / area)));
  const Turbulence turbulence(s.seed);
  const double tile_w = bmp.width(), tile_h = bmp.height();
  double freq_x = s.base_x == 0 ? 0 : 1 / s.base_x;
  double freq_y = s.base_y == 0 ? 0 : 1 / s.base_y;
  Turbulence::Stitch first;
  if (s.stitch) {
    // Frequencies move to the nearer whole number of cycles over the tile. The lower choice
    // of the vertical one is taken from the horizontal frequency, as the reference does.
    if (freq_x != 0) {
      const double lo = std::floor(tile_w * freq_x) / tile_w;
      const double hi = std::ceil(tile_w * freq_x) / tile_w;
      freq_x = freq_x / lo < hi / freq_x ? lo : hi;
    }
    if (freq_y != 0) {
      const double lo = std::floor(tile_h * freq_x) / tile_h;
      const double hi = std::ceil(tile_h * freq_y) / tile_h;
      freq_y = freq_y / lo < hi / freq_y ? lo : hi;
    }
    first.width = SaturatingInt(tile_w * freq_x + 0.5);
    first.height = SaturatingInt(tile_h * freq_y + 0.5);
    first.wrap_x = Wrapping(int64_t{Turbulence::kOrigin} + first.width);
    first.wrap_y = Wrapping(int64_t{Turbulence::kOrigin} + first.height);
  }
  auto turbulent = [&](int channel, double x, double y) {
    Turbulence::Stitch stitch = first;
    double sum = 0, ratio = 1;
    for (int o = 0; o < octaves; ++o) {
      const auto [ox, oy] = o < static_cast<int>(s.offsets.size())
                                ? s.offsets[static_cast<size_t>(o)]
                                : std::pair<double, double>{0, 0};
      const double n = turbulence.Noise(channel, (x + ox) * freq_x * ratio,
                                        (y + oy) * freq_y * ratio, s.stitch ? &stitch : nullptr);
      sum += (s.fractal ? n : std::abs(n)) / ratio;
      ratio *= 2;
      stitch.width = Wrapping(int64_t{stitch.width} * 2);
      stitch.height = Wrapping(int64_t{stitch.height} * 2);
      stitch.wrap_x = Wrapping(int64_t{stitch.wrap_x} * 2 - Turbulence::kOrigin);
      stitch.wrap_y = Wrapping(int64_t{stitch.wrap_y} * 2 - Turbulence::kOrigin);
    }
    return sum;
  };
  // The rounding of the reference: fractal sums in -1..1 take their half after the +0.5.
  auto byte = [&](double n) {
    return SaturatingByte(s.fractal ? (n * 255 + 255 + 0.5) / 2 : n * 255 + 0.5);
  };
  for (int32_t y = 0; y < bmp.height(); ++y) {
    uint32_t* row = bmp.picture.Row(y);
    for (int32_t x = 0; x < bmp.width(); ++x) {
      // Red, green, blue, alpha; a colour left out is 0, alpha left out is opaque.
      double n[4] = {-1, -1, -1, 1};
      if (s.grey) {
        n[0] = n[1] = n[2] = turbulent(0, x, y);
        if (s.channels & 8) n[3] = turbulent(1, x, y);
      } else {
        // Each channel asked for takes the next gradient table, so blue alone uses the first.
        int table = 0;
        for (int c = 0; c < 4; ++c) {
          if (s.channels & (1u << c)) n[c] = turbulent(table++, x, y);
        }
      }
      const uint32_t a = bmp.transparent ? byte(n[3]) : 255;
      const uint32_t argb =
          a << 24 | uint32_t{byte(n[0])} << 16 | uint32_t{byte(n[1])} << 8 | byte(n[2]);
      row[x] = PremultiplyArgb(StoredColour(bmp, argb));
    }
  }
  bmp.Changed();
}

// As the reference player does it: the seed is a counter over the smallest power of four at or
// above the box's pixel count (2^2k); each count names one pixel, its high k bits flipped by
// (low k bits squared, plus 1), so every pixel comes once per cycle; counts that name pixel 0
// or none are passed over, and the count of the last pixel dissolved is returned, so the next
// call goes on where this one stopped. Pixel 0 goes with every call: asked for 9999 of a
// 100 x 100 box, the reference dissolves all 10000. (Found from its pictures and return values
// over boxes of 16 to 1024 pixels.)
int32_t PixelDissolve(BitmapPixels& dest, const BitmapPixels& source, PixelBox box, int32_t dx,
                      int32_t dy, int32_t seed, int32_t num_pixels, uint32_t colour) {
  const bool fill = &dest == &source;
  int32_t sx = dx, sy = dy;
  PixelBox src = box;
  if (fill) {
    src = Intersect(PixelBox{dx, dy, dx + box.Width(), dy + box.Height()}, dest.Bounds());
    sx = src.left, sy = src.top;
  } else if (!ClipCopyBox(dest, source, src, sx, sy)) {
    return seed;
  }
  const uint64_t total = static_cast<uint64_t>(src.Width()) * static_cast<uint64_t>(src.Height());
  if (total == 0 || num_pixels < 0) return seed;
  int k = 1;
  while ((uint64_t{1} << (2 * k)) < total) ++k;
  const uint32_t low_mask = (1u << k) - 1, mask = (1u << (2 * k)) - 1;
  auto scramble = [&](uint32_t n) {
    const uint32_t low = n & low_mask;
    return n ^ (((low * low + 1) & low_mask) << k);
  };
  const uint32_t stored = PremultiplyArgb(StoredColour(dest, colour));
  const uint32_t w = static_cast<uint32_t>(src.Width());
  auto dissolve = [&](uint32_t index) {
    const int32_t x = static_cast<int32_t>(index % w), y = static_cast<int32_t>(index / w);
    uint32_t& to = dest.picture.Row(sy + y)[sx + x];
    to = fill ? stored
              : PremultiplyArgb(StoredColour(
                    dest, UnpremultiplyArgb(source.picture.Row(src.top + y)[src.left + x])));
  };
  dissolve(0);
  uint32_t state = static_cast<uint32_t>(seed) & mask;
  const uint64_t wanted = std::min<uint64_t>(static_cast<uint64_t>(num_pixels), total - 1);
  for (uint64_t done = 0; done < wanted;) {
    state = (state + 1) & mask;
    const uint32_t index = scramble(state);
    if (index == 0 || index >= total) continue;
    dissolve(index);
    ++done;
  }
  dest.Changed();
  return static_cast<int32_t>(state);
}

}  // namespace flashsaver
