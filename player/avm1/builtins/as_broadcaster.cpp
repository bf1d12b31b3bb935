// AsBroadcaster: listeners kept in an array, messages sent to each in order.
#include "player/avm1/builtins/builtins.h"

namespace flashsaver::avm1 {
namespace {

Object* Listeners(Vm& vm, Object* self) {
  return self ? vm.GetMember(self, "_listeners").AsObject() : nullptr;
}

Value AddListener(Vm& vm, const CallArgs& c) {
  Object* list = Listeners(vm, c.this_obj);
  if (!list) return true;
  uint32_t n = vm.ArrayLength(list);
  for (uint32_t i = 0; i < n; ++i) {
    if (vm.StrictEquals(vm.GetIndex(list, i), c.Arg(0))) return true;
  }
  vm.SetIndex(list, n, c.Arg(0));
  return true;
}

Value RemoveListener(Vm& vm, const CallArgs& c) {
  Object* list = Listeners(vm, c.this_obj);
  if (!list) return false;
  uint32_t n = vm.ArrayLength(list);
  for (uint32_t i = 0; i < n; ++i) {
    if (vm.StrictEquals(vm.GetIndex(list, i), c.Arg(0))) {
      for (uint32_t k = i; k + 1 < n; ++k) vm.SetIndex(list, k, vm.GetIndex(list, k + 1));
      vm.SetArrayLength(list, n - 1);
      return true;
    }
  }
  return false;
}

Value BroadcastMessage(Vm& vm, const CallArgs& c) {
  Object* list = Listeners(vm, c.this_obj);
  if (!list || c.args.empty()) return Value();
  std::string name = vm.ToString(c.Arg(0));
  // Listeners added or removed by a handler take effect on the next message.
  std::vector<Value> targets;
  uint32_t n = vm.ArrayLength(list);
  for (uint32_t i = 0; i < n; ++i) targets.push_back(vm.GetIndex(list, i));
  for (const Value& t : targets) vm.CallMethod(t, name, c.args.subspan(1));
  return n > 0 ? Value(true) : Value();
}

Value Initialize(Vm& vm, const CallArgs& c) {
  Object* target = c.Arg(0).AsObject();
  if (!target) return Value();
  Object* self = c.this_obj;
  for (const char* m : {"broadcastMessage", "addListener", "removeListener"}) {
    target->Define(m, vm.GetMember(self, m), prop_flag::kDontEnum);
  }
  target->Define("_listeners", vm.NewArray(), prop_flag::kDontEnum);
  return Value();
}

}  // namespace

void InstallAsBroadcaster(Vm& vm) {
  Object* proto = vm.NewObject();
  FunctionObject* ctor = vm.DefineClass("AsBroadcaster", nullptr, nullptr, proto);
  vm.DefineMethod(ctor, "initialize", Initialize, 7);
  vm.DefineMethod(ctor, "addListener", AddListener, 7);
  vm.DefineMethod(ctor, "removeListener", RemoveListener, 7);
  vm.DefineMethod(ctor, "broadcastMessage", BroadcastMessage, 7);
}

}  // namespace flashsaver::avm1
