// Vector.<T>: the generic class and its specialisations (made by applytype, one per type).
#include <algorithm>
#include <cmath>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/builtins/byte_array.h"
#include "player/avm2/number_text.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

VectorObject* This(Vm& vm, const Value& self) {
  return ThisAs<VectorObject>(vm, self, "__AS3__.vec.Vector");
}

// Only int, uint and Number have vectors of their own; every other type shares the object
// vector, whose empty slots hold null (a Vector.<Boolean>'s included).
bool IsNumericType(Vm& vm, ClassObject* type) {
  return type &&
         (type == vm.classes().int_ || type == vm.classes().uint || type == vm.classes().number);
}

Value DefaultFor(Vm& vm, ClassObject* type) {
  if (!type) return Value();
  if (type == vm.classes().int_) return Value(int32_t{0});
  if (type == vm.classes().uint) return Value(uint32_t{0});
  if (type == vm.classes().number) return Value::Numeric(0);
  return Value::Null();
}

// What pop and shift give on an empty vector: undefined, as the numeric vectors' typed result.
Value EmptyResult(Vm& vm, ClassObject* type) {
  return IsNumericType(vm, type) ? vm.Coerce(Value(), type) : Value();
}

Object* CreateVector(Vm& vm, ClassObject* cls) {
  auto* v = vm.heap().New<VectorObject>(cls, cls->prototype);
  for (ClassObject* k = cls; k; k = k->super)
    if (k->generic || k->type_param) {
      v->type = k->type_param;
      break;
    }
  return v;
}

Value VectorInit(Vm& vm, const Value& self, std::span<const Value> args) {
  VectorObject* v = This(vm, self);
  double n = ArgNumber(vm, args, 0, 0);
  if (n < 0 || n != std::trunc(n) || n > 0x7FFFFFFF)
    vm.ThrowError(ErrorType::kRangeError, 1005, {vm.ToString(Value(n)).ToUtf8()});
  if (n > 1e8) vm.ThrowError(ErrorType::kError, 1000);
  v->items.assign(static_cast<size_t>(n), DefaultFor(vm, v->type));
  v->fixed = ArgBool(vm, args, 1);
  return Value();
}

VectorObject* NewLike(Vm& vm, VectorObject* v) {
  Value c = vm.Construct(Value(static_cast<Object*>(v->cls())), {});
  return dynamic_cast<VectorObject*>(c.AsObject());
}

Value VectorCall(Vm& vm, const Value& self, std::span<const Value> args) {
  if (args.size() != 1)
    vm.ThrowError(ErrorType::kArgumentError, 1112, {std::to_string(args.size())});
  Value c = vm.Construct(self, {});
  auto* out = dynamic_cast<VectorObject*>(c.AsObject());
  std::vector<Value> src;
  if (auto* a = dynamic_cast<ArrayObject*>(args[0].AsObject()))
    src = a->ToVector();
  else if (auto* v = dynamic_cast<VectorObject*>(args[0].AsObject()))
    src = v->items;
  else if (auto* ba = dynamic_cast<ByteArrayObject*>(args[0].AsObject()))
    for (uint8_t b : ba->bytes) src.push_back(Value(static_cast<int32_t>(b)));
  else
    vm.ThrowError(ErrorType::kTypeError, 1034,
                  {vm.TypeNameForError(args[0]), vm.TypeNameForError(self)});
  if (out)
    for (const Value& x : src) out->items.push_back(vm.Coerce(x, out->type));
  return c;
}

void CheckNotFixed(Vm& vm, VectorObject* v) {
  if (v->fixed) vm.ThrowError(ErrorType::kRangeError, 1126);
}

Value Length(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(static_cast<uint32_t>(This(vm, self)->items.size()));
}
Value SetLength(Vm& vm, const Value& self, std::span<const Value> args) {
  VectorObject* v = This(vm, self);
  CheckNotFixed(vm, v);
  uint32_t n = ArgUInt(vm, args, 0);
  if (n > 100000000) vm.ThrowError(ErrorType::kError, 1000);
  v->items.resize(n, DefaultFor(vm, v->type));
  return Value();
}
Value Fixed(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(This(vm, self)->fixed);
}
Value SetFixed(Vm& vm, const Value& self, std::span<const Value> args) {
  This(vm, self)->fixed = ArgBool(vm, args, 0);
  return Value();
}
Value Push(Vm& vm, const Value& self, std::span<const Value> args) {
  VectorObject* v = This(vm, self);
  CheckNotFixed(vm, v);
  for (const Value& x : args) v->items.push_back(vm.Coerce(x, v->type));
  return Value(static_cast<uint32_t>(v->items.size()));
}
Value Pop(Vm& vm, const Value& self, std::span<const Value>) {
  VectorObject* v = This(vm, self);
  CheckNotFixed(vm, v);
  if (v->items.empty()) return EmptyResult(vm, v->type);
  Value x = v->items.back();
  v->items.pop_back();
  return x;
}
Value Shift(Vm& vm, const Value& self, std::span<const Value>) {
  VectorObject* v = This(vm, self);
  CheckNotFixed(vm, v);
  if (v->items.empty()) return EmptyResult(vm, v->type);
  Value x = v->items.front();
  v->items.erase(v->items.begin());
  return x;
}
Value Unshift(Vm& vm, const Value& self, std::span<const Value> args) {
  VectorObject* v = This(vm, self);
  CheckNotFixed(vm, v);
  std::vector<Value> add;
  for (const Value& x : args) add.push_back(vm.Coerce(x, v->type));
  v->items.insert(v->items.begin(), add.begin(), add.end());
  return Value(static_cast<uint32_t>(v->items.size()));
}
Value Join(Vm& vm, const Value& self, std::span<const Value> args) {
  VectorObject* v = This(vm, self);
  Str sep = args.empty() || args[0].IsUndefined() ? Str(u",") : vm.ToString(args[0]);
  std::u16string out;
  for (size_t i = 0; i < v->items.size(); ++i) {
    if (i) out += sep.str();
    out += vm.ToString(v->items[i]).str();
    if (out.size() > vm.limits().max_string) vm.ThrowError(ErrorType::kError, 1000);
  }
  return Value(Str(std::move(out)));
}
Value ToStringFn(Vm& vm, const Value& self, std::span<const Value>) { return Join(vm, self, {}); }
// Each element's own toLocaleString (Object's gives "[object Boolean]" for a Boolean).
Value ToLocaleStringFn(Vm& vm, const Value& self, std::span<const Value>) {
  VectorObject* v = This(vm, self);
  std::u16string out;
  for (size_t i = 0; i < v->items.size(); ++i) {
    if (i) out += u',';
    if (!v->items[i].IsNullish())
      out += vm.ToString(vm.CallMethod(v->items[i], "toLocaleString", {})).str();
    if (out.size() > vm.limits().max_string) vm.ThrowError(ErrorType::kError, 1000);
  }
  return Value(Str(std::move(out)));
}
// An index from the end when negative, clamped into 0..len.
size_t ClampIndex(double d, size_t len) {
  if (d < 0) d += static_cast<double>(len);
  return static_cast<size_t>(std::clamp(d, 0.0, static_cast<double>(len)));
}
Value InsertAt(Vm& vm, const Value& self, std::span<const Value> args) {
  VectorObject* v = This(vm, self);
  CheckNotFixed(vm, v);
  size_t at = ClampIndex(ToInteger(vm.ToNumber(Arg(args, 0))), v->items.size());
  Value x = vm.Coerce(Arg(args, 1), v->type);
  v->items.insert(v->items.begin() + static_cast<ptrdiff_t>(at), x);
  return Value();
}
Value RemoveAt(Vm& vm, const Value& self, std::span<const Value> args) {
  VectorObject* v = This(vm, self);
  CheckNotFixed(vm, v);
  double d = ToInteger(vm.ToNumber(Arg(args, 0)));
  double n = static_cast<double>(v->items.size());
  if (d < 0) d += n;
  if (d < 0 || d >= n)
    vm.ThrowError(ErrorType::kRangeError, 1125,
                  {vm.ToString(Value::Numeric(d)).ToUtf8(), std::to_string(v->items.size())});
  auto at = static_cast<size_t>(d);
  Value x = v->items[at];
  v->items.erase(v->items.begin() + static_cast<ptrdiff_t>(at));
  return x;
}
double Rel(Vm& vm, std::span<const Value> args, size_t i, double def, size_t len) {
  double d = i < args.size() && !args[i].IsUndefined() ? ToInteger(vm.ToNumber(args[i])) : def;
  if (d < 0) d = std::max(0.0, static_cast<double>(len) + d);
  return std::min(d, static_cast<double>(len));
}
Value IndexOf(Vm& vm, const Value& self, std::span<const Value> args) {
  VectorObject* v = This(vm, self);
  Value x = Arg(args, 0);
  for (auto i = static_cast<size_t>(Rel(vm, args, 1, 0, v->items.size())); i < v->items.size(); ++i)
    if (StrictEquals(v->items[i], x)) return Value(static_cast<int32_t>(i));
  return Value(-1);
}
Value LastIndexOf(Vm& vm, const Value& self, std::span<const Value> args) {
  VectorObject* v = This(vm, self);
  Value x = Arg(args, 0);
  double from = args.size() > 1 ? Rel(vm, args, 1, 0, v->items.size()) : 1e300;
  for (int64_t i = static_cast<int64_t>(v->items.size()) - 1; i >= 0; --i)
    if (static_cast<double>(i) <= from && StrictEquals(v->items[static_cast<size_t>(i)], x))
      return Value(static_cast<int32_t>(i));
  return Value(-1);
}
Value Slice(Vm& vm, const Value& self, std::span<const Value> args) {
  VectorObject* v = This(vm, self);
  auto b = static_cast<size_t>(Rel(vm, args, 0, 0, v->items.size()));
  auto e = static_cast<size_t>(Rel(vm, args, 1, 1e300, v->items.size()));
  VectorObject* out = NewLike(vm, v);
  for (size_t i = b; i < e; ++i) out->items.push_back(v->items[i]);
  return Value(static_cast<Object*>(out));
}
Value Splice(Vm& vm, const Value& self, std::span<const Value> args) {
  VectorObject* v = This(vm, self);
  auto b = static_cast<size_t>(Rel(vm, args, 0, 0, v->items.size()));
  size_t n = args.size() > 1
                 ? static_cast<size_t>(std::clamp(ToInteger(vm.ToNumber(args[1])), 0.0,
                                                  static_cast<double>(v->items.size() - b)))
                 : v->items.size() - b;
  if (v->fixed && (args.size() > 2 ? args.size() - 2 : 0) != n) CheckNotFixed(vm, v);
  VectorObject* out = NewLike(vm, v);
  out->items.assign(v->items.begin() + static_cast<ptrdiff_t>(b),
                    v->items.begin() + static_cast<ptrdiff_t>(b + n));
  v->items.erase(v->items.begin() + static_cast<ptrdiff_t>(b),
                 v->items.begin() + static_cast<ptrdiff_t>(b + n));
  std::vector<Value> add;
  for (size_t i = 2; i < args.size(); ++i) add.push_back(vm.Coerce(args[i], v->type));
  v->items.insert(v->items.begin() + static_cast<ptrdiff_t>(b), add.begin(), add.end());
  return Value(static_cast<Object*>(out));
}
Value Concat(Vm& vm, const Value& self, std::span<const Value> args) {
  VectorObject* v = This(vm, self);
  VectorObject* out = NewLike(vm, v);
  out->items = v->items;
  // Movies before SWF 11 get the arguments appended last to first, as Flash did then.
  std::vector<Value> order(args.begin(), args.end());
  if (vm.swf_version > 0 && vm.swf_version < 11) std::reverse(order.begin(), order.end());
  for (const Value& a : order) {
    // Each argument must be a vector of the receiver's own class (#1034 otherwise).
    auto* o = dynamic_cast<VectorObject*>(vm.Coerce(a, v->cls()).AsObject());
    if (!o)
      vm.ThrowError(ErrorType::kTypeError, 1034, {vm.TypeNameForError(a), v->cls()->qualified});
    for (const Value& x : o->items) out->items.push_back(vm.Coerce(x, out->type));
  }
  return Value(static_cast<Object*>(out));
}
Value Reverse(Vm& vm, const Value& self, std::span<const Value>) {
  VectorObject* v = This(vm, self);
  std::reverse(v->items.begin(), v->items.end());
  return self;
}
template <int K>
Value Iterate(Vm& vm, const Value& self, std::span<const Value> args) {
  VectorObject* v = This(vm, self);
  // The callback parameter is typed Function: anything else fails its coercion (#1034).
  Value fn = vm.Coerce(Arg(args, 0), vm.classes().function), t = Arg(args, 1);
  VectorObject* out = K == 1 || K == 2 ? NewLike(vm, v) : nullptr;
  for (size_t i = 0; i < v->items.size(); ++i) {
    Value x = v->items[i];
    Value call_args[3] = {x, Value(static_cast<int32_t>(i)), self};
    Value r = vm.Call(fn, t, call_args);
    if (K == 1) out->items.push_back(vm.Coerce(r, out->type));
    if (K == 2 && Vm::ToBoolean(r)) out->items.push_back(x);
    if (K == 3 && !Vm::ToBoolean(r)) return Value(false);
    if (K == 4 && Vm::ToBoolean(r)) return Value(true);
  }
  if (out) return Value(static_cast<Object*>(out));
  if (K == 3) return Value(true);
  if (K == 4) return Value(false);
  return Value();
}
Value Sort(Vm& vm, const Value& self, std::span<const Value> args) {
  VectorObject* v = This(vm, self);
  ArrayObject* tmp = vm.NewArray(v->items);
  Value r = ArraySort(vm, Value(static_cast<Object*>(tmp)), args);
  if (r.AsObject() == tmp) v->items = tmp->ToVector();
  return self;
}

}  // namespace

ClassObject* SpecializeVector(Vm& vm, ClassObject* generic, ClassObject* type) {
  auto it = vm.vector_classes.find(type);
  if (it != vm.vector_classes.end()) return it->second;
  auto* c = vm.heap().New<ClassObject>(vm.classes().klass, vm.classes().klass->prototype);
  std::string tname = type ? type->qualified : "*";
  c->name = Str::FromUtf8("Vector.<" + tname + ">");
  c->ns = generic->ns;
  c->qualified = "__AS3__.vec::Vector.<" + tname + ">";
  // Vectors of object types are all object vectors: Vector.<String> is a Vector.<*>.
  c->super = type && !IsNumericType(vm, type) ? SpecializeVector(vm, generic, nullptr)
                                              : vm.classes().object;
  c->set_sealed(true);
  c->instance_traits = generic->instance_traits;
  c->static_traits = generic->static_traits;
  c->set_traits(&c->static_traits);
  c->prototype = vm.heap().New<Object>(ObjectKind::kPlain, vm.classes().object, generic->prototype);
  Str key(u"constructor");
  c->prototype->dynamic().Set(key, Value(static_cast<Object*>(c)));
  c->prototype->dynamic().FindEntry(key.view())->enumerable = false;
  c->native = generic->native;
  c->native_class = true;
  c->iinit = generic->iinit;
  c->generic = generic;
  c->type_param = type;
  c->is_final = true;
  c->is_sealed = true;
  c->initialized = true;
  c->scope = generic->scope;
  vm.vector_classes[type] = c;
  return c;
}

const NativeClass& VectorClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "__AS3__.vec";
    c.name = "Vector";
    c.flags = class_flag::kFinal | class_flag::kSealed;
    c.instance = {Getter("length", Length),
                  Setter("length", SetLength),
                  Getter("fixed", Fixed),
                  Setter("fixed", SetFixed),
                  AS3Method("push", Push),
                  AS3Method("pop", Pop),
                  AS3Method("shift", Shift),
                  AS3Method("unshift", Unshift),
                  AS3Method("join", Join, 1),
                  AS3Method("toString", ToStringFn),
                  AS3Method("toLocaleString", ToLocaleStringFn),
                  AS3Method("insertAt", InsertAt, 2),
                  AS3Method("removeAt", RemoveAt, 1),
                  AS3Method("indexOf", IndexOf, 1),
                  AS3Method("lastIndexOf", LastIndexOf, 1),
                  AS3Method("slice", Slice, 2),
                  AS3Method("splice", Splice, 2),
                  AS3Method("concat", Concat),
                  AS3Method("reverse", Reverse),
                  AS3Method("forEach", Iterate<0>, 1).Needs(1),
                  AS3Method("map", Iterate<1>, 1).Needs(1),
                  AS3Method("filter", Iterate<2>, 1).Needs(1),
                  AS3Method("every", Iterate<3>, 1).Needs(1),
                  AS3Method("some", Iterate<4>, 1).Needs(1),
                  AS3Method("sort", Sort, 1)};
    c.constructor = VectorInit;
    c.call = VectorCall;
    c.create = CreateVector;
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
