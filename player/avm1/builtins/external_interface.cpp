// ExternalInterface: no container to call in a screen saver, so `available` is false and calls
// answer null; the string helpers the class carries work as in the player.
#include <cmath>

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
std::string Unescaped(std::string_view s) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string out;
  for (size_t i = 0; i < s.size();) {
    bool done = false;
    for (auto [name, ch] : kEntities) {
      if (s.substr(i, name.size()) == name) {
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

Value UnescapeXml(Vm& vm, const CallArgs& c) {
  std::string s;
  if (!StringArg(vm, c, s)) return Value::Null();
  return Unescaped(s);
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

// --- Values to and from the XML of the container's calls ---

// Deep or cyclic values end here, and so do huge lengths.
constexpr int kMaxNesting = 64;
constexpr uint32_t kMaxItems = 65536;

std::string ToXml(Vm& vm, const Value& v, int depth);

uint32_t LengthOf(Vm& vm, const Value& v) {
  const double n = vm.ToNumber(vm.GetMemberOf(v, "length"));
  return std::isfinite(n) && n > 0 ? static_cast<uint32_t>(std::min<double>(n, kMaxItems)) : 0;
}

std::string ArrayToXml(Vm& vm, const Value& v, int depth) {
  std::string out = "<array>";
  const uint32_t n = LengthOf(vm, v);
  for (uint32_t i = 0; i < n; ++i) {
    out += "<property id=\"" + std::to_string(i) + "\">" +
           ToXml(vm, vm.GetMemberOf(v, std::to_string(i)), depth + 1) + "</property>";
  }
  return out + "</array>";
}

// The first argument is the called function's name, left out.
std::string ArgumentsToXml(Vm& vm, const Value& v, int depth) {
  std::string out = "<arguments>";
  const uint32_t n = LengthOf(vm, v);
  for (uint32_t i = 1; i < n; ++i)
    out += ToXml(vm, vm.GetMemberOf(v, std::to_string(i)), depth + 1);
  return out + "</arguments>";
}

std::string ObjectToXml(Vm& vm, const Value& v, int depth) {
  std::string out = "<object>";
  if (Object* o = v.AsObject()) {
    for (const std::string& name : vm.EnumerableNames(o)) {
      out += "<property id=\"" + name + "\">" + ToXml(vm, vm.GetMember(o, name), depth + 1) +
             "</property>";
    }
  }
  return out + "</object>";
}

std::string ToXml(Vm& vm, const Value& v, int depth) {
  if (depth > kMaxNesting) return "<null/>";
  switch (v.type()) {
    case ValueType::kUndefined:
      return "<undefined/>";
    case ValueType::kNull:
      return "<null/>";
    case ValueType::kBool:
      return v.AsBool() ? "<true/>" : "<false/>";
    case ValueType::kNumber:
      return "<number>" + vm.ToString(v) + "</number>";
    // An empty string escapes to null, and the player writes that as it is.
    case ValueType::kString:
      return "<string>" + (v.AsString().empty() ? std::string("null") : XmlEscape(v.AsString())) +
             "</string>";
    case ValueType::kObject:
      break;
  }
  if (!vm.GetMemberOf(v, "length").IsUndefined()) return ArrayToXml(vm, v, depth);
  return ObjectToXml(vm, v, depth);
}

Value ToAs(Vm& vm, const Value& node, int depth);

// Children of the node, in order, as the script sees them.
std::vector<Value> ChildrenOf(Vm& vm, const Value& node) {
  std::vector<Value> out;
  const Value list = vm.GetMemberOf(node, "childNodes");
  if (!list.IsObject()) return out;
  const uint32_t n = LengthOf(vm, list);
  for (uint32_t i = 0; i < n; ++i) out.push_back(vm.GetMemberOf(list, std::to_string(i)));
  return out;
}

Value PropertiesToAs(Vm& vm, const Value& node, Object* into, int depth) {
  if (!node.IsObject() || depth > kMaxNesting) return into;
  for (const Value& child : ChildrenOf(vm, node)) {
    const Value id = vm.GetMemberOf(vm.GetMemberOf(child, "attributes"), "id");
    vm.SetMember(into, vm.ToString(id), ToAs(vm, vm.GetMemberOf(child, "firstChild"), depth + 1));
  }
  return into;
}

Value ToAs(Vm& vm, const Value& node, int depth) {
  if (!node.IsObject() || depth > kMaxNesting) return Value();
  // The names compare loosely, as the player's own script does: a String object matches.
  const Value name = vm.GetMemberOf(node, "nodeName");
  auto is = [&](const char* type) { return vm.LooseEquals(name, Value(type)); };
  const Value first = vm.GetMemberOf(node, "firstChild");
  if (is("null")) return Value::Null();
  if (is("true")) return true;
  if (is("false")) return false;
  if (is("number")) return vm.ToNumber(Value(vm.ToString(first)));
  if (is("string")) return Unescaped(vm.ToString(first));
  if (is("array")) return PropertiesToAs(vm, node, vm.NewArray(), depth);
  if (is("object")) return PropertiesToAs(vm, node, vm.NewObject(), depth);
  return Value();
}

Value ToXmlMethod(Vm& vm, const CallArgs& c) { return ToXml(vm, c.Arg(0), 0); }
Value ArrayToXmlMethod(Vm& vm, const CallArgs& c) { return ArrayToXml(vm, c.Arg(0), 0); }
Value ArgumentsToXmlMethod(Vm& vm, const CallArgs& c) { return ArgumentsToXml(vm, c.Arg(0), 0); }
Value ObjectToXmlMethod(Vm& vm, const CallArgs& c) { return ObjectToXml(vm, c.Arg(0), 0); }
Value ToAsMethod(Vm& vm, const CallArgs& c) { return ToAs(vm, c.Arg(0), 0); }
Value ArrayToAsMethod(Vm& vm, const CallArgs& c) {
  return PropertiesToAs(vm, c.Arg(0), vm.NewArray(), 0);
}
Value ObjectToAsMethod(Vm& vm, const CallArgs& c) {
  return PropertiesToAs(vm, c.Arg(0), vm.NewObject(), 0);
}
Value ArgumentsToAsMethod(Vm& vm, const CallArgs& c) {
  Object* out = vm.NewArray();
  if (!c.Arg(0).IsObject()) return out;
  uint32_t i = 0;
  for (const Value& child : ChildrenOf(vm, c.Arg(0))) vm.SetIndex(out, i++, ToAs(vm, child, 1));
  return out;
}

Value Nothing(Vm&, const CallArgs&) { return Value::Null(); }
Value False(Vm&, const CallArgs&) { return false; }

}  // namespace

void InstallExternalInterface(Vm& vm) {
  // A class (typeof "function") whose members are all static.
  Object* ei = vm.NewNative(Nothing, Nothing);
  // Every member belongs to SWF 8: older movies that reach the class see none of them, though
  // hasOwnProperty still finds them.
  constexpr uint16_t kMember = prop_flag::kDontEnum | prop_flag::kVersion8;
  ei->Define("available", false, kMember | prop_flag::kReadOnly);
  ei->Define("_objectID", Value::Null(), kMember);
  ei->Define("prototype", vm.NewObject(), kMember);
  const std::pair<const char*, NativeFn> methods[] = {
      {"addCallback", False},
      {"call", Nothing},
      {"_callIn", Nothing},
      {"_callOut", Nothing},
      {"_evalJS", Nothing},
      {"_initJS", Nothing},
      {"_escapeXML", EscapeXml},
      {"_unescapeXML", UnescapeXml},
      {"_jsQuoteString", JsQuoteString},
      {"_toXML", ToXmlMethod},
      {"_arrayToXML", ArrayToXmlMethod},
      {"_argumentsToXML", ArgumentsToXmlMethod},
      {"_objectToXML", ObjectToXmlMethod},
      {"_toAS", ToAsMethod},
      {"_arrayToAS", ArrayToAsMethod},
      {"_argumentsToAS", ArgumentsToAsMethod},
      {"_objectToAS", ObjectToAsMethod},
      {"_toJS", Nothing},
      {"_arrayToJS", Nothing},
      {"_objectToJS", Nothing},
  };
  for (const auto& [name, fn] : methods) vm.DefineMethod(ei, name, fn, kMember);
  // Reached as flash.external.ExternalInterface.
  Object* flash = FlashPackage(vm);
  Object* external = vm.NewObject();
  flash->Define("external", external, prop_flag::kDontEnum);
  external->Define("ExternalInterface", ei, prop_flag::kDontEnum);
}

}  // namespace flashsaver::avm1
