// Error: message and name, and toString giving the message.
#include "player/avm1/builtins/builtins.h"

namespace flashsaver::avm1 {
namespace {

Value ConstructError(Vm& vm, const CallArgs& c) {
  if (c.this_obj && !c.Arg(0).IsUndefined()) vm.SetMember(c.this_obj, "message", c.Arg(0));
  return Value();
}

// The message as it was set, unconverted: an object given as the message comes back an object.
Value ToStringMethod(Vm& vm, const CallArgs& c) { return vm.GetMember(c.this_obj, "message"); }

}  // namespace

void InstallError(Vm& vm) {
  Object* proto = vm.NewObject();
  vm.error_proto = proto;
  proto->Define("message", "Error", prop_flag::kDontEnum);
  proto->Define("name", "Error", prop_flag::kDontEnum);
  vm.DefineMethod(proto, "toString", ToStringMethod, 3);
  vm.DefineClass("Error", ConstructError, nullptr, proto);
}

}  // namespace flashsaver::avm1
