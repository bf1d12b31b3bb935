// Color: tints a clip through its colour transform (setRGB, setTransform) and reads it back.
// The target is kept as given, a clip or a path, and found again at each call, as the player
// does: a Color outlives a clip that goes and works on a new one of the same path.
#include <cmath>

#include "player/avm1/display/script_host.h"

namespace flashsaver {
namespace {

using avm1::CallArgs;
using avm1::Object;
using avm1::Value;
using avm1::Vm;

// The target is the object's own `target` property, read at each call: a script may give any
// object one and call the methods on it.
DisplayObject* TargetOf(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return nullptr;
  Value target = vm.GetMember(c.this_obj, "target");
  if (target.IsUndefined()) return nullptr;
  Object* clip_object = target.AsObject();
  if (!clip_object || clip_object->kind() != avm1::ObjectKind::kClip) {
    clip_object = vm.ResolveTarget(vm.CurrentTarget(), vm.ToString(target));
  }
  Clip* clip = ScriptHost::ClipOf(clip_object);
  return clip ? clip->owner : nullptr;
}

Value Construct(Vm& vm, const CallArgs& c) {
  Object* proto = vm.GetMember(c.callee, "prototype").AsObject();
  Object* color = vm.NewObject(proto ? proto : vm.object_proto);
  color->Define(
      "target", c.Arg(0),
      avm1::prop_flag::kDontEnum | avm1::prop_flag::kDontDelete | avm1::prop_flag::kReadOnly);
  return color;
}

// A colour-transform term from a script's number as setTransform stores it (the _alpha property
// clamps instead): the number made an integer (anything past the 32-bit range, NaN and the
// infinities give the integers' "none", whose low bits are zero) and cut to 16 bits, so 32768 wraps
// to -32768.
inline int16_t ColorTerm(double n) {
  if (!(std::fabs(n) < 2147483648.0)) return 0;
  return static_cast<int16_t>(
      static_cast<uint16_t>(static_cast<uint32_t>(static_cast<int32_t>(n))));
}

Value SetRgb(Vm& vm, const CallArgs& c) {
  DisplayObject* o = TargetOf(vm, c);
  if (!o) return Value();
  const auto rgb = static_cast<uint32_t>(vm.ToInt(c.Arg(0)));
  ColorTransform& t = o->color;
  t.r_mult = t.g_mult = t.b_mult = 0;
  t.r_add = static_cast<int16_t>((rgb >> 16) & 0xFF);
  t.g_add = static_cast<int16_t>((rgb >> 8) & 0xFF);
  t.b_add = static_cast<int16_t>(rgb & 0xFF);
  return Value();
}

Value GetRgb(Vm& vm, const CallArgs& c) {
  DisplayObject* o = TargetOf(vm, c);
  if (!o) return Value();
  const ColorTransform& t = o->color;
  return static_cast<double>(((t.r_add & 0xFF) << 16) | ((t.g_add & 0xFF) << 8) | (t.b_add & 0xFF));
}

// Percentages (ra, ga, ba, aa) and offsets (rb, gb, bb, ab); absent ones stay as they are.
Value SetTransform(Vm& vm, const CallArgs& c) {
  DisplayObject* o = TargetOf(vm, c);
  Object* terms = c.Arg(0).AsObject();
  if (!o || !terms) return Value();
  ColorTransform& t = o->color;
  auto set = [&](const char* name, int16_t& field, double scale) {
    // Only the object's own terms count, not those of its prototypes.
    if (terms->FindOwn(name, vm.case_sensitive()))
      field = ColorTerm(vm.ToNumber(vm.GetMember(terms, name)) * scale);
  };
  set("ra", t.r_mult, 2.56);
  set("ga", t.g_mult, 2.56);
  set("ba", t.b_mult, 2.56);
  set("aa", t.a_mult, 2.56);
  set("rb", t.r_add, 1);
  set("gb", t.g_add, 1);
  set("bb", t.b_add, 1);
  set("ab", t.a_add, 1);
  return Value();
}

Value GetTransform(Vm& vm, const CallArgs& c) {
  DisplayObject* o = TargetOf(vm, c);
  if (!o) return Value();
  const ColorTransform& t = o->color;
  Object* out = vm.NewObject();
  vm.SetMember(out, "ra", t.r_mult / 2.56);
  vm.SetMember(out, "rb", static_cast<double>(t.r_add));
  vm.SetMember(out, "ga", t.g_mult / 2.56);
  vm.SetMember(out, "gb", static_cast<double>(t.g_add));
  vm.SetMember(out, "ba", t.b_mult / 2.56);
  vm.SetMember(out, "bb", static_cast<double>(t.b_add));
  vm.SetMember(out, "aa", t.a_mult / 2.56);
  vm.SetMember(out, "ab", static_cast<double>(t.a_add));
  return out;
}

}  // namespace

void InstallColorClass(ScriptHost& host) {
  Vm& vm = host.vm();
  Object* proto = vm.NewObject();
  vm.DefineMethod(proto, "setRGB", SetRgb);
  vm.DefineMethod(proto, "getRGB", GetRgb);
  vm.DefineMethod(proto, "setTransform", SetTransform);
  vm.DefineMethod(proto, "getTransform", GetTransform);
  vm.DefineClass("Color", Construct, Construct, proto);
}

}  // namespace flashsaver
