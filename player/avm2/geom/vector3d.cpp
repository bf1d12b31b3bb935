// flash.geom.Vector3D: x, y, z and w as Number slots. Most operations leave w alone.
#include <cmath>

#include "player/avm2/geom/geom.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

using namespace geom_slot;
constexpr const char* kVector3D = "flash.geom::Vector3D";

struct V4 {
  double x, y, z, w;
};
Object* Self(Vm& vm, const Value& self) { return GeomThis(vm, self, kVector3D); }
V4 Read(Object* o) { return {GeomGet(o, kX), GeomGet(o, kY), GeomGet(o, kZ), GeomGet(o, kW)}; }
void Write3(Object* o, double x, double y, double z) {
  GeomSet(o, kX, x);
  GeomSet(o, kY, y);
  GeomSet(o, kZ, z);
}
V4 ArgV(Vm& vm, std::span<const Value> args, size_t i) {
  return Read(GeomArg(vm, args, i, kVector3D));
}
Value New(Vm& vm, double x, double y, double z, double w) {
  return Value(NewGeom(vm, kVector3D, {x, y, z, w}));
}
double Len(const V4& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

Value Init(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* o = Self(vm, self);
  Write3(o, ArgNumber(vm, args, 0), ArgNumber(vm, args, 1), ArgNumber(vm, args, 2));
  GeomSet(o, kW, ArgNumber(vm, args, 3));
  return Value();
}
Value Length(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Len(Read(Self(vm, self))));
}
Value LengthSquared(Vm& vm, const Value& self, std::span<const Value>) {
  V4 v = Read(Self(vm, self));
  return Value(v.x * v.x + v.y * v.y + v.z * v.z);
}
Value Add(Vm& vm, const Value& self, std::span<const Value> args) {
  V4 a = Read(Self(vm, self)), b = ArgV(vm, args, 0);
  return New(vm, a.x + b.x, a.y + b.y, a.z + b.z, 0);
}
Value Subtract(Vm& vm, const Value& self, std::span<const Value> args) {
  V4 a = Read(Self(vm, self)), b = ArgV(vm, args, 0);
  return New(vm, a.x - b.x, a.y - b.y, a.z - b.z, 0);
}
Value IncrementBy(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* o = Self(vm, self);
  V4 a = Read(o), b = ArgV(vm, args, 0);
  Write3(o, a.x + b.x, a.y + b.y, a.z + b.z);
  return Value();
}
Value DecrementBy(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* o = Self(vm, self);
  V4 a = Read(o), b = ArgV(vm, args, 0);
  Write3(o, a.x - b.x, a.y - b.y, a.z - b.z);
  return Value();
}
Value Clone(Vm& vm, const Value& self, std::span<const Value>) {
  V4 a = Read(Self(vm, self));
  return New(vm, a.x, a.y, a.z, a.w);
}
Value CopyFrom(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* o = Self(vm, self);
  V4 b = ArgV(vm, args, 0);
  Write3(o, b.x, b.y, b.z);
  return Value();
}
Value Equals(Vm& vm, const Value& self, std::span<const Value> args) {
  V4 a = Read(Self(vm, self)), b = ArgV(vm, args, 0);
  bool all = ArgBool(vm, args, 1);
  return Value(a.x == b.x && a.y == b.y && a.z == b.z && (!all || a.w == b.w));
}
// With allFour, Flash compares only the other vector's w with the tolerance (not the difference).
Value NearEquals(Vm& vm, const Value& self, std::span<const Value> args) {
  V4 a = Read(Self(vm, self)), b = ArgV(vm, args, 0);
  double t = ArgNumber(vm, args, 1);
  bool all = ArgBool(vm, args, 2);
  return Value(std::fabs(a.x - b.x) < t && std::fabs(a.y - b.y) < t && std::fabs(a.z - b.z) < t &&
               (!all || std::fabs(b.w) < t));
}
Value SetTo(Vm& vm, const Value& self, std::span<const Value> args) {
  Write3(Self(vm, self), ArgNumber(vm, args, 0), ArgNumber(vm, args, 1), ArgNumber(vm, args, 2));
  return Value();
}
Value ScaleBy(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* o = Self(vm, self);
  V4 a = Read(o);
  double s = ArgNumber(vm, args, 0);
  Write3(o, a.x * s, a.y * s, a.z * s);
  return Value();
}
Value Negate(Vm& vm, const Value& self, std::span<const Value>) {
  Object* o = Self(vm, self);
  V4 a = Read(o);
  Write3(o, -a.x, -a.y, -a.z);
  return Value();
}
Value Project(Vm& vm, const Value& self, std::span<const Value>) {
  Object* o = Self(vm, self);
  V4 a = Read(o);
  Write3(o, a.x / a.w, a.y / a.w, a.z / a.w);
  return Value();
}
// Returns the length it had; a zero vector stays zero, a NaN one becomes all NaN.
Value Normalize(Vm& vm, const Value& self, std::span<const Value>) {
  Object* o = Self(vm, self);
  V4 a = Read(o);
  double len = Len(a);
  if (len == 0)
    Write3(o, 0, 0, 0);
  else if (len > 0)
    Write3(o, a.x / len, a.y / len, a.z / len);
  else
    Write3(o, NAN, NAN, NAN);
  return Value(len);
}
Value DotProduct(Vm& vm, const Value& self, std::span<const Value> args) {
  V4 a = Read(Self(vm, self)), b = ArgV(vm, args, 0);
  return Value(a.x * b.x + a.y * b.y + a.z * b.z);
}
Value CrossProduct(Vm& vm, const Value& self, std::span<const Value> args) {
  V4 a = Read(Self(vm, self)), b = ArgV(vm, args, 0);
  return New(vm, a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x, 1);
}
Value ToStringFn(Vm& vm, const Value& self, std::span<const Value>) {
  V4 a = Read(Self(vm, self));
  return Value(Str(u"Vector3D(" + vm.ToString(Value(a.x)).str() + u", " +
                   vm.ToString(Value(a.y)).str() + u", " + vm.ToString(Value(a.z)).str() + u")"));
}
Value AngleBetween(Vm& vm, const Value&, std::span<const Value> args) {
  V4 a = ArgV(vm, args, 0), b = ArgV(vm, args, 1);
  return Value(std::acos((a.x * b.x + a.y * b.y + a.z * b.z) / (Len(a) * Len(b))));
}
Value Distance(Vm& vm, const Value&, std::span<const Value> args) {
  V4 a = ArgV(vm, args, 0), b = ArgV(vm, args, 1);
  return Value(Len({b.x - a.x, b.y - a.y, b.z - a.z, 0}));
}

// X_AXIS and the others are one Vector3D each, made on first use and kept on the class.
Value Axis(Vm& vm, const Value& cls, int axis) {
  static const char16_t* const kKeys[] = {u"\uE000X_AXIS", u"\uE000Y_AXIS", u"\uE000Z_AXIS"};
  Object* c = cls.AsObject();
  if (!c) return New(vm, axis == 0 ? 1 : 0, axis == 1 ? 1 : 0, axis == 2 ? 1 : 0, 0);
  Str key(kKeys[axis]);
  if (auto* e = c->dynamic().FindEntry(key.view())) return e->value;
  Value v = New(vm, axis == 0 ? 1 : 0, axis == 1 ? 1 : 0, axis == 2 ? 1 : 0, 0);
  c->dynamic().Set(key, v);
  c->dynamic().FindEntry(key.view())->enumerable = false;
  return v;
}
Value XAxis(Vm& vm, const Value& self, std::span<const Value>) { return Axis(vm, self, 0); }
Value YAxis(Vm& vm, const Value& self, std::span<const Value>) { return Axis(vm, self, 1); }
Value ZAxis(Vm& vm, const Value& self, std::span<const Value>) { return Axis(vm, self, 2); }

NativeMember NumberSlot(const char* name) { return Slot(name, Value(0.0)).Typed("Number"); }

}  // namespace

const NativeClass& Vector3DClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.geom";
    c.name = "Vector3D";
    c.instance = {NumberSlot("x"),
                  NumberSlot("y"),
                  NumberSlot("z"),
                  NumberSlot("w"),
                  Getter("length", Length),
                  Getter("lengthSquared", LengthSquared),
                  Method("add", Add, 1).Needs(1),
                  Method("subtract", Subtract, 1).Needs(1),
                  Method("incrementBy", IncrementBy, 1).Needs(1),
                  Method("decrementBy", DecrementBy, 1).Needs(1),
                  Method("clone", Clone),
                  Method("copyFrom", CopyFrom, 1).Needs(1),
                  Method("equals", Equals, 2).Needs(1),
                  Method("nearEquals", NearEquals, 3).Needs(2),
                  Method("setTo", SetTo, 3).Needs(3),
                  Method("scaleBy", ScaleBy, 1).Needs(1),
                  Method("negate", Negate),
                  Method("project", Project),
                  Method("normalize", Normalize),
                  Method("dotProduct", DotProduct, 1).Needs(1),
                  Method("crossProduct", CrossProduct, 1).Needs(1),
                  Method("toString", ToStringFn)};
    c.statics = {Getter("X_AXIS", XAxis), Getter("Y_AXIS", YAxis), Getter("Z_AXIS", ZAxis),
                 Method("angleBetween", AngleBetween, 2).Needs(2),
                 Method("distance", Distance, 2).Needs(2)};
    c.constructor = Init;
    c.constructor_length = 4;
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
