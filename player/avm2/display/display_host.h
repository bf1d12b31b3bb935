// What the AS3 display classes ask of the player that runs the movie: the root timeline's
// frame, play state and jumps. The player implements it; the Vm holds a pointer to it.
#pragma once

#include <cstdint>
#include <string>

#include "player/avm2/object.h"
#include "player/avm2/natives.h"

namespace flashsaver {
class DisplayList;
struct DisplayObject;
struct Clip;
}  // namespace flashsaver

namespace flashsaver::avm2 {

class DisplayHost {
 public:
  virtual ~DisplayHost() = default;
  // The list the display classes bind to; null when no movie runs.
  DisplayList* list = nullptr;
  // Set while the player makes the script object of an object the timeline placed (or of the
  // root, which has a clip but no object): the new object binds to it instead of a new one.
  flashsaver::DisplayObject* binding = nullptr;
  Clip* binding_clip = nullptr;
  // stage.invalidate() asked for a render event before the next frame is drawn.
  bool render_requested = false;
  // The class the movie links to a library symbol (SymbolClass), empty when none.
  virtual std::string SymbolClassOf(const Clip& placer, uint16_t character_id) = 0;
  // The library symbol linked to a class ("pkg::Name"), or -1.
  virtual int32_t SymbolOfClass(const std::string& qualified) = 0;
  // Makes the objects of what the timeline placed (a symbol's first frame, made by `new`).
  virtual void ConstructPlaced() = 0;
  // Sends a clip (not only the root) to a frame (0-based, clamped).
  virtual void GotoClip(Clip& clip, int32_t frame) = 0;
  virtual int32_t CurrentFrame() = 0;  // 0-based
  virtual int32_t TotalFrames() = 0;
  virtual bool Playing() = 0;
  virtual void SetPlaying(bool playing) = 0;
  virtual void GotoFrame(int32_t frame) = 0;                   // 0-based, clamped by the player
  virtual int32_t FrameOfLabel(const std::string& label) = 0;  // -1 when unknown
  virtual double StageWidth() = 0;
  virtual double StageHeight() = 0;
  virtual double FrameRate() = 0;
};

// An EventDispatcher's listeners, by event type, in the order they were added.
class DispatcherObject : public BoxedObject {
 public:
  DispatcherObject(ClassObject* cls, Object* proto) : BoxedObject(cls, proto) {}
  void Trace(Tracer& tracer) override;
  struct Listener {
    Value fn;
    int32_t priority = 0;
    bool capture = false;
  };
  std::vector<std::pair<std::u16string, std::vector<Listener>>> listeners;
  std::vector<Listener>* Find(std::u16string_view type);
  // MovieClip: frame scripts by 0-based frame.
  std::vector<std::pair<int32_t, Value>> frame_scripts;
  Str name;
  Object* parent = nullptr;
  std::vector<Object*> children;
};

class EventObject : public BoxedObject {
 public:
  EventObject(ClassObject* cls, Object* proto) : BoxedObject(cls, proto) {}
  void Trace(Tracer& tracer) override;
  Str type;
  bool bubbles = false;
  bool cancelable = false;
  bool default_prevented = false;
  bool stopped = false;
  Value target;
  Value current_target;
  int32_t phase = 2;
};

std::span<const NativeClass* const> DisplayClasses();
void InstallDisplayFunctions(Vm& vm);
// Calls the listeners of `type` on the object with a new Event.
void DispatchSimpleEvent(Vm& vm, Object* target, const char* type);

}  // namespace flashsaver::avm2
