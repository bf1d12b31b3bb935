// flash.system: System, Capabilities and Security, and flash.utils' escapeMultiByte and
// unescapeMultiByte. Capabilities reports a Windows plug-in player of the last version.
#include <string>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/display/display_host.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

// ---- System ----------------------------------------------------------------------------------

Value TotalMemory(Vm& vm, const Value&, std::span<const Value>) {
  return Value(static_cast<uint32_t>(vm.heap().size() * 64));
}
Value TotalMemoryNumber(Vm& vm, const Value&, std::span<const Value>) {
  return Value(static_cast<double>(vm.heap().size() * 64));
}
Value Zero(Vm&, const Value&, std::span<const Value>) { return Value(0.0); }
Value False(Vm&, const Value&, std::span<const Value>) { return Value(false); }
Value Nothing(Vm&, const Value&, std::span<const Value>) { return Value(); }

Value SetClipboard(Vm& vm, const Value&, std::span<const Value> args) {
  if (Arg(args, 0).IsNullish()) vm.ThrowError(ErrorType::kTypeError, 2007, {"text"});
  return Value();
}

// ---- Capabilities ----------------------------------------------------------------------------

template <const char16_t* kText>
Value Text(Vm&, const Value&, std::span<const Value>) {
  return Value(Str(kText));
}
template <bool kValue>
Value Flag(Vm&, const Value&, std::span<const Value>) {
  return Value(kValue);
}

constexpr char16_t kVersion[] = u"WIN 32,0,0,0";
constexpr char16_t kPlayerType[] = u"PlugIn";
constexpr char16_t kOs[] = u"Windows 8";
constexpr char16_t kManufacturer[] = u"Adobe Windows";
constexpr char16_t kLanguage[] = u"en";
constexpr char16_t kScreenColor[] = u"color";
constexpr char16_t kCpu[] = u"x86";
constexpr char16_t kTouch[] = u"none";
constexpr char16_t kLevelIdc[] = u"5.1";

double StageSide(Vm& vm, bool width) {
  if (!vm.display_host) return width ? 550 : 400;
  return width ? vm.display_host->StageWidth() : vm.display_host->StageHeight();
}
Value ScreenX(Vm& vm, const Value&, std::span<const Value>) { return Value(StageSide(vm, true)); }
Value ScreenY(Vm& vm, const Value&, std::span<const Value>) { return Value(StageSide(vm, false)); }
Value ScreenDpi(Vm&, const Value&, std::span<const Value>) { return Value(72.0); }
Value PixelAspect(Vm&, const Value&, std::span<const Value>) { return Value(1.0); }

Value ServerString(Vm& vm, const Value&, std::span<const Value>) {
  std::string s =
      "A=t&SA=t&SV=t&EV=t&MP3=t&AE=t&VE=t&ACC=f&PR=f&SP=f&SB=f&DEB=f&V=WIN%2032%2C0%2C0%2C0&M="
      "Adobe%20Windows&R=" +
      std::to_string(static_cast<int>(StageSide(vm, true))) + "x" +
      std::to_string(static_cast<int>(StageSide(vm, false))) +
      "&DP=72&COL=color&AR=1.0&OS=Windows%208&L=en&PT=PlugIn&AVD=f&LFD=f&WD=f";
  return Value(Str::FromUtf8(s));
}

Value HasMultiChannelAudio(Vm&, const Value&, std::span<const Value>) { return Value(false); }

// ---- Security --------------------------------------------------------------------------------

constexpr char16_t kSandboxKey[] = u"\uE000sandbox";

Value SandboxType(Vm& vm, const Value&, std::span<const Value>) {
  if (Value* v = vm.global()->dynamic().Find(kSandboxKey)) return *v;
  return Value(Str(u"localWithFile"));
}

// ---- escapeMultiByte / unescapeMultiByte -----------------------------------------------------

// The string as UTF-8, up to its first NUL; unpaired surrogates become U+FFFD.
std::string ToUtf8UntilNul(std::u16string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t c = s[i];
    if (c == 0) break;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

// Bytes to a string: UTF-8 when every sequence is well formed (surrogates encoded alone are
// kept), otherwise each byte as its own character. A NUL ends the string.
std::u16string FromBytes(std::string_view b) {
  if (size_t z = b.find('\0'); z != std::string_view::npos) b = b.substr(0, z);
  std::u16string out;
  for (size_t i = 0; i < b.size();) {
    auto u = static_cast<uint8_t>(b[i]);
    int n = u < 0x80             ? 0
            : (u & 0xE0) == 0xC0 ? 1
            : (u & 0xF0) == 0xE0 ? 2
            : (u & 0xF8) == 0xF0 ? 3
                                 : -1;
    uint32_t c = n == 0 ? u : n == 1 ? (u & 0x1F) : n == 2 ? (u & 0x0F) : (u & 0x07);
    bool ok = n >= 0 && i + static_cast<size_t>(n) < b.size() + (n == 0 ? 1 : 0);
    for (int k = 1; ok && k <= n; ++k) {
      auto cont = static_cast<uint8_t>(b[i + static_cast<size_t>(k)]);
      if ((cont & 0xC0) != 0x80) ok = false;
      c = (c << 6) | (cont & 0x3F);
    }
    if (!ok || c > 0x10FFFF) {
      std::u16string latin;
      for (char ch : b) latin.push_back(static_cast<char16_t>(static_cast<uint8_t>(ch)));
      return latin;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i += static_cast<size_t>(n) + 1;
  }
  return out;
}

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

Value EscapeMultiByte(Vm& vm, const Value&, std::span<const Value> args) {
  std::string bytes = ToUtf8UntilNul(ArgString(vm, args, 0, Str(u"undefined")).view());
  static const char kDigits[] = "0123456789ABCDEF";
  std::u16string out;
  for (char ch : bytes) {
    auto b = static_cast<uint8_t>(ch);
    bool keep = (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
    if (keep) {
      out.push_back(b);
    } else {
      out.push_back(u'%');
      out.push_back(static_cast<char16_t>(kDigits[b >> 4]));
      out.push_back(static_cast<char16_t>(kDigits[b & 15]));
    }
  }
  return Value(Str(std::move(out)));
}

// Malformed escapes vanish: "%" with a non-hex digit drops both, "%A" followed by a non-hex digit
// drops all three.
Value UnescapeMultiByte(Vm& vm, const Value&, std::span<const Value> args) {
  std::string in = ToUtf8UntilNul(ArgString(vm, args, 0, Str(u"undefined")).view());
  std::string bytes;
  for (size_t i = 0; i < in.size();) {
    if (in[i] != '%') {
      bytes.push_back(in[i++]);
      continue;
    }
    int hi = i + 1 < in.size() ? Hex(in[i + 1]) : -1;
    if (hi < 0) {
      i += 2;
      continue;
    }
    int lo = i + 2 < in.size() ? Hex(in[i + 2]) : -1;
    if (lo >= 0) bytes.push_back(static_cast<char>(hi * 16 + lo));
    i += 3;
  }
  return Value(Str(FromBytes(bytes)));
}

void Define(Vm& vm, const char* name, NativeFn fn, int length) {
  FunctionObject* f = vm.NewNativeFunction(fn, length, name);
  Str key = Str::FromUtf8(std::string("flash.utils::") + name);
  vm.global()->dynamic().Set(key, Value(static_cast<Object*>(f)));
  vm.global()->dynamic().FindEntry(key.view())->enumerable = false;
  vm.RegisterBuiltinDefinition("flash.utils", name, key);
}

}  // namespace

void SetSandboxType(Vm& vm, bool use_network) {
  Str key{std::u16string(kSandboxKey)};
  vm.global()->dynamic().Set(key, Value(Str(use_network ? u"localWithNetwork" : u"localWithFile")));
  vm.global()->dynamic().FindEntry(key.view())->enumerable = false;
}

void InstallSystemFunctions(Vm& vm) {
  Define(vm, "escapeMultiByte", EscapeMultiByte, 1);
  Define(vm, "unescapeMultiByte", UnescapeMultiByte, 1);
}

const NativeClass& SystemClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.system";
    c.name = "System";
    c.flags = class_flag::kFinal | class_flag::kSealed;
    c.statics = {
        Getter("totalMemory", TotalMemory).Type("uint"),
        Getter("totalMemoryNumber", TotalMemoryNumber).Type("Number"),
        Getter("freeMemory", Zero).Type("Number"),
        Getter("privateMemory", TotalMemoryNumber).Type("Number"),
        Getter("useCodePage", False).Type("Boolean"),
        Setter("useCodePage", Nothing).Params("Boolean"),
        Method("setClipboard", SetClipboard, 1).Type("void").Params("String"),
        Method("gc", Nothing).Type("void"),
        Method("pause", Nothing).Type("void"),
        Method("resume", Nothing).Type("void"),
        Method("exit", Nothing, 1).Type("void").Params("uint"),
        Method("disposeXML", Nothing, 1).Type("void").Params("XML"),
        Method("pauseForGCIfCollectionImminent", Nothing, 1).Type("void").Params("Number?")};
    return c;
  }();
  return spec;
}

const NativeClass& CapabilitiesClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.system";
    c.name = "Capabilities";
    c.flags = class_flag::kFinal | class_flag::kSealed;
    auto text = [](const char* n, NativeFn f) { return Getter(n, f).Type("String"); };
    auto flag = [](const char* n, NativeFn f) { return Getter(n, f).Type("Boolean"); };
    c.statics = {
        text("version", Text<kVersion>),
        text("playerType", Text<kPlayerType>),
        text("os", Text<kOs>),
        text("manufacturer", Text<kManufacturer>),
        text("language", Text<kLanguage>),
        text("screenColor", Text<kScreenColor>),
        text("cpuArchitecture", Text<kCpu>),
        text("touchscreenType", Text<kTouch>),
        text("maxLevelIDC", Text<kLevelIdc>),
        text("serverString", ServerString),
        Getter("screenResolutionX", ScreenX).Type("Number"),
        Getter("screenResolutionY", ScreenY).Type("Number"),
        Getter("screenDPI", ScreenDpi).Type("Number"),
        Getter("pixelAspectRatio", PixelAspect).Type("Number"),
        flag("isDebugger", Flag<false>),
        flag("hasAccessibility", Flag<false>),
        flag("hasAudio", Flag<true>),
        flag("hasMP3", Flag<true>),
        flag("hasIME", Flag<true>),
        flag("hasPrinting", Flag<false>),
        flag("hasStreamingAudio", Flag<true>),
        flag("hasStreamingVideo", Flag<true>),
        flag("hasVideoEncoder", Flag<true>),
        flag("hasAudioEncoder", Flag<true>),
        flag("hasEmbeddedVideo", Flag<true>),
        flag("hasScreenBroadcast", Flag<false>),
        flag("hasScreenPlayback", Flag<false>),
        flag("hasTLS", Flag<true>),
        flag("isEmbeddedInAcrobat", Flag<false>),
        flag("localFileReadDisable", Flag<false>),
        flag("avHardwareDisable", Flag<false>),
        flag("supports32BitProcesses", Flag<true>),
        flag("supports64BitProcesses", Flag<true>),
        Method("hasMultiChannelAudio", HasMultiChannelAudio, 1).Type("Boolean").Params("String")};
    return c;
  }();
  return spec;
}

const NativeClass& SecurityClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.system";
    c.name = "Security";
    c.flags = class_flag::kFinal | class_flag::kSealed;
    c.statics = {Const("REMOTE", Value(Str(u"remote"))),
                 Const("LOCAL_WITH_FILE", Value(Str(u"localWithFile"))),
                 Const("LOCAL_WITH_NETWORK", Value(Str(u"localWithNetwork"))),
                 Const("LOCAL_TRUSTED", Value(Str(u"localTrusted"))),
                 Const("APPLICATION", Value(Str(u"application"))),
                 Getter("sandboxType", SandboxType).Type("String"),
                 Getter("exactSettings", False).Type("Boolean"),
                 Setter("exactSettings", Nothing).Params("Boolean"),
                 Method("allowDomain", Nothing).Type("void"),
                 Method("allowInsecureDomain", Nothing).Type("void"),
                 Method("loadPolicyFile", Nothing, 1).Type("void").Params("String"),
                 Method("showSettings", Nothing).Type("void").Params("String?")};
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
