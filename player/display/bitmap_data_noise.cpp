// BitmapData's seeded effects: noise, perlinNoise and pixelDissolve. Each is a pure function of
// its seed, so a movie that reuses a seed gets the same picture every run.
#include <algorithm>
#include <cmath>
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

// Improved-noise gradients over a lattice permuted by the seed; period (when nonzero) wraps
// the lattice so that the picture tiles.
class Lattice {
 public:
  explicit Lattice(int32_t seed) {
    std::iota(perm_.begin(), perm_.begin() + 256, 0);
    ParkMiller rng(seed);
    for (int i = 255; i > 0; --i) std::swap(perm_[i], perm_[rng.Next() % (i + 1)]);
    for (int i = 0; i < 256; ++i) perm_[256 + i] = perm_[i];
  }
  double At(double x, double y, double z, int px, int py) const {
    const double fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
    const int64_t ix = static_cast<int64_t>(fx), iy = static_cast<int64_t>(fy);
    const int iz = static_cast<int>(static_cast<int64_t>(fz) & 255);
    x -= fx, y -= fy, z -= fz;
    const double u = Fade(x), v = Fade(y), w = Fade(z);
    auto cell = [&](int64_t cx, int64_t cy) {
      if (px > 0) cx = ((cx % px) + px) % px;
      if (py > 0) cy = ((cy % py) + py) % py;
      return std::pair<int, int>(static_cast<int>(cx & 255), static_cast<int>(cy & 255));
    };
    auto hash = [&](int64_t cx, int64_t cy, int cz) {
      const auto [a, b] = cell(cx, cy);
      return perm_[perm_[perm_[a] + b] + cz];
    };
    auto grad = [](int h, double gx, double gy, double gz) {
      h &= 15;
      const double a = h < 8 ? gx : gy;
      const double b = h < 4 ? gy : (h == 12 || h == 14 ? gx : gz);
      return ((h & 1) ? -a : a) + ((h & 2) ? -b : b);
    };
    auto lerp = [](double t, double a, double b) { return a + t * (b - a); };
    const int iz1 = (iz + 1) & 255;
    return lerp(
        w,
        lerp(v, lerp(u, grad(hash(ix, iy, iz), x, y, z), grad(hash(ix + 1, iy, iz), x - 1, y, z)),
             lerp(u, grad(hash(ix, iy + 1, iz), x, y - 1, z),
                  grad(hash(ix + 1, iy + 1, iz), x - 1, y - 1, z))),
        lerp(v,
             lerp(u, grad(hash(ix, iy, iz1), x, y, z - 1),
                  grad(hash(ix + 1, iy, iz1), x - 1, y, z - 1)),
             lerp(u, grad(hash(ix, iy + 1, iz1), x, y - 1, z - 1),
                  grad(hash(ix + 1, iy + 1, iz1), x - 1, y - 1, z - 1))));
  }

 private:
  static double Fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }
  std::array<int, 512> perm_{};
};

// Smallest power of two holding n.
uint32_t Pow2AtLeast(uint64_t n) {
  uint32_t p = 1;
  while (p < n) p <<= 1;
  return p;
}

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
  const int octaves = std::clamp(s.octaves, 0, 32);
  const double base_x = std::isfinite(s.base_x) && s.base_x != 0 ? std::abs(s.base_x) : 1;
  const double base_y = std::isfinite(s.base_y) && s.base_y != 0 ? std::abs(s.base_y) : 1;
  const Lattice lattice(s.seed);
  // Channels in the order red, green, blue, alpha; grey computes one for the three colours.
  constexpr uint32_t kFlag[4] = {1, 2, 4, 8};
  constexpr int kShift[4] = {16, 8, 0, 24};
  std::vector<double> sums(4);
  for (int32_t y = 0; y < bmp.height(); ++y) {
    uint32_t* row = bmp.picture.Row(y);
    for (int32_t x = 0; x < bmp.width(); ++x) {
      uint32_t out = 0xFF000000u;
      for (int ch = 0; ch < 4; ++ch) {
        const bool on =
            s.grey ? (ch == 0 || (ch == 3 && (s.channels & 8))) : (s.channels & kFlag[ch]) != 0;
        if (!on) {
          if (ch < 3 && !s.grey) out &= ~(0xFFu << kShift[ch]);
          continue;
        }
        double sum = 0, amplitude = 1, frequency = 1, total = 0;
        for (int o = 0; o < octaves; ++o) {
          const auto [ox, oy] = o < static_cast<int>(s.offsets.size())
                                    ? s.offsets[static_cast<size_t>(o)]
                                    : std::pair<double, double>{0, 0};
          const double fx = frequency / base_x, fy = frequency / base_y;
          const int px =
              s.stitch ? std::max(1, static_cast<int>(std::lround(bmp.width() * fx))) : 0;
          const int py =
              s.stitch ? std::max(1, static_cast<int>(std::lround(bmp.height() * fy))) : 0;
          const double n = lattice.At((x + ox) * fx, (y + oy) * fy, ch * 1.5 + 0.5, px, py);
          sum += (s.fractal ? n : std::abs(n)) * amplitude;
          total += amplitude;
          amplitude *= 0.5;
          frequency *= 2;
        }
        double v = total > 0 ? sum / total : 0;
        v = s.fractal ? (v + 1) * 0.5 : v;
        const uint32_t byte = static_cast<uint32_t>(std::clamp(v * 255, 0.0, 255.0));
        if (s.grey && ch == 0) {
          out = (out & 0xFF000000u) | byte << 16 | byte << 8 | byte;
        } else {
          out = (out & ~(0xFFu << kShift[ch])) | byte << kShift[ch];
        }
      }
      row[x] = PremultiplyArgb(StoredColour(bmp, out));
    }
  }
  bmp.Changed();
}

// The order is a full-period linear congruential sequence over the next power of two above the
// box's pixel count (every residue once), skipping residues past the box. The state's own
// pixel goes first, then num_pixels more: the reference player dissolves every pixel of a
// 100 x 100 box when asked for 9999.
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
  const uint32_t modulus = Pow2AtLeast(total);
  const uint32_t mask = modulus - 1;
  uint32_t state = static_cast<uint32_t>(seed) & mask;
  const uint64_t wanted = std::min<uint64_t>(static_cast<uint64_t>(num_pixels) + 1, total);
  const uint32_t stored = PremultiplyArgb(StoredColour(dest, colour));
  const uint32_t w = static_cast<uint32_t>(src.Width());
  for (uint64_t done = 0; done < wanted;) {
    if (state < total) {
      const int32_t x = static_cast<int32_t>(state % w), y = static_cast<int32_t>(state / w);
      uint32_t& to = dest.picture.Row(sy + y)[sx + x];
      to = fill ? stored
                : PremultiplyArgb(StoredColour(
                      dest, UnpremultiplyArgb(source.picture.Row(src.top + y)[src.left + x])));
      ++done;
    }
    state = (state * 0x41C64E6Du + 12345u) & mask;
  }
  dest.Changed();
  return static_cast<int32_t>(state);
}

}  // namespace flashsaver
