// Boolean: the wrapper class of true and false.
#include "player/avm1/builtins/builtins.h"

namespace flashsaver::avm1 {
namespace {

Value Call(Vm& vm, const CallArgs& c) {
  if (c.args.empty()) return Value();
  bool b = vm.ToBool(c.Arg(0));
  // super(value) in a subclass fills the wrapper being constructed.
  if (c.this_obj && c.this_obj->kind() == ObjectKind::kBoolean) {
    static_cast<ValueObject*>(c.this_obj)->value = b;
  }
  return b;
}

Value Construct(Vm& vm, const CallArgs& c) {
  auto* o = vm.New<ValueObject>(ObjectKind::kBoolean,
                                Value(c.args.empty() ? false : vm.ToBool(c.Arg(0))));
  o->Define("__proto__", vm.boolean_proto);
  o->Define("__constructor__", c.callee);
  return o;
}

Value Unbox(const CallArgs& c) {
  if (c.this_obj && c.this_obj->kind() == ObjectKind::kBoolean) {
    return static_cast<ValueObject*>(c.this_obj)->value;
  }
  return Value();
}

Value ToStringMethod(Vm& vm, const CallArgs& c) {
  Value v = Unbox(c);
  return v.IsBool() ? vm.ToString(v) : Value();
}

Value ValueOf(Vm&, const CallArgs& c) { return Unbox(c); }

}  // namespace

void InstallBoolean(Vm& vm) {
  Object* proto = vm.NewObject();
  vm.boolean_proto = proto;
  vm.DefineMethod(proto, "toString", ToStringMethod, 3);
  vm.DefineMethod(proto, "valueOf", ValueOf, 3);
  vm.DefineClass("Boolean", Call, Construct, proto);
}

}  // namespace flashsaver::avm1
