#include "player/avm2/display/geom_values.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <vector>

#include "player/avm2/vm.h"
#include "player/display/bitmap_data_draw.h"

namespace flashsaver::avm2 {
namespace {

double Number(Vm& vm, const Value& obj, const char* name) {
  return vm.ToNumber(vm.GetProperty(obj, name));
}
double Finite(double v) { return std::isfinite(v) ? v : 0; }

Value Construct(Vm& vm, const char* cls, std::initializer_list<double> args) {
  ClassObject* c = vm.FindClass(cls);
  if (!c) vm.ThrowError(ErrorType::kReferenceError, 1065, {cls});
  std::vector<Value> values;
  for (double a : args) values.emplace_back(a);
  return vm.Construct(Value(static_cast<Object*>(c)), values);
}

}  // namespace

int32_t WholePixels(double d) {
  if (!std::isfinite(d)) return 0;
  return static_cast<int32_t>(std::clamp(std::trunc(d), -1e8, 1e8));
}

PixelBox ReadBox(Vm& vm, const Value& rect) {
  const int32_t x = WholePixels(Number(vm, rect, "x")), y = WholePixels(Number(vm, rect, "y"));
  const int32_t w = WholePixels(Number(vm, rect, "width"));
  const int32_t h = WholePixels(Number(vm, rect, "height"));
  return {x, y, x + std::max(0, w), y + std::max(0, h)};
}

std::pair<int32_t, int32_t> ReadPoint(Vm& vm, const Value& point) {
  return {WholePixels(Number(vm, point, "x")), WholePixels(Number(vm, point, "y"))};
}

Matrix ReadMatrix(Vm& vm, const Value& m) {
  auto f = [&](const char* name) { return Finite(Number(vm, m, name)); };
  return Matrix{f("a"), f("b"), f("c"), f("d"), f("tx"), f("ty")};
}

ColorTransform ReadColorTransform(Vm& vm, const Value& t) {
  auto f = [&](const char* name) { return Number(vm, t, name); };
  return TransformOfTerms(f("redMultiplier"), f("greenMultiplier"), f("blueMultiplier"),
                          f("alphaMultiplier"), f("redOffset"), f("greenOffset"), f("blueOffset"),
                          f("alphaOffset"));
}

Value NewRectangle(Vm& vm, double x, double y, double width, double height) {
  return Construct(vm, "flash.geom::Rectangle", {x, y, width, height});
}
Value NewBoxRectangle(Vm& vm, PixelBox b) {
  return NewRectangle(vm, b.left, b.top, b.Width(), b.Height());
}
Value NewPoint(Vm& vm, double x, double y) { return Construct(vm, "flash.geom::Point", {x, y}); }

}  // namespace flashsaver::avm2
