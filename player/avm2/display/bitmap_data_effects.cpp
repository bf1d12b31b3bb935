// BitmapData's whole-bitmap effects for ActionScript 3: colour work, noise, thresholds,
// palettes, filters, hit tests and draw. Arguments are read here; the pixels change in the
// player's shared bitmap code.
#include <algorithm>
#include <cmath>
#include <string>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/display/bitmap_data_object.h"
#include "player/avm2/display/display_host.h"
#include "player/avm2/display/filter_objects.h"
#include "player/avm2/display/geom_values.h"
#include "player/avm2/vm.h"
#include "player/display/bitmap_data_draw.h"

namespace flashsaver::avm2 {
namespace {

// The three arguments every copying method starts with.
struct CopyArgs {
  BitmapPixels* dest;
  const BitmapPixels* source;
  PixelBox box;
  int32_t dx, dy;
};
CopyArgs ReadCopyArgs(Vm& vm, const Value& self, std::span<const Value> args) {
  CopyArgs a{&LivePixels(vm, self), nullptr, {}, 0, 0};
  a.source = &PixelsArg(vm, args, 0, "sourceBitmapData");
  a.box = ReadBox(vm, NeededArg(vm, args, 1, "sourceRect"));
  std::tie(a.dx, a.dy) = ReadPoint(vm, NeededArg(vm, args, 2, "destPoint"));
  return a;
}

[[noreturn]] void ThrowWrongType(Vm& vm, const char* parameter, const char* type) {
  vm.Throw(vm.MakeErrorWithText(ErrorType::kArgumentError, 2005,
                                std::string("Error #2005: Parameter ") + parameter +
                                    " is of the incorrect type. Should be type " + type + "."));
}

bool IsInstance(Vm& vm, const Value& v, const char* cls) {
  ClassObject* c = vm.FindClass(cls);
  return c && vm.IsType(v, c);
}

}  // namespace

Value BitmapColorTransform(Vm& vm, const Value& self, std::span<const Value> args) {
  BitmapPixels& b = LivePixels(vm, self);
  const PixelBox box = ReadBox(vm, NeededArg(vm, args, 0, "rect"));
  const Value t = NeededArg(vm, args, 1, "colorTransform");
  auto num = [&](const char* name) {
    const double v = vm.ToNumber(vm.GetProperty(t, name));
    return std::isfinite(v) ? v : 0.0;
  };
  const ColourChange change{num("redMultiplier"),   num("greenMultiplier"), num("blueMultiplier"),
                            num("alphaMultiplier"), num("redOffset"),       num("greenOffset"),
                            num("blueOffset"),      num("alphaOffset")};
  ApplyColourChange(b, box, change);
  return Value();
}

Value BitmapScroll(Vm& vm, const Value& self, std::span<const Value> args) {
  BitmapPixels& b = LivePixels(vm, self);
  Scroll(b, WholePixels(ArgNumber(vm, args, 0)), WholePixels(ArgNumber(vm, args, 1)));
  return Value();
}

Value BitmapFloodFill(Vm& vm, const Value& self, std::span<const Value> args) {
  BitmapPixels& b = LivePixels(vm, self);
  FloodFill(b, ArgInt(vm, args, 0), ArgInt(vm, args, 1), ArgUInt(vm, args, 2));
  return Value();
}

Value BitmapNoise(Vm& vm, const Value& self, std::span<const Value> args) {
  BitmapPixels& b = LivePixels(vm, self);
  Noise(b, ArgInt(vm, args, 0), static_cast<uint8_t>(ArgUInt(vm, args, 1, 0)),
        static_cast<uint8_t>(ArgUInt(vm, args, 2, 255)), ArgUInt(vm, args, 3, 7),
        ArgBool(vm, args, 4));
  return Value();
}

Value BitmapPerlinNoise(Vm& vm, const Value& self, std::span<const Value> args) {
  BitmapPixels& b = LivePixels(vm, self);
  PerlinSettings s;
  s.base_x = ArgNumber(vm, args, 0);
  s.base_y = ArgNumber(vm, args, 1);
  // Past 1024 octaves the frequency is infinite and more change nothing.
  s.octaves = static_cast<int>(std::min<uint32_t>(ArgUInt(vm, args, 2), 1024));
  s.seed = ArgInt(vm, args, 3);
  s.stitch = ArgBool(vm, args, 4);
  s.fractal = ArgBool(vm, args, 5);
  s.channels = ArgUInt(vm, args, 6, 7);
  s.grey = ArgBool(vm, args, 7);
  if (const Value offsets = Arg(args, 8); !offsets.IsNullish()) {
    const uint32_t n =
        std::min(vm.ToUint32(vm.GetProperty(offsets, "length")), static_cast<uint32_t>(s.octaves));
    for (uint32_t i = 0; i < n; ++i) {
      const Value p = vm.GetProperty(offsets, std::to_string(i));
      if (p.IsNullish()) {
        s.offsets.emplace_back(0, 0);
        continue;
      }
      s.offsets.emplace_back(vm.ToNumber(vm.GetProperty(p, "x")),
                             vm.ToNumber(vm.GetProperty(p, "y")));
    }
  }
  PerlinNoise(b, s);
  return Value();
}

Value BitmapThreshold(Vm& vm, const Value& self, std::span<const Value> args) {
  CopyArgs a = ReadCopyArgs(vm, self, args);
  const std::string op = vm.ToString(NeededArg(vm, args, 3, "operation")).ToUtf8();
  static constexpr std::pair<const char*, ThresholdTest> kOps[] = {
      {"<", ThresholdTest::kLess},    {"<=", ThresholdTest::kLessEqual},
      {">", ThresholdTest::kGreater}, {">=", ThresholdTest::kGreaterEqual},
      {"==", ThresholdTest::kEqual},  {"!=", ThresholdTest::kNotEqual}};
  const auto found =
      std::find_if(std::begin(kOps), std::end(kOps), [&](const auto& e) { return op == e.first; });
  if (found == std::end(kOps)) ThrowWrongType(vm, "0", "Operation");
  return Value(Threshold(*a.dest, *a.source, a.box, a.dx, a.dy, found->second, ArgUInt(vm, args, 4),
                         ArgUInt(vm, args, 5), ArgUInt(vm, args, 6, 0xFFFFFFFFu),
                         ArgBool(vm, args, 7)));
}

Value BitmapPaletteMap(Vm& vm, const Value& self, std::span<const Value> args) {
  CopyArgs a = ReadCopyArgs(vm, self, args);
  std::array<std::optional<std::array<uint32_t, 256>>, 4> maps;
  for (size_t i = 0; i < 4; ++i) {
    const Value array = Arg(args, 3 + i);
    if (array.IsNullish()) continue;
    auto& m = maps[i].emplace();
    for (uint32_t k = 0; k < 256; ++k) {
      m[k] = vm.ToUint32(vm.GetProperty(array, std::to_string(k)));
    }
  }
  PaletteMap(*a.dest, *a.source, a.box, a.dx, a.dy, maps);
  return Value();
}

Value BitmapMerge(Vm& vm, const Value& self, std::span<const Value> args) {
  CopyArgs a = ReadCopyArgs(vm, self, args);
  std::array<uint32_t, 4> m{};
  for (size_t i = 0; i < 4; ++i) m[i] = std::min<uint32_t>(ArgUInt(vm, args, 3 + i), 256);
  Merge(*a.dest, *a.source, a.box, a.dx, a.dy, m);
  return Value();
}

Value BitmapPixelDissolve(Vm& vm, const Value& self, std::span<const Value> args) {
  CopyArgs a = ReadCopyArgs(vm, self, args);
  return Value(PixelDissolve(*a.dest, *a.source, a.box, a.dx, a.dy, ArgInt(vm, args, 3),
                             ArgInt(vm, args, 4), ArgUInt(vm, args, 5)));
}

Value BitmapHitTest(Vm& vm, const Value& self, std::span<const Value> args) {
  const BitmapPixels& b = LivePixels(vm, self);
  const auto [fx, fy] = ReadPoint(vm, NeededArg(vm, args, 0, "firstPoint"));
  const auto threshold = static_cast<uint8_t>(std::min<uint32_t>(ArgUInt(vm, args, 1), 255));
  const Value second = NeededArg(vm, args, 2, "secondObject");
  if (std::shared_ptr<BitmapPixels> other = PixelsOf(second.AsObject())) {
    const Value at = NeededArg(vm, args, 3, "secondBitmapDataPoint");
    const auto [sx, sy] = ReadPoint(vm, at);
    const auto second_threshold =
        static_cast<uint8_t>(std::min<uint32_t>(ArgUInt(vm, args, 4, 1), 255));
    return Value(HitTestBitmaps(b, threshold, *other, second_threshold, sx - fx, sy - fy));
  }
  if (IsInstance(vm, second, "flash.geom::Rectangle")) {
    PixelBox box = ReadBox(vm, second);
    box = {box.left - fx, box.top - fy, box.right - fx, box.bottom - fy};
    return Value(HitTestBox(b, threshold, box));
  }
  if (IsInstance(vm, second, "flash.geom::Point")) {
    const auto [px, py] = ReadPoint(vm, second);
    return Value(HitTestBox(b, threshold, PixelBox{px - fx, py - fy, px - fx + 1, py - fy + 1}));
  }
  ThrowWrongType(vm, "0", "BitmapData");
}

Value BitmapCompare(Vm& vm, const Value& self, std::span<const Value> args) {
  const BitmapPixels& b = LivePixels(vm, self);
  const BitmapPixels& other = PixelsArg(vm, args, 0, "otherBitmapData");
  CompareResult r = Compare(b, other);
  if (r.code != 0) return Value(r.code);
  if (!r.difference) return Value(0);
  return NewBitmapData(vm, std::move(*r.difference));
}

Value BitmapColorBounds(Vm& vm, const Value& self, std::span<const Value> args) {
  const BitmapPixels& b = LivePixels(vm, self);
  return NewBoxRectangle(
      vm, ColourBounds(b, ArgUInt(vm, args, 0), ArgUInt(vm, args, 1), ArgBool(vm, args, 2, true)));
}

Value BitmapApplyFilter(Vm& vm, const Value& self, std::span<const Value> args) {
  CopyArgs a = ReadCopyArgs(vm, self, args);
  const Value filter_object = NeededArg(vm, args, 3, "filter");
  if (!IsFilterObject(filter_object)) ThrowWrongType(vm, "3", "BitmapFilter");
  if (auto d = DisplacementOfObject(vm, filter_object)) {
    std::shared_ptr<BitmapPixels> map = PixelsOf(d->map_bitmap.AsObject());
    if (!map) return Value();
    DisplacementParams p;
    p.map = map.get();
    p.map_x = d->map_x;
    p.map_y = d->map_y;
    p.component_x = d->component_x;
    p.component_y = d->component_y;
    p.scale_x = d->scale_x;
    p.scale_y = d->scale_y;
    p.mode = d->mode;
    p.colour = d->colour;
    DisplaceBitmap(*a.dest, *a.source, a.box, a.dx, a.dy, p);
    return Value();
  }
  if (std::optional<Filter> filter = FilterOfObject(filter_object)) {
    ApplyFilterToBitmap(*a.dest, *a.source, a.box, a.dx, a.dy, *filter);
  }
  return Value();
}

Value BitmapGenerateFilterRect(Vm& vm, const Value& self, std::span<const Value> args) {
  LivePixels(vm, self);
  const PixelBox box = ReadBox(vm, NeededArg(vm, args, 0, "sourceRect"));
  const Value filter_object = NeededArg(vm, args, 1, "filter");
  const std::optional<Filter> filter = FilterOfObject(filter_object);
  return NewBoxRectangle(vm, filter ? FilterRect(box, *filter) : box);
}

Value BitmapDraw(Vm& vm, const Value& self, std::span<const Value> args) {
  BitmapPixels& b = LivePixels(vm, self);
  const Value source = NeededArg(vm, args, 0, "source");
  const Matrix m = Arg(args, 1).IsNullish() ? Matrix{} : ReadMatrix(vm, args[1]);
  const ColorTransform ct =
      Arg(args, 2).IsNullish() ? ColorTransform{} : ReadColorTransform(vm, args[2]);
  std::optional<uint8_t> blend;
  if (const Value mode = Arg(args, 3); mode.IsString()) {
    blend = BlendModeFromName(mode.AsStr().ToUtf8());
  }
  std::optional<PixelBox> clip;
  if (!Arg(args, 4).IsNullish()) clip = ReadBox(vm, args[4]);
  const bool smooth = ArgBool(vm, args, 5);
  std::shared_ptr<BitmapPixels> bitmap = PixelsOf(source.AsObject());
  if (!bitmap && AsBitmapData(source.AsObject())) ThrowInvalidBitmap(vm);
  DisplayHost* host = vm.display_host;
  DrawIntoBitmap(b, clip, smooth, blend, [&](Canvas& canvas) {
    if (bitmap) {
      DrawBitmapOnCanvas(canvas, *bitmap, m, ct, smooth);
    } else if (host) {
      host->RenderObject(source.AsObject(), canvas, m, ct);
    }
  });
  return Value();
}

Value BitmapHistogram(Vm& vm, const Value& self, std::span<const Value> args) {
  const BitmapPixels& b = LivePixels(vm, self);
  const PixelBox box =
      Intersect(Arg(args, 0).IsNullish() ? b.Bounds() : ReadBox(vm, args[0]), b.Bounds());
  std::array<std::array<double, 256>, 4> counts{};
  for (int32_t y = box.top; y < box.bottom; ++y) {
    for (int32_t x = box.left; x < box.right; ++x) {
      const uint32_t c = GetPixel32(b, x, y);
      counts[0][c >> 16 & 0xFF] += 1;
      counts[1][c >> 8 & 0xFF] += 1;
      counts[2][c & 0xFF] += 1;
      counts[3][c >> 24] += 1;
    }
  }
  VectorObject* outer = nullptr;
  for (const auto& channel : counts) {
    VectorObject* v = NewTypedVector(vm, vm.classes().number);
    for (double n : channel) v->items.emplace_back(n);
    if (!outer) outer = NewTypedVector(vm, v->cls());
    outer->items.emplace_back(static_cast<Object*>(v));
  }
  return Value(static_cast<Object*>(outer));
}

}  // namespace flashsaver::avm2
