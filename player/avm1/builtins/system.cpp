// System: capabilities of the player and the machine, the security sandbox and the IME. The
// movie always plays from a local file with no network in the show.
#include <cctype>
#include <string>
#include <utility>

#include "player/avm1/builtins/builtins.h"
#include "player/avm1/builtins/machine_facts.h"

namespace flashsaver::avm1 {
namespace {

MachineFacts& Facts() {
  static MachineFacts facts;
  return facts;
}

Value Nothing(Vm&, const CallArgs&) { return Value(); }
Value False(Vm&, const CallArgs&) { return false; }
Value True(Vm&, const CallArgs&) { return true; }
// allowDomain and its kin answer whether they were given a domain.
Value AllowDomain(Vm&, const CallArgs& c) { return !c.args.empty(); }

// serverString: the capabilities as a query string, each value escaped as URLs escape it.
std::string ServerString(const MachineFacts& f) {
  auto escape = [](const std::string& text) {
    std::string out;
    for (unsigned char ch : text) {
      if (std::isalnum(ch) || ch == '.' || ch == '-' || ch == '_') {
        out += static_cast<char>(ch);
      } else {
        static constexpr char kHex[] = "0123456789ABCDEF";
        out += '%';
        out += kHex[ch >> 4];
        out += kHex[ch & 15];
      }
    }
    return out;
  };
  return "A=t&SA=t&SV=f&EV=f&MP3=t&AE=f&VE=f&ACC=f&PR=f&SP=f&SB=f&DEB=f&V=" +
         escape(kPlayerVersion) + "&M=" + escape("Adobe Windows") +
         "&R=" + std::to_string(f.screen_width) + "x" + std::to_string(f.screen_height) +
         "&DP=" + std::to_string(f.screen_dpi) + "&COL=color&AR=1.0&OS=" + escape(f.os) +
         "&L=" + escape(f.language) + "&IME=t&PT=StandAlone&AVD=t&LFD=f&WD=f&TLS=t";
}

// System.Product: launches or downloads a companion program, which a screen saver never does.
Value ConstructProduct(Vm& vm, const CallArgs& c) {
  Object* proto = vm.GetMember(c.callee, "prototype").AsObject();
  Object* product = vm.NewObject(proto ? proto : vm.object_proto);
  product->Define("name", c.Arg(0), 0);
  return product;
}

}  // namespace

void SetMachineFacts(MachineFacts facts) { Facts() = std::move(facts); }
const MachineFacts& CurrentMachineFacts() { return Facts(); }

std::string WindowsOsName(uint32_t major, uint32_t minor) {
  struct Name {
    uint32_t major, minor;
    const char* name;
  };
  static constexpr Name kNames[] = {
      {5, 0, "Windows 2000"},  {5, 1, "Windows XP"}, {5, 2, "Windows Server 2003"},
      {6, 0, "Windows Vista"}, {6, 1, "Windows 7"},  {6, 2, "Windows 8"},
      {6, 3, "Windows 8.1"},
  };
  for (const Name& n : kNames) {
    if (n.major == major && n.minor == minor) return n.name;
  }
  return major >= 10 ? "Windows 10" : "Windows";
}

std::string LanguageCodeOf(uint16_t langid) {
  const uint16_t primary = langid & 0x3FF;
  const uint16_t sub = langid >> 10;
  struct Code {
    uint16_t primary;
    const char* code;
  };
  static constexpr Code kCodes[] = {
      {0x05, "cs"}, {0x06, "da"}, {0x07, "de"}, {0x09, "en"}, {0x0A, "es"}, {0x0B, "fi"},
      {0x0C, "fr"}, {0x0E, "hu"}, {0x10, "it"}, {0x11, "ja"}, {0x12, "ko"}, {0x13, "nl"},
      {0x14, "no"}, {0x15, "pl"}, {0x16, "pt"}, {0x19, "ru"}, {0x1D, "sv"}, {0x1F, "tr"},
  };
  // Chinese: simplified for the mainland and Singapore, traditional elsewhere.
  if (primary == 0x04) return sub == 0x02 || sub == 0x04 ? "zh-CN" : "zh-TW";
  for (const Code& c : kCodes) {
    if (c.primary == primary) return c.code;
  }
  return "xu";
}

void InstallSystem(Vm& vm) {
  const MachineFacts& facts = Facts();
  Object* system = vm.NewObject();
  vm.global()->Define("System", system, prop_flag::kDontEnum);
  system->Define("useCodepage", false, 0);
  vm.DefineMethod(system, "setClipboard", Nothing);
  vm.DefineMethod(system, "showSettings", Nothing);
  // From SWF 6: whether local settings use the exact domain (on from SWF 7).
  system->Define("exactSettings", vm.swf_version() >= 7, prop_flag::kVersion6);
  Object* product_proto = vm.NewObject();
  vm.DefineMethod(product_proto, "launch", False);
  vm.DefineMethod(product_proto, "download", False);
  FunctionObject* product = vm.NewNative(ConstructProduct, ConstructProduct);
  product->Define("prototype", product_proto, prop_flag::kDontEnum | prop_flag::kDontDelete);
  product_proto->Define("constructor", product, prop_flag::kDontEnum);
  system->Define("Product", product, prop_flag::kDontEnum);

  Object* capabilities = vm.NewObject();
  system->Define("capabilities", capabilities, 0);
  constexpr uint8_t kFixed = prop_flag::kReadOnly | prop_flag::kDontDelete;
  capabilities->Define("version", kPlayerVersion, kFixed);
  capabilities->Define("os", facts.os, kFixed);
  capabilities->Define("manufacturer", "Adobe Windows", kFixed);
  capabilities->Define("playerType", "StandAlone", kFixed);
  capabilities->Define("language", facts.language, kFixed);
  capabilities->Define("screenResolutionX", facts.screen_width, kFixed);
  capabilities->Define("screenResolutionY", facts.screen_height, kFixed);
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
  capabilities->Define("screenDPI", facts.screen_dpi, kFixed);
  capabilities->Define("windowlessDisable", false, kFixed);
  capabilities->Define("hasIME", true, kFixed);
  capabilities->Define("hasTLS", true, kFixed);
  capabilities->Define("serverString", ServerString(facts), kFixed);

  Object* security = vm.NewObject();
  system->Define("security", security, 0);
  // Local movies may reach the network through getURL; the show itself ignores those calls.
  security->Define("sandboxType", "localWithNetwork", kFixed);
  vm.DefineMethod(security, "allowDomain", AllowDomain);
  vm.DefineMethod(security, "allowInsecureDomain", AllowDomain);
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
