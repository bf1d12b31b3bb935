// Function: call and apply.
#include "player/avm1/builtins/builtins.h"

namespace flashsaver::avm1 {
namespace {

// call(thisArg, args...): a missing or null this makes the global object this
// (funky_function_calls), as does a primitive nothing can box (coerce_to_object_monkeypatch).
Value Call(Vm& vm, const CallArgs& c) {
  Object* self = c.this_obj;
  Object* this_obj = c.Arg(0).IsNullish() ? nullptr : vm.ToObject(c.Arg(0));
  if (!this_obj) this_obj = vm.global();  // nothing could box the primitive either
  std::span<const Value> rest = c.args.size() > 1 ? c.args.subspan(1) : std::span<const Value>();
  return vm.CallFunction(self, this_obj, rest);
}

Value Apply(Vm& vm, const CallArgs& c) {
  Object* self = c.this_obj;
  Object* this_obj = c.Arg(0).IsNullish() ? nullptr : vm.ToObject(c.Arg(0));
  if (!this_obj) this_obj = vm.global();  // nothing could box the primitive either
  std::vector<Value> args;
  if (Object* list = c.Arg(1).AsObject()) {
    uint32_t n = std::min<uint32_t>(vm.ArrayLength(list), 65536);
    for (uint32_t i = 0; i < n; ++i) args.push_back(vm.GetIndex(list, i));
  }
  return vm.CallFunction(self, this_obj, args);
}

Value Construct(Vm& vm, const CallArgs& c) {
  (void)c;
  return vm.NewObject();
}

}  // namespace

void InstallFunction(Vm& vm) {
  Object* proto = vm.function_proto;
  vm.DefineMethod(proto, "call", Call, 3);
  vm.DefineMethod(proto, "apply", Apply, 3);
  // The global name Function arrived with Flash 6; functions of older movies still have these.
  vm.function_ctor = vm.DefineClass("Function", Construct, Construct, proto);
  // Object came first; Function is its own constructor's constructor.
  vm.object_ctor->Define("constructor", vm.function_ctor, prop_flag::kDontEnum);
  vm.function_ctor->Define("constructor", vm.function_ctor, prop_flag::kDontEnum);
  if (Property* p = vm.global()->FindOwn("Function", true)) p->flags |= prop_flag::kVersion6;
}

}  // namespace flashsaver::avm1
