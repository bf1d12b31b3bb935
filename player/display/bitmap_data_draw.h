// What BitmapData.applyFilter, generateFilterRect and draw do to pixels, shared by the
// ActionScript 1/2 and 3 classes: each class reads its own arguments and calls these.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "player/display/bitmap_data.h"
#include "player/render/canvas.h"
#include "player/render/filters.h"

namespace flashsaver {

// Filters source's box into dest at (dx, dy), spread and all, as generateFilterRect tells.
void ApplyFilterToBitmap(BitmapPixels& dest, const BitmapPixels& source, PixelBox box, int32_t dx,
                         int32_t dy, const Filter& filter);

// The box grown by what the filter can spread to.
PixelBox FilterRect(PixelBox box, const Filter& filter);

// A colour transform from a script's fractions and offsets, clamped into the record's range.
ColorTransform TransformOfTerms(double r_mult, double g_mult, double b_mult, double a_mult,
                                double r_add, double g_add, double b_add, double a_add);

// Runs draw on a canvas over dest: clipped to clip when given (nothing is drawn when the clip
// misses the bitmap), inside a layer of the blend mode when it is not normal. Opaque bitmaps
// keep their alpha whole.
void DrawIntoBitmap(BitmapPixels& dest, std::optional<PixelBox> clip, bool smooth,
                    std::optional<uint8_t> blend, const std::function<void(Canvas&)>& draw);

// Draws source's pixels through the matrix (bitmap pixels to dest pixels) and transform. A
// bitmap drawn into itself reads a copy.
void DrawBitmapOnCanvas(Canvas& canvas, const BitmapPixels& source, const Matrix& matrix,
                        const ColorTransform& transform, bool smooth);

// A displacement map: each pixel of the box moves by the map's component channels (1 red,
// 2 green, 4 blue, 8 alpha; 128 is no move) times scale / 256. Pixels outside the map stay;
// a lookup outside the source wraps, clamps, keeps the pixel unmoved or takes colour.
struct DisplacementParams {
  const BitmapPixels* map = nullptr;
  int32_t map_x = 0, map_y = 0;  // where the map's corner lies in the box
  uint32_t component_x = 0, component_y = 0;
  double scale_x = 0, scale_y = 0;
  int mode = 0;         // 0 wrap, 1 clamp, 2 ignore, 3 colour
  uint32_t colour = 0;  // straight ARGB
};
void DisplaceBitmap(BitmapPixels& dest, const BitmapPixels& source, PixelBox box, int32_t dx,
                    int32_t dy, const DisplacementParams& params);

// A blend mode's number (1 normal .. 14 hardlight) from its name; nothing for unknown names.
std::optional<uint8_t> BlendModeFromName(std::string_view name);
// The blend mode's name ("normal", "multiply", ...); 0 and unknown values are "normal".
const char* BlendModeName(uint8_t mode);

}  // namespace flashsaver
