// Math: constants and functions on Numbers. The example of a native class (see natives.h).
#include <cmath>
#include <numbers>
#include <random>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

template <double (*F)(double)>
Value Unary(Vm& vm, const Value&, std::span<const Value> args) {
  return Value(F(ArgNumber(vm, args, 0, NAN)));
}

double Abs(double x) { return std::fabs(x); }
double Acos(double x) { return std::acos(x); }
double Asin(double x) { return std::asin(x); }
double Atan(double x) { return std::atan(x); }
double Ceil(double x) { return std::ceil(x); }
double Cos(double x) { return std::cos(x); }
double Exp(double x) { return std::exp(x); }
double Floor(double x) { return std::floor(x); }
double Log(double x) { return std::log(x); }
double Sin(double x) { return std::sin(x); }
double Sqrt(double x) { return std::sqrt(x); }
double Tan(double x) { return std::tan(x); }
// Math.round rounds halves up (towards +Infinity), keeping -0 for -0.5 <= x < 0.
double Round(double x) {
  if (!std::isfinite(x) || x == 0) return x;
  if (x < 0 && x >= -0.5) return -0.0;
  return std::floor(x + 0.5);
}

Value Atan2(Vm& vm, const Value&, std::span<const Value> args) {
  return Value(std::atan2(ArgNumber(vm, args, 0, NAN), ArgNumber(vm, args, 1, NAN)));
}

Value Pow(Vm& vm, const Value&, std::span<const Value> args) {
  double x = ArgNumber(vm, args, 0, NAN), y = ArgNumber(vm, args, 1, NAN);
  // ECMAScript: 1 and -1 to an infinite power, and anything to a NaN power, are NaN.
  if (std::isnan(y) || (std::isinf(y) && std::fabs(x) == 1)) return Value(NAN);
  // Flash gives -0 for -Infinity to any negative power, even ones.
  if (x == -INFINITY && y < 0) return Value(-0.0);
  return Value(std::pow(x, y));
}

// max and min: NaN wins; +0 is greater than -0.
Value MinMax(Vm& vm, std::span<const Value> args, bool is_max) {
  double r = is_max ? -INFINITY : INFINITY;
  bool nan = false;
  for (const Value& a : args) {
    double x = vm.ToNumber(a);
    if (std::isnan(x)) nan = true;
    if (is_max ? (x > r || (x == 0 && r == 0 && !std::signbit(x)))
               : (x < r || (x == 0 && r == 0 && std::signbit(x))))
      r = x;
  }
  return Value(nan ? NAN : r);
}
Value Max(Vm& vm, const Value&, std::span<const Value> args) { return MinMax(vm, args, true); }
Value Min(Vm& vm, const Value&, std::span<const Value> args) { return MinMax(vm, args, false); }

Value Random(Vm&, const Value&, std::span<const Value>) {
  static std::mt19937_64 engine{std::random_device{}()};
  return Value(std::uniform_real_distribution<double>(0.0, 1.0)(engine));
}

Value MathConstruct(Vm& vm, const Value&, std::span<const Value>) {
  vm.ThrowError(ErrorType::kTypeError, 1076);
}

Value MathCall(Vm& vm, const Value&, std::span<const Value>) {
  vm.ThrowError(ErrorType::kTypeError, 1075);
}

}  // namespace

const NativeClass& MathClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "";
    c.name = "Math";
    c.flags = class_flag::kFinal | class_flag::kSealed;
    c.statics = {
        Const("E", Value(std::numbers::e)),
        Const("LN10", Value(std::numbers::ln10)),
        Const("LN2", Value(std::numbers::ln2)),
        Const("LOG10E", Value(std::numbers::log10e)),
        Const("LOG2E", Value(std::numbers::log2e)),
        Const("PI", Value(std::numbers::pi)),
        Const("SQRT1_2", Value(std::numbers::sqrt2 / 2)),
        Const("SQRT2", Value(std::numbers::sqrt2)),
        Method("abs", Unary<Abs>, 1).Needs(1),
        Method("acos", Unary<Acos>, 1).Needs(1),
        Method("asin", Unary<Asin>, 1).Needs(1),
        Method("atan", Unary<Atan>, 1).Needs(1),
        Method("atan2", Atan2, 2).Needs(2),
        Method("ceil", Unary<Ceil>, 1).Needs(1),
        Method("cos", Unary<Cos>, 1).Needs(1),
        Method("exp", Unary<Exp>, 1).Needs(1),
        Method("floor", Unary<Floor>, 1).Needs(1),
        Method("log", Unary<Log>, 1).Needs(1),
        Method("max", Max, 2),
        Method("min", Min, 2),
        Method("pow", Pow, 2).Needs(2),
        Method("random", Random),
        Method("round", Unary<Round>, 1).Needs(1),
        Method("sin", Unary<Sin>, 1).Needs(1),
        Method("sqrt", Unary<Sqrt>, 1).Needs(1),
        Method("tan", Unary<Tan>, 1).Needs(1),
    };
    c.constructor = MathConstruct;
    c.call = MathCall;
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
