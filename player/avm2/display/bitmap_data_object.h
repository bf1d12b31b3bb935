// flash.display.BitmapData's instances: a script object holding shared pixels, so a Bitmap
// showing them, or a fill, keeps them after the object is collected.
#pragma once

#include <memory>
#include <span>

#include "player/avm2/object.h"
#include "player/avm2/value.h"
#include "player/display/bitmap_data.h"

namespace flashsaver::avm2 {

class Vm;
struct NativeClass;

class BitmapDataObject final : public BoxedObject {
 public:
  using BoxedObject::BoxedObject;
  // Null until constructed (a subclass's constructor may not have called super yet).
  std::shared_ptr<BitmapPixels> pixels;
};

// The object as a BitmapData (or subclass) instance; null for anything else.
BitmapDataObject* AsBitmapData(Object* object);
// The pixels of a BitmapData value; null for anything else and for disposed bitmaps.
std::shared_ptr<BitmapPixels> PixelsOf(Object* object);

const NativeClass& BitmapDataClass();
// flash.display.BitmapDataChannel's constants.
const NativeClass& BitmapDataChannelClass();

// Internal to the BitmapData files: the receiver's live pixels (ArgumentError #2015 when
// disposed), an argument's (TypeError #2007 naming it when null, #2015 when disposed).
BitmapPixels& LivePixels(Vm& vm, const Value& self);
BitmapPixels& PixelsArg(Vm& vm, std::span<const Value> args, size_t i, const char* name);
// The argument, which must be non-null (TypeError #2007 naming it).
Value NeededArg(Vm& vm, std::span<const Value> args, size_t i, const char* name);
[[noreturn]] void ThrowInvalidBitmap(Vm& vm);
// A new BitmapData holding pixels (ArgumentError #2015 when the budget has no room).
Value NewBitmapData(Vm& vm, BitmapPixels pixels);

// An empty Vector.<type>, to be filled.
VectorObject* NewTypedVector(Vm& vm, ClassObject* type);

// The methods in bitmap_data_effects.cpp.
Value BitmapColorTransform(Vm& vm, const Value& self, std::span<const Value> args);
Value BitmapScroll(Vm& vm, const Value& self, std::span<const Value> args);
Value BitmapFloodFill(Vm& vm, const Value& self, std::span<const Value> args);
Value BitmapNoise(Vm& vm, const Value& self, std::span<const Value> args);
Value BitmapPerlinNoise(Vm& vm, const Value& self, std::span<const Value> args);
Value BitmapThreshold(Vm& vm, const Value& self, std::span<const Value> args);
Value BitmapPaletteMap(Vm& vm, const Value& self, std::span<const Value> args);
Value BitmapMerge(Vm& vm, const Value& self, std::span<const Value> args);
Value BitmapPixelDissolve(Vm& vm, const Value& self, std::span<const Value> args);
Value BitmapHitTest(Vm& vm, const Value& self, std::span<const Value> args);
Value BitmapCompare(Vm& vm, const Value& self, std::span<const Value> args);
Value BitmapColorBounds(Vm& vm, const Value& self, std::span<const Value> args);
Value BitmapApplyFilter(Vm& vm, const Value& self, std::span<const Value> args);
Value BitmapGenerateFilterRect(Vm& vm, const Value& self, std::span<const Value> args);
Value BitmapDraw(Vm& vm, const Value& self, std::span<const Value> args);
Value BitmapHistogram(Vm& vm, const Value& self, std::span<const Value> args);

}  // namespace flashsaver::avm2
