// System: capabilities of the player and the machine, the security sandbox and the IME. The
// movie always plays from a local file with no network in the show.
#include "player/avm1/builtins/builtins.h"

namespace flashsaver::avm1 {
namespace {

Value Nothing(Vm&, const CallArgs&) { return Value(); }
Value False(Vm&, const CallArgs&) { return false; }
Value True(Vm&, const CallArgs&) { return true; }

}  // namespace

void InstallSystem(Vm& vm) {
  Object* system = vm.NewObject();
  vm.global()->Define("System", system, prop_flag::kDontEnum);
  system->Define("useCodepage", false, 0);
  vm.DefineMethod(system, "setClipboard", Nothing);
  vm.DefineMethod(system, "showSettings", Nothing);

  Object* capabilities = vm.NewObject();
  system->Define("capabilities", capabilities, 0);
  constexpr uint8_t kFixed = prop_flag::kReadOnly | prop_flag::kDontDelete;
  capabilities->Define("version", "WIN 8,0,0,0", kFixed);
  capabilities->Define("os", "Windows", kFixed);
  capabilities->Define("manufacturer", "Adobe Windows", kFixed);
  capabilities->Define("playerType", "StandAlone", kFixed);
  capabilities->Define("language", "en", kFixed);
  capabilities->Define("isDebugger", false, kFixed);
  capabilities->Define("localFileReadDisable", false, kFixed);
  capabilities->Define("hasAudio", true, kFixed);
  capabilities->Define("hasMP3", true, kFixed);
  capabilities->Define("hasAudioEncoder", false, kFixed);
  capabilities->Define("hasVideoEncoder", false, kFixed);
  capabilities->Define("hasEmbeddedVideo", false, kFixed);
  capabilities->Define("hasStreamingAudio", true, kFixed);
  capabilities->Define("hasStreamingVideo", false, kFixed);
  capabilities->Define("hasPrinting", false, kFixed);
  capabilities->Define("hasAccessibility", false, kFixed);
  capabilities->Define("hasScreenBroadcast", false, kFixed);
  capabilities->Define("hasScreenPlayback", false, kFixed);
  capabilities->Define("avHardwareDisable", true, kFixed);
  capabilities->Define("screenColor", "color", kFixed);
  capabilities->Define("pixelAspectRatio", 1, kFixed);
  capabilities->Define("screenDPI", 96, kFixed);

  Object* security = vm.NewObject();
  system->Define("security", security, 0);
  // Local movies may reach the network through getURL; the show itself ignores those calls.
  security->Define("sandboxType", "localWithNetwork", kFixed);
  vm.DefineMethod(security, "allowDomain", Nothing);
  vm.DefineMethod(security, "allowInsecureDomain", Nothing);
  vm.DefineMethod(security, "loadPolicyFile", Nothing);

  Object* ime = vm.NewObject();
  system->Define("IME", ime, 0);
  vm.DefineMethod(ime, "getEnabled", False);
  vm.DefineMethod(ime, "setEnabled", False);
  vm.DefineMethod(ime, "getConversionMode", Nothing);
  vm.DefineMethod(ime, "setConversionMode", False);
  vm.DefineMethod(ime, "setCompositionString", False);
  vm.DefineMethod(ime, "doConversion", True);
}

}  // namespace flashsaver::avm1
