// flash.display.MovieClip over any clip's timeline (the root's or a sprite's), with FrameLabel
// and Scene. A movie has one scene here: its frames and labels.
#include <cmath>

#include "player/avm2/display/display_natives.h"
#include "player/avm2/vm.h"
#include "player/display/timeline.h"

namespace flashsaver::avm2 {
namespace {

constexpr const char* kSceneName = "Scene 1";

Clip* ClipOf(Vm& vm, const Value& self) { return NodeOf(vm, self)->clip(); }

int32_t Frames(const Clip* c) {
  return c && c->timeline ? static_cast<int32_t>(c->timeline->frames.size()) : 1;
}

void Goto(Vm& vm, Clip& clip, int32_t frame) {
  if (!vm.display_host || !clip.timeline) return;
  vm.display_host->GotoClip(clip, std::clamp(frame, 0, Frames(&clip) - 1));
}

// A frame number as a goto takes it: truncated to an int, a number out of the int range (or
// NaN) becoming the lowest int, then made 0-based with the int's wraparound, so the lowest
// int names the last frame.
int32_t FrameOf(double n) {
  const int32_t f = n >= -2147483648.0 && n < 2147483648.0 ? static_cast<int32_t>(n) : INT32_MIN;
  return static_cast<int32_t>(static_cast<uint32_t>(f) - 1u);
}

// The 0-based frame a goto names: a label, or a frame number (also as text).
int32_t FrameArg(Vm& vm, Clip& clip, std::span<const Value> args) {
  const Value v = Arg(args, 0);
  // Objects name a frame by their text, as strings do.
  if (v.IsString() || v.AsObject()) {
    const std::string label = vm.ToString(v).ToUtf8();
    if (clip.timeline) {
      const auto it = clip.timeline->labels.find(label);
      if (it != clip.timeline->labels.end()) return it->second;
    }
    const double n = vm.ToNumber(v);
    if (std::isnan(n) || label.empty())
      vm.ThrowError(ErrorType::kArgumentError, 2109, {label, kSceneName});
    return FrameOf(n);
  }
  return FrameOf(vm.ToNumber(v));
}

Value Stop(Vm& vm, const Value& self, std::span<const Value>) {
  if (Clip* c = ClipOf(vm, self)) c->playing = false;
  return Value();
}
Value Play(Vm& vm, const Value& self, std::span<const Value>) {
  if (Clip* c = ClipOf(vm, self)) c->playing = true;
  return Value();
}
Value GotoAndStop(Vm& vm, const Value& self, std::span<const Value> args) {
  Clip* c = ClipOf(vm, self);
  if (!c) return Value();
  const int32_t frame = FrameArg(vm, *c, args);
  c->playing = false;
  Goto(vm, *c, frame);
  return Value();
}
Value GotoAndPlay(Vm& vm, const Value& self, std::span<const Value> args) {
  Clip* c = ClipOf(vm, self);
  if (!c) return Value();
  const int32_t frame = FrameArg(vm, *c, args);
  c->playing = true;
  Goto(vm, *c, frame);
  return Value();
}
Value NextFrame(Vm& vm, const Value& self, std::span<const Value>) {
  Clip* c = ClipOf(vm, self);
  if (!c) return Value();
  c->playing = false;
  if (c->current_frame + 1 < Frames(c)) Goto(vm, *c, c->current_frame + 1);
  return Value();
}
Value PrevFrame(Vm& vm, const Value& self, std::span<const Value>) {
  Clip* c = ClipOf(vm, self);
  if (!c) return Value();
  c->playing = false;
  if (c->current_frame > 0) Goto(vm, *c, c->current_frame - 1);
  return Value();
}
Value CurrentFrame(Vm& vm, const Value& self, std::span<const Value>) {
  Clip* c = ClipOf(vm, self);
  // A clip made by `new MovieClip()` has no frames to be on.
  if (!c || !c->timeline) return Value(0);
  return Value(std::max(1, c->current_frame + 1));
}
Value TotalFrames(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Frames(ClipOf(vm, self)));
}
Value IsPlaying(Vm& vm, const Value& self, std::span<const Value>) {
  Clip* c = ClipOf(vm, self);
  return Value(c && c->playing);
}

// Labels by frame, as Flash lists them (by frame, then by name).
std::vector<std::pair<int32_t, std::string>> Labels(const Clip* c) {
  std::vector<std::pair<int32_t, std::string>> out;
  if (!c || !c->timeline) return out;
  for (const auto& [name, frame] : c->timeline->labels) out.emplace_back(frame, name);
  std::stable_sort(out.begin(), out.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  return out;
}
Value MakeLabel(Vm& vm, const std::string& name, int32_t frame) {
  ClassObject* cls = vm.FindClass("flash.display::FrameLabel");
  if (!cls) return Value::Null();
  Value args[2] = {Value(Str::FromUtf8(name)), Value(frame + 1)};
  return vm.Construct(Value(static_cast<Object*>(cls)), args);
}
Value CurrentLabel(Vm& vm, const Value& self, std::span<const Value>) {
  Clip* c = ClipOf(vm, self);
  Value found = Value::Null();
  for (const auto& [frame, name] : Labels(c))
    if (frame <= (c ? c->current_frame : 0)) found = Value(Str::FromUtf8(name));
  return found;
}
Value CurrentFrameLabel(Vm& vm, const Value& self, std::span<const Value>) {
  Clip* c = ClipOf(vm, self);
  for (const auto& [frame, name] : Labels(c))
    if (c && frame == c->current_frame) return Value(Str::FromUtf8(name));
  return Value::Null();
}
Value LabelArray(Vm& vm, const Clip* c) {
  std::vector<Value> labels;
  for (const auto& [frame, name] : Labels(c)) labels.push_back(MakeLabel(vm, name, frame));
  return Value(vm.NewArray(std::move(labels)));
}
Value CurrentLabels(Vm& vm, const Value& self, std::span<const Value>) {
  return LabelArray(vm, ClipOf(vm, self));
}
Value MakeScene(Vm& vm, const Clip* c) {
  ClassObject* cls = vm.FindClass("flash.display::Scene");
  if (!cls) return Value::Null();
  Value args[3] = {Value(Str(u"Scene 1")), LabelArray(vm, c), Value(Frames(c))};
  return vm.Construct(Value(static_cast<Object*>(cls)), args);
}
Value CurrentScene(Vm& vm, const Value& self, std::span<const Value>) {
  return MakeScene(vm, ClipOf(vm, self));
}
Value Scenes(Vm& vm, const Value& self, std::span<const Value>) {
  std::vector<Value> scenes{MakeScene(vm, ClipOf(vm, self))};
  return Value(vm.NewArray(std::move(scenes)));
}
Value AddFrameScript(Vm& vm, const Value& self, std::span<const Value> args) {
  NodeObject* o = NodeOf(vm, self);
  for (size_t i = 0; i + 1 < args.size(); i += 2) {
    const int32_t f = vm.ToInt32(args[i]);
    std::erase_if(o->frame_scripts, [f](const auto& p) { return p.first == f; });
    if (!args[i + 1].IsNullish()) o->frame_scripts.emplace_back(f, args[i + 1]);
  }
  return Value();
}
Value GetTrue(Vm&, const Value&, std::span<const Value>) { return Value(true); }
Value GetFalse(Vm&, const Value&, std::span<const Value>) { return Value(false); }
Value Ignore(Vm&, const Value&, std::span<const Value>) { return Value(); }

// FrameLabel(name, frame) and Scene(name, labels, numFrames) keep what they were made with.
Value FrameLabelCtor(Vm& vm, const Value& self, std::span<const Value> args) {
  vm.SetProperty(self, "name", Value(ArgString(vm, args, 0)));
  vm.SetProperty(self, "frame", Value(ArgInt(vm, args, 1)));
  return Value();
}
Value SceneCtor(Vm& vm, const Value& self, std::span<const Value> args) {
  vm.SetProperty(self, "name", Value(ArgString(vm, args, 0)));
  vm.SetProperty(self, "labels", Arg(args, 1));
  vm.SetProperty(self, "numFrames", Value(ArgInt(vm, args, 2)));
  return Value();
}

}  // namespace

void AddMovieClipClasses(std::vector<const NativeClass*>& out) {
  static const NativeClass k[] = {
      MakeDisplayClass("flash.display", "MovieClip", "flash.display::Sprite",
                       {Method("stop", Stop),
                        Method("play", Play),
                        Method("gotoAndStop", GotoAndStop, 2).Needs(1),
                        Method("gotoAndPlay", GotoAndPlay, 2).Needs(1),
                        Method("nextFrame", NextFrame),
                        Method("prevFrame", PrevFrame),
                        Method("nextScene", Ignore),
                        Method("prevScene", Ignore),
                        Getter("currentFrame", CurrentFrame),
                        Getter("totalFrames", TotalFrames),
                        Getter("framesLoaded", TotalFrames),
                        Getter("isPlaying", IsPlaying),
                        Getter("currentLabel", CurrentLabel),
                        Getter("currentFrameLabel", CurrentFrameLabel),
                        Getter("currentLabels", CurrentLabels),
                        Getter("currentScene", CurrentScene),
                        Getter("scenes", Scenes),
                        Getter("enabled", GetTrue),
                        Setter("enabled", Ignore),
                        Getter("trackAsMenu", GetFalse),
                        Setter("trackAsMenu", Ignore),
                        Method("addFrameScript", AddFrameScript)},
                       {}),
      MakeDisplayClass("flash.display", "FrameLabel", "Object",
                       {Slot("name", Value::Null()), Slot("frame", Value(0))}, {}, FrameLabelCtor),
      MakeDisplayClass(
          "flash.display", "Scene", "Object",
          {Slot("name", Value::Null()), Slot("labels", Value::Null()), Slot("numFrames", Value(0))},
          {}, SceneCtor),
  };
  for (const NativeClass& c : k) out.push_back(&c);
}

std::span<const NativeClass* const> DisplayListClasses() {
  static const std::vector<const NativeClass*> list = [] {
    std::vector<const NativeClass*> l;
    AddObjectClasses(l);
    AddContainerClasses(l);
    AddMovieClipClasses(l);
    AddGraphicsClasses(l);
    return l;
  }();
  return list;
}

}  // namespace flashsaver::avm2
