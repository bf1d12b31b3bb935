#include "player/display/as3_host.h"

#include <algorithm>

#include "player/avm2/abc_tags.h"
#include "player/avm2/builtins/builtins.h"
#include "player/avm2/builtins/timers.h"
#include "player/avm2/builtins/xml_support.h"
#include "player/avm2/display/display_node.h"
#include "player/display/display_list.h"
#include "player/display/movie_definition.h"
#include "player/swf/tag_codes.h"

namespace flashsaver {

bool IsAs3Movie(const MovieDefinition& movie) {
  return movie.header.version >= 9 && (movie.file_attributes & 0x08) != 0;
}

As3Host::As3Host(const MovieDefinition& movie, DisplayList& list,
                 const std::function<void(std::string_view)>& trace,
                 const std::function<bool()>& interrupt)
    : movie_(movie), list_(list), vm_(std::make_unique<avm2::Vm>()) {
  vm_->trace_output = [&trace](std::string_view line) {
    if (trace) trace(line);
  };
  vm_->interrupt = [&interrupt] { return interrupt && interrupt(); };
  vm_->display_host = this;
  this->list = &list;
  vm_->host_roots = [this](avm2::Tracer& t) {
    avm2::MarkTree(t, list_.root());
    avm2::MarkTree(t, list_.stage_clip());
  };
  avm2::ScriptLimits limits;
  if (movie.max_recursion_depth)
    limits.max_recursion = std::clamp<int>(*movie.max_recursion_depth, 16, 256);
  if (movie.script_timeout_seconds && *movie.script_timeout_seconds > 0)
    limits.timeout_seconds = std::min<double>(*movie.script_timeout_seconds, 15);
  vm_->set_limits(limits);
  avm2::SetXmlSwfVersion(*vm_, movie.header.version);
  avm2::ApplySwfVersionGates(*vm_, movie.header.version);
  avm2::SetSandboxType(*vm_, (movie.file_attributes & 0x01) != 0);  // FileAttributes UseNetwork
}

As3Host::~As3Host() {
  // The list outlives the machine: its nodes forget their objects, and nothing calls back.
  closing_ = true;
  list_.set_hooks(nullptr);
  std::vector<Clip*> stack = list_.Roots();
  stack.push_back(&list_.stage_clip());
  while (!stack.empty()) {
    Clip* c = stack.back();
    stack.pop_back();
    c->hooks = nullptr;
    for (auto& [depth, child] : c->children) {
      child->script3 = nullptr;
      if (child->clip) stack.push_back(child->clip.get());
    }
  }
  vm_.reset();
}

void As3Host::LoadFrameCode(int32_t frame) {
  // A jump past frames runs their code too, in frame order.
  frame = std::min(frame, static_cast<int32_t>(movie_.root.frames.size()) - 1);
  while (loaded_up_to_ < frame) {
    ++loaded_up_to_;
    for (const auto& [code, body] :
         movie_.root.frames[static_cast<size_t>(loaded_up_to_)].abc_blocks) {
      if (code == swf_tag::kDoAbc) {
        std::optional<avm2::DoAbcTag> tag = avm2::ReadDoAbcTag(body);
        if (tag) vm_->LoadAbc(tag->abc, (tag->flags & avm2::DoAbcTag::kLazyInitialize) != 0);
      } else {
        vm_->LoadAbc(avm2::ReadDoAbcOldTag(body).abc, false);
      }
    }
  }
}

std::string As3Host::SymbolClassOf(const Clip& placer, uint16_t character_id) {
  if (placer.movie.get() != &movie_) return {};
  for (const auto& [id, name] : movie_.symbol_classes)
    if (id == character_id && id != 0) return name;
  return {};
}

int32_t As3Host::SymbolOfClass(const std::string& qualified) {
  std::string dotted = qualified;
  if (const size_t colons = dotted.rfind("::"); colons != std::string::npos)
    dotted.replace(colons, 2, ".");
  for (const auto& [id, name] : movie_.symbol_classes)
    if (id != 0 && (name == dotted || name == qualified)) return id;
  return -1;
}

void As3Host::GotoClip(Clip& clip, int32_t frame) {
  if (&clip == &list_.root()) {
    if (frame != clip.current_frame) list_.GotoFrame(frame);
  } else {
    list_.GotoClip(clip, frame);
  }
  // The objects a jump places are made at once, as Flash makes them.
  LoadFrameCode(list_.root().current_frame);
  ConstructPlaced();
}

void As3Host::ClipLoaded(Clip& clip) {
  if (!closing_ && clip.owner && !clip.owner->scripted) placed_.push_back(&clip);
}

void As3Host::ClipRemoved(Clip& clip) {
  if (closing_) return;
  std::erase(placed_, &clip);
  std::erase(due_, &clip);
  std::erase(running_, &clip);
}

void As3Host::FrameRan(Clip& clip, int32_t) {
  if (closing_) return;
  if (std::find(due_.begin(), due_.end(), &clip) == due_.end()) due_.push_back(&clip);
}

void As3Host::NodeGone(DisplayObject& node) {
  if (closing_) return;
  if (auto* o = dynamic_cast<avm2::NodeObject*>(node.script3)) {
    o->node = nullptr;
    o->parent = nullptr;
  }
  node.script3 = nullptr;
}

// The player's own names (instance1...) are no instance names: no property gets them.
bool IsInstanceName(const std::string& name) {
  if (name.empty()) return false;
  if (name.rfind("instance", 0) != 0 || name.size() == 8) return true;
  return name.find_first_not_of("0123456789", 8) != std::string::npos;
}

void As3Host::SetNamed(avm2::Object* parent, const DisplayObject& child) {
  if (!parent || child.scripted || !IsInstanceName(child.name)) return;
  avm2::Object* object = avm2::ScriptObjectOf(*vm_, const_cast<DisplayObject&>(child));
  if (!object) return;
  vm_->RunGuarded([&] {
    vm_->SetProperty(avm2::Value(parent), child.name, avm2::Value(object));
    return avm2::Value();
  });
}

void As3Host::SetNamedChildren(Clip& clip, avm2::Object* object) {
  std::vector<DisplayObject*> named;
  for (DisplayObject* child : clip.order) named.push_back(child);
  for (DisplayObject* child : named) SetNamed(object, *child);
}

void As3Host::ConstructPlaced() {
  // Children come before their parents; constructors may place more (gotos), which join the
  // end. ClipRemoved takes removed clips out of the queue.
  for (size_t guard = 0; guard < 4 * kMaxDisplayObjects && !placed_.empty(); ++guard) {
    Clip* clip = placed_.front();
    placed_.erase(placed_.begin());
    DisplayObject* node = clip->owner;
    if (!node) continue;
    avm2::Object* object = avm2::ScriptObjectOf(*vm_, *node);
    auto* o = dynamic_cast<avm2::NodeObject*>(object);
    if (!o) continue;
    SetNamedChildren(*clip, object);
    if (node->parent) SetNamed(avm2::ScriptObjectOfClip(*vm_, *node->parent), *node);
    vm_->RunGuarded([&] {
      vm_->ConstructInto(object->cls(), object, {});
      return avm2::Value();
    });
    if (o->node && o->node->parent) {
      vm_->RunGuarded([&] {
        avm2::SendDisplayEvent(*vm_, object, "added", true);
        if (o->node && avm2::OnStage(*vm_, o->node->parent))
          avm2::SendDisplayEvent(*vm_, object, "addedToStage", false);
        return avm2::Value();
      });
    }
  }
}

void As3Host::AllocateRoot() {
  std::string name = "flash.display::MovieClip";
  for (const auto& entry : movie_.symbol_classes) {
    if (entry.first == 0) name = entry.second;
  }
  vm_->RunGuarded([&] {
    avm2::ClassObject* cls = vm_->FindClass(name);
    if (!cls) return avm2::Value();
    // Flash links only a Sprite to the root; other classes ran their scripts but get no root.
    if (avm2::ClassObject* sprite = vm_->FindClass("flash.display::Sprite");
        sprite && !cls->IsSubclassOf(sprite) && cls != sprite) {
      vm_->Trace("TypeError: Error #2023: Class " + cls->qualified +
                 "$ must inherit from Sprite to link to the root.");
      return avm2::Value();
    }
    if (avm2::ClassObject* stage_cls = vm_->FindClass("flash.display::Stage"))
      vm_->display_stage = vm_->CreateInstance(stage_cls);
    binding_clip = &list_.root();
    avm2::Object* root = vm_->CreateInstance(cls);
    binding_clip = nullptr;
    vm_->display_root = root;
    if (auto* o = dynamic_cast<avm2::NodeObject*>(root)) o->name = avm2::Str(u"root1");
    if (auto* d = dynamic_cast<avm2::DispatcherObject*>(root)) d->parent = vm_->display_stage;
    return avm2::Value();
  });
}

void As3Host::ConstructRoot() {
  avm2::Object* root = vm_->display_root;
  if (!root) return;
  vm_->RunGuarded([&] {
    // The children of the first frame are there before the constructor runs.
    for (DisplayObject* child : std::vector<DisplayObject*>(list_.root().order)) {
      if (auto* o = dynamic_cast<avm2::NodeObject*>(avm2::ScriptObjectOf(*vm_, *child)))
        o->parent = root;
    }
    SetNamedChildren(list_.root(), root);
    vm_->ConstructInto(root->cls(), root, {});
    return avm2::Value();
  });
  vm_->RunGuarded([&] {
    avm2::SendDisplayEvent(*vm_, root, "added", true);
    avm2::SendDisplayEvent(*vm_, root, "addedToStage", false);
    return avm2::Value();
  });
}

void As3Host::RunFrameScript(Clip& clip) {
  auto* o = dynamic_cast<avm2::NodeObject*>(avm2::ScriptObjectOfClip(*vm_, clip));
  if (!o) return;
  for (const auto& [f, fn] : o->frame_scripts) {
    if (f != clip.current_frame) continue;
    avm2::Value script = fn;
    vm_->RunGuarded([&] { return vm_->Call(script, avm2::Value(o), {}); });
    return;
  }
}

void As3Host::RunFrameScripts() {
  // Parents before children, in child order; a script's jump makes its target's script due,
  // which runs in a further pass, a bounded number of times.
  for (int pass = 0; pass < 16 && !due_.empty(); ++pass) {
    running_.clear();
    std::vector<Clip*> stack = {&list_.stage_clip(), &list_.root()};
    while (!stack.empty() && running_.size() < kMaxDisplayObjects) {
      Clip* c = stack.back();
      stack.pop_back();
      if (std::find(due_.begin(), due_.end(), c) != due_.end()) running_.push_back(c);
      for (auto it = c->order.rbegin(); it != c->order.rend(); ++it)
        if ((*it)->clip) stack.push_back((*it)->clip.get());
    }
    due_.clear();
    // ClipRemoved takes clips that earlier scripts removed out of running_.
    for (size_t i = 0; i < running_.size(); ++i) RunFrameScript(*running_[i]);
    running_.clear();
  }
}

void As3Host::Broadcast(const char* type) { avm2::BroadcastEvent(*vm_, type); }

void As3Host::RunFrame() {
  LoadFrameCode(list_.root().current_frame);
  if (!started_) {
    started_ = true;
    AllocateRoot();
    ConstructPlaced();
    ConstructRoot();
  } else {
    Broadcast("enterFrame");
    ConstructPlaced();
  }
  Broadcast("frameConstructed");
  RunFrameScripts();
  ConstructPlaced();
  Broadcast("exitFrame");
  if (render_requested) {
    render_requested = false;
    Broadcast("render");
  }
  // Timers fire between frames: those due before the next frame runs, after this one's scripts.
  double rate = FrameRate();
  avm2::RunDueTimers(*vm_, clock_ms_ + (rate > 0 ? 1000.0 / rate : 0));
  vm_->MaybeCollect();
}
int32_t As3Host::CurrentFrame() { return std::max(0, list_.root().current_frame); }
int32_t As3Host::TotalFrames() { return list_.root_frames(); }
bool As3Host::Playing() { return list_.root().playing; }
void As3Host::SetPlaying(bool playing) { list_.root().playing = playing; }
void As3Host::GotoFrame(int32_t frame) {
  frame = std::clamp(frame, 0, std::max(0, list_.root_frames() - 1));
  if (frame != list_.root().current_frame) list_.GotoFrame(frame);
}
int32_t As3Host::FrameOfLabel(const std::string& label) {
  auto it = movie_.root.labels.find(label);
  return it == movie_.root.labels.end() ? -1 : it->second;
}
double As3Host::StageWidth() { return movie_.header.stage.Width().value / 20.0; }
double As3Host::StageHeight() { return movie_.header.stage.Height().value / 20.0; }
double As3Host::FrameRate() { return movie_.header.frame_rate.PerSecond(); }

bool As3Host::SymbolBitmap(avm2::ClassObject* cls, Picture& out) {
  // The class itself or the nearest base class a SymbolClass entry links to a library symbol.
  for (avm2::ClassObject* c = cls; c; c = c->super) {
    for (const auto& [id, name] : movie_.symbol_classes) {
      if (id == 0 || (name != c->qualified && vm_->FindClass(name) != c)) continue;
      // A bitmap that cannot be decoded (a zero size, say) gives an empty bitmap, as in Flash.
      const Picture* picture = movie_.library.FindBitmap(id);
      out = picture ? *picture : Picture{};
      return true;
    }
  }
  return false;
}

}  // namespace flashsaver
