// flash.filters for ActionScript 3. Each object keeps its values as the player's filter values
// (player/display/filter_values.*, shared with the ActionScript 1/2 classes); this file reads
// and writes them as properties. Angles are kept in degrees as scripts give them.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/display/filter_objects.h"
#include "player/avm2/display/geom_values.h"
#include "player/avm2/vm.h"
#include "player/display/filter_values.h"

namespace flashsaver::avm2 {
namespace {

using Prop = FilterProp;
constexpr double kDegrees = 180 / std::numbers::pi;

class FilterObject final : public BoxedObject {
 public:
  FilterObject(ClassObject* cls, Object* proto, FilterClass kind)
      : BoxedObject(cls, proto), values(kind) {
    SetFilterDefaults(values);
  }
  void Trace(Tracer& tracer) override {
    BoxedObject::Trace(tracer);
    tracer.Mark(map_bitmap);
    tracer.Mark(map_point);
  }
  FilterValues values;
  double angle = 45;  // degrees
  Value map_bitmap = Value::Null(), map_point = Value::Null();
};

// BitmapFilter itself and ShaderFilter: nothing the renderer draws.
class OtherFilterObject final : public BoxedObject {
 public:
  using BoxedObject::BoxedObject;
  void Trace(Tracer& tracer) override {
    BoxedObject::Trace(tracer);
    tracer.Mark(shader);
  }
  Value shader = Value::Null();
};

FilterObject* This(Vm& vm, const Value& self) {
  return ThisAs<FilterObject>(vm, self, "flash.filters.BitmapFilter");
}

uint32_t Rgb(Vm& vm, const Value& v) { return vm.ToUint32(v) & 0xFFFFFF; }

std::vector<Value> Items(Vm& vm, const Value& v) {
  std::vector<Value> out;
  if (v.IsNullish()) return out;
  const uint32_t n = std::min<uint32_t>(vm.ToUint32(vm.GetProperty(v, "length")), 1024);
  for (uint32_t i = 0; i < n; ++i) out.push_back(vm.GetProperty(v, std::to_string(i)));
  return out;
}
template <typename T>
Value ArrayOf(Vm& vm, const std::vector<T>& items) {
  std::vector<Value> values;
  for (T v : items) values.emplace_back(static_cast<double>(v));
  return Value(static_cast<Object*>(vm.NewArray(std::move(values))));
}

Value Get(Vm& vm, FilterObject& o, Prop p) {
  const FilterValues& f = o.values;
  switch (p) {
    case Prop::kDistance:
      return Value(f.distance);
    case Prop::kAngle:
      return Value(o.angle);
    case Prop::kColor:
      return Value(f.color);
    case Prop::kAlpha:
      return Value(f.alpha);
    case Prop::kHighlightColor:
      return Value(f.highlight_color);
    case Prop::kHighlightAlpha:
      return Value(f.highlight_alpha);
    case Prop::kBlurX:
      return Value(f.blur_x);
    case Prop::kBlurY:
      return Value(f.blur_y);
    case Prop::kStrength:
      return Value(f.strength);
    case Prop::kQuality:
      return Value(static_cast<int32_t>(f.quality));
    case Prop::kInner:
      return Value(f.inner);
    case Prop::kKnockout:
      return Value(f.knockout);
    case Prop::kHideObject:
      return Value(f.hide_object);
    case Prop::kType:
      return Value(Str::FromUtf8(f.type));
    case Prop::kColors:
    case Prop::kAlphas:
    case Prop::kRatios: {
      std::vector<double> items;
      for (size_t i = 0; i < f.stops; ++i) {
        const FilterValues::Stop& stop = f.gradient[i];
        items.push_back(p == Prop::kColors   ? stop.rgb
                        : p == Prop::kAlphas ? stop.alpha
                                             : stop.ratio);
      }
      return ArrayOf(vm, items);
    }
    case Prop::kMatrixX:
      return Value(static_cast<int32_t>(f.matrix_x));
    case Prop::kMatrixY:
      return Value(static_cast<int32_t>(f.matrix_y));
    case Prop::kMatrix:
      if (f.kind == FilterClass::kColorMatrix) {
        return ArrayOf(vm, std::vector<double>(f.colour_matrix.begin(), f.colour_matrix.end()));
      }
      return ArrayOf(vm, f.matrix);
    case Prop::kDivisor:
      return Value(f.divisor);
    case Prop::kBias:
      return Value(f.bias);
    case Prop::kPreserveAlpha:
      return Value(f.preserve_alpha);
    case Prop::kClamp:
      return Value(f.clamp);
    case Prop::kMapBitmap:
      return o.map_bitmap;
    case Prop::kMapPoint:
      return o.map_point.IsNullish() ? NewPoint(vm, 0, 0) : o.map_point;
    case Prop::kComponentX:
      return Value(static_cast<uint32_t>(f.component_x));
    case Prop::kComponentY:
      return Value(static_cast<uint32_t>(f.component_y));
    case Prop::kScaleX:
      return Value(f.scale_x);
    case Prop::kScaleY:
      return Value(f.scale_y);
    case Prop::kMode:
      return Value(Str::FromUtf8(f.mode));
  }
  return Value();
}

void Set(Vm& vm, FilterObject& o, Prop p, const Value& v) {
  FilterValues& f = o.values;
  switch (p) {
    case Prop::kDistance:
      f.distance = vm.ToNumber(v);
      break;
    case Prop::kAngle:
      o.angle = std::fmod(vm.ToNumber(v), 360.0);
      f.angle = o.angle / kDegrees;
      break;
    case Prop::kColor:
      f.color = Rgb(vm, v);
      break;
    case Prop::kAlpha:
      f.alpha = ClampFilterNumber(vm.ToNumber(v), 0, 1);
      break;
    case Prop::kHighlightColor:
      f.highlight_color = Rgb(vm, v);
      break;
    case Prop::kHighlightAlpha:
      f.highlight_alpha = ClampFilterNumber(vm.ToNumber(v), 0, 1);
      break;
    case Prop::kBlurX:
      f.blur_x = ClampKeepingNaN(vm.ToNumber(v), 0, 255);
      break;
    case Prop::kBlurY:
      f.blur_y = ClampKeepingNaN(vm.ToNumber(v), 0, 255);
      break;
    case Prop::kStrength:
      f.strength = ClampFilterNumber(vm.ToNumber(v), 0, 255);
      break;
    case Prop::kQuality:
      f.quality = std::clamp(vm.ToInt32(v), 0, 15);
      break;
    case Prop::kInner:
      f.inner = Vm::ToBoolean(v);
      break;
    case Prop::kKnockout:
      f.knockout = Vm::ToBoolean(v);
      break;
    case Prop::kHideObject:
      f.hide_object = Vm::ToBoolean(v);
      break;
    case Prop::kType:
      SetBevelType(f, vm.ToString(v).ToUtf8());
      break;
    case Prop::kColors: {
      std::vector<uint32_t> rgbs;
      for (const Value& item : Items(vm, v)) rgbs.push_back(Rgb(vm, item));
      SetGradientColours(f, rgbs);
      break;
    }
    case Prop::kAlphas:
    case Prop::kRatios: {
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
      f.matrix_x = std::clamp(vm.ToInt32(v), 0, 15);
      break;
    case Prop::kMatrixY:
      f.matrix_y = std::clamp(vm.ToInt32(v), 0, 15);
      break;
    case Prop::kMatrix: {
      const std::vector<Value> items = Items(vm, v);
      if (f.kind == FilterClass::kColorMatrix) {
        // A null matrix is the identity; missing entries are 0.
        if (v.IsNullish()) {
          f.colour_matrix = kIdentityColourMatrix;
          break;
        }
        for (size_t i = 0; i < f.colour_matrix.size(); ++i) {
          f.colour_matrix[i] = i < items.size() ? vm.ToNumber(items[i]) : 0;
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
      f.preserve_alpha = Vm::ToBoolean(v);
      break;
    case Prop::kClamp:
      f.clamp = Vm::ToBoolean(v);
      break;
    case Prop::kMapBitmap:
      o.map_bitmap = v.IsUndefined() ? Value::Null() : v;
      break;
    case Prop::kMapPoint:
      o.map_point = v.IsUndefined() ? Value::Null() : v;
      break;
    case Prop::kComponentX:
      f.component_x = static_cast<int>(vm.ToUint32(v) & 0xF);
      break;
    case Prop::kComponentY:
      f.component_y = static_cast<int>(vm.ToUint32(v) & 0xF);
      break;
    case Prop::kScaleX:
      f.scale_x = vm.ToNumber(v);
      break;
    case Prop::kScaleY:
      f.scale_y = vm.ToNumber(v);
      break;
    case Prop::kMode:
      SetDisplacementMode(f, vm.ToString(v).ToUtf8());
      break;
  }
}

template <Prop P>
Value GetProp(Vm& vm, const Value& self, std::span<const Value>) {
  return Get(vm, *This(vm, self), P);
}
template <Prop P>
Value SetProp(Vm& vm, const Value& self, std::span<const Value> args) {
  Set(vm, *This(vm, self), P, Arg(args, 0));
  return Value();
}
template <size_t... I>
constexpr std::array<std::pair<NativeFn, NativeFn>, sizeof...(I)> Accessors(
    std::index_sequence<I...>) {
  return {std::pair<NativeFn, NativeFn>{&GetProp<static_cast<Prop>(I)>,
                                        &SetProp<static_cast<Prop>(I)>}...};
}
constexpr auto kAccessors = Accessors(std::make_index_sequence<kFilterPropCount>());

template <FilterClass K>
Object* Create(Vm& vm, ClassObject* cls) {
  return vm.heap().New<FilterObject>(cls, cls->prototype, K);
}

template <FilterClass K>
Value Construct(Vm& vm, const Value& self, std::span<const Value> args) {
  FilterObject* f = This(vm, self);
  const auto props = FilterPropsOf(K);
  // Only missing arguments keep their defaults.
  for (size_t i = 0; i < props.size() && i < args.size(); ++i) Set(vm, *f, props[i].prop, args[i]);
  if (K == FilterClass::kConvolution && !args.empty()) {
    // The constructor sizes the matrix to matrixX by matrixY; without a divisor it divides by
    // the matrix's sum.
    FilterValues& v = f->values;
    v.matrix.resize(static_cast<size_t>(v.matrix_x) * static_cast<size_t>(v.matrix_y), 0.0);
    if (args.size() < 4) {
      v.divisor = 0;
      for (double m : v.matrix) v.divisor += m;
    }
  }
  return Value();
}

Value Clone(Vm& vm, const Value& self, std::span<const Value>) {
  FilterObject* f = This(vm, self);
  Value copy = vm.Construct(Value(static_cast<Object*>(f->cls())), {});
  auto* c = dynamic_cast<FilterObject*>(copy.AsObject());
  if (!c) return copy;
  c->values = f->values;
  c->angle = f->angle;
  c->map_bitmap = f->map_bitmap;
  c->map_point = f->map_point;
  return copy;
}

Object* CreateOther(Vm& vm, ClassObject* cls) {
  return vm.heap().New<OtherFilterObject>(cls, cls->prototype);
}
Value OtherClone(Vm& vm, const Value& self, std::span<const Value>) {
  auto* f = ThisAs<OtherFilterObject>(vm, self, "flash.filters.BitmapFilter");
  Value copy = vm.Construct(Value(static_cast<Object*>(f->cls())), {});
  if (auto* c = dynamic_cast<OtherFilterObject*>(copy.AsObject())) c->shader = f->shader;
  return copy;
}
Value Shader(Vm& vm, const Value& self, std::span<const Value>) {
  return ThisAs<OtherFilterObject>(vm, self, "flash.filters.ShaderFilter")->shader;
}
Value SetShader(Vm& vm, const Value& self, std::span<const Value> args) {
  ThisAs<OtherFilterObject>(vm, self, "flash.filters.ShaderFilter")->shader = Arg(args, 0);
  return Value();
}
Value ShaderConstruct(Vm& vm, const Value& self, std::span<const Value> args) {
  if (!args.empty()) SetShader(vm, self, args);
  return Value();
}
Value Zero(Vm&, const Value&, std::span<const Value>) { return Value(0); }
Value Ignore(Vm&, const Value&, std::span<const Value>) { return Value(); }

template <FilterClass K>
NativeClass FilterClassSpec() {
  NativeClass c;
  c.package = "flash.filters";
  c.name = kFilterClassNames[static_cast<size_t>(K)];
  c.super_name = "flash.filters::BitmapFilter";
  c.flags = class_flag::kFinal;
  c.create = Create<K>;
  c.constructor = Construct<K>;
  c.constructor_length = static_cast<int>(FilterPropsOf(K).size());
  c.instance.push_back(Method("clone", Clone));
  for (const FilterPropName& p : FilterPropsOf(K)) {
    const auto& [get, set] = kAccessors[static_cast<size_t>(p.prop)];
    c.instance.push_back(Getter(p.name, get));
    c.instance.push_back(Setter(p.name, set));
  }
  return c;
}

NativeClass ConstantsClass(const char* name, std::vector<NativeMember> statics) {
  NativeClass c;
  c.package = "flash.filters";
  c.name = name;
  c.flags = class_flag::kFinal | class_flag::kSealed;
  c.statics = std::move(statics);
  return c;
}

}  // namespace

std::span<const NativeClass* const> FilterClasses() {
  static const NativeClass kBase = [] {
    NativeClass c;
    c.package = "flash.filters";
    c.name = "BitmapFilter";
    c.create = CreateOther;
    c.instance = {Method("clone", OtherClone)};
    return c;
  }();
  static const NativeClass kShader = [] {
    NativeClass c;
    c.package = "flash.filters";
    c.name = "ShaderFilter";
    c.super_name = "flash.filters::BitmapFilter";
    c.create = CreateOther;
    c.constructor = ShaderConstruct;
    c.constructor_length = 1;
    c.instance = {Getter("shader", Shader), Setter("shader", SetShader)};
    for (const char* side :
         {"leftExtension", "rightExtension", "topExtension", "bottomExtension"}) {
      c.instance.push_back(Getter(side, Zero));
      c.instance.push_back(Setter(side, Ignore));
    }
    return c;
  }();
  static const NativeClass kClasses[] = {FilterClassSpec<FilterClass::kDropShadow>(),
                                         FilterClassSpec<FilterClass::kBlur>(),
                                         FilterClassSpec<FilterClass::kGlow>(),
                                         FilterClassSpec<FilterClass::kBevel>(),
                                         FilterClassSpec<FilterClass::kGradientGlow>(),
                                         FilterClassSpec<FilterClass::kGradientBevel>(),
                                         FilterClassSpec<FilterClass::kColorMatrix>(),
                                         FilterClassSpec<FilterClass::kConvolution>(),
                                         FilterClassSpec<FilterClass::kDisplacementMap>()};
  // The string and number constants of the filter arguments.
  static const NativeClass kQuality =
      ConstantsClass("BitmapFilterQuality",
                     {Const("LOW", Value(1)), Const("MEDIUM", Value(2)), Const("HIGH", Value(3))});
  static const NativeClass kType =
      ConstantsClass("BitmapFilterType",
                     {Const("INNER", Value(Str(u"inner"))), Const("OUTER", Value(Str(u"outer"))),
                      Const("FULL", Value(Str(u"full")))});
  static const NativeClass kMode = ConstantsClass(
      "DisplacementMapFilterMode",
      {Const("WRAP", Value(Str(u"wrap"))), Const("CLAMP", Value(Str(u"clamp"))),
       Const("IGNORE", Value(Str(u"ignore"))), Const("COLOR", Value(Str(u"color")))});
  static const auto kList = [] {
    std::vector<const NativeClass*> l{&kBase, &kShader, &kQuality, &kType, &kMode};
    for (const NativeClass& c : kClasses) l.push_back(&c);
    return l;
  }();
  return kList;
}

bool IsFilterObject(const Value& value) {
  Object* o = value.AsObject();
  return dynamic_cast<FilterObject*>(o) || dynamic_cast<OtherFilterObject*>(o);
}

std::optional<Filter> FilterOfObject(const Value& value) {
  auto* f = dynamic_cast<FilterObject*>(value.AsObject());
  if (!f) return std::nullopt;
  return FilterOfValues(f->values);
}

Value ObjectOfFilter(Vm& vm, const Filter& filter) {
  FilterValues values = ValuesOfFilter(filter);
  const std::string name =
      std::string("flash.filters::") + kFilterClassNames[static_cast<size_t>(values.kind)];
  ClassObject* cls = vm.FindClass(name);
  if (!cls) return Value::Null();
  Value object = vm.Construct(Value(static_cast<Object*>(cls)), {});
  if (auto* f = dynamic_cast<FilterObject*>(object.AsObject())) {
    f->values = std::move(values);
    f->angle = f->values.angle * kDegrees;
  }
  return object;
}

std::optional<DisplacementSettings> DisplacementOfObject(Vm& vm, const Value& value) {
  auto* f = dynamic_cast<FilterObject*>(value.AsObject());
  if (!f || f->values.kind != FilterClass::kDisplacementMap) return std::nullopt;
  DisplacementSettings d;
  d.map_bitmap = f->map_bitmap;
  if (!f->map_point.IsNullish()) std::tie(d.map_x, d.map_y) = ReadPoint(vm, f->map_point);
  d.component_x = static_cast<uint32_t>(f->values.component_x);
  d.component_y = static_cast<uint32_t>(f->values.component_y);
  d.scale_x = f->values.scale_x;
  d.scale_y = f->values.scale_y;
  const std::string& m = f->values.mode;
  d.mode = m == "clamp" ? 1 : m == "ignore" ? 2 : m == "color" ? 3 : 0;
  d.colour = static_cast<uint32_t>(std::lround(ClampFilterNumber(f->values.alpha, 0, 1) * 255))
                 << 24 |
             f->values.color;
  return d;
}

std::vector<Filter> FiltersOfArray(Vm& vm, const Value& array) {
  std::vector<Filter> out;
  for (const Value& item : Items(vm, array)) {
    if (!IsFilterObject(item)) {
      vm.Throw(vm.MakeErrorWithText(
          ErrorType::kArgumentError, 2005,
          "Error #2005: Parameter 0 is of the incorrect type. Should be type Filter."));
    }
    if (auto f = FilterOfObject(item)) out.push_back(std::move(*f));
  }
  return out;
}

Value ArrayOfFilters(Vm& vm, std::span<const Filter> filters) {
  std::vector<Value> items;
  for (const Filter& f : filters) items.push_back(ObjectOfFilter(vm, f));
  return Value(static_cast<Object*>(vm.NewArray(std::move(items))));
}

Value CloneFilter(Vm& vm, const Value& filter) {
  if (!IsFilterObject(filter)) return Value::Null();
  return vm.CallMethod(filter, "clone", {});
}

}  // namespace flashsaver::avm2
