// Array.
#include <algorithm>
#include <cmath>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/number_text.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

ArrayObject* This(Vm& vm, const Value& self) { return ThisAs<ArrayObject>(vm, self, "Array"); }

// The elements as the generic algorithms read them: a hole reads through the prototype.
std::vector<Value> Elements(Vm& vm, ArrayObject* a) {
  std::vector<Value> v = a->ToVector();
  if (a->HasHoles() && a->proto())
    for (uint32_t i = 0; i < v.size(); ++i)
      if (!a->Has(i)) v[i] = vm.ArrayElement(a, i);
  return v;
}

Object* CreateArray(Vm& vm, ClassObject* cls) {
  return vm.heap().New<ArrayObject>(cls, cls->prototype);
}

Value ArrayInit(Vm& vm, const Value& self, std::span<const Value> args) {
  auto* a = dynamic_cast<ArrayObject*>(self.AsObject());
  if (!a) return Value();
  if (args.size() == 1 && args[0].IsNumeric()) {
    double d = args[0].AsDouble();
    if (d < 0 || d != std::trunc(d) || d > 4294967295.0)
      vm.ThrowError(ErrorType::kRangeError, 1005, {vm.ToString(args[0]).ToUtf8()});
    a->SetLength(static_cast<uint32_t>(d));
  } else {
    a->Assign(std::vector<Value>(args.begin(), args.end()));
  }
  return Value();
}

Value ArrayCall(Vm& vm, const Value&, std::span<const Value> args) {
  return vm.Construct(Value(static_cast<Object*>(vm.classes().array)), args);
}

Value Length(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(This(vm, self)->length());
}
Value SetLength(Vm& vm, const Value& self, std::span<const Value> args) {
  double d = ArgNumber(vm, args, 0, 0);
  if (d < 0 || d != std::trunc(d) || d > 4294967295.0)
    vm.ThrowError(ErrorType::kRangeError, 1005, {vm.ToString(Value(d)).ToUtf8()});
  This(vm, self)->SetLength(static_cast<uint32_t>(d));
  return Value();
}

Str Join(Vm& vm, ArrayObject* a, const Str& sep) {
  std::u16string out;
  for (uint32_t i = 0; i < a->length(); ++i) {
    if (i) out += sep.str();
    Value v = vm.ArrayElement(a, i);
    if (!v.IsNullish()) out += vm.ToString(v).str();
    if (out.size() > vm.limits().max_string) vm.ThrowError(ErrorType::kError, 1000);
  }
  return Str(std::move(out));
}

Value JoinFn(Vm& vm, const Value& self, std::span<const Value> args) {
  Str sep = args.empty() || args[0].IsUndefined() ? Str(u",") : vm.ToString(args[0]);
  return Value(Join(vm, This(vm, self), sep));
}
Value ToStringFn(Vm& vm, const Value& self, std::span<const Value>) {
  if (self.AsObject() == vm.classes().array->prototype) return Value(Str());
  return Value(Join(vm, This(vm, self), Str(u",")));
}
Value Push(Vm& vm, const Value& self, std::span<const Value> args) {
  ArrayObject* a = This(vm, self);
  for (const Value& v : args) a->Push(v);
  return Value(a->length());
}
Value PopFn(Vm& vm, const Value& self, std::span<const Value>) {
  ArrayObject* a = This(vm, self);
  if (a->length() == 0) return Value();
  Value v = vm.ArrayElement(a, a->length() - 1);
  a->SetLength(a->length() - 1);
  return v;
}
Value Shift(Vm& vm, const Value& self, std::span<const Value>) {
  ArrayObject* a = This(vm, self);
  if (a->length() == 0) return Value();
  std::vector<Value> v = Elements(vm, a);
  Value first = v.front();
  v.erase(v.begin());
  a->Assign(std::move(v));
  return first;
}
Value Unshift(Vm& vm, const Value& self, std::span<const Value> args) {
  ArrayObject* a = This(vm, self);
  std::vector<Value> v = Elements(vm, a);
  v.insert(v.begin(), args.begin(), args.end());
  a->Assign(std::move(v));
  return Value(a->length());
}
Value Reverse(Vm& vm, const Value& self, std::span<const Value>) {
  ArrayObject* a = This(vm, self);
  std::vector<Value> v = a->ToVector();
  std::reverse(v.begin(), v.end());
  a->Assign(std::move(v));
  return self;
}
uint32_t RelIndex(Vm& vm, std::span<const Value> args, size_t i, double def, uint32_t len) {
  double d = i < args.size() && !args[i].IsUndefined() ? ToInteger(vm.ToNumber(args[i])) : def;
  if (d < 0) d = std::max(0.0, len + d);
  return static_cast<uint32_t>(std::min(d, static_cast<double>(len)));
}
Value SliceFn(Vm& vm, const Value& self, std::span<const Value> args) {
  ArrayObject* a = This(vm, self);
  uint32_t b = RelIndex(vm, args, 0, 0, a->length());
  uint32_t e = RelIndex(vm, args, 1, 4294967295.0, a->length());
  std::vector<Value> out;
  for (uint32_t i = b; i < e; ++i) out.push_back(vm.ArrayElement(a, i));
  return Value(static_cast<Object*>(vm.NewArray(std::move(out))));
}
Value Splice(Vm& vm, const Value& self, std::span<const Value> args) {
  ArrayObject* a = This(vm, self);
  if (args.empty()) return Value();  // splice() removes nothing and returns undefined
  std::vector<Value> v = Elements(vm, a);
  uint32_t b = RelIndex(vm, args, 0, 0, a->length());
  uint32_t n = args.size() > 1
                   ? static_cast<uint32_t>(std::clamp(ToInteger(vm.ToNumber(args[1])), 0.0,
                                                      static_cast<double>(v.size() - b)))
                   : static_cast<uint32_t>(v.size() - b);
  std::vector<Value> removed(v.begin() + b, v.begin() + b + n);
  v.erase(v.begin() + b, v.begin() + b + n);
  if (args.size() > 2) v.insert(v.begin() + b, args.begin() + 2, args.end());
  a->Assign(std::move(v));
  return Value(static_cast<Object*>(vm.NewArray(std::move(removed))));
}
Value ConcatFn(Vm& vm, const Value& self, std::span<const Value> args) {
  std::vector<Value> v = This(vm, self)->ToVector();
  for (const Value& x : args) {
    if (auto* o = dynamic_cast<ArrayObject*>(x.AsObject())) {
      auto w = o->ToVector();
      v.insert(v.end(), w.begin(), w.end());
    } else {
      v.push_back(x);
    }
  }
  return Value(static_cast<Object*>(vm.NewArray(std::move(v))));
}
Value IndexOfFn(Vm& vm, const Value& self, std::span<const Value> args) {
  ArrayObject* a = This(vm, self);
  Value x = Arg(args, 0);
  for (uint32_t i = RelIndex(vm, args, 1, 0, a->length()); i < a->length(); ++i)
    if (StrictEquals(vm.ArrayElement(a, i), x)) return Value(static_cast<int32_t>(i));
  return Value(-1);
}
Value LastIndexOfFn(Vm& vm, const Value& self, std::span<const Value> args) {
  ArrayObject* a = This(vm, self);
  Value x = Arg(args, 0);
  if (a->length() == 0) return Value(-1);
  // The search starts at fromIndex (from the end when negative), clamped into the array.
  double from = static_cast<double>(a->length()) - 1;
  if (args.size() > 1) {
    double d = ToInteger(vm.ToNumber(args[1]));
    if (d < 0) d += a->length();
    from = std::clamp(d, 0.0, from);
  }
  for (auto i = static_cast<int64_t>(from); i >= 0; --i)
    if (StrictEquals(vm.ArrayElement(a, static_cast<uint32_t>(i)), x))
      return Value(static_cast<int32_t>(i));
  return Value(-1);
}
// forEach, map, filter, every, some: 0..4.
template <int K>
Value Iterate(Vm& vm, const Value& self, std::span<const Value> args) {
  ArrayObject* a = This(vm, self);
  // The callback parameter is typed Function: anything else fails its coercion (#1034).
  Value fn = vm.Coerce(Arg(args, 0), vm.classes().function), t = Arg(args, 1);
  std::vector<Value> out;
  for (uint32_t i = 0; i < a->length(); ++i) {
    Value v = vm.ArrayElement(a, i);
    Value call_args[3] = {v, Value(static_cast<int32_t>(i)), self};
    Value r = vm.Call(fn, t, call_args);
    if (K == 1) out.push_back(r);
    if (K == 2 && Vm::ToBoolean(r)) out.push_back(v);
    if (K == 3 && !Vm::ToBoolean(r)) return Value(false);
    if (K == 4 && Vm::ToBoolean(r)) return Value(true);
  }
  if (K == 1 || K == 2) return Value(static_cast<Object*>(vm.NewArray(std::move(out))));
  if (K == 3) return Value(true);
  if (K == 4) return Value(false);
  return Value();
}

}  // namespace

const NativeClass& ArrayClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.name = "Array";
    c.instance = {Getter("length", Length),
                  Setter("length", SetLength),
                  AS3Method("join", JoinFn, 1),
                  ProtoMethod("toString", ToStringFn),
                  ProtoMethod("toLocaleString", ToStringFn),
                  AS3Method("push", Push),
                  AS3Method("pop", PopFn),
                  AS3Method("shift", Shift),
                  AS3Method("unshift", Unshift),
                  AS3Method("reverse", Reverse),
                  AS3Method("slice", SliceFn, 2),
                  AS3Method("splice", Splice, 2),
                  AS3Method("concat", ConcatFn),
                  AS3Method("indexOf", IndexOfFn, 1),
                  AS3Method("lastIndexOf", LastIndexOfFn, 1),
                  AS3Method("forEach", Iterate<0>, 1).Needs(1),
                  AS3Method("map", Iterate<1>, 1).Needs(1),
                  AS3Method("filter", Iterate<2>, 1).Needs(1),
                  AS3Method("every", Iterate<3>, 1).Needs(1),
                  AS3Method("some", Iterate<4>, 1).Needs(1),
                  AS3Method("sort", ArraySort),
                  AS3Method("sortOn", ArraySortOn, 2)};
    c.statics = {Const("CASEINSENSITIVE", Value(1u)), Const("DESCENDING", Value(2u)),
                 Const("UNIQUESORT", Value(4u)),      Const("RETURNINDEXEDARRAY", Value(8u)),
                 Const("NUMERIC", Value(16u)),        Const("length", Value(int32_t{1}))};
    c.constructor = ArrayInit;
    c.call = ArrayCall;
    c.create = CreateArray;
    c.constructor_length = 1;
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
