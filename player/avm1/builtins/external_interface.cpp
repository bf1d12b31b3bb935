// ExternalInterface: no container to call in a screen saver, so `available` is false and calls
// answer null; the string helpers the class carries work as in the player.
#include "player/avm1/builtins/builtins.h"
#include "player/avm1/builtins/xml_node.h"

namespace flashsaver::avm1 {
namespace {

// The helpers answer null for a missing or empty argument.
bool StringArg(Vm& vm, const CallArgs& c, std::string& out) {
  if (c.args.empty()) return false;
  out = vm.ToString(c.Arg(0));
  return !out.empty();
}

Value EscapeXml(Vm& vm, const CallArgs& c) {
  std::string s;
  if (!StringArg(vm, c, s)) return Value::Null();
  return XmlEscape(s);
}

// Only the five entities in their exact spelling are decoded.
Value UnescapeXml(Vm& vm, const CallArgs& c) {
  std::string s;
  if (!StringArg(vm, c, s)) return Value::Null();
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string out;
  for (size_t i = 0; i < s.size();) {
    bool done = false;
    for (auto [name, ch] : kEntities) {
      if (std::string_view(s).substr(i, name.size()) == name) {
        out += ch;
        i += name.size();
        done = true;
        break;
      }
    }
    if (!done) out += s[i++];
  }
  return out;
}

// Quotes are escaped, backslashes are not (the player's oddity, external_interface_jsquotestring).
Value JsQuoteString(Vm& vm, const CallArgs& c) {
  std::string s;
  if (!StringArg(vm, c, s)) return Value::Null();
  std::string out;
  for (char ch : s) {
    if (ch == '"') out += '\\';
    out += ch;
  }
  return out;
}

Value Nothing(Vm&, const CallArgs&) { return Value::Null(); }
Value False(Vm&, const CallArgs&) { return false; }

}  // namespace

void InstallExternalInterface(Vm& vm) {
  Object* ei = vm.NewObject();
  ei->Define("available", false, prop_flag::kDontEnum | prop_flag::kReadOnly);
  vm.DefineMethod(ei, "addCallback", False);
  vm.DefineMethod(ei, "call", Nothing);
  vm.DefineMethod(ei, "_escapeXML", EscapeXml);
  vm.DefineMethod(ei, "_unescapeXML", UnescapeXml);
  vm.DefineMethod(ei, "_jsQuoteString", JsQuoteString);
  // Reached as flash.external.ExternalInterface.
  Object* flash = vm.GetMember(vm.global(), "flash").AsObject();
  if (!flash) {
    flash = vm.NewObject();
    vm.global()->Define("flash", flash, prop_flag::kDontEnum);
  }
  Object* external = vm.NewObject();
  flash->Define("external", external, prop_flag::kDontEnum);
  external->Define("ExternalInterface", ei, prop_flag::kDontEnum);
}

}  // namespace flashsaver::avm1
