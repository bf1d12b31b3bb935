// flash.display.Graphics: the drawing of a Sprite or Shape, kept in its clip's ClipDrawing as
// the AS1 drawing API keeps a movie clip's. Coordinates are the object's pixels.
#include <cmath>
#include <numbers>

#include "player/avm2/display/display_natives.h"
#include "player/avm2/vm.h"
#include "player/display/clip_drawing.h"

namespace flashsaver::avm2 {
namespace {

class GraphicsObject : public BoxedObject {
 public:
  using BoxedObject::BoxedObject;
  NodeObject* owner = nullptr;
  void Trace(Tracer& tracer) override {
    BoxedObject::Trace(tracer);
    tracer.Mark(owner);
  }
};

Object* CreateGraphics(Vm& vm, ClassObject* cls) {
  return vm.heap().New<GraphicsObject>(cls, cls->prototype);
}

ClipDrawing* DrawingOf(Vm& vm, const Value& self) {
  auto* g = ThisAs<GraphicsObject>(vm, self, "flash.display.Graphics");
  Clip* clip = g->owner ? g->owner->clip() : nullptr;
  if (!clip) return nullptr;
  if (!clip->drawing) clip->drawing = std::make_unique<ClipDrawing>();
  return clip->drawing.get();
}

double Num(Vm& vm, std::span<const Value> args, size_t i, double def = 0) {
  const double v = ArgNumber(vm, args, i, def);
  return std::isfinite(v) ? std::clamp(v, -1e8, 1e8) : def;
}

// A colour 0xRRGGBB and an alpha from 0 to 1.
Rgba Colour(Vm& vm, const Value& rgb, const Value& alpha) {
  const uint32_t bits = rgb.IsUndefined() ? 0 : vm.ToUint32(rgb);
  double a = alpha.IsUndefined() ? 1.0 : vm.ToNumber(alpha);
  if (!std::isfinite(a)) a = 0;
  a = std::clamp(a, 0.0, 1.0);
  return Rgba{static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 8),
              static_cast<uint8_t>(bits), static_cast<uint8_t>(std::lround(a * 255))};
}

bool Is(Vm& vm, const Value& v, const char* text) {
  return v.IsString() && vm.ToString(v).ToUtf8() == text;
}

Value LineStyleFn(Vm& vm, const Value& self, std::span<const Value> args) {
  ClipDrawing* d = DrawingOf(vm, self);
  if (!d) return Value();
  const double width = ArgNumber(vm, args, 0, NAN);
  if (std::isnan(width)) {
    d->SetLine(std::nullopt);
    return Value();
  }
  LineStyle line;
  line.width = static_cast<uint16_t>(std::lround(std::clamp(width, 0.0, 255.0) * 20));
  line.color = Colour(vm, Arg(args, 1), Arg(args, 2));
  line.pixel_hinting = ArgBool(vm, args, 3);
  const Value scale = Arg(args, 4);
  line.no_hscale = Is(vm, scale, "none") || Is(vm, scale, "vertical");
  line.no_vscale = Is(vm, scale, "none") || Is(vm, scale, "horizontal");
  const CapStyle cap = Is(vm, Arg(args, 5), "none")     ? CapStyle::kNone
                       : Is(vm, Arg(args, 5), "square") ? CapStyle::kSquare
                                                        : CapStyle::kRound;
  line.start_cap = line.end_cap = cap;
  line.join = Is(vm, Arg(args, 6), "miter")   ? JoinStyle::kMiter
              : Is(vm, Arg(args, 6), "bevel") ? JoinStyle::kBevel
                                              : JoinStyle::kRound;
  line.miter_limit = std::clamp(Num(vm, args, 7, 3), 1.0, 255.0);
  d->SetLine(line);
  return Value();
}

Value BeginFill(Vm& vm, const Value& self, std::span<const Value> args) {
  ClipDrawing* d = DrawingOf(vm, self);
  if (!d) return Value();
  d->EndFill();
  FillStyle fill;
  fill.color = Colour(vm, Arg(args, 0), Arg(args, 1));
  d->BeginFill(fill);
  return Value();
}

// A flash.geom.Matrix maps the gradient square (-819.2..819.2 pixels) to the object's pixels;
// in twips only the translation scales.
Matrix GradientMatrix(Vm& vm, const Value& m) {
  if (!m.AsObject()) return Matrix{};  // the square itself, about the origin
  auto get = [&](const char* name) {
    const double v = vm.ToNumber(vm.GetProperty(m, name));
    return std::isfinite(v) ? v : 0.0;
  };
  return Matrix{get("a"), get("b"), get("c"), get("d"), get("tx") * 20, get("ty") * 20};
}

uint32_t LengthOf(Vm& vm, const Value& array) {
  return array.AsObject() ? vm.ToUint32(vm.GetProperty(array, "length")) : 0;
}

Value BeginGradientFill(Vm& vm, const Value& self, std::span<const Value> args) {
  ClipDrawing* d = DrawingOf(vm, self);
  if (!d) return Value();
  d->EndFill();
  const bool linear = Is(vm, Arg(args, 0), "linear");
  if (!linear && !Is(vm, Arg(args, 0), "radial"))
    vm.ThrowError(ErrorType::kArgumentError, 2008, {"type"});
  const Value colors = Arg(args, 1), alphas = Arg(args, 2), ratios = Arg(args, 3);
  const uint32_t n = LengthOf(vm, colors);
  if (n == 0 || n != LengthOf(vm, alphas) || n != LengthOf(vm, ratios)) return Value();
  FillStyle fill;
  fill.kind = linear ? FillKind::kLinearGradient : FillKind::kRadialGradient;
  fill.matrix = GradientMatrix(vm, Arg(args, 4));
  for (uint32_t i = 0; i < std::min<uint32_t>(n, 15); ++i) {
    const std::string key = std::to_string(i);
    double ratio = vm.ToNumber(vm.GetProperty(ratios, key));
    if (!std::isfinite(ratio)) ratio = 0;
    fill.gradient.stops.push_back(
        {static_cast<uint8_t>(std::clamp(ratio, 0.0, 255.0)),
         Colour(vm, vm.GetProperty(colors, key), vm.GetProperty(alphas, key))});
  }
  const Value spread = Arg(args, 5);
  fill.gradient.spread = Is(vm, spread, "reflect")  ? SpreadMode::kReflect
                         : Is(vm, spread, "repeat") ? SpreadMode::kRepeat
                                                    : SpreadMode::kPad;
  if (Is(vm, Arg(args, 6), "linearRGB")) fill.gradient.interpolation = Interpolation::kLinearRgb;
  const double focal = std::clamp(Num(vm, args, 7, 0), -1.0, 1.0);
  if (!linear && focal != 0) {
    fill.kind = FillKind::kFocalGradient;
    fill.gradient.focal_point = focal;
  }
  d->BeginFill(fill);
  return Value();
}

Value EndFill(Vm& vm, const Value& self, std::span<const Value>) {
  if (ClipDrawing* d = DrawingOf(vm, self)) d->EndFill();
  return Value();
}
Value Clear(Vm& vm, const Value& self, std::span<const Value>) {
  if (ClipDrawing* d = DrawingOf(vm, self)) d->Clear();
  return Value();
}
Value MoveTo(Vm& vm, const Value& self, std::span<const Value> args) {
  if (ClipDrawing* d = DrawingOf(vm, self)) d->MoveTo(Num(vm, args, 0) * 20, Num(vm, args, 1) * 20);
  return Value();
}
Value LineTo(Vm& vm, const Value& self, std::span<const Value> args) {
  if (ClipDrawing* d = DrawingOf(vm, self)) d->LineTo(Num(vm, args, 0) * 20, Num(vm, args, 1) * 20);
  return Value();
}
Value CurveTo(Vm& vm, const Value& self, std::span<const Value> args) {
  if (ClipDrawing* d = DrawingOf(vm, self)) {
    d->CurveTo(Num(vm, args, 0) * 20, Num(vm, args, 1) * 20, Num(vm, args, 2) * 20,
               Num(vm, args, 3) * 20);
  }
  return Value();
}

// An ellipse as eight quadratic curves, starting and ending on its right side, as Flash draws
// circles and ellipses.
void Ellipse(ClipDrawing& d, double cx, double cy, double rx, double ry) {
  const double step = std::numbers::pi / 4;
  const double k = 1 / std::cos(step / 2);
  d.MoveTo((cx + rx) * 20, cy * 20);
  for (int i = 1; i <= 8; ++i) {
    const double mid = step * (i - 0.5), end = step * i;
    d.CurveTo((cx + rx * k * std::cos(mid)) * 20, (cy + ry * k * std::sin(mid)) * 20,
              (cx + rx * std::cos(end)) * 20, (cy + ry * std::sin(end)) * 20);
  }
}

Value DrawRect(Vm& vm, const Value& self, std::span<const Value> args) {
  ClipDrawing* d = DrawingOf(vm, self);
  if (!d) return Value();
  const double x = Num(vm, args, 0), y = Num(vm, args, 1);
  const double w = Num(vm, args, 2), h = Num(vm, args, 3);
  d->MoveTo(x * 20, y * 20);
  d->LineTo((x + w) * 20, y * 20);
  d->LineTo((x + w) * 20, (y + h) * 20);
  d->LineTo(x * 20, (y + h) * 20);
  d->LineTo(x * 20, y * 20);
  return Value();
}
Value DrawRoundRect(Vm& vm, const Value& self, std::span<const Value> args) {
  ClipDrawing* d = DrawingOf(vm, self);
  if (!d) return Value();
  const double x = Num(vm, args, 0), y = Num(vm, args, 1);
  const double w = Num(vm, args, 2), h = Num(vm, args, 3);
  const double ew = Num(vm, args, 4);
  const double eh = Arg(args, 5).IsUndefined() ? ew : Num(vm, args, 5, ew);
  const double rx = std::min(std::abs(ew) / 2, std::abs(w) / 2);
  const double ry = std::min(std::abs(eh) / 2, std::abs(h) / 2);
  auto p = [](double v) { return v * 20; };
  d->MoveTo(p(x + w), p(y + h - ry));
  d->CurveTo(p(x + w), p(y + h), p(x + w - rx), p(y + h));
  d->LineTo(p(x + rx), p(y + h));
  d->CurveTo(p(x), p(y + h), p(x), p(y + h - ry));
  d->LineTo(p(x), p(y + ry));
  d->CurveTo(p(x), p(y), p(x + rx), p(y));
  d->LineTo(p(x + w - rx), p(y));
  d->CurveTo(p(x + w), p(y), p(x + w), p(y + ry));
  d->LineTo(p(x + w), p(y + h - ry));
  return Value();
}
Value DrawCircle(Vm& vm, const Value& self, std::span<const Value> args) {
  if (ClipDrawing* d = DrawingOf(vm, self)) {
    const double r = Num(vm, args, 2);
    Ellipse(*d, Num(vm, args, 0), Num(vm, args, 1), r, r);
  }
  return Value();
}
Value DrawEllipse(Vm& vm, const Value& self, std::span<const Value> args) {
  if (ClipDrawing* d = DrawingOf(vm, self)) {
    const double w = Num(vm, args, 2), h = Num(vm, args, 3);
    Ellipse(*d, Num(vm, args, 0) + w / 2, Num(vm, args, 1) + h / 2, w / 2, h / 2);
  }
  return Value();
}
Value Ignore(Vm&, const Value&, std::span<const Value>) { return Value(); }

}  // namespace

Value GetGraphics(Vm& vm, const Value& self, std::span<const Value>) {
  NodeObject* o = NodeOf(vm, self);
  if (!o->graphics) {
    ClassObject* cls = vm.FindClass("flash.display::Graphics");
    if (!cls) return Value::Null();
    auto* g = dynamic_cast<GraphicsObject*>(vm.CreateInstance(cls));
    if (!g) return Value::Null();
    g->owner = o;
    o->graphics = g;
  }
  return Value(o->graphics);
}

void AddGraphicsClasses(std::vector<const NativeClass*>& out) {
  static const NativeClass k = [] {
    NativeClass c = MakeDisplayClass(
        "flash.display", "Graphics", "Object",
        {Method("lineStyle", LineStyleFn, 8), Method("beginFill", BeginFill, 2).Needs(1),
         Method("beginGradientFill", BeginGradientFill, 8).Needs(4),
         Method("beginBitmapFill", Ignore, 4).Needs(1),
         Method("lineGradientStyle", Ignore, 8).Needs(4), Method("endFill", EndFill),
         Method("clear", Clear), Method("moveTo", MoveTo, 2).Needs(2),
         Method("lineTo", LineTo, 2).Needs(2), Method("curveTo", CurveTo, 4).Needs(4),
         Method("drawRect", DrawRect, 4).Needs(4),
         Method("drawRoundRect", DrawRoundRect, 6).Needs(5),
         Method("drawCircle", DrawCircle, 3).Needs(3),
         Method("drawEllipse", DrawEllipse, 4).Needs(4)},
        {});
    c.create = CreateGraphics;
    return c;
  }();
  out.push_back(&k);
}

}  // namespace flashsaver::avm2
