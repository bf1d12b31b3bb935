// ASnative(category, index) and ASSetNative / ASSetNativeAccessor: the player numbers its
// native methods by category (100 global functions, 101 Object, 103 Date, 200 Math, 252 Array,
// 900 MovieClip) and the built-in classes are assembled from those numbers. Here the numbers
// are mapped onto the built-ins this machine installs, so ASnative(103, 16) is getTime.
#include <string>
#include <string_view>

#include "player/avm1/builtins/builtins.h"

namespace flashsaver::avm1 {
namespace {

struct NativeId {
  uint16_t category;
  uint16_t index;
  const char* owner;  // dotted path from _global; empty for _global itself
  const char* name;
};

constexpr NativeId kNativeIds[] = {
    {100, 0, "", "escape"},
    {100, 1, "", "unescape"},
    {100, 2, "", "parseInt"},
    {100, 3, "", "parseFloat"},
    {101, 0, "Object.prototype", "watch"},
    {101, 1, "Object.prototype", "unwatch"},
    {101, 2, "Object.prototype", "addProperty"},
    {101, 3, "Object.prototype", "valueOf"},
    {101, 4, "Object.prototype", "toString"},
    {101, 5, "Object.prototype", "hasOwnProperty"},
    {101, 6, "Object.prototype", "isPrototypeOf"},
    {101, 7, "Object.prototype", "isPropertyEnumerable"},
    {103, 0, "Date.prototype", "getFullYear"},
    {103, 1, "Date.prototype", "getYear"},
    {103, 2, "Date.prototype", "getMonth"},
    {103, 3, "Date.prototype", "getDate"},
    {103, 4, "Date.prototype", "getDay"},
    {103, 5, "Date.prototype", "getHours"},
    {103, 6, "Date.prototype", "getMinutes"},
    {103, 7, "Date.prototype", "getSeconds"},
    {103, 8, "Date.prototype", "getMilliseconds"},
    {103, 9, "Date.prototype", "setFullYear"},
    {103, 10, "Date.prototype", "setMonth"},
    {103, 11, "Date.prototype", "setDate"},
    {103, 12, "Date.prototype", "setHours"},
    {103, 13, "Date.prototype", "setMinutes"},
    {103, 14, "Date.prototype", "setSeconds"},
    {103, 15, "Date.prototype", "setMilliseconds"},
    {103, 16, "Date.prototype", "getTime"},
    {103, 17, "Date.prototype", "setTime"},
    {103, 18, "Date.prototype", "getTimezoneOffset"},
    {103, 19, "Date.prototype", "toString"},
    {103, 20, "Date.prototype", "setYear"},
    {103, 128, "Date.prototype", "getUTCFullYear"},
    {103, 129, "Date.prototype", "getUTCYear"},
    {103, 130, "Date.prototype", "getUTCMonth"},
    {103, 131, "Date.prototype", "getUTCDate"},
    {103, 132, "Date.prototype", "getUTCDay"},
    {103, 133, "Date.prototype", "getUTCHours"},
    {103, 134, "Date.prototype", "getUTCMinutes"},
    {103, 135, "Date.prototype", "getUTCSeconds"},
    {103, 136, "Date.prototype", "getUTCMilliseconds"},
    {103, 137, "Date.prototype", "setUTCFullYear"},
    {103, 138, "Date.prototype", "setUTCMonth"},
    {103, 139, "Date.prototype", "setUTCDate"},
    {103, 140, "Date.prototype", "setUTCHours"},
    {103, 141, "Date.prototype", "setUTCMinutes"},
    {103, 142, "Date.prototype", "setUTCSeconds"},
    {103, 143, "Date.prototype", "setUTCMilliseconds"},
    {103, 257, "Date", "UTC"},
    {200, 0, "Math", "abs"},
    {200, 1, "Math", "min"},
    {200, 2, "Math", "max"},
    {200, 3, "Math", "sin"},
    {200, 4, "Math", "cos"},
    {200, 5, "Math", "atan2"},
    {200, 6, "Math", "tan"},
    {200, 7, "Math", "exp"},
    {200, 8, "Math", "log"},
    {200, 9, "Math", "sqrt"},
    {200, 10, "Math", "round"},
    {200, 11, "Math", "random"},
    {200, 12, "Math", "floor"},
    {200, 13, "Math", "ceil"},
    {200, 14, "Math", "atan"},
    {200, 15, "Math", "asin"},
    {200, 16, "Math", "acos"},
    {200, 17, "Math", "pow"},
    {252, 0, "Array.prototype", "push"},
    {252, 1, "Array.prototype", "pop"},
    {252, 2, "Array.prototype", "concat"},
    {252, 3, "Array.prototype", "shift"},
    {252, 4, "Array.prototype", "unshift"},
    {252, 5, "Array.prototype", "slice"},
    {252, 6, "Array.prototype", "join"},
    {252, 7, "Array.prototype", "splice"},
    {252, 8, "Array.prototype", "reverse"},
    {252, 9, "Array.prototype", "sort"},
    {252, 10, "Array.prototype", "sortOn"},
    {900, 0, "MovieClip.prototype", "attachMovie"},
    {900, 1, "MovieClip.prototype", "swapDepths"},
    {900, 2, "MovieClip.prototype", "localToGlobal"},
    {900, 3, "MovieClip.prototype", "globalToLocal"},
    {900, 4, "MovieClip.prototype", "hitTest"},
    {900, 5, "MovieClip.prototype", "getBounds"},
    {900, 6, "MovieClip.prototype", "getBytesTotal"},
    {900, 7, "MovieClip.prototype", "getBytesLoaded"},
    {900, 10, "MovieClip.prototype", "getDepth"},
    {900, 11, "MovieClip.prototype", "setMask"},
    {900, 12, "MovieClip.prototype", "play"},
    {900, 13, "MovieClip.prototype", "stop"},
    {900, 14, "MovieClip.prototype", "nextFrame"},
    {900, 15, "MovieClip.prototype", "prevFrame"},
    {900, 16, "MovieClip.prototype", "gotoAndPlay"},
    {900, 17, "MovieClip.prototype", "gotoAndStop"},
    {900, 18, "MovieClip.prototype", "duplicateMovieClip"},
    {900, 19, "MovieClip.prototype", "removeMovieClip"},
    {900, 20, "MovieClip.prototype", "startDrag"},
    {900, 21, "MovieClip.prototype", "stopDrag"},
};

uint32_t Key(uint32_t category, uint32_t index) { return (category << 16) | (index & 0xFFFF); }

// The built-ins are found by name the first time a number is asked for (MovieClip is installed
// by the display list after the machine), and only functions that are still natives count, so
// a script that replaced Math.abs does not renumber it.
void ResolveNativeIds(Vm& vm) {
  for (const NativeId& id : kNativeIds) {
    Object* owner = vm.global();
    std::string_view path = id.owner;
    while (owner && !path.empty()) {
      size_t dot = path.find('.');
      Property* p = owner->FindOwn(path.substr(0, dot), false);
      owner = p && p->value.IsObject() ? p->value.AsObject() : nullptr;
      path = dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
    }
    Property* p = owner ? owner->FindOwn(id.name, false) : nullptr;
    if (!p || !vm.IsFunction(p->value)) continue;
    auto* fn = static_cast<FunctionObject*>(p->value.AsObject());
    if (fn->native) vm.native_ids.emplace(Key(id.category, id.index), fn->native);
  }
}

Value NativeFunction(Vm& vm, int32_t category, int32_t index) {
  if (category < 0 || category > 0xFFFF || index < 0 || index > 0xFFFF) return Value();
  if (vm.native_ids.empty()) ResolveNativeIds(vm);
  auto it = vm.native_ids.find(Key(static_cast<uint32_t>(category), static_cast<uint32_t>(index)));
  if (it == vm.native_ids.end()) return Value();
  return Value(vm.NewNative(it->second));
}

Value AsNative(Vm& vm, const CallArgs& c) {
  if (c.args.size() < 2) return Value();
  return NativeFunction(vm, vm.ToInt(c.Arg(0)), vm.ToInt(c.Arg(1)));
}

// A name may start with the SWF version from which it is seen: 6 to 9, or 10; a lone 1 is
// dropped and marks nothing (assetnative).
uint16_t TakeVersionPrefix(std::string_view& name) {
  if (name.empty()) return 0;
  switch (name[0]) {
    case '6':
      name.remove_prefix(1);
      return prop_flag::kVersion6;
    case '7':
      name.remove_prefix(1);
      return prop_flag::kVersion7;
    case '8':
      name.remove_prefix(1);
      return prop_flag::kVersion8;
    case '9':
      name.remove_prefix(1);
      return prop_flag::kVersion9;
    case '1':
      if (name.size() > 1 && name[1] == '0') {
        name.remove_prefix(2);
        return prop_flag::kVersion10;
      }
      name.remove_prefix(1);
      return 0;
    default:
      return 0;
  }
}

// Calls f(name, flags, index) for each name of the comma list; an empty name still uses its
// index.
template <typename F>
void ForEachNativeName(Vm& vm, const CallArgs& c, int32_t step, F&& f) {
  std::string names = vm.ToString(c.Arg(2));
  // The first index goes through valueOf, whose throw reaches the caller (assetnative_ids).
  int32_t index = c.args.size() > 3 ? vm.ToInt(c.Arg(3)) : 0;
  std::string_view rest = names;
  while (true) {
    size_t comma = rest.find(',');
    std::string_view name = rest.substr(0, comma);
    uint16_t flags = TakeVersionPrefix(name);
    if (!name.empty()) f(name, flags, index);
    index += step;
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
}

// A name already on the object keeps its flags and takes the function; a new one is
// enumerable and carries only its version.
void Bind(Vm& vm, Object* obj, std::string_view name, uint16_t flags, const Value& value) {
  if (Property* p = obj->FindOwn(name, vm.case_sensitive())) {
    p->value = value;
    p->getter = p->setter = nullptr;
    p->virtual_property = false;
  } else {
    obj->Define(name, value, flags);
  }
}

Value AsSetNative(Vm& vm, const CallArgs& c) {
  if (c.args.size() < 3 || !c.Arg(0).IsObject()) return Value();
  Object* obj = c.Arg(0).AsObject();
  const int32_t category = vm.ToInt(c.Arg(1));
  ForEachNativeName(vm, c, 1, [&](std::string_view name, uint16_t flags, int32_t index) {
    Bind(vm, obj, name, flags, NativeFunction(vm, category, index));
  });
  return Value();
}

// Each name takes two numbers: its getter, then its setter.
Value AsSetNativeAccessor(Vm& vm, const CallArgs& c) {
  if (c.args.size() < 3 || !c.Arg(0).IsObject()) return Value();
  Object* obj = c.Arg(0).AsObject();
  const int32_t category = vm.ToInt(c.Arg(1));
  ForEachNativeName(vm, c, 2, [&](std::string_view name, uint16_t flags, int32_t index) {
    Value getter = NativeFunction(vm, category, index);
    Value setter = NativeFunction(vm, category, index + 1);
    Bind(vm, obj, name, flags, Value());
    Property* p = obj->FindOwn(name, vm.case_sensitive());
    p->getter = getter.IsObject() ? getter.AsObject() : nullptr;
    p->setter = setter.IsObject() ? setter.AsObject() : nullptr;
    p->virtual_property = true;
  });
  return Value();
}

}  // namespace

void InstallAsNative(Vm& vm) {
  Object* g = vm.global();
  vm.DefineMethod(g, "ASnative", AsNative);
  vm.DefineMethod(g, "ASSetNative", AsSetNative);
  vm.DefineMethod(g, "ASSetNativeAccessor", AsSetNativeAccessor);
}

}  // namespace flashsaver::avm1
