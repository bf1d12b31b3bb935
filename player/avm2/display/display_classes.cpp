// Minimal flash.display classes, enough for document classes to construct,
// listen to enterFrame and drive the root timeline. The real display classes come later.
#include "player/avm2/builtins/builtins.h"
#include "player/avm2/display/display_host.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {

namespace {

DispatcherObject* Dispatcher(Vm& vm, const Value& self) {
  return ThisAs<DispatcherObject>(vm, self, "flash.events.EventDispatcher");
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

std::span<const NativeClass* const> DisplayClasses() {
  static const NativeClass k[] = {
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
