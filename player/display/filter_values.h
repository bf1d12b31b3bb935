// What a flash.filters object holds, as both script machines keep it: the values as scripts
// set them (clamped as the player clamps them), and the conversion to and from the Filter the
// renderer draws.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "player/render/filters.h"

namespace flashsaver {

enum class FilterClass : uint8_t {
  kDropShadow,
  kBlur,
  kGlow,
  kBevel,
  kGradientGlow,
  kGradientBevel,
  kColorMatrix,
  kConvolution,
  kDisplacementMap,
};

// "DropShadowFilter", ... in FilterClass order.
inline constexpr const char* kFilterClassNames[] = {
    "DropShadowFilter",  "BlurFilter",         "GlowFilter",
    "BevelFilter",       "GradientGlowFilter", "GradientBevelFilter",
    "ColorMatrixFilter", "ConvolutionFilter",  "DisplacementMapFilter",
};

// The properties of the filter classes.
enum class FilterProp : uint8_t {
  kDistance,
  kAngle,
  kColor,
  kAlpha,
  kHighlightColor,
  kHighlightAlpha,
  kBlurX,
  kBlurY,
  kStrength,
  kQuality,
  kInner,
  kKnockout,
  kHideObject,
  kType,
  kColors,
  kAlphas,
  kRatios,
  kMatrixX,
  kMatrixY,
  kMatrix,
  kDivisor,
  kBias,
  kPreserveAlpha,
  kClamp,
  kMapBitmap,
  kMapPoint,
  kComponentX,
  kComponentY,
  kScaleX,
  kScaleY,
  kMode,
};
inline constexpr size_t kFilterPropCount = static_cast<size_t>(FilterProp::kMode) + 1;

struct FilterPropName {
  const char* name;
  FilterProp prop;
};
// A class's properties in its constructor's argument order.
std::span<const FilterPropName> FilterPropsOf(FilterClass kind);

inline constexpr std::array<double, 20> kIdentityColourMatrix{1, 0, 0, 0, 0, 0, 1, 0, 0, 0,
                                                              0, 0, 1, 0, 0, 0, 0, 0, 1, 0};

struct FilterValues {
  explicit FilterValues(FilterClass k) : kind(k) {}
  FilterClass kind;
  double distance = 4;
  double angle = 0.785398163;  // radians; the player's own default, which reads back just under 45
  uint32_t color = 0;          // a bevel's shadow
  double alpha = 1;
  uint32_t highlight_color = 0xFFFFFF;
  double highlight_alpha = 1;
  double blur_x = 4, blur_y = 4, strength = 1;
  int quality = 1;
  bool inner = false, knockout = false, hide_object = false;
  std::string type = "inner";
  // Gradient entries: the first `stops` are in use; those past it keep their alphas and
  // ratios for when the colours grow again, as the player's do.
  struct Stop {
    uint32_t rgb = 0;
    double alpha = 0;  // in 1/255 steps
    double ratio = 0;  // 0..255, whole
  };
  std::vector<Stop> gradient;
  size_t stops = 0;
  int matrix_x = 0, matrix_y = 0;
  std::vector<double> matrix;  // convolution
  double divisor = 1, bias = 0;
  bool preserve_alpha = true, clamp = true;
  std::array<double, 20> colour_matrix = kIdentityColourMatrix;
  int component_x = 0, component_y = 0;
  double scale_x = 0, scale_y = 0;
  std::string mode = "wrap";
};

// The constructor's defaults that differ from FilterValues' own.
void SetFilterDefaults(FilterValues& f);

// NaN becomes lo.
double ClampFilterNumber(double v, double lo, double hi);
// NaN stays NaN (the player shows it, and draws it as nothing).
double ClampKeepingNaN(double v, double lo, double hi);

// Gradient colours, then alphas or ratios: only entries that have a colour take a value, and
// a shorter array drops the rest.
void SetGradientColours(FilterValues& f, std::span<const uint32_t> rgbs);
void SetGradientAlphas(FilterValues& f, std::span<const double> alphas);
void SetGradientRatios(FilterValues& f, std::span<const double> ratios);
// "inner", "outer" or "full" (anything else); "wrap", "clamp", "ignore" or "color".
void SetBevelType(FilterValues& f, const std::string& type);
void SetDisplacementMode(FilterValues& f, const std::string& mode);

// The filter the values draw; nothing for a displacement map, which the renderer does not draw.
std::optional<Filter> FilterOfValues(const FilterValues& f);
// The values of the class that draws filter.
FilterValues ValuesOfFilter(const Filter& filter);

}  // namespace flashsaver
