// flash.display.DisplayObject and the leaf classes (Shape, MorphShape, StaticText, Bitmap):
// position, scale, rotation, alpha and the rest read and write the node on the display list.
#include <cmath>
#include <numbers>

#include "player/avm2/display/display_natives.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

struct Decomposed {
  double xscale = 1, yscale = 1, rotation = 0, skew = 0;  // rotation and skew in radians
};

Decomposed Decompose(const Matrix& m) {
  Decomposed d;
  d.xscale = std::hypot(m.a, m.b);
  d.yscale = std::hypot(m.c, m.d);
  d.rotation = std::atan2(m.b, m.a);
  d.skew = std::atan2(-m.c, m.d) - d.rotation;
  return d;
}

// Scale and rotation as scripts read them: what they last set, since the matrix loses signs.
Decomposed ScriptTransform(const flashsaver::DisplayObject& n) {
  Decomposed d = Decompose(n.matrix);
  if (n.has_script_transform) {
    d.xscale = n.script_xscale / 100;
    d.yscale = n.script_yscale / 100;
    d.rotation = n.script_rotation * std::numbers::pi / 180;
  }
  return d;
}

void SetTransform(flashsaver::DisplayObject& n, const Decomposed& d) {
  const double xs = std::clamp(d.xscale, -1e9, 1e9), ys = std::clamp(d.yscale, -1e9, 1e9);
  const double r = std::isfinite(d.rotation) ? d.rotation : 0, ry = r + d.skew;
  n.matrix = Matrix{xs * std::cos(r),  xs * std::sin(r), -ys * std::sin(ry),
                    ys * std::cos(ry), n.matrix.tx,      n.matrix.ty};
  n.has_script_transform = true;
  n.script_xscale = d.xscale * 100;
  n.script_yscale = d.yscale * 100;
  n.script_rotation = d.rotation * 180 / std::numbers::pi;
}

// A singular matrix maps everything to its translation: its inverse is taken as identity.
Matrix Invert(const Matrix& m) {
  const double det = m.a * m.d - m.b * m.c;
  if (det == 0 || !std::isfinite(det)) return Matrix{};
  return Matrix{m.d / det,
                -m.b / det,
                -m.c / det,
                m.a / det,
                (m.c * m.ty - m.d * m.tx) / det,
                (m.b * m.tx - m.a * m.ty) / det};
}

// The node whose transform the object's properties read and write: the root's is kept by the
// list apart from its clip.
flashsaver::DisplayObject* Node(Vm& vm, const Value& self) {
  NodeObject* o = NodeOf(vm, self);
  if (o->node) return o->node;
  DisplayHost* host = vm.display_host;
  if (host && host->list && o->root_clip == &host->list->root()) return &host->list->root_transform;
  return nullptr;
}

// A finite number from the argument; nullopt for NaN, which leaves the property as it was.
std::optional<double> Finite(Vm& vm, std::span<const Value> args) {
  const double v = ArgNumber(vm, args, 0, NAN);
  if (std::isnan(v)) return std::nullopt;
  return std::clamp(v, -1e12, 1e12);
}

// Pixels to twips as Flash stores positions: whole twips, toward zero.
double ToTwips(double px) { return std::trunc(px * 20); }

Value GetX(Vm& vm, const Value& self, std::span<const Value>) {
  auto* n = Node(vm, self);
  return Value(n ? n->matrix.tx / 20 : 0.0);
}
Value SetX(Vm& vm, const Value& self, std::span<const Value> args) {
  auto* n = Node(vm, self);
  if (auto v = Finite(vm, args); n && v) n->matrix.tx = ToTwips(*v);
  return Value();
}
Value GetY(Vm& vm, const Value& self, std::span<const Value>) {
  auto* n = Node(vm, self);
  return Value(n ? n->matrix.ty / 20 : 0.0);
}
Value SetY(Vm& vm, const Value& self, std::span<const Value> args) {
  auto* n = Node(vm, self);
  if (auto v = Finite(vm, args); n && v) n->matrix.ty = ToTwips(*v);
  return Value();
}
Value GetScaleX(Vm& vm, const Value& self, std::span<const Value>) {
  auto* n = Node(vm, self);
  return Value(n ? ScriptTransform(*n).xscale : 1.0);
}
Value SetScaleX(Vm& vm, const Value& self, std::span<const Value> args) {
  auto* n = Node(vm, self);
  if (auto v = Finite(vm, args); n && v) {
    Decomposed d = ScriptTransform(*n);
    d.xscale = *v;
    SetTransform(*n, d);
  }
  return Value();
}
Value GetScaleY(Vm& vm, const Value& self, std::span<const Value>) {
  auto* n = Node(vm, self);
  return Value(n ? ScriptTransform(*n).yscale : 1.0);
}
Value SetScaleY(Vm& vm, const Value& self, std::span<const Value> args) {
  auto* n = Node(vm, self);
  if (auto v = Finite(vm, args); n && v) {
    Decomposed d = ScriptTransform(*n);
    d.yscale = *v;
    SetTransform(*n, d);
  }
  return Value();
}
Value GetRotation(Vm& vm, const Value& self, std::span<const Value>) {
  auto* n = Node(vm, self);
  return Value(n ? ScriptTransform(*n).rotation * 180 / std::numbers::pi : 0.0);
}
Value SetRotation(Vm& vm, const Value& self, std::span<const Value> args) {
  auto* n = Node(vm, self);
  if (auto v = Finite(vm, args); n && v) {
    // Flash keeps the angle within -180..180.
    double deg = std::fmod(*v, 360.0);
    if (deg > 180) deg -= 360;
    if (deg < -180) deg += 360;
    Decomposed d = ScriptTransform(*n);
    d.rotation = deg * std::numbers::pi / 180;
    SetTransform(*n, d);
  }
  return Value();
}
Value GetAlpha(Vm& vm, const Value& self, std::span<const Value>) {
  auto* n = Node(vm, self);
  return Value(n ? n->color.a_mult / 256.0 : 1.0);
}
Value SetAlpha(Vm& vm, const Value& self, std::span<const Value> args) {
  auto* n = Node(vm, self);
  if (auto v = Finite(vm, args); n && v)
    n->color.a_mult = static_cast<int16_t>(std::clamp(*v * 256, -32768.0, 32767.0));
  return Value();
}
Value GetVisible(Vm& vm, const Value& self, std::span<const Value>) {
  auto* n = Node(vm, self);
  return Value(n ? n->visible : true);
}
Value SetVisible(Vm& vm, const Value& self, std::span<const Value> args) {
  if (auto* n = Node(vm, self)) n->visible = ArgBool(vm, args, 0);
  return Value();
}
Value GetName(Vm& vm, const Value& self, std::span<const Value>) {
  NodeObject* o = NodeOf(vm, self);
  if (o->node) return Value(Str::FromUtf8(o->node->name));
  return o->is_stage ? Value::Null() : Value(o->name);
}
Value SetName(Vm& vm, const Value& self, std::span<const Value> args) {
  NodeObject* o = NodeOf(vm, self);
  if (o->node && !o->node->scripted && o->node->character)
    vm.ThrowError(ErrorType::kIllegalOperationError, 2078);
  Str name = ArgString(vm, args, 0);
  if (o->node) o->node->name = name.ToUtf8();
  o->name = name;
  return Value();
}

// Bounds of the node's content in the space of `to` (a node's own, or the stage's when null).
std::optional<SwfRect> BoundsIn(const flashsaver::DisplayObject* node, const Clip* root_clip,
                                const flashsaver::DisplayObject* to) {
  Matrix m = StageMatrixOf(node);
  if (to) m = Invert(StageMatrixOf(to)) * m;
  if (node) return ContentBounds(*node, m, 0);
  if (!root_clip) return std::nullopt;
  std::optional<SwfRect> all;
  for (const auto& [depth, child] : root_clip->children) {
    auto b = ContentBounds(*child, m * child->matrix, 1);
    if (!b) continue;
    if (!all) {
      all = b;
    } else {
      all->x_min.value = std::min(all->x_min.value, b->x_min.value);
      all->y_min.value = std::min(all->y_min.value, b->y_min.value);
      all->x_max.value = std::max(all->x_max.value, b->x_max.value);
      all->y_max.value = std::max(all->y_max.value, b->y_max.value);
    }
  }
  return all;
}

// Width or height as the parent sees it.
double Extent(NodeObject* o, bool height) {
  std::optional<SwfRect> b;
  if (o->node) {
    b = ContentBounds(*o->node, o->node->matrix, 0);
  } else {
    b = BoundsIn(nullptr, o->root_clip, nullptr);
  }
  if (!b) return 0;
  return (height ? b->y_max.value - b->y_min.value : b->x_max.value - b->x_min.value) / 20.0;
}
Value GetWidth(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Extent(NodeOf(vm, self), false));
}
Value GetHeight(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Extent(NodeOf(vm, self), true));
}
void SetExtent(Vm& vm, const Value& self, std::span<const Value> args, bool height) {
  NodeObject* o = NodeOf(vm, self);
  auto v = Finite(vm, args);
  if (!o->node || !v) return;
  // The scale that makes the unrotated content as wide (or high) as asked.
  const std::optional<SwfRect> own = ContentBounds(*o->node, Matrix{}, 0);
  if (!own) return;
  const double size =
      (height ? own->y_max.value - own->y_min.value : own->x_max.value - own->x_min.value) / 20.0;
  if (size <= 0) return;
  Decomposed d = ScriptTransform(*o->node);
  (height ? d.yscale : d.xscale) = std::max(0.0, *v) / size;
  SetTransform(*o->node, d);
}
Value SetWidth(Vm& vm, const Value& self, std::span<const Value> args) {
  SetExtent(vm, self, args, false);
  return Value();
}
Value SetHeight(Vm& vm, const Value& self, std::span<const Value> args) {
  SetExtent(vm, self, args, true);
  return Value();
}

Value GetParent(Vm& vm, const Value& self, std::span<const Value>) {
  NodeObject* o = NodeOf(vm, self);
  if (o->node) return Value(o->node->parent ? ScriptObjectOfClip(vm, *o->node->parent) : nullptr);
  if (self.AsObject() == vm.display_root) return Value(vm.display_stage);
  return Value::Null();
}
const Clip* ClipAbove(NodeObject* o) {
  if (o->node) return o->node->parent;
  return o->root_clip;
}
Value GetStage(Vm& vm, const Value& self, std::span<const Value>) {
  NodeObject* o = NodeOf(vm, self);
  if (o->is_stage) return self;
  return Value(OnStage(vm, ClipAbove(o)) ? vm.display_stage : nullptr);
}
Value GetRoot(Vm& vm, const Value& self, std::span<const Value>) {
  NodeObject* o = NodeOf(vm, self);
  if (o->is_stage) return self;
  DisplayHost* host = vm.display_host;
  const Clip* c = ClipAbove(o);
  for (int guard = 0; c && c->owner && guard <= kMaxClipNesting + 2; ++guard) {
    if (!c->owner->parent) return Value::Null();  // off the list
    c = c->owner->parent;
  }
  if (!c || !host || !host->list) return Value(o->node ? nullptr : self.AsObject());
  if (c == &host->list->root()) return Value(vm.display_root);
  if (c == &host->list->stage_clip()) return Value(vm.display_stage);
  return Value::Null();
}

const char* const kBlendModes[] = {"normal",  "normal", "layer",      "multiply", "screen",
                                   "lighten", "darken", "difference", "add",      "subtract",
                                   "invert",  "alpha",  "erase",      "overlay",  "hardlight"};
Value GetBlendMode(Vm& vm, const Value& self, std::span<const Value>) {
  auto* n = Node(vm, self);
  const uint8_t mode = n && n->blend_mode ? *n->blend_mode : 0;
  return Value(Str::FromUtf8(mode < std::size(kBlendModes) ? kBlendModes[mode] : "normal"));
}
Value SetBlendMode(Vm& vm, const Value& self, std::span<const Value> args) {
  auto* n = Node(vm, self);
  const std::string name = ArgString(vm, args, 0).ToUtf8();
  for (uint8_t i = 1; i < std::size(kBlendModes); ++i) {
    if (name == kBlendModes[i]) {
      if (n) n->blend_mode = i;
      return Value();
    }
  }
  vm.ThrowError(ErrorType::kArgumentError, 2008, {"blendMode"});
}
Value GetCacheAsBitmap(Vm& vm, const Value& self, std::span<const Value>) {
  auto* n = Node(vm, self);
  return Value(n && (n->cache_as_bitmap || !n->filters.empty()));
}
Value SetCacheAsBitmap(Vm& vm, const Value& self, std::span<const Value> args) {
  if (auto* n = Node(vm, self)) n->cache_as_bitmap = ArgBool(vm, args, 0);
  return Value();
}
Value GetMask(Vm& vm, const Value& self, std::span<const Value>) {
  auto* n = Node(vm, self);
  DisplayHost* host = vm.display_host;
  if (!n || !host || !host->list) return Value::Null();
  const flashsaver::DisplayObject* m = host->list->ScriptMaskOf(*n);
  return Value(m ? m->script3 : nullptr);
}
Value SetMask(Vm& vm, const Value& self, std::span<const Value> args) {
  auto* n = Node(vm, self);
  DisplayHost* host = vm.display_host;
  if (!n || !host || !host->list) return Value();
  auto* mask = dynamic_cast<NodeObject*>(Arg(args, 0).AsObject());
  // Objects that mask, or are masked, by script stop masking the timeline's layers.
  n->clip_depth = 0;
  if (mask && mask->node) mask->node->clip_depth = 0;
  if (mask && mask->node) host->list->StopMasking(*mask->node);
  host->list->SetScriptMask(*n, mask ? mask->node : nullptr);
  return Value();
}
Value GetFilters(Vm& vm, const Value&, std::span<const Value>) { return Value(vm.NewArray()); }
Value Ignore(Vm&, const Value&, std::span<const Value>) { return Value(); }
Value GetNull(Vm&, const Value&, std::span<const Value>) { return Value::Null(); }
Value GetZero(Vm&, const Value&, std::span<const Value>) { return Value(0.0); }
Value GetTrue(Vm&, const Value&, std::span<const Value>) { return Value(true); }
Value GetFalse(Vm&, const Value&, std::span<const Value>) { return Value(false); }

Value RectOf(Vm& vm, const std::optional<SwfRect>& b) {
  if (!b)
    return MakeGeom(vm, "flash.geom::Rectangle", {{"x", 0}, {"y", 0}, {"width", 0}, {"height", 0}});
  return MakeGeom(vm, "flash.geom::Rectangle",
                  {{"x", b->x_min.value / 20.0},
                   {"y", b->y_min.value / 20.0},
                   {"width", (b->x_max.value - b->x_min.value) / 20.0},
                   {"height", (b->y_max.value - b->y_min.value) / 20.0}});
}
Value GetBounds(Vm& vm, const Value& self, std::span<const Value> args) {
  NodeObject* o = NodeOf(vm, self);
  auto* to = dynamic_cast<NodeObject*>(Arg(args, 0).AsObject());
  return RectOf(vm, BoundsIn(o->node, o->root_clip, to ? to->node : nullptr));
}

double NumberOf(Vm& vm, const Value& obj, const char* name) {
  if (!obj.AsObject()) vm.ThrowError(ErrorType::kTypeError, 2007, {"point"});
  return vm.ToNumber(vm.GetProperty(obj, name));
}
Value LocalToGlobal(Vm& vm, const Value& self, std::span<const Value> args) {
  NodeObject* o = NodeOf(vm, self);
  const Point p = StageMatrixOf(o->node).Apply(
      {NumberOf(vm, Arg(args, 0), "x") * 20, NumberOf(vm, Arg(args, 0), "y") * 20});
  return MakeGeom(vm, "flash.geom::Point", {{"x", p.x / 20}, {"y", p.y / 20}});
}
Value GlobalToLocal(Vm& vm, const Value& self, std::span<const Value> args) {
  NodeObject* o = NodeOf(vm, self);
  const Point p =
      Invert(StageMatrixOf(o->node))
          .Apply({NumberOf(vm, Arg(args, 0), "x") * 20, NumberOf(vm, Arg(args, 0), "y") * 20});
  return MakeGeom(vm, "flash.geom::Point", {{"x", p.x / 20}, {"y", p.y / 20}});
}
bool Contains(const std::optional<SwfRect>& b, double x, double y) {
  return b && x >= b->x_min.value && x <= b->x_max.value && y >= b->y_min.value &&
         y <= b->y_max.value;
}
Value HitTestPoint(Vm& vm, const Value& self, std::span<const Value> args) {
  NodeObject* o = NodeOf(vm, self);
  const double x = ArgNumber(vm, args, 0) * 20, y = ArgNumber(vm, args, 1) * 20;
  return Value(Contains(BoundsIn(o->node, o->root_clip, nullptr), x, y));
}
Value HitTestObject(Vm& vm, const Value& self, std::span<const Value> args) {
  NodeObject* o = NodeOf(vm, self);
  auto* other = dynamic_cast<NodeObject*>(Arg(args, 0).AsObject());
  if (!other) vm.ThrowError(ErrorType::kTypeError, 2007, {"obj"});
  auto a = BoundsIn(o->node, o->root_clip, nullptr);
  auto b = BoundsIn(other->node, other->root_clip, nullptr);
  return Value(a && b && a->x_min.value <= b->x_max.value && b->x_min.value <= a->x_max.value &&
               a->y_min.value <= b->y_max.value && b->y_min.value <= a->y_max.value);
}

Value DisplayObjectCtor(Vm& vm, const Value& self, std::span<const Value>) {
  // Only subclasses make display objects; the base class itself is abstract.
  if (self.AsObject() && self.AsObject()->cls() &&
      self.AsObject()->cls()->qualified == "flash.display::DisplayObject")
    vm.ThrowError(ErrorType::kArgumentError, 2012, {"DisplayObject$"});
  return Value();
}

}  // namespace

NativeClass MakeDisplayClass(const char* package, const char* name, const char* super,
                             std::vector<NativeMember> instance, std::vector<NativeMember> statics,
                             NativeFn ctor) {
  NativeClass c;
  c.package = package;
  c.name = name;
  c.super_name = super;
  c.instance = std::move(instance);
  c.statics = std::move(statics);
  c.constructor = ctor;
  return c;
}

Matrix StageMatrixOf(const flashsaver::DisplayObject* node) {
  if (!node) return Matrix{};
  Matrix m = node->matrix;
  int guard = 0;
  for (const Clip* c = node->parent; c && c->owner && guard <= kMaxClipNesting + 2;
       c = c->owner->parent, ++guard)
    m = c->owner->matrix * m;
  return m;
}

Value MakeGeom(Vm& vm, const char* cls, std::initializer_list<std::pair<const char*, double>> f) {
  if (ClassObject* c = vm.FindClass(cls)) {
    std::vector<Value> args;
    for (const auto& [name, v] : f) args.emplace_back(v);
    return vm.Construct(Value(static_cast<Object*>(c)), args);
  }
  Object* o = vm.NewObject();
  for (const auto& [name, v] : f) vm.SetProperty(Value(o), name, Value(v));
  return Value(o);
}

void AddObjectClasses(std::vector<const NativeClass*>& out) {
  static const NativeClass k[] = {
      [] {
        NativeClass c =
            MakeDisplayClass("flash.display", "DisplayObject", "flash.events::EventDispatcher",
                             {Getter("x", GetX),
                              Setter("x", SetX),
                              Getter("y", GetY),
                              Setter("y", SetY),
                              Getter("scaleX", GetScaleX),
                              Setter("scaleX", SetScaleX),
                              Getter("scaleY", GetScaleY),
                              Setter("scaleY", SetScaleY),
                              Getter("rotation", GetRotation),
                              Setter("rotation", SetRotation),
                              Getter("alpha", GetAlpha),
                              Setter("alpha", SetAlpha),
                              Getter("visible", GetVisible),
                              Setter("visible", SetVisible),
                              Getter("name", GetName),
                              Setter("name", SetName),
                              Getter("width", GetWidth),
                              Setter("width", SetWidth),
                              Getter("height", GetHeight),
                              Setter("height", SetHeight),
                              Getter("parent", GetParent),
                              Getter("stage", GetStage),
                              Getter("root", GetRoot),
                              Getter("blendMode", GetBlendMode),
                              Setter("blendMode", SetBlendMode),
                              Getter("cacheAsBitmap", GetCacheAsBitmap),
                              Setter("cacheAsBitmap", SetCacheAsBitmap),
                              Getter("mask", GetMask),
                              Setter("mask", SetMask),
                              Getter("filters", GetFilters),
                              Setter("filters", Ignore),
                              Getter("opaqueBackground", GetNull),
                              Setter("opaqueBackground", Ignore),
                              Getter("scrollRect", GetNull),
                              Setter("scrollRect", Ignore),
                              Getter("mouseX", GetZero),
                              Getter("mouseY", GetZero),
                              Getter("loaderInfo", GetNull),
                              Method("getBounds", GetBounds, 1),
                              Method("getRect", GetBounds, 1),
                              Method("localToGlobal", LocalToGlobal, 1).Needs(1),
                              Method("globalToLocal", GlobalToLocal, 1).Needs(1),
                              Method("hitTestPoint", HitTestPoint, 3).Needs(2),
                              Method("hitTestObject", HitTestObject, 1).Needs(1)},
                             {}, DisplayObjectCtor);
        c.create = CreateNodeObject;
        return c;
      }(),
      MakeDisplayClass(
          "flash.display", "InteractiveObject", "flash.display::DisplayObject",
          {Getter("mouseEnabled", GetTrue), Setter("mouseEnabled", Ignore),
           Getter("doubleClickEnabled", GetFalse), Setter("doubleClickEnabled", Ignore),
           Getter("tabEnabled", GetFalse), Setter("tabEnabled", Ignore),
           Getter("tabIndex", GetZero), Setter("tabIndex", Ignore), Getter("focusRect", GetNull),
           Setter("focusRect", Ignore), Getter("contextMenu", GetNull),
           Setter("contextMenu", Ignore)},
          {}),
      MakeDisplayClass("flash.display", "MorphShape", "flash.display::DisplayObject", {}, {}),
      MakeDisplayClass("flash.text", "StaticText", "flash.display::DisplayObject", {}, {}),
      MakeDisplayClass("flash.display", "Bitmap", "flash.display::DisplayObject", {}, {}),
      MakeDisplayClass("flash.display", "SimpleButton", "flash.display::InteractiveObject",
                       {Getter("enabled", GetTrue), Setter("enabled", Ignore),
                        Getter("useHandCursor", GetTrue), Setter("useHandCursor", Ignore)},
                       {}),
  };
  for (const NativeClass& c : k) out.push_back(&c);
}

}  // namespace flashsaver::avm2
