// The classes of services a screen saver has no use for and this player does not offer:
// cameras and microphones, network connections and streams, other movies' local
// connections, printing, context menus, accessibility. They exist, as in the player, so that
// movies testing for them run on; whatever would start a service reports failure.
#include "player/avm1/builtins/builtins.h"

namespace flashsaver::avm1 {
namespace {

Value Nothing(Vm&, const CallArgs&) { return Value(); }
Value False(Vm&, const CallArgs&) { return false; }
Value Null(Vm&, const CallArgs&) { return Value::Null(); }

// A class whose instances are plain objects; methods answer with fn.
FunctionObject* StubClass(Vm& vm, const char* name,
                          std::initializer_list<std::pair<const char*, NativeFn>> methods,
                          NativeFn constructor = Nothing) {
  Object* proto = vm.NewObject();
  for (const auto& [method, fn] : methods) vm.DefineMethod(proto, method, fn);
  return vm.DefineClass(name, constructor, nullptr, proto);
}

// new ContextMenu(onSelect): no custom items, every built-in item shown.
Value ContextMenuNew(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  c.this_obj->SetOwn("onSelect", c.Arg(0), vm.case_sensitive());
  c.this_obj->SetOwn("customItems", vm.NewArray(), vm.case_sensitive());
  Object* builtin = vm.NewObject();
  for (const char* item :
       {"save", "zoom", "quality", "play", "loop", "rewind", "forward_back", "print"}) {
    builtin->SetOwn(item, true, true);
  }
  c.this_obj->SetOwn("builtInItems", builtin, vm.case_sensitive());
  return Value();
}

Value ContextMenuHideBuiltIns(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  Value builtin = vm.GetMember(c.this_obj, "builtInItems");
  if (!builtin.IsObject()) return Value();
  for (const std::string& name : vm.EnumerableNames(builtin.AsObject())) {
    vm.SetMember(builtin.AsObject(), name, false);
  }
  return Value();
}

// new ContextMenuItem(caption, onSelect, separatorBefore, enabled, visible).
Value ContextMenuItemNew(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  const bool cs = vm.case_sensitive();
  c.this_obj->SetOwn("caption", c.Arg(0), cs);
  c.this_obj->SetOwn("onSelect", c.Arg(1), cs);
  c.this_obj->SetOwn("separatorBefore", c.args.size() > 2 && vm.ToBool(c.Arg(2)), cs);
  c.this_obj->SetOwn("enabled", c.args.size() <= 3 || vm.ToBool(c.Arg(3)), cs);
  c.this_obj->SetOwn("visible", c.args.size() <= 4 || vm.ToBool(c.Arg(4)), cs);
  return Value();
}

}  // namespace

void InstallAbsentServices(Vm& vm) {
  Object* accessibility = vm.NewObject();
  vm.global()->Define("Accessibility", accessibility, prop_flag::kDontEnum);
  vm.DefineMethod(accessibility, "isActive", False);
  vm.DefineMethod(accessibility, "sendEvent", Nothing);
  vm.DefineMethod(accessibility, "updateProperties", Nothing);

  // No device: get() finds none.
  vm.DefineMethod(StubClass(vm, "Camera", {{"setMode", Nothing}, {"setQuality", Nothing}}), "get",
                  Null);
  vm.DefineMethod(StubClass(vm, "Microphone", {{"setRate", Nothing}, {"setGain", Nothing}}), "get",
                  Null);
  StubClass(vm, "ContextMenu", {{"hideBuiltInItems", ContextMenuHideBuiltIns}}, ContextMenuNew);
  StubClass(vm, "ContextMenuItem", {}, ContextMenuItemNew);
  StubClass(vm, "LocalConnection",
            {{"connect", False}, {"send", False}, {"close", Nothing}, {"domain", Nothing}});
  StubClass(vm, "NetConnection", {{"connect", False}, {"close", Nothing}});
  StubClass(vm, "NetStream",
            {{"play", Nothing},
             {"pause", Nothing},
             {"seek", Nothing},
             {"close", Nothing},
             {"setBufferTime", Nothing}});
  StubClass(vm, "PrintJob", {{"start", False}, {"addPage", False}, {"send", Nothing}});
  StubClass(vm, "Video", {{"attachVideo", Nothing}, {"clear", Nothing}});
  StubClass(vm, "XMLSocket", {{"connect", False}, {"send", Nothing}, {"close", Nothing}});
}

}  // namespace flashsaver::avm1
