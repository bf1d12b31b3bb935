// flash.system.fscommand, which a screen saver's movie may call and which does nothing here.
// The display classes live in files of their own.
#include "player/avm2/builtins/builtins.h"
#include "player/avm2/display/display_host.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {

namespace {

Value Fscommand(Vm&, const Value&, std::span<const Value>) { return Value(); }

}  // namespace

void InstallDisplayFunctions(Vm& vm) {
  FunctionObject* f = vm.NewNativeFunction(Fscommand, 2, "fscommand");
  Str key(u"flash.system::fscommand");
  vm.global()->dynamic().Set(key, Value(static_cast<Object*>(f)));
  vm.RegisterBuiltinDefinition("flash.system", "fscommand", key);
}

}  // namespace flashsaver::avm2
