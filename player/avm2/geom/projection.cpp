// flash.geom.PerspectiveProjection and flash.geom.Utils3D.
#include <cmath>
#include <numbers>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/geom/geom.h"
#include "player/avm2/geom/matrix3d_math.h"
#include "player/avm2/heap.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

using namespace geom_slot;
constexpr const char* kPoint = "flash.geom::Point";
constexpr const char* kVector3D = "flash.geom::Vector3D";
constexpr double kDegrees = 180 / std::numbers::pi;

// A projection made by script works on a 500 x 500 view: centre (250, 250), and the focal
// length follows the field of view over that width. Flash keeps these as 32-bit floats.
constexpr double kViewWidth = 500;

Object* Create(Vm& vm, ClassObject* cls) {
  auto* p = vm.heap().New<ProjectionObject>(cls, cls->prototype);
  p->center_x = kViewWidth / 2;
  p->center_y = kViewWidth / 2;
  return p;
}
ProjectionObject* Self(Vm& vm, const Value& self) {
  return ThisAs<ProjectionObject>(vm, self, "flash.geom.PerspectiveProjection");
}
Value Init(Vm&, const Value&, std::span<const Value>) { return Value(); }

double FocalLength(Vm&, const ProjectionObject* p) {
  return static_cast<float>(kViewWidth / 2 / std::tan(p->field_of_view / kDegrees / 2));
}
Value GetFieldOfView(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Self(vm, self)->field_of_view);
}
Value SetFieldOfView(Vm& vm, const Value& self, std::span<const Value> args) {
  ProjectionObject* p = Self(vm, self);
  double fov = ArgNumber(vm, args, 0);
  if (!(fov > 0 && fov < 180)) vm.ThrowError(ErrorType::kArgumentError, 2182);
  p->field_of_view = static_cast<float>(fov);
  return Value();
}
Value GetFocalLength(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(FocalLength(vm, Self(vm, self)));
}
Value SetFocalLength(Vm& vm, const Value& self, std::span<const Value> args) {
  ProjectionObject* p = Self(vm, self);
  double f = ArgNumber(vm, args, 0);
  if (!(f > 0)) vm.ThrowError(ErrorType::kArgumentError, 2186);
  p->field_of_view = static_cast<float>(2 * std::atan(kViewWidth / 2 / f) * kDegrees);
  return Value();
}
Value GetCenter(Vm& vm, const Value& self, std::span<const Value>) {
  ProjectionObject* p = Self(vm, self);
  return Value(NewGeom(vm, kPoint, {p->center_x, p->center_y}));
}
Value SetCenter(Vm& vm, const Value& self, std::span<const Value> args) {
  ProjectionObject* p = Self(vm, self);
  Object* pt = GeomArg(vm, args, 0, kPoint);
  p->center_x = GeomGet(pt, kX);
  p->center_y = GeomGet(pt, kY);
  return Value();
}
Value ToMatrix3D(Vm& vm, const Value& self, std::span<const Value>) {
  double f = FocalLength(vm, Self(vm, self));
  return Value(
      static_cast<Object*>(NewMatrix3D(vm, {f, 0, 0, 0, 0, f, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0})));
}

// ---- Utils3D ----
Matrix3DObject* ArgMatrix(Vm& vm, std::span<const Value> args, size_t i) {
  Value v = Arg(args, i);
  if (v.IsNullish()) vm.ThrowError(ErrorType::kTypeError, 1009);
  return ThisAs<Matrix3DObject>(vm, v, "flash.geom.Matrix3D");
}
VectorObject* ArgNumbers(Vm& vm, std::span<const Value> args, size_t i) {
  Value v = Arg(args, i);
  if (v.IsNullish()) vm.ThrowError(ErrorType::kTypeError, 1009);
  return ThisAs<VectorObject>(vm, v, "__AS3__.vec.Vector.<Number>");
}
m3d::Vec ArgVec(Vm& vm, std::span<const Value> args, size_t i) {
  Object* o = GeomArg(vm, args, i, kVector3D);
  return {GeomGet(o, kX), GeomGet(o, kY), GeomGet(o, kZ), GeomGet(o, kW)};
}

// The point through the matrix, divided by its projective w.
Value ProjectVector(Vm& vm, const Value&, std::span<const Value> args) {
  const auto& m = ArgMatrix(vm, args, 0)->m;
  m3d::Vec r = m3d::Apply(m, ArgVec(vm, args, 1), false);
  return Value(NewGeom(vm, kVector3D, {r.x / r.w, r.y / r.w, r.z / r.w, r.w}));
}
// projectVectors(m, verts, projected, uvts): (x, y) pairs into `projected`; each uvt's third
// component becomes 1 / w (the t a renderer uses for perspective-correct texturing).
Value ProjectVectors(Vm& vm, const Value&, std::span<const Value> args) {
  const auto& m = ArgMatrix(vm, args, 0)->m;
  VectorObject* verts = ArgNumbers(vm, args, 1);
  VectorObject* out = ArgNumbers(vm, args, 2);
  VectorObject* uvts = ArgNumbers(vm, args, 3);
  size_t n = verts->items.size() / 3;
  if (out->items.size() < n * 2) {
    if (out->fixed) vm.ThrowError(ErrorType::kRangeError, 1126);
    out->items.resize(n * 2, Value(0.0));
  }
  for (size_t i = 0; i < n; ++i) {
    m3d::Vec v{vm.ToNumber(verts->items[i * 3]), vm.ToNumber(verts->items[i * 3 + 1]),
               vm.ToNumber(verts->items[i * 3 + 2]), 1};
    m3d::Vec r = m3d::Apply(m, v, false);
    out->items[i * 2] = Value(r.x / r.w);
    out->items[i * 2 + 1] = Value(r.y / r.w);
    if (i * 3 + 2 < uvts->items.size()) uvts->items[i * 3 + 2] = Value(1 / r.w);
  }
  return Value();
}
// A copy of the matrix turned towards pos by the fraction `percent` of the whole turn.
Value PointTowards(Vm& vm, const Value&, std::span<const Value> args) {
  double percent = ArgNumber(vm, args, 0);
  const auto& m = ArgMatrix(vm, args, 1)->m;
  m3d::Vec pos = ArgVec(vm, args, 2);
  auto opt = [&](size_t i, m3d::Vec def) {
    return Arg(args, i).IsNullish() ? def : ArgVec(vm, args, i);
  };
  m3d::Mat target = m3d::PointAt(m, pos, opt(3, {0, 0, -1, 0}), opt(4, {0, -1, 0, 0}));
  return Value(static_cast<Object*>(NewMatrix3D(vm, m3d::Interpolate(m, target, percent))));
}

}  // namespace

const NativeClass& PerspectiveProjectionClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.geom";
    c.name = "PerspectiveProjection";
    c.instance = {Getter("fieldOfView", GetFieldOfView), Setter("fieldOfView", SetFieldOfView),
                  Getter("focalLength", GetFocalLength), Setter("focalLength", SetFocalLength),
                  Getter("projectionCenter", GetCenter), Setter("projectionCenter", SetCenter),
                  Method("toMatrix3D", ToMatrix3D)};
    c.create = Create;
    c.constructor = Init;
    return c;
  }();
  return spec;
}

const NativeClass& Utils3DClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.geom";
    c.name = "Utils3D";
    c.statics = {Method("projectVector", ProjectVector, 2).Needs(2),
                 Method("projectVectors", ProjectVectors, 4).Needs(4),
                 Method("pointTowards", PointTowards, 5).Needs(3)};
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
