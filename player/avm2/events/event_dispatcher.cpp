// flash.events.EventDispatcher: listeners by type, priority and phase, and the dispatch of an
// event through the capture, target and bubble phases along the display list's parents.
#include <algorithm>

#include "player/avm2/events/events.h"
#include "player/avm2/heap.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {

void DispatcherObject::Trace(Tracer& tracer) {
  BoxedObject::Trace(tracer);
  for (auto& [type, list] : listeners)
    for (auto& l : list)
      if (!l.weak) tracer.Mark(l.fn);
  for (auto& [f, v] : frame_scripts) tracer.Mark(v);
  tracer.Mark(delegate_target);
  tracer.Mark(parent);
  for (Object* c : children) tracer.Mark(c);
}

void DispatcherObject::DropUnmarked() {
  for (auto& [type, list] : listeners)
    std::erase_if(list, [](const Listener& l) {
      return l.weak && l.fn.AsObject() && !l.fn.AsObject()->marked;
    });
}

std::vector<DispatcherObject::Listener>* DispatcherObject::Find(std::u16string_view type) {
  for (auto& [t, list] : listeners)
    if (t == type) return &list;
  return nullptr;
}

namespace {

// Events the player sends to every dispatcher that listens, on the display list or not.
bool IsBroadcast(std::u16string_view type) {
  return type == u"enterFrame" || type == u"exitFrame" || type == u"frameConstructed" ||
         type == u"activate" || type == u"deactivate" || type == u"render";
}

bool ListensToBroadcast(DispatcherObject* d) {
  for (auto& [t, list] : d->listeners)
    if (!list.empty() && IsBroadcast(t)) return true;
  return false;
}

// A parent chain longer than this is a cycle a buggy host made; dispatch stops there.
constexpr size_t kMaxDepth = 4096;

DispatcherObject* Dispatcher(Vm& vm, const Value& self) {
  return ThisAs<DispatcherObject>(vm, self, "flash.events.EventDispatcher");
}

Object* CreateDispatcher(Vm& vm, ClassObject* cls) {
  return vm.heap().New<DispatcherObject>(cls, cls->prototype);
}

Value Construct(Vm& vm, const Value& self, std::span<const Value> args) {
  DispatcherObject* d = Dispatcher(vm, self);
  Object* target = Arg(args, 0).AsObject();
  if (target != d) d->delegate_target = target;
  return Value();
}

Value AddEventListener(Vm& vm, const Value& self, std::span<const Value> args) {
  DispatcherObject* d = Dispatcher(vm, self);
  Str type = ArgString(vm, args, 0);
  Value fn = Arg(args, 1);
  if (fn.IsNullish()) vm.ThrowError(ErrorType::kTypeError, 2007, {"listener"});
  if (!fn.AsObject() || fn.AsObject()->kind() != ObjectKind::kFunction)
    vm.ThrowError(ErrorType::kTypeError, 1034, {vm.TypeNameForError(fn), "Function"});
  bool capture = ArgBool(vm, args, 2);
  int32_t priority = ArgInt(vm, args, 3);
  bool weak = ArgBool(vm, args, 4);
  auto* list = d->Find(type.view());
  if (!list) {
    d->listeners.emplace_back(type.str(), std::vector<DispatcherObject::Listener>{});
    list = &d->listeners.back().second;
  }
  // Adding a listener twice (same function and phase) keeps the first registration.
  for (auto& l : *list)
    if (StrictEquals(l.fn, fn) && l.capture == capture) return Value();
  // Higher priorities first; equal ones in the order added.
  auto it = list->begin();
  while (it != list->end() && it->priority >= priority) ++it;
  list->insert(it, {fn, priority, capture, weak});
  if (weak) vm.heap().AddWeakHolder(d);
  if (IsBroadcast(type.view())) {
    auto& targets = vm.enter_frame_targets;
    if (std::find(targets.begin(), targets.end(), d) == targets.end()) targets.push_back(d);
  }
  return Value();
}

Value RemoveEventListener(Vm& vm, const Value& self, std::span<const Value> args) {
  DispatcherObject* d = Dispatcher(vm, self);
  Str type = ArgString(vm, args, 0);
  Value fn = Arg(args, 1);
  if (fn.IsNullish()) vm.ThrowError(ErrorType::kTypeError, 2007, {"listener"});
  bool capture = ArgBool(vm, args, 2);
  if (auto* list = d->Find(type.view()))
    std::erase_if(*list,
                  [&](const auto& l) { return StrictEquals(l.fn, fn) && l.capture == capture; });
  if (IsBroadcast(type.view()) && !ListensToBroadcast(d)) std::erase(vm.enter_frame_targets, d);
  return Value();
}

Value HasEventListener(Vm& vm, const Value& self, std::span<const Value> args) {
  DispatcherObject* d = Dispatcher(vm, self);
  auto* list = d->Find(ArgString(vm, args, 0).view());
  return Value(list && !list->empty());
}

Value WillTriggerFn(Vm& vm, const Value& self, std::span<const Value> args) {
  return Value(WillTrigger(Dispatcher(vm, self), ArgString(vm, args, 0).view()));
}

Value DispatchEvent(Vm& vm, const Value& self, std::span<const Value> args) {
  DispatcherObject* d = Dispatcher(vm, self);
  Value ev = Arg(args, 0);
  if (ev.IsNullish()) vm.ThrowError(ErrorType::kTypeError, 2007, {"event"});
  auto* e = dynamic_cast<EventObject*>(ev.AsObject());
  if (!e)
    vm.ThrowError(ErrorType::kTypeError, 1034, {vm.TypeNameForError(ev), "flash.events.Event"});
  // An event that was dispatched before goes out as its clone().
  if (!e->target.IsNullish()) {
    Value copy = vm.CallMethod(ev, "clone", {});
    e = dynamic_cast<EventObject*>(copy.AsObject());
    if (!e) vm.ThrowError(ErrorType::kTypeError, 2007, {"event"});
  }
  return Value(DispatchEventObject(vm, d, e));
}

// Calls the listeners `node` has for the event's type in this phase. The list is fixed when
// the node's turn starts: listeners added meanwhile wait for the next dispatch, removed ones
// still run.
void RunListeners(Vm& vm, DispatcherObject* node, const Value& current, EventObject* e,
                  bool capture, int32_t phase) {
  e->phase = phase;
  e->current_target = current;
  auto* list = node->Find(e->type.view());
  if (!list || list->empty()) return;
  std::vector<DispatcherObject::Listener> snapshot = *list;
  Value arg(static_cast<Object*>(e));
  for (auto& l : snapshot) {
    if (l.capture != capture) continue;
    // A listener's error does not reach dispatchEvent's caller: it is reported as uncaught
    // and the remaining listeners still run.
    try {
      vm.Call(l.fn, Value(), std::span<const Value>(&arg, 1));
    } catch (const ScriptException& ex) {
      vm.ReportUncaught(ex.value, ex.stack);
    }
    if (e->stopped_immediate) break;
  }
}

}  // namespace

bool WillTrigger(DispatcherObject* d, std::u16string_view type) {
  size_t depth = 0;
  for (Object* o = d; o && depth < kMaxDepth; ++depth) {
    auto* n = dynamic_cast<DispatcherObject*>(o);
    if (!n) break;
    if (auto* list = n->Find(type); list && !list->empty()) return true;
    o = n->parent;
  }
  return false;
}

bool DispatchEventObject(Vm& vm, DispatcherObject* d, EventObject* e) {
  Object* target = d->delegate_target ? d->delegate_target : d;
  e->target = Value(target);
  e->stopped = e->stopped_immediate = false;
  // The path is fixed before any listener runs: moving objects meanwhile does not change it.
  std::vector<DispatcherObject*> ancestors;
  if (auto* t = dynamic_cast<DispatcherObject*>(target))
    for (Object* p = t->parent; p && ancestors.size() < kMaxDepth;) {
      auto* n = dynamic_cast<DispatcherObject*>(p);
      if (!n) break;
      ancestors.push_back(n);
      p = n->parent;
    }
  for (size_t i = ancestors.size(); i-- > 0 && !e->stopped && !e->stopped_immediate;)
    RunListeners(vm, ancestors[i], Value(ancestors[i]), e, true, event_phase::kCapturing);
  if (!e->stopped && !e->stopped_immediate)
    RunListeners(vm, d, Value(target), e, false, event_phase::kAtTarget);
  if (e->bubbles)
    for (size_t i = 0; i < ancestors.size() && !e->stopped && !e->stopped_immediate; ++i)
      RunListeners(vm, ancestors[i], Value(ancestors[i]), e, false, event_phase::kBubbling);
  else if (!ancestors.empty() && !e->stopped && !e->stopped_immediate)
    e->phase = event_phase::kBubbling;  // the walk up still happens, calling no one
  return !e->default_prevented;
}

void DispatchSimpleEvent(Vm& vm, Object* target, const char* type) {
  auto* d = dynamic_cast<DispatcherObject*>(target);
  if (!d || !WillTrigger(d, Utf8ToUtf16(type))) return;
  ClassObject* ev = vm.FindClass("flash.events::Event");
  if (!ev) return;
  Value a = Value(Str::FromUtf8(type));
  Value e = vm.Construct(Value(static_cast<Object*>(ev)), std::span<const Value>(&a, 1));
  if (auto* eo = dynamic_cast<EventObject*>(e.AsObject())) DispatchEventObject(vm, d, eo);
}

void BroadcastEvent(Vm& vm, const char* type) {
  std::u16string t = Utf8ToUtf16(type);
  ClassObject* ev = vm.FindClass("flash.events::Event");
  if (!ev) return;
  std::vector<Object*> targets = vm.enter_frame_targets;
  for (Object* o : targets) {
    auto* d = dynamic_cast<DispatcherObject*>(o);
    if (!d) continue;
    auto* list = d->Find(t);
    if (!list || list->empty()) continue;
    vm.RunGuarded([&] {
      Value a = Value(Str(t));
      Value e = vm.Construct(Value(static_cast<Object*>(ev)), std::span<const Value>(&a, 1));
      if (auto* eo = dynamic_cast<EventObject*>(e.AsObject())) {
        eo->target = Value(d->delegate_target ? d->delegate_target : d);
        RunListeners(vm, d, eo->target, eo, false, event_phase::kAtTarget);
      }
      return Value();
    });
  }
}

const NativeClass& EventDispatcherClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.events";
    c.name = "EventDispatcher";
    c.instance = {Method("addEventListener", AddEventListener, 5).Needs(2),
                  Method("removeEventListener", RemoveEventListener, 3).Needs(2),
                  Method("hasEventListener", HasEventListener, 1).Needs(1),
                  Method("willTrigger", WillTriggerFn, 1).Needs(1),
                  Method("dispatchEvent", DispatchEvent, 1).Needs(1),
                  Implements("flash.events::IEventDispatcher")};
    c.create = CreateDispatcher;
    c.constructor = Construct;
    c.constructor_length = 1;
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
