// flash.geom.Transform: a clip's matrix and colour transform as flash.geom objects, read and
// written through the display list; MovieClip.transform makes one for its clip.
#include <algorithm>
#include <cmath>

#include "player/avm1/builtins/builtins.h"
#include "player/avm1/display/script_host.h"

namespace flashsaver {
namespace {

using avm1::CallArgs;
using avm1::Object;
using avm1::Value;
using avm1::Vm;

class TransformObject final : public Object {
 public:
  TransformObject() : Object(avm1::ObjectKind::kOther) {}
  Object* clip = nullptr;
  void Trace(avm1::Tracer& tracer) override {
    Object::Trace(tracer);
    tracer.Mark(clip);
  }
};

DisplayObject* TargetOf(const CallArgs& c) {
  auto* t = c.this_obj && c.this_obj->kind() == avm1::ObjectKind::kOther
                ? dynamic_cast<TransformObject*>(c.this_obj)
                : nullptr;
  Clip* clip = t ? ScriptHost::ClipOf(t->clip) : nullptr;
  return clip ? clip->owner : nullptr;
}

Value GeomClass(Vm& vm, const char* name) {
  Object* geom = vm.GetMember(avm1::FlashPackage(vm), "geom").AsObject();
  return geom ? vm.GetMember(geom, name) : Value();
}

double Num(Vm& vm, Object* o, const char* name) { return vm.ToNumber(vm.GetMember(o, name)); }

Value MatrixValue(Vm& vm, const Matrix& m) {
  const Value args[] = {m.a, m.b, m.c, m.d, m.tx / 20, m.ty / 20};
  return vm.Construct(GeomClass(vm, "Matrix"), args);
}

Value ColorValue(Vm& vm, const ColorTransform& t) {
  const Value args[] = {t.r_mult / 256.0,
                        t.g_mult / 256.0,
                        t.b_mult / 256.0,
                        t.a_mult / 256.0,
                        static_cast<double>(t.r_add),
                        static_cast<double>(t.g_add),
                        static_cast<double>(t.b_add),
                        static_cast<double>(t.a_add)};
  return vm.Construct(GeomClass(vm, "ColorTransform"), args);
}

int16_t Term(double n) {
  return std::isfinite(n) ? static_cast<int16_t>(std::clamp(n, -32768.0, 32767.0)) : 0;
}

Value GetMatrix(Vm& vm, const CallArgs& c) {
  DisplayObject* o = TargetOf(c);
  return o ? MatrixValue(vm, o->matrix) : Value();
}
Value SetMatrix(Vm& vm, const CallArgs& c) {
  DisplayObject* o = TargetOf(c);
  Object* m = c.Arg(0).AsObject();
  if (!o || !m) return Value();
  const Matrix next{Num(vm, m, "a"), Num(vm, m, "b"),       Num(vm, m, "c"),
                    Num(vm, m, "d"), Num(vm, m, "tx") * 20, Num(vm, m, "ty") * 20};
  if (!std::isfinite(next.a + next.b + next.c + next.d + next.tx + next.ty)) return Value();
  o->matrix = next;
  o->has_script_transform = false;  // _xscale and friends come from the new matrix
  return Value();
}
Value GetConcatenatedMatrix(Vm& vm, const CallArgs& c) {
  DisplayObject* o = TargetOf(c);
  if (!o) return Value();
  Matrix m;
  for (const DisplayObject* d = o; d; d = d->parent ? d->parent->owner : nullptr) m = d->matrix * m;
  return MatrixValue(vm, m);
}
Value GetColor(Vm& vm, const CallArgs& c) {
  DisplayObject* o = TargetOf(c);
  return o ? ColorValue(vm, o->color) : Value();
}
Value SetColor(Vm& vm, const CallArgs& c) {
  DisplayObject* o = TargetOf(c);
  Object* t = c.Arg(0).AsObject();
  if (!o || !t) return Value();
  ColorTransform& ct = o->color;
  ct.r_mult = Term(Num(vm, t, "redMultiplier") * 256);
  ct.g_mult = Term(Num(vm, t, "greenMultiplier") * 256);
  ct.b_mult = Term(Num(vm, t, "blueMultiplier") * 256);
  ct.a_mult = Term(Num(vm, t, "alphaMultiplier") * 256);
  ct.r_add = Term(Num(vm, t, "redOffset"));
  ct.g_add = Term(Num(vm, t, "greenOffset"));
  ct.b_add = Term(Num(vm, t, "blueOffset"));
  ct.a_add = Term(Num(vm, t, "alphaOffset"));
  return Value();
}
Value GetConcatenatedColor(Vm& vm, const CallArgs& c) {
  DisplayObject* o = TargetOf(c);
  if (!o) return Value();
  ColorTransform t;
  for (const DisplayObject* d = o; d; d = d->parent ? d->parent->owner : nullptr) t = d->color * t;
  return ColorValue(vm, t);
}

Value Construct(Vm& vm, const CallArgs& c) {
  auto* t = vm.New<TransformObject>();
  Object* proto = vm.GetMember(c.callee, "prototype").AsObject();
  t->Define("__proto__", proto ? Value(proto) : Value(vm.object_proto), avm1::prop_flag::kDontEnum);
  if (ScriptHost::ClipOf(c.Arg(0).AsObject())) t->clip = c.Arg(0).AsObject();
  return static_cast<Object*>(t);
}

Value ClipTransform(Vm& vm, const CallArgs& c) {
  if (!ScriptHost::ClipOf(c.this_obj)) return Value();
  const Value arg(c.this_obj);
  return vm.Construct(GeomClass(vm, "Transform"), std::span<const Value>(&arg, 1));
}
Value SetClipTransform(Vm& vm, const CallArgs& c) {
  Object* from = c.Arg(0).AsObject();
  if (!ScriptHost::ClipOf(c.this_obj) || !from) return Value();
  const Value self(c.this_obj);
  Object* mine =
      vm.Construct(GeomClass(vm, "Transform"), std::span<const Value>(&self, 1)).AsObject();
  if (!mine) return Value();
  vm.SetMember(mine, "matrix", vm.GetMember(from, "matrix"));
  vm.SetMember(mine, "colorTransform", vm.GetMember(from, "colorTransform"));
  return Value();
}

void Accessor(Vm& vm, Object* proto, const char* name, avm1::NativeFn get, avm1::NativeFn set) {
  avm1::Property& p = proto->SetOwn(name, Value(), true);
  p.virtual_property = true;
  p.getter = vm.NewNative(get);
  p.setter = set ? vm.NewNative(set) : nullptr;
  p.flags = avm1::prop_flag::kDontEnum;
}

}  // namespace

void InstallTransformClass(ScriptHost& host) {
  Vm& vm = host.vm();
  Object* geom = vm.GetMember(avm1::FlashPackage(vm), "geom").AsObject();
  if (!geom) return;
  Object* proto = vm.NewObject();
  Accessor(vm, proto, "matrix", GetMatrix, SetMatrix);
  Accessor(vm, proto, "concatenatedMatrix", GetConcatenatedMatrix, nullptr);
  Accessor(vm, proto, "colorTransform", GetColor, SetColor);
  Accessor(vm, proto, "concatenatedColorTransform", GetConcatenatedColor, nullptr);
  avm1::FunctionObject* ctor = vm.NewNative(Construct, Construct);
  ctor->Define("prototype", proto, avm1::prop_flag::kDontEnum);
  proto->Define("constructor", ctor, avm1::prop_flag::kDontEnum);
  geom->Define("Transform", ctor, avm1::prop_flag::kDontEnum);

  Value clip_ctor = vm.GetMember(vm.global(), "MovieClip");
  if (Object* clip_proto = vm.GetMember(clip_ctor.AsObject(), "prototype").AsObject()) {
    Accessor(vm, clip_proto, "transform", ClipTransform, SetClipTransform);
    clip_proto->FindOwn("transform", true)->flags |= avm1::prop_flag::kVersion8;
  }
}

}  // namespace flashsaver
