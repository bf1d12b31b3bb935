// MovieClip: the prototype that every clip's script object inherits, with the methods that
// drive timelines, make and remove clips, and map points and bounds between clips.
#include <cmath>
#include <optional>

#include "player/avm1/display/script_host.h"

namespace flashsaver {

std::optional<SwfRect> ContentBounds(const DisplayObject& object, const Matrix& m, int level);
std::optional<SwfRect> DrawingBounds(const Clip& clip, const Matrix& m);

namespace {

using avm1::CallArgs;
using avm1::Object;
using avm1::Value;
using avm1::Vm;

// Only the movie player installs this class, always with its ScriptHost.
ScriptHost& HostOf(Vm& vm) { return static_cast<ScriptHost&>(vm.host()); }

Clip* ThisClip(const CallArgs& c) { return ScriptHost::ClipOf(c.this_obj); }

Matrix ToStage(const Clip* clip) {
  Matrix m;
  for (const Clip* c = clip; c && c->owner; c = c->owner->parent) m = c->owner->matrix * m;
  return m;
}

Matrix Inverse(const Matrix& m) {
  const double det = m.a * m.d - m.b * m.c;
  if (det == 0) return Matrix{0, 0, 0, 0, 0, 0};
  const Matrix i{m.d / det, -m.b / det, -m.c / det, m.a / det, 0, 0};
  const Point t = i.Apply({m.tx, m.ty});
  return {i.a, i.b, i.c, i.d, -t.x, -t.y};
}

Value Play(Vm& vm, const CallArgs& c) {
  vm.host().Play(c.this_obj);
  return Value();
}
Value Stop(Vm& vm, const CallArgs& c) {
  vm.host().Stop(c.this_obj);
  return Value();
}
Value NextFrame(Vm& vm, const CallArgs& c) {
  vm.host().NextFrame(c.this_obj);
  return Value();
}
Value PrevFrame(Vm& vm, const CallArgs& c) {
  vm.host().PrevFrame(c.this_obj);
  return Value();
}

void Goto(Vm& vm, const CallArgs& c, bool play) {
  const Value frame = c.Arg(0);
  if (frame.IsString()) {
    if (vm.host().GotoLabel(c.this_obj, frame.AsString(), play)) return;
  }
  const double n = vm.ToNumber(frame);
  if (std::isfinite(n) && n >= 1) {
    vm.host().GotoFrame(c.this_obj, static_cast<uint32_t>(std::min(n, 16000.0)) - 1, play);
  }
}
Value GotoAndPlay(Vm& vm, const CallArgs& c) {
  Goto(vm, c, true);
  return Value();
}
Value GotoAndStop(Vm& vm, const CallArgs& c) {
  Goto(vm, c, false);
  return Value();
}

Value GetDepth(Vm&, const CallArgs& c) {
  Clip* clip = ThisClip(c);
  if (!clip) return Value();
  return static_cast<double>((clip->owner ? clip->owner->depth : 0) - ScriptHost::kDepthOffset);
}

void CopyInit(Vm& vm, Object* to, const Value& init) {
  Object* from = init.AsObject();
  if (!from || !to) return;
  for (const std::string& name : vm.EnumerableNames(from)) {
    vm.SetMember(to, name, vm.GetMember(from, name));
  }
}

// Script depths reach from -16384 to about a million above 0.
bool ScriptDepth(Vm& vm, const Value& v, int32_t& key) {
  const double d = vm.ToNumber(v);
  if (!std::isfinite(d) || d < -16384 || d > 2130690044) return false;
  key = static_cast<int32_t>(d) + ScriptHost::kDepthOffset;
  return true;
}

Value Added(ScriptHost& host, DisplayObject* added) {
  if (!added || !added->clip) return Value();
  return Value(static_cast<Object*>(host.ObjectFor(*added->clip)));
}

Value AttachMovie(Vm& vm, const CallArgs& c) {
  Clip* clip = ThisClip(c);
  ScriptHost& host = HostOf(vm);
  int32_t key = 0;
  if (!clip || !ScriptDepth(vm, c.Arg(2), key)) return Value();
  const std::string id = vm.ToString(c.Arg(0));
  uint16_t character = 0;
  for (const auto& [name, cid] : ScriptHost::MovieOf(*clip).exports) {
    if (avm1::NamesEqual(name, id, false)) character = cid;
  }
  if (!character) return Value();
  Value result = Added(host, host.list().AddScripted(*clip, character, key, vm.ToString(c.Arg(1))));
  Clip* added = ScriptHost::ClipOf(result.AsObject());
  // A button takes no init object (attachMovieTest).
  if (!added || !ScriptHost::IsButton(*added)) CopyInit(vm, result.AsObject(), c.Arg(3));
  if (added) host.Construct(*added);
  return result;
}

Value CreateEmptyMovieClip(Vm& vm, const CallArgs& c) {
  Clip* clip = ThisClip(c);
  ScriptHost& host = HostOf(vm);
  int32_t key = 0;
  if (!clip || !ScriptDepth(vm, c.Arg(1), key)) return Value();
  Value result = Added(host, host.list().AddScripted(*clip, 0, key, vm.ToString(c.Arg(0))));
  if (Clip* added = ScriptHost::ClipOf(result.AsObject())) host.Construct(*added);
  return result;
}

Value DuplicateMovieClip(Vm& vm, const CallArgs& c) {
  Clip* clip = ThisClip(c);
  int32_t key = 0;
  if (!clip || !clip->owner || !ScriptDepth(vm, c.Arg(1), key)) return Value();
  ScriptHost& host = HostOf(vm);
  host.CloneClip(c.this_obj, vm.ToString(c.Arg(0)), key - ScriptHost::kDepthOffset);
  Clip* parent = clip->owner->parent;
  const auto it = parent->children.find(key);
  if (it == parent->children.end()) return Value();
  Value result = Added(host, it->second.get());
  CopyInit(vm, result.AsObject(), c.Arg(2));
  return result;
}

Value RemoveMovieClip(Vm& vm, const CallArgs& c) {
  vm.host().RemoveClip(c.this_obj);
  return Value();
}

Value SwapDepths(Vm& vm, const CallArgs& c) {
  Clip* clip = ThisClip(c);
  if (!clip || !clip->owner || !clip->owner->parent) return Value();
  Clip& parent = *clip->owner->parent;
  int32_t key = 0;
  const Value target = c.Arg(0);
  if (Clip* other = ScriptHost::ClipOf(target.AsObject())) {
    if (!other->owner || other->owner->parent != &parent) return Value();
    key = other->owner->depth;
  } else if (!ScriptDepth(vm, target, key)) {
    return Value();
  }
  const int32_t mine = clip->owner->depth;
  if (key == mine) return Value();
  auto node = parent.children.extract(mine);
  auto other = parent.children.extract(key);
  node.key() = key;
  node.mapped()->depth = key;
  node.mapped()->scripted = true;
  parent.children.insert(std::move(node));
  if (!other.empty()) {
    other.key() = mine;
    other.mapped()->depth = mine;
    other.mapped()->scripted = true;
    parent.children.insert(std::move(other));
  }
  return Value();
}

Value GetNextHighestDepth(Vm&, const CallArgs& c) {
  Clip* clip = ThisClip(c);
  if (!clip) return Value();
  int32_t next = 0;
  if (!clip->children.empty()) {
    next = std::max(0, clip->children.rbegin()->first - ScriptHost::kDepthOffset + 1);
  }
  return static_cast<double>(next);
}

Value GetInstanceAtDepth(Vm& vm, const CallArgs& c) {
  Clip* clip = ThisClip(c);
  int32_t key = 0;
  if (!clip || !ScriptDepth(vm, c.Arg(0), key)) return Value();
  const auto it = clip->children.find(key);
  if (it == clip->children.end()) return Value();
  if (it->second->text) return Value(HostOf(vm).TextObjectFor(*it->second));
  // A shape has no script object of its own: the player answers with its parent.
  Clip* found = it->second->clip ? it->second->clip.get() : clip;
  return Value(static_cast<Object*>(HostOf(vm).ObjectFor(*found)));
}

// Bounds of the clip in the space of `target` (pixels); empty clips give the player's
// out-of-range marker.
std::optional<SwfRect> BoundsIn(Clip* clip, Clip* target) {
  if (!clip) return std::nullopt;
  const Matrix m = Inverse(ToStage(target)) * ToStage(clip);
  std::optional<SwfRect> bounds;
  bounds = DrawingBounds(*clip, m);
  for (const auto& [depth, child] : clip->children) {
    if (auto b = ContentBounds(*child, m * child->matrix, 0)) {
      if (!bounds) {
        bounds = b;
      } else {
        bounds->x_min.value = std::min(bounds->x_min.value, b->x_min.value);
        bounds->y_min.value = std::min(bounds->y_min.value, b->y_min.value);
        bounds->x_max.value = std::max(bounds->x_max.value, b->x_max.value);
        bounds->y_max.value = std::max(bounds->y_max.value, b->y_max.value);
      }
    }
  }
  return bounds;
}

Value GetBounds(Vm& vm, const CallArgs& c) {
  Clip* clip = ThisClip(c);
  if (!clip) return Value();
  Clip* target = c.args.empty() ? clip : ScriptHost::ClipOf(c.Arg(0).AsObject());
  if (!target) return Value();
  const std::optional<SwfRect> b = BoundsIn(clip, target);
  Object* r = vm.NewObject();
  ScriptHost& host = HostOf(vm);
  if (Clip* caller = ScriptHost::ClipOf(vm.CurrentTarget())) {
    if (ScriptHost::MovieOf(*caller).header.version >= 8) host.empty_bounds_rounded = true;
  }
  const double none = host.empty_bounds_rounded ? 6710886.4 : 6710886.35;
  vm.SetMember(r, "xMin", b ? b->x_min.value / 20.0 : none);
  vm.SetMember(r, "xMax", b ? b->x_max.value / 20.0 : none);
  vm.SetMember(r, "yMin", b ? b->y_min.value / 20.0 : none);
  vm.SetMember(r, "yMax", b ? b->y_max.value / 20.0 : none);
  return Value(r);
}

void MapPoint(Vm& vm, const CallArgs& c, bool to_global) {
  Clip* clip = ThisClip(c);
  Object* pt = c.Arg(0).AsObject();
  if (!clip || !pt) return;
  const Matrix m = to_global ? ToStage(clip) : Inverse(ToStage(clip));
  const Point p =
      m.Apply({vm.ToNumber(vm.GetMember(pt, "x")) * 20, vm.ToNumber(vm.GetMember(pt, "y")) * 20});
  vm.SetMember(pt, "x", p.x / 20);
  vm.SetMember(pt, "y", p.y / 20);
}
Value LocalToGlobal(Vm& vm, const CallArgs& c) {
  MapPoint(vm, c, true);
  return Value();
}
Value GlobalToLocal(Vm& vm, const CallArgs& c) {
  MapPoint(vm, c, false);
  return Value();
}

Value HitTest(Vm& vm, const CallArgs& c) {
  Clip* clip = ThisClip(c);
  if (!clip) return false;
  const std::optional<SwfRect> mine = BoundsIn(clip, nullptr);
  if (!mine) return false;
  if (Clip* other = ScriptHost::ClipOf(c.Arg(0).AsObject())) {
    const std::optional<SwfRect> theirs = BoundsIn(other, nullptr);
    if (!theirs) return false;
    return mine->x_min.value <= theirs->x_max.value && theirs->x_min.value <= mine->x_max.value &&
           mine->y_min.value <= theirs->y_max.value && theirs->y_min.value <= mine->y_max.value;
  }
  const double x = vm.ToNumber(c.Arg(0)) * 20, y = vm.ToNumber(c.Arg(1)) * 20;
  return x >= mine->x_min.value && x <= mine->x_max.value && y >= mine->y_min.value &&
         y <= mine->y_max.value;
}

Value StartDragMethod(Vm& vm, const CallArgs& c) {
  if (!ThisClip(c)) return Value();
  double bounds[4];
  const bool constrain = c.args.size() >= 5;
  for (size_t i = 0; constrain && i < 4; ++i) bounds[i] = vm.ToNumber(c.Arg(i + 1));
  vm.host().StartDrag(c.this_obj, vm.ToBool(c.Arg(0)), constrain ? bounds : nullptr);
  return Value();
}
// setMask(clip): the clip masks this one and is no longer drawn itself; null removes it.
Value SetMask(Vm& vm, const CallArgs& c) {
  Clip* clip = ThisClip(c);
  if (!clip || !clip->owner) return false;
  Clip* mask = ScriptHost::ClipOf(c.Arg(0).AsObject());
  HostOf(vm).list().SetScriptMask(*clip->owner, mask ? mask->owner : nullptr);
  return true;
}

Value StopDragMethod(Vm& vm, const CallArgs&) {
  vm.host().StopDrag();
  return Value();
}

Value BytesTotal(Vm& vm, const CallArgs&) {
  return static_cast<double>(HostOf(vm).movie().header.file_length);
}

Value Constructor(Vm&, const CallArgs&) { return Value(); }
Value Ignored(Vm&, const CallArgs&) { return Value(); }

// getURL(url, window, method): the GetURL2 action as a method; "GET" and "POST" name the method.
Value GetUrlMethod(Vm& vm, const CallArgs& c) {
  if (c.args.empty()) return Value();
  const std::string url = vm.ToString(c.Arg(0));
  const std::string window = c.args.size() > 1 ? vm.ToString(c.Arg(1)) : std::string();
  int flags = 0;
  if (c.args.size() > 2) {
    const std::string method = vm.ToString(c.Arg(2));
    if (avm1::NamesEqual(method, "get", false)) flags = 1;
    if (avm1::NamesEqual(method, "post", false)) flags = 2;
  }
  vm.host().GetUrl(url, window, flags);
  return Value();
}

}  // namespace

void InstallMovieClipClass(ScriptHost& host) {
  Vm& vm = host.vm();
  Object* proto = vm.NewObject();
  vm.DefineClass("MovieClip", Constructor, nullptr, proto);
  static constexpr std::pair<const char*, avm1::NativeFn> kMethods[] = {
      {"play", Play},
      {"stop", Stop},
      {"nextFrame", NextFrame},
      {"prevFrame", PrevFrame},
      {"gotoAndPlay", GotoAndPlay},
      {"gotoAndStop", GotoAndStop},
      {"getDepth", GetDepth},
      {"attachMovie", AttachMovie},
      {"createEmptyMovieClip", CreateEmptyMovieClip},
      {"duplicateMovieClip", DuplicateMovieClip},
      {"removeMovieClip", RemoveMovieClip},
      {"swapDepths", SwapDepths},
      {"getNextHighestDepth", GetNextHighestDepth},
      {"getInstanceAtDepth", GetInstanceAtDepth},
      {"getBounds", GetBounds},
      {"getRect", GetBounds},
      {"localToGlobal", LocalToGlobal},
      {"globalToLocal", GlobalToLocal},
      {"hitTest", HitTest},
      {"startDrag", StartDragMethod},
      {"stopDrag", StopDragMethod},
      {"setMask", SetMask},
      {"getBytesLoaded", BytesTotal},
      {"getBytesTotal", BytesTotal},
      {"getURL", GetUrlMethod},
  };
  for (const auto& [name, fn] : kMethods) vm.DefineMethod(proto, name, fn);
  // Methods added by later players are hidden from movies made for earlier ones.
  using avm1::prop_flag::kVersion6, avm1::prop_flag::kVersion7, avm1::prop_flag::kVersion8;
  static constexpr std::pair<const char*, uint16_t> kSince[] = {
      {"getDepth", kVersion6},
      {"createEmptyMovieClip", kVersion6},
      {"setMask", kVersion6},
      {"getNextHighestDepth", kVersion7},
      {"getInstanceAtDepth", kVersion7},
      {"getRect", kVersion8},
  };
  for (const auto& [name, since] : kSince) {
    if (avm1::Property* p = proto->FindOwn(name, true)) p->flags |= since;
  }
  // Clips answer to the pointer, with the hand, unless a script says otherwise.
  proto->Define("enabled", true);
  proto->Define("useHandCursor", true);
  // Sound from a NetStream, and gradient lines, are not played or drawn here; the methods are
  // there for movies that test for them.
  vm.DefineMethod(proto, "attachAudio", Ignored,
                  avm1::prop_flag::kDontEnum | avm1::prop_flag::kVersion6);
  vm.DefineMethod(proto, "lineGradientStyle", Ignored, avm1::prop_flag::kDontEnum);
  proto->FindOwn("lineGradientStyle", true)->flags |= kVersion8;
  // Hidden from for..in on clips, unlike on buttons (tab_ordering_properties).
  DefineTabIndex(vm, proto, avm1::prop_flag::kDontEnum);
}

}  // namespace flashsaver
