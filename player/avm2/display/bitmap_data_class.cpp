// flash.display.BitmapData for ActionScript 3: construction, properties, pixel access and the
// copying methods. The pixel work is the player's own (player/display/bitmap_data.*), shared
// with the ActionScript 1/2 class; this file reads arguments and throws Flash's errors.
#include "player/avm2/display/bitmap_data_object.h"

#include <algorithm>
#include <cmath>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/display/display_host.h"
#include "player/avm2/display/geom_values.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {

// Flash Player 10's limits: up to 8191 pixels a side and 16 777 215 pixels in all.
constexpr int32_t kMaxSide = 8191;
constexpr int64_t kMaxPixels = 16777215;

BitmapDataObject* AsBitmapData(Object* o) {
  // Every instance of BitmapData and its subclasses is made by its create, so the class says
  // what the object is without a dynamic_cast (setPixel32 loops call this millions of times).
  if (o && o->kind() == ObjectKind::kBoxed && o->cls() && o->cls()->native == &BitmapDataClass()) {
    return static_cast<BitmapDataObject*>(o);
  }
  return nullptr;
}

std::shared_ptr<BitmapPixels> PixelsOf(Object* object) {
  auto* b = AsBitmapData(object);
  if (!b || !b->pixels || b->pixels->disposed) return nullptr;
  return b->pixels;
}

void ThrowInvalidBitmap(Vm& vm) {
  vm.Throw(
      vm.MakeErrorWithText(ErrorType::kArgumentError, 2015, "Error #2015: Invalid BitmapData."));
}

BitmapPixels& LivePixels(Vm& vm, const Value& self) {
  auto* b = AsBitmapData(self.AsObject());
  if (!b) b = ThisAs<BitmapDataObject>(vm, self, "flash.display.BitmapData");
  if (!b->pixels || b->pixels->disposed) ThrowInvalidBitmap(vm);
  return *b->pixels;
}

Value NeededArg(Vm& vm, std::span<const Value> args, size_t i, const char* name) {
  Value v = Arg(args, i);
  if (v.IsNullish()) vm.ThrowError(ErrorType::kTypeError, 2007, {name});
  return v;
}

BitmapPixels& PixelsArg(Vm& vm, std::span<const Value> args, size_t i, const char* name) {
  Value v = NeededArg(vm, args, i, name);
  auto* b = AsBitmapData(v.AsObject());
  if (!b) {
    vm.ThrowError(ErrorType::kTypeError, 1034,
                  {vm.TypeNameForError(v), "flash.display.BitmapData"});
  }
  if (!b->pixels || b->pixels->disposed) ThrowInvalidBitmap(vm);
  return *b->pixels;
}

Value NewBitmapData(Vm& vm, BitmapPixels pixels) {
  ClassObject* cls = vm.FindClass("flash.display::BitmapData");
  auto* b = dynamic_cast<BitmapDataObject*>(cls ? vm.CreateInstance(cls) : nullptr);
  if (!b) ThrowInvalidBitmap(vm);
  pixels.revision = 0;
  b->pixels = ShareBitmap(std::move(pixels));
  if (!b->pixels) ThrowInvalidBitmap(vm);
  return Value(static_cast<Object*>(b));
}

VectorObject* NewTypedVector(Vm& vm, ClassObject* type) {
  Value t(static_cast<Object*>(type));
  Value cls = vm.ApplyType(Value(static_cast<Object*>(vm.classes().vector)), {&t, 1});
  auto* v = dynamic_cast<VectorObject*>(vm.Construct(cls, {}).AsObject());
  if (!v) vm.ThrowError(ErrorType::kTypeError, 1009);
  return v;
}

namespace {

Object* Create(Vm& vm, ClassObject* cls) {
  return vm.heap().New<BitmapDataObject>(cls, cls->prototype);
}

uint32_t Colour(Vm& vm, std::span<const Value> args, size_t i, uint32_t def = 0) {
  return ArgUInt(vm, args, i, def);
}

Value Construct(Vm& vm, const Value& self, std::span<const Value> args) {
  auto* b = ThisAs<BitmapDataObject>(vm, self, "flash.display.BitmapData");
  // A class linked to a bitmap in the movie's library starts from that bitmap's pixels.
  if (vm.display_host) {
    Picture picture;
    if (vm.display_host->SymbolBitmap(b->cls(), picture)) {
      BitmapPixels pixels;
      pixels.picture = std::move(picture);
      pixels.transparent = ArgBool(vm, args, 2, true);
      b->pixels = ShareBitmap(std::move(pixels));
      if (!b->pixels) ThrowInvalidBitmap(vm);
      return Value();
    }
  }
  if (args.size() < 2) {
    vm.ThrowError(ErrorType::kArgumentError, 1063,
                  {"flash.display::BitmapData()", "2", std::to_string(args.size())});
  }
  const int32_t w = ArgInt(vm, args, 0), h = ArgInt(vm, args, 1);
  if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide || int64_t{w} * h > kMaxPixels) {
    ThrowInvalidBitmap(vm);
  }
  BitmapPixels pixels;
  pixels.transparent = ArgBool(vm, args, 2, true);
  pixels.picture = Picture(w, h);
  FillRect(pixels, pixels.Bounds(), Colour(vm, args, 3, 0xFFFFFFFFu));
  b->pixels = ShareBitmap(std::move(pixels));
  if (!b->pixels) ThrowInvalidBitmap(vm);
  return Value();
}

Value Width(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(LivePixels(vm, self).width());
}
Value Height(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(LivePixels(vm, self).height());
}
Value Transparent(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(LivePixels(vm, self).transparent);
}
Value Rect(Vm& vm, const Value& self, std::span<const Value>) {
  return NewBoxRectangle(vm, LivePixels(vm, self).Bounds());
}

Value GetPixel(Vm& vm, const Value& self, std::span<const Value> args) {
  BitmapPixels& b = LivePixels(vm, self);
  return Value(GetPixel32(b, ArgInt(vm, args, 0), ArgInt(vm, args, 1)) & 0xFFFFFFu);
}
Value GetPixel32Method(Vm& vm, const Value& self, std::span<const Value> args) {
  BitmapPixels& b = LivePixels(vm, self);
  return Value(GetPixel32(b, ArgInt(vm, args, 0), ArgInt(vm, args, 1)));
}
Value SetPixelMethod(Vm& vm, const Value& self, std::span<const Value> args) {
  BitmapPixels& b = LivePixels(vm, self);
  SetPixel(b, ArgInt(vm, args, 0), ArgInt(vm, args, 1), Colour(vm, args, 2));
  return Value();
}
Value SetPixel32Method(Vm& vm, const Value& self, std::span<const Value> args) {
  BitmapPixels& b = LivePixels(vm, self);
  SetPixel32(b, ArgInt(vm, args, 0), ArgInt(vm, args, 1), Colour(vm, args, 2));
  return Value();
}

Value FillRectMethod(Vm& vm, const Value& self, std::span<const Value> args) {
  BitmapPixels& b = LivePixels(vm, self);
  const PixelBox box = ReadBox(vm, NeededArg(vm, args, 0, "rect"));
  FillRect(b, box, Colour(vm, args, 1));
  return Value();
}

Value Clone(Vm& vm, const Value& self, std::span<const Value>) {
  return NewBitmapData(vm, LivePixels(vm, self));
}

Value Dispose(Vm& vm, const Value& self, std::span<const Value>) {
  auto* b = ThisAs<BitmapDataObject>(vm, self, "flash.display.BitmapData");
  if (b->pixels && !b->pixels->disposed) {
    // What shows it draws nothing from now on; the memory goes at once.
    b->pixels->disposed = true;
    ReleaseBitmap(*b->pixels);
    b->pixels->Changed();
  }
  return Value();
}

// lock and unlock: changes show at the next frame anyway.
Value Ignore(Vm& vm, const Value& self, std::span<const Value>) {
  ThisAs<BitmapDataObject>(vm, self, "flash.display.BitmapData");
  return Value();
}

Value CopyPixelsMethod(Vm& vm, const Value& self, std::span<const Value> args) {
  BitmapPixels& dest = LivePixels(vm, self);
  const BitmapPixels& source = PixelsArg(vm, args, 0, "sourceBitmapData");
  const PixelBox box = ReadBox(vm, NeededArg(vm, args, 1, "sourceRect"));
  const auto [dx, dy] = ReadPoint(vm, NeededArg(vm, args, 2, "destPoint"));
  AlphaSource alpha;
  if (!Arg(args, 3).IsNullish()) {
    alpha.bitmap = &PixelsArg(vm, args, 3, "alphaBitmapData");
    if (!Arg(args, 4).IsNullish()) std::tie(alpha.x, alpha.y) = ReadPoint(vm, args[4]);
  }
  CopyPixels(dest, source, box, dx, dy, alpha, ArgBool(vm, args, 5));
  return Value();
}

Value CopyChannelMethod(Vm& vm, const Value& self, std::span<const Value> args) {
  BitmapPixels& dest = LivePixels(vm, self);
  const BitmapPixels& source = PixelsArg(vm, args, 0, "sourceBitmapData");
  const PixelBox box = ReadBox(vm, NeededArg(vm, args, 1, "sourceRect"));
  const auto [dx, dy] = ReadPoint(vm, NeededArg(vm, args, 2, "destPoint"));
  CopyChannel(dest, source, box, dx, dy, Colour(vm, args, 3), Colour(vm, args, 4));
  return Value();
}

Value GetVector(Vm& vm, const Value& self, std::span<const Value> args) {
  const BitmapPixels& b = LivePixels(vm, self);
  const PixelBox box = Intersect(ReadBox(vm, NeededArg(vm, args, 0, "rect")), b.Bounds());
  VectorObject* v = NewTypedVector(vm, vm.classes().uint);
  for (int32_t y = box.top; y < box.bottom; ++y)
    for (int32_t x = box.left; x < box.right; ++x) v->items.emplace_back(GetPixel32(b, x, y));
  return Value(static_cast<Object*>(v));
}

Value SetVector(Vm& vm, const Value& self, std::span<const Value> args) {
  BitmapPixels& b = LivePixels(vm, self);
  const PixelBox box = Intersect(ReadBox(vm, NeededArg(vm, args, 0, "rect")), b.Bounds());
  // Flash names the parameter so, misspelt.
  Value input = NeededArg(vm, args, 1, "imputVector");
  auto* v = dynamic_cast<VectorObject*>(input.AsObject());
  if (!v) vm.ThrowError(ErrorType::kTypeError, 1034, {vm.TypeNameForError(input), "Vector"});
  if (box.Empty()) return Value();
  // Too few values change nothing.
  if (v->items.size() < static_cast<size_t>(box.Width()) * static_cast<size_t>(box.Height())) {
    vm.ThrowError(ErrorType::kRangeError, 2006);
  }
  size_t i = 0;
  for (int32_t y = box.top; y < box.bottom; ++y)
    for (int32_t x = box.left; x < box.right; ++x) SetPixel32(b, x, y, vm.ToUint32(v->items[i++]));
  return Value();
}

// getPixels and setPixels go through ByteArray's own methods, so any ByteArray works.
Value GetPixels(Vm& vm, const Value& self, std::span<const Value> args) {
  const BitmapPixels& b = LivePixels(vm, self);
  const PixelBox box = Intersect(ReadBox(vm, NeededArg(vm, args, 0, "rect")), b.Bounds());
  ClassObject* cls = vm.FindClass("flash.utils::ByteArray");
  if (!cls) vm.ThrowError(ErrorType::kReferenceError, 1065, {"flash.utils::ByteArray"});
  Value bytes = vm.Construct(Value(static_cast<Object*>(cls)), {});
  for (int32_t y = box.top; y < box.bottom; ++y) {
    for (int32_t x = box.left; x < box.right; ++x) {
      Value pixel(GetPixel32(b, x, y));
      vm.CallMethod(bytes, "writeUnsignedInt", {&pixel, 1});
    }
  }
  return bytes;
}

Value SetPixels(Vm& vm, const Value& self, std::span<const Value> args) {
  BitmapPixels& b = LivePixels(vm, self);
  const PixelBox box = Intersect(ReadBox(vm, NeededArg(vm, args, 0, "rect")), b.Bounds());
  Value bytes = NeededArg(vm, args, 1, "inputByteArray");
  // Pixels read before the bytes run out stay written; the read's end-of-file error goes on.
  for (int32_t y = box.top; y < box.bottom; ++y) {
    for (int32_t x = box.left; x < box.right; ++x) {
      SetPixel32(b, x, y, vm.ToUint32(vm.CallMethod(bytes, "readUnsignedInt", {})));
    }
  }
  return Value();
}

}  // namespace

const NativeClass& BitmapDataChannelClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.display";
    c.name = "BitmapDataChannel";
    c.flags = class_flag::kFinal | class_flag::kSealed;
    c.statics = {Const("RED", Value(1u)), Const("GREEN", Value(2u)), Const("BLUE", Value(4u)),
                 Const("ALPHA", Value(8u))};
    return c;
  }();
  return spec;
}

const NativeClass& BitmapDataClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.display";
    c.name = "BitmapData";
    c.constructor = Construct;
    c.constructor_length = 4;
    c.create = Create;
    c.instance = {
        Getter("width", Width),
        Getter("height", Height),
        Getter("transparent", Transparent),
        Getter("rect", Rect),
        Method("getPixel", GetPixel, 2).Needs(2),
        Method("getPixel32", GetPixel32Method, 2).Needs(2),
        Method("setPixel", SetPixelMethod, 3).Needs(3),
        Method("setPixel32", SetPixel32Method, 3).Needs(3),
        Method("fillRect", FillRectMethod, 2).Needs(2),
        Method("clone", Clone),
        Method("dispose", Dispose),
        Method("lock", Ignore),
        Method("unlock", Ignore, 1),
        Method("copyPixels", CopyPixelsMethod, 6).Needs(3),
        Method("copyChannel", CopyChannelMethod, 5).Needs(5),
        Method("getVector", GetVector, 1).Needs(1),
        Method("setVector", SetVector, 2).Needs(2),
        Method("getPixels", GetPixels, 1).Needs(1),
        Method("setPixels", SetPixels, 2).Needs(2),
        Method("colorTransform", BitmapColorTransform, 2).Needs(2),
        Method("scroll", BitmapScroll, 2).Needs(2),
        Method("floodFill", BitmapFloodFill, 3).Needs(3),
        Method("noise", BitmapNoise, 5).Needs(1),
        Method("perlinNoise", BitmapPerlinNoise, 9).Needs(6),
        Method("threshold", BitmapThreshold, 8).Needs(5),
        Method("paletteMap", BitmapPaletteMap, 7).Needs(3),
        Method("merge", BitmapMerge, 7).Needs(7),
        Method("pixelDissolve", BitmapPixelDissolve, 6).Needs(3),
        Method("hitTest", BitmapHitTest, 5).Needs(3),
        Method("compare", BitmapCompare, 1).Needs(1),
        Method("getColorBoundsRect", BitmapColorBounds, 3).Needs(2),
        Method("applyFilter", BitmapApplyFilter, 4).Needs(4),
        Method("generateFilterRect", BitmapGenerateFilterRect, 2).Needs(2),
        Method("draw", BitmapDraw, 6).Needs(1),
        Method("drawWithQuality", BitmapDraw, 7).Needs(1),
        Method("histogram", BitmapHistogram, 1),
    };
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
