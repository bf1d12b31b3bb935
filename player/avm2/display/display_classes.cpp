// Minimal flash.events and flash.display classes, enough for document classes to construct,
// listen to enterFrame and drive the root timeline. The real display classes come later.
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
  if (type.str() == u"enterFrame") {
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

DisplayHost* Host(Vm& vm) { return vm.display_host; }

Value GetName(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Dispatcher(vm, self)->name);
}
Value SetName(Vm& vm, const Value& self, std::span<const Value> args) {
  Dispatcher(vm, self)->name = ArgString(vm, args, 0);
  return Value();
}
Value GetParent(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Dispatcher(vm, self)->parent);
}
Value GetNull(Vm&, const Value&, std::span<const Value>) { return Value::Null(); }
Value GetZero(Vm&, const Value&, std::span<const Value>) { return Value(0.0); }
Value GetOne(Vm&, const Value&, std::span<const Value>) { return Value(1.0); }
Value GetTrue(Vm&, const Value&, std::span<const Value>) { return Value(true); }
Value Ignore(Vm&, const Value&, std::span<const Value>) { return Value(); }

Value AddChild(Vm& vm, const Value& self, std::span<const Value> args) {
  DispatcherObject* d = Dispatcher(vm, self);
  auto* c = dynamic_cast<DispatcherObject*>(Arg(args, 0).AsObject());
  if (!c) vm.ThrowError(ErrorType::kTypeError, 2007, {"child"});
  if (auto* p = dynamic_cast<DispatcherObject*>(c->parent)) std::erase(p->children, c);
  d->children.push_back(c);
  c->parent = d;
  return Value(static_cast<Object*>(c));
}
Value RemoveChild(Vm& vm, const Value& self, std::span<const Value> args) {
  DispatcherObject* d = Dispatcher(vm, self);
  auto* c = dynamic_cast<DispatcherObject*>(Arg(args, 0).AsObject());
  if (!c || c->parent != d) vm.ThrowError(ErrorType::kArgumentError, 2025);
  std::erase(d->children, c);
  c->parent = nullptr;
  return Value(static_cast<Object*>(c));
}
Value NumChildren(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(static_cast<int32_t>(Dispatcher(vm, self)->children.size()));
}
Value GetChildAt(Vm& vm, const Value& self, std::span<const Value> args) {
  DispatcherObject* d = Dispatcher(vm, self);
  int32_t i = ArgInt(vm, args, 0);
  if (i < 0 || static_cast<size_t>(i) >= d->children.size())
    vm.ThrowError(ErrorType::kRangeError, 2006);
  return Value(d->children[static_cast<size_t>(i)]);
}

bool IsRoot(Vm& vm, const Value& self) {
  return vm.display_host && vm.display_root == self.AsObject();
}
Value Stop(Vm& vm, const Value& self, std::span<const Value>) {
  if (IsRoot(vm, self)) Host(vm)->SetPlaying(false);
  return Value();
}
Value Play(Vm& vm, const Value& self, std::span<const Value>) {
  if (IsRoot(vm, self)) Host(vm)->SetPlaying(true);
  return Value();
}
int32_t FrameArg(Vm& vm, std::span<const Value> args) {
  Value v = Arg(args, 0);
  if (v.IsString()) {
    int32_t f = vm.display_host ? vm.display_host->FrameOfLabel(v.AsStr().ToUtf8()) : -1;
    if (f < 0) vm.ThrowError(ErrorType::kArgumentError, 2109, {v.AsStr().ToUtf8(), "null"});
    return f;
  }
  return vm.ToInt32(v) - 1;
}
Value GotoAndStop(Vm& vm, const Value& self, std::span<const Value> args) {
  if (IsRoot(vm, self)) {
    Host(vm)->GotoFrame(FrameArg(vm, args));
    Host(vm)->SetPlaying(false);
  }
  return Value();
}
Value GotoAndPlay(Vm& vm, const Value& self, std::span<const Value> args) {
  if (IsRoot(vm, self)) {
    Host(vm)->GotoFrame(FrameArg(vm, args));
    Host(vm)->SetPlaying(true);
  }
  return Value();
}
Value NextFrame(Vm& vm, const Value& self, std::span<const Value>) {
  if (IsRoot(vm, self)) {
    Host(vm)->GotoFrame(Host(vm)->CurrentFrame() + 1);
    Host(vm)->SetPlaying(false);
  }
  return Value();
}
Value PrevFrame(Vm& vm, const Value& self, std::span<const Value>) {
  if (IsRoot(vm, self)) {
    Host(vm)->GotoFrame(std::max(0, Host(vm)->CurrentFrame() - 1));
    Host(vm)->SetPlaying(false);
  }
  return Value();
}
Value CurrentFrame(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(IsRoot(vm, self) ? Host(vm)->CurrentFrame() + 1 : 1);
}
Value TotalFrames(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(IsRoot(vm, self) ? Host(vm)->TotalFrames() : 1);
}
Value IsPlaying(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(IsRoot(vm, self) && Host(vm)->Playing());
}
Value AddFrameScript(Vm& vm, const Value& self, std::span<const Value> args) {
  DispatcherObject* d = Dispatcher(vm, self);
  for (size_t i = 0; i + 1 < args.size(); i += 2) {
    int32_t f = vm.ToInt32(args[i]);
    std::erase_if(d->frame_scripts, [f](const auto& p) { return p.first == f; });
    if (!args[i + 1].IsNullish()) d->frame_scripts.emplace_back(f, args[i + 1]);
  }
  return Value();
}
Value GetStage(Vm& vm, const Value&, std::span<const Value>) { return Value(vm.display_stage); }
Value GetRoot(Vm& vm, const Value&, std::span<const Value>) { return Value(vm.display_root); }
Value StageWidth(Vm& vm, const Value&, std::span<const Value>) {
  return Value(static_cast<int32_t>(Host(vm) ? Host(vm)->StageWidth() : 550));
}
Value StageHeight(Vm& vm, const Value&, std::span<const Value>) {
  return Value(static_cast<int32_t>(Host(vm) ? Host(vm)->StageHeight() : 400));
}
Value FrameRate(Vm& vm, const Value&, std::span<const Value>) {
  return Value(Host(vm) ? Host(vm)->FrameRate() : 24.0);
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
      Make("flash.display", "DisplayObject", "flash.events::EventDispatcher",
           {Getter("name", GetName),     Setter("name", SetName),    Getter("parent", GetParent),
            Getter("stage", GetStage),   Getter("root", GetRoot),    Getter("loaderInfo", GetNull),
            Getter("x", GetZero),        Setter("x", Ignore),        Getter("y", GetZero),
            Setter("y", Ignore),         Getter("alpha", GetOne),    Setter("alpha", Ignore),
            Getter("visible", GetTrue),  Setter("visible", Ignore),  Getter("width", GetZero),
            Setter("width", Ignore),     Getter("height", GetZero),  Setter("height", Ignore),
            Getter("rotation", GetZero), Setter("rotation", Ignore), Getter("scaleX", GetOne),
            Setter("scaleX", Ignore),    Getter("scaleY", GetOne),   Setter("scaleY", Ignore)},
           {}, nullptr, nullptr),
      Make("flash.display", "InteractiveObject", "flash.display::DisplayObject", {}, {}, nullptr,
           nullptr),
      Make("flash.display", "DisplayObjectContainer", "flash.display::InteractiveObject",
           {Method("addChild", AddChild, 1), Method("removeChild", RemoveChild, 1),
            Getter("numChildren", NumChildren), Method("getChildAt", GetChildAt, 1)},
           {}, nullptr, nullptr),
      Make("flash.display", "Sprite", "flash.display::DisplayObjectContainer",
           {Getter("buttonMode", GetZero), Setter("buttonMode", Ignore)}, {}, nullptr, nullptr),
      Make("flash.display", "MovieClip", "flash.display::Sprite",
           {Method("stop", Stop), Method("play", Play), Method("gotoAndStop", GotoAndStop, 1),
            Method("gotoAndPlay", GotoAndPlay, 1), Method("nextFrame", NextFrame),
            Method("prevFrame", PrevFrame), Getter("currentFrame", CurrentFrame),
            Getter("totalFrames", TotalFrames), Getter("framesLoaded", TotalFrames),
            Getter("isPlaying", IsPlaying), Method("addFrameScript", AddFrameScript)},
           {}, nullptr, nullptr),
      Make("flash.display", "Stage", "flash.display::DisplayObjectContainer",
           {Getter("stageWidth", StageWidth), Getter("stageHeight", StageHeight),
            Getter("frameRate", FrameRate), Setter("frameRate", Ignore)},
           {}, nullptr, nullptr),
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
