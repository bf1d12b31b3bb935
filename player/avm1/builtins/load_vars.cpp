// LoadVars: variables as name=value pairs, URL-encoded; load of local files.

#include "player/avm1/builtins/builtins.h"

namespace flashsaver::avm1 {
namespace {

Value Construct(Vm& vm, const CallArgs& c) {
  Object* proto = vm.GetMember(c.callee, "prototype").AsObject();
  return vm.NewObject(proto);
}

// name=value pairs joined by '&', in for..in order; a throwing toString reaches the caller.
Value ToStringMethod(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  std::string out;
  for (const std::string& name : vm.EnumerableNames(c.this_obj)) {
    if (!out.empty()) out += '&';
    out += UrlEscape(name) + "=" + UrlEscape(vm.ToString(vm.GetMember(c.this_obj, name)));
  }
  return out;
}

Value Decode(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  std::string src = vm.ToString(c.Arg(0));
  size_t start = 0;
  while (start <= src.size()) {
    size_t end = src.find('&', start);
    if (end == std::string::npos) end = src.size();
    std::string_view pair = std::string_view(src).substr(start, end - start);
    size_t eq = pair.find('=');
    if (eq != std::string_view::npos && eq > 0) {
      vm.SetMember(c.this_obj, UrlUnescape(pair.substr(0, eq)), UrlUnescape(pair.substr(eq + 1)));
    }
    start = end + 1;
  }
  return Value();
}

Value OnData(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  bool ok = !c.Arg(0).IsUndefined();
  if (ok) {
    Value args[] = {c.Arg(0)};
    vm.CallMethod(c.this_obj, "decode", args);
  }
  vm.SetMember(c.this_obj, "loaded", ok);
  Value args[] = {ok};
  vm.CallMethod(c.this_obj, "onLoad", args);
  return Value();
}

Value Nothing(Vm&, const CallArgs&) { return Value(); }
Value Zero(Vm&, const CallArgs&) { return 0.0; }

}  // namespace

void InstallLoadVars(Vm& vm) {
  Object* proto = vm.NewObject();
  proto->Define("contentType", "application/x-www-form-urlencoded", prop_flag::kDontEnum);
  vm.DefineMethod(proto, "toString", ToStringMethod);
  vm.DefineMethod(proto, "decode", Decode);
  vm.DefineMethod(proto, "load", LoadLocal);
  vm.DefineMethod(proto, "sendAndLoad", SendAndLoadLocal);
  vm.DefineMethod(proto, "send", Nothing);
  vm.DefineMethod(proto, "onData", OnData);
  vm.DefineMethod(proto, "onLoad", Nothing);
  vm.DefineMethod(proto, "addRequestHeader", Nothing);
  vm.DefineMethod(proto, "getBytesLoaded", Zero);
  vm.DefineMethod(proto, "getBytesTotal", Zero);
  vm.DefineClass("LoadVars", Construct, Construct, proto);
}

}  // namespace flashsaver::avm1
