// flash.display.BitmapData for scripts, and the MovieClip methods that show one
// (attachBitmap, beginBitmapFill). The pixels live in a shared BitmapPixels, so a bitmap on the
// display list or in a fill stays valid after its script object is collected.
#include "player/avm1/builtins/builtins.h"
#include "player/avm1/display/bitmap_data_class.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "player/avm1/heap.h"
#include "player/display/bitmap_data_character.h"
#include "player/display/bitmap_data_draw.h"
#include "player/display/clip_drawing.h"
#include "player/avm1/display/filter_classes.h"
#include "player/avm1/display/script_host.h"

namespace flashsaver {
namespace {

using avm1::CallArgs;
using avm1::Object;
using avm1::Value;
using avm1::Vm;

class BitmapDataObject final : public Object {
 public:
  BitmapDataObject() : Object(avm1::ObjectKind::kOther) {}
  // Null for a size the player refused; disposed bitmaps keep theirs, marked.
  std::shared_ptr<BitmapPixels> pixels;
};

ScriptHost& HostOf(Vm& vm) { return static_cast<ScriptHost&>(vm.host()); }

// The live pixels of a bitmap value; null for anything else, refused or disposed bitmaps.
BitmapPixels* PixelsOf(const Value& v) {
  auto* b = dynamic_cast<BitmapDataObject*>(v.AsObject());
  if (!b || !b->pixels || b->pixels->disposed) return nullptr;
  return b->pixels.get();
}
BitmapPixels* This(const CallArgs& c) { return PixelsOf(Value(c.this_obj)); }

// Coordinates as whole pixels, kept in a range where sums cannot overflow.
int32_t Whole(Vm& vm, const Value& v) {
  const double d = vm.ToNumber(v);
  if (!std::isfinite(d)) return 0;
  return static_cast<int32_t>(std::clamp(std::trunc(d), -1e8, 1e8));
}
double Field(Vm& vm, Object* o, const char* name) {
  return o ? vm.ToNumber(vm.GetMember(o, name)) : 0;
}
int32_t WholeField(Vm& vm, Object* o, const char* name) {
  return o ? Whole(vm, vm.GetMember(o, name)) : 0;
}
PixelBox BoxOf(Vm& vm, const Value& v) {
  Object* r = v.AsObject();
  const int32_t x = WholeField(vm, r, "x"), y = WholeField(vm, r, "y");
  return {x, y, x + std::max(0, WholeField(vm, r, "width")),
          y + std::max(0, WholeField(vm, r, "height"))};
}
std::pair<int32_t, int32_t> PointOf(Vm& vm, const Value& v) {
  Object* p = v.AsObject();
  return {WholeField(vm, p, "x"), WholeField(vm, p, "y")};
}
uint32_t Colour(Vm& vm, const Value& v) { return static_cast<uint32_t>(vm.ToInt(v)); }

Value NewGeom(Vm& vm, const char* cls, std::initializer_list<double> args) {
  Object* flash = avm1::FlashPackage(vm);
  Object* geom = flash ? vm.GetMember(flash, "geom").AsObject() : nullptr;
  const Value ctor = geom ? vm.GetMember(geom, cls) : Value();
  std::vector<Value> values;
  for (double a : args) values.emplace_back(a);
  return vm.Construct(ctor, values);
}
Value RectValue(Vm& vm, PixelBox b) {
  return NewGeom(vm, "Rectangle",
                 {double(b.left), double(b.top), double(b.Width()), double(b.Height())});
}

Object* ProtoOf(Vm& vm) {
  Object* flash = avm1::FlashPackage(vm);
  Object* display = flash ? vm.GetMember(flash, "display").AsObject() : nullptr;
  Object* ctor = display ? vm.GetMember(display, "BitmapData").AsObject() : nullptr;
  Object* proto = ctor ? vm.GetMember(ctor, "prototype").AsObject() : nullptr;
  return proto ? proto : vm.object_proto;
}

BitmapDataObject* NewBitmapObject(Vm& vm, std::optional<BitmapPixels> pixels,
                                  Object* proto = nullptr) {
  auto* b = vm.New<BitmapDataObject>();
  if (!proto) proto = ProtoOf(vm);
  b->Define("__proto__", proto);
  b->Define("__constructor__", vm.GetMember(proto, "constructor"));
  if (pixels) b->pixels = ShareBitmap(std::move(*pixels));
  return b;
}

Value Construct(Vm& vm, const CallArgs& c) {
  Object* proto = c.callee ? vm.GetMember(c.callee, "prototype").AsObject() : nullptr;
  const bool transparent = c.args.size() > 2 ? vm.ToBool(c.Arg(2)) : true;
  const uint32_t fill = c.args.size() > 3 ? Colour(vm, c.Arg(3)) : 0xFFFFFFFFu;
  // A size the player refuses leaves an object without pixels: it reads -1 and does nothing.
  return static_cast<Object*>(NewBitmapObject(
      vm, MakeBitmap(Whole(vm, c.Arg(0)), Whole(vm, c.Arg(1)), transparent, fill), proto));
}

// --- properties ---

// A refused size leaves an object whose properties are undefined; a disposed bitmap reads -1.
template <typename Fn>
Value Property(const CallArgs& c, Fn fn) {
  auto* o = dynamic_cast<BitmapDataObject*>(c.this_obj);
  if (!o || !o->pixels) return Value();
  if (o->pixels->disposed) return Value(-1);
  return fn(*o->pixels);
}

Value GetWidth(Vm&, const CallArgs& c) {
  return Property(c, [](const BitmapPixels& b) { return Value(b.width()); });
}
Value GetHeight(Vm&, const CallArgs& c) {
  return Property(c, [](const BitmapPixels& b) { return Value(b.height()); });
}
Value GetTransparent(Vm&, const CallArgs& c) {
  return Property(c, [](const BitmapPixels& b) { return Value(b.transparent); });
}
Value GetRectangle(Vm& vm, const CallArgs& c) {
  return Property(c, [&vm](const BitmapPixels& b) { return RectValue(vm, b.Bounds()); });
}

// --- methods ---

Value GetPixel(Vm& vm, const CallArgs& c) {
  const BitmapPixels* b = This(c);
  if (!b) return Value(-1);
  return static_cast<double>(GetPixel32(*b, Whole(vm, c.Arg(0)), Whole(vm, c.Arg(1))) & 0xFFFFFF);
}
Value GetPixel32Method(Vm& vm, const CallArgs& c) {
  const BitmapPixels* b = This(c);
  if (!b) return Value(-1);
  // Scripts read a signed 32-bit number, as the player gives it.
  return static_cast<double>(
      static_cast<int32_t>(GetPixel32(*b, Whole(vm, c.Arg(0)), Whole(vm, c.Arg(1)))));
}
Value SetPixelMethod(Vm& vm, const CallArgs& c) {
  if (BitmapPixels* b = This(c)) {
    SetPixel(*b, Whole(vm, c.Arg(0)), Whole(vm, c.Arg(1)), Colour(vm, c.Arg(2)));
  }
  return Value();
}
Value SetPixel32Method(Vm& vm, const CallArgs& c) {
  if (BitmapPixels* b = This(c)) {
    SetPixel32(*b, Whole(vm, c.Arg(0)), Whole(vm, c.Arg(1)), Colour(vm, c.Arg(2)));
  }
  return Value();
}
Value FillRectMethod(Vm& vm, const CallArgs& c) {
  if (BitmapPixels* b = This(c); b && c.Arg(0).AsObject()) {
    FillRect(*b, BoxOf(vm, c.Arg(0)), Colour(vm, c.Arg(1)));
  }
  return Value();
}
Value Clone(Vm& vm, const CallArgs& c) {
  const BitmapPixels* b = This(c);
  if (!b) return Value();
  BitmapPixels copy = *b;
  copy.revision = 0;
  return static_cast<Object*>(NewBitmapObject(vm, std::move(copy)));
}
Value Dispose(Vm&, const CallArgs& c) {
  if (BitmapPixels* b = This(c)) {
    // What shows it draws nothing from now on; the memory goes at once.
    b->disposed = true;
    ReleaseBitmap(*b);
    b->Changed();
  }
  return Value();
}

// Source bitmap, rectangle and destination point: the first three arguments of the copying
// methods. The source may be the bitmap itself.
struct CopyArgs {
  BitmapPixels* dest = nullptr;
  const BitmapPixels* source = nullptr;
  PixelBox box;
  int32_t dx = 0, dy = 0;
};
std::optional<CopyArgs> ReadCopyArgs(Vm& vm, const CallArgs& c) {
  CopyArgs a;
  a.dest = This(c);
  a.source = PixelsOf(c.Arg(0));
  if (!a.dest || !a.source || !c.Arg(1).AsObject() || !c.Arg(2).AsObject()) return std::nullopt;
  a.box = BoxOf(vm, c.Arg(1));
  std::tie(a.dx, a.dy) = PointOf(vm, c.Arg(2));
  return a;
}

Value CopyPixelsMethod(Vm& vm, const CallArgs& c) {
  auto a = ReadCopyArgs(vm, c);
  if (!a) return Value();
  AlphaSource alpha;
  alpha.bitmap = PixelsOf(c.Arg(3));
  if (alpha.bitmap) std::tie(alpha.x, alpha.y) = PointOf(vm, c.Arg(4));
  CopyPixels(*a->dest, *a->source, a->box, a->dx, a->dy, alpha, vm.ToBool(c.Arg(5)));
  return Value();
}
Value CopyChannelMethod(Vm& vm, const CallArgs& c) {
  if (auto a = ReadCopyArgs(vm, c)) {
    CopyChannel(*a->dest, *a->source, a->box, a->dx, a->dy, Colour(vm, c.Arg(3)),
                Colour(vm, c.Arg(4)));
  }
  return Value();
}

ColorTransform TransformOf(Vm& vm, Object* t) {
  if (!t) return ColorTransform{};
  auto f = [&](const char* name) { return Field(vm, t, name); };
  return TransformOfTerms(f("redMultiplier"), f("greenMultiplier"), f("blueMultiplier"),
                          f("alphaMultiplier"), f("redOffset"), f("greenOffset"), f("blueOffset"),
                          f("alphaOffset"));
}

Value ColorTransformMethod(Vm& vm, const CallArgs& c) {
  BitmapPixels* b = This(c);
  Object* t = c.Arg(1).AsObject();
  if (!b || !c.Arg(0).AsObject() || !t) return Value();
  auto num = [&](const char* name) {
    const double v = Field(vm, t, name);
    return std::isfinite(v) ? v : 0.0;
  };
  const ColourChange change{num("redMultiplier"),   num("greenMultiplier"), num("blueMultiplier"),
                            num("alphaMultiplier"), num("redOffset"),       num("greenOffset"),
                            num("blueOffset"),      num("alphaOffset")};
  ApplyColourChange(*b, BoxOf(vm, c.Arg(0)), change);
  return Value();
}

Value ScrollMethod(Vm& vm, const CallArgs& c) {
  if (BitmapPixels* b = This(c)) Scroll(*b, Whole(vm, c.Arg(0)), Whole(vm, c.Arg(1)));
  return Value();
}
Value FloodFillMethod(Vm& vm, const CallArgs& c) {
  if (BitmapPixels* b = This(c)) {
    FloodFill(*b, Whole(vm, c.Arg(0)), Whole(vm, c.Arg(1)), Colour(vm, c.Arg(2)));
  }
  return Value();
}

Value NoiseMethod(Vm& vm, const CallArgs& c) {
  BitmapPixels* b = This(c);
  if (!b) return Value();
  auto byte = [&](size_t i, int fallback) {
    return static_cast<uint8_t>(c.args.size() > i ? vm.ToInt(c.Arg(i)) & 0xFF : fallback);
  };
  const uint32_t channels = c.args.size() > 3 ? Colour(vm, c.Arg(3)) : 7;
  Noise(*b, vm.ToInt(c.Arg(0)), byte(1, 0), byte(2, 255), channels, vm.ToBool(c.Arg(4)));
  return Value();
}

Value PerlinNoiseMethod(Vm& vm, const CallArgs& c) {
  BitmapPixels* b = This(c);
  if (!b) return Value();
  // The reference player leaves the bitmap alone when the fractal flag is missing.
  if (c.args.size() < 6) return Value(-1);
  PerlinSettings s;
  s.base_x = vm.ToNumber(c.Arg(0));
  s.base_y = vm.ToNumber(c.Arg(1));
  s.octaves = std::max(vm.ToInt(c.Arg(2)), 0);
  s.seed = vm.ToInt(c.Arg(3));
  s.stitch = vm.ToBool(c.Arg(4));
  s.fractal = vm.ToBool(c.Arg(5));
  s.channels = c.args.size() > 6 ? Colour(vm, c.Arg(6)) : 7;
  s.grey = vm.ToBool(c.Arg(7));
  if (Object* offsets = c.Arg(8).AsObject()) {
    // Past 1024 octaves the frequency is infinite and offsets no longer matter.
    const uint32_t n =
        std::min<uint32_t>({vm.ArrayLength(offsets), static_cast<uint32_t>(s.octaves), 1024});
    for (uint32_t i = 0; i < n; ++i) {
      Object* p = vm.GetIndex(offsets, i).AsObject();
      s.offsets.emplace_back(Field(vm, p, "x"), Field(vm, p, "y"));
    }
  }
  PerlinNoise(*b, s);
  return Value();
}

Value PixelDissolveMethod(Vm& vm, const CallArgs& c) {
  auto a = ReadCopyArgs(vm, c);
  if (!a) return Value();
  const int32_t seed = vm.ToInt(c.Arg(3));
  const int32_t pixels =
      c.args.size() > 4 ? vm.ToInt(c.Arg(4)) : a->box.Width() * a->box.Height() / 30;
  const uint32_t colour = Colour(vm, c.Arg(5));
  return static_cast<double>(
      PixelDissolve(*a->dest, *a->source, a->box, a->dx, a->dy, seed, pixels, colour));
}

Value ThresholdMethod(Vm& vm, const CallArgs& c) {
  auto a = ReadCopyArgs(vm, c);
  if (!a) return Value();
  const std::string op = vm.ToString(c.Arg(3));
  static constexpr std::pair<const char*, ThresholdTest> kOps[] = {
      {"<", ThresholdTest::kLess},    {"<=", ThresholdTest::kLessEqual},
      {">", ThresholdTest::kGreater}, {">=", ThresholdTest::kGreaterEqual},
      {"==", ThresholdTest::kEqual},  {"!=", ThresholdTest::kNotEqual}};
  const auto found =
      std::find_if(std::begin(kOps), std::end(kOps), [&](const auto& e) { return op == e.first; });
  if (found == std::end(kOps)) return 0;
  const uint32_t mask = c.args.size() > 6 ? Colour(vm, c.Arg(6)) : 0xFFFFFFFFu;
  return static_cast<double>(Threshold(*a->dest, *a->source, a->box, a->dx, a->dy, found->second,
                                       Colour(vm, c.Arg(4)), Colour(vm, c.Arg(5)), mask,
                                       vm.ToBool(c.Arg(7))));
}

Value PaletteMapMethod(Vm& vm, const CallArgs& c) {
  auto a = ReadCopyArgs(vm, c);
  if (!a) return Value();
  std::array<std::optional<std::array<uint32_t, 256>>, 4> maps;
  for (size_t i = 0; i < 4; ++i) {
    Object* array = c.Arg(3 + i).AsObject();
    if (!array) continue;
    auto& m = maps[i].emplace();
    for (uint32_t k = 0; k < 256; ++k) m[k] = Colour(vm, vm.GetIndex(array, k));
  }
  PaletteMap(*a->dest, *a->source, a->box, a->dx, a->dy, maps);
  return Value();
}

Value MergeMethod(Vm& vm, const CallArgs& c) {
  auto a = ReadCopyArgs(vm, c);
  if (!a) return Value();
  std::array<uint32_t, 4> m{};
  for (size_t i = 0; i < 4; ++i)
    m[i] = static_cast<uint32_t>(std::clamp(vm.ToInt(c.Arg(3 + i)), 0, 256));
  Merge(*a->dest, *a->source, a->box, a->dx, a->dy, m);
  return Value();
}

Value ApplyFilterMethod(Vm& vm, const CallArgs& c) {
  auto a = ReadCopyArgs(vm, c);
  const std::optional<Filter> filter = FilterOfObject(c.Arg(3));
  if (!a || !filter) return Value(-1);
  ApplyFilterToBitmap(*a->dest, *a->source, a->box, a->dx, a->dy, *filter);
  return 0;
}

Value GenerateFilterRect(Vm& vm, const CallArgs& c) {
  const BitmapPixels* b = This(c);
  const std::optional<Filter> filter = FilterOfObject(c.Arg(1));
  if (!b || !c.Arg(0).AsObject()) return Value();
  const PixelBox box = BoxOf(vm, c.Arg(0));
  return RectValue(vm, filter ? FilterRect(box, *filter) : box);
}

Value ColorBoundsMethod(Vm& vm, const CallArgs& c) {
  const BitmapPixels* b = This(c);
  if (!b) return Value();
  const bool find = c.args.size() > 2 ? vm.ToBool(c.Arg(2)) : true;
  return RectValue(vm, ColourBounds(*b, Colour(vm, c.Arg(0)), Colour(vm, c.Arg(1)), find));
}

Value CompareMethod(Vm& vm, const CallArgs& c) {
  const BitmapPixels* b = This(c);
  const BitmapPixels* other = PixelsOf(c.Arg(0));
  if (!b) return -1;
  if (!other) return -2;
  CompareResult r = Compare(*b, *other);
  if (r.code != 0) return r.code;
  if (!r.difference) return 0;
  return static_cast<Object*>(NewBitmapObject(vm, std::move(r.difference)));
}

Value HitTestMethod(Vm& vm, const CallArgs& c) {
  const BitmapPixels* b = This(c);
  if (!b || !c.Arg(0).AsObject()) return Value();
  const auto [fx, fy] = PointOf(vm, c.Arg(0));
  const auto threshold = static_cast<uint8_t>(std::clamp(vm.ToInt(c.Arg(1)), 0, 255));
  const Value second = c.Arg(2);
  if (const BitmapPixels* other = PixelsOf(second)) {
    const auto [sx, sy] = PointOf(vm, c.Arg(3));
    const auto second_threshold =
        static_cast<uint8_t>(std::clamp(c.args.size() > 4 ? vm.ToInt(c.Arg(4)) : 1, 0, 255));
    return HitTestBitmaps(*b, threshold, *other, second_threshold, sx - fx, sy - fy);
  }
  Object* o = second.AsObject();
  if (!o) return Value();
  if (!vm.GetMember(o, "width").IsUndefined()) {
    PixelBox box = BoxOf(vm, second);
    box = {box.left - fx, box.top - fy, box.right - fx, box.bottom - fy};
    return HitTestBox(*b, threshold, box);
  }
  const auto [px, py] = PointOf(vm, second);
  return HitTestBox(*b, threshold, PixelBox{px - fx, py - fy, px - fx + 1, py - fy + 1});
}

Value DrawMethod(Vm& vm, const CallArgs& c) {
  BitmapPixels* b = This(c);
  if (!b) return Value();
  Matrix m;
  if (Object* mo = c.Arg(1).AsObject()) {
    auto num = [&](const char* name) {
      const double v = Field(vm, mo, name);
      return std::isfinite(v) ? v : 0.0;
    };
    m = Matrix{num("a"), num("b"), num("c"), num("d"), num("tx"), num("ty")};
  }
  const ColorTransform ct = TransformOf(vm, c.Arg(2).AsObject());
  const bool smooth = vm.ToBool(c.Arg(5));
  std::optional<PixelBox> clip;
  if (c.Arg(4).AsObject()) clip = BoxOf(vm, c.Arg(4));
  DrawIntoBitmap(*b, clip, smooth, BlendModeFromValue(vm, c.Arg(3)), [&](Canvas& canvas) {
    if (Clip* clip_object = ScriptHost::ClipOf(c.Arg(0).AsObject())) {
      HostOf(vm).list().RenderClip(*clip_object, canvas, m * Matrix::Scale(0.05, 0.05), ct);
    } else if (const BitmapPixels* source = PixelsOf(c.Arg(0))) {
      DrawBitmapOnCanvas(canvas, *source, m, ct, smooth);
    }
  });
  return Value();
}

Value LoadBitmap(Vm& vm, const CallArgs& c) {
  const std::string id = vm.ToString(c.Arg(0));
  const MovieDefinition& movie = HostOf(vm).movie();
  for (const auto& [name, cid] : movie.exports) {
    if (!avm1::NamesEqual(name, id, false)) continue;
    const Picture* picture = movie.library.FindBitmap(cid);
    if (!picture || picture->width < 1 || picture->height < 1) return Value();
    BitmapPixels pixels;
    pixels.picture = *picture;
    pixels.transparent = true;
    return static_cast<Object*>(NewBitmapObject(vm, std::move(pixels)));
  }
  return Value();
}

// --- MovieClip methods ---

std::shared_ptr<BitmapPixels> SharedPixels(const Value& v) {
  auto* b = dynamic_cast<BitmapDataObject*>(v.AsObject());
  if (!b || !b->pixels || b->pixels->disposed) return nullptr;
  return b->pixels;
}

Value AttachBitmap(Vm& vm, const CallArgs& c) {
  Clip* clip = ScriptHost::ClipOf(c.this_obj);
  std::shared_ptr<BitmapPixels> pixels = SharedPixels(c.Arg(0));
  const double depth = vm.ToNumber(c.Arg(1));
  if (!clip || !pixels || !std::isfinite(depth) || depth < -16384 || depth > 2130690044) {
    return Value();
  }
  auto character = std::make_shared<BitmapDataCharacter>(std::move(pixels), vm.ToBool(c.Arg(3)));
  HostOf(vm).list().AddScriptedLeaf(*clip, std::move(character),
                                    static_cast<int32_t>(depth) + ScriptHost::kDepthOffset);
  return Value();
}

Value BeginBitmapFill(Vm& vm, const CallArgs& c) {
  Clip* clip = ScriptHost::ClipOf(c.this_obj);
  std::shared_ptr<BitmapPixels> pixels = SharedPixels(c.Arg(0));
  if (!clip || !pixels) return Value();
  if (!clip->drawing) clip->drawing = std::make_unique<ClipDrawing>();
  clip->drawing->EndFill();
  FillStyle fill;
  fill.kind = FillKind::kBitmap;
  fill.matrix = Matrix::Scale(20, 20);
  if (Object* mo = c.Arg(1).AsObject()) {
    auto num = [&](const char* name) {
      const double v = Field(vm, mo, name);
      return std::isfinite(v) ? v : 0.0;
    };
    // Bitmap pixels to the clip's twips.
    fill.matrix = Matrix{num("a") * 20, num("b") * 20,  num("c") * 20,
                         num("d") * 20, num("tx") * 20, num("ty") * 20};
  }
  fill.bitmap_repeat = c.args.size() > 2 ? vm.ToBool(c.Arg(2)) : true;
  fill.bitmap_smooth = vm.ToBool(c.Arg(3));
  fill.picture = PictureOf(pixels);
  clip->drawing->BeginFill(fill);
  return Value();
}

void Accessor(Vm& vm, Object* proto, const char* name, avm1::NativeFn get) {
  avm1::Property& p = proto->SetOwn(name, Value(), true);
  p.virtual_property = true;
  p.getter = vm.NewNative(get);
  p.setter = nullptr;
  p.flags = avm1::prop_flag::kDontEnum;
}

}  // namespace

void InstallBitmapDataClass(ScriptHost& host) {
  Vm& vm = host.vm();
  Object* flash = avm1::FlashPackage(vm);
  if (!flash) return;
  Object* display = vm.NewObject();
  flash->Define("display", display, avm1::prop_flag::kDontEnum);

  Object* proto = vm.NewObject();
  auto* ctor = vm.NewNative(Construct, Construct);
  ctor->Define("prototype", proto, avm1::prop_flag::kDontEnum);
  proto->Define("constructor", ctor, avm1::prop_flag::kDontEnum);
  vm.DefineMethod(ctor, "loadBitmap", LoadBitmap);
  display->Define("BitmapData", ctor, avm1::prop_flag::kDontEnum);

  Accessor(vm, proto, "width", GetWidth);
  Accessor(vm, proto, "height", GetHeight);
  Accessor(vm, proto, "transparent", GetTransparent);
  Accessor(vm, proto, "rectangle", GetRectangle);
  static constexpr std::pair<const char*, avm1::NativeFn> kMethods[] = {
      {"getPixel", GetPixel},
      {"getPixel32", GetPixel32Method},
      {"setPixel", SetPixelMethod},
      {"setPixel32", SetPixel32Method},
      {"fillRect", FillRectMethod},
      {"clone", Clone},
      {"dispose", Dispose},
      {"copyPixels", CopyPixelsMethod},
      {"copyChannel", CopyChannelMethod},
      {"colorTransform", ColorTransformMethod},
      {"scroll", ScrollMethod},
      {"floodFill", FloodFillMethod},
      {"noise", NoiseMethod},
      {"perlinNoise", PerlinNoiseMethod},
      {"pixelDissolve", PixelDissolveMethod},
      {"threshold", ThresholdMethod},
      {"paletteMap", PaletteMapMethod},
      {"merge", MergeMethod},
      {"applyFilter", ApplyFilterMethod},
      {"generateFilterRect", GenerateFilterRect},
      {"getColorBoundsRect", ColorBoundsMethod},
      {"compare", CompareMethod},
      {"hitTest", HitTestMethod},
      {"draw", DrawMethod},
  };
  for (const auto& [name, fn] : kMethods) vm.DefineMethod(proto, name, fn);

  Object* clip_proto =
      vm.GetMember(vm.GetMember(vm.global(), "MovieClip").AsObject(), "prototype").AsObject();
  if (!clip_proto) return;
  static constexpr std::pair<const char*, avm1::NativeFn> kClipMethods[] = {
      {"attachBitmap", AttachBitmap}, {"beginBitmapFill", BeginBitmapFill}};
  for (const auto& [name, fn] : kClipMethods) {
    vm.DefineMethod(clip_proto, name, fn);
    if (avm1::Property* p = clip_proto->FindOwn(name, true)) p->flags |= avm1::prop_flag::kVersion8;
  }
}

}  // namespace flashsaver
