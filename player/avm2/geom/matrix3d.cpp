// flash.geom.Matrix3D: a 4x4 transform kept in C++ (column-major, as rawData gives it), and
// flash.geom.Orientation3D's names of its rotation styles.
#include <cmath>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/geom/geom.h"
#include "player/avm2/geom/matrix3d_math.h"
#include "player/avm2/heap.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

using namespace geom_slot;
using m3d::Mat;
using m3d::Vec;
constexpr const char* kVector3D = "flash.geom::Vector3D";

Object* Create(Vm& vm, ClassObject* cls) {
  return vm.heap().New<Matrix3DObject>(cls, cls->prototype);
}
Matrix3DObject* Self(Vm& vm, const Value& self) {
  return ThisAs<Matrix3DObject>(vm, self, "flash.geom.Matrix3D");
}
Matrix3DObject* ArgMatrix(Vm& vm, std::span<const Value> args, size_t i) {
  Value v = Arg(args, i);
  if (v.IsNullish()) vm.ThrowError(ErrorType::kTypeError, 1009);
  return ThisAs<Matrix3DObject>(vm, v, "flash.geom.Matrix3D");
}
Vec ReadVec(Object* o) { return {GeomGet(o, kX), GeomGet(o, kY), GeomGet(o, kZ), GeomGet(o, kW)}; }
Vec ArgVec(Vm& vm, std::span<const Value> args, size_t i) {
  return ReadVec(GeomArg(vm, args, i, kVector3D));
}
// An optional Vector3D argument: `def` when absent or null.
Vec OptVec(Vm& vm, std::span<const Value> args, size_t i, Vec def) {
  return Arg(args, i).IsNullish() ? def : ArgVec(vm, args, i);
}
Value NewVec(Vm& vm, const Vec& v) { return Value(NewGeom(vm, kVector3D, {v.x, v.y, v.z, v.w})); }
VectorObject* ArgNumbers(Vm& vm, std::span<const Value> args, size_t i) {
  Value v = Arg(args, i);
  if (v.IsNullish()) vm.ThrowError(ErrorType::kTypeError, 1009);
  return ThisAs<VectorObject>(vm, v, "__AS3__.vec.Vector.<Number>");
}
double Item(Vm& vm, const VectorObject* v, size_t i) {
  return i < v->items.size() ? vm.ToNumber(v->items[i]) : 0;
}
VectorObject* NewNumbers(Vm& vm, ClassObject* type, size_t n) {
  ClassObject* cls = SpecializeVector(vm, vm.classes().vector, type);
  auto* v = dynamic_cast<VectorObject*>(vm.CreateInstance(cls));
  v->items.assign(n, Value(0.0));
  return v;
}
m3d::Orientation Style(Vm& vm, std::span<const Value> args, size_t i) {
  std::u16string s = ArgString(vm, args, i, Str(u"eulerAngles")).str();
  if (s == u"quaternion") return m3d::Orientation::kQuaternion;
  if (s == u"axisAngle") return m3d::Orientation::kAxisAngle;
  return m3d::Orientation::kEulerAngles;
}

Value Init(Vm& vm, const Value& self, std::span<const Value> args) {
  Matrix3DObject* m = Self(vm, self);
  if (Arg(args, 0).IsNullish()) return Value();
  VectorObject* v = ArgNumbers(vm, args, 0);
  for (size_t i = 0; i < 16 && i < v->items.size(); ++i) m->m[i] = Item(vm, v, i);
  return Value();
}
Value GetRawData(Vm& vm, const Value& self, std::span<const Value>) {
  Matrix3DObject* m = Self(vm, self);
  VectorObject* v = NewNumbers(vm, vm.classes().number, 16);
  for (size_t i = 0; i < 16; ++i) v->items[i] = Value(m->m[i]);
  return Value(static_cast<Object*>(v));
}
Value SetRawData(Vm& vm, const Value& self, std::span<const Value> args) {
  Matrix3DObject* m = Self(vm, self);
  VectorObject* v = ArgNumbers(vm, args, 0);
  for (size_t i = 0; i < 16 && i < v->items.size(); ++i) m->m[i] = Item(vm, v, i);
  return Value();
}
Value Clone(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(static_cast<Object*>(NewMatrix3D(vm, Self(vm, self)->m)));
}
Value CopyFrom(Vm& vm, const Value& self, std::span<const Value> args) {
  Self(vm, self)->m = ArgMatrix(vm, args, 0)->m;
  return Value();
}
Value CopyToMatrix3D(Vm& vm, const Value& self, std::span<const Value> args) {
  ArgMatrix(vm, args, 0)->m = Self(vm, self)->m;
  return Value();
}
Value Identity(Vm& vm, const Value& self, std::span<const Value>) {
  Self(vm, self)->m = m3d::Identity();
  return Value();
}
Value TransposeFn(Vm& vm, const Value& self, std::span<const Value>) {
  Matrix3DObject* m = Self(vm, self);
  m->m = m3d::Transpose(m->m);
  return Value();
}
Value Determinant(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(m3d::Determinant(Self(vm, self)->m));
}
Value InvertFn(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(m3d::Invert(Self(vm, self)->m));
}

// append: this, then the argument (arg · this); prepend: the argument first (this · arg).
void Combine(Matrix3DObject* m, const Mat& other, bool append) {
  m->m = append ? m3d::Multiply(other, m->m) : m3d::Multiply(m->m, other);
}
template <bool kAppend>
Value CombineFn(Vm& vm, const Value& self, std::span<const Value> args) {
  Matrix3DObject* m = Self(vm, self);
  Combine(m, ArgMatrix(vm, args, 0)->m, kAppend);
  return Value();
}
template <bool kAppend>
Value TranslationFn(Vm& vm, const Value& self, std::span<const Value> args) {
  Matrix3DObject* m = Self(vm, self);
  Combine(m,
          m3d::Translation(ArgNumber(vm, args, 0), ArgNumber(vm, args, 1), ArgNumber(vm, args, 2)),
          kAppend);
  return Value();
}
template <bool kAppend>
Value ScaleFn(Vm& vm, const Value& self, std::span<const Value> args) {
  Matrix3DObject* m = Self(vm, self);
  Combine(m, m3d::Scale(ArgNumber(vm, args, 0), ArgNumber(vm, args, 1), ArgNumber(vm, args, 2)),
          kAppend);
  return Value();
}
template <bool kAppend>
Value RotationFn(Vm& vm, const Value& self, std::span<const Value> args) {
  Matrix3DObject* m = Self(vm, self);
  double degrees = ArgNumber(vm, args, 0);
  Vec axis = ArgVec(vm, args, 1);
  Vec pivot = OptVec(vm, args, 2, {});
  Combine(m, m3d::Rotation(degrees, axis, pivot), kAppend);
  return Value();
}

Value TransformVector(Vm& vm, const Value& self, std::span<const Value> args) {
  return NewVec(vm, m3d::Apply(Self(vm, self)->m, ArgVec(vm, args, 0), false));
}
Value DeltaTransformVector(Vm& vm, const Value& self, std::span<const Value> args) {
  Vec r = m3d::Apply(Self(vm, self)->m, ArgVec(vm, args, 0), true);
  r.w = 0;
  return NewVec(vm, r);
}
// transformVectors(in, out): each (x, y, z) of `in` through the matrix into `out`, which grows
// to the input's length.
Value TransformVectors(Vm& vm, const Value& self, std::span<const Value> args) {
  const Mat& m = Self(vm, self)->m;
  VectorObject* in = ArgNumbers(vm, args, 0);
  VectorObject* out = ArgNumbers(vm, args, 1);
  size_t n = in->items.size() / 3 * 3;
  if (out->items.size() < n) {
    if (out->fixed) vm.ThrowError(ErrorType::kRangeError, 1126);
    out->items.resize(n, Value(0.0));
  }
  for (size_t i = 0; i < n; i += 3) {
    Vec r = m3d::Apply(m, {Item(vm, in, i), Item(vm, in, i + 1), Item(vm, in, i + 2), 1}, false);
    out->items[i] = Value(r.x);
    out->items[i + 1] = Value(r.y);
    out->items[i + 2] = Value(r.z);
  }
  return Value();
}

Value GetPosition(Vm& vm, const Value& self, std::span<const Value>) {
  const Mat& m = Self(vm, self)->m;
  return NewVec(vm, {m[12], m[13], m[14], 0});
}
Value SetPosition(Vm& vm, const Value& self, std::span<const Value> args) {
  Matrix3DObject* m = Self(vm, self);
  Vec v = ArgVec(vm, args, 0);
  m->m[12] = v.x;
  m->m[13] = v.y;
  m->m[14] = v.z;
  return Value();
}

Value Decompose(Vm& vm, const Value& self, std::span<const Value> args) {
  auto parts = m3d::Decompose(Self(vm, self)->m, Style(vm, args, 0));
  ClassObject* vec3 = vm.FindClass(kVector3D);
  VectorObject* v = NewNumbers(vm, vec3, 3);
  for (size_t i = 0; i < 3; ++i) v->items[i] = NewVec(vm, parts[i]);
  return Value(static_cast<Object*>(v));
}
Value Recompose(Vm& vm, const Value& self, std::span<const Value> args) {
  Matrix3DObject* m = Self(vm, self);
  Value list = Arg(args, 0);
  if (list.IsNullish()) vm.ThrowError(ErrorType::kTypeError, 1009);
  auto* v = ThisAs<VectorObject>(vm, list, "__AS3__.vec.Vector.<flash.geom.Vector3D>");
  if (v->items.size() < 3) return Value(false);
  std::array<Vec, 3> parts;
  for (size_t i = 0; i < 3; ++i) {
    if (v->items[i].IsNullish()) vm.ThrowError(ErrorType::kTypeError, 1009);
    parts[i] = ReadVec(GeomThis(vm, v->items[i], kVector3D));
  }
  return Value(m3d::Recompose(m->m, parts, Style(vm, args, 1)));
}

// Rows and columns to and from a Vector3D (all four components).
template <bool kRow, bool kTo>
Value CopyLine(Vm& vm, const Value& self, std::span<const Value> args) {
  Matrix3DObject* m = Self(vm, self);
  uint32_t n = ArgUInt(vm, args, 0);
  Object* v = GeomArg(vm, args, 1, kVector3D);
  if (n > 3) vm.ThrowError(ErrorType::kArgumentError, 2004);
  for (uint32_t k = 0; k < 4; ++k) {
    size_t idx = kRow ? k * 4 + n : n * 4 + k;
    if (kTo)
      GeomSet(v, k, m->m[idx]);
    else
      m->m[idx] = GeomGet(v, k);
  }
  return Value();
}
// copyRawDataFrom(vector, index, transpose) and copyRawDataTo(vector, index, transpose).
Value CopyRawDataFrom(Vm& vm, const Value& self, std::span<const Value> args) {
  Matrix3DObject* m = Self(vm, self);
  VectorObject* v = ArgNumbers(vm, args, 0);
  uint32_t index = ArgUInt(vm, args, 1);
  bool transpose = ArgBool(vm, args, 2);
  if (static_cast<uint64_t>(index) + 16 > v->items.size())
    vm.ThrowError(ErrorType::kRangeError, 2004);
  for (size_t i = 0; i < 16; ++i) m->m[i] = Item(vm, v, index + i);
  if (transpose) m->m = m3d::Transpose(m->m);
  return Value();
}
Value CopyRawDataTo(Vm& vm, const Value& self, std::span<const Value> args) {
  Matrix3DObject* m = Self(vm, self);
  VectorObject* v = ArgNumbers(vm, args, 0);
  uint32_t index = ArgUInt(vm, args, 1);
  bool transpose = ArgBool(vm, args, 2);
  Mat src = transpose ? m3d::Transpose(m->m) : m->m;
  size_t need = static_cast<size_t>(index) + 16;
  if (v->items.size() < need) {
    if (v->fixed) vm.ThrowError(ErrorType::kRangeError, 1126);
    v->items.resize(need, Value(0.0));
  }
  for (size_t i = 0; i < 16; ++i) v->items[index + i] = Value(src[i]);
  return Value();
}

Value InterpolateTo(Vm& vm, const Value& self, std::span<const Value> args) {
  Matrix3DObject* m = Self(vm, self);
  m->m = m3d::Interpolate(m->m, ArgMatrix(vm, args, 0)->m, ArgNumber(vm, args, 1));
  return Value();
}
Value InterpolateStatic(Vm& vm, const Value&, std::span<const Value> args) {
  Mat r = m3d::Interpolate(ArgMatrix(vm, args, 0)->m, ArgMatrix(vm, args, 1)->m,
                           ArgNumber(vm, args, 2));
  return Value(static_cast<Object*>(NewMatrix3D(vm, r)));
}
Value PointAt(Vm& vm, const Value& self, std::span<const Value> args) {
  Matrix3DObject* m = Self(vm, self);
  m->m = m3d::PointAt(m->m, ArgVec(vm, args, 0), OptVec(vm, args, 1, {0, 0, -1, 0}),
                      OptVec(vm, args, 2, {0, -1, 0, 0}));
  return Value();
}

}  // namespace

Matrix3DObject* NewMatrix3D(Vm& vm, const std::array<double, 16>& m) {
  auto* o = dynamic_cast<Matrix3DObject*>(vm.CreateInstance(vm.FindClass("flash.geom::Matrix3D")));
  o->m = m;
  return o;
}

const NativeClass& Matrix3DClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.geom";
    c.name = "Matrix3D";
    c.instance = {Getter("rawData", GetRawData),
                  Setter("rawData", SetRawData),
                  Getter("position", GetPosition),
                  Setter("position", SetPosition),
                  Getter("determinant", Determinant),
                  Method("clone", Clone),
                  Method("copyFrom", CopyFrom, 1).Needs(1),
                  Method("copyToMatrix3D", CopyToMatrix3D, 1).Needs(1),
                  Method("copyRawDataFrom", CopyRawDataFrom, 3).Needs(1),
                  Method("copyRawDataTo", CopyRawDataTo, 3).Needs(1),
                  Method("copyRowFrom", CopyLine<true, false>, 2).Needs(2),
                  Method("copyRowTo", CopyLine<true, true>, 2).Needs(2),
                  Method("copyColumnFrom", CopyLine<false, false>, 2).Needs(2),
                  Method("copyColumnTo", CopyLine<false, true>, 2).Needs(2),
                  Method("identity", Identity),
                  Method("transpose", TransposeFn),
                  Method("invert", InvertFn),
                  Method("append", CombineFn<true>, 1).Needs(1),
                  Method("prepend", CombineFn<false>, 1).Needs(1),
                  Method("appendTranslation", TranslationFn<true>, 3).Needs(3),
                  Method("prependTranslation", TranslationFn<false>, 3).Needs(3),
                  Method("appendScale", ScaleFn<true>, 3).Needs(3),
                  Method("prependScale", ScaleFn<false>, 3).Needs(3),
                  Method("appendRotation", RotationFn<true>, 3).Needs(2),
                  Method("prependRotation", RotationFn<false>, 3).Needs(2),
                  Method("transformVector", TransformVector, 1).Needs(1),
                  Method("deltaTransformVector", DeltaTransformVector, 1).Needs(1),
                  Method("transformVectors", TransformVectors, 2).Needs(2),
                  Method("decompose", Decompose, 1),
                  Method("recompose", Recompose, 2).Needs(1),
                  Method("interpolateTo", InterpolateTo, 2).Needs(2),
                  Method("pointAt", PointAt, 3).Needs(1)};
    c.statics = {Method("interpolate", InterpolateStatic, 3).Needs(3)};
    c.create = Create;
    c.constructor = Init;
    c.constructor_length = 1;
    return c;
  }();
  return spec;
}

const NativeClass& Orientation3DClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.geom";
    c.name = "Orientation3D";
    c.flags = class_flag::kFinal | class_flag::kSealed;
    c.statics = {Const("AXIS_ANGLE", Value(Str(u"axisAngle"))),
                 Const("EULER_ANGLES", Value(Str(u"eulerAngles"))),
                 Const("QUATERNION", Value(Str(u"quaternion")))};
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
