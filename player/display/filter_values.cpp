#include "player/display/filter_values.h"

#include <algorithm>
#include <cmath>

namespace flashsaver {
namespace {

using Kind = FilterClass;

// Alpha truncates to its byte, as the player stores it.
Rgba ToRgba(uint32_t rgb, double alpha) {
  return Rgba{static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
              static_cast<uint8_t>(rgb),
              static_cast<uint8_t>(ClampFilterNumber(alpha, 0, 1) * 255 + 1e-7)};
}
uint32_t RgbOf(Rgba c) { return static_cast<uint32_t>(c.r << 16 | c.g << 8 | c.b); }
double Finite(double v) { return std::isfinite(v) ? v : 0; }
// A fixed-point value with `one` steps per unit, as the record stores it.
double Fixed(double v, double one) {
  return std::trunc(std::clamp(Finite(v) * one, -2147483648.0, 2147483647.0)) / one;
}
double Clamp(double v, double lo, double hi) { return ClampFilterNumber(v, lo, hi); }

}  // namespace

double ClampFilterNumber(double v, double lo, double hi) {
  return std::isnan(v) ? lo : std::clamp(v, lo, hi);
}
double ClampKeepingNaN(double v, double lo, double hi) {
  return std::isnan(v) ? v : std::clamp(v, lo, hi);
}

void SetFilterDefaults(FilterValues& f) {
  switch (f.kind) {
    case Kind::kGlow:
      f.color = 0xFF0000;
      f.blur_x = f.blur_y = 6;
      f.strength = 2;
      break;
    case Kind::kConvolution:
    case Kind::kDisplacementMap:
      f.alpha = 0;
      break;
    default:
      break;
  }
}

#define P(name, p) \
  { name, FilterProp::p }
std::span<const FilterPropName> FilterPropsOf(FilterClass kind) {
  static constexpr FilterPropName kShadow[] = {
      P("distance", kDistance), P("angle", kAngle),          P("color", kColor),
      P("alpha", kAlpha),       P("blurX", kBlurX),          P("blurY", kBlurY),
      P("strength", kStrength), P("quality", kQuality),      P("inner", kInner),
      P("knockout", kKnockout), P("hideObject", kHideObject)};
  static constexpr FilterPropName kBlur[] = {P("blurX", kBlurX), P("blurY", kBlurY),
                                             P("quality", kQuality)};
  static constexpr FilterPropName kGlow[] = {P("color", kColor),       P("alpha", kAlpha),
                                             P("blurX", kBlurX),       P("blurY", kBlurY),
                                             P("strength", kStrength), P("quality", kQuality),
                                             P("inner", kInner),       P("knockout", kKnockout)};
  static constexpr FilterPropName kBevel[] = {P("distance", kDistance),
                                              P("angle", kAngle),
                                              P("highlightColor", kHighlightColor),
                                              P("highlightAlpha", kHighlightAlpha),
                                              P("shadowColor", kColor),
                                              P("shadowAlpha", kAlpha),
                                              P("blurX", kBlurX),
                                              P("blurY", kBlurY),
                                              P("strength", kStrength),
                                              P("quality", kQuality),
                                              P("type", kType),
                                              P("knockout", kKnockout)};
  static constexpr FilterPropName kGradient[] = {
      P("distance", kDistance), P("angle", kAngle),       P("colors", kColors),
      P("alphas", kAlphas),     P("ratios", kRatios),     P("blurX", kBlurX),
      P("blurY", kBlurY),       P("strength", kStrength), P("quality", kQuality),
      P("type", kType),         P("knockout", kKnockout)};
  static constexpr FilterPropName kColorMatrix[] = {P("matrix", kMatrix)};
  static constexpr FilterPropName kConvolution[] = {
      P("matrixX", kMatrixX), P("matrixY", kMatrixY), P("matrix", kMatrix),
      P("divisor", kDivisor), P("bias", kBias),       P("preserveAlpha", kPreserveAlpha),
      P("clamp", kClamp),     P("color", kColor),     P("alpha", kAlpha)};
  static constexpr FilterPropName kDisplacement[] = {P("mapBitmap", kMapBitmap),
                                                     P("mapPoint", kMapPoint),
                                                     P("componentX", kComponentX),
                                                     P("componentY", kComponentY),
                                                     P("scaleX", kScaleX),
                                                     P("scaleY", kScaleY),
                                                     P("mode", kMode),
                                                     P("color", kColor),
                                                     P("alpha", kAlpha)};
  switch (kind) {
    case FilterClass::kDropShadow:
      return kShadow;
    case FilterClass::kBlur:
      return kBlur;
    case FilterClass::kGlow:
      return kGlow;
    case FilterClass::kBevel:
      return kBevel;
    case FilterClass::kGradientGlow:
    case FilterClass::kGradientBevel:
      return kGradient;
    case FilterClass::kColorMatrix:
      return kColorMatrix;
    case FilterClass::kConvolution:
      return kConvolution;
    case FilterClass::kDisplacementMap:
      return kDisplacement;
  }
  return kBlur;
}
#undef P

void SetGradientColours(FilterValues& f, std::span<const uint32_t> rgbs) {
  if (f.gradient.size() < rgbs.size()) f.gradient.resize(rgbs.size());
  for (size_t i = 0; i < rgbs.size(); ++i) f.gradient[i].rgb = rgbs[i] & 0xFFFFFF;
  f.stops = rgbs.size();
}

void SetGradientAlphas(FilterValues& f, std::span<const double> alphas) {
  f.stops = std::min(f.stops, alphas.size());
  for (size_t i = 0; i < f.stops; ++i) {
    f.gradient[i].alpha = std::lround(Clamp(alphas[i], 0, 1) * 255) / 255.0;
  }
}

void SetGradientRatios(FilterValues& f, std::span<const double> ratios) {
  f.stops = std::min(f.stops, ratios.size());
  for (size_t i = 0; i < f.stops; ++i) f.gradient[i].ratio = std::trunc(Clamp(ratios[i], 0, 255));
}

void SetBevelType(FilterValues& f, const std::string& t) {
  f.type = t == "inner" || t == "outer" ? t : "full";
}

void SetDisplacementMode(FilterValues& f, const std::string& m) {
  f.mode = m == "clamp" || m == "ignore" || m == "color" ? m : "wrap";
}

std::optional<Filter> FilterOfValues(const FilterValues& values) {
  const FilterValues* f = &values;
  if (f->kind == Kind::kDisplacementMap) return std::nullopt;
  // In the units of a PlaceObject3 record, so a clip reads back what a placed one would.
  Filter out;
  out.blur_x = Fixed(f->blur_x, 65536);
  out.blur_y = Fixed(f->blur_y, 65536);
  out.angle = Fixed(f->angle, 65536);
  out.distance = Fixed(f->distance, 65536);
  out.strength = Fixed(f->strength, 256);
  out.passes = f->quality;
  out.knockout = f->knockout;
  out.colour = ToRgba(f->color, f->alpha);
  switch (f->kind) {
    case Kind::kDropShadow:
      out.kind = FilterKind::kDropShadow;
      out.inner = f->inner;
      out.hide_object = f->hide_object;
      break;
    case Kind::kBlur:
      out.kind = FilterKind::kBlur;
      break;
    case Kind::kGlow:
      out.kind = FilterKind::kGlow;
      out.inner = f->inner;
      out.distance = 0;
      break;
    case Kind::kBevel:
    case Kind::kGradientGlow:
    case Kind::kGradientBevel:
      out.kind = f->kind == Kind::kBevel          ? FilterKind::kBevel
                 : f->kind == Kind::kGradientGlow ? FilterKind::kGradientGlow
                                                  : FilterKind::kGradientBevel;
      out.highlight = ToRgba(f->highlight_color, f->highlight_alpha);
      out.inner = f->type == "inner";
      out.on_top = f->type == "full";
      if (f->kind != Kind::kBevel) {
        for (size_t i = 0; i < f->stops && i < 16; ++i) {
          const FilterValues::Stop& stop = f->gradient[i];
          out.gradient.emplace_back(static_cast<uint8_t>(stop.ratio), ToRgba(stop.rgb, stop.alpha));
        }
      }
      break;
    case Kind::kColorMatrix:
      out.kind = FilterKind::kColorMatrix;
      for (size_t i = 0; i < out.colour_matrix.size(); ++i) {
        out.colour_matrix[i] = static_cast<float>(Finite(f->colour_matrix[i]));
      }
      break;
    case Kind::kConvolution: {
      out.kind = FilterKind::kConvolution;
      out.matrix_x = f->matrix_x;
      out.matrix_y = f->matrix_y;
      out.divisor = static_cast<float>(Finite(f->divisor));
      out.bias = static_cast<float>(Finite(f->bias));
      // The matrix the renderer reads is exactly matrixX by matrixY; missing entries are 0.
      const size_t n = static_cast<size_t>(f->matrix_x) * static_cast<size_t>(f->matrix_y);
      out.matrix.assign(n, 0.0f);
      for (size_t i = 0; i < n && i < f->matrix.size(); ++i) {
        out.matrix[i] = static_cast<float>(Finite(f->matrix[i]));
      }
      out.default_colour = ToRgba(f->color, f->alpha);
      out.clamp = f->clamp;
      out.preserve_alpha = f->preserve_alpha;
      break;
    }
    case Kind::kDisplacementMap:
      break;
  }
  return out;
}

FilterValues ValuesOfFilter(const Filter& in) {
  Kind kind = Kind::kBlur;
  switch (in.kind) {
    case FilterKind::kDropShadow:
      kind = Kind::kDropShadow;
      break;
    case FilterKind::kBlur:
      kind = Kind::kBlur;
      break;
    case FilterKind::kGlow:
      kind = Kind::kGlow;
      break;
    case FilterKind::kBevel:
      kind = Kind::kBevel;
      break;
    case FilterKind::kGradientGlow:
      kind = Kind::kGradientGlow;
      break;
    case FilterKind::kConvolution:
      kind = Kind::kConvolution;
      break;
    case FilterKind::kColorMatrix:
      kind = Kind::kColorMatrix;
      break;
    case FilterKind::kGradientBevel:
      kind = Kind::kGradientBevel;
      break;
  }
  FilterValues values(kind);
  SetFilterDefaults(values);
  FilterValues* f = &values;
  f->blur_x = Clamp(in.blur_x, 0, 255);
  f->blur_y = Clamp(in.blur_y, 0, 255);
  f->angle = in.angle;
  f->distance = in.distance;
  f->strength = Clamp(in.strength, 0, 255);
  f->quality = std::clamp(in.passes, 0, 15);
  f->inner = in.inner;
  f->knockout = in.knockout;
  f->hide_object = in.hide_object;
  f->color = RgbOf(in.colour);
  f->alpha = in.colour.a / 255.0;
  f->highlight_color = RgbOf(in.highlight);
  f->highlight_alpha = in.highlight.a / 255.0;
  f->type = in.on_top ? "full" : in.inner ? "inner" : "outer";
  for (const auto& [ratio, c] : in.gradient)
    f->gradient.push_back({RgbOf(c), c.a / 255.0, ratio * 1.0});
  f->stops = f->gradient.size();
  f->matrix_x = in.matrix_x;
  f->matrix_y = in.matrix_y;
  f->matrix.assign(in.matrix.begin(), in.matrix.end());
  f->divisor = in.divisor;
  f->bias = in.bias;
  f->clamp = in.clamp;
  f->preserve_alpha = in.preserve_alpha;
  if (in.kind == FilterKind::kConvolution) {
    f->color = RgbOf(in.default_colour);
    f->alpha = in.default_colour.a / 255.0;
  }
  for (size_t i = 0; i < in.colour_matrix.size(); ++i) f->colour_matrix[i] = in.colour_matrix[i];
  return values;
}

}  // namespace flashsaver
