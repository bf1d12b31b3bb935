// Sound: attachSound by export name, start and stop, volume, pan and transform (shared by every
// Sound object of the same clip, or global without one), duration, position, onSoundComplete,
// and loadSound of local MP3 files with onLoad.
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <vector>

#include "player/avm1/heap.h"
#include "player/avm1/display/script_host.h"
#include "player/sound/sound_player.h"

namespace flashsaver {

struct SoundScripting {
  // Sound objects with a voice playing, for onSoundComplete; they stay alive until it ran.
  std::map<Mixer::VoiceId, avm1::Object*> playing;
  // The transform of each target clip's sounds; the null target is the global one.
  std::map<avm1::Object*, SoundTransform> transforms;
  // Loaded files: their bytes must outlive every voice that plays them.
  std::vector<std::unique_ptr<std::vector<uint8_t>>> loaded;
};

namespace {

using avm1::CallArgs;
using avm1::Object;
using avm1::Value;
using avm1::Vm;

class SoundObject final : public Object {
 public:
  SoundObject() : Object(avm1::ObjectKind::kOther) {}
  Object* target = nullptr;  // null: every sound of the movie
  uint16_t id = 0;           // the attached sound; 0: none
  Mixer::VoiceId voice = 0;  // the last one started
  void Trace(avm1::Tracer& t) override {
    Object::Trace(t);
    t.Mark(target);
  }
};

ScriptHost& HostOf(Vm& vm) { return static_cast<ScriptHost&>(vm.host()); }

SoundScripting& StateOf(ScriptHost& host) {
  if (!host.sound_scripting) host.sound_scripting = std::make_shared<SoundScripting>();
  return *host.sound_scripting;
}

SoundObject* This(const CallArgs& c) { return dynamic_cast<SoundObject*>(c.this_obj); }

// Both the object's target and the key of its shared transform.
SoundTransform& TransformOf(ScriptHost& host, const SoundObject& s) {
  return StateOf(host).transforms[s.target];
}

void Apply(ScriptHost& host, const SoundObject& s) {
  if (!host.sound) return;
  const SoundTransform& t = StateOf(host).transforms[s.target];
  if (!s.target) {
    host.sound->SetGlobalTransform(t);
  } else if (Clip* clip = ScriptHost::ClipOf(s.target)) {
    host.sound->SetClipTransform(clip, t);
  }
}

Value Construct(Vm& vm, const CallArgs& c) {
  auto* s = vm.New<SoundObject>();
  s->Define("__proto__", vm.GetMember(c.callee, "prototype"));
  s->Define("__constructor__", c.callee);
  s->target = c.Arg(0).AsObject();
  return s;
}

Value AttachSound(Vm& vm, const CallArgs& c) {
  SoundObject* s = This(c);
  ScriptHost& host = HostOf(vm);
  if (!s || !host.sound) return Value();
  s->id = host.sound->FindExport(vm.ToString(c.Arg(0))).value_or(0);
  return Value();
}

Value Start(Vm& vm, const CallArgs& c) {
  SoundObject* s = This(c);
  ScriptHost& host = HostOf(vm);
  if (!s || !host.sound || !s->id) return Value();
  const double offset = c.args.empty() ? 0 : vm.ToNumber(c.Arg(0));
  const double loops = c.args.size() < 2 ? 1 : vm.ToNumber(c.Arg(1));
  const Mixer::VoiceId voice = host.sound->Start(
      s->id, std::isfinite(offset) && offset > 0 ? offset : 0,
      std::isfinite(loops) && loops > 1 ? static_cast<uint32_t>(std::min(loops, 65535.0)) : 1,
      s->target ? ScriptHost::ClipOf(s->target) : nullptr);
  if (!voice) return Value();
  s->voice = voice;
  StateOf(host).playing[voice] = s;
  return Value();
}

// With an export name, that sound wherever it plays; without, every sound of the target (all
// of them for a global Sound).
Value StopSound(Vm& vm, const CallArgs& c) {
  SoundObject* s = This(c);
  ScriptHost& host = HostOf(vm);
  if (!s || !host.sound) return Value();
  if (!c.args.empty()) {
    if (const auto id = host.sound->FindExport(vm.ToString(c.Arg(0)))) host.sound->Stop(*id);
    return Value();
  }
  if (!s->target) {
    host.sound->StopAll();
    return Value();
  }
  for (const auto& [voice, object] : StateOf(host).playing) {
    if (static_cast<SoundObject*>(object)->target == s->target) host.sound->mixer().Stop(voice);
  }
  return Value();
}

Value SetVolume(Vm& vm, const CallArgs& c) {
  SoundObject* s = This(c);
  if (!s) return Value();
  const double v = vm.ToNumber(c.Arg(0));
  if (!std::isfinite(v)) return Value();
  TransformOf(HostOf(vm), *s).volume = std::max(0.0, v);
  Apply(HostOf(vm), *s);
  return Value();
}

Value GetVolume(Vm& vm, const CallArgs& c) {
  SoundObject* s = This(c);
  return s ? Value(TransformOf(HostOf(vm), *s).volume) : Value();
}

// Pan -100 (left only) to 100 (right only): the far side is turned down, nothing crosses over.
Value SetPan(Vm& vm, const CallArgs& c) {
  SoundObject* s = This(c);
  if (!s) return Value();
  double pan = vm.ToNumber(c.Arg(0));
  if (!std::isfinite(pan)) return Value();
  pan = std::clamp(pan, -100.0, 100.0);
  SoundTransform& t = TransformOf(HostOf(vm), *s);
  t.left_to_left = pan > 0 ? 100 - pan : 100;
  t.right_to_right = pan < 0 ? 100 + pan : 100;
  t.left_to_right = t.right_to_left = 0;
  Apply(HostOf(vm), *s);
  return Value();
}

Value GetPan(Vm& vm, const CallArgs& c) {
  SoundObject* s = This(c);
  if (!s) return Value();
  const SoundTransform& t = TransformOf(HostOf(vm), *s);
  return t.left_to_left < 100 ? 100 - t.left_to_left : t.right_to_right - 100;
}

Value SetTransform(Vm& vm, const CallArgs& c) {
  SoundObject* s = This(c);
  Object* from = c.Arg(0).AsObject();
  if (!s || !from) return Value();
  SoundTransform& t = TransformOf(HostOf(vm), *s);
  // Fields the object lacks keep their value.
  auto take = [&](const char* name, double& field) {
    const Value v = vm.GetMember(from, name);
    if (v.IsUndefined()) return;
    const double n = vm.ToNumber(v);
    if (std::isfinite(n)) field = n;
  };
  take("ll", t.left_to_left);
  take("lr", t.left_to_right);
  take("rl", t.right_to_left);
  take("rr", t.right_to_right);
  Apply(HostOf(vm), *s);
  return Value();
}

Value GetTransform(Vm& vm, const CallArgs& c) {
  SoundObject* s = This(c);
  if (!s) return Value();
  const SoundTransform& t = TransformOf(HostOf(vm), *s);
  Object* o = vm.NewObject();
  vm.SetMember(o, "ll", t.left_to_left);
  vm.SetMember(o, "lr", t.left_to_right);
  vm.SetMember(o, "rl", t.right_to_left);
  vm.SetMember(o, "rr", t.right_to_right);
  return o;
}

Value Duration(Vm& vm, const CallArgs& c) {
  SoundObject* s = This(c);
  ScriptHost& host = HostOf(vm);
  if (!s || !host.sound || !s->id) return Value();
  return std::round(host.sound->DurationMs(s->id));
}

Value Position(Vm& vm, const CallArgs& c) {
  SoundObject* s = This(c);
  ScriptHost& host = HostOf(vm);
  if (!s || !host.sound || !s->voice) return Value();
  return std::round(host.sound->PositionMs(s->voice));
}

// A local MP3 file becomes a sound of the movie; onLoad tells whether it could be read.
Value LoadSound(Vm& vm, const CallArgs& c) {
  SoundObject* s = This(c);
  ScriptHost& host = HostOf(vm);
  if (!s) return Value();
  std::string url = vm.ToString(c.Arg(0));
  if (url.rfind("file:///", 0) == 0) url = url.substr(8);
  bool ok = false;
  if (host.sound && url.find("://") == std::string::npos) {
    std::ifstream in(url, std::ios::binary);
    if (in) {
      auto bytes = std::make_unique<std::vector<uint8_t>>(std::istreambuf_iterator<char>(in),
                                                          std::istreambuf_iterator<char>());
      if (const auto id = host.sound->AddLoadedMp3(*bytes)) {
        StateOf(host).loaded.push_back(std::move(bytes));
        s->id = *id;
        ok = true;
        // A streaming load plays as soon as it is there.
        if (vm.ToBool(c.Arg(1))) Start(vm, CallArgs{s, {}, nullptr, false});
      }
    }
  }
  Value args[] = {Value(ok)};
  vm.CallMethodIfPresent(s, "onLoad", args);
  return Value();
}

}  // namespace

void InstallSoundClass(ScriptHost& host) {
  Vm& vm = host.vm();
  Object* proto = vm.NewObject();
  vm.DefineClass("Sound", Construct, Construct, proto);
  static constexpr std::pair<const char*, avm1::NativeFn> kMethods[] = {
      {"attachSound", AttachSound},
      {"start", Start},
      {"stop", StopSound},
      {"setVolume", SetVolume},
      {"getVolume", GetVolume},
      {"setPan", SetPan},
      {"getPan", GetPan},
      {"setTransform", SetTransform},
      {"getTransform", GetTransform},
      {"loadSound", LoadSound},
  };
  for (const auto& [name, fn] : kMethods) vm.DefineMethod(proto, name, fn);
  // Streaming sounds from files came with Flash 6.
  proto->FindOwn("loadSound", true)->flags |= avm1::prop_flag::kVersion6;
  auto getter = [&](const char* name, avm1::NativeFn fn) {
    avm1::Property& p = proto->SetOwn(name, Value(), vm.case_sensitive());
    p.virtual_property = true;
    p.getter = vm.NewNative(fn);
    p.flags = avm1::prop_flag::kDontEnum;
  };
  getter("duration", Duration);
  getter("position", Position);
}

void MarkSoundRoots(ScriptHost& host, avm1::Tracer& tracer) {
  if (!host.sound_scripting) return;
  for (const auto& [voice, object] : host.sound_scripting->playing) tracer.Mark(object);
  for (const auto& [target, transform] : host.sound_scripting->transforms) tracer.Mark(target);
}

void DispatchSoundCompletions(ScriptHost& host) {
  if (!host.sound || !host.sound_scripting) return;
  SoundScripting& state = *host.sound_scripting;
  // Voices stopped by a script never complete: they leave the list once the mixer let go. They
  // are looked for before the finished ones are taken, so that one ending in between is not
  // mistaken for a stopped one.
  std::vector<Mixer::VoiceId> gone;
  for (const auto& [voice, object] : state.playing) {
    if (!host.sound->mixer().Position(voice)) gone.push_back(voice);
  }
  std::vector<Object*> done;
  host.sound->DispatchCompletions([&](Mixer::VoiceId voice) {
    const auto found = state.playing.find(voice);
    if (found == state.playing.end()) return;
    done.push_back(found->second);
    state.playing.erase(found);
  });
  for (Mixer::VoiceId voice : gone) state.playing.erase(voice);
  for (Object* object : done) host.vm().CallMethodIfPresent(object, "onSoundComplete", {});
}

}  // namespace flashsaver
