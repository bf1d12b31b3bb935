// The AS3 BitmapData and flash.filters classes where the movie sets do not reach: Flash's size
// limits and errors, vectors of pixels, filter values and their conversion, displacement maps.
// Geometry arguments are plain objects: the classes read them by property name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/avm2/display/bitmap_data_object.h"
#include "player/avm2/display/filter_objects.h"
#include "player/avm2/vm.h"
#include "player/display/bitmap_data_draw.h"

namespace flashsaver::avm2 {
namespace {

Value Obj(Vm& vm, std::initializer_list<std::pair<const char*, double>> props) {
  Object* o = vm.NewObject();
  for (const auto& [k, v] : props) vm.SetProperty(Value(o), k, Value(v));
  return Value(o);
}
Value Rect(Vm& vm, double x, double y, double w, double h) {
  return Obj(vm, {{"x", x}, {"y", y}, {"width", w}, {"height", h}});
}
Value New(Vm& vm, const char* cls, std::vector<Value> args) {
  ClassObject* c = vm.FindClass(cls);
  EXPECT_NE(c, nullptr) << cls;
  return vm.Construct(Value(static_cast<Object*>(c)), args);
}
// The text of the error fn throws; "" when it throws none.
template <typename Fn>
std::string ErrorOf(Vm& vm, Fn fn) {
  try {
    fn();
  } catch (const ScriptException& e) {
    return vm.ToString(e.value).ToUtf8();
  }
  return "";
}

TEST(Avm2BitmapData, RefusesSizesPastFlashTenLimits) {
  Vm vm;
  struct Case {
    int32_t w, h;
    bool ok;
  } cases[] = {{1, 1, true},        {8191, 2048, true}, {8192, 1, false}, {1, 8192, false},
               {8191, 2049, false}, {0, 5, false},      {-1, 5, false}};
  for (const Case& c : cases) {
    const std::string error = ErrorOf(vm, [&] {
      New(vm, "flash.display::BitmapData", {c.w, c.h});
    });
    EXPECT_EQ(error.empty(), c.ok) << c.w << "x" << c.h << ": " << error;
    if (!c.ok) {
      EXPECT_EQ(error, "ArgumentError: Error #2015: Invalid BitmapData.");
    }
  }
}

TEST(Avm2BitmapData, ThrowsFlashErrorsForDisposedBitmapsAndNullArguments) {
  Vm vm;
  const Value live = New(vm, "flash.display::BitmapData", {4, 4});
  const Value dead = New(vm, "flash.display::BitmapData", {4, 4});
  vm.CallMethod(dead, "dispose", {});
  const Value point = Obj(vm, {{"x", 0}, {"y", 0}});
  const std::string invalid = "ArgumentError: Error #2015: Invalid BitmapData.";
  struct Case {
    Value self;
    const char* method;
    std::vector<Value> args;
    std::string error;
  } cases[] = {
      {dead, "getPixel32", {0, 0}, invalid},
      {dead, "dispose", {}, ""},
      {live, "copyPixels", {dead, Rect(vm, 0, 0, 1, 1), point}, invalid},
      {live,
       "fillRect",
       {Value::Null(), 0},
       "TypeError: Error #2007: Parameter rect must be non-null."},
      {live,
       "copyPixels",
       {live, Value::Null(), point},
       "TypeError: Error #2007: Parameter sourceRect must be non-null."},
      {live,
       "threshold",
       {live, Rect(vm, 0, 0, 4, 4), point, Value(Str(u"=")), 0},
       "ArgumentError: Error #2005: Parameter 0 is of the incorrect type. Should be type "
       "Operation."},
      {live,
       "applyFilter",
       {live, Rect(vm, 0, 0, 4, 4), point, Value(1)},
       "ArgumentError: Error #2005: Parameter 3 is of the incorrect type. Should be type "
       "BitmapFilter."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorOf(vm, [&] { vm.CallMethod(c.self, c.method, c.args); }), c.error) << c.method;
  }
}

TEST(Avm2BitmapData, VectorsRoundTripClippedAndShortInputChangesNothing) {
  Vm vm;
  const Value b = New(vm, "flash.display::BitmapData", {3, 2, true, Value(0u)});
  vm.CallMethod(b, "setPixel32", std::vector<Value>{1, 1, Value(0xFF112233u)});
  const Value all = vm.CallMethod(b, "getVector", std::vector<Value>{Rect(vm, -5, -5, 50, 50)});
  EXPECT_EQ(vm.ToString(all).ToUtf8(), "0,0,0,0,4279312947,0");
  auto* v = dynamic_cast<VectorObject*>(all.AsObject());
  ASSERT_NE(v, nullptr);
  v->items.pop_back();
  EXPECT_EQ(ErrorOf(vm,
                    [&] {
                      vm.CallMethod(b, "setVector", std::vector<Value>{Rect(vm, 0, 0, 3, 2), all});
                    }),
            "RangeError: Error #2006: The supplied index is out of bounds.");
  v->items.assign(6, Value(0xFFFFFFFFu));
  vm.CallMethod(b, "setVector", std::vector<Value>{Rect(vm, 0, 0, 3, 2), all});
  EXPECT_EQ(vm.ToNumber(vm.CallMethod(b, "getPixel32", std::vector<Value>{2, 1})), 4294967295.0);
}

// Pixel methods reading geometry by name: draw through a matrix and a colour transform, a copy
// clipped at the edges, a negative-size rectangle that touches nothing.
TEST(Avm2BitmapData, ReadGeometryByPropertyName) {
  Vm vm;
  const Value src = New(vm, "flash.display::BitmapData", {2, 2, false, Value(0xFF0000FFu)});
  struct Case {
    const char* method;
    std::vector<Value> args;
    int32_t x, y;
    uint32_t pixel;
  } cases[] = {
      {"draw",
       {src, Obj(vm, {{"a", 2}, {"b", 0}, {"c", 0}, {"d", 2}, {"tx", 1}, {"ty", 1}})},
       4,
       4,
       0xFF0000FFu},
      {"draw",
       {src, Obj(vm, {{"a", 2}, {"b", 0}, {"c", 0}, {"d", 2}, {"tx", 1}, {"ty", 1}})},
       0,
       0,
       0},
      {"draw",
       {src, Value::Null(),
        Obj(vm, {{"redMultiplier", 1},
                 {"greenMultiplier", 1},
                 {"blueMultiplier", 0},
                 {"alphaMultiplier", 1},
                 {"redOffset", 255},
                 {"greenOffset", 0},
                 {"blueOffset", 0},
                 {"alphaOffset", 0}})},
       1,
       1,
       0xFFFF0000u},
      {"copyPixels",
       {src, Rect(vm, -1, -1, 9, 9), Obj(vm, {{"x", 4}, {"y", 4}})},
       5,
       5,
       0xFF0000FFu},
      {"fillRect", {Rect(vm, 3, 3, -2, 2), Value(0xFFFFFFFFu)}, 2, 3, 0},
  };
  for (const Case& c : cases) {
    const Value dest = New(vm, "flash.display::BitmapData", {6, 6, true, Value(0u)});
    vm.CallMethod(dest, c.method, c.args);
    EXPECT_EQ(vm.ToUint32(vm.CallMethod(dest, "getPixel32", std::vector<Value>{c.x, c.y})), c.pixel)
        << c.method << " at " << c.x << "," << c.y;
  }
}

TEST(Avm2Filters, KeepDefaultsClampsAndCloneApart) {
  Vm vm;
  struct Case {
    const char* cls;
    std::vector<Value> args;
    const char* prop;
    const char* text;
  } cases[] = {
      {"GlowFilter", {}, "color", "16711680"},
      {"GlowFilter", {Value(0u), 5.0, 300.0, 1.0, 1.0, 40}, "alpha", "1"},
      {"GlowFilter", {Value(0u), 1.0, 300.0}, "blurX", "255"},
      {"GlowFilter", {Value(0u), 1.0, 1.0, 1.0, 1.0, 40}, "quality", "15"},
      {"DropShadowFilter", {4.0, 400.0}, "angle", "40"},
      {"BevelFilter", {}, "type", "inner"},
      {"ConvolutionFilter", {2, 2, Value(vm.NewArray({1.0}))}, "matrix", "1,0,0,0"},
      {"ConvolutionFilter", {2, 1, Value(vm.NewArray({1.0, 3.0}))}, "divisor", "4"},
      {"ColorMatrixFilter",
       {Value(vm.NewArray({2.0}))},
       "matrix",
       "2,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0"},
      {"DisplacementMapFilter", {}, "mode", "wrap"},
  };
  for (const Case& c : cases) {
    const Value f = New(vm, (std::string("flash.filters::") + c.cls).c_str(), c.args);
    EXPECT_EQ(vm.ToString(vm.GetProperty(f, c.prop)).ToUtf8(), c.text) << c.cls << "." << c.prop;
    const Value copy = vm.CallMethod(f, "clone", {});
    EXPECT_EQ(vm.ToString(vm.GetProperty(copy, c.prop)).ToUtf8(), c.text) << c.cls << " clone";
  }
  const Value blur = New(vm, "flash.filters::BlurFilter", {});
  const Value copy = vm.CallMethod(blur, "clone", {});
  vm.SetProperty(copy, "blurX", Value(9.0));
  EXPECT_EQ(vm.ToNumber(vm.GetProperty(blur, "blurX")), 4);
}

TEST(Avm2Filters, ConvertToTheRenderersFiltersAndBack) {
  Vm vm;
  const Value glow = New(vm, "flash.filters::GlowFilter", {Value(0x00FF00u), 0.5, 8.0});
  const Value items =
      Value(vm.NewArray({glow, New(vm, "flash.filters::DisplacementMapFilter", {})}));
  const std::vector<Filter> filters = FiltersOfArray(vm, items);
  ASSERT_EQ(filters.size(), 1u);  // the displacement map is not drawn
  EXPECT_EQ(filters[0].kind, FilterKind::kGlow);
  EXPECT_EQ(filters[0].colour.g, 255);
  EXPECT_EQ(filters[0].colour.a, 127);
  EXPECT_EQ(filters[0].blur_x, 8);
  const Value back = ArrayOfFilters(vm, filters);
  EXPECT_EQ(vm.ToString(back).ToUtf8(), "[object GlowFilter]");
  EXPECT_EQ(ErrorOf(vm, [&] { FiltersOfArray(vm, Value(vm.NewArray({1.0}))); }),
            "ArgumentError: Error #2005: Parameter 0 is of the incorrect type. Should be type "
            "Filter.");
  EXPECT_TRUE(FiltersOfArray(vm, Value::Null()).empty());
}

TEST(BitmapDisplacement, ModesDecideLookupsOutsideTheSource) {
  // A 4x1 source; a map moving every lookup exactly 2 to the right (red 130, scale 256).
  BitmapPixels source = *MakeBitmap(4, 1, true, 0);
  for (int32_t x = 0; x < 4; ++x) SetPixel32(source, x, 0, 0xFF000000u | static_cast<uint32_t>(x));
  BitmapPixels map = *MakeBitmap(4, 1, true, 0xFF820000u);
  struct Case {
    int mode;
    uint32_t last;  // what the pixel at x = 3 reads from x = 5
  } cases[] = {{0, 0xFF000001u}, {1, 0xFF000003u}, {2, 0xFF000003u}, {3, 0x80FF0000u}};
  for (const Case& c : cases) {
    BitmapPixels dest = *MakeBitmap(4, 1, true, 0);
    DisplacementParams p;
    p.map = &map;
    p.component_x = 1;
    p.scale_x = 256;
    p.mode = c.mode;
    p.colour = 0x80FF0000u;
    DisplaceBitmap(dest, source, source.Bounds(), 0, 0, p);
    EXPECT_EQ(GetPixel32(dest, 0, 0), 0xFF000002u) << c.mode;
    EXPECT_EQ(GetPixel32(dest, 3, 0), c.last) << c.mode;
  }
}

}  // namespace
}  // namespace flashsaver::avm2
