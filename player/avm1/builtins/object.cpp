// Object: the root prototype, addProperty, watch and the property queries.
#include "player/avm1/builtins/builtins.h"

namespace flashsaver::avm1 {
namespace {

Value Construct(Vm& vm, const CallArgs& c) {
  Value v = c.Arg(0);
  if (v.IsObject()) return v;
  if (!v.IsNullish()) return vm.ToObject(v);
  return vm.NewObject();
}

Value ToStringMethod(Vm& vm, const CallArgs& c) {
  (void)vm;
  if (c.this_obj && c.this_obj->kind() == ObjectKind::kFunction) return "[type Function]";
  return "[object Object]";
}

Value ValueOf(Vm&, const CallArgs& c) { return c.this_obj; }

Value HasOwnProperty(Vm& vm, const CallArgs& c) {
  if (!c.this_obj || c.args.empty()) return false;
  const std::string name = vm.ToString(c.Arg(0));
  // A String object's length is its own, though computed from its value.
  if (c.this_obj->kind() == ObjectKind::kString && NamesEqual(name, "length", vm.case_sensitive()))
    return true;
  return c.this_obj->FindOwn(name, vm.case_sensitive()) != nullptr;
}

Value IsPropertyEnumerable(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return false;
  const Property* p = c.this_obj->FindOwn(vm.ToString(c.Arg(0)), vm.case_sensitive());
  return p && !(p->flags & prop_flag::kDontEnum);
}

Value IsPrototypeOf(Vm&, const CallArgs& c) {
  Object* o = c.Arg(0).AsObject();
  int guard = 0;
  for (Object* p = o ? o->proto() : nullptr; p && guard < 256; p = p->proto(), ++guard) {
    if (p == c.this_obj) return true;
  }
  return false;
}

Value AddProperty(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return false;
  std::string name = vm.ToString(c.Arg(0));
  Object* getter = c.Arg(1).AsObject();
  Value setter_v = c.Arg(2);
  if (name.empty() || !getter || getter->kind() != ObjectKind::kFunction) return false;
  Object* setter = setter_v.AsObject();
  if (setter && setter->kind() != ObjectKind::kFunction) return false;
  if (!setter && !setter_v.IsNull() && !setter_v.IsUndefined()) return false;
  Property& p = c.this_obj->SetOwn(name, Value(), vm.case_sensitive());
  p.virtual_property = true;
  p.getter = getter;
  p.setter = setter;
  return true;
}

Value Watch(Vm& vm, const CallArgs& c) {
  if (!c.this_obj || c.args.size() < 2) return false;
  Object* callback = c.Arg(1).AsObject();
  if (!callback || callback->kind() != ObjectKind::kFunction) return false;
  std::string name = vm.ToString(c.Arg(0));
  auto& watchers = c.this_obj->watchers();
  for (auto& w : watchers) {
    if (NamesEqual(w.first, name, vm.case_sensitive())) {
      w.second = {callback, c.Arg(2)};
      return true;
    }
  }
  watchers.push_back({name, {callback, c.Arg(2)}});
  return true;
}

Value Unwatch(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return false;
  std::string name = vm.ToString(c.Arg(0));
  auto& watchers = c.this_obj->watchers();
  for (auto it = watchers.begin(); it != watchers.end(); ++it) {
    if (NamesEqual(it->first, name, vm.case_sensitive())) {
      watchers.erase(it);
      return true;
    }
  }
  return false;
}

Value RegisterClass(Vm& vm, const CallArgs& c) {
  // null unregisters the symbol; any other value that is not an object is refused unchanged.
  if (c.args.size() < 2 || (!c.Arg(1).IsObject() && !c.Arg(1).IsNull())) return false;
  return vm.host().RegisterClass(vm.ToString(c.Arg(0)), c.Arg(1).AsObject());
}

}  // namespace

void InstallObject(Vm& vm) {
  Object* proto = vm.New<Object>();
  vm.object_proto = proto;
  // Function.prototype exists before any native, so natives get their __proto__.
  vm.function_proto = vm.New<Object>();
  vm.function_proto->Define("__proto__", proto, prop_flag::kDontEnum);
  vm.DefineMethod(proto, "addProperty", AddProperty, 3 | prop_flag::kVersion6);
  vm.DefineMethod(proto, "hasOwnProperty", HasOwnProperty, 3 | prop_flag::kVersion6);
  vm.DefineMethod(proto, "isPropertyEnumerable", IsPropertyEnumerable, 3 | prop_flag::kVersion6);
  vm.DefineMethod(proto, "isPrototypeOf", IsPrototypeOf, 3 | prop_flag::kVersion6);
  vm.DefineMethod(proto, "toLocaleString", ToStringMethod, 3);
  vm.DefineMethod(proto, "toString", ToStringMethod, 3);
  vm.DefineMethod(proto, "unwatch", Unwatch, 3 | prop_flag::kVersion6);
  vm.DefineMethod(proto, "valueOf", ValueOf, 3);
  vm.DefineMethod(proto, "watch", Watch, 3 | prop_flag::kVersion6);
  FunctionObject* ctor = vm.DefineClass("Object", Construct, Construct, proto);
  vm.object_ctor = ctor;
  vm.DefineMethod(ctor, "registerClass", RegisterClass, 7);
}

}  // namespace flashsaver::avm1
