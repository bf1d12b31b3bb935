// The script side of a display-list object: every flash.display object points to the node it
// shows. A node on the list belongs to its parent; a node off the list (a new Sprite not yet
// added, or one removed) belongs to its script object.
#pragma once

#include <memory>

#include "player/avm2/display/display_host.h"
#include "player/display/display_list.h"

namespace flashsaver::avm2 {

class NodeObject : public DispatcherObject {
 public:
  using DispatcherObject::DispatcherObject;
  ~NodeObject() override;
  void Trace(Tracer& tracer) override;

  flashsaver::DisplayObject* node = nullptr;
  std::unique_ptr<flashsaver::DisplayObject> owned;  // the node while off the list
  Clip* root_clip = nullptr;                         // the root's and the stage's clip
  Object* graphics = nullptr;
  bool is_stage = false;

  // The clip that holds the object's children and drawing; null for leaves.
  Clip* clip() const { return node ? node->clip.get() : root_clip; }
};

// The receiver as a display object; TypeError #1034 otherwise.
NodeObject* NodeOf(Vm& vm, const Value& self);
// The script object of a node, made (as the timeline's default class) when it has none.
Object* ScriptObjectOf(Vm& vm, flashsaver::DisplayObject& node);
// The script object of the object that holds a clip: its owner's, or the root's.
Object* ScriptObjectOfClip(Vm& vm, Clip& clip);
// Marks the script objects of every node under a clip.
void MarkTree(Tracer& tracer, const Clip& clip);
// True when the clip is on the stage (under the root or the stage's own clip).
bool OnStage(Vm& vm, const Clip* clip);
// Sends a display event (added, addedToStage...) through the object's dispatchEvent.
void SendDisplayEvent(Vm& vm, Object* target, const char* type, bool bubbles);
// addedToStage/removedFromStage for an object and everything under it, parents first.
void SendStageEvent(Vm& vm, flashsaver::DisplayObject& node, const char* type);

}  // namespace flashsaver::avm2
