// The flash.filters classes: each object keeps the values as scripts set them (clamped as the
// player clamps them), and converts to the renderer's Filter when a display object takes it.
#include "player/avm1/builtins/builtins.h"
#include "player/avm1/display/filter_classes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "player/avm1/heap.h"
#include "player/display/control_records.h"
#include "player/avm1/display/script_host.h"

namespace flashsaver {
namespace {

using avm1::CallArgs;
using avm1::Object;
using avm1::Value;
using avm1::Vm;

enum class Kind : uint8_t {
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

constexpr const char* kClassNames[] = {
    "DropShadowFilter",  "BlurFilter",         "GlowFilter",
    "BevelFilter",       "GradientGlowFilter", "GradientBevelFilter",
    "ColorMatrixFilter", "ConvolutionFilter",  "DisplacementMapFilter",
};

constexpr double kRadians = std::numbers::pi / 180;

constexpr std::array<double, 20> kIdentity{1, 0, 0, 0, 0, 0, 1, 0, 0, 0,
                                           0, 0, 1, 0, 0, 0, 0, 0, 1, 0};

class FilterObject final : public Object {
 public:
  explicit FilterObject(Kind k) : Object(avm1::ObjectKind::kOther), kind(k) {}
  Kind kind;
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
  std::array<double, 20> colour_matrix = kIdentity;
  Value map_bitmap, map_point;
  int component_x = 0, component_y = 0;
  double scale_x = 0, scale_y = 0;
  std::string mode = "wrap";

  void Trace(avm1::Tracer& t) override {
    Object::Trace(t);
    t.Mark(map_bitmap);
    t.Mark(map_point);
  }
};

// The class's prototype, found by its name as scripts reach it; Object.prototype when a script
// replaced the class.
Object* ProtoOf(Vm& vm, Kind kind) {
  Object* flash = avm1::FlashPackage(vm);
  Object* package = flash ? vm.GetMember(flash, "filters").AsObject() : nullptr;
  Object* ctor =
      package ? vm.GetMember(package, kClassNames[static_cast<int>(kind)]).AsObject() : nullptr;
  Object* proto = ctor ? vm.GetMember(ctor, "prototype").AsObject() : nullptr;
  return proto ? proto : vm.object_proto;
}

FilterObject* This(const CallArgs& c) { return dynamic_cast<FilterObject*>(c.this_obj); }

double Clamp(double v, double lo, double hi) { return std::isnan(v) ? lo : std::clamp(v, lo, hi); }
double ClampKeepingNaN(double v, double lo, double hi) {
  return std::isnan(v) ? v : std::clamp(v, lo, hi);
}
uint32_t Rgb(Vm& vm, const Value& v) { return static_cast<uint32_t>(vm.ToInt(v)) & 0xFFFFFF; }

std::vector<Value> Items(Vm& vm, const Value& v) {
  std::vector<Value> out;
  Object* a = v.AsObject();
  if (!a) return out;
  const uint32_t n = std::min<uint32_t>(vm.ArrayLength(a), 1024);
  for (uint32_t i = 0; i < n; ++i) out.push_back(vm.GetIndex(a, i));
  return out;
}
template <typename T>
Value ArrayOf(Vm& vm, const std::vector<T>& items) {
  std::vector<Value> values;
  for (T v : items) values.emplace_back(static_cast<double>(v));
  return vm.NewArray(values);
}

enum class Prop : uint8_t {
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

Value Get(Vm& vm, FilterObject& f, Prop p) {
  switch (p) {
    case Prop::kDistance:
      return f.distance;
    case Prop::kAngle:
      return f.angle / kRadians;
    case Prop::kColor:
      return static_cast<double>(f.color);
    case Prop::kAlpha:
      return f.alpha;
    case Prop::kHighlightColor:
      return static_cast<double>(f.highlight_color);
    case Prop::kHighlightAlpha:
      return f.highlight_alpha;
    case Prop::kBlurX:
      return f.blur_x;
    case Prop::kBlurY:
      return f.blur_y;
    case Prop::kStrength:
      return f.strength;
    case Prop::kQuality:
      return static_cast<double>(f.quality);
    case Prop::kInner:
      return f.inner;
    case Prop::kKnockout:
      return f.knockout;
    case Prop::kHideObject:
      return f.hide_object;
    case Prop::kType:
      return Value(f.type);
    case Prop::kColors:
    case Prop::kAlphas:
    case Prop::kRatios: {
      std::vector<double> items;
      for (size_t i = 0; i < f.stops; ++i) {
        const FilterObject::Stop& stop = f.gradient[i];
        items.push_back(p == Prop::kColors   ? stop.rgb
                        : p == Prop::kAlphas ? stop.alpha
                                             : stop.ratio);
      }
      return ArrayOf(vm, items);
    }
    case Prop::kMatrixX:
      return static_cast<double>(f.matrix_x);
    case Prop::kMatrixY:
      return static_cast<double>(f.matrix_y);
    case Prop::kMatrix:
      if (f.kind == Kind::kColorMatrix) {
        return ArrayOf(vm, std::vector<double>(f.colour_matrix.begin(), f.colour_matrix.end()));
      }
      return ArrayOf(vm, f.matrix);
    case Prop::kDivisor:
      return f.divisor;
    case Prop::kBias:
      return f.bias;
    case Prop::kPreserveAlpha:
      return f.preserve_alpha;
    case Prop::kClamp:
      return f.clamp;
    case Prop::kMapBitmap:
      return f.map_bitmap;
    case Prop::kMapPoint:
      return f.map_point;
    case Prop::kComponentX:
      return static_cast<double>(f.component_x);
    case Prop::kComponentY:
      return static_cast<double>(f.component_y);
    case Prop::kScaleX:
      return f.scale_x;
    case Prop::kScaleY:
      return f.scale_y;
    case Prop::kMode:
      return Value(f.mode);
  }
  return Value();
}

void Set(Vm& vm, FilterObject& f, Prop p, const Value& v) {
  switch (p) {
    case Prop::kDistance:
      f.distance = vm.ToNumber(v);
      break;
    case Prop::kAngle:
      f.angle = std::fmod(vm.ToNumber(v), 360.0) * kRadians;
      break;
    case Prop::kColor:
      f.color = Rgb(vm, v);
      break;
    case Prop::kAlpha:
      f.alpha = Clamp(vm.ToNumber(v), 0, 1);
      break;
    case Prop::kHighlightColor:
      f.highlight_color = Rgb(vm, v);
      break;
    case Prop::kHighlightAlpha:
      f.highlight_alpha = Clamp(vm.ToNumber(v), 0, 1);
      break;
      // NaN stays NaN here (the player shows it), and draws as no blur.
    case Prop::kBlurX:
      f.blur_x = ClampKeepingNaN(vm.ToNumber(v), 0, 255);
      break;
    case Prop::kBlurY:
      f.blur_y = ClampKeepingNaN(vm.ToNumber(v), 0, 255);
      break;
    case Prop::kStrength:
      f.strength = Clamp(vm.ToNumber(v), 0, 255);
      break;
    case Prop::kQuality:
      f.quality = std::clamp(vm.ToInt(v), 0, 15);
      break;
    case Prop::kInner:
      f.inner = vm.ToBool(v);
      break;
    case Prop::kKnockout:
      f.knockout = vm.ToBool(v);
      break;
    case Prop::kHideObject:
      f.hide_object = vm.ToBool(v);
      break;
    case Prop::kType: {
      const std::string t = vm.ToString(v);
      f.type = t == "inner" || t == "outer" ? t : "full";
      break;
    }
    case Prop::kColors: {
      if (!v.AsObject()) break;
      const std::vector<Value> items = Items(vm, v);
      if (f.gradient.size() < items.size()) f.gradient.resize(items.size());
      for (size_t i = 0; i < items.size(); ++i) f.gradient[i].rgb = Rgb(vm, items[i]);
      f.stops = items.size();
      break;
    }
    case Prop::kAlphas:
    case Prop::kRatios: {
      // Only entries that have a colour take a value; a shorter array drops the rest.
      if (!v.AsObject()) break;
      const std::vector<Value> items = Items(vm, v);
      f.stops = std::min(f.stops, items.size());
      for (size_t i = 0; i < f.stops; ++i) {
        const double n = vm.ToNumber(items[i]);
        if (p == Prop::kAlphas) {
          f.gradient[i].alpha = std::lround(Clamp(n, 0, 1) * 255) / 255.0;
        } else {
          f.gradient[i].ratio = std::trunc(Clamp(n, 0, 255));
        }
      }
      break;
    }
    case Prop::kMatrixX:
      f.matrix_x = std::clamp(vm.ToInt(v), 0, 15);
      break;
    case Prop::kMatrixY:
      f.matrix_y = std::clamp(vm.ToInt(v), 0, 15);
      break;
    case Prop::kMatrix: {
      const std::vector<Value> items = Items(vm, v);
      if (f.kind == Kind::kColorMatrix) {
        // Missing entries read as NaN, as in the player; they draw as 0.
        for (size_t i = 0; i < f.colour_matrix.size(); ++i) {
          f.colour_matrix[i] = i < items.size() ? vm.ToNumber(items[i]) : std::nan("");
        }
      } else {
        f.matrix.clear();
        for (const Value& item : items) f.matrix.push_back(vm.ToNumber(item));
      }
      break;
    }
    case Prop::kDivisor:
      f.divisor = vm.ToNumber(v);
      break;
    case Prop::kBias:
      f.bias = vm.ToNumber(v);
      break;
    case Prop::kPreserveAlpha:
      f.preserve_alpha = vm.ToBool(v);
      break;
    case Prop::kClamp:
      f.clamp = vm.ToBool(v);
      break;
    case Prop::kMapBitmap:
      f.map_bitmap = v;
      break;
    case Prop::kMapPoint:
      f.map_point = v;
      break;
    case Prop::kComponentX:
      f.component_x = vm.ToInt(v);
      break;
    case Prop::kComponentY:
      f.component_y = vm.ToInt(v);
      break;
    case Prop::kScaleX:
      f.scale_x = vm.ToNumber(v);
      break;
    case Prop::kScaleY:
      f.scale_y = vm.ToNumber(v);
      break;
    case Prop::kMode: {
      const std::string m = vm.ToString(v);
      f.mode = m == "clamp" || m == "ignore" || m == "color" ? m : "wrap";
      break;
    }
  }
}

template <Prop P>
Value Getter(Vm& vm, const CallArgs& c) {
  FilterObject* f = This(c);
  return f ? Get(vm, *f, P) : Value();
}
template <Prop P>
Value Setter(Vm& vm, const CallArgs& c) {
  if (FilterObject* f = This(c)) Set(vm, *f, P, c.Arg(0));
  return Value();
}

struct PropEntry {
  const char* name;
  Prop prop;
  avm1::NativeFn get, set;
};
#define FS_PROP(name, p) \
  { name, Prop::p, Getter<Prop::p>, Setter<Prop::p> }

// Each class's properties in its constructor's argument order.
const std::vector<PropEntry>& PropsOf(Kind kind) {
  static const std::vector<PropEntry> kShadow{
      FS_PROP("distance", kDistance), FS_PROP("angle", kAngle),          FS_PROP("color", kColor),
      FS_PROP("alpha", kAlpha),       FS_PROP("blurX", kBlurX),          FS_PROP("blurY", kBlurY),
      FS_PROP("strength", kStrength), FS_PROP("quality", kQuality),      FS_PROP("inner", kInner),
      FS_PROP("knockout", kKnockout), FS_PROP("hideObject", kHideObject)};
  static const std::vector<PropEntry> kBlur{FS_PROP("blurX", kBlurX), FS_PROP("blurY", kBlurY),
                                            FS_PROP("quality", kQuality)};
  static const std::vector<PropEntry> kGlow{
      FS_PROP("color", kColor), FS_PROP("alpha", kAlpha),       FS_PROP("blurX", kBlurX),
      FS_PROP("blurY", kBlurY), FS_PROP("strength", kStrength), FS_PROP("quality", kQuality),
      FS_PROP("inner", kInner), FS_PROP("knockout", kKnockout)};
  static const std::vector<PropEntry> kBevel{FS_PROP("distance", kDistance),
                                             FS_PROP("angle", kAngle),
                                             FS_PROP("highlightColor", kHighlightColor),
                                             FS_PROP("highlightAlpha", kHighlightAlpha),
                                             FS_PROP("shadowColor", kColor),
                                             FS_PROP("shadowAlpha", kAlpha),
                                             FS_PROP("blurX", kBlurX),
                                             FS_PROP("blurY", kBlurY),
                                             FS_PROP("strength", kStrength),
                                             FS_PROP("quality", kQuality),
                                             FS_PROP("type", kType),
                                             FS_PROP("knockout", kKnockout)};
  static const std::vector<PropEntry> kGradient{
      FS_PROP("distance", kDistance), FS_PROP("angle", kAngle),       FS_PROP("colors", kColors),
      FS_PROP("alphas", kAlphas),     FS_PROP("ratios", kRatios),     FS_PROP("blurX", kBlurX),
      FS_PROP("blurY", kBlurY),       FS_PROP("strength", kStrength), FS_PROP("quality", kQuality),
      FS_PROP("type", kType),         FS_PROP("knockout", kKnockout)};
  static const std::vector<PropEntry> kColorMatrix{FS_PROP("matrix", kMatrix)};
  static const std::vector<PropEntry> kConvolution{
      FS_PROP("matrixX", kMatrixX), FS_PROP("matrixY", kMatrixY),
      FS_PROP("matrix", kMatrix),   FS_PROP("divisor", kDivisor),
      FS_PROP("bias", kBias),       FS_PROP("preserveAlpha", kPreserveAlpha),
      FS_PROP("clamp", kClamp),     FS_PROP("color", kColor),
      FS_PROP("alpha", kAlpha)};
  static const std::vector<PropEntry> kDisplacement{FS_PROP("mapBitmap", kMapBitmap),
                                                    FS_PROP("mapPoint", kMapPoint),
                                                    FS_PROP("componentX", kComponentX),
                                                    FS_PROP("componentY", kComponentY),
                                                    FS_PROP("scaleX", kScaleX),
                                                    FS_PROP("scaleY", kScaleY),
                                                    FS_PROP("mode", kMode),
                                                    FS_PROP("color", kColor),
                                                    FS_PROP("alpha", kAlpha)};
  switch (kind) {
    case Kind::kDropShadow:
      return kShadow;
    case Kind::kBlur:
      return kBlur;
    case Kind::kGlow:
      return kGlow;
    case Kind::kBevel:
      return kBevel;
    case Kind::kGradientGlow:
    case Kind::kGradientBevel:
      return kGradient;
    case Kind::kColorMatrix:
      return kColorMatrix;
    case Kind::kConvolution:
      return kConvolution;
    case Kind::kDisplacementMap:
      return kDisplacement;
  }
  return kBlur;
}
#undef FS_PROP

// The constructor's defaults that differ from FilterObject's own.
void SetDefaults(FilterObject& f) {
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

FilterObject* NewFilter(Vm& vm, Kind kind, Object* callee = nullptr) {
  auto* f = vm.New<FilterObject>(kind);
  SetDefaults(*f);
  Object* proto = callee ? vm.GetMember(callee, "prototype").AsObject() : nullptr;
  if (!proto) proto = ProtoOf(vm, kind);
  f->Define("__proto__", proto);
  f->Define("__constructor__", vm.GetMember(proto, "constructor"));
  return f;
}

template <Kind K>
Value Construct(Vm& vm, const CallArgs& c) {
  FilterObject* f = NewFilter(vm, K, c.callee);
  const auto& props = PropsOf(K);
  // Only missing arguments keep their defaults; an undefined one is converted like any value.
  for (size_t i = 0; i < props.size() && i < c.args.size(); ++i) {
    Set(vm, *f, props[i].prop, c.args[i]);
  }
  if (K == Kind::kConvolution && !c.args.empty()) {
    // The constructor sizes the matrix to matrixX by matrixY; without a divisor it divides
    // by the matrix's sum.
    f->matrix.resize(static_cast<size_t>(f->matrix_x) * static_cast<size_t>(f->matrix_y), 0.0);
    if (c.args.size() < 4) {
      f->divisor = 0;
      for (double m : f->matrix) f->divisor += m;
    }
  }
  return f;
}

Value Clone(Vm& vm, const CallArgs& c) {
  FilterObject* f = This(c);
  if (!f) return Value();
  FilterObject* copy = NewFilter(vm, f->kind);
  // Every field but the object's own properties: the values the class keeps.
  copy->distance = f->distance, copy->angle = f->angle, copy->color = f->color;
  copy->alpha = f->alpha, copy->highlight_color = f->highlight_color;
  copy->highlight_alpha = f->highlight_alpha, copy->blur_x = f->blur_x, copy->blur_y = f->blur_y;
  copy->strength = f->strength, copy->quality = f->quality, copy->inner = f->inner;
  copy->knockout = f->knockout, copy->hide_object = f->hide_object, copy->type = f->type;
  copy->gradient = f->gradient, copy->stops = f->stops;
  copy->matrix_x = f->matrix_x, copy->matrix_y = f->matrix_y, copy->matrix = f->matrix;
  copy->divisor = f->divisor, copy->bias = f->bias, copy->preserve_alpha = f->preserve_alpha;
  copy->clamp = f->clamp, copy->colour_matrix = f->colour_matrix;
  copy->map_bitmap = f->map_bitmap, copy->map_point = f->map_point;
  copy->component_x = f->component_x, copy->component_y = f->component_y;
  copy->scale_x = f->scale_x, copy->scale_y = f->scale_y, copy->mode = f->mode;
  return copy;
}

Value BaseConstruct(Vm&, const CallArgs& c) { return c.this_obj; }

void Accessor(Vm& vm, Object* proto, const char* name, avm1::NativeFn get, avm1::NativeFn set,
              uint16_t flags = avm1::prop_flag::kDontEnum) {
  // A property the class already lists keeps its place in the listing order.
  avm1::Property* existing = proto->FindOwn(name, true);
  avm1::Property& p = existing ? *existing : proto->SetOwn(name, Value(), true);
  p.value = Value();
  p.virtual_property = true;
  p.getter = vm.NewNative(get);
  p.setter = set ? vm.NewNative(set) : nullptr;
  if (!existing) p.flags = flags;
}

// Alpha truncates to its byte, as the player stores it.
Rgba ToRgba(uint32_t rgb, double alpha) {
  return Rgba{static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
              static_cast<uint8_t>(rgb), static_cast<uint8_t>(Clamp(alpha, 0, 1) * 255 + 1e-7)};
}
uint32_t RgbOf(Rgba c) { return static_cast<uint32_t>(c.r << 16 | c.g << 8 | c.b); }
double Finite(double v) { return std::isfinite(v) ? v : 0; }
// A fixed-point value with `one` steps per unit, as the record stores it.
double Fixed(double v, double one) {
  return std::trunc(std::clamp(Finite(v) * one, -2147483648.0, 2147483647.0)) / one;
}

}  // namespace

void InstallFilterClasses(Vm& vm) {
  Object* flash = avm1::FlashPackage(vm);
  Object* package = vm.NewObject();
  flash->Define("filters", package, avm1::prop_flag::kDontEnum);

  Object* base_proto = vm.NewObject();
  vm.DefineMethod(base_proto, "clone", Clone);
  auto* base = vm.NewNative(BaseConstruct);
  base->Define("prototype", base_proto);
  base_proto->Define("constructor", base);
  package->Define("BitmapFilter", base);

  static constexpr avm1::NativeFn kConstructors[] = {
      Construct<Kind::kDropShadow>,     Construct<Kind::kBlur>,
      Construct<Kind::kGlow>,           Construct<Kind::kBevel>,
      Construct<Kind::kGradientGlow>,   Construct<Kind::kGradientBevel>,
      Construct<Kind::kColorMatrix>,    Construct<Kind::kConvolution>,
      Construct<Kind::kDisplacementMap>};
  for (size_t i = 0; i < std::size(kClassNames); ++i) {
    Object* proto = vm.NewObject(base_proto);
    auto* ctor = vm.NewNative(kConstructors[i], kConstructors[i]);
    ctor->Define("prototype", proto);
    proto->Define("constructor", ctor);
    for (const PropEntry& p : PropsOf(static_cast<Kind>(i))) {
      Accessor(vm, proto, p.name, p.get, p.set);
    }
    package->Define(kClassNames[i], ctor);
  }
}

std::optional<Filter> FilterOfObject(const Value& value) {
  const auto* f = dynamic_cast<const FilterObject*>(value.AsObject());
  if (!f || f->kind == Kind::kDisplacementMap) return std::nullopt;
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
          const FilterObject::Stop& stop = f->gradient[i];
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

Value ObjectOfFilter(Vm& vm, const Filter& in) {
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
  FilterObject* f = NewFilter(vm, kind);
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
  return f;
}

namespace {

constexpr const char* kBlendNames[] = {"normal",  "normal", "layer",      "multiply", "screen",
                                       "lighten", "darken", "difference", "add",      "subtract",
                                       "invert",  "alpha",  "erase",      "overlay",  "hardlight"};

// The display object behind a clip's or a text field's script object; null for the root,
// which has none, and for detached objects.
DisplayObject* TargetOf(const CallArgs& c) {
  if (Clip* clip = ScriptHost::ClipOf(c.this_obj)) return clip->owner;
  if (auto* t = dynamic_cast<TextFieldObject*>(c.this_obj)) return t->field;
  return nullptr;
}

Value GetFilters(Vm& vm, const CallArgs& c) {
  // Read from anything but a clip or a text field (a prototype, say) there is nothing.
  if (!ScriptHost::ClipOf(c.this_obj) && !dynamic_cast<TextFieldObject*>(c.this_obj)) {
    return Value();
  }
  std::vector<Value> items;
  if (DisplayObject* o = TargetOf(c)) {
    for (const Filter& f : o->filters) items.push_back(ObjectOfFilter(vm, f));
  }
  return vm.NewArray(items);
}

Value SetFilters(Vm& vm, const CallArgs& c) {
  DisplayObject* o = TargetOf(c);
  if (!o) return Value();
  std::vector<Filter> filters;
  for (const Value& item : Items(vm, c.Arg(0))) {
    if (filters.size() >= kMaxFiltersPerObject) break;
    if (auto f = FilterOfObject(item)) filters.push_back(std::move(*f));
  }
  o->filters = std::move(filters);
  return Value();
}

Value GetBlendMode(Vm&, const CallArgs& c) {
  DisplayObject* o = TargetOf(c);
  return Value(BlendModeName(o ? o->blend_mode.value_or(1) : 1));
}

Value SetBlendMode(Vm& vm, const CallArgs& c) {
  DisplayObject* o = TargetOf(c);
  if (!o) return Value();
  if (auto mode = BlendModeFromValue(vm, c.Arg(0))) {
    // Normal draws without a layer of its own, as an object placed without a mode does.
    o->blend_mode = *mode == 1 ? std::nullopt : std::optional<uint8_t>(*mode);
  }
  return Value();
}

Value GetCache(Vm&, const CallArgs& c) {
  DisplayObject* o = TargetOf(c);
  return Value(o && o->cache_as_bitmap);
}

Value SetCache(Vm& vm, const CallArgs& c) {
  if (DisplayObject* o = TargetOf(c)) o->cache_as_bitmap = vm.ToBool(c.Arg(0));
  return Value();
}

}  // namespace

const char* BlendModeName(uint8_t mode) {
  return mode < std::size(kBlendNames) ? kBlendNames[mode] : "normal";
}

std::optional<uint8_t> BlendModeFromValue(Vm& vm, const Value& value) {
  if (value.IsString()) {
    const std::string name = vm.ToString(value);
    for (uint8_t i = 1; i < std::size(kBlendNames); ++i) {
      if (name == kBlendNames[i]) return i;
    }
    return std::nullopt;
  }
  if (!value.IsNumber()) return std::nullopt;
  // Whole part; 0 is normal too.
  const double n = std::trunc(value.AsNumber());
  if (n >= 0 && n <= 14) return static_cast<uint8_t>(std::max(n, 1.0));
  return std::nullopt;
}

void InstallEffectProperties(ScriptHost& host) {
  Vm& vm = host.vm();
  InstallFilterClasses(vm);
  constexpr uint16_t kFlags = avm1::prop_flag::kDontEnum | avm1::prop_flag::kVersion8;
  for (const char* cls : {"MovieClip", "TextField"}) {
    Object* proto = vm.GetMember(vm.GetMember(vm.global(), cls).AsObject(), "prototype").AsObject();
    if (!proto) continue;
    Accessor(vm, proto, "filters", GetFilters, SetFilters, kFlags);
    if (std::string_view(cls) == "MovieClip") {
      Accessor(vm, proto, "blendMode", GetBlendMode, SetBlendMode, kFlags);
      Accessor(vm, proto, "cacheAsBitmap", GetCache, SetCache, kFlags);
    }
  }
}

}  // namespace flashsaver
