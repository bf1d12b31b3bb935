// flash.events.Event, EventPhase and the IEventDispatcher interface.
#include "player/avm2/builtins/builtins.h"
#include "player/avm2/events/events.h"
#include "player/avm2/heap.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {

void EventObject::Trace(Tracer& tracer) {
  BoxedObject::Trace(tracer);
  tracer.Mark(target);
  tracer.Mark(current_target);
}

namespace {

Object* CreateEvent(Vm& vm, ClassObject* cls) {
  return vm.heap().New<EventObject>(cls, cls->prototype);
}

EventObject* Event(Vm& vm, const Value& self) {
  return ThisAs<EventObject>(vm, self, "flash.events.Event");
}

Value Init(Vm& vm, const Value& self, std::span<const Value> args) {
  EventObject* e = Event(vm, self);
  e->type = ArgString(vm, args, 0);
  e->bubbles = ArgBool(vm, args, 1);
  e->cancelable = ArgBool(vm, args, 2);
  return Value();
}
Value Type(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Event(vm, self)->type);
}
Value Bubbles(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Event(vm, self)->bubbles);
}
Value Cancelable(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Event(vm, self)->cancelable);
}
Value Target(Vm& vm, const Value& self, std::span<const Value>) {
  const Value& t = Event(vm, self)->target;
  return t.IsUndefined() ? Value::Null() : t;
}
Value CurrentTarget(Vm& vm, const Value& self, std::span<const Value>) {
  const Value& t = Event(vm, self)->current_target;
  return t.IsUndefined() ? Value::Null() : t;
}
Value Phase(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(static_cast<uint32_t>(Event(vm, self)->phase));
}
Value StopPropagation(Vm& vm, const Value& self, std::span<const Value>) {
  Event(vm, self)->stopped = true;
  return Value();
}
Value StopImmediatePropagation(Vm& vm, const Value& self, std::span<const Value>) {
  EventObject* e = Event(vm, self);
  e->stopped = e->stopped_immediate = true;
  return Value();
}
Value PreventDefault(Vm& vm, const Value& self, std::span<const Value>) {
  EventObject* e = Event(vm, self);
  if (e->cancelable) e->default_prevented = true;
  return Value();
}
Value IsDefaultPrevented(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Event(vm, self)->default_prevented);
}
// Event's own clone makes a plain Event: a subclass that does not override it loses its class.
Value Clone(Vm& vm, const Value& self, std::span<const Value>) {
  EventObject* e = Event(vm, self);
  Value a[3] = {Value(e->type), Value(e->bubbles), Value(e->cancelable)};
  ClassObject* cls = vm.FindClass("flash.events::Event");
  return vm.Construct(Value(static_cast<Object*>(cls)), a);
}

}  // namespace

// "[Name key=value ...]": each key's value read from the event as a script would, strings in
// quotes, everything else as String() prints it.
Value EventFormatToString(Vm& vm, const Value& self, std::span<const Value> args) {
  Event(vm, self);
  std::u16string s = u"[" + ArgString(vm, args, 0).str();
  for (size_t i = 1; i < args.size(); ++i) {
    // The names are Strings: null and undefined both become null, printed "null".
    Str key = args[i].IsNullish() ? Str(u"null") : vm.ToString(args[i]);
    Value v = vm.GetProperty(self, vm.PublicName(key.view()));
    s += u" " + key.str() + u"=";
    if (v.IsString())
      s += u"\"" + v.AsStr().str() + u"\"";
    else
      s += vm.ToString(v).str();
  }
  s += u"]";
  return Value(Str(std::move(s)));
}

namespace {

Value ToStringFn(Vm& vm, const Value& self, std::span<const Value>) {
  Value a[] = {Value(Str(u"Event")), Value(Str(u"type")), Value(Str(u"bubbles")),
               Value(Str(u"cancelable")), Value(Str(u"eventPhase"))};
  return EventFormatToString(vm, self, a);
}

// An interface's methods are never called themselves: calls reach the implementing class.
Value Abstract(Vm&, const Value&, std::span<const Value>) { return Value(); }

NativeMember TypeConst(const char* name, const char16_t* value) {
  return Const(name, Value(Str(value)));
}

}  // namespace

const NativeClass& IEventDispatcherClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.events";
    c.name = "IEventDispatcher";
    c.flags = class_flag::kInterface;
    for (auto [name, length] : {std::pair<const char*, int>{"addEventListener", 5},
                                {"removeEventListener", 3},
                                {"dispatchEvent", 1},
                                {"hasEventListener", 1},
                                {"willTrigger", 1}}) {
      NativeMember m = Method(name, Abstract, length);
      m.ns = MemberNs::kInterface;
      c.instance.push_back(m);
    }
    return c;
  }();
  return spec;
}

const NativeClass& EventClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.events";
    c.name = "Event";
    c.instance = {Getter("type", Type),
                  Getter("bubbles", Bubbles),
                  Getter("cancelable", Cancelable),
                  Getter("target", Target),
                  Getter("currentTarget", CurrentTarget),
                  Getter("eventPhase", Phase),
                  Method("stopPropagation", StopPropagation),
                  Method("stopImmediatePropagation", StopImmediatePropagation),
                  Method("preventDefault", PreventDefault),
                  Method("isDefaultPrevented", IsDefaultPrevented),
                  Method("clone", Clone),
                  Method("toString", ToStringFn),
                  Method("formatToString", EventFormatToString, 1).Needs(1)};
    c.statics = {TypeConst("ACTIVATE", u"activate"),
                 TypeConst("ADDED", u"added"),
                 TypeConst("ADDED_TO_STAGE", u"addedToStage"),
                 TypeConst("BROWSER_ZOOM_CHANGE", u"browserZoomChange"),
                 TypeConst("CANCEL", u"cancel"),
                 TypeConst("CHANGE", u"change"),
                 TypeConst("CHANNEL_MESSAGE", u"channelMessage"),
                 TypeConst("CHANNEL_STATE", u"channelState"),
                 TypeConst("CLEAR", u"clear"),
                 TypeConst("CLOSE", u"close"),
                 TypeConst("CLOSING", u"closing"),
                 TypeConst("COMPLETE", u"complete"),
                 TypeConst("CONNECT", u"connect"),
                 TypeConst("CONTEXT3D_CREATE", u"context3DCreate"),
                 TypeConst("COPY", u"copy"),
                 TypeConst("CUT", u"cut"),
                 TypeConst("DEACTIVATE", u"deactivate"),
                 TypeConst("DISPLAYING", u"displaying"),
                 TypeConst("ENTER_FRAME", u"enterFrame"),
                 TypeConst("EXITING", u"exiting"),
                 TypeConst("EXIT_FRAME", u"exitFrame"),
                 TypeConst("FRAME_CONSTRUCTED", u"frameConstructed"),
                 TypeConst("FRAME_LABEL", u"frameLabel"),
                 TypeConst("FULLSCREEN", u"fullScreen"),
                 TypeConst("HTML_BOUNDS_CHANGE", u"htmlBoundsChange"),
                 TypeConst("HTML_DOM_INITIALIZE", u"htmlDOMInitialize"),
                 TypeConst("HTML_RENDER", u"htmlRender"),
                 TypeConst("ID3", u"id3"),
                 TypeConst("INIT", u"init"),
                 TypeConst("LOCATION_CHANGE", u"locationChange"),
                 TypeConst("MOUSE_LEAVE", u"mouseLeave"),
                 TypeConst("NETWORK_CHANGE", u"networkChange"),
                 TypeConst("OPEN", u"open"),
                 TypeConst("PASTE", u"paste"),
                 TypeConst("PREPARING", u"preparing"),
                 TypeConst("REMOVED", u"removed"),
                 TypeConst("REMOVED_FROM_STAGE", u"removedFromStage"),
                 TypeConst("RENDER", u"render"),
                 TypeConst("RESIZE", u"resize"),
                 TypeConst("SCROLL", u"scroll"),
                 TypeConst("SELECT", u"select"),
                 TypeConst("SELECT_ALL", u"selectAll"),
                 TypeConst("SOUND_COMPLETE", u"soundComplete"),
                 TypeConst("STANDARD_ERROR_CLOSE", u"standardErrorClose"),
                 TypeConst("STANDARD_INPUT_CLOSE", u"standardInputClose"),
                 TypeConst("STANDARD_OUTPUT_CLOSE", u"standardOutputClose"),
                 TypeConst("SUSPEND", u"suspend"),
                 TypeConst("TAB_CHILDREN_CHANGE", u"tabChildrenChange"),
                 TypeConst("TAB_ENABLED_CHANGE", u"tabEnabledChange"),
                 TypeConst("TAB_INDEX_CHANGE", u"tabIndexChange"),
                 TypeConst("TEXT_INTERACTION_MODE_CHANGE", u"textInteractionModeChange"),
                 TypeConst("TEXTURE_READY", u"textureReady"),
                 TypeConst("UNLOAD", u"unload"),
                 TypeConst("USER_IDLE", u"userIdle"),
                 TypeConst("USER_PRESENT", u"userPresent"),
                 TypeConst("VIDEO_FRAME", u"videoFrame"),
                 TypeConst("WORKER_STATE", u"workerState")};
    c.create = CreateEvent;
    c.constructor = Init;
    c.constructor_length = 3;
    return c;
  }();
  return spec;
}

const NativeClass& EventPhaseClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.events";
    c.name = "EventPhase";
    c.flags = class_flag::kFinal | class_flag::kSealed;
    c.statics = {Const("CAPTURING_PHASE", Value(static_cast<uint32_t>(event_phase::kCapturing))),
                 Const("AT_TARGET", Value(static_cast<uint32_t>(event_phase::kAtTarget))),
                 Const("BUBBLING_PHASE", Value(static_cast<uint32_t>(event_phase::kBubbling)))};
    return c;
  }();
  return spec;
}

const NativeClass& UncaughtErrorEventsClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.events";
    c.name = "UncaughtErrorEvents";
    c.super_name = "flash.events::EventDispatcher";
    return c;
  }();
  return spec;
}

std::span<const NativeClass* const> EventClasses() {
  static const std::vector<const NativeClass*> list = [] {
    std::vector<const NativeClass*> l = {&IEventDispatcherClass(), &EventDispatcherClass(),
                                         &EventClass(), &EventPhaseClass()};
    for (const NativeClass* c : EventSubclasses()) l.push_back(c);
    l.push_back(&UncaughtErrorEventsClass());
    return l;
  }();
  return list;
}

}  // namespace flashsaver::avm2
