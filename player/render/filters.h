// The bitmap filters of SWF 8 (PlaceObject3 and a clip's `filters`), as data, and how they
// change a picture. Each filter works on the object's own picture, drawn alone into a layer
// (premultiplied 0xAARRGGBB), and may grow it by its margins.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "player/render/picture.h"
#include "player/swf/swf_types.h"

namespace flashsaver {

enum class FilterKind : uint8_t {
  kDropShadow = 0,
  kBlur = 1,
  kGlow = 2,
  kBevel = 3,
  kGradientGlow = 4,
  kConvolution = 5,
  kColorMatrix = 6,
  kGradientBevel = 7,
};

struct Filter {
  FilterKind kind = FilterKind::kBlur;
  // Shadows, glows and bevels. Blur sizes and the distance are in stage pixels.
  Rgba colour{0, 0, 0, 255};           // the shadow or glow; a bevel's shadow
  Rgba highlight{255, 255, 255, 255};  // a bevel's highlight
  double blur_x = 4, blur_y = 4;
  double angle = 0;  // radians
  double distance = 0;
  double strength = 1;
  bool inner = false;
  bool knockout = false;
  bool hide_object = false;  // a drop shadow without its object
  bool on_top = false;       // a bevel drawn over the object (full bevel)
  int passes = 1;            // quality: 1 low, 2 medium, 3 high
  // Gradient glows and bevels: colours at ratios 0..255.
  std::vector<std::pair<uint8_t, Rgba>> gradient;
  // Convolution.
  int matrix_x = 0, matrix_y = 0;
  float divisor = 1, bias = 0;
  std::vector<float> matrix;
  Rgba default_colour{0, 0, 0, 0};
  bool clamp = true, preserve_alpha = true;
  // Colour matrix: four rows of five (red, green, blue, alpha, offset).
  std::array<float, 20> colour_matrix{1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};

  friend bool operator==(const Filter&, const Filter&) = default;
};

// How far (pixels, at the given scale) a filter can reach beyond the object's picture.
PixelBox FilterMargins(const Filter& filter, double scale_x, double scale_y);

// Applies the filter to the part box of picture (which must already hold room for the
// margins); the result may cover all of box. Sizes in stage pixels are multiplied by the scale
// from stage to picture pixels.
void ApplyFilter(const Filter& filter, Picture& picture, PixelBox box, double scale_x,
                 double scale_y);

// Box-blurs box of the picture, each channel, passes times.
void BlurPicture(Picture& picture, PixelBox box, double blur_x, double blur_y, int passes);

}  // namespace flashsaver
