// The flash.filters classes: each object keeps the values as scripts set them (clamped as the
// player clamps them), and converts to the renderer's Filter when a display object takes it.
#include "player/avm1/builtins/builtins.h"
#include "player/avm1/display/filter_classes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "player/avm1/heap.h"
#include "player/display/control_records.h"
#include "player/avm1/display/script_host.h"
#include "player/display/filter_values.h"

namespace flashsaver {
namespace {

using avm1::CallArgs;
using avm1::Object;
using avm1::Value;
using avm1::Vm;

using Kind = FilterClass;
constexpr const auto& kClassNames = kFilterClassNames;

constexpr double kRadians = std::numbers::pi / 180;

class FilterObject final : public Object, public FilterValues {
 public:
  explicit FilterObject(Kind k) : Object(avm1::ObjectKind::kOther), FilterValues(k) {}
  using FilterValues::kind;
  Value map_bitmap, map_point;

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

double Clamp(double v, double lo, double hi) { return ClampFilterNumber(v, lo, hi); }
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

using Prop = FilterProp;

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
    case Prop::kType:
      SetBevelType(f, vm.ToString(v));
      break;
    case Prop::kColors: {
      if (!v.AsObject()) break;
      std::vector<uint32_t> rgbs;
      for (const Value& item : Items(vm, v)) rgbs.push_back(Rgb(vm, item));
      SetGradientColours(f, rgbs);
      break;
    }
    case Prop::kAlphas:
    case Prop::kRatios: {
      if (!v.AsObject()) break;
      std::vector<double> numbers;
      for (const Value& item : Items(vm, v)) numbers.push_back(vm.ToNumber(item));
      if (p == Prop::kAlphas) {
        SetGradientAlphas(f, numbers);
      } else {
        SetGradientRatios(f, numbers);
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
    case Prop::kMode:
      SetDisplacementMode(f, vm.ToString(v));
      break;
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

template <size_t... I>
constexpr std::array<std::pair<avm1::NativeFn, avm1::NativeFn>, sizeof...(I)> Accessors(
    std::index_sequence<I...>) {
  return {std::pair<avm1::NativeFn, avm1::NativeFn>{&Getter<static_cast<Prop>(I)>,
                                                    &Setter<static_cast<Prop>(I)>}...};
}

// Each class's properties in its constructor's argument order, with their natives.
const std::vector<PropEntry>& PropsOf(Kind kind) {
  static constexpr auto kAccessors = Accessors(std::make_index_sequence<kFilterPropCount>());
  static const auto kTables = [] {
    std::array<std::vector<PropEntry>, std::size(kFilterClassNames)> tables;
    for (size_t k = 0; k < tables.size(); ++k) {
      for (const FilterPropName& p : FilterPropsOf(static_cast<Kind>(k))) {
        const auto& [get, set] = kAccessors[static_cast<size_t>(p.prop)];
        tables[k].push_back({p.name, p.prop, get, set});
      }
    }
    return tables;
  }();
  return kTables[static_cast<size_t>(kind)];
}

FilterObject* NewFilter(Vm& vm, Kind kind, Object* callee = nullptr) {
  auto* f = vm.New<FilterObject>(kind);
  SetFilterDefaults(*f);
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
  // Every value the class keeps, but not the object's own properties.
  static_cast<FilterValues&>(*copy) = *f;
  copy->map_bitmap = f->map_bitmap, copy->map_point = f->map_point;
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
  if (!f) return std::nullopt;
  return FilterOfValues(*f);
}

Value ObjectOfFilter(Vm& vm, const Filter& in) {
  const FilterValues values = ValuesOfFilter(in);
  FilterObject* f = NewFilter(vm, values.kind);
  static_cast<FilterValues&>(*f) = values;
  return f;
}

namespace {

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

std::optional<uint8_t> BlendModeFromValue(Vm& vm, const Value& value) {
  if (value.IsString()) {
    return BlendModeFromName(vm.ToString(value));
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
