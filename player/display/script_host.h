// The script machine hosted by the display list: every clip gets one script object
// (MovieClip.prototype), frame scripts, init scripts and clip events run in the player's order
// after each frame's placements, and the clip properties read and write the display list.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "player/avm1/vm.h"
#include "player/display/display_list.h"

namespace flashsaver {

// A clip's script face. Detached (clip null) once the clip left the list; scripts may still
// hold it.
class ClipObject final : public avm1::Object {
 public:
  ClipObject() : Object(avm1::ObjectKind::kClip) {}
  Clip* clip = nullptr;
};

// A text field's script face (TextField.prototype); detached when the field goes.
class TextFieldObject final : public avm1::Object {
 public:
  TextFieldObject() : Object(avm1::ObjectKind::kOther) {}
  DisplayObject* field = nullptr;
};

// Events of onClipEvent, by their bit in the CLIPACTIONS flags (SWF 6 layout).
namespace clip_event {
inline constexpr uint32_t kLoad = 1u << 0;
inline constexpr uint32_t kEnterFrame = 1u << 1;
inline constexpr uint32_t kUnload = 1u << 2;
inline constexpr uint32_t kMouseMove = 1u << 3;
inline constexpr uint32_t kMouseDown = 1u << 4;
inline constexpr uint32_t kMouseUp = 1u << 5;
inline constexpr uint32_t kKeyDown = 1u << 6;
inline constexpr uint32_t kKeyUp = 1u << 7;
inline constexpr uint32_t kData = 1u << 8;
inline constexpr uint32_t kInitialize = 1u << 9;
inline constexpr uint32_t kConstruct = 1u << 18;
}  // namespace clip_event

struct ClipAction {
  uint32_t events = 0;
  std::span<const uint8_t> code;
};
// The records of a CLIPACTIONS block; SWF 5 writes 16-bit event flags. Stops at damage.
std::vector<ClipAction> ReadClipActions(std::span<const uint8_t> record, uint8_t swf_version);

// Scale and rotation of a matrix as the player shows them (_xscale, _yscale in percent,
// _rotation in degrees) and the matrix they give back, translation kept.
struct ScaleRotation {
  double xscale = 100, yscale = 100, rotation = 0, skew = 0;  // skew: radians, y axis minus x
};
ScaleRotation Decompose(const Matrix& m);
Matrix Recompose(const ScaleRotation& s, double tx, double ty);

class ScriptHost final : public avm1::Host, public DisplayHooks {
 public:
  ScriptHost(const MovieDefinition& movie, DisplayList& list);
  ~ScriptHost() override;

  avm1::Vm& vm() { return *vm_; }
  // One frame: enterFrame events, the timelines' next frames, their scripts, due timers.
  void Tick();
  // The clock of getTimer and the timers, in ms since the movie started.
  void set_clock(double ms) { clock_ms_ = ms; }
  double frame_ms() const { return frame_ms_; }
  bool quit_requested() const { return quit_; }
  std::function<void(std::string_view)> trace_output;
  std::string url;
  double mouse_x = 0, mouse_y = 0;  // stage pixels

  // The clip's script object, made on first use.
  ClipObject* ObjectFor(Clip& clip);
  static Clip* ClipOf(avm1::Object* obj);
  DisplayList& list() { return list_; }
  const MovieDefinition& movie() const { return movie_; }
  // Runs queued scripts until none is left.
  void RunQueue();
  // Sends a mouse or key event to every clip (clip events and the named method), then runs it.
  void Broadcast(uint32_t event, const char* method);

  // avm1::Host
  void Trace(std::string_view line) override;
  double Milliseconds() override { return clock_ms_; }
  double Random() override;
  void GotoFrame(avm1::Object* clip, uint32_t frame, bool play) override;
  bool GotoLabel(avm1::Object* clip, std::string_view label, bool play) override;
  void Play(avm1::Object* clip) override;
  void Stop(avm1::Object* clip) override;
  void NextFrame(avm1::Object* clip) override;
  void PrevFrame(avm1::Object* clip) override;
  bool FrameLoaded(avm1::Object* clip, uint32_t frame) override;
  avm1::Value GetClipProperty(avm1::Object* clip, avm1::ClipProperty p) override;
  void SetClipProperty(avm1::Object* clip, avm1::ClipProperty p, const avm1::Value& v) override;
  void CloneClip(avm1::Object* clip, std::string_view name, int32_t depth) override;
  void RemoveClip(avm1::Object* clip) override;
  void StartDrag(avm1::Object* clip, bool lock_center, const double* bounds) override;
  void StopDrag() override;
  avm1::Object* ClipChild(avm1::Object* clip, std::string_view name) override;
  avm1::Object* Level(int32_t level) override;
  avm1::Object* Parent(avm1::Object* clip) override;
  std::string ClipPath(avm1::Object* clip, bool dot_syntax) override;
  void GetUrl(std::string_view url, std::string_view target, int method) override;
  void FsCommand(std::string_view command, std::string_view args) override;

  // DisplayHooks
  void ClipPlaced(Clip& clip) override;
  void ClipLoaded(Clip& clip) override;
  void ClipRemoved(Clip& clip) override;
  void ClipEnterFrame(Clip& clip) override;
  void FrameRan(Clip& clip, int32_t frame) override;
  void TextRemoved(DisplayObject& object) override;

  // Display properties of any object (clip null for text fields and the root's stand-in).
  avm1::Value PropertyOf(DisplayObject* o, Clip* clip, avm1::ClipProperty p);
  void SetPropertyOf(DisplayObject* o, Clip* clip, avm1::ClipProperty p, const avm1::Value& v);
  avm1::Object* TextObjectFor(DisplayObject& field);
  // Fields bound to variables show the variables' values.
  void UpdateBoundFields();

  // Timeline depths as scripts count them: the tag's depth minus this.
  static constexpr int32_t kDepthOffset = 16384;

 private:
  struct Pending {
    avm1::Object* clip = nullptr;
    std::span<const uint8_t> code;  // a script, or empty for a method call
    std::string method;
    bool even_if_removed = false;  // unload events run after the clip went
  };
  void QueueEvent(Clip& clip, uint32_t event, const char* method);
  void MarkRoots(avm1::Tracer& tracer);

  const MovieDefinition& movie_;
  DisplayList& list_;
  std::unique_ptr<avm1::Vm> vm_;
  std::shared_ptr<const std::vector<uint8_t>> code_owner_;
  std::deque<Pending> init_queue_, queue_;
  std::unordered_set<uint16_t> done_init_;  // sprites whose init script ran
  // Properties of the root, which has no display object of its own.
  DisplayObject root_object_;
  std::mt19937 random_{std::random_device{}()};
  double clock_ms_ = 0;
  double frame_ms_ = 1000.0 / 12;
  uint64_t ticks_ = 0;
  uint64_t instances_ = 0;
  bool quit_ = false;
  // Movie-wide settings that scripts read and write through the root (swf6, swf7).
  int quality_ = 2;  // 0 LOW, 1 MEDIUM, 2 HIGH, 3 BEST
  bool focus_rect_ = true;
  int32_t sound_buf_time_ = 5;
};

// MovieClip and its prototype's methods (movie_clip_class.cpp).
void InstallMovieClipClass(ScriptHost& host);
// TextField's prototype with its properties (text_field_class.cpp).
void InstallTextFieldClass(ScriptHost& host);

}  // namespace flashsaver
