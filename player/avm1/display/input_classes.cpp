// The objects through which scripts see input and the stage: Button's prototype, Key, Mouse
// and Stage. Key, Mouse and Stage are broadcasters: their listeners hear onKeyDown,
// onMouseMove, onResize and the like.
#include <cmath>
#include <limits>

#include "player/avm1/display/script_host.h"

namespace flashsaver {
namespace {

using avm1::CallArgs;
using avm1::Object;
using avm1::Value;
using avm1::Vm;

ScriptHost& HostOf(Vm& vm) { return static_cast<ScriptHost&>(vm.host()); }

// Makes obj a broadcaster as AsBroadcaster.initialize does, so a script may replace its parts.
void MakeBroadcaster(Vm& vm, Object* obj) {
  const Value broadcaster = vm.GetMember(vm.global(), "AsBroadcaster");
  const Value args[] = {Value(obj)};
  vm.CallHandler(vm.GetMemberOf(broadcaster, "initialize"), broadcaster.AsObject(), args);
}

void DefineAccessor(Vm& vm, Object* obj, std::string_view name, avm1::NativeFn get,
                    avm1::NativeFn set) {
  avm1::Property& p = obj->SetOwn(name, Value(), vm.case_sensitive());
  p.virtual_property = true;
  p.getter = vm.NewNative(get);
  p.setter = set ? vm.NewNative(set) : nullptr;
  p.flags = avm1::prop_flag::kDontEnum | avm1::prop_flag::kDontDelete;
}

int KeyCodeArg(Vm& vm, const CallArgs& c) {
  const double n = vm.ToNumber(c.Arg(0));
  return std::isfinite(n) && n >= 0 && n < 256 ? static_cast<int>(n) : -1;
}

Value IsDown(Vm& vm, const CallArgs& c) {
  const int code = KeyCodeArg(vm, c);
  return code >= 0 && HostOf(vm).input.keys_down.test(static_cast<size_t>(code));
}
Value IsToggled(Vm& vm, const CallArgs& c) {
  const int code = KeyCodeArg(vm, c);
  return code >= 0 && HostOf(vm).input.keys_toggled.test(static_cast<size_t>(code));
}
Value GetCode(Vm& vm, const CallArgs&) { return static_cast<double>(HostOf(vm).input.last_key); }
Value GetAscii(Vm& vm, const CallArgs&) { return static_cast<double>(HostOf(vm).input.last_ascii); }

Value HideMouse(Vm& vm, const CallArgs&) {
  ScriptInput& input = HostOf(vm).input;
  const bool was_shown = !input.cursor_hidden;
  input.cursor_hidden = true;
  return was_shown ? 1.0 : 0.0;
}
Value ShowMouse(Vm& vm, const CallArgs&) {
  ScriptInput& input = HostOf(vm).input;
  const bool was_shown = !input.cursor_hidden;
  input.cursor_hidden = false;
  return was_shown ? 1.0 : 0.0;
}

// Stage.width and height: the movie's size, or the window's when the movie is not scaled.
Value StageWidth(Vm& vm, const CallArgs&) { return HostOf(vm).StageSize().first; }
Value StageHeight(Vm& vm, const CallArgs&) { return HostOf(vm).StageSize().second; }
Value GetScaleMode(Vm& vm, const CallArgs&) { return HostOf(vm).input.scale_mode; }
Value SetScaleMode(Vm& vm, const CallArgs& c) {
  static constexpr const char* kModes[] = {"showAll", "noBorder", "exactFit", "noScale"};
  const std::string mode = vm.ToString(c.Arg(0));
  for (const char* known : kModes) {
    if (avm1::NamesEqual(mode, known, false)) HostOf(vm).input.scale_mode = known;
  }
  return Value();
}
Value GetAlign(Vm& vm, const CallArgs&) { return HostOf(vm).input.align; }
Value SetAlign(Vm& vm, const CallArgs& c) {
  // The player keeps the letters it knows, in its own order.
  const std::string given = vm.ToString(c.Arg(0));
  auto has = [&](char letter) {
    for (char ch : given) {
      if (ch == letter || ch == letter + ('a' - 'A')) return true;
    }
    return false;
  };
  std::string align;
  for (char letter : {'L', 'T', 'R', 'B'}) {
    if (has(letter)) align.push_back(letter);
  }
  HostOf(vm).input.align = align;
  return Value();
}
Value GetShowMenu(Vm& vm, const CallArgs&) { return HostOf(vm).input.show_menu; }
Value SetShowMenu(Vm& vm, const CallArgs& c) {
  HostOf(vm).input.show_menu = vm.ToBool(c.Arg(0));
  return Value();
}

Value Constructor(Vm&, const CallArgs&) { return Value(); }

// A clip's or button's tabIndex is a signed 32-bit number; out of range and NaN give the lowest, as
// an x86 conversion does (tab_ordering_properties).
Value GetTabIndex(Vm&, const CallArgs& c) {
  Clip* clip = ScriptHost::ClipOf(c.this_obj);
  return clip && clip->tab_index ? Value(static_cast<double>(*clip->tab_index)) : Value();
}

Value SetTabIndex(Vm& vm, const CallArgs& c) {
  Clip* clip = ScriptHost::ClipOf(c.this_obj);
  if (!clip) return Value();
  const Value& v = c.Arg(0);
  if (v.IsNullish()) {
    clip->tab_index.reset();
    return Value();
  }
  const double n = vm.ToNumber(v);
  clip->tab_index = std::isfinite(n) && n >= -2147483648.0 && n < 2147483648.0
                        ? static_cast<int32_t>(n)
                        : std::numeric_limits<int32_t>::min();
  return Value();
}

}  // namespace

std::pair<double, double> ScriptHost::StageSize() const {
  if (input.scale_mode == "noScale" && input.view_width > 0 && input.view_height > 0) {
    return {input.view_width, input.view_height};
  }
  const SwfRect& stage = movie_.header.stage;
  return {std::round((stage.x_max.value - stage.x_min.value) / 20.0),
          std::round((stage.y_max.value - stage.y_min.value) / 20.0)};
}

void ScriptHost::Notify(const char* object_name, const char* event) {
  Object* obj = vm_->GetMember(vm_->global(), object_name).AsObject();
  if (!obj) return;
  const Value args[] = {Value(std::string(event))};
  vm_->CallHandler(vm_->GetMember(obj, "broadcastMessage"), obj, args);
}

void DefineTabIndex(Vm& vm, Object* proto, uint16_t flags) {
  avm1::Property& p = proto->SetOwn("tabIndex", Value(), true);
  p.virtual_property = true;
  p.getter = vm.NewNative(GetTabIndex);
  p.setter = vm.NewNative(SetTabIndex);
  p.flags = flags;
}

void InstallInputClasses(ScriptHost& host) {
  Vm& vm = host.vm();
  Object* button_proto = vm.NewObject();
  vm.DefineClass("Button", Constructor, nullptr, button_proto);
  DefineTabIndex(vm, button_proto, 0);

  Object* key = vm.NewObject();
  vm.global()->Define("Key", Value(key), avm1::prop_flag::kDontEnum);
  MakeBroadcaster(vm, key);
  static constexpr std::pair<const char*, double> kCodes[] = {
      {"BACKSPACE", 8}, {"TAB", 9},     {"ENTER", 13},    {"SHIFT", 16}, {"CONTROL", 17},
      {"CAPSLOCK", 20}, {"ESCAPE", 27}, {"SPACE", 32},    {"PGUP", 33},  {"PGDN", 34},
      {"END", 35},      {"HOME", 36},   {"LEFT", 37},     {"UP", 38},    {"RIGHT", 39},
      {"DOWN", 40},     {"INSERT", 45}, {"DELETEKEY", 46}};
  for (const auto& [name, code] : kCodes) {
    key->Define(
        name, code,
        avm1::prop_flag::kDontEnum | avm1::prop_flag::kDontDelete | avm1::prop_flag::kReadOnly);
  }
  vm.DefineMethod(key, "isDown", IsDown);
  vm.DefineMethod(key, "isToggled", IsToggled);
  vm.DefineMethod(key, "getCode", GetCode);
  vm.DefineMethod(key, "getAscii", GetAscii);

  Object* mouse = vm.NewObject();
  vm.global()->Define("Mouse", Value(mouse), avm1::prop_flag::kDontEnum);
  MakeBroadcaster(vm, mouse);
  vm.DefineMethod(mouse, "hide", HideMouse);
  vm.DefineMethod(mouse, "show", ShowMouse);

  Object* stage = vm.NewObject();
  vm.global()->Define("Stage", Value(stage), avm1::prop_flag::kDontEnum);
  MakeBroadcaster(vm, stage);
  DefineAccessor(vm, stage, "width", StageWidth, nullptr);
  DefineAccessor(vm, stage, "height", StageHeight, nullptr);
  DefineAccessor(vm, stage, "scaleMode", GetScaleMode, SetScaleMode);
  DefineAccessor(vm, stage, "align", GetAlign, SetAlign);
  DefineAccessor(vm, stage, "showMenu", GetShowMenu, SetShowMenu);
}

}  // namespace flashsaver
