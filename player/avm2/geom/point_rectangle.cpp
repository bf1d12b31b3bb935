// flash.geom.Point and flash.geom.Rectangle.
#include <algorithm>
#include <cmath>

#include "player/avm2/geom/geom.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

using namespace geom_slot;
constexpr const char* kPoint = "flash.geom::Point";
constexpr const char* kRect = "flash.geom::Rectangle";

Value N(double d) { return Value(d); }
Object* P(Vm& vm, const Value& self) { return GeomThis(vm, self, kPoint); }
Object* R(Vm& vm, const Value& self) { return GeomThis(vm, self, kRect); }
Value NewPoint(Vm& vm, double x, double y) { return Value(NewGeom(vm, kPoint, {x, y})); }
Value NewRect(Vm& vm, double x, double y, double w, double h) {
  return Value(NewGeom(vm, kRect, {x, y, w, h}));
}
Str Num(Vm& vm, double d) { return vm.ToString(Value(d)); }

// ---- Point ----
Value PointInit(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* p = P(vm, self);
  GeomSet(p, kX, ArgNumber(vm, args, 0));
  GeomSet(p, kY, ArgNumber(vm, args, 1));
  return Value();
}
Value PointLength(Vm& vm, const Value& self, std::span<const Value>) {
  Object* p = P(vm, self);
  return N(std::hypot(GeomGet(p, kX), GeomGet(p, kY)));
}
Value PointAdd(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* p = P(vm, self);
  Object* o = GeomArg(vm, args, 0, kPoint);
  return NewPoint(vm, GeomGet(p, kX) + GeomGet(o, kX), GeomGet(p, kY) + GeomGet(o, kY));
}
Value PointSubtract(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* p = P(vm, self);
  Object* o = GeomArg(vm, args, 0, kPoint);
  return NewPoint(vm, GeomGet(p, kX) - GeomGet(o, kX), GeomGet(p, kY) - GeomGet(o, kY));
}
Value PointClone(Vm& vm, const Value& self, std::span<const Value>) {
  Object* p = P(vm, self);
  return NewPoint(vm, GeomGet(p, kX), GeomGet(p, kY));
}
Value PointCopyFrom(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* p = P(vm, self);
  Object* o = GeomArg(vm, args, 0, kPoint);
  GeomSet(p, kX, GeomGet(o, kX));
  GeomSet(p, kY, GeomGet(o, kY));
  return Value();
}
Value PointEquals(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* p = P(vm, self);
  Object* o = GeomArg(vm, args, 0, kPoint);
  return Value(GeomGet(p, kX) == GeomGet(o, kX) && GeomGet(p, kY) == GeomGet(o, kY));
}
Value PointNormalize(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* p = P(vm, self);
  double thickness = ArgNumber(vm, args, 0);
  double x = GeomGet(p, kX), y = GeomGet(p, kY), len = std::hypot(x, y);
  if (len > 0) {
    GeomSet(p, kX, x * thickness / len);
    GeomSet(p, kY, y * thickness / len);
  }
  return Value();
}
Value PointOffset(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* p = P(vm, self);
  GeomSet(p, kX, GeomGet(p, kX) + ArgNumber(vm, args, 0));
  GeomSet(p, kY, GeomGet(p, kY) + ArgNumber(vm, args, 1));
  return Value();
}
Value PointSetTo(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* p = P(vm, self);
  GeomSet(p, kX, ArgNumber(vm, args, 0));
  GeomSet(p, kY, ArgNumber(vm, args, 1));
  return Value();
}
Value PointToString(Vm& vm, const Value& self, std::span<const Value>) {
  Object* p = P(vm, self);
  return Value(
      Str(u"(x=" + Num(vm, GeomGet(p, kX)).str() + u", y=" + Num(vm, GeomGet(p, kY)).str() + u")"));
}
Value PointDistance(Vm& vm, const Value&, std::span<const Value> args) {
  Object* a = GeomArg(vm, args, 0, kPoint);
  Object* b = GeomArg(vm, args, 1, kPoint);
  return N(std::hypot(GeomGet(a, kX) - GeomGet(b, kX), GeomGet(a, kY) - GeomGet(b, kY)));
}
// interpolate(a, b, f): f = 1 gives a, f = 0 gives b.
Value PointInterpolate(Vm& vm, const Value&, std::span<const Value> args) {
  Object* a = GeomArg(vm, args, 0, kPoint);
  Object* b = GeomArg(vm, args, 1, kPoint);
  double f = ArgNumber(vm, args, 2);
  double bx = GeomGet(b, kX), by = GeomGet(b, kY);
  return NewPoint(vm, bx + (GeomGet(a, kX) - bx) * f, by + (GeomGet(a, kY) - by) * f);
}
Value PointPolar(Vm& vm, const Value&, std::span<const Value> args) {
  double len = ArgNumber(vm, args, 0), angle = ArgNumber(vm, args, 1);
  return NewPoint(vm, len * std::cos(angle), len * std::sin(angle));
}

// ---- Rectangle ----
struct Box {
  double x, y, w, h;
  bool Empty() const { return w <= 0 || h <= 0; }
};
Box ReadBox(Object* r) {
  return {GeomGet(r, kX), GeomGet(r, kY), GeomGet(r, kWidth), GeomGet(r, kHeight)};
}
void WriteBox(Object* r, const Box& b) {
  GeomSet(r, kX, b.x);
  GeomSet(r, kY, b.y);
  GeomSet(r, kWidth, b.w);
  GeomSet(r, kHeight, b.h);
}
Value BoxValue(Vm& vm, const Box& b) { return NewRect(vm, b.x, b.y, b.w, b.h); }

Value RectInit(Vm& vm, const Value& self, std::span<const Value> args) {
  WriteBox(R(vm, self), {ArgNumber(vm, args, 0), ArgNumber(vm, args, 1), ArgNumber(vm, args, 2),
                         ArgNumber(vm, args, 3)});
  return Value();
}
template <int Which>
Value RectGet(Vm& vm, const Value& self, std::span<const Value>) {
  Box b = ReadBox(R(vm, self));
  switch (Which) {
    case 0:
      return N(b.x);  // left
    case 1:
      return N(b.x + b.w);  // right
    case 2:
      return N(b.y);  // top
    case 3:
      return N(b.y + b.h);  // bottom
    case 4:
      return NewPoint(vm, b.x, b.y);  // topLeft
    case 5:
      return NewPoint(vm, b.x + b.w, b.y + b.h);  // bottomRight
    default:
      return NewPoint(vm, b.w, b.h);  // size
  }
}
// Setting an edge moves only that edge: the opposite one stays where it was.
template <int Which>
Value RectSet(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* r = R(vm, self);
  Box b = ReadBox(r);
  if (Which >= 4) {
    Object* p = GeomArg(vm, args, 0, kPoint);
    double px = GeomGet(p, kX), py = GeomGet(p, kY);
    if (Which == 4) b = {px, py, b.w + (b.x - px), b.h + (b.y - py)};
    if (Which == 5) b = {b.x, b.y, px - b.x, py - b.y};
    if (Which == 6) b = {b.x, b.y, px, py};
  } else {
    double v = ArgNumber(vm, args, 0);
    if (Which == 0) b = {v, b.y, b.w + (b.x - v), b.h};
    if (Which == 1) b.w = v - b.x;
    if (Which == 2) b = {b.x, v, b.w, b.h + (b.y - v)};
    if (Which == 3) b.h = v - b.y;
  }
  WriteBox(r, b);
  return Value();
}
Value RectClone(Vm& vm, const Value& self, std::span<const Value>) {
  return BoxValue(vm, ReadBox(R(vm, self)));
}
Value RectIsEmpty(Vm& vm, const Value& self, std::span<const Value>) {
  Box b = ReadBox(R(vm, self));
  return Value(b.w <= 0 || b.h <= 0);
}
Value RectSetEmpty(Vm& vm, const Value& self, std::span<const Value>) {
  WriteBox(R(vm, self), {0, 0, 0, 0});
  return Value();
}
Value RectInflate(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* r = R(vm, self);
  Box b = ReadBox(r);
  double dx = ArgNumber(vm, args, 0), dy = ArgNumber(vm, args, 1);
  WriteBox(r, {b.x - dx, b.y - dy, b.w + 2 * dx, b.h + 2 * dy});
  return Value();
}
Value RectInflatePoint(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* r = R(vm, self);
  Object* p = GeomArg(vm, args, 0, kPoint);
  Box b = ReadBox(r);
  double dx = GeomGet(p, kX), dy = GeomGet(p, kY);
  WriteBox(r, {b.x - dx, b.y - dy, b.w + 2 * dx, b.h + 2 * dy});
  return Value();
}
Value RectOffset(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* r = R(vm, self);
  GeomSet(r, kX, GeomGet(r, kX) + ArgNumber(vm, args, 0));
  GeomSet(r, kY, GeomGet(r, kY) + ArgNumber(vm, args, 1));
  return Value();
}
Value RectOffsetPoint(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* r = R(vm, self);
  Object* p = GeomArg(vm, args, 0, kPoint);
  GeomSet(r, kX, GeomGet(r, kX) + GeomGet(p, kX));
  GeomSet(r, kY, GeomGet(r, kY) + GeomGet(p, kY));
  return Value();
}
bool Contains(const Box& b, double x, double y) {
  return x >= b.x && x < b.x + b.w && y >= b.y && y < b.y + b.h;
}
Value RectContains(Vm& vm, const Value& self, std::span<const Value> args) {
  return Value(Contains(ReadBox(R(vm, self)), ArgNumber(vm, args, 0), ArgNumber(vm, args, 1)));
}
Value RectContainsPoint(Vm& vm, const Value& self, std::span<const Value> args) {
  Box b = ReadBox(R(vm, self));
  Object* p = GeomArg(vm, args, 0, kPoint);
  return Value(Contains(b, GeomGet(p, kX), GeomGet(p, kY)));
}
Value RectContainsRect(Vm& vm, const Value& self, std::span<const Value> args) {
  Box a = ReadBox(R(vm, self));
  Box o = ReadBox(GeomArg(vm, args, 0, kRect));
  double r1 = o.x + o.w, b1 = o.y + o.h, r2 = a.x + a.w, b2 = a.y + a.h;
  return Value(o.x >= a.x && o.x < r2 && o.y >= a.y && o.y < b2 && r1 > a.x && r1 <= r2 &&
               b1 > a.y && b1 <= b2);
}
// The overlap of two rectangles; empty (all zero) when either is empty or they do not meet.
Box Intersect(const Box& a, const Box& o) {
  if (a.Empty() || o.Empty()) return {0, 0, 0, 0};
  Box r{std::max(a.x, o.x), std::max(a.y, o.y), 0, 0};
  r.w = std::min(a.x + a.w, o.x + o.w) - r.x;
  r.h = std::min(a.y + a.h, o.y + o.h) - r.y;
  return r.Empty() ? Box{0, 0, 0, 0} : r;
}
Value RectIntersection(Vm& vm, const Value& self, std::span<const Value> args) {
  Box a = ReadBox(R(vm, self));
  return BoxValue(vm, Intersect(a, ReadBox(GeomArg(vm, args, 0, kRect))));
}
Value RectIntersects(Vm& vm, const Value& self, std::span<const Value> args) {
  Box a = ReadBox(R(vm, self));
  return Value(!Intersect(a, ReadBox(GeomArg(vm, args, 0, kRect))).Empty());
}
Value RectUnion(Vm& vm, const Value& self, std::span<const Value> args) {
  Box a = ReadBox(R(vm, self));
  Box o = ReadBox(GeomArg(vm, args, 0, kRect));
  if (a.w <= 0 || a.h <= 0) return BoxValue(vm, o);
  if (o.w <= 0 || o.h <= 0) return BoxValue(vm, a);
  Box r{std::min(a.x, o.x), std::min(a.y, o.y), 0, 0};
  r.w = std::max(a.x + a.w, o.x + o.w) - r.x;
  r.h = std::max(a.y + a.h, o.y + o.h) - r.y;
  return BoxValue(vm, r);
}
Value RectEquals(Vm& vm, const Value& self, std::span<const Value> args) {
  Box a = ReadBox(R(vm, self));
  Box o = ReadBox(GeomArg(vm, args, 0, kRect));
  return Value(a.x == o.x && a.y == o.y && a.w == o.w && a.h == o.h);
}
Value RectCopyFrom(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* r = R(vm, self);
  WriteBox(r, ReadBox(GeomArg(vm, args, 0, kRect)));
  return Value();
}
Value RectSetTo(Vm& vm, const Value& self, std::span<const Value> args) {
  return RectInit(vm, self, args);
}
Value RectToString(Vm& vm, const Value& self, std::span<const Value>) {
  Box b = ReadBox(R(vm, self));
  return Value(Str(u"(x=" + Num(vm, b.x).str() + u", y=" + Num(vm, b.y).str() + u", w=" +
                   Num(vm, b.w).str() + u", h=" + Num(vm, b.h).str() + u")"));
}

NativeMember NumberSlot(const char* name) { return Slot(name, Value(0.0)).Typed("Number"); }

}  // namespace

const NativeClass& PointClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.geom";
    c.name = "Point";
    c.instance = {NumberSlot("x"),
                  NumberSlot("y"),
                  Getter("length", PointLength),
                  Method("add", PointAdd, 1).Needs(1),
                  Method("subtract", PointSubtract, 1).Needs(1),
                  Method("clone", PointClone),
                  Method("copyFrom", PointCopyFrom, 1).Needs(1),
                  Method("equals", PointEquals, 1).Needs(1),
                  Method("normalize", PointNormalize, 1).Needs(1),
                  Method("offset", PointOffset, 2).Needs(2),
                  Method("setTo", PointSetTo, 2).Needs(2),
                  Method("toString", PointToString)};
    c.statics = {Method("distance", PointDistance, 2).Needs(2),
                 Method("interpolate", PointInterpolate, 3).Needs(3),
                 Method("polar", PointPolar, 2).Needs(2)};
    c.constructor = PointInit;
    c.constructor_length = 2;
    return c;
  }();
  return spec;
}

const NativeClass& RectangleClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.geom";
    c.name = "Rectangle";
    c.instance = {NumberSlot("x"),
                  NumberSlot("y"),
                  NumberSlot("width"),
                  NumberSlot("height"),
                  Getter("left", RectGet<0>),
                  Setter("left", RectSet<0>),
                  Getter("right", RectGet<1>),
                  Setter("right", RectSet<1>),
                  Getter("top", RectGet<2>),
                  Setter("top", RectSet<2>),
                  Getter("bottom", RectGet<3>),
                  Setter("bottom", RectSet<3>),
                  Getter("topLeft", RectGet<4>),
                  Setter("topLeft", RectSet<4>),
                  Getter("bottomRight", RectGet<5>),
                  Setter("bottomRight", RectSet<5>),
                  Getter("size", RectGet<6>),
                  Setter("size", RectSet<6>),
                  Method("clone", RectClone),
                  Method("isEmpty", RectIsEmpty),
                  Method("setEmpty", RectSetEmpty),
                  Method("inflate", RectInflate, 2).Needs(2),
                  Method("inflatePoint", RectInflatePoint, 1).Needs(1),
                  Method("offset", RectOffset, 2).Needs(2),
                  Method("offsetPoint", RectOffsetPoint, 1).Needs(1),
                  Method("contains", RectContains, 2).Needs(2),
                  Method("containsPoint", RectContainsPoint, 1).Needs(1),
                  Method("containsRect", RectContainsRect, 1).Needs(1),
                  Method("intersection", RectIntersection, 1).Needs(1),
                  Method("intersects", RectIntersects, 1).Needs(1),
                  Method("union", RectUnion, 1).Needs(1),
                  Method("equals", RectEquals, 1).Needs(1),
                  Method("copyFrom", RectCopyFrom, 1).Needs(1),
                  Method("setTo", RectSetTo, 4).Needs(4),
                  Method("toString", RectToString)};
    c.constructor = RectInit;
    c.constructor_length = 4;
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
