// flash.display.DisplayObjectContainer, Sprite, Shape and Stage: children by index over the
// display list's order. The stage's first child is the root; its others are drawn above it.
#include <cmath>

#include "player/avm2/display/display_natives.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

class StageObject : public NodeObject {
 public:
  using NodeObject::NodeObject;
  Str scale_mode = Str(u"showAll");
  Str align = Str(u"");
  Str quality = Str(u"HIGH");
  Str display_state = Str(u"normal");
  Value focus;
  void Trace(Tracer& tracer) override {
    NodeObject::Trace(tracer);
    tracer.Mark(focus);
  }
};

Object* CreateStage(Vm& vm, ClassObject* cls) {
  auto* o = vm.heap().New<StageObject>(cls, cls->prototype);
  o->is_stage = true;
  if (DisplayHost* host = vm.display_host; host && host->list)
    o->root_clip = &host->list->stage_clip();
  return o;
}

DisplayList* ListOf(Vm& vm) {
  DisplayHost* host = vm.display_host;
  return host ? host->list : nullptr;
}

// The stage counts the root as its child 0.
size_t Offset(Vm& vm, const NodeObject* p) { return p->is_stage && vm.display_root ? 1 : 0; }

size_t Count(Vm& vm, NodeObject* p) {
  Clip* c = p->clip();
  return (c ? c->order.size() : 0) + Offset(vm, p);
}

Object* At(Vm& vm, NodeObject* p, size_t i) {
  if (i < Offset(vm, p)) return vm.display_root;
  i -= Offset(vm, p);
  return ScriptObjectOf(vm, *p->clip()->order[i]);
}

NodeObject* ChildArg(Vm& vm, std::span<const Value> args) {
  if (Arg(args, 0).IsNullish()) vm.ThrowError(ErrorType::kTypeError, 2007, {"child"});
  auto* c = dynamic_cast<NodeObject*>(Arg(args, 0).AsObject());
  if (!c)
    vm.ThrowError(ErrorType::kTypeError, 1034,
                  {vm.TypeNameForError(Arg(args, 0)), "flash.display.DisplayObject"});
  return c;
}

// The child's index in p; ArgumentError #2025 when it is not p's child.
size_t IndexOf(Vm& vm, NodeObject* p, NodeObject* c) {
  Clip* clip = p->clip();
  if (p->is_stage && c == vm.display_root) return 0;
  if (clip && c->node && c->node->parent == clip) {
    const auto it = std::find(clip->order.begin(), clip->order.end(), c->node);
    if (it != clip->order.end())
      return static_cast<size_t>(it - clip->order.begin()) + Offset(vm, p);
  }
  vm.ThrowError(ErrorType::kArgumentError, 2025);
}

size_t IndexArg(Vm& vm, std::span<const Value> args, size_t i, size_t limit) {
  const int32_t index = ArgInt(vm, args, i);
  if (index < 0 || static_cast<size_t>(index) > limit) vm.ThrowError(ErrorType::kRangeError, 2006);
  return static_cast<size_t>(index);
}

// Takes a child off its parent, after telling it (removed, removedFromStage).
void RemoveFromParent(Vm& vm, NodeObject* c) {
  DisplayList* list = ListOf(vm);
  if (!list || !c->node || !c->node->parent) return;
  Clip* old = c->node->parent;
  SendDisplayEvent(vm, c, "removed", true);
  if (c->node && OnStage(vm, old)) SendStageEvent(vm, *c->node, "removedFromStage");
  // The listeners may have moved it already.
  if (!c->node || c->node->parent != old) return;
  c->owned = list->Detach(*c->node);
  c->parent = nullptr;
}

Value AddChildAtIndex(Vm& vm, NodeObject* p, NodeObject* c, size_t index) {
  DisplayList* list = ListOf(vm);
  Clip* clip = p->clip();
  if (c == p) vm.ThrowError(ErrorType::kArgumentError, 2024);
  if (!list || !clip || !c->node) return Value(c);
  int guard = 0;
  for (const Clip* up = clip; up && guard <= kMaxClipNesting + 2; ++guard) {
    if (up->owner == c->node) vm.ThrowError(ErrorType::kArgumentError, 2150);
    up = up->owner ? up->owner->parent : nullptr;
  }
  const size_t offset = Offset(vm, p);
  const size_t at = index > offset ? index - offset : 0;
  if (c->node->parent == clip) {
    DisplayList::Reorder(*c->node, at);
    return Value(c);
  }
  RemoveFromParent(vm, c);
  if (!c->owned || c->node->parent) return Value(c);
  if (DisplayList::LevelOf(*clip) + 1 >= kMaxClipNesting) return Value(c);
  list->Insert(*clip, std::move(c->owned), at);
  c->parent = p;
  SendDisplayEvent(vm, c, "added", true);
  if (c->node && c->node->parent == clip && OnStage(vm, clip))
    SendStageEvent(vm, *c->node, "addedToStage");
  return Value(c);
}

Value AddChild(Vm& vm, const Value& self, std::span<const Value> args) {
  NodeObject* p = NodeOf(vm, self);
  NodeObject* c = ChildArg(vm, args);
  return AddChildAtIndex(vm, p, c, Count(vm, p));
}
Value AddChildAt(Vm& vm, const Value& self, std::span<const Value> args) {
  NodeObject* p = NodeOf(vm, self);
  NodeObject* c = ChildArg(vm, args);
  const bool mine = c->node && c->node->parent && c->node->parent == p->clip();
  const size_t n = Count(vm, p);
  return AddChildAtIndex(vm, p, c, IndexArg(vm, args, 1, mine ? n - 1 : n));
}
Value RemoveChild(Vm& vm, const Value& self, std::span<const Value> args) {
  NodeObject* p = NodeOf(vm, self);
  NodeObject* c = ChildArg(vm, args);
  IndexOf(vm, p, c);
  RemoveFromParent(vm, c);
  return Value(c);
}
Value RemoveChildAt(Vm& vm, const Value& self, std::span<const Value> args) {
  NodeObject* p = NodeOf(vm, self);
  const size_t n = Count(vm, p);
  if (n == 0) vm.ThrowError(ErrorType::kRangeError, 2006);
  auto* c = dynamic_cast<NodeObject*>(At(vm, p, IndexArg(vm, args, 0, n - 1)));
  if (c) RemoveFromParent(vm, c);
  return Value(c);
}
Value RemoveChildren(Vm& vm, const Value& self, std::span<const Value> args) {
  NodeObject* p = NodeOf(vm, self);
  const int64_t n = static_cast<int64_t>(Count(vm, p));
  const int64_t begin = ArgInt(vm, args, 0, 0);
  int64_t end = ArgInt(vm, args, 1, INT32_MAX);
  // Without an end, everything from `begin` goes, and a begin past the end removes nothing.
  if (end == INT32_MAX) {
    if (begin >= n) return Value();
    end = n - 1;
  }
  if (begin < 0 || end < 0 || begin > end || end >= n) vm.ThrowError(ErrorType::kRangeError, 2006);
  const int64_t last = std::min(end, n - 1);
  std::vector<NodeObject*> gone;
  for (int64_t i = begin; i <= last; ++i)
    if (auto* c = dynamic_cast<NodeObject*>(At(vm, p, static_cast<size_t>(i)))) gone.push_back(c);
  for (NodeObject* c : gone) RemoveFromParent(vm, c);
  return Value();
}
Value GetChildAt(Vm& vm, const Value& self, std::span<const Value> args) {
  NodeObject* p = NodeOf(vm, self);
  const int32_t i = ArgInt(vm, args, 0);
  if (i < 0 || static_cast<size_t>(i) >= Count(vm, p)) vm.ThrowError(ErrorType::kRangeError, 2006);
  return Value(At(vm, p, static_cast<size_t>(i)));
}
Value GetChildIndex(Vm& vm, const Value& self, std::span<const Value> args) {
  NodeObject* p = NodeOf(vm, self);
  return Value(static_cast<int32_t>(IndexOf(vm, p, ChildArg(vm, args))));
}
Value SetChildIndex(Vm& vm, const Value& self, std::span<const Value> args) {
  NodeObject* p = NodeOf(vm, self);
  NodeObject* c = ChildArg(vm, args);
  const size_t n = Count(vm, p);
  const int32_t i = ArgInt(vm, args, 1);
  if (i < 0 || static_cast<size_t>(i) >= n) vm.ThrowError(ErrorType::kRangeError, 2006);
  IndexOf(vm, p, c);
  if (c->node)
    DisplayList::Reorder(*c->node, static_cast<size_t>(i) - std::min<size_t>(Offset(vm, p), i));
  return Value();
}
void SwapAt(Vm& vm, NodeObject* p, size_t a, size_t b) {
  const size_t off = Offset(vm, p);
  Clip* clip = p->clip();
  if (!clip || a < off || b < off) return;
  std::swap(clip->order[a - off], clip->order[b - off]);
}
Value SwapChildren(Vm& vm, const Value& self, std::span<const Value> args) {
  NodeObject* p = NodeOf(vm, self);
  NodeObject* a = ChildArg(vm, args);
  if (Arg(args, 1).IsNullish()) vm.ThrowError(ErrorType::kTypeError, 2007, {"child"});
  auto* b = dynamic_cast<NodeObject*>(Arg(args, 1).AsObject());
  if (!b) vm.ThrowError(ErrorType::kArgumentError, 2025);
  SwapAt(vm, p, IndexOf(vm, p, a), IndexOf(vm, p, b));
  return Value();
}
Value SwapChildrenAt(Vm& vm, const Value& self, std::span<const Value> args) {
  NodeObject* p = NodeOf(vm, self);
  const size_t n = Count(vm, p);
  if (n == 0) vm.ThrowError(ErrorType::kRangeError, 2006);
  const size_t a = IndexArg(vm, args, 0, n - 1), b = IndexArg(vm, args, 1, n - 1);
  SwapAt(vm, p, a, b);
  return Value();
}
Value ContainsChild(Vm& vm, const Value& self, std::span<const Value> args) {
  NodeObject* p = NodeOf(vm, self);
  if (Arg(args, 0).IsNullish()) vm.ThrowError(ErrorType::kTypeError, 2007, {"child"});
  auto* c = dynamic_cast<NodeObject*>(Arg(args, 0).AsObject());
  if (!c) return Value(false);
  if (c == p) return Value(true);
  if (p->is_stage) return Value(OnStage(vm, c->node ? c->node->parent : c->root_clip));
  Clip* clip = p->clip();
  if (!clip || !c->node) return Value(false);
  const Clip* up = c->node->parent;
  for (int guard = 0; up && guard <= kMaxClipNesting + 2; ++guard) {
    if (up == clip) return Value(true);
    up = up->owner ? up->owner->parent : nullptr;
  }
  return Value(false);
}
Value GetChildByName(Vm& vm, const Value& self, std::span<const Value> args) {
  NodeObject* p = NodeOf(vm, self);
  const std::string name = ArgString(vm, args, 0).ToUtf8();
  if (Clip* clip = p->clip()) {
    for (flashsaver::DisplayObject* n : clip->order)
      if (n->name == name) return Value(ScriptObjectOf(vm, *n));
  }
  return Value::Null();
}
Value NumChildren(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(static_cast<int32_t>(Count(vm, NodeOf(vm, self))));
}
Value Ignore(Vm&, const Value&, std::span<const Value>) { return Value(); }
Value GetTrue(Vm&, const Value&, std::span<const Value>) { return Value(true); }
Value GetFalse(Vm&, const Value&, std::span<const Value>) { return Value(false); }
Value GetNull(Vm&, const Value&, std::span<const Value>) { return Value::Null(); }
Value EmptyArray(Vm& vm, const Value&, std::span<const Value>) { return Value(vm.NewArray()); }

StageObject* StageOf(Vm& vm, const Value& self) {
  return ThisAs<StageObject>(vm, self, "flash.display.Stage");
}
Value StageWidth(Vm& vm, const Value&, std::span<const Value>) {
  DisplayHost* host = vm.display_host;
  return Value(static_cast<int32_t>(host ? host->StageWidth() : 550));
}
Value StageHeight(Vm& vm, const Value&, std::span<const Value>) {
  DisplayHost* host = vm.display_host;
  return Value(static_cast<int32_t>(host ? host->StageHeight() : 400));
}
Value FrameRate(Vm& vm, const Value&, std::span<const Value>) {
  DisplayHost* host = vm.display_host;
  return Value(host ? host->FrameRate() : 24.0);
}
#define STAGE_STRING(Field, GetName, SetName)                             \
  Value GetName(Vm& vm, const Value& self, std::span<const Value>) {      \
    return Value(StageOf(vm, self)->Field);                               \
  }                                                                       \
  Value SetName(Vm& vm, const Value& self, std::span<const Value> args) { \
    StageOf(vm, self)->Field = ArgString(vm, args, 0);                    \
    return Value();                                                       \
  }
STAGE_STRING(scale_mode, GetScaleMode, SetScaleMode)
STAGE_STRING(align, GetAlign, SetAlign)
STAGE_STRING(display_state, GetDisplayState, SetDisplayState)
#undef STAGE_STRING
Value GetQuality(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(StageOf(vm, self)->quality);
}
Value SetQuality(Vm& vm, const Value& self, std::span<const Value> args) {
  // Flash answers in capitals whatever case was set.
  std::u16string q = ArgString(vm, args, 0).str();
  for (char16_t& ch : q)
    if (ch >= u'a' && ch <= u'z') ch = static_cast<char16_t>(ch - 32);
  StageOf(vm, self)->quality = Str(q);
  return Value();
}
Value GetFocus(Vm& vm, const Value& self, std::span<const Value>) {
  const Value& f = StageOf(vm, self)->focus;
  return f.IsUndefined() ? Value::Null() : f;
}
Value SetFocus(Vm& vm, const Value& self, std::span<const Value> args) {
  StageOf(vm, self)->focus = Arg(args, 0);
  return Value();
}
Value Invalidate(Vm& vm, const Value&, std::span<const Value>) {
  if (vm.display_host) vm.display_host->render_requested = true;
  return Value();
}

std::vector<NativeMember> ContainerMembers() {
  return {Method("addChild", AddChild, 1).Needs(1),
          Method("addChildAt", AddChildAt, 2).Needs(2),
          Method("removeChild", RemoveChild, 1).Needs(1),
          Method("removeChildAt", RemoveChildAt, 1).Needs(1),
          Method("removeChildren", RemoveChildren, 2),
          Method("getChildAt", GetChildAt, 1).Needs(1),
          Method("getChildIndex", GetChildIndex, 1).Needs(1),
          Method("setChildIndex", SetChildIndex, 2).Needs(2),
          Method("swapChildren", SwapChildren, 2).Needs(2),
          Method("swapChildrenAt", SwapChildrenAt, 2).Needs(2),
          Method("contains", ContainsChild, 1).Needs(1),
          Method("getChildByName", GetChildByName, 1).Needs(1),
          Method("getObjectsUnderPoint", EmptyArray, 1),
          Method("areInaccessibleObjectsUnderPoint", GetFalse, 1),
          Getter("numChildren", NumChildren),
          Getter("mouseChildren", GetTrue),
          Setter("mouseChildren", Ignore),
          Getter("tabChildren", GetTrue),
          Setter("tabChildren", Ignore)};
}

}  // namespace

void AddContainerClasses(std::vector<const NativeClass*>& out) {
  static const NativeClass k[] = {
      MakeDisplayClass("flash.display", "DisplayObjectContainer",
                       "flash.display::InteractiveObject", ContainerMembers(), {}),
      MakeDisplayClass("flash.display", "Sprite", "flash.display::DisplayObjectContainer",
                       {Getter("graphics", GetGraphics), Getter("buttonMode", GetFalse),
                        Setter("buttonMode", Ignore), Getter("useHandCursor", GetTrue),
                        Setter("useHandCursor", Ignore), Getter("hitArea", GetNull),
                        Setter("hitArea", Ignore), Getter("soundTransform", GetNull),
                        Setter("soundTransform", Ignore), Getter("dropTarget", GetNull),
                        Method("startDrag", Ignore, 2), Method("stopDrag", Ignore)},
                       {}),
      MakeDisplayClass("flash.display", "Shape", "flash.display::DisplayObject",
                       {Getter("graphics", GetGraphics)}, {}),
      [] {
        NativeClass c =
            MakeDisplayClass("flash.display", "Stage", "flash.display::DisplayObjectContainer",
                             {Getter("stageWidth", StageWidth),
                              Setter("stageWidth", Ignore),
                              Getter("stageHeight", StageHeight),
                              Setter("stageHeight", Ignore),
                              Getter("frameRate", FrameRate),
                              Setter("frameRate", Ignore),
                              Getter("scaleMode", GetScaleMode),
                              Setter("scaleMode", SetScaleMode),
                              Getter("align", GetAlign),
                              Setter("align", SetAlign),
                              Getter("quality", GetQuality),
                              Setter("quality", SetQuality),
                              Getter("displayState", GetDisplayState),
                              Setter("displayState", SetDisplayState),
                              Getter("focus", GetFocus),
                              Setter("focus", SetFocus),
                              Method("invalidate", Invalidate),
                              Getter("showDefaultContextMenu", GetTrue),
                              Setter("showDefaultContextMenu", Ignore),
                              Getter("stageFocusRect", GetTrue),
                              Setter("stageFocusRect", Ignore)},
                             {});
        c.create = CreateStage;
        return c;
      }(),
  };
  for (const NativeClass& c : k) out.push_back(&c);
}

}  // namespace flashsaver::avm2
