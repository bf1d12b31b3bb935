// flash.geom.Matrix: the 2D affine transform (a, b, c, d, tx, ty) as Number slots.
#include <algorithm>
#include <cmath>

#include "player/avm2/geom/geom.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

using namespace geom_slot;
constexpr const char* kMatrix = "flash.geom::Matrix";
constexpr const char* kPoint = "flash.geom::Point";
constexpr const char* kVector3D = "flash.geom::Vector3D";

Object* M(Vm& vm, const Value& self) { return GeomThis(vm, self, kMatrix); }
Str Num(Vm& vm, double d) { return vm.ToString(Value(d)); }

// r = x · y: x applied first, then y.
Affine Concat(const Affine& x, const Affine& y) {
  return {x.a * y.a + x.b * y.c, x.a * y.b + x.b * y.d,          x.c * y.a + x.d * y.c,
          x.c * y.b + x.d * y.d, x.tx * y.a + x.ty * y.c + y.tx, x.tx * y.b + x.ty * y.d + y.ty};
}

Value Init(Vm& vm, const Value& self, std::span<const Value> args) {
  WriteMatrix(M(vm, self),
              {ArgNumber(vm, args, 0, 1), ArgNumber(vm, args, 1, 0), ArgNumber(vm, args, 2, 0),
               ArgNumber(vm, args, 3, 1), ArgNumber(vm, args, 4, 0), ArgNumber(vm, args, 5, 0)});
  return Value();
}
Value Clone(Vm& vm, const Value& self, std::span<const Value>) {
  Affine m = ReadMatrix(M(vm, self));
  return Value(NewGeom(vm, kMatrix, {m.a, m.b, m.c, m.d, m.tx, m.ty}));
}
Value ConcatFn(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* m = M(vm, self);
  WriteMatrix(m, Concat(ReadMatrix(m), ReadMatrix(GeomArg(vm, args, 0, kMatrix))));
  return Value();
}
Value CopyFrom(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* m = M(vm, self);
  WriteMatrix(m, ReadMatrix(GeomArg(vm, args, 0, kMatrix)));
  return Value();
}
Affine Box(double sx, double sy, double rotation, double tx, double ty) {
  double cs = std::cos(rotation), sn = std::sin(rotation);
  return {cs * sx, sn * sy, -sn * sx, cs * sy, tx, ty};
}
Value CreateBox(Vm& vm, const Value& self, std::span<const Value> args) {
  WriteMatrix(M(vm, self),
              Box(ArgNumber(vm, args, 0), ArgNumber(vm, args, 1), ArgNumber(vm, args, 2),
                  ArgNumber(vm, args, 3), ArgNumber(vm, args, 4)));
  return Value();
}
// A gradient's square is 1638.4 twips (-819.2..819.2) wide: the box maps it onto the size.
Value CreateGradientBox(Vm& vm, const Value& self, std::span<const Value> args) {
  double w = ArgNumber(vm, args, 0), h = ArgNumber(vm, args, 1);
  WriteMatrix(M(vm, self), Box(w / 1638.4, h / 1638.4, ArgNumber(vm, args, 2),
                               ArgNumber(vm, args, 3) + w / 2, ArgNumber(vm, args, 4) + h / 2));
  return Value();
}
Value TransformPointImpl(Vm& vm, const Value& self, std::span<const Value> args, bool delta) {
  Affine m = ReadMatrix(M(vm, self));
  Object* p = GeomArg(vm, args, 0, kPoint);
  double x = GeomGet(p, kX), y = GeomGet(p, kY);
  double ox = delta ? 0 : m.tx, oy = delta ? 0 : m.ty;
  return Value(NewGeom(vm, kPoint, {m.a * x + m.c * y + ox, m.b * x + m.d * y + oy}));
}
Value TransformPoint(Vm& vm, const Value& self, std::span<const Value> args) {
  return TransformPointImpl(vm, self, args, false);
}
Value DeltaTransformPoint(Vm& vm, const Value& self, std::span<const Value> args) {
  return TransformPointImpl(vm, self, args, true);
}
Value Identity(Vm& vm, const Value& self, std::span<const Value>) {
  WriteMatrix(M(vm, self), Affine{});
  return Value();
}
// Flash divides by the determinant even when it is zero: a singular matrix inverts to
// infinities and NaNs.
Value Invert(Vm& vm, const Value& self, std::span<const Value>) {
  Object* o = M(vm, self);
  Affine m = ReadMatrix(o);
  double det = m.a * m.d - m.b * m.c;
  WriteMatrix(o, {m.d / det, -m.b / det, -m.c / det, m.a / det, (m.c * m.ty - m.d * m.tx) / det,
                  (m.b * m.tx - m.a * m.ty) / det});
  return Value();
}
Value Rotate(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* o = M(vm, self);
  double q = ArgNumber(vm, args, 0);
  WriteMatrix(o, Concat(ReadMatrix(o), Box(1, 1, q, 0, 0)));
  return Value();
}
Value Scale(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* o = M(vm, self);
  double sx = ArgNumber(vm, args, 0), sy = ArgNumber(vm, args, 1);
  Affine m = ReadMatrix(o);
  WriteMatrix(o, {m.a * sx, m.b * sy, m.c * sx, m.d * sy, m.tx * sx, m.ty * sy});
  return Value();
}
Value Translate(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* o = M(vm, self);
  GeomSet(o, kTx, GeomGet(o, kTx) + ArgNumber(vm, args, 0));
  GeomSet(o, kTy, GeomGet(o, kTy) + ArgNumber(vm, args, 1));
  return Value();
}
Value SetTo(Vm& vm, const Value& self, std::span<const Value> args) { return Init(vm, self, args); }
Value ToStringFn(Vm& vm, const Value& self, std::span<const Value>) {
  Affine m = ReadMatrix(M(vm, self));
  return Value(Str(u"(a=" + Num(vm, m.a).str() + u", b=" + Num(vm, m.b).str() + u", c=" +
                   Num(vm, m.c).str() + u", d=" + Num(vm, m.d).str() + u", tx=" +
                   Num(vm, m.tx).str() + u", ty=" + Num(vm, m.ty).str() + u")"));
}

// Rows and columns as a 3x3 matrix whose last row is (0, 0, 1).
double Cell(const Affine& m, int row, int col) {
  const double cells[3][3] = {{m.a, m.c, m.tx}, {m.b, m.d, m.ty}, {0, 0, 1}};
  return cells[row][col];
}
void SetCell(Affine& m, int row, int col, double v) {
  double* cells[2][3] = {{&m.a, &m.c, &m.tx}, {&m.b, &m.d, &m.ty}};
  if (row < 2) *cells[row][col] = v;
}
// copyRowTo/copyColumnTo read the 3x3 form; an index past 2 reads the last row or column.
// Both copyRowFrom and copyColumnFrom write a row (Flash's copyColumnFrom does so too), and only
// rows 0 and 1 exist to write.
template <bool kRow, bool kTo>
Value CopyLine(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* o = M(vm, self);
  uint32_t i = ArgUInt(vm, args, 0);
  Object* v = GeomArg(vm, args, 1, kVector3D);
  int n = static_cast<int>(std::min<uint32_t>(i, 2));
  Affine m = ReadMatrix(o);
  for (int k = 0; k < 3; ++k) {
    if (kTo) {
      GeomSet(v, static_cast<uint32_t>(k), kRow ? Cell(m, n, k) : Cell(m, k, n));
    } else if (i < 2) {
      SetCell(m, n, k, GeomGet(v, static_cast<uint32_t>(k)));
    }
  }
  if (!kTo) WriteMatrix(o, m);
  return Value();
}

NativeMember NumberSlot(const char* name, double d) { return Slot(name, Value(d)).Typed("Number"); }

}  // namespace

const NativeClass& MatrixClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.geom";
    c.name = "Matrix";
    c.instance = {NumberSlot("a", 1),
                  NumberSlot("b", 0),
                  NumberSlot("c", 0),
                  NumberSlot("d", 1),
                  NumberSlot("tx", 0),
                  NumberSlot("ty", 0),
                  Method("clone", Clone),
                  Method("concat", ConcatFn, 1).Needs(1),
                  Method("copyFrom", CopyFrom, 1).Needs(1),
                  Method("copyColumnFrom", CopyLine<false, false>, 2).Needs(2),
                  Method("copyColumnTo", CopyLine<false, true>, 2).Needs(2),
                  Method("copyRowFrom", CopyLine<true, false>, 2).Needs(2),
                  Method("copyRowTo", CopyLine<true, true>, 2).Needs(2),
                  Method("createBox", CreateBox, 5).Needs(2),
                  Method("createGradientBox", CreateGradientBox, 5).Needs(2),
                  Method("deltaTransformPoint", DeltaTransformPoint, 1).Needs(1),
                  Method("identity", Identity),
                  Method("invert", Invert),
                  Method("rotate", Rotate, 1).Needs(1),
                  Method("scale", Scale, 2).Needs(2),
                  Method("setTo", SetTo, 6).Needs(6),
                  Method("toString", ToStringFn),
                  Method("transformPoint", TransformPoint, 1).Needs(1),
                  Method("translate", Translate, 2).Needs(2)};
    c.constructor = Init;
    c.constructor_length = 6;
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
