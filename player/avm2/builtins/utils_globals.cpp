// flash.utils definitions that are not classes: the flash_proxy namespace and the timer
// functions.
#include "player/avm2/builtins/builtins.h"
#include "player/avm2/builtins/timers.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {

void InstallUtilsFunctions(Vm& vm) {
  ClassObject* ns_cls = vm.classes().namespace_;
  auto* ns = vm.heap().New<NamespaceObject>(ns_cls, ns_cls->prototype, vm.proxy_ns(), Str());
  Str key(u"flash.utils::flash_proxy");
  vm.global()->dynamic().Set(key, Value(static_cast<Object*>(ns)));
  vm.global()->dynamic().FindEntry(key.view())->enumerable = false;
  vm.RegisterBuiltinDefinition("flash.utils", "flash_proxy", key);
  InstallTimerFunctions(vm);
  InstallDescribeType(vm);
  InstallSystemFunctions(vm);
}

}  // namespace flashsaver::avm2
