#include "player/avm1/display/script_host.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <utility>

#include "player/avm1/builtins/machine_facts.h"
#include "player/avm1/display/bitmap_data_class.h"
#include "player/avm1/display/filter_classes.h"
#include "player/sound/sound_player.h"
#include "player/avm1/builtins/builtins.h"
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
  empty_bounds_rounded = movie.header.version >= 8;
  avm1::ScriptLimits limits;
  if (movie.max_recursion_depth) limits.max_recursion = *movie.max_recursion_depth;
  if (movie.script_timeout_seconds) limits.timeout_seconds = *movie.script_timeout_seconds;
  vm_->set_limits(limits);
  // The movie's bytes outlive the machine: an owner that frees nothing.
  code_owner_ = std::shared_ptr<const std::vector<uint8_t>>(std::shared_ptr<void>(), &movie.data);
  const double fps = movie.header.frame_rate.PerSecond();
  if (fps > 0) frame_ms_ = 1000.0 / fps;
  vm_->host_roots = [this](avm1::Tracer& t) { MarkRoots(t); };
  vm_->install_host_classes = [this] { InstallHostClasses(); };
  InstallHostClasses();
  list_.set_hooks(this);
}

void ScriptHost::InstallHostClasses() {
  InstallMovieClipClass(*this);
  InstallTextFieldClass(*this);
  InstallSoundClass(*this);
  InstallClipLoading(*this);
  InstallInputClasses(*this);
  InstallDrawingMethods(*this);
  InstallColorClass(*this);
  InstallTextSnapshotClass(*this);
  InstallSelectionClass(*this);
  InstallTransformClass(*this);
  InstallEffectProperties(*this);
  InstallBitmapDataClass(*this);
}

ScriptHost::~ScriptHost() {
  // What the movie kept in shared objects is saved when it ends, flush() or not.
  avm1::FlushSharedObjects(*vm_);
  // The list may outlive the host: its clips must not call back.
  list_.set_hooks(nullptr);
  std::vector<Clip*> stack = list_.Roots();
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
  MarkSoundRoots(*this, t);
  for (const Pending& p : init_queue_) t.Mark(p.clip);
  for (const Pending& p : queue_) t.Mark(p.clip);
  for (const auto& [name, ctor] : classes_) t.Mark(ctor);
  t.Mark(hovered_);
  t.Mark(dragged_);
  t.Mark(pressed_);
  for (const Pending& p : init_queue_) t.Mark(p.constructor);
  for (const Pending& p : queue_) t.Mark(p.constructor);
  for (const Load& l : loads_) {
    t.Mark(l.target.clip);
    t.Mark(l.loader);
  }
  // Every clip on the list keeps its object.
  std::vector<Clip*> stack = list_.Roots();
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
    Object* registered = RegisteredClass(clip);
    const char* builtin = IsButton(clip) ? "Button" : "MovieClip";
    // A clip takes the class of its own movie's built-ins, whoever asks first
    // (loadmovienum_cross_version_prototype).
    Object* global = vm_->GlobalFor(MovieOf(clip).header.version);
    Value proto = vm_->GetMember(
        registered ? registered : vm_->GetMember(global, builtin).AsObject(), "prototype");
    o->Define("__proto__", proto.IsObject() ? proto : Value(vm_->object_proto),
              avm1::prop_flag::kDontEnum);
    // The first level holds the player's version as a variable of its own.
    if (&clip == &list_.root()) o->SetOwn("$version", avm1::kPlayerVersion, true);
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
  UpdateDrag();
  RunLoads();
  UpdateBoundFields();
  vm_->ClearStack();
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
    if (p.constructor) {
      vm_->CallHandler(Value(p.constructor), p.clip, {});
    } else if (!p.code.empty()) {
      const int version = vm_->swf_version();
      if (p.version) vm_->set_swf_version(p.version);
      vm_->RunActions(p.owner ? p.owner : code_owner_, p.code, p.clip);
      vm_->set_swf_version(version);
    } else if (!p.method.empty()) {
      vm_->CallMethodIfPresent(p.clip, p.method, {});
    }
  }
}

void ScriptHost::Broadcast(uint32_t event, const char* method) {
  std::vector<Clip*> stack = list_.Roots();
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

void ScriptHost::KeyEvent(bool down, int key_code, int ascii) {
  if (key_code < 0 || key_code > 255) return;
  const auto bit = static_cast<size_t>(key_code);
  if (down) {
    if (!input.keys_down.test(bit)) input.keys_toggled.flip(bit);
    input.keys_down.set(bit);
    input.last_key = key_code;
    input.last_ascii = ascii;
  } else {
    input.keys_down.reset(bit);
  }
  Broadcast(down ? clip_event::kKeyDown : clip_event::kKeyUp, nullptr);
  if (down) ButtonKeys(key_code, ascii);
  Notify("Key", down ? "onKeyDown" : "onKeyUp");
  RunQueue();
}

void ScriptHost::MouseEvent(uint32_t event, const char* method) {
  if (event == clip_event::kMouseMove) UpdateDrag();
  Broadcast(event, method);
  PointerChanged(event == clip_event::kMouseMove,
                 event == clip_event::kMouseDown ? std::optional<bool>(true)
                 : event == clip_event::kMouseUp ? std::optional<bool>(false)
                                                 : std::nullopt);
  Notify("Mouse", method);
  RunQueue();
}

void ScriptHost::QueueEvent(Clip& clip, uint32_t event, const char* method) {
  Object* o = ObjectFor(clip);
  const bool removed = event == clip_event::kUnload;
  if (clip.owner && clip.owner->parent && !clip.owner->clip_actions.empty()) {
    // The actions belong to the timeline that placed the clip.
    const Clip& placer = *clip.owner->parent;
    for (const ClipAction& a :
         ReadClipActions(clip.owner->clip_actions, MovieOf(placer).header.version)) {
      if (a.events & event) {
        queue_.push_back(
            {o, CodeOwner(placer), a.code, {}, removed, nullptr, MovieOf(placer).header.version});
      }
    }
  }
  if (method) queue_.push_back({o, nullptr, {}, method, removed});
}

const MovieDefinition& ScriptHost::MovieOf(const Clip& clip) {
  // Every clip of the list has its movie; the fallback only serves a detached clip.
  static const MovieDefinition kNone(0);
  return clip.movie ? *clip.movie : kNone;
}

std::shared_ptr<const std::vector<uint8_t>> ScriptHost::CodeOwner(const Clip& clip) const {
  if (!clip.movie) return code_owner_;
  return std::shared_ptr<const std::vector<uint8_t>>(clip.movie, &clip.movie->data);
}

Clip& ScriptHost::MovieRoot(Clip& clip) {
  Clip* c = &clip;
  while (c->owner && c->owner->parent && c->owner->parent->movie == clip.movie) {
    c = c->owner->parent;
  }
  return *c;
}

void ScriptHost::ClipPlaced(Clip& clip) {
  // A timeline's clip of a registered class is constructed before the frame's scripts run;
  // attachMovie constructs its own at once.
  if (!clip.owner || clip.owner->scripted) return;
  // onClipEvent(construct), then onClipEvent(initialize), come before the class constructor
  // and before any frame script: the clip's handlers that set it up run first.
  if (clip.owner->parent && !clip.owner->clip_actions.empty()) {
    const Clip& placer = *clip.owner->parent;
    const int version = MovieOf(placer).header.version;
    const std::vector<ClipAction> actions = ReadClipActions(clip.owner->clip_actions, version);
    for (const uint32_t event : {clip_event::kConstruct, clip_event::kInitialize}) {
      for (const ClipAction& a : actions) {
        if (a.events & event) {
          init_queue_.push_back(
              {ObjectFor(clip), CodeOwner(placer), a.code, {}, false, nullptr, version});
        }
      }
    }
  }
  if (Object* ctor = RegisteredClass(clip)) {
    init_queue_.push_back({ObjectFor(clip), nullptr, {}, {}, false, ctor});
  }
}

bool ScriptHost::IsButton(const Clip& clip) {
  return clip.owner && clip.owner->character &&
         clip.owner->character->type() == CharacterType::kButton;
}

const char* ScriptHost::ClipTypeOf(Object* obj) {
  const Clip* clip = ClipOf(obj);
  return clip && IsButton(*clip) ? "object" : "movieclip";
}

bool ScriptHost::RegisterClass(std::string_view name, Object* ctor) {
  for (auto it = classes_.begin(); it != classes_.end(); ++it) {
    if (avm1::NamesEqual(it->first, name, false)) {
      if (ctor) {
        it->second = ctor;
      } else {
        classes_.erase(it);
      }
      return true;
    }
  }
  if (ctor) classes_.emplace_back(std::string(name), ctor);
  return true;
}

Object* ScriptHost::RegisteredClass(const Clip& clip) {
  if (classes_.empty() || !clip.owner || !clip.owner->parent || !clip.timeline) return nullptr;
  // The symbol's export names in the movie that made the clip.
  for (const auto& [name, id] : MovieOf(*clip.owner->parent).exports) {
    if (id != clip.owner->character_id) continue;
    for (const auto& [registered, ctor] : classes_) {
      if (avm1::NamesEqual(registered, name, false)) return ctor;
    }
  }
  return nullptr;
}

void ScriptHost::Construct(Clip& clip) {
  if (Object* ctor = RegisteredClass(clip)) {
    // Built as `new` builds: the object learns its constructor first.
    Object* o = ObjectFor(clip);
    o->Define("__constructor__", ctor, avm1::prop_flag::kDontEnum);
    if (vm_->swf_version() < 7) o->Define("constructor", ctor, avm1::prop_flag::kDontEnum);
    vm_->CallHandler(Value(ctor), o, {});
    return;
  }
  // A clip of no class of its own runs the onConstruct its prototype offers; what it throws
  // is reported and goes no further (movieclip_onconstruct).
  vm_->CallMethodIfPresent(ObjectFor(clip), "onConstruct", {});
}

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
  if (f.init_actions.empty() && f.actions.empty() && f.imported_init_actions.empty()) return;
  Object* o = ObjectFor(clip);
  auto owner = CodeOwner(clip);
  const int version = MovieOf(clip).header.version;
  // Init scripts run once per movie, before any frame script, with its root as their target.
  for (std::span<const uint8_t> body : f.init_actions) {
    if (body.size() < 2) continue;
    const uint16_t id = static_cast<uint16_t>(body[0] | body[1] << 8);
    if (!done_init_.insert({clip.movie.get(), id}).second) continue;
    init_queue_.push_back(
        {ObjectFor(MovieRoot(clip)), owner, body.subspan(2), {}, false, nullptr, version});
  }
  // An imported symbol's init script runs once, in its library's version, on this root.
  for (const ImportedInitAction& init : f.imported_init_actions) {
    const uint16_t id = static_cast<uint16_t>(init.body[0] | init.body[1] << 8);
    if (!done_init_.insert({init.library.get(), id}).second) continue;
    init_queue_.push_back(
        {ObjectFor(MovieRoot(clip)),
         std::shared_ptr<const std::vector<uint8_t>>(init.library, &init.library->data),
         init.body.subspan(2),
         {},
         false,
         nullptr,
         init.library->header.version});
  }
  for (std::span<const uint8_t> body : f.actions) {
    queue_.push_back({o, owner, body, {}, false, nullptr, version});
  }
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
  // every frame as loaded, even past the last, up to its limit of 16000 frames
  // (waitforframe2).
  constexpr uint32_t kLastLoadableIndex = 16000;
  return clip && clip->timeline && frame <= kLastLoadableIndex;
}

void ScriptHost::CloneClip(Object* obj, std::string_view name, int32_t depth) {
  Clip* clip = ClipOf(obj);
  if (!clip) {
    CloneTextField(obj, name, depth);
    return;
  }
  if (!clip->owner || !clip->owner->parent) return;
  // Taken before the copy is placed: a copy at the source's own depth replaces the source.
  const DisplayObject& source = *clip->owner;
  Clip& parent = *source.parent;
  const uint16_t character_id = source.character_id;
  const Matrix matrix = source.matrix;
  const ColorTransform color = source.color;
  const bool visible = source.visible;
  const std::span<const uint8_t> clip_actions = source.clip_actions;
  const bool has_script_transform = source.has_script_transform;
  const double xscale = source.script_xscale, yscale = source.script_yscale;
  const double rotation = source.script_rotation;
  const bool snapshot_moved = clip->snapshot_moved;
  const bool replaces_source = source.depth == depth + kDepthOffset;
  DisplayObject* copy =
      list_.AddScripted(parent, character_id, depth + kDepthOffset, std::string(name));
  if (!copy) return;
  copy->matrix = matrix;
  copy->color = color;
  copy->visible = visible;
  copy->clip_actions = clip_actions;
  copy->has_script_transform = has_script_transform;
  copy->script_xscale = xscale;
  copy->script_yscale = yscale;
  copy->script_rotation = rotation;
  if (copy->clip) {
    copy->clip->snapshot_moved = snapshot_moved;
    if (!replaces_source) clip->snapshot_moved = true;
  }
}

void ScriptHost::RemoveClip(Object* obj) {
  Clip* clip = ClipOf(obj);
  if (!clip || !clip->owner || !clip->owner->parent) return;
  // Only depths a script may use (0 and up) can be removed by script.
  const int32_t depth = clip->owner->depth;
  if (depth < kDepthOffset || depth >= kDepthOffset + 2130690045) return;
  clip->owner->parent->children.erase(depth);
}

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

std::vector<std::string> ScriptHost::ClipChildNames(Object* obj) {
  std::vector<std::string> names;
  Clip* clip = ClipOf(obj);
  if (!clip) return names;
  for (auto it = clip->children.rbegin(); it != clip->children.rend(); ++it) {
    const DisplayObject& child = *it->second;
    if (!child.name.empty() && (child.clip || child.text)) names.push_back(child.name);
  }
  return names;
}

Object* ScriptHost::Level(int32_t level) {
  Clip* clip = list_.LevelClip(level);
  return clip ? ObjectFor(*clip) : nullptr;
}

Object* ScriptHost::Parent(Object* obj) {
  Clip* clip = ClipOf(obj);
  if (!clip || !clip->owner || !clip->owner->parent) return nullptr;
  return ObjectFor(*clip->owner->parent);
}

std::string ScriptHost::SharedObjectFolder() {
  if (shared_object_folder.empty()) return {};
  // The movie's file name, made safe as a folder name, keeps movies apart.
  std::string movie = url.substr(url.find_last_of("/\\") + 1);
  for (char& c : movie) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') c = '_';
  }
  if (movie.empty() || movie[0] == '.') movie.insert(0, "movie");
  return shared_object_folder + "/" + movie;
}

bool ScriptHost::IsTextField(Object* obj) {
  return obj && obj->kind() == avm1::ObjectKind::kOther && dynamic_cast<TextFieldObject*>(obj);
}

std::string ScriptHost::ClipPath(Object* obj, bool dot_syntax) {
  Clip* clip = ClipOf(obj);
  std::vector<const std::string*> names;
  // A text field: its parent's path and its own name.
  if (auto* t = IsTextField(obj) ? static_cast<TextFieldObject*>(obj) : nullptr) {
    if (!t->field || !t->field->parent) return std::string();
    names.push_back(&t->field->name);
    clip = t->field->parent;
  }
  Clip* top = clip;
  for (Clip* c = clip; c && c->owner && c->owner->parent; c = c->owner->parent) {
    names.push_back(&c->owner->name);
    top = c->owner->parent;
  }
  // A level's root has an owner with no parent, its depth the level number.
  const int32_t level = top && top->owner ? top->owner->depth : 0;
  std::string path = dot_syntax || level ? "_level" + std::to_string(level) : "";
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    path += dot_syntax ? "." : "/";
    path += **it;
  }
  if (path.empty()) path.push_back('/');  // not = "/": mingw g++ 12 warns falsely there
  return path;
}

void ScriptHost::GetUrl(std::string_view url, std::string_view target, int flags) {
  // getURL to "_levelN", or loadMovie (flag 0x40: the target names a clip), loads a movie;
  // other getURL calls open pages, which the show never does.
  constexpr int kTargetIsClip = 0x40, kLoadVariables = 0x80;
  if (flags & kLoadVariables) return;
  const bool level = target.size() > 6 && avm1::NamesEqual(target.substr(0, 6), "_level", false);
  if (!level && !(flags & kTargetIsClip)) return;
  if (const auto where = ResolveLoadTarget(Value(std::string(target)))) {
    RequestLoad(*where, std::string(url), nullptr);
  }
}

void ScriptHost::StopAllSounds() {
  if (sound) sound->StopAll();
}

void ScriptHost::FsCommand(std::string_view command, std::string_view) {
  if (avm1::NamesEqual(command, "quit", false)) quit_ = true;
}

}  // namespace flashsaver
