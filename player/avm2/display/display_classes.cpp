// Minimal flash.events classes and flash.system.System; the display classes are in their own
// files.
#include "player/avm2/builtins/builtins.h"
#include "player/avm2/display/display_host.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {

void DispatcherObject::Trace(Tracer& tracer) {
  BoxedObject::Trace(tracer);
  for (auto& [type, list] : listeners)
    for (auto& l : list) tracer.Mark(l.fn);
  for (auto& [f, v] : frame_scripts) tracer.Mark(v);
  tracer.Mark(parent);
  for (Object* c : children) tracer.Mark(c);
}

std::vector<DispatcherObject::Listener>* DispatcherObject::Find(std::u16string_view type) {
  for (auto& [t, list] : listeners)
    if (t == type) return &list;
  return nullptr;
}

void EventObject::Trace(Tracer& tracer) {
  BoxedObject::Trace(tracer);
  tracer.Mark(target);
  tracer.Mark(current_target);
}

namespace {

Object* CreateDispatcher(Vm& vm, ClassObject* cls) {
  return vm.heap().New<DispatcherObject>(cls, cls->prototype);
}
Object* CreateEvent(Vm& vm, ClassObject* cls) {
  return vm.heap().New<EventObject>(cls, cls->prototype);
}

DispatcherObject* Dispatcher(Vm& vm, const Value& self) {
  return ThisAs<DispatcherObject>(vm, self, "flash.events.EventDispatcher");
}
EventObject* Event(Vm& vm, const Value& self) {
  return ThisAs<EventObject>(vm, self, "flash.events.Event");
}

Value AddEventListener(Vm& vm, const Value& self, std::span<const Value> args) {
  DispatcherObject* d = Dispatcher(vm, self);
  Str type = ArgString(vm, args, 0);
  Value fn = Arg(args, 1);
  if (!fn.AsObject() || fn.AsObject()->kind() != ObjectKind::kFunction)
    vm.ThrowError(ErrorType::kTypeError, 2007, {"listener"});
  bool capture = ArgBool(vm, args, 2);
  int32_t priority = ArgInt(vm, args, 3);
  auto* list = d->Find(type.view());
  if (!list) {
    d->listeners.emplace_back(type.str(), std::vector<DispatcherObject::Listener>{});
    list = &d->listeners.back().second;
  }
  for (auto& l : *list)
    if (StrictEquals(l.fn, fn) && l.capture == capture) return Value();
  // Higher priorities first; equal ones in the order added.
  auto it = list->begin();
  while (it != list->end() && it->priority >= priority) ++it;
  list->insert(it, {fn, priority, capture});
  // Broadcast events reach their listeners wherever the object is.
  if (type.str() == u"enterFrame" || type.str() == u"frameConstructed" ||
      type.str() == u"exitFrame" || type.str() == u"render") {
    auto& targets = vm.enter_frame_targets;
    if (std::find(targets.begin(), targets.end(), d) == targets.end()) targets.push_back(d);
  }
  return Value();
}

Value RemoveEventListener(Vm& vm, const Value& self, std::span<const Value> args) {
  DispatcherObject* d = Dispatcher(vm, self);
  Str type = ArgString(vm, args, 0);
  Value fn = Arg(args, 1);
  bool capture = ArgBool(vm, args, 2);
  if (auto* list = d->Find(type.view()))
    std::erase_if(*list,
                  [&](const auto& l) { return StrictEquals(l.fn, fn) && l.capture == capture; });
  return Value();
}

Value HasEventListener(Vm& vm, const Value& self, std::span<const Value> args) {
  DispatcherObject* d = Dispatcher(vm, self);
  auto* list = d->Find(ArgString(vm, args, 0).view());
  return Value(list && !list->empty());
}

Value DispatchEvent(Vm& vm, const Value& self, std::span<const Value> args) {
  DispatcherObject* d = Dispatcher(vm, self);
  auto* e = dynamic_cast<EventObject*>(Arg(args, 0).AsObject());
  if (!e) vm.ThrowError(ErrorType::kTypeError, 2007, {"event"});
  e->target = self;
  e->current_target = self;
  e->phase = 2;
  if (auto* list = d->Find(e->type.view())) {
    std::vector<DispatcherObject::Listener> copy = *list;
    for (auto& l : copy) {
      if (l.capture) continue;
      Value a = Value(static_cast<Object*>(e));
      vm.Call(l.fn, Value(), std::span<const Value>(&a, 1));
      if (e->stopped) break;
    }
  }
  return Value(!e->default_prevented);
}

Value EventInit(Vm& vm, const Value& self, std::span<const Value> args) {
  EventObject* e = Event(vm, self);
  e->type = ArgString(vm, args, 0);
  e->bubbles = ArgBool(vm, args, 1);
  e->cancelable = ArgBool(vm, args, 2);
  return Value();
}
Value EventType(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Event(vm, self)->type);
}
Value EventBubbles(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Event(vm, self)->bubbles);
}
Value EventCancelable(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Event(vm, self)->cancelable);
}
Value EventTarget(Vm& vm, const Value& self, std::span<const Value>) {
  return Event(vm, self)->target.IsUndefined() ? Value::Null() : Event(vm, self)->target;
}
Value EventCurrentTarget(Vm& vm, const Value& self, std::span<const Value>) {
  return Event(vm, self)->current_target.IsUndefined() ? Value::Null()
                                                       : Event(vm, self)->current_target;
}
Value EventPhase(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(static_cast<uint32_t>(Event(vm, self)->phase));
}
Value EventStop(Vm& vm, const Value& self, std::span<const Value>) {
  Event(vm, self)->stopped = true;
  return Value();
}
Value EventPreventDefault(Vm& vm, const Value& self, std::span<const Value>) {
  EventObject* e = Event(vm, self);
  if (e->cancelable) e->default_prevented = true;
  return Value();
}
Value EventIsDefaultPrevented(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Event(vm, self)->default_prevented);
}
Value EventClone(Vm& vm, const Value& self, std::span<const Value>) {
  EventObject* e = Event(vm, self);
  Value a[3] = {Value(e->type), Value(e->bubbles), Value(e->cancelable)};
  return vm.Construct(Value(static_cast<Object*>(e->cls())), a);
}
Value EventToString(Vm& vm, const Value& self, std::span<const Value>) {
  EventObject* e = Event(vm, self);
  std::string s = "[" + e->cls()->name.ToUtf8() + " type=\"" + e->type.ToUtf8() +
                  "\" bubbles=" + (e->bubbles ? "true" : "false") +
                  " cancelable=" + (e->cancelable ? "true" : "false") +
                  " eventPhase=" + std::to_string(e->phase) + "]";
  return Value(Str::FromUtf8(s));
}

Value Ignore(Vm&, const Value&, std::span<const Value>) { return Value(); }
Value TotalMemory(Vm& vm, const Value&, std::span<const Value>) {
  return Value(static_cast<uint32_t>(vm.heap().size() * 64));
}
Value Fscommand(Vm&, const Value&, std::span<const Value>) { return Value(); }

NativeClass Make(const char* package, const char* name, const char* super,
                 std::vector<NativeMember> instance, std::vector<NativeMember> statics,
                 Object* (*create)(Vm&, ClassObject*), NativeFn ctor, uint8_t flags = 0) {
  NativeClass c;
  c.package = package;
  c.name = name;
  c.super_name = super;
  c.instance = std::move(instance);
  c.statics = std::move(statics);
  c.create = create;
  c.constructor = ctor;
  c.flags = flags;
  return c;
}

}  // namespace

void DispatchSimpleEvent(Vm& vm, Object* target, const char* type) {
  auto* d = dynamic_cast<DispatcherObject*>(target);
  if (!d || !d->Find(Utf8ToUtf16(type))) return;
  ClassObject* ev = vm.FindClass("flash.events::Event");
  if (!ev) return;
  Value a = Value(Str::FromUtf8(type));
  Value e = vm.Construct(Value(static_cast<Object*>(ev)), std::span<const Value>(&a, 1));
  DispatchEvent(vm, Value(target), std::span<const Value>(&e, 1));
}

std::span<const NativeClass* const> DisplayClasses() {
  static const NativeClass k[] = {
      Make("flash.events", "EventDispatcher", "Object",
           {Method("addEventListener", AddEventListener, 2),
            Method("removeEventListener", RemoveEventListener, 2),
            Method("hasEventListener", HasEventListener, 1),
            Method("willTrigger", HasEventListener, 1), Method("dispatchEvent", DispatchEvent, 1)},
           {}, CreateDispatcher, nullptr),
      Make("flash.events", "Event", "Object",
           {Getter("type", EventType), Getter("bubbles", EventBubbles),
            Getter("cancelable", EventCancelable), Getter("target", EventTarget),
            Getter("currentTarget", EventCurrentTarget), Getter("eventPhase", EventPhase),
            Method("stopPropagation", EventStop), Method("stopImmediatePropagation", EventStop),
            Method("preventDefault", EventPreventDefault),
            Method("isDefaultPrevented", EventIsDefaultPrevented), Method("clone", EventClone),
            Method("toString", EventToString)},
           {Const("ENTER_FRAME", Value(Str(u"enterFrame"))),
            Const("EXIT_FRAME", Value(Str(u"exitFrame"))),
            Const("FRAME_CONSTRUCTED", Value(Str(u"frameConstructed"))),
            Const("ADDED", Value(Str(u"added"))),
            Const("ADDED_TO_STAGE", Value(Str(u"addedToStage"))),
            Const("REMOVED", Value(Str(u"removed"))),
            Const("REMOVED_FROM_STAGE", Value(Str(u"removedFromStage"))),
            Const("COMPLETE", Value(Str(u"complete"))),
            Const("INIT", Value(Str(u"init"))),
            Const("CHANGE", Value(Str(u"change"))),
            Const("RESIZE", Value(Str(u"resize"))),
            Const("ACTIVATE", Value(Str(u"activate"))),
            Const("DEACTIVATE", Value(Str(u"deactivate"))),
            Const("RENDER", Value(Str(u"render"))),
            Const("OPEN", Value(Str(u"open"))),
            Const("CLOSE", Value(Str(u"close"))),
            Const("CANCEL", Value(Str(u"cancel"))),
            Const("SELECT", Value(Str(u"select"))),
            Const("UNLOAD", Value(Str(u"unload"))),
            Const("SOUND_COMPLETE", Value(Str(u"soundComplete")))},
           CreateEvent, EventInit),
      Make("flash.system", "System", "Object", {},
           {Getter("totalMemory", TotalMemory), Method("gc", Ignore), Method("pause", Ignore),
            Method("resume", Ignore), Method("exit", Ignore)},
           nullptr, nullptr),
  };
  static const NativeClass* ptrs[std::size(k)];
  for (size_t i = 0; i < std::size(k); ++i) ptrs[i] = &k[i];
  return ptrs;
}

void InstallDisplayFunctions(Vm& vm) {
  FunctionObject* f = vm.NewNativeFunction(Fscommand, 2, "fscommand");
  Str key(u"flash.system::fscommand");
  vm.global()->dynamic().Set(key, Value(static_cast<Object*>(f)));
  vm.RegisterBuiltinDefinition("flash.system", "fscommand", key);
}

}  // namespace flashsaver::avm2
