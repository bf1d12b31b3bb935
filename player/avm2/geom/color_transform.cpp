// flash.geom.ColorTransform: per-channel multipliers and offsets as Number slots.
#include <cmath>

#include "player/avm2/geom/geom.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

constexpr const char* kColorTransform = "flash.geom::ColorTransform";
// Slots: the four multipliers (red, green, blue, alpha), then the four offsets.
constexpr uint32_t kMul = 0, kOff = 4;
const char* const kNames[8] = {"redMultiplier",   "greenMultiplier", "blueMultiplier",
                               "alphaMultiplier", "redOffset",       "greenOffset",
                               "blueOffset",      "alphaOffset"};

Object* C(Vm& vm, const Value& self) { return GeomThis(vm, self, kColorTransform); }

Value Init(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* c = C(vm, self);
  for (uint32_t i = 0; i < 8; ++i) GeomSet(c, i, ArgNumber(vm, args, i, i < 4 ? 1 : 0));
  return Value();
}
// The offsets as an RGB colour.
Value GetColor(Vm& vm, const Value& self, std::span<const Value>) {
  Object* c = C(vm, self);
  auto part = [&](uint32_t i) { return DoubleToUint32(GeomGet(c, kOff + i)) & 0xFF; };
  return Value((part(0) << 16) | (part(1) << 8) | part(2));
}
// Setting the colour makes a solid tint: no multiplier, the colour as offsets; alpha stays.
Value SetColor(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* c = C(vm, self);
  uint32_t rgb = ArgUInt(vm, args, 0);
  const double parts[3] = {static_cast<double>((rgb >> 16) & 0xFF),
                           static_cast<double>((rgb >> 8) & 0xFF), static_cast<double>(rgb & 0xFF)};
  for (uint32_t i = 0; i < 3; ++i) {
    GeomSet(c, kMul + i, 0);
    GeomSet(c, kOff + i, parts[i]);
  }
  return Value();
}
// this = this ∘ second: second applies first.
Value Concat(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* c = C(vm, self);
  Object* s = GeomArg(vm, args, 0, kColorTransform);
  for (uint32_t i = 0; i < 4; ++i) {
    double m = GeomGet(c, kMul + i);
    GeomSet(c, kOff + i, GeomGet(c, kOff + i) + GeomGet(s, kOff + i) * m);
    GeomSet(c, kMul + i, m * GeomGet(s, kMul + i));
  }
  return Value();
}
Value ToStringFn(Vm& vm, const Value& self, std::span<const Value>) {
  Object* c = C(vm, self);
  std::u16string s = u"(";
  for (uint32_t i = 0; i < 8; ++i) {
    if (i) s += u", ";
    s += Utf8ToUtf16(kNames[i]) + u"=" + vm.ToString(Value(GeomGet(c, i))).str();
  }
  return Value(Str(s + u")"));
}

}  // namespace

const NativeClass& ColorTransformClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.geom";
    c.name = "ColorTransform";
    for (uint32_t i = 0; i < 8; ++i)
      c.instance.push_back(Slot(kNames[i], Value(i < 4 ? 1.0 : 0.0)).Typed("Number"));
    c.instance.push_back(Getter("color", GetColor));
    c.instance.push_back(Setter("color", SetColor));
    c.instance.push_back(Method("concat", Concat, 1).Needs(1));
    c.instance.push_back(Method("toString", ToStringFn));
    c.constructor = Init;
    c.constructor_length = 8;
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
