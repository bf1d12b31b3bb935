// flash.events: the storage of EventDispatcher and Event instances and the dispatch entry points
// the display list and the player use.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "player/avm2/natives.h"
#include "player/avm2/object.h"

namespace flashsaver::avm2 {

// An EventDispatcher's listeners, by event type, highest priority first and in the order added
// among equal priorities. Display objects extend it with their place in the display list.
class DispatcherObject : public BoxedObject {
 public:
  DispatcherObject(ClassObject* cls, Object* proto) : BoxedObject(cls, proto) {}
  void Trace(Tracer& tracer) override;
  // Weak listeners whose function the collector found unreachable are dropped.
  void DropUnmarked() override;
  struct Listener {
    Value fn;
    int32_t priority = 0;
    bool capture = false;
    bool weak = false;  // useWeakReference: does not keep the function alive
  };
  std::vector<std::pair<std::u16string, std::vector<Listener>>> listeners;
  std::vector<Listener>* Find(std::u16string_view type);
  // The IEventDispatcher this one dispatches for (`new EventDispatcher(target)`); null: itself.
  Object* delegate_target = nullptr;
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
  bool stopped = false;            // stopPropagation: the current node finishes
  bool stopped_immediate = false;  // stopImmediatePropagation: nothing more runs
  Value target;
  Value current_target;
  int32_t phase = 2;
};

namespace event_phase {
inline constexpr int32_t kCapturing = 1;
inline constexpr int32_t kAtTarget = 2;
inline constexpr int32_t kBubbling = 3;
}  // namespace event_phase

const NativeClass& EventDispatcherClass();
// Event's subclasses (MouseEvent, KeyboardEvent, ErrorEvent...), bases first.
std::span<const NativeClass* const> EventSubclasses();
// Event.formatToString: args are the class name, then the property names to list.
Value EventFormatToString(Vm& vm, const Value& self, std::span<const Value> args);
// flash.events classes, bases first: EventDispatcher, Event, then Event's subclasses.
std::span<const NativeClass* const> EventClasses();
// Dispatches `event` (an Event) from `dispatcher` through the capture, target and bubble phases
// along the parents of its target; returns false when a listener prevented the default.
bool DispatchEventObject(Vm& vm, DispatcherObject* dispatcher, EventObject* event);
// Calls the listeners of `type` on the object with a new, non-bubbling Event.
void DispatchSimpleEvent(Vm& vm, Object* target, const char* type);
// Sends a broadcast event (enterFrame, frameConstructed, exitFrame...) to every dispatcher
// that listens to it, in the order they started listening: at the target only, no capture or
// bubbling. A listener's uncaught error is reported and the others still run.
void BroadcastEvent(Vm& vm, const char* type);
// True when the object or one of its parents listens to `type` (willTrigger).
bool WillTrigger(DispatcherObject* d, std::u16string_view type);

}  // namespace flashsaver::avm2
