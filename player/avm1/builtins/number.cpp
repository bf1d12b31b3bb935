// Number: the wrapper class, toString with a radix, and the limits.
#include <cfloat>
#include <cmath>

#include "player/avm1/builtins/builtins.h"

namespace flashsaver::avm1 {
namespace {

Value Call(Vm& vm, const CallArgs& c) {
  if (c.args.empty()) return 0.0;
  double n = vm.ToNumber(c.Arg(0));
  // super(value) in a subclass fills the wrapper being constructed.
  if (c.this_obj && c.this_obj->kind() == ObjectKind::kNumber) {
    static_cast<ValueObject*>(c.this_obj)->value = n;
  }
  return n;
}

Value Construct(Vm& vm, const CallArgs& c) {
  auto* o =
      vm.New<ValueObject>(ObjectKind::kNumber, Value(c.args.empty() ? 0.0 : vm.ToNumber(c.Arg(0))));
  o->Define("__proto__", vm.number_proto);
  o->Define("__constructor__", c.callee);
  return o;
}

Value Unbox(const CallArgs& c) {
  if (c.this_obj && c.this_obj->kind() == ObjectKind::kNumber) {
    return static_cast<ValueObject*>(c.this_obj)->value;
  }
  return Value();
}

// Integers in another radix print as the player does: the two's complement digits of a
// negative number, preceded by "-".
std::string ToRadix(double n, int radix) {
  if (std::isnan(n)) return "NaN";
  if (std::isinf(n)) return n > 0 ? "Infinity" : "-Infinity";
  int32_t v = ToInt32(n);
  if (v == 0) return "0";
  bool negative = v < 0;
  uint32_t u = negative ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
  std::string digits;
  while (u > 0) {
    digits.insert(digits.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[u % radix]);
    u /= radix;
  }
  return negative ? "-" + digits : digits;
}

Value ToStringMethod(Vm& vm, const CallArgs& c) {
  Value v = Unbox(c);
  if (!v.IsNumber()) return Value();
  int radix = c.args.empty() ? 10 : vm.ToInt(c.Arg(0));
  if (radix < 2 || radix > 36 || radix == 10) return NumberToString(v.AsNumber());
  return ToRadix(v.AsNumber(), radix);
}

Value ValueOf(Vm&, const CallArgs& c) { return Unbox(c); }

}  // namespace

void InstallNumber(Vm& vm) {
  Object* proto = vm.NewObject();
  vm.number_proto = proto;
  vm.DefineMethod(proto, "toString", ToStringMethod, 3);
  vm.DefineMethod(proto, "valueOf", ValueOf, 3);
  FunctionObject* ctor = vm.DefineClass("Number", Call, Construct, proto);
  constexpr uint8_t kConst = 7;
  ctor->Define("MAX_VALUE", DBL_MAX, kConst);
  ctor->Define("MIN_VALUE", 4.9406564584124654e-324, kConst);
  ctor->Define("NaN", NAN, kConst);
  ctor->Define("NEGATIVE_INFINITY", -INFINITY, kConst);
  ctor->Define("POSITIVE_INFINITY", INFINITY, kConst);
}

}  // namespace flashsaver::avm1
