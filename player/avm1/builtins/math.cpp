// Math: the functions and constants.
#include <cmath>
#include <numbers>

#include "player/avm1/builtins/builtins.h"

namespace flashsaver::avm1 {
namespace {

double Arg(Vm& vm, const CallArgs& c, size_t i) {
  return i < c.args.size() ? vm.ToNumber(c.args[i]) : NAN;
}

#define FLASHSAVER_MATH1(NAME, EXPR)      \
  Value NAME(Vm& vm, const CallArgs& c) { \
    double x = Arg(vm, c, 0);             \
    return static_cast<double>(EXPR);     \
  }

FLASHSAVER_MATH1(Abs, std::fabs(x))
FLASHSAVER_MATH1(Acos, std::acos(x))
FLASHSAVER_MATH1(Asin, std::asin(x))
FLASHSAVER_MATH1(Atan, std::atan(x))
FLASHSAVER_MATH1(Ceil, std::ceil(x))
FLASHSAVER_MATH1(Cos, std::cos(x))
FLASHSAVER_MATH1(Exp, std::exp(x))
FLASHSAVER_MATH1(Floor, std::floor(x))
FLASHSAVER_MATH1(Log, std::log(x))
// Halves round up, towards positive infinity.
FLASHSAVER_MATH1(Round, std::floor(x + 0.5))
FLASHSAVER_MATH1(Sin, std::sin(x))
FLASHSAVER_MATH1(Sqrt, std::sqrt(x))
FLASHSAVER_MATH1(Tan, std::tan(x))
#undef FLASHSAVER_MATH1

Value Atan2(Vm& vm, const CallArgs& c) { return std::atan2(Arg(vm, c, 0), Arg(vm, c, 1)); }
Value Pow(Vm& vm, const CallArgs& c) { return std::pow(Arg(vm, c, 0), Arg(vm, c, 1)); }

Value Max(Vm& vm, const CallArgs& c) {
  if (c.args.empty()) return -INFINITY;
  double a = Arg(vm, c, 0);
  if (c.args.size() < 2) return NAN;
  double b = Arg(vm, c, 1);
  if (std::isnan(a) || std::isnan(b)) return NAN;
  return a > b ? a : b;
}

Value Min(Vm& vm, const CallArgs& c) {
  if (c.args.empty()) return INFINITY;
  double a = Arg(vm, c, 0);
  if (c.args.size() < 2) return NAN;
  double b = Arg(vm, c, 1);
  if (std::isnan(a) || std::isnan(b)) return NAN;
  return a < b ? a : b;
}

Value RandomMethod(Vm& vm, const CallArgs&) { return vm.host().Random(); }

}  // namespace

void InstallMath(Vm& vm) {
  Object* m = vm.NewObject();
  vm.global()->Define("Math", m, prop_flag::kDontEnum);
  struct {
    const char* name;
    NativeFn fn;
  } const methods[] = {
      {"abs", Abs},   {"acos", Acos}, {"asin", Asin}, {"atan", Atan},           {"atan2", Atan2},
      {"ceil", Ceil}, {"cos", Cos},   {"exp", Exp},   {"floor", Floor},         {"log", Log},
      {"max", Max},   {"min", Min},   {"pow", Pow},   {"random", RandomMethod}, {"round", Round},
      {"sin", Sin},   {"sqrt", Sqrt}, {"tan", Tan}};
  for (const auto& method : methods) vm.DefineMethod(m, method.name, method.fn, 7);
  constexpr uint8_t kConst = 7;
  m->Define("E", std::numbers::e, kConst);
  m->Define("LN10", std::numbers::ln10, kConst);
  m->Define("LN2", std::numbers::ln2, kConst);
  m->Define("LOG10E", std::numbers::log10e, kConst);
  m->Define("LOG2E", std::numbers::log2e, kConst);
  m->Define("PI", std::numbers::pi, kConst);
  m->Define("SQRT1_2", 1 / std::numbers::sqrt2, kConst);
  m->Define("SQRT2", std::numbers::sqrt2, kConst);
}

}  // namespace flashsaver::avm1
