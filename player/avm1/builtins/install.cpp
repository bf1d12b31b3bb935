#include "player/avm1/builtins/builtins.h"

namespace flashsaver::avm1 {

void InstallBuiltins(Vm& vm) {
  InstallObject(vm);
  InstallFunction(vm);
  InstallGlobals(vm);
  InstallBoolean(vm);
  InstallNumber(vm);
  InstallMath(vm);
  InstallString(vm);
  InstallArray(vm);
  InstallDate(vm);
  InstallError(vm);
  InstallAsBroadcaster(vm);
  InstallXmlNode(vm);
  InstallXml(vm);
  InstallExternalInterface(vm);
  InstallLoadVars(vm);
  InstallTextFormat(vm);
  InstallSystem(vm);
  InstallSharedObject(vm);
  InstallGeom(vm);
  InstallAsNative(vm);
  InstallAbsentServices(vm);
}

}  // namespace flashsaver::avm1
