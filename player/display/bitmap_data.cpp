// BitmapData's pixel operations. Each works on straight colours where the player's results are
// defined on them (thresholds, palettes, channel copies) and stores premultiplied.
#include "player/display/bitmap_data.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace flashsaver {
namespace {

uint8_t Channel(uint32_t argb, int shift) { return static_cast<uint8_t>(argb >> shift); }

uint32_t Pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return a << 24 | r << 16 | g << 8 | b;
}

uint8_t ClampByte(double v) {
  if (!(v > 0)) return 0;
  return v >= 255 ? 255 : static_cast<uint8_t>(v);
}

}  // namespace

bool ClipCopyBox(const BitmapPixels& dest, const BitmapPixels& source, PixelBox& box, int32_t& dx,
                 int32_t& dy) {
  PixelBox src = Intersect(box, source.Bounds());
  dx += src.left - box.left;
  dy += src.top - box.top;
  PixelBox to{dx, dy, dx + src.Width(), dy + src.Height()};
  const PixelBox clipped = Intersect(to, dest.Bounds());
  if (clipped.Empty()) return false;
  src.left += clipped.left - to.left;
  src.top += clipped.top - to.top;
  src.right = src.left + clipped.Width();
  src.bottom = src.top + clipped.Height();
  box = src;
  dx = clipped.left;
  dy = clipped.top;
  return true;
}

namespace {

// Runs fn(straight source colour, straight dest colour) -> new straight dest colour over a
// clipped copy, reading the source before writing so that source and dest may be the same.
template <typename Fn>
void MapCopy(BitmapPixels& dest, const BitmapPixels& source, PixelBox box, int32_t dx, int32_t dy,
             Fn fn) {
  if (!ClipCopyBox(dest, source, box, dx, dy)) return;
  std::vector<uint32_t> row(static_cast<size_t>(box.Width()));
  for (int32_t y = 0; y < box.Height(); ++y) {
    const uint32_t* from = source.picture.Row(box.top + y) + box.left;
    std::copy(from, from + box.Width(), row.begin());
    uint32_t* to = dest.picture.Row(dy + y) + dx;
    for (int32_t x = 0; x < box.Width(); ++x) {
      to[x] = PremultiplyArgb(
          StoredColour(dest, fn(UnpremultiplyArgb(row[x]), UnpremultiplyArgb(to[x]))));
    }
  }
  dest.Changed();
}

std::atomic<size_t> g_live_bytes{0};

}  // namespace

std::shared_ptr<BitmapPixels> ShareBitmap(BitmapPixels pixels) {
  const size_t bytes = pixels.picture.pixels.size() * sizeof(uint32_t);
  size_t live = g_live_bytes.load();
  do {
    if (live + bytes > kMaxLiveBitmapBytes) return nullptr;
  } while (!g_live_bytes.compare_exchange_weak(live, live + bytes));
  pixels.counted_bytes = bytes;
  return std::shared_ptr<BitmapPixels>(new BitmapPixels(std::move(pixels)), [](BitmapPixels* p) {
    ReleaseBitmap(*p);
    delete p;
  });
}

void ReleaseBitmap(BitmapPixels& pixels) {
  g_live_bytes -= pixels.counted_bytes;
  pixels.counted_bytes = 0;
  pixels.picture = Picture();
}

size_t LiveBitmapBytes() { return g_live_bytes.load(); }

uint32_t PremultiplyArgb(uint32_t argb) {
  const uint32_t a = argb >> 24;
  if (a == 255) return argb;
  if (a == 0) return 0;
  auto m = [a](uint32_t c) { return (c * a + 127) / 255; };
  return Pack(a, m(Channel(argb, 16)), m(Channel(argb, 8)), m(Channel(argb, 0)));
}

uint32_t UnpremultiplyArgb(uint32_t p) {
  const uint32_t a = p >> 24;
  if (a == 255) return p;
  if (a == 0) return 0;
  // Through a whole reciprocal of the alpha, as the reference player reads its store back
  // (every one of 45 sampled colours): a half step rounds down.
  const uint32_t reciprocal = 65280 / a;
  auto u = [reciprocal](uint32_t c) {
    return std::min<uint32_t>(255, (c * reciprocal + 127) >> 8);
  };
  return Pack(a, u(Channel(p, 16)), u(Channel(p, 8)), u(Channel(p, 0)));
}

uint32_t StoredColour(const BitmapPixels& bmp, uint32_t argb) {
  return bmp.transparent ? argb : (argb | 0xFF000000u);
}

PixelBox Intersect(PixelBox a, PixelBox b) {
  PixelBox r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
             std::min(a.bottom, b.bottom)};
  if (r.Empty()) return {};
  return r;
}

std::optional<BitmapPixels> MakeBitmap(int32_t width, int32_t height, bool transparent,
                                       uint32_t argb) {
  if (width < 1 || height < 1 || width > kMaxBitmapSide || height > kMaxBitmapSide) {
    return std::nullopt;
  }
  BitmapPixels bmp;
  bmp.transparent = transparent;
  bmp.picture = Picture(width, height, PremultiplyArgb(StoredColour(bmp, argb)));
  return bmp;
}

void FillRect(BitmapPixels& bmp, PixelBox box, uint32_t argb) {
  box = Intersect(box, bmp.Bounds());
  const uint32_t p = PremultiplyArgb(StoredColour(bmp, argb));
  for (int32_t y = box.top; y < box.bottom; ++y) {
    std::fill(bmp.picture.Row(y) + box.left, bmp.picture.Row(y) + box.right, p);
  }
  bmp.Changed();
}

uint32_t GetPixel32(const BitmapPixels& bmp, int32_t x, int32_t y) {
  if (x < 0 || y < 0 || x >= bmp.width() || y >= bmp.height()) return 0;
  return UnpremultiplyArgb(bmp.picture.Row(y)[x]);
}

void SetPixel32(BitmapPixels& bmp, int32_t x, int32_t y, uint32_t argb) {
  if (x < 0 || y < 0 || x >= bmp.width() || y >= bmp.height()) return;
  bmp.picture.Row(y)[x] = PremultiplyArgb(StoredColour(bmp, argb));
  bmp.Changed();
}

void SetPixel(BitmapPixels& bmp, int32_t x, int32_t y, uint32_t rgb) {
  if (x < 0 || y < 0 || x >= bmp.width() || y >= bmp.height()) return;
  const uint32_t old = UnpremultiplyArgb(bmp.picture.Row(y)[x]);
  SetPixel32(bmp, x, y, (old & 0xFF000000u) | (rgb & 0xFFFFFFu));
}

void CopyPixels(BitmapPixels& dest, const BitmapPixels& source, PixelBox box, int32_t dx,
                int32_t dy, AlphaSource alpha, bool merge_alpha) {
  const int32_t ax0 = alpha.x - box.left, ay0 = alpha.y - box.top;
  if (!ClipCopyBox(dest, source, box, dx, dy)) return;
  std::vector<uint32_t> row(static_cast<size_t>(box.Width()));
  for (int32_t y = 0; y < box.Height(); ++y) {
    const int32_t sy = box.top + y;
    const uint32_t* from = source.picture.Row(sy) + box.left;
    std::copy(from, from + box.Width(), row.begin());
    uint32_t* to = dest.picture.Row(dy + y) + dx;
    for (int32_t x = 0; x < box.Width(); ++x) {
      uint32_t p = row[x];
      if (alpha.bitmap) {
        // The alpha bitmap's pixels outside it count as transparent.
        const uint32_t m = GetPixel32(*alpha.bitmap, box.left + x + ax0, sy + ay0) >> 24;
        auto scale = [m](uint32_t c) { return (c * m + 127) / 255; };
        p = Pack(scale(p >> 24), scale(Channel(p, 16)), scale(Channel(p, 8)), scale(Channel(p, 0)));
      }
      if (!dest.transparent) {
        // The colour lands on the opaque picture as it would be drawn over it.
        const uint32_t inv = 255 - (p >> 24), d = to[x];
        auto over = [&](int s) { return Channel(p, s) + (Channel(d, s) * inv + 127) / 255; };
        to[x] = Pack(255, over(16), over(8), over(0));
      } else if (merge_alpha) {
        const uint32_t inv = 255 - (p >> 24), d = to[x];
        auto over = [&](int s) { return Channel(p, s) + (Channel(d, s) * inv + 127) / 255; };
        to[x] = Pack(over(24), over(16), over(8), over(0));
      } else {
        to[x] = p;
      }
    }
  }
  dest.Changed();
}

void CopyChannel(BitmapPixels& dest, const BitmapPixels& source, PixelBox box, int32_t dx,
                 int32_t dy, uint32_t source_channel, uint32_t dest_channel) {
  auto shift_of = [](uint32_t ch) -> int {
    switch (ch) {
      case 1:
        return 16;
      case 2:
        return 8;
      case 4:
        return 0;
      case 8:
        return 24;
      default:
        return -1;
    }
  };
  const int from = shift_of(source_channel);
  if (from < 0 || dest_channel == 0 || dest_channel > 15) return;
  MapCopy(dest, source, box, dx, dy, [&](uint32_t s, uint32_t d) {
    const uint32_t v = Channel(s, from);
    for (int shift : {16, 8, 0, 24}) {
      if (dest_channel & (shift == 24 ? 8u : shift == 16 ? 1u : shift == 8 ? 2u : 4u)) {
        d = (d & ~(0xFFu << shift)) | v << shift;
      }
    }
    return d;
  });
}

void ApplyColourChange(BitmapPixels& bmp, PixelBox box, const ColourChange& c) {
  box = Intersect(box, bmp.Bounds());
  for (int32_t y = box.top; y < box.bottom; ++y) {
    uint32_t* row = bmp.picture.Row(y);
    for (int32_t x = box.left; x < box.right; ++x) {
      const uint32_t s = UnpremultiplyArgb(row[x]);
      const uint32_t out = Pack(ClampByte(Channel(s, 24) * c.a_mult + c.a_add),
                                ClampByte(Channel(s, 16) * c.r_mult + c.r_add),
                                ClampByte(Channel(s, 8) * c.g_mult + c.g_add),
                                ClampByte(Channel(s, 0) * c.b_mult + c.b_add));
      row[x] = PremultiplyArgb(StoredColour(bmp, out));
    }
  }
  bmp.Changed();
}

void Scroll(BitmapPixels& bmp, int32_t dx, int32_t dy) {
  // What scrolls in keeps its old pixels, as the player leaves them.
  const BitmapPixels copy = bmp;
  const int64_t w = bmp.width(), h = bmp.height();
  if (std::abs(static_cast<int64_t>(dx)) >= w || std::abs(static_cast<int64_t>(dy)) >= h) return;
  CopyPixels(bmp, copy, copy.Bounds(), dx, dy, {}, false);
}

void FloodFill(BitmapPixels& bmp, int32_t x, int32_t y, uint32_t argb) {
  if (x < 0 || y < 0 || x >= bmp.width() || y >= bmp.height()) return;
  const uint32_t target = bmp.picture.Row(y)[x];
  const uint32_t fill = PremultiplyArgb(StoredColour(bmp, argb));
  if (target == fill) return;
  // Span filling with an explicit stack: no recursion for a large area.
  std::vector<std::pair<int32_t, int32_t>> stack{{x, y}};
  while (!stack.empty()) {
    auto [sx, sy] = stack.back();
    stack.pop_back();
    uint32_t* row = bmp.picture.Row(sy);
    if (row[sx] != target) continue;
    int32_t l = sx, r = sx;
    while (l > 0 && row[l - 1] == target) --l;
    while (r + 1 < bmp.width() && row[r + 1] == target) ++r;
    std::fill(row + l, row + r + 1, fill);
    for (int32_t ny : {sy - 1, sy + 1}) {
      if (ny < 0 || ny >= bmp.height()) continue;
      const uint32_t* next = bmp.picture.Row(ny);
      for (int32_t i = l; i <= r; ++i) {
        if (next[i] == target && (i == l || next[i - 1] != target)) stack.emplace_back(i, ny);
      }
    }
  }
  bmp.Changed();
}

PixelBox ColourBounds(const BitmapPixels& bmp, uint32_t mask, uint32_t colour, bool find) {
  PixelBox out{bmp.width(), bmp.height(), 0, 0};
  for (int32_t y = 0; y < bmp.height(); ++y) {
    for (int32_t x = 0; x < bmp.width(); ++x) {
      const bool same = (GetPixel32(bmp, x, y) & mask) == (colour & mask);
      if (same != find) continue;
      out.left = std::min(out.left, x), out.top = std::min(out.top, y);
      out.right = std::max(out.right, x + 1), out.bottom = std::max(out.bottom, y + 1);
    }
  }
  return out.Empty() ? PixelBox{} : out;
}

uint32_t Threshold(BitmapPixels& dest, const BitmapPixels& source, PixelBox box, int32_t dx,
                   int32_t dy, ThresholdTest test, uint32_t threshold, uint32_t colour,
                   uint32_t mask, bool copy_source) {
  uint32_t count = 0;
  const uint32_t t = threshold & mask;
  MapCopy(dest, source, box, dx, dy, [&](uint32_t s, uint32_t d) {
    const uint32_t v = s & mask;
    bool pass = false;
    switch (test) {
      case ThresholdTest::kLess:
        pass = v < t;
        break;
      case ThresholdTest::kLessEqual:
        pass = v <= t;
        break;
      case ThresholdTest::kGreater:
        pass = v > t;
        break;
      case ThresholdTest::kGreaterEqual:
        pass = v >= t;
        break;
      case ThresholdTest::kEqual:
        pass = v == t;
        break;
      case ThresholdTest::kNotEqual:
        pass = v != t;
        break;
    }
    if (pass) {
      ++count;
      return colour;
    }
    return copy_source ? s : d;
  });
  return count;
}

CompareResult Compare(const BitmapPixels& a, const BitmapPixels& b) {
  if (a.width() != b.width()) return {-3, std::nullopt};
  if (a.height() != b.height()) return {-4, std::nullopt};
  BitmapPixels diff = *MakeBitmap(a.width(), a.height(), true, 0);
  bool any = false;
  for (int32_t y = 0; y < a.height(); ++y) {
    for (int32_t x = 0; x < a.width(); ++x) {
      const uint32_t p = GetPixel32(a, x, y), q = GetPixel32(b, x, y);
      if (p == q) continue;
      any = true;
      auto d = [&](int s) { return static_cast<uint32_t>(Channel(p, s) - Channel(q, s)) & 0xFF; };
      // Colours that differ show the difference opaque; a pixel that differs in alpha only
      // shows white with the alpha difference.
      const uint32_t out = (p & 0xFFFFFF) != (q & 0xFFFFFF) ? Pack(255, d(16), d(8), d(0))
                                                            : Pack(d(24), 255, 255, 255);
      diff.picture.Row(y)[x] = PremultiplyArgb(out);
    }
  }
  if (!any) return {0, std::nullopt};
  return {0, std::move(diff)};
}

void PaletteMap(BitmapPixels& dest, const BitmapPixels& source, PixelBox box, int32_t dx,
                int32_t dy, const std::array<std::optional<std::array<uint32_t, 256>>, 4>& maps) {
  MapCopy(dest, source, box, dx, dy, [&](uint32_t s, uint32_t) {
    constexpr int kShift[4] = {16, 8, 0, 24};
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
      const uint8_t v = Channel(s, kShift[i]);
      out += maps[i] ? (*maps[i])[v] : static_cast<uint32_t>(v) << kShift[i];
    }
    return out;
  });
}

void Merge(BitmapPixels& dest, const BitmapPixels& source, PixelBox box, int32_t dx, int32_t dy,
           const std::array<uint32_t, 4>& m) {
  MapCopy(dest, source, box, dx, dy, [&](uint32_t s, uint32_t d) {
    constexpr int kShift[4] = {16, 8, 0, 24};
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
      const uint32_t k = std::min<uint32_t>(m[i], 256);
      const uint32_t v = (Channel(s, kShift[i]) * k + Channel(d, kShift[i]) * (256 - k)) / 256;
      out |= v << kShift[i];
    }
    return out;
  });
}

namespace {
// A pixel hits when its alpha reaches the threshold; a fully transparent pixel never does, even
// against a threshold of 0.
bool Hits(uint32_t pixel, uint8_t threshold) {
  const uint32_t alpha = pixel >> 24;
  return alpha != 0 && alpha >= threshold;
}
}  // namespace

bool HitTestBox(const BitmapPixels& a, uint8_t threshold, PixelBox box) {
  box = Intersect(box, a.Bounds());
  for (int32_t y = box.top; y < box.bottom; ++y) {
    for (int32_t x = box.left; x < box.right; ++x) {
      if (Hits(a.picture.Row(y)[x], threshold)) return true;
    }
  }
  return false;
}

bool HitTestBitmaps(const BitmapPixels& a, uint8_t a_threshold, const BitmapPixels& b,
                    uint8_t b_threshold, int32_t dx, int32_t dy) {
  const PixelBox overlap = Intersect(a.Bounds(), PixelBox{dx, dy, dx + b.width(), dy + b.height()});
  for (int32_t y = overlap.top; y < overlap.bottom; ++y) {
    for (int32_t x = overlap.left; x < overlap.right; ++x) {
      // Between two bitmaps the thresholds are plain: at 0 even transparent pixels meet.
      if (a.picture.Row(y)[x] >> 24 >= a_threshold &&
          b.picture.Row(y - dy)[x - dx] >> 24 >= b_threshold) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace flashsaver
