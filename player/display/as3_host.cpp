#include "player/display/as3_host.h"

#include <algorithm>

#include "player/avm2/abc_tags.h"
#include "player/avm2/builtins/builtins.h"
#include "player/avm2/builtins/timers.h"
#include "player/avm2/builtins/xml_support.h"
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

As3Host::~As3Host() = default;

void As3Host::LoadFrameCode(int32_t frame) {
  if (frame < 0 || frame >= static_cast<int32_t>(movie_.root.frames.size())) return;
  if (!loaded_frames_.insert(frame).second) return;
  for (const auto& [code, body] : movie_.root.frames[static_cast<size_t>(frame)].abc_blocks) {
    if (code == swf_tag::kDoAbc) {
      std::optional<avm2::DoAbcTag> tag = avm2::ReadDoAbcTag(body);
      if (tag) vm_->LoadAbc(tag->abc, (tag->flags & avm2::DoAbcTag::kLazyInitialize) != 0);
    } else {
      vm_->LoadAbc(avm2::ReadDoAbcOldTag(body).abc, false);
    }
  }
}

void As3Host::ConstructRoot() {
  for (const auto& entry : movie_.symbol_classes) {
    if (entry.first != 0) continue;
    const std::string& name = entry.second;
    vm_->RunGuarded([&] {
      avm2::ClassObject* cls = vm_->FindClass(name);
      if (!cls) return avm2::Value();
      // Flash links only a Sprite to the root; other classes ran their scripts but get no root.
      if (avm2::ClassObject* sprite = vm_->FindClass("flash.display::Sprite");
          sprite && !cls->IsSubclassOf(sprite)) {
        vm_->Trace("TypeError: Error #2023: Class " + cls->qualified +
                   "$ must inherit from Sprite to link to the root.");
        return avm2::Value();
      }
      if (avm2::ClassObject* stage_cls = vm_->FindClass("flash.display::Stage"))
        vm_->display_stage = vm_->CreateInstance(stage_cls);
      avm2::Object* root = vm_->CreateInstance(cls);
      vm_->display_root = root;
      if (auto* d = dynamic_cast<avm2::DispatcherObject*>(root)) d->parent = vm_->display_stage;
      vm_->ConstructInto(cls, root, {});
      return avm2::Value();
    });
    break;
  }
}

void As3Host::RunFrameScripts() {
  // A frame script that jumps runs the target frame's script too, a bounded number of times.
  for (int guard = 0; guard < 16; ++guard) {
    int32_t frame = list_.root().current_frame;
    if (frame == scripted_frame_) return;
    scripted_frame_ = frame;
    LoadFrameCode(frame);
    auto* root = dynamic_cast<avm2::DispatcherObject*>(vm_->display_root);
    if (!root) return;
    for (const auto& [f, fn] : root->frame_scripts) {
      if (f != frame) continue;
      avm2::Value script = fn;
      vm_->RunGuarded([&] { return vm_->Call(script, avm2::Value(root), {}); });
      break;
    }
  }
}

void As3Host::RunFrame() {
  if (!started_) {
    started_ = true;
    LoadFrameCode(list_.root().current_frame);
    ConstructRoot();
  } else {
    avm2::BroadcastEvent(*vm_, "enterFrame");
  }
  avm2::BroadcastEvent(*vm_, "frameConstructed");
  RunFrameScripts();
  avm2::BroadcastEvent(*vm_, "exitFrame");
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
