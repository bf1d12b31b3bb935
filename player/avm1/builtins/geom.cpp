// flash.geom: Point, Rectangle, Matrix and ColorTransform, as plain script objects whose fields
// any script may read and write; every method reads them afresh.
#include <cmath>
#include <numbers>

#include "player/avm1/builtins/builtins.h"

namespace flashsaver::avm1 {
namespace {

double Num(Vm& vm, Object* o, const char* name) {
  return o ? vm.ToNumber(vm.GetMember(o, name)) : NAN;
}
void Put(Vm& vm, Object* o, const char* name, double v) { vm.SetMember(o, name, v); }

Object* ClassProto(Vm& vm, const char* name) {
  Object* geom = vm.GetMember(FlashPackage(vm), "geom").AsObject();
  Object* ctor = geom ? vm.GetMember(geom, name).AsObject() : nullptr;
  return ctor ? vm.GetMember(ctor, "prototype").AsObject() : nullptr;
}

Object* New(Vm& vm, const char* cls, std::initializer_list<std::pair<const char*, double>> fields) {
  Object* o = vm.NewObject(ClassProto(vm, cls));
  for (const auto& [name, v] : fields) Put(vm, o, name, v);
  return o;
}

Object* NewPoint(Vm& vm, double x, double y) { return New(vm, "Point", {{"x", x}, {"y", y}}); }
Object* NewRect(Vm& vm, double x, double y, double w, double h) {
  return New(vm, "Rectangle", {{"x", x}, {"y", y}, {"width", w}, {"height", h}});
}

// --- Point ---

Value PointCtor(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  Put(vm, c.this_obj, "x", c.args.empty() ? 0 : vm.ToNumber(c.Arg(0)));
  Put(vm, c.this_obj, "y", c.args.size() < 2 ? 0 : vm.ToNumber(c.Arg(1)));
  return Value();
}
Value PointLength(Vm& vm, const CallArgs& c) {
  return std::hypot(Num(vm, c.this_obj, "x"), Num(vm, c.this_obj, "y"));
}
Value PointAdd(Vm& vm, const CallArgs& c) {
  Object* p = c.Arg(0).AsObject();
  return NewPoint(vm, Num(vm, c.this_obj, "x") + Num(vm, p, "x"),
                  Num(vm, c.this_obj, "y") + Num(vm, p, "y"));
}
Value PointSubtract(Vm& vm, const CallArgs& c) {
  Object* p = c.Arg(0).AsObject();
  return NewPoint(vm, Num(vm, c.this_obj, "x") - Num(vm, p, "x"),
                  Num(vm, c.this_obj, "y") - Num(vm, p, "y"));
}
Value PointEquals(Vm& vm, const CallArgs& c) {
  Object* p = c.Arg(0).AsObject();
  return p && Num(vm, c.this_obj, "x") == Num(vm, p, "x") &&
         Num(vm, c.this_obj, "y") == Num(vm, p, "y");
}
Value PointClone(Vm& vm, const CallArgs& c) {
  return NewPoint(vm, Num(vm, c.this_obj, "x"), Num(vm, c.this_obj, "y"));
}
Value PointNormalize(Vm& vm, const CallArgs& c) {
  const double x = Num(vm, c.this_obj, "x"), y = Num(vm, c.this_obj, "y");
  const double len = std::hypot(x, y);
  if (len > 0 && c.this_obj) {
    const double k = vm.ToNumber(c.Arg(0)) / len;
    Put(vm, c.this_obj, "x", x * k);
    Put(vm, c.this_obj, "y", y * k);
  }
  return Value();
}
Value PointOffset(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  Put(vm, c.this_obj, "x", Num(vm, c.this_obj, "x") + vm.ToNumber(c.Arg(0)));
  Put(vm, c.this_obj, "y", Num(vm, c.this_obj, "y") + vm.ToNumber(c.Arg(1)));
  return Value();
}
Value PointToString(Vm& vm, const CallArgs& c) {
  return "(x=" + vm.ToString(vm.GetMember(c.this_obj, "x")) +
         ", y=" + vm.ToString(vm.GetMember(c.this_obj, "y")) + ")";
}
Value PointDistance(Vm& vm, const CallArgs& c) {
  Object* a = c.Arg(0).AsObject();
  Object* b = c.Arg(1).AsObject();
  return std::hypot(Num(vm, a, "x") - Num(vm, b, "x"), Num(vm, a, "y") - Num(vm, b, "y"));
}
// interpolate(a, b, f): f = 1 gives a, 0 gives b.
Value PointInterpolate(Vm& vm, const CallArgs& c) {
  Object* a = c.Arg(0).AsObject();
  Object* b = c.Arg(1).AsObject();
  const double f = vm.ToNumber(c.Arg(2));
  return NewPoint(vm, Num(vm, b, "x") + f * (Num(vm, a, "x") - Num(vm, b, "x")),
                  Num(vm, b, "y") + f * (Num(vm, a, "y") - Num(vm, b, "y")));
}
Value PointPolar(Vm& vm, const CallArgs& c) {
  const double len = vm.ToNumber(c.Arg(0)), angle = vm.ToNumber(c.Arg(1));
  return NewPoint(vm, len * std::cos(angle), len * std::sin(angle));
}

// --- Rectangle ---

struct Box {
  double x, y, w, h;
};
Box BoxOf(Vm& vm, Object* o) {
  return {Num(vm, o, "x"), Num(vm, o, "y"), Num(vm, o, "width"), Num(vm, o, "height")};
}
void SetBox(Vm& vm, Object* o, const Box& b) {
  Put(vm, o, "x", b.x);
  Put(vm, o, "y", b.y);
  Put(vm, o, "width", b.w);
  Put(vm, o, "height", b.h);
}
bool Empty(const Box& b) { return !(b.w > 0 && b.h > 0); }

Value RectCtor(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  const char* names[] = {"x", "y", "width", "height"};
  for (size_t i = 0; i < 4; ++i)
    Put(vm, c.this_obj, names[i], c.args.empty() ? 0 : vm.ToNumber(c.Arg(i)));
  return Value();
}
Value RectLeft(Vm& vm, const CallArgs& c) { return Num(vm, c.this_obj, "x"); }
Value RectTop(Vm& vm, const CallArgs& c) { return Num(vm, c.this_obj, "y"); }
Value RectRight(Vm& vm, const CallArgs& c) {
  return Num(vm, c.this_obj, "x") + Num(vm, c.this_obj, "width");
}
Value RectBottom(Vm& vm, const CallArgs& c) {
  return Num(vm, c.this_obj, "y") + Num(vm, c.this_obj, "height");
}
Value RectTopLeft(Vm& vm, const CallArgs& c) {
  return NewPoint(vm, Num(vm, c.this_obj, "x"), Num(vm, c.this_obj, "y"));
}
Value RectBottomRight(Vm& vm, const CallArgs& c) {
  const Box b = BoxOf(vm, c.this_obj);
  return NewPoint(vm, b.x + b.w, b.y + b.h);
}
Value RectSize(Vm& vm, const CallArgs& c) {
  return NewPoint(vm, Num(vm, c.this_obj, "width"), Num(vm, c.this_obj, "height"));
}
Value RectClone(Vm& vm, const CallArgs& c) {
  const Box b = BoxOf(vm, c.this_obj);
  return NewRect(vm, b.x, b.y, b.w, b.h);
}
Value RectContains(Vm& vm, const CallArgs& c) {
  const Box b = BoxOf(vm, c.this_obj);
  const double x = vm.ToNumber(c.Arg(0)), y = vm.ToNumber(c.Arg(1));
  return x >= b.x && x < b.x + b.w && y >= b.y && y < b.y + b.h;
}
Value RectContainsPoint(Vm& vm, const CallArgs& c) {
  Object* p = c.Arg(0).AsObject();
  const Value args[] = {Num(vm, p, "x"), Num(vm, p, "y")};
  return RectContains(vm, CallArgs{c.this_obj, args, c.callee, false});
}
Value RectContainsRectangle(Vm& vm, const CallArgs& c) {
  const Box a = BoxOf(vm, c.this_obj), b = BoxOf(vm, c.Arg(0).AsObject());
  return b.x >= a.x && b.y >= a.y && b.x + b.w <= a.x + a.w && b.y + b.h <= a.y + a.h;
}
Value RectEquals(Vm& vm, const CallArgs& c) {
  Object* o = c.Arg(0).AsObject();
  if (!o) return false;
  const Box a = BoxOf(vm, c.this_obj), b = BoxOf(vm, o);
  return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
}
Value RectInflate(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  Box b = BoxOf(vm, c.this_obj);
  const double dx = vm.ToNumber(c.Arg(0)), dy = vm.ToNumber(c.Arg(1));
  SetBox(vm, c.this_obj, {b.x - dx, b.y - dy, b.w + 2 * dx, b.h + 2 * dy});
  return Value();
}
Value RectInflatePoint(Vm& vm, const CallArgs& c) {
  Object* p = c.Arg(0).AsObject();
  const Value args[] = {Num(vm, p, "x"), Num(vm, p, "y")};
  return RectInflate(vm, CallArgs{c.this_obj, args, c.callee, false});
}
Value RectIntersection(Vm& vm, const CallArgs& c) {
  const Box a = BoxOf(vm, c.this_obj), b = BoxOf(vm, c.Arg(0).AsObject());
  const double x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
  const double x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
  if (!(x1 > x0 && y1 > y0)) return NewRect(vm, 0, 0, 0, 0);
  return NewRect(vm, x0, y0, x1 - x0, y1 - y0);
}
Value RectIntersects(Vm& vm, const CallArgs& c) {
  const Box a = BoxOf(vm, c.this_obj), b = BoxOf(vm, c.Arg(0).AsObject());
  return std::max(a.x, b.x) < std::min(a.x + a.w, b.x + b.w) &&
         std::max(a.y, b.y) < std::min(a.y + a.h, b.y + b.h);
}
Value RectIsEmpty(Vm& vm, const CallArgs& c) { return Empty(BoxOf(vm, c.this_obj)); }
Value RectOffset(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  Put(vm, c.this_obj, "x", Num(vm, c.this_obj, "x") + vm.ToNumber(c.Arg(0)));
  Put(vm, c.this_obj, "y", Num(vm, c.this_obj, "y") + vm.ToNumber(c.Arg(1)));
  return Value();
}
Value RectOffsetPoint(Vm& vm, const CallArgs& c) {
  Object* p = c.Arg(0).AsObject();
  const Value args[] = {Num(vm, p, "x"), Num(vm, p, "y")};
  return RectOffset(vm, CallArgs{c.this_obj, args, c.callee, false});
}
Value RectSetEmpty(Vm& vm, const CallArgs& c) {
  if (c.this_obj) SetBox(vm, c.this_obj, {0, 0, 0, 0});
  return Value();
}
Value RectUnion(Vm& vm, const CallArgs& c) {
  const Box a = BoxOf(vm, c.this_obj), b = BoxOf(vm, c.Arg(0).AsObject());
  if (Empty(a)) return NewRect(vm, b.x, b.y, b.w, b.h);
  if (Empty(b)) return NewRect(vm, a.x, a.y, a.w, a.h);
  const double x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
  const double x1 = std::max(a.x + a.w, b.x + b.w), y1 = std::max(a.y + a.h, b.y + b.h);
  return NewRect(vm, x0, y0, x1 - x0, y1 - y0);
}
Value RectToString(Vm& vm, const CallArgs& c) {
  auto s = [&](const char* n) { return vm.ToString(vm.GetMember(c.this_obj, n)); };
  return "(x=" + s("x") + ", y=" + s("y") + ", w=" + s("width") + ", h=" + s("height") + ")";
}

// --- Matrix ---

struct Affine {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};
Affine AffineOf(Vm& vm, Object* o) {
  return {Num(vm, o, "a"), Num(vm, o, "b"),  Num(vm, o, "c"),
          Num(vm, o, "d"), Num(vm, o, "tx"), Num(vm, o, "ty")};
}
void SetAffine(Vm& vm, Object* o, const Affine& m) {
  Put(vm, o, "a", m.a);
  Put(vm, o, "b", m.b);
  Put(vm, o, "c", m.c);
  Put(vm, o, "d", m.d);
  Put(vm, o, "tx", m.tx);
  Put(vm, o, "ty", m.ty);
}
// first, then second.
Affine Then(const Affine& m, const Affine& n) {
  return {m.a * n.a + m.b * n.c, m.a * n.b + m.b * n.d,          m.c * n.a + m.d * n.c,
          m.c * n.b + m.d * n.d, m.tx * n.a + m.ty * n.c + n.tx, m.tx * n.b + m.ty * n.d + n.ty};
}
void Update(Vm& vm, const CallArgs& c, const Affine& by) {
  if (c.this_obj) SetAffine(vm, c.this_obj, Then(AffineOf(vm, c.this_obj), by));
}

Value MatrixCtor(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  Affine m;
  if (!c.args.empty()) {
    m = {vm.ToNumber(c.Arg(0)), vm.ToNumber(c.Arg(1)), vm.ToNumber(c.Arg(2)),
         vm.ToNumber(c.Arg(3)), vm.ToNumber(c.Arg(4)), vm.ToNumber(c.Arg(5))};
  }
  SetAffine(vm, c.this_obj, m);
  return Value();
}
Value MatrixClone(Vm& vm, const CallArgs& c) {
  Object* o = vm.NewObject(ClassProto(vm, "Matrix"));
  SetAffine(vm, o, AffineOf(vm, c.this_obj));
  return o;
}
Value MatrixConcat(Vm& vm, const CallArgs& c) {
  Update(vm, c, AffineOf(vm, c.Arg(0).AsObject()));
  return Value();
}
Value MatrixIdentity(Vm& vm, const CallArgs& c) {
  if (c.this_obj) SetAffine(vm, c.this_obj, Affine{});
  return Value();
}
Value MatrixInvert(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  const Affine m = AffineOf(vm, c.this_obj);
  const double det = m.a * m.d - m.b * m.c;
  if (det == 0) {
    SetAffine(vm, c.this_obj, Affine{});
    return Value();
  }
  const Affine inv{m.d / det,
                   -m.b / det,
                   -m.c / det,
                   m.a / det,
                   (m.c * m.ty - m.d * m.tx) / det,
                   (m.b * m.tx - m.a * m.ty) / det};
  SetAffine(vm, c.this_obj, inv);
  return Value();
}
Value MatrixRotate(Vm& vm, const CallArgs& c) {
  const double r = vm.ToNumber(c.Arg(0));
  Update(vm, c, {std::cos(r), std::sin(r), -std::sin(r), std::cos(r), 0, 0});
  return Value();
}
Value MatrixScale(Vm& vm, const CallArgs& c) {
  Update(vm, c, {vm.ToNumber(c.Arg(0)), 0, 0, vm.ToNumber(c.Arg(1)), 0, 0});
  return Value();
}
Value MatrixTranslate(Vm& vm, const CallArgs& c) {
  Update(vm, c, {1, 0, 0, 1, vm.ToNumber(c.Arg(0)), vm.ToNumber(c.Arg(1))});
  return Value();
}
Value MatrixCreateBox(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  const double sx = vm.ToNumber(c.Arg(0)), sy = vm.ToNumber(c.Arg(1));
  const double r = c.args.size() > 2 ? vm.ToNumber(c.Arg(2)) : 0;
  const double tx = c.args.size() > 3 ? vm.ToNumber(c.Arg(3)) : 0;
  const double ty = c.args.size() > 4 ? vm.ToNumber(c.Arg(4)) : 0;
  SetAffine(vm, c.this_obj,
            {sx * std::cos(r), sy * std::sin(r), -sx * std::sin(r), sy * std::cos(r), tx, ty});
  return Value();
}
// The gradient square is 1638.4 twips across: the box maps it onto width by height.
Value MatrixCreateGradientBox(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  const double w = vm.ToNumber(c.Arg(0)), h = vm.ToNumber(c.Arg(1));
  const double r = c.args.size() > 2 ? vm.ToNumber(c.Arg(2)) : 0;
  const double tx = c.args.size() > 3 ? vm.ToNumber(c.Arg(3)) : 0;
  const double ty = c.args.size() > 4 ? vm.ToNumber(c.Arg(4)) : 0;
  const double sx = w / 1638.4, sy = h / 1638.4;
  SetAffine(vm, c.this_obj,
            {sx * std::cos(r), sy * std::sin(r), -sx * std::sin(r), sy * std::cos(r), tx + w / 2,
             ty + h / 2});
  return Value();
}
Value MatrixTransformPoint(Vm& vm, const CallArgs& c) {
  const Affine m = AffineOf(vm, c.this_obj);
  Object* p = c.Arg(0).AsObject();
  const double x = Num(vm, p, "x"), y = Num(vm, p, "y");
  return NewPoint(vm, m.a * x + m.c * y + m.tx, m.b * x + m.d * y + m.ty);
}
Value MatrixDeltaTransformPoint(Vm& vm, const CallArgs& c) {
  const Affine m = AffineOf(vm, c.this_obj);
  Object* p = c.Arg(0).AsObject();
  const double x = Num(vm, p, "x"), y = Num(vm, p, "y");
  return NewPoint(vm, m.a * x + m.c * y, m.b * x + m.d * y);
}
Value MatrixToString(Vm& vm, const CallArgs& c) {
  auto s = [&](const char* n) { return vm.ToString(vm.GetMember(c.this_obj, n)); };
  return "(a=" + s("a") + ", b=" + s("b") + ", c=" + s("c") + ", d=" + s("d") + ", tx=" + s("tx") +
         ", ty=" + s("ty") + ")";
}

// --- ColorTransform ---

constexpr const char* kColorFields[] = {"redMultiplier",   "greenMultiplier", "blueMultiplier",
                                        "alphaMultiplier", "redOffset",       "greenOffset",
                                        "blueOffset",      "alphaOffset"};

// The eight terms live in the object; the prototype's accessors read and write them, so they
// are the prototype's own properties and other objects have none.
class ColorTransformObject final : public Object {
 public:
  ColorTransformObject() : Object(ObjectKind::kOther) {}
  double terms[8] = {1, 1, 1, 1, 0, 0, 0, 0};
};

ColorTransformObject* ColorOf(const CallArgs& c) {
  return c.this_obj && c.this_obj->kind() == ObjectKind::kOther
             ? dynamic_cast<ColorTransformObject*>(c.this_obj)
             : nullptr;
}

// The terms are taken only when all eight are given; fewer leave the identity.
Value ColorCtor(Vm& vm, const CallArgs& c) {
  auto* color = vm.New<ColorTransformObject>();
  Object* proto = vm.GetMember(c.callee, "prototype").AsObject();
  color->Define("__proto__", proto ? Value(proto) : Value(vm.object_proto), prop_flag::kDontEnum);
  if (c.args.size() >= 8) {
    for (size_t i = 0; i < 8; ++i) color->terms[i] = vm.ToNumber(c.args[i]);
  }
  return static_cast<Object*>(color);
}
template <size_t I>
Value ColorTerm(Vm&, const CallArgs& c) {
  ColorTransformObject* color = ColorOf(c);
  return color ? Value(color->terms[I]) : Value();
}
template <size_t I>
Value ColorSetTerm(Vm& vm, const CallArgs& c) {
  if (ColorTransformObject* color = ColorOf(c)) color->terms[I] = vm.ToNumber(c.Arg(0));
  return Value();
}
// The offsets as integers, shifted into place and or-ed, unmasked.
Value ColorRgb(Vm&, const CallArgs& c) {
  ColorTransformObject* color = ColorOf(c);
  if (!color) return Value();
  const auto part = [&](size_t i) { return static_cast<uint32_t>(ToInt32(color->terms[i])); };
  return static_cast<double>(static_cast<int32_t>((part(4) << 16) | (part(5) << 8) | part(6)));
}
Value ColorSetRgb(Vm& vm, const CallArgs& c) {
  ColorTransformObject* color = ColorOf(c);
  if (!color) return Value();
  const auto rgb = static_cast<uint32_t>(vm.ToInt(c.Arg(0)));
  color->terms[0] = color->terms[1] = color->terms[2] = 0;
  color->terms[4] = (rgb >> 16) & 0xFF;
  color->terms[5] = (rgb >> 8) & 0xFF;
  color->terms[6] = rgb & 0xFF;
  return Value();
}
// this then second: offsets of this are scaled by the second's multipliers.
Value ColorConcat(Vm& vm, const CallArgs& c) {
  Object* o = c.Arg(0).AsObject();
  if (!c.this_obj || !o) return Value();
  for (size_t i = 0; i < 4; ++i) {
    const double m1 = Num(vm, c.this_obj, kColorFields[i]), m2 = Num(vm, o, kColorFields[i]);
    const double a1 = Num(vm, c.this_obj, kColorFields[i + 4]),
                 a2 = Num(vm, o, kColorFields[i + 4]);
    Put(vm, c.this_obj, kColorFields[i], m1 * m2);
    Put(vm, c.this_obj, kColorFields[i + 4], a2 * m1 + a1);
  }
  return Value();
}
Value ColorToString(Vm& vm, const CallArgs& c) {
  std::string out = "(";
  for (size_t i = 0; i < 8; ++i) {
    out += (i ? ", " : "") + std::string(kColorFields[i]) + "=" +
           vm.ToString(vm.GetMember(c.this_obj, kColorFields[i]));
  }
  return out + ")";
}

void Getter(Vm& vm, Object* proto, const char* name, NativeFn get, NativeFn set = nullptr) {
  Property& p = proto->SetOwn(name, Value(), true);
  p.virtual_property = true;
  p.getter = vm.NewNative(get);
  p.setter = set ? vm.NewNative(set) : nullptr;
  p.flags = prop_flag::kDontEnum;
}

Object* Class(Vm& vm, Object* geom, const char* name, NativeFn ctor,
              std::initializer_list<std::pair<const char*, NativeFn>> methods) {
  Object* proto = vm.NewObject();
  for (const auto& [n, fn] : methods) vm.DefineMethod(proto, n, fn);
  Object* cls = vm.NewNative(ctor);
  cls->Define("prototype", proto, prop_flag::kDontEnum);
  proto->Define("constructor", cls, prop_flag::kDontEnum);
  geom->Define(name, cls, prop_flag::kDontEnum);
  return cls;
}

}  // namespace

Object* FlashPackage(Vm& vm) {
  if (Property* p = vm.global()->FindOwn("flash", true)) {
    if (Object* flash = p->value.AsObject()) return flash;
  }
  // The flash package came with SWF 8: older movies do not see it. Only the global carries the
  // version flag, so a movie that clears it (ASSetPropFlags) sees every package below.
  Object* flash = vm.NewObject();
  vm.global()->Define("flash", flash, prop_flag::kDontEnum | prop_flag::kVersion8);
  return flash;
}

void InstallGeom(Vm& vm) {
  Object* flash = FlashPackage(vm);
  Object* geom = vm.NewObject();
  flash->Define("geom", geom, prop_flag::kDontEnum);

  Object* point = Class(vm, geom, "Point", PointCtor,
                        {{"add", PointAdd},
                         {"subtract", PointSubtract},
                         {"equals", PointEquals},
                         {"clone", PointClone},
                         {"normalize", PointNormalize},
                         {"offset", PointOffset},
                         {"toString", PointToString}});
  Getter(vm, vm.GetMember(point, "prototype").AsObject(), "length", PointLength);
  vm.DefineMethod(point, "distance", PointDistance);
  vm.DefineMethod(point, "interpolate", PointInterpolate);
  vm.DefineMethod(point, "polar", PointPolar);

  Object* rect = Class(vm, geom, "Rectangle", RectCtor,
                       {{"clone", RectClone},
                        {"contains", RectContains},
                        {"containsPoint", RectContainsPoint},
                        {"containsRectangle", RectContainsRectangle},
                        {"equals", RectEquals},
                        {"inflate", RectInflate},
                        {"inflatePoint", RectInflatePoint},
                        {"intersection", RectIntersection},
                        {"intersects", RectIntersects},
                        {"isEmpty", RectIsEmpty},
                        {"offset", RectOffset},
                        {"offsetPoint", RectOffsetPoint},
                        {"setEmpty", RectSetEmpty},
                        {"union", RectUnion},
                        {"toString", RectToString}});
  Object* rect_proto = vm.GetMember(rect, "prototype").AsObject();
  Getter(vm, rect_proto, "left", RectLeft);
  Getter(vm, rect_proto, "top", RectTop);
  Getter(vm, rect_proto, "right", RectRight);
  Getter(vm, rect_proto, "bottom", RectBottom);
  Getter(vm, rect_proto, "topLeft", RectTopLeft);
  Getter(vm, rect_proto, "bottomRight", RectBottomRight);
  Getter(vm, rect_proto, "size", RectSize);

  Class(vm, geom, "Matrix", MatrixCtor,
        {{"clone", MatrixClone},
         {"concat", MatrixConcat},
         {"identity", MatrixIdentity},
         {"invert", MatrixInvert},
         {"rotate", MatrixRotate},
         {"scale", MatrixScale},
         {"translate", MatrixTranslate},
         {"createBox", MatrixCreateBox},
         {"createGradientBox", MatrixCreateGradientBox},
         {"transformPoint", MatrixTransformPoint},
         {"deltaTransformPoint", MatrixDeltaTransformPoint},
         {"toString", MatrixToString}});

  Object* color = Class(vm, geom, "ColorTransform", ColorCtor,
                        {{"concat", ColorConcat}, {"toString", ColorToString}});
  static_cast<FunctionObject*>(color)->native_construct = ColorCtor;
  Object* color_proto = vm.GetMember(color, "prototype").AsObject();
  Getter(vm, color_proto, "rgb", ColorRgb, ColorSetRgb);
  const NativeFn getters[8] = {ColorTerm<0>, ColorTerm<1>, ColorTerm<2>, ColorTerm<3>,
                               ColorTerm<4>, ColorTerm<5>, ColorTerm<6>, ColorTerm<7>};
  const NativeFn setters[8] = {ColorSetTerm<0>, ColorSetTerm<1>, ColorSetTerm<2>, ColorSetTerm<3>,
                               ColorSetTerm<4>, ColorSetTerm<5>, ColorSetTerm<6>, ColorSetTerm<7>};
  for (size_t i = 0; i < 8; ++i) Getter(vm, color_proto, kColorFields[i], getters[i], setters[i]);
}

}  // namespace flashsaver::avm1
