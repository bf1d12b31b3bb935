// flash.geom.Transform: a display object's matrix, colour transform and 3D state, read and
// written through the display list's TransformHost; values it does not take live here.
#include "player/avm2/builtins/builtins.h"
#include "player/avm2/geom/geom.h"
#include "player/avm2/geom/transform_host.h"
#include "player/avm2/heap.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

constexpr const char* kMatrix = "flash.geom::Matrix";
constexpr const char* kColorTransform = "flash.geom::ColorTransform";

class TransformObject : public BoxedObject {
 public:
  TransformObject(ClassObject* cls, Object* proto) : BoxedObject(cls, proto) {}
  void Trace(Tracer& tracer) override {
    BoxedObject::Trace(tracer);
    tracer.Mark(display);
    tracer.Mark(projection);
  }
  Object* display = nullptr;
  Affine matrix;
  ColorValues color{1, 1, 1, 1, 0, 0, 0, 0};
  bool has3d = false;
  std::array<double, 16> matrix3d{};
  Value projection = Value::Null();
};

Object* Create(Vm& vm, ClassObject* cls) {
  return vm.heap().New<TransformObject>(cls, cls->prototype);
}
TransformObject* Self(Vm& vm, const Value& self) {
  return ThisAs<TransformObject>(vm, self, "flash.geom.Transform");
}
TransformHost* Host(Vm& vm, TransformObject* t) { return t->display ? vm.transform_host : nullptr; }

Value Init(Vm& vm, const Value& self, std::span<const Value> args) {
  TransformObject* t = Self(vm, self);
  Value d = Arg(args, 0);
  if (d.IsNullish()) vm.ThrowError(ErrorType::kTypeError, 2007, {"displayObject"});
  t->display = d.AsObject();
  return Value();
}

Value MatrixValue(Vm& vm, const Affine& m) {
  return Value(NewGeom(vm, kMatrix, {m.a, m.b, m.c, m.d, m.tx, m.ty}));
}
Value ColorValue(Vm& vm, const ColorValues& c) {
  return Value(NewGeom(vm, kColorTransform, {c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]}));
}
ColorValues ReadColor(Object* o) {
  ColorValues c;
  for (uint32_t i = 0; i < 8; ++i) c[i] = GeomGet(o, i);
  return c;
}
Object* ArgValue(Vm& vm, std::span<const Value> args, const char* qualified) {
  if (Arg(args, 0).IsNullish()) vm.ThrowError(ErrorType::kTypeError, 2007, {"value"});
  return GeomArg(vm, args, 0, qualified);
}
bool Has3D(Vm& vm, TransformObject* t, std::array<double, 16>& m) {
  bool has3d = false;
  if (TransformHost* h = Host(vm, t); h && h->GetMatrix3D(t->display, has3d, m)) return has3d;
  m = t->matrix3d;
  return t->has3d;
}

Value GetMatrix(Vm& vm, const Value& self, std::span<const Value>) {
  TransformObject* t = Self(vm, self);
  std::array<double, 16> m3;
  if (Has3D(vm, t, m3)) return Value::Null();
  Affine m = t->matrix;
  if (TransformHost* h = Host(vm, t)) h->GetMatrix(t->display, m);
  return MatrixValue(vm, m);
}
Value SetMatrix(Vm& vm, const Value& self, std::span<const Value> args) {
  TransformObject* t = Self(vm, self);
  Affine m = ReadMatrix(ArgValue(vm, args, kMatrix));
  TransformHost* h = Host(vm, t);
  if (!h || !h->SetMatrix(t->display, m)) {
    t->matrix = m;
    t->has3d = false;
  }
  return Value();
}
Value GetColor(Vm& vm, const Value& self, std::span<const Value>) {
  TransformObject* t = Self(vm, self);
  ColorValues c = t->color;
  if (TransformHost* h = Host(vm, t)) h->GetColorTransform(t->display, c);
  return ColorValue(vm, c);
}
Value SetColor(Vm& vm, const Value& self, std::span<const Value> args) {
  TransformObject* t = Self(vm, self);
  ColorValues c = ReadColor(ArgValue(vm, args, kColorTransform));
  TransformHost* h = Host(vm, t);
  if (!h || !h->SetColorTransform(t->display, c)) t->color = c;
  return Value();
}
Value GetConcatenatedMatrix(Vm& vm, const Value& self, std::span<const Value>) {
  TransformObject* t = Self(vm, self);
  Affine m = t->matrix;
  if (TransformHost* h = Host(vm, t)) h->GetConcatenatedMatrix(t->display, m);
  return MatrixValue(vm, m);
}
Value GetConcatenatedColor(Vm& vm, const Value& self, std::span<const Value>) {
  TransformObject* t = Self(vm, self);
  ColorValues c = t->color;
  if (TransformHost* h = Host(vm, t)) h->GetConcatenatedColorTransform(t->display, c);
  return ColorValue(vm, c);
}
Value GetMatrix3D(Vm& vm, const Value& self, std::span<const Value>) {
  TransformObject* t = Self(vm, self);
  std::array<double, 16> m;
  if (!Has3D(vm, t, m)) return Value::Null();
  return Value(static_cast<Object*>(NewMatrix3D(vm, m)));
}
// A 3D matrix replaces the 2D one; null goes back to 2D, keeping the 3D matrix's 2D part.
Value SetMatrix3D(Vm& vm, const Value& self, std::span<const Value> args) {
  TransformObject* t = Self(vm, self);
  Value v = Arg(args, 0);
  const std::array<double, 16>* m = nullptr;
  if (!v.IsNullish()) m = &ThisAs<Matrix3DObject>(vm, v, "flash.geom.Matrix3D")->m;
  TransformHost* h = Host(vm, t);
  if (h && h->SetMatrix3D(t->display, m)) return Value();
  if (m) {
    t->matrix3d = *m;
    t->has3d = true;
  } else if (t->has3d) {
    const auto& a = t->matrix3d;
    t->matrix = {a[0], a[1], a[4], a[5], a[12], a[13]};
    t->has3d = false;
  }
  return Value();
}
Value GetProjection(Vm& vm, const Value& self, std::span<const Value>) {
  return Self(vm, self)->projection;
}
Value SetProjection(Vm& vm, const Value& self, std::span<const Value> args) {
  TransformObject* t = Self(vm, self);
  Value v = Arg(args, 0);
  if (!v.IsNullish()) ThisAs<ProjectionObject>(vm, v, "flash.geom.PerspectiveProjection");
  t->projection = v.IsNullish() ? Value::Null() : v;
  return Value();
}
Value GetPixelBounds(Vm& vm, const Value& self, std::span<const Value>) {
  TransformObject* t = Self(vm, self);
  std::array<double, 4> r{0, 0, 0, 0};
  if (TransformHost* h = Host(vm, t)) h->GetPixelBounds(t->display, r);
  return Value(NewGeom(vm, "flash.geom::Rectangle", {r[0], r[1], r[2], r[3]}));
}
Value GetRelativeMatrix3D(Vm& vm, const Value& self, std::span<const Value>) {
  TransformObject* t = Self(vm, self);
  std::array<double, 16> m;
  if (!Has3D(vm, t, m)) {
    Affine a = t->matrix;
    if (TransformHost* h = Host(vm, t)) h->GetMatrix(t->display, a);
    m = {a.a, a.b, 0, 0, a.c, a.d, 0, 0, 0, 0, 1, 0, a.tx, a.ty, 0, 1};
  }
  return Value(static_cast<Object*>(NewMatrix3D(vm, m)));
}

}  // namespace

const NativeClass& TransformClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.geom";
    c.name = "Transform";
    c.instance = {Getter("matrix", GetMatrix),
                  Setter("matrix", SetMatrix),
                  Getter("colorTransform", GetColor),
                  Setter("colorTransform", SetColor),
                  Getter("concatenatedMatrix", GetConcatenatedMatrix),
                  Getter("concatenatedColorTransform", GetConcatenatedColor),
                  Getter("matrix3D", GetMatrix3D),
                  Setter("matrix3D", SetMatrix3D),
                  Getter("perspectiveProjection", GetProjection),
                  Setter("perspectiveProjection", SetProjection),
                  Getter("pixelBounds", GetPixelBounds),
                  Method("getRelativeMatrix3D", GetRelativeMatrix3D, 1).Needs(1)};
    c.create = Create;
    c.constructor = Init;
    c.constructor_length = 1;
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
