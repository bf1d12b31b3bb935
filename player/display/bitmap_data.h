// The pixels behind a flash.display.BitmapData and what its methods do to them. Pixels are kept
// premultiplied (0xAARRGGBB, as Picture), so a half-transparent colour read back loses the
// precision the player's own store loses. Scripts pass and read straight (unpremultiplied)
// colours; every rectangle is clipped to the bitmap here, never trusted.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "player/render/picture.h"

namespace flashsaver {

// The largest side the SWF 8 player accepts; a bitmap past it is refused when made.
inline constexpr int32_t kMaxBitmapSide = 2880;

struct BitmapPixels {
  Picture picture;
  bool transparent = true;
  bool disposed = false;
  // Counts changes, so what shows the bitmap knows to draw it again.
  uint32_t revision = 0;

  int32_t width() const { return picture.width; }
  int32_t height() const { return picture.height; }
  PixelBox Bounds() const { return {0, 0, picture.width, picture.height}; }
  void Changed() { ++revision; }
};

// Straight 0xAARRGGBB to premultiplied, and back as the player reads it.
uint32_t PremultiplyArgb(uint32_t argb);
uint32_t UnpremultiplyArgb(uint32_t premultiplied);

// The colour a bitmap stores for a colour a script gives: opaque bitmaps drop the alpha.
uint32_t StoredColour(const BitmapPixels& bmp, uint32_t argb);

PixelBox Intersect(PixelBox a, PixelBox b);
// Clips a copy of source's box to (dx, dy) in dest to both bitmaps, moving box, dx and dy to
// the part that remains; false when nothing does.
bool ClipCopyBox(const BitmapPixels& dest, const BitmapPixels& source, PixelBox& box, int32_t& dx,
                 int32_t& dy);

// Null for sizes the player refuses (either side outside 1..kMaxBitmapSide).
std::optional<BitmapPixels> MakeBitmap(int32_t width, int32_t height, bool transparent,
                                       uint32_t argb);

void FillRect(BitmapPixels& bmp, PixelBox box, uint32_t argb);
uint32_t GetPixel32(const BitmapPixels& bmp, int32_t x, int32_t y);  // 0 outside
void SetPixel32(BitmapPixels& bmp, int32_t x, int32_t y, uint32_t argb);
void SetPixel(BitmapPixels& bmp, int32_t x, int32_t y, uint32_t rgb);  // keeps the alpha

// Copies source's box to dest at (dx, dy). With alpha, its alpha channel (at ax, ay for the
// box's corner) multiplies the source's. merge_alpha blends over dest instead of replacing;
// into an opaque bitmap the copy is always blended.
struct AlphaSource {
  const BitmapPixels* bitmap = nullptr;
  int32_t x = 0, y = 0;
};
void CopyPixels(BitmapPixels& dest, const BitmapPixels& source, PixelBox box, int32_t dx,
                int32_t dy, AlphaSource alpha, bool merge_alpha);

// Channels as the player numbers them: 1 red, 2 green, 4 blue, 8 alpha.
void CopyChannel(BitmapPixels& dest, const BitmapPixels& source, PixelBox box, int32_t dx,
                 int32_t dy, uint32_t source_channel, uint32_t dest_channel);

// Straight colour transform: multipliers as fractions, offsets in colour steps.
struct ColourChange {
  double r_mult = 1, g_mult = 1, b_mult = 1, a_mult = 1;
  double r_add = 0, g_add = 0, b_add = 0, a_add = 0;
};
void ApplyColourChange(BitmapPixels& bmp, PixelBox box, const ColourChange& change);

void Scroll(BitmapPixels& bmp, int32_t dx, int32_t dy);

// Fills the 4-connected area of (x, y)'s colour; nothing outside the bitmap.
void FloodFill(BitmapPixels& bmp, int32_t x, int32_t y, uint32_t argb);

// The smallest box of pixels whose colour & mask equals (find) or differs from (!find) colour;
// empty when none.
PixelBox ColourBounds(const BitmapPixels& bmp, uint32_t mask, uint32_t colour, bool find);

enum class ThresholdTest : uint8_t {
  kLess,
  kLessEqual,
  kGreater,
  kGreaterEqual,
  kEqual,
  kNotEqual
};
// Tests each source pixel (straight ARGB) & mask against threshold & mask; passing pixels take
// colour, the others the source's (copy_source) or stay. Returns how many passed.
uint32_t Threshold(BitmapPixels& dest, const BitmapPixels& source, PixelBox box, int32_t dx,
                   int32_t dy, ThresholdTest test, uint32_t threshold, uint32_t colour,
                   uint32_t mask, bool copy_source);

// The per-pixel difference as the player gives it; nullopt when equal, a negative code
// otherwise: -3 width differs, -4 height differs.
struct CompareResult {
  int code = 0;  // 0: equal; -3, -4: sizes
  std::optional<BitmapPixels> difference;
};
CompareResult Compare(const BitmapPixels& a, const BitmapPixels& b);

// Each channel looked up in its table (straight values); the four results are added.
void PaletteMap(BitmapPixels& dest, const BitmapPixels& source, PixelBox box, int32_t dx,
                int32_t dy, const std::array<std::optional<std::array<uint32_t, 256>>, 4>& maps);

// Blends source into dest per channel: (src·m + dest·(256 − m)) / 256, multipliers 0..256.
void Merge(BitmapPixels& dest, const BitmapPixels& source, PixelBox box, int32_t dx, int32_t dy,
           const std::array<uint32_t, 4>& multipliers);  // red, green, blue, alpha

// noise(): each pixel's channels random in low..high, from a seeded generator.
void Noise(BitmapPixels& bmp, int32_t seed, uint8_t low, uint8_t high, uint32_t channels,
           bool grey);

struct PerlinSettings {
  double base_x = 1, base_y = 1;
  int octaves = 1;
  int32_t seed = 0;
  bool stitch = false, fractal = false, grey = false;
  uint32_t channels = 7;
  std::vector<std::pair<double, double>> offsets;  // per octave
};
void PerlinNoise(BitmapPixels& bmp, const PerlinSettings& settings);

// Moves num_pixels + 1 pixels of box (the state's pixel and the next num_pixels) from source,
// or to colour when source is dest, in the order of a generator seeded by seed. Returns the
// seed that continues the dissolve.
int32_t PixelDissolve(BitmapPixels& dest, const BitmapPixels& source, PixelBox box, int32_t dx,
                      int32_t dy, int32_t seed, int32_t num_pixels, uint32_t colour);

// Whether any pixel of a's whose alpha is at least threshold lies over box (in a's pixels).
bool HitTestBox(const BitmapPixels& a, uint8_t threshold, PixelBox box);
// Whether opaque-enough pixels of a and b (b offset by dx, dy, its own threshold) overlap.
bool HitTestBitmaps(const BitmapPixels& a, uint8_t a_threshold, const BitmapPixels& b,
                    uint8_t b_threshold, int32_t dx, int32_t dy);

}  // namespace flashsaver
