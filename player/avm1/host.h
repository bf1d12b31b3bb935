// What the script machine asks of the player around it: timelines, display object properties,
// output, time and chance. The display list implements it; NullHost answers for a movie with
// no stage (the tests, the trace runner) and RecordingHost notes what was asked.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "player/avm1/value.h"

namespace flashsaver::avm1 {

class Object;

// The display properties that GetProperty/SetProperty address by number, in the order of
// their indices (_x is 0, _xmouse is 20).
enum class ClipProperty : uint8_t {
  kX,
  kY,
  kXScale,
  kYScale,
  kCurrentFrame,
  kTotalFrames,
  kAlpha,
  kVisible,
  kWidth,
  kHeight,
  kRotation,
  kTarget,
  kFramesLoaded,
  kName,
  kDropTarget,
  kUrl,
  kHighQuality,
  kFocusRect,
  kSoundBufTime,
  kQuality,
  kXMouse,
  kYMouse
};
inline constexpr int kClipPropertyCount = 22;
// The property names in index order, as members of a clip object.
const char* ClipPropertyName(int index);

class Host {
 public:
  virtual ~Host() = default;

  // Output of trace(), one line per call, without the newline.
  virtual void Trace(std::string_view line) = 0;
  // Milliseconds since the movie started, for getTimer and the timers.
  virtual double Milliseconds() = 0;
  // A number in [0, 1) for random() and Math.random().
  virtual double Random() = 0;
  // Polled while a script runs: true when the show must stop now (an exit condition).
  virtual bool ShouldAbortScripts() { return false; }

  // Timeline control on a clip object (kind kClip). Frames count from 0.
  virtual void GotoFrame(Object* clip, uint32_t frame, bool play) = 0;
  // False when the label does not exist.
  virtual bool GotoLabel(Object* clip, std::string_view label, bool play) = 0;
  virtual void Play(Object* clip) = 0;
  virtual void Stop(Object* clip) = 0;
  virtual void NextFrame(Object* clip) = 0;
  virtual void PrevFrame(Object* clip) = 0;
  virtual bool FrameLoaded(Object* clip, uint32_t frame) = 0;

  // Display properties by index; undefined when the object is no clip.
  virtual Value GetClipProperty(Object* clip, ClipProperty p) = 0;
  virtual void SetClipProperty(Object* clip, ClipProperty p, const Value& v) = 0;
  virtual void CloneClip(Object* clip, std::string_view name, int32_t depth) = 0;
  virtual void RemoveClip(Object* clip) = 0;
  virtual void StartDrag(Object* clip, bool lock_center, const double* bounds) = 0;
  virtual void StopDrag() = 0;

  // A child clip by instance name, null when there is none.
  virtual Object* ClipChild(Object* clip, std::string_view name) {
    (void)clip;
    (void)name;
    return nullptr;
  }
  // The names of a clip's named children, highest depth first (what for..in lists after the
  // clip's variables).
  virtual std::vector<std::string> ClipChildNames(Object* clip) {
    (void)clip;
    return {};
  }
  // The root clip of a level, or null.
  virtual Object* Level(int32_t level) = 0;
  // The clip's parent clip, or null for a root.
  virtual Object* Parent(Object* clip) = 0;
  // The clip's path in slash or dot syntax ("/a/b" or "_level0.a.b").
  virtual std::string ClipPath(Object* clip, bool dot_syntax) = 0;
  // The folder where this movie's shared objects are kept; empty: kept in memory only.
  virtual std::string SharedObjectFolder() { return {}; }
  // A text field's script object: it converts to its path as clips do, yet is an "object".
  virtual bool IsTextField(Object* obj) {
    (void)obj;
    return false;
  }

  // flags: GetURL2's byte (method in bits 0-1, 0x40 target is a clip, 0x80 load variables).
  virtual void GetUrl(std::string_view url, std::string_view target, int flags) = 0;
  virtual void FsCommand(std::string_view command, std::string_view args) = 0;
  // The StopSounds action (stopAllSounds).
  virtual void StopAllSounds() {}
  // Whether a clip's script face has outlived its clip (removed from the stage).
  virtual bool IsRemovedClip(Object* clip) {
    (void)clip;
    return false;
  }
  // typeof of a display object's script face: buttons answer "object".
  virtual const char* ClipTypeOf(Object* clip) {
    (void)clip;
    return "movieclip";
  }
  // Object.registerClass: clips of the exported symbol `name` are made by `ctor` (null
  // unregisters). False when the host has no clips.
  virtual bool RegisterClass(std::string_view name, Object* ctor) {
    (void)name;
    (void)ctor;
    return false;
  }
};

// Answers for a movie with no stage: one root object on level 0, timelines do nothing,
// fscommand("quit") noted. Trace lines are kept.
class NullHost : public Host {
 public:
  std::vector<std::string> lines;
  std::vector<std::string> commands;  // "command args" of fscommand and getURL
  Object* root = nullptr;
  double now_ms = 0;
  uint32_t random_state = 1;

  void Trace(std::string_view line) override { lines.emplace_back(line); }
  double Milliseconds() override { return now_ms; }
  double Random() override;
  void GotoFrame(Object*, uint32_t, bool) override {}
  bool GotoLabel(Object*, std::string_view, bool) override { return false; }
  void Play(Object*) override {}
  void Stop(Object*) override {}
  void NextFrame(Object*) override {}
  void PrevFrame(Object*) override {}
  bool FrameLoaded(Object*, uint32_t) override { return true; }
  Value GetClipProperty(Object*, ClipProperty) override { return Value(); }
  void SetClipProperty(Object*, ClipProperty, const Value&) override {}
  void CloneClip(Object*, std::string_view, int32_t) override {}
  void RemoveClip(Object*) override {}
  void StartDrag(Object*, bool, const double*) override {}
  void StopDrag() override {}
  Object* Level(int32_t level) override { return level == 0 ? root : nullptr; }
  Object* Parent(Object*) override { return nullptr; }
  std::string ClipPath(Object* clip, bool dot_syntax) override;
  void GetUrl(std::string_view url, std::string_view target, int) override;
  void FsCommand(std::string_view command, std::string_view args) override;
};

}  // namespace flashsaver::avm1
