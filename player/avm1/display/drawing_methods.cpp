// The MovieClip drawing API: lineStyle, beginFill, beginGradientFill, moveTo, lineTo, curveTo,
// endFill and clear, drawn into the clip's ClipDrawing. Coordinates are the clip's pixels.
#include <algorithm>
#include <cmath>

#include "player/display/clip_drawing.h"
#include "player/avm1/display/script_host.h"

namespace flashsaver {
namespace {

using avm1::CallArgs;
using avm1::Object;
using avm1::Value;
using avm1::Vm;

ClipDrawing* DrawingOf(const CallArgs& c) {
  Clip* clip = ScriptHost::ClipOf(c.this_obj);
  if (!clip) return nullptr;
  if (!clip->drawing) clip->drawing = std::make_unique<ClipDrawing>();
  return clip->drawing.get();
}

double Number(Vm& vm, const Value& v, double fallback) {
  if (v.IsUndefined()) return fallback;
  const double n = vm.ToNumber(v);
  return std::isfinite(n) ? n : fallback;
}

// A colour 0xRRGGBB and an alpha in percent.
Rgba Colour(Vm& vm, const Value& rgb, const Value& alpha) {
  const auto bits = static_cast<uint32_t>(vm.ToInt(rgb));
  const double a = std::clamp(Number(vm, alpha, 100), 0.0, 100.0);
  return Rgba{static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 8),
              static_cast<uint8_t>(bits), static_cast<uint8_t>(std::lround(a * 2.55))};
}

bool Is(Vm& vm, const Value& v, const char* name) {
  return v.IsString() && avm1::NamesEqual(vm.ToString(v), name, false);
}

Value SetLineStyle(Vm& vm, const CallArgs& c) {
  ClipDrawing* d = DrawingOf(c);
  if (!d) return Value();
  if (c.Arg(0).IsUndefined() || c.Arg(0).IsNull()) {
    d->SetLine(std::nullopt);
    return Value();
  }
  LineStyle line;
  line.width =
      static_cast<uint16_t>(std::lround(std::clamp(Number(vm, c.Arg(0), 0), 0.0, 255.0) * 20));
  line.color = Colour(vm, c.Arg(1), c.Arg(2));
  line.pixel_hinting = vm.ToBool(c.Arg(3));
  const Value scale = c.Arg(4);
  line.no_hscale = Is(vm, scale, "none") || Is(vm, scale, "horizontal");
  line.no_vscale = Is(vm, scale, "none") || Is(vm, scale, "vertical");
  const Value caps = c.Arg(5);
  const CapStyle cap = Is(vm, caps, "none")     ? CapStyle::kNone
                       : Is(vm, caps, "square") ? CapStyle::kSquare
                                                : CapStyle::kRound;
  line.start_cap = line.end_cap = cap;
  const Value joint = c.Arg(6);
  line.join = Is(vm, joint, "miter")   ? JoinStyle::kMiter
              : Is(vm, joint, "bevel") ? JoinStyle::kBevel
                                       : JoinStyle::kRound;
  line.miter_limit = std::clamp(Number(vm, c.Arg(7), 3), 1.0, 255.0);
  d->SetLine(line);
  return Value();
}

Value StartFill(Vm& vm, const CallArgs& c) {
  ClipDrawing* d = DrawingOf(c);
  if (!d) return Value();
  d->EndFill();
  if (c.Arg(0).IsUndefined() || c.Arg(0).IsNull()) return Value();
  FillStyle fill;
  fill.color = Colour(vm, c.Arg(0), c.Arg(1));
  d->BeginFill(fill);
  return Value();
}

// The gradient square (-16384..16384) to the clip's twips, from the three forms a script
// gives: {matrixType: "box", x, y, w, h, r}, the 3x3 {a, b, d, e, g, h} of a unit square, or
// a flash.geom.Matrix {a, b, c, d, tx, ty}.
std::optional<Matrix> GradientMatrix(Vm& vm, Object* m) {
  if (!m) return std::nullopt;
  auto get = [&](const char* name) { return Number(vm, vm.GetMember(m, name), 0); };
  if (Is(vm, vm.GetMember(m, "matrixType"), "box")) {
    const double w = get("w"), h = get("h"), r = get("r");
    return Matrix{std::cos(r) * w / 1638.4, std::sin(r) * h / 1638.4, -std::sin(r) * w / 1638.4,
                  std::cos(r) * h / 1638.4, (get("x") + w / 2) * 20,  (get("y") + h / 2) * 20};
  }
  if (!vm.GetMember(m, "tx").IsUndefined()) {
    return Matrix{get("a"), get("b"), get("c"), get("d"), get("tx") * 20, get("ty") * 20};
  }
  return Matrix{get("a") / 1638.4, get("b") / 1638.4, get("d") / 1638.4,
                get("e") / 1638.4, get("g") * 20,     get("h") * 20};
}

Value BeginGradientFill(Vm& vm, const CallArgs& c) {
  ClipDrawing* d = DrawingOf(c);
  if (!d) return Value();
  d->EndFill();
  const bool linear = Is(vm, c.Arg(0), "linear");
  if (!linear && !Is(vm, c.Arg(0), "radial")) return Value();
  Object* colors = c.Arg(1).AsObject();
  Object* alphas = c.Arg(2).AsObject();
  Object* ratios = c.Arg(3).AsObject();
  const std::optional<Matrix> matrix = GradientMatrix(vm, c.Arg(4).AsObject());
  if (!colors || !alphas || !ratios || !matrix) return Value();
  const uint32_t n = vm.ArrayLength(colors);
  if (n == 0 || n != vm.ArrayLength(alphas) || n != vm.ArrayLength(ratios)) return Value();
  FillStyle fill;
  fill.kind = linear ? FillKind::kLinearGradient : FillKind::kRadialGradient;
  fill.matrix = *matrix;
  for (uint32_t i = 0; i < std::min<uint32_t>(n, 15); ++i) {
    const double ratio = std::clamp(Number(vm, vm.GetIndex(ratios, i), 0), 0.0, 255.0);
    fill.gradient.stops.push_back(
        {static_cast<uint8_t>(ratio), Colour(vm, vm.GetIndex(colors, i), vm.GetIndex(alphas, i))});
  }
  const Value spread = c.Arg(5);
  fill.gradient.spread = Is(vm, spread, "reflect")  ? SpreadMode::kReflect
                         : Is(vm, spread, "repeat") ? SpreadMode::kRepeat
                                                    : SpreadMode::kPad;
  if (Is(vm, c.Arg(6), "linearRGB")) fill.gradient.interpolation = Interpolation::kLinearRgb;
  const double focal = std::clamp(Number(vm, c.Arg(7), 0), -1.0, 1.0);
  if (!linear && focal != 0) {
    fill.kind = FillKind::kFocalGradient;
    fill.gradient.focal_point = focal;
  }
  d->BeginFill(fill);
  return Value();
}

Value EndFill(Vm&, const CallArgs& c) {
  if (ClipDrawing* d = DrawingOf(c)) d->EndFill();
  return Value();
}

Value MoveTo(Vm& vm, const CallArgs& c) {
  ClipDrawing* d = DrawingOf(c);
  if (d && c.args.size() >= 2) {
    d->MoveTo(Number(vm, c.Arg(0), 0) * 20, Number(vm, c.Arg(1), 0) * 20);
  }
  return Value();
}

Value LineTo(Vm& vm, const CallArgs& c) {
  ClipDrawing* d = DrawingOf(c);
  if (d && c.args.size() >= 2) {
    d->LineTo(Number(vm, c.Arg(0), 0) * 20, Number(vm, c.Arg(1), 0) * 20);
  }
  return Value();
}

Value CurveTo(Vm& vm, const CallArgs& c) {
  ClipDrawing* d = DrawingOf(c);
  if (d && c.args.size() >= 4) {
    d->CurveTo(Number(vm, c.Arg(0), 0) * 20, Number(vm, c.Arg(1), 0) * 20,
               Number(vm, c.Arg(2), 0) * 20, Number(vm, c.Arg(3), 0) * 20);
  }
  return Value();
}

Value Clear(Vm&, const CallArgs& c) {
  if (ClipDrawing* d = DrawingOf(c)) d->Clear();
  return Value();
}

}  // namespace

void InstallDrawingMethods(ScriptHost& host) {
  Vm& vm = host.vm();
  Object* proto =
      vm.GetMember(vm.GetMember(vm.global(), "MovieClip").AsObject(), "prototype").AsObject();
  if (!proto) return;
  static constexpr std::pair<const char*, avm1::NativeFn> kMethods[] = {
      {"lineStyle", SetLineStyle},
      {"beginFill", StartFill},
      {"beginGradientFill", BeginGradientFill},
      {"endFill", EndFill},
      {"moveTo", MoveTo},
      {"lineTo", LineTo},
      {"curveTo", CurveTo},
      {"clear", Clear},
  };
  // The drawing API arrived with Flash 6: older movies do not see it.
  for (const auto& [name, fn] : kMethods) {
    vm.DefineMethod(proto, name, fn, avm1::prop_flag::kDontEnum | avm1::prop_flag::kVersion6);
  }
}

}  // namespace flashsaver
