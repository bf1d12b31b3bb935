#include "player/display/script_host.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "player/swf/byte_reader.h"

namespace flashsaver {

using avm1::Object;
using avm1::Value;

std::vector<ClipAction> ReadClipActions(std::span<const uint8_t> record, uint8_t swf_version) {
  std::vector<ClipAction> actions;
  ByteReader r(record);
  const bool wide = swf_version >= 6;
  r.U16();  // reserved
  if (wide) {
    r.U32();
  } else {
    r.U16();
  }
  while (r.ok() && r.remaining() > 0) {
    const uint32_t events = wide ? r.U32() : r.U16();
    if (!r.ok() || events == 0) break;
    uint32_t size = r.U32();
    if (!r.ok() || size > r.remaining()) break;
    size_t start = r.offset();
    if (events & (1u << 17)) {  // key press: a key code before the actions
      r.U8();
      if (size == 0) break;
      --size;
      ++start;
    }
    actions.push_back({events, record.subspan(start, size)});
    r.Skip(size);
  }
  return actions;
}

ScaleRotation Decompose(const Matrix& m) {
  ScaleRotation s;
  const double rx = std::atan2(m.b, m.a);
  const double ry = std::atan2(-m.c, m.d);
  s.xscale = std::hypot(m.a, m.b) * 100;
  s.yscale = std::hypot(m.c, m.d) * 100;
  s.rotation = rx * 180 / std::numbers::pi;
  s.skew = ry - rx;
  return s;
}

Matrix Recompose(const ScaleRotation& s, double tx, double ty) {
  const double rx = s.rotation * std::numbers::pi / 180;
  const double ry = rx + s.skew;
  const double sx = s.xscale / 100, sy = s.yscale / 100;
  return {sx * std::cos(rx), sx * std::sin(rx), -sy * std::sin(ry), sy * std::cos(ry), tx, ty};
}

ScriptHost::ScriptHost(const MovieDefinition& movie, DisplayList& list)
    : movie_(movie), list_(list) {
  vm_ = std::make_unique<avm1::Vm>(*this, movie.header.version);
  avm1::ScriptLimits limits;
  if (movie.max_recursion_depth) limits.max_recursion = *movie.max_recursion_depth;
  if (movie.script_timeout_seconds) limits.timeout_seconds = *movie.script_timeout_seconds;
  vm_->set_limits(limits);
  // The movie's bytes outlive the machine: an owner that frees nothing.
  code_owner_ = std::shared_ptr<const std::vector<uint8_t>>(std::shared_ptr<void>(), &movie.data);
  const double fps = movie.header.frame_rate.PerSecond();
  if (fps > 0) frame_ms_ = 1000.0 / fps;
  vm_->host_roots = [this](avm1::Tracer& t) { MarkRoots(t); };
  InstallMovieClipClass(*this);
  InstallTextFieldClass(*this);
  list_.set_hooks(this);
}

ScriptHost::~ScriptHost() {
  // The list may outlive the host: its clips must not call back.
  list_.set_hooks(nullptr);
  std::vector<Clip*> stack{&list_.root()};
  while (!stack.empty()) {
    Clip* c = stack.back();
    stack.pop_back();
    c->hooks = nullptr;
    c->script = nullptr;
    for (auto& [depth, child] : c->children) {
      if (child->clip) stack.push_back(child->clip.get());
    }
  }
}

void ScriptHost::MarkRoots(avm1::Tracer& t) {
  for (const Pending& p : init_queue_) t.Mark(p.clip);
  for (const Pending& p : queue_) t.Mark(p.clip);
  // Every clip on the list keeps its object.
  std::vector<Clip*> stack{&list_.root()};
  while (!stack.empty()) {
    Clip* c = stack.back();
    stack.pop_back();
    t.Mark(c->script);
    for (auto& [depth, child] : c->children) {
      if (child->clip) stack.push_back(child->clip.get());
      t.Mark(child->text_script);
    }
  }
}

ClipObject* ScriptHost::ObjectFor(Clip& clip) {
  if (!clip.script) {
    auto* o = vm_->New<ClipObject>();
    o->clip = &clip;
    Value proto =
        vm_->GetMember(vm_->GetMember(vm_->global(), "MovieClip").AsObject(), "prototype");
    o->Define("__proto__", proto.IsObject() ? proto : Value(vm_->object_proto),
              avm1::prop_flag::kDontEnum);
    clip.script = o;
  }
  return static_cast<ClipObject*>(clip.script);
}

Clip* ScriptHost::ClipOf(Object* obj) {
  if (!obj || obj->kind() != avm1::ObjectKind::kClip) return nullptr;
  return static_cast<ClipObject*>(obj)->clip;
}

void ScriptHost::Tick() {
  ++ticks_;
  list_.AdvanceFrame();
  RunQueue();
  vm_->RunTimers();
  RunQueue();
  UpdateBoundFields();
  vm_->MaybeCollect();
}

void ScriptHost::RunQueue() {
  // Scripts queue more (gotos, new clips); a bound keeps a goto loop from running forever.
  for (int guard = 0; guard < 100000 && !quit_; ++guard) {
    std::deque<Pending>& q = !init_queue_.empty() ? init_queue_ : queue_;
    if (q.empty()) break;
    Pending p = std::move(q.front());
    q.pop_front();
    if (!p.even_if_removed && !ClipOf(p.clip)) continue;
    if (!p.code.empty()) {
      vm_->RunActions(code_owner_, p.code, p.clip);
    } else if (!p.method.empty()) {
      vm_->CallMethodIfPresent(p.clip, p.method, {});
    }
  }
}

void ScriptHost::Broadcast(uint32_t event, const char* method) {
  std::vector<Clip*> stack{&list_.root()};
  while (!stack.empty()) {
    Clip* c = stack.back();
    stack.pop_back();
    QueueEvent(*c, event, method);
    for (auto& [depth, child] : c->children) {
      if (child->clip) stack.push_back(child->clip.get());
    }
  }
  RunQueue();
}

void ScriptHost::QueueEvent(Clip& clip, uint32_t event, const char* method) {
  Object* o = ObjectFor(clip);
  const bool removed = event == clip_event::kUnload;
  if (clip.owner && !clip.owner->clip_actions.empty()) {
    for (const ClipAction& a : ReadClipActions(clip.owner->clip_actions, movie_.header.version)) {
      if (a.events & event) queue_.push_back({o, a.code, {}, removed});
    }
  }
  if (method) queue_.push_back({o, {}, method, removed});
}

void ScriptHost::ClipPlaced(Clip& clip) { (void)clip; }

void ScriptHost::ClipLoaded(Clip& clip) { QueueEvent(clip, clip_event::kLoad, "onLoad"); }

void ScriptHost::ClipRemoved(Clip& clip) {
  if (!clip.script) {
    if (!clip.owner || clip.owner->clip_actions.empty()) return;
  }
  QueueEvent(clip, clip_event::kUnload, "onUnload");
  static_cast<ClipObject*>(clip.script)->clip = nullptr;
  clip.script = nullptr;
}

void ScriptHost::ClipEnterFrame(Clip& clip) {
  QueueEvent(clip, clip_event::kEnterFrame, "onEnterFrame");
}

void ScriptHost::FrameRan(Clip& clip, int32_t frame) {
  if (!clip.timeline || frame < 0 || static_cast<size_t>(frame) >= clip.timeline->frames.size()) {
    return;
  }
  const Frame& f = clip.timeline->frames[static_cast<size_t>(frame)];
  if (f.init_actions.empty() && f.actions.empty()) return;
  Object* o = ObjectFor(clip);
  // Init scripts run once, before any frame script, with the root as their target.
  for (std::span<const uint8_t> body : f.init_actions) {
    if (body.size() < 2) continue;
    const uint16_t id = static_cast<uint16_t>(body[0] | body[1] << 8);
    if (!done_init_.insert(id).second) continue;
    init_queue_.push_back({ObjectFor(list_.root()), body.subspan(2), {}, false});
  }
  for (std::span<const uint8_t> body : f.actions) queue_.push_back({o, body, {}, false});
}

void ScriptHost::Trace(std::string_view line) {
  if (trace_output) trace_output(line);
}

double ScriptHost::Random() { return std::uniform_real_distribution<double>(0, 1)(random_); }

void ScriptHost::GotoFrame(Object* obj, uint32_t frame, bool play) {
  Clip* clip = ClipOf(obj);
  if (!clip || !clip->timeline) return;
  clip->playing = play;
  const auto frames = static_cast<int32_t>(clip->timeline->frames.size());
  const int32_t target = std::min<int64_t>(frame, frames - 1);
  if (target == clip->current_frame) return;
  list_.GotoClip(*clip, target);
}

bool ScriptHost::GotoLabel(Object* obj, std::string_view label, bool play) {
  Clip* clip = ClipOf(obj);
  if (!clip || !clip->timeline) return false;
  for (const auto& [name, frame] : clip->timeline->labels) {
    if (avm1::NamesEqual(name, label, false)) {
      GotoFrame(obj, static_cast<uint32_t>(frame), play);
      return true;
    }
  }
  return false;
}

void ScriptHost::Play(Object* obj) {
  if (Clip* clip = ClipOf(obj)) clip->playing = true;
}

void ScriptHost::Stop(Object* obj) {
  if (Clip* clip = ClipOf(obj)) clip->playing = false;
}

void ScriptHost::NextFrame(Object* obj) {
  if (Clip* clip = ClipOf(obj)) {
    clip->playing = false;
    list_.StepClip(*clip, 1);
  }
}

void ScriptHost::PrevFrame(Object* obj) {
  if (Clip* clip = ClipOf(obj)) {
    clip->playing = false;
    list_.StepClip(*clip, -1);
  }
}

bool ScriptHost::FrameLoaded(Object* obj, uint32_t frame) {
  Clip* clip = ClipOf(obj);
  // Movies are read whole before they play, and for a fully loaded movie the player counts
  // every frame as loaded, even past the last (waitforframe2).
  (void)frame;
  return clip && clip->timeline;
}

void ScriptHost::CloneClip(Object* obj, std::string_view name, int32_t depth) {
  Clip* clip = ClipOf(obj);
  if (!clip || !clip->owner || !clip->owner->parent) return;
  DisplayObject& source = *clip->owner;
  DisplayObject* copy = list_.AddScripted(*source.parent, source.character_id, depth + kDepthOffset,
                                          std::string(name));
  if (!copy) return;
  copy->matrix = source.matrix;
  copy->color = source.color;
  copy->visible = source.visible;
  copy->clip_actions = source.clip_actions;
  copy->has_script_transform = source.has_script_transform;
  copy->script_xscale = source.script_xscale;
  copy->script_yscale = source.script_yscale;
  copy->script_rotation = source.script_rotation;
}

void ScriptHost::RemoveClip(Object* obj) {
  Clip* clip = ClipOf(obj);
  if (!clip || !clip->owner || !clip->owner->parent) return;
  // Only depths a script may use (0 and up) can be removed by script.
  const int32_t depth = clip->owner->depth;
  if (depth < kDepthOffset || depth >= kDepthOffset + 2130690045) return;
  clip->owner->parent->children.erase(depth);
}

void ScriptHost::StartDrag(Object*, bool, const double*) {}
void ScriptHost::StopDrag() {}

Object* ScriptHost::ClipChild(Object* obj, std::string_view name) {
  Clip* clip = ClipOf(obj);
  if (!clip) return nullptr;
  const bool cs = vm_->case_sensitive();
  for (auto& [depth, child] : clip->children) {
    if (!child->name.empty() && avm1::NamesEqual(child->name, name, cs)) {
      if (child->clip) return ObjectFor(*child->clip);
      if (child->text) return TextObjectFor(*child);
    }
  }
  return nullptr;
}

Object* ScriptHost::Level(int32_t level) { return level == 0 ? ObjectFor(list_.root()) : nullptr; }

Object* ScriptHost::Parent(Object* obj) {
  Clip* clip = ClipOf(obj);
  if (!clip || !clip->owner || !clip->owner->parent) return nullptr;
  return ObjectFor(*clip->owner->parent);
}

std::string ScriptHost::ClipPath(Object* obj, bool dot_syntax) {
  Clip* clip = ClipOf(obj);
  std::vector<const std::string*> names;
  for (Clip* c = clip; c && c->owner && c->owner->parent; c = c->owner->parent) {
    names.push_back(&c->owner->name);
  }
  std::string path = dot_syntax ? "_level0" : "";
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    path += dot_syntax ? "." : "/";
    path += **it;
  }
  if (path.empty()) path.push_back('/');  // not = "/": mingw g++ 12 warns falsely there
  return path;
}

void ScriptHost::GetUrl(std::string_view, std::string_view, int) {}

void ScriptHost::FsCommand(std::string_view command, std::string_view) {
  if (avm1::NamesEqual(command, "quit", false)) quit_ = true;
}

}  // namespace flashsaver
