#include "player/avm2/display/display_node.h"

#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

// Every node under a clip, parents first.
template <typename F>
void ForEachNode(const Clip& clip, const F& f, int level = 0) {
  if (level > kMaxClipNesting) return;
  for (const auto& [depth, child] : clip.children) {
    f(*child);
    if (child->clip) ForEachNode(*child->clip, f, level + 1);
  }
}

// The class the timeline gives an object of a character without a linked class.
const char* DefaultClassOf(const flashsaver::DisplayObject& node) {
  if (!node.character) return node.clip ? "flash.display::Sprite" : "flash.display::Shape";
  switch (node.character->type()) {
    case CharacterType::kSprite:
      return "flash.display::MovieClip";
    case CharacterType::kButton:
      return "flash.display::SimpleButton";
    case CharacterType::kMorphShape:
      return "flash.display::MorphShape";
    case CharacterType::kText:
      return "flash.text::StaticText";
    case CharacterType::kEditText:
      return "flash.text::TextField";
    case CharacterType::kBitmap:
      return "flash.display::Bitmap";
    case CharacterType::kVideo:
      return "flash.media::Video";
    default:
      return "flash.display::Shape";
  }
}

}  // namespace

NodeObject::~NodeObject() {
  if (!owned) return;
  // The objects of the nodes below may already be gone (they die with this one): they are
  // forgotten, never touched.
  owned->script3 = nullptr;
  if (owned->clip) {
    owned->clip->hooks = nullptr;
    ForEachNode(*owned->clip, [](flashsaver::DisplayObject& n) {
      n.script3 = nullptr;
      if (n.clip) n.clip->hooks = nullptr;
    });
  }
  owned.reset();
}

void NodeObject::Trace(Tracer& tracer) {
  DispatcherObject::Trace(tracer);
  tracer.Mark(graphics);
  // A tree off the list lives as long as its top object: its nodes' objects with it.
  if (owned && owned->clip) MarkTree(tracer, *owned->clip);
}

void MarkTree(Tracer& tracer, const Clip& clip) {
  ForEachNode(clip, [&tracer](const flashsaver::DisplayObject& n) { tracer.Mark(n.script3); });
}

NodeObject* NodeOf(Vm& vm, const Value& self) {
  return ThisAs<NodeObject>(vm, self, "flash.display.DisplayObject");
}

Object* ScriptObjectOfClip(Vm& vm, Clip& clip) {
  if (clip.owner) return ScriptObjectOf(vm, *clip.owner);
  DisplayHost* host = vm.display_host;
  if (!host || !host->list) return nullptr;
  if (&clip == &host->list->root()) return vm.display_root;
  if (&clip == &host->list->stage_clip()) return vm.display_stage;
  return nullptr;
}

Object* ScriptObjectOf(Vm& vm, flashsaver::DisplayObject& node) {
  if (node.script3) return node.script3;
  DisplayHost* host = vm.display_host;
  if (!host) return nullptr;
  std::string name;
  if (node.parent && node.character &&
      (node.character->type() == CharacterType::kSprite ||
       node.character->type() == CharacterType::kButton)) {
    name = host->SymbolClassOf(*node.parent, node.character_id);
  }
  ClassObject* cls = name.empty() ? nullptr : vm.FindClass(name);
  if (!cls) cls = vm.FindClass(DefaultClassOf(node));
  if (!cls) cls = vm.FindClass("flash.display::DisplayObject");
  if (!cls) return nullptr;
  host->binding = &node;
  Object* o = vm.CreateInstance(cls);
  host->binding = nullptr;
  if (node.script3 != o) return nullptr;  // a class whose instances are no display objects
  if (node.parent) static_cast<NodeObject*>(o)->parent = ScriptObjectOfClip(vm, *node.parent);
  return o;
}

bool OnStage(Vm& vm, const Clip* clip) {
  DisplayHost* host = vm.display_host;
  if (!host || !host->list) return false;
  for (int guard = 0; clip && guard <= kMaxClipNesting + 2; ++guard) {
    if (clip == &host->list->root() || clip == &host->list->stage_clip()) return true;
    clip = clip->owner ? clip->owner->parent : nullptr;
  }
  return false;
}

void SendDisplayEvent(Vm& vm, Object* target, const char* type, bool bubbles) {
  ClassObject* ev = vm.FindClass("flash.events::Event");
  if (!ev || !target) return;
  Value args[2] = {Value(Str::FromUtf8(type)), Value(bubbles)};
  Value e = vm.Construct(Value(static_cast<Object*>(ev)), args);
  vm.CallMethod(Value(target), "dispatchEvent", std::span<const Value>(&e, 1));
}

void SendStageEvent(Vm& vm, flashsaver::DisplayObject& node, const char* type) {
  // The list may change under the listeners: the objects are gathered first.
  std::vector<Object*> targets;
  if (Object* o = ScriptObjectOf(vm, node)) targets.push_back(o);
  if (node.clip) {
    ForEachNode(*node.clip, [&](flashsaver::DisplayObject& n) {
      if (Object* o = ScriptObjectOf(vm, n)) targets.push_back(o);
    });
  }
  for (Object* o : targets) SendDisplayEvent(vm, o, type, false);
}

// ---- Making display objects -------------------------------------------------------------

Object* CreateNodeObject(Vm& vm, ClassObject* cls) {
  auto* o = vm.heap().New<NodeObject>(cls, cls->prototype);
  DisplayHost* host = vm.display_host;
  if (!host || !host->list) return o;
  if (host->binding) {
    o->node = host->binding;
    o->node->script3 = o;
    host->binding = nullptr;
    return o;
  }
  if (host->binding_clip) {
    o->root_clip = host->binding_clip;
    host->binding_clip = nullptr;
    return o;
  }
  // A class linked to a library symbol makes the symbol, its first frame's objects made
  // before its constructor runs.
  for (ClassObject* k = cls; k && !k->native_class; k = k->super) {
    const int32_t id = host->SymbolOfClass(k->qualified);
    if (id < 0) continue;
    o->owned = host->list->NewSymbolNode(static_cast<uint16_t>(id));
    if (!o->owned) break;
    o->node = o->owned.get();
    o->node->script3 = o;
    host->ConstructPlaced();
    return o;
  }
  // Containers and shapes hold a clip: children, or the drawing of `graphics`.
  bool container = false;
  for (const char* base : {"flash.display::DisplayObjectContainer", "flash.display::Shape"}) {
    ClassObject* b = vm.FindClass(base);
    if (b && (cls == b || cls->IsSubclassOf(b))) container = true;
  }
  o->owned = host->list->NewNode(container);
  if (o->owned) {
    o->node = o->owned.get();
    o->node->script3 = o;
  }
  return o;
}

}  // namespace flashsaver::avm2
