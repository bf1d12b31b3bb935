// Reading and writing members: prototype chains, addProperty getters and setters, watch(),
// __resolve, the length of arrays, and the display properties of clips.
#include <algorithm>
#include <cmath>

#include "player/avm1/activation.h"
#include "player/avm1/vm.h"

namespace flashsaver::avm1 {
namespace {

constexpr int kMaxChain = 256;  // a prototype loop must not hang a lookup
// Flash lets the getter, setter and watcher calls of one property nest 65 deep; past that
// the property reads and writes as a plain value (virtual_property_recursion_*,
// watch_recursion_*). The count is the property's, not the object's: two objects that
// inherit one getter share it, and a watcher's calls count with the getter's.
constexpr int kMaxPropertyNesting = 65;

// The display property a name stands for on a clip ("_x", "_ALPHA" in SWF 6...), or -1.
int ClipPropertyIndex(std::string_view name, bool case_sensitive) {
  if (name.empty() || name[0] != '_') return -1;
  for (int i = 0; i < kClipPropertyCount; ++i) {
    // Display properties ignore case in every version.
    if (NamesEqual(name, ClipPropertyName(i), false)) return i;
  }
  (void)case_sensitive;
  return -1;
}

}  // namespace

// An array index: digits only, no leading zero, below 2^32 - 1.
bool ArrayIndex(std::string_view name, uint32_t& out) {
  if (name.empty() || name.size() > 10) return false;
  if (name.size() > 1 && name[0] == '0') return false;
  uint64_t v = 0;
  for (char c : name) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v >= 4294967295u) return false;
  out = static_cast<uint32_t>(v);
  return true;
}

class Vm::PropertyCall {
 public:
  PropertyCall(Vm& vm, Property& p) : vm_(vm) {
    if (p.serial == 0) {
      if (++vm.next_property_serial_ == 0) ++vm.next_property_serial_;
      p.serial = vm.next_property_serial_;
    }
    serial_ = p.serial;
    ++vm.property_calls_[serial_];
  }
  ~PropertyCall() {
    auto it = vm_.property_calls_.find(serial_);
    if (--it->second == 0) vm_.property_calls_.erase(it);
  }
  PropertyCall(const PropertyCall&) = delete;
  PropertyCall& operator=(const PropertyCall&) = delete;

 private:
  Vm& vm_;
  uint32_t serial_ = 0;
};

int Vm::PropertyCallsUnderWay(const Property& p) const {
  if (p.serial == 0) return 0;
  auto it = property_calls_.find(p.serial);
  return it == property_calls_.end() ? 0 : it->second;
}

Value Vm::GetVirtual(Property* p, Object* this_obj) {
  if (!p->getter) return Value();
  if (PropertyCallsUnderWay(*p) >= kMaxPropertyNesting) return p->value;
  PropertyCall call(*this, *p);
  return CallFunction(p->getter, this_obj, {});
}

// The value written is also kept in the slot once the setter returns, which is what a read
// past the nesting limit sees: the outermost write lands last.
void Vm::SetVirtual(Object* holder, Property* p, Object* this_obj, const Value& value) {
  if (PropertyCallsUnderWay(*p) >= kMaxPropertyNesting) {
    p->value = value;
    return;
  }
  uint32_t serial;
  std::string name = p->name;
  {
    PropertyCall call(*this, *p);
    serial = p->serial;
    if (p->setter) {
      Value arg = value;
      CallFunction(p->setter, this_obj, std::span<const Value>(&arg, 1));
    }
  }
  // The setter may have deleted or replaced the property.
  Property* after = holder->FindOwn(name, true);
  if (after && after->serial == serial) after->value = value;
}

Object* Vm::FindHolder(Object* obj, std::string_view name) {
  bool cs = case_sensitive();
  int n = 0;
  for (Object* o = obj; o && n < kMaxChain; ++n) {
    if (Property* p = o->FindOwn(name, cs); p && prop_flag::VisibleTo(p->flags, swf_version_))
      return o;
    // A super object made a prototype passes lookups on to its base (super_edge_cases).
    o = o->kind() == ObjectKind::kSuper ? static_cast<SuperObject*>(o)->home : o->proto();
  }
  return nullptr;
}

bool Vm::HasProperty(Object* obj, std::string_view name) {
  if (FindHolder(obj, name)) return true;
  if (obj->kind() == ObjectKind::kClip) {
    if (ClipPropertyIndex(name, case_sensitive()) >= 0) return true;
    if (host_.ClipChild(obj, name)) return true;
  }
  return false;
}

Value Vm::GetMember(Object* obj, std::string_view name) {
  if (!obj) return Value();
  if (obj->kind() == ObjectKind::kSuper) {
    auto* s = static_cast<SuperObject*>(obj);
    if (!s->home || s->home->kind() == ObjectKind::kClip) return Value();
    Object* holder = FindHolder(s->home, name);
    if (!holder) return Value();
    Property* p = holder->FindOwn(name, case_sensitive());
    if (p->virtual_property) return GetVirtual(p, s->this_obj);
    return p->value;
  }
  bool cs = case_sensitive();
  if (obj->kind() == ObjectKind::kClip) {
    int index = ClipPropertyIndex(name, cs);
    if (index >= 0) return host_.GetClipProperty(obj, static_cast<ClipProperty>(index));
  }
  int n = 0;
  for (Object* o = obj; o && n < kMaxChain; o = o->proto(), ++n) {
    if (Property* p = o->FindOwn(name, cs)) {
      if (!prop_flag::VisibleTo(p->flags, swf_version_)) continue;
      if (p->virtual_property) return GetVirtual(p, obj);
      return p->value;
    }
    if (o == obj && obj->kind() == ObjectKind::kClip) {
      if (Object* child = host_.ClipChild(obj, name)) return child;
      // After its own members and children, a clip answers the path names as a member too.
      if (!name.empty() && name[0] == '_') {
        if (NamesEqual(name, "_root", cs)) return ResolveTarget(obj, "_root");
        if (swf_version_ >= 6 && NamesEqual(name, "_global", cs)) return global_;
        if (name.size() > 6 && NamesEqual(name.substr(0, 6), "_level", cs) &&
            name.find_first_not_of("0123456789", 6) == std::string_view::npos) {
          Object* level = host_.Level(static_cast<int32_t>(StringToNumber(name.substr(6), 5)));
          if (level) return level;
        }
      }
    }
  }
  if (obj->kind() == ObjectKind::kString && NamesEqual(name, "length", cs)) {
    // Boxed strings answer length from their value.
    return static_cast<double>(
        std::count_if(static_cast<ValueObject*>(obj)->value.AsString().begin(),
                      static_cast<ValueObject*>(obj)->value.AsString().end(),
                      [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
  }
  // A member missing everywhere asks the first object-valued __resolve of the chain, in every
  // version; values that are not objects do not count as a __resolve.
  if (name != "__resolve") {
    int depth = 0;
    for (Object* o = obj; o && depth < kMaxChain; o = o->proto(), ++depth) {
      Property* p = o->FindOwn("__resolve", cs);
      if (!p || !prop_flag::VisibleTo(p->flags, swf_version_)) continue;
      Value resolve = p->virtual_property ? GetVirtual(p, obj) : p->value;
      if (!resolve.IsObject()) continue;
      if (!IsFunction(resolve)) return Value();
      Value arg(name);
      return CallFunction(resolve, obj, std::span<const Value>(&arg, 1));
    }
  }
  return Value();
}

Value Vm::GetMemberOf(const Value& v, std::string_view name) {
  if (v.IsObject()) return GetMember(v.AsObject(), name);
  Value ctor = ScriptBoxingConstructor(v);
  if (ctor.IsNull()) return Value();
  if (!ctor.IsUndefined()) {
    Value boxed = Construct(ctor, std::span<const Value>(&v, 1));
    return boxed.IsObject() ? GetMember(boxed.AsObject(), name) : Value();
  }
  if (v.IsString() && NamesEqual(name, "length", case_sensitive())) {
    return static_cast<double>(std::count_if(v.AsString().begin(), v.AsString().end(), [](char c) {
      return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
  }
  Object* boxed = ToObject(v);
  return boxed ? GetMember(boxed, name) : Value();
}

void Vm::SetMember(Object* obj, std::string_view name, const Value& value_in) {
  if (!obj) return;
  bool cs = case_sensitive();
  if (obj->kind() == ObjectKind::kSuper) obj = static_cast<SuperObject*>(obj)->this_obj;
  if (!obj) return;
  if (obj->kind() == ObjectKind::kClip) {
    int index = ClipPropertyIndex(name, cs);
    if (index >= 0) {
      host_.SetClipProperty(obj, static_cast<ClipProperty>(index), value_in);
      return;
    }
  }
  Value value = value_in;
  // watch(): the callback sees old and new values and decides what is stored.
  for (auto& [wname, watcher] : obj->watchers()) {
    if (!NamesEqual(wname, name, cs)) continue;
    Property* own = obj->FindOwn(name, cs);
    if (!own) own = &obj->SetOwn(name, Value(), cs);
    if (PropertyCallsUnderWay(*own) >= kMaxPropertyNesting) break;
    Value old = own->virtual_property ? Value() : own->value;
    Value args[4] = {Value(std::string(name)), old, value, watcher.user_data};
    Object* callback = watcher.callback;
    PropertyCall call(*this, *own);
    value = CallFunction(callback, obj, args);
    break;
  }
  // A setter anywhere on the chain takes the write.
  int n = 0;
  for (Object* o = obj; o && n < kMaxChain; o = o->proto(), ++n) {
    Property* p = o->FindOwn(name, cs);
    if (!p) continue;
    // An inherited setter hidden from this version is not called (as_set_prop_flags_version).
    if (o != obj && !prop_flag::VisibleTo(p->flags, swf_version_)) continue;
    if (p->virtual_property) {
      SetVirtual(o, p, obj, value);
      return;
    }
    if (o == obj && (p->flags & prop_flag::kReadOnly)) return;
    // Writing a property hidden from this version makes it visible again.
    if (o == obj) p->flags &= static_cast<uint16_t>(~prop_flag::kVersionMask);
    break;
  }
  const uint32_t old_length = obj->kind() == ObjectKind::kArray ? ArrayLength(obj) : 0;
  obj->SetOwn(name, value, cs);
  if (obj->kind() == ObjectKind::kArray) {
    uint32_t index;
    if (ArrayIndex(name, index)) {
      if (index >= old_length) {
        obj->SetOwn("length", static_cast<double>(index) + 1, true).flags =
            prop_flag::kDontEnum | prop_flag::kDontDelete;
      }
    } else if (NamesEqual(name, "length", cs)) {
      // The length keeps the value as written (1e24, -1, 3.7, a string read back as such); the
      // elements past the count it stands for go.
      DropElements(obj, old_length, LengthOf(ToNumber(value)));
    }
  }
}

// The element count a length number stands for: its whole part when it is a valid length,
// else its 32-bit integer (ToInt32) when that is not negative, else none.
uint32_t LengthOf(double n) {
  if (!std::isfinite(n)) return 0;
  if (n >= 0 && n < 4294967295.0) return static_cast<uint32_t>(n);
  const double wrapped = std::fmod(std::trunc(n), 4294967296.0);
  const double unsigned_value = wrapped < 0 ? wrapped + 4294967296.0 : wrapped;
  return unsigned_value < 2147483648.0 ? static_cast<uint32_t>(unsigned_value) : 0;
}

void Vm::DropElements(Object* obj, uint32_t old, uint32_t length) {
  if (length >= old) return;
  if (old - length < obj->OwnCount() * 2) {
    for (uint32_t i = length; i < old; ++i) obj->RemoveOwn(std::to_string(i), true);
    return;
  }
  std::vector<std::string> doomed;
  obj->ForEachOwn([&](Property& p) {
    uint32_t index;
    if (ArrayIndex(p.name, index) && index >= length) doomed.push_back(p.name);
  });
  for (auto& d : doomed) obj->RemoveOwn(d, true);
}

uint32_t Vm::ArrayLength(Object* obj) {
  if (!obj) return 0;
  if (obj->kind() == ObjectKind::kArray) {
    if (Property* p = obj->FindOwn("length", true)) {
      return LengthOf(p->value.IsNumber() ? p->value.AsNumber() : ToNumber(p->value));
    }
    return 0;
  }
  double n = ToNumber(GetMember(obj, "length"));
  return std::isfinite(n) && n > 0 ? static_cast<uint32_t>(std::min(n, 4294967294.0)) : 0;
}

void Vm::SetArrayLength(Object* obj, uint32_t length) {
  if (obj->kind() == ObjectKind::kArray) {
    DropElements(obj, ArrayLength(obj), length);
    obj->SetOwn("length", static_cast<double>(length), true).flags =
        prop_flag::kDontEnum | prop_flag::kDontDelete;
  } else {
    SetMember(obj, "length", static_cast<double>(length));
  }
}

bool Vm::DeleteMember(Object* obj, std::string_view name) {
  if (!obj) return false;
  Property* p = obj->FindOwn(name, case_sensitive());
  if (!p || (p->flags & prop_flag::kDontDelete)) return false;
  return obj->RemoveOwn(name, case_sensitive());
}

// for..in lists own names first, then each prototype's, skipping DontEnum and names already
// seen; each object's names come newest first.
std::vector<std::string> Vm::EnumerableNames(Object* obj) {
  std::vector<std::string> names;
  bool cs = case_sensitive();
  int n = 0;
  std::vector<Object*> chain;
  for (Object* o = obj; o && n < kMaxChain; o = o->proto(), ++n) chain.push_back(o);
  for (Object* o : chain) {
    std::vector<std::string> own;
    o->ForEachOwn([&](Property& p) {
      if (p.flags & prop_flag::kDontEnum) return;
      own.push_back(p.name);
    });
    for (auto it = own.begin(); it != own.end(); ++it) {
      bool seen = std::any_of(names.begin(), names.end(),
                              [&](const std::string& s) { return NamesEqual(s, *it, cs); });
      // A name hidden by a DontEnum property nearer the object is hidden too.
      if (!seen && o != obj) {
        for (Object* q : chain) {
          if (q == o) break;
          if (q->FindOwn(*it, cs)) {
            seen = true;
            break;
          }
        }
      }
      if (!seen) names.push_back(*it);
    }
  }
  // The player pushes the names nearest first, each object's in the order they were added,
  // and for..in pops them: a prototype's names come out before the object's own (assetnative).
  std::reverse(names.begin(), names.end());
  // From SWF 6 a clip's named children follow its variables.
  if (swf_version_ >= 6) {
    for (std::string& child : host_.ClipChildNames(obj)) {
      if (std::none_of(names.begin(), names.end(),
                       [&](const std::string& s) { return NamesEqual(s, child, cs); })) {
        names.push_back(std::move(child));
      }
    }
  }
  return names;
}

Value Vm::CallMethod(const Value& target, std::string_view name, std::span<const Value> args) {
  Object* obj = target.IsObject() ? target.AsObject() : ToObject(target);
  if (!obj) return Value();
  Value fn = GetMember(obj, name);
  if (!IsFunction(fn)) return Value();
  // The method's super starts from the prototype of the object that holds the method
  // (super_edge_cases: a method of the object itself has the object's prototype).
  if (obj->kind() == ObjectKind::kSuper) {
    auto* s = static_cast<SuperObject*>(obj);
    Object* holder = s->home ? FindHolder(s->home, name) : nullptr;
    return CallFunction(fn, s->this_obj, args, holder, true);
  }
  Object* holder = FindHolder(obj, name);
  return CallFunction(fn, obj, args, holder ? holder : obj, true);
}

Value Vm::Construct(const Value& ctor_v, std::span<const Value> args) {
  auto* ctor = ctor_v.IsObject() && ctor_v.AsObject()->kind() == ObjectKind::kFunction
                   ? static_cast<FunctionObject*>(ctor_v.AsObject())
                   : nullptr;
  if (!ctor) return Value();
  if (ctor->native_construct) {
    CallArgs call{nullptr, args, ctor, true};
    ++native_depth_;
    struct Guard {
      int& d;
      ~Guard() { --d; }
    } guard{native_depth_};
    return ctor->native_construct(*this, call);
  }
  Value proto_value = GetMember(ctor, "prototype");
  Object* proto = proto_value.AsObject();
  // A class extending Boolean, Number or String makes a wrapper object, which the parent
  // constructor then fills through super() (coerce_to_object_monkeypatch).
  ObjectKind wrapper = ObjectKind::kPlain;
  int n = 0;
  for (Object* p = proto; p && n < kMaxChain && wrapper == ObjectKind::kPlain;
       p = p->proto(), ++n) {
    if (p == boolean_proto) wrapper = ObjectKind::kBoolean;
    if (p == number_proto) wrapper = ObjectKind::kNumber;
    if (p == string_proto) wrapper = ObjectKind::kString;
  }
  Object* obj;
  if (wrapper == ObjectKind::kPlain) {
    obj = NewObject(proto);
    // A primitive prototype is kept as it is, to no effect on lookups
    // (coerce_to_object_monkeypatch).
    if (!proto && proto_value.IsNullish()) obj->RemoveOwn("__proto__", true);
    if (!proto && !proto_value.IsNullish())
      obj->Define("__proto__", proto_value, prop_flag::kDontEnum);
  } else {
    obj = New<ValueObject>(wrapper, wrapper == ObjectKind::kBoolean  ? Value(false)
                                    : wrapper == ObjectKind::kNumber ? Value(0.0)
                                                                     : Value(std::string()));
    obj->Define("__proto__", proto, prop_flag::kDontEnum);
  }
  obj->Define("__constructor__", ctor, prop_flag::kDontEnum);
  if (swf_version_ < 7) obj->Define("constructor", ctor, prop_flag::kDontEnum);
  Value r = CallFunction(ctor, obj, args, obj->proto());
  // A constructor returning an object replaces the new one only for native classes.
  (void)r;
  return obj;
}

Object* Vm::CurrentTarget() {
  Activation* act = current();
  if (act && act->target) return act->target;
  return host_.Level(0);
}

Object* Vm::ResolveTarget(Object* from, std::string_view path) {
  Object* clip = from;
  if (path.empty()) return from;
  size_t i = 0;
  if (path[0] == '/') {
    clip = from ? host_.Level(0) : nullptr;
    // The root of the clip's own level.
    if (from) {
      Object* r = from;
      for (int guard = 0; guard < 10000; ++guard) {
        Object* p = host_.Parent(r);
        if (!p) break;
        r = p;
      }
      clip = r;
    }
    i = 1;
  }
  while (i < path.size() && clip) {
    size_t j = i;
    while (j < path.size() && path[j] != '/' && path[j] != '.' && path[j] != ':') ++j;
    if (j + 1 < path.size() && path[j] == '.' && path[j + 1] == '.' && j == i) {
      // "..": the parent.
      clip = host_.Parent(clip);
      i = j + 2;
      if (i < path.size() && path[i] == '/') ++i;
      continue;
    }
    std::string_view seg = path.substr(i, j - i);
    if (!seg.empty()) {
      if (NamesEqual(seg, "_root", false)) {
        Object* r = clip;
        for (int guard = 0; guard < 10000; ++guard) {
          Object* p = host_.Parent(r);
          if (!p) break;
          r = p;
        }
        clip = r;
      } else if (NamesEqual(seg, "_parent", false)) {
        clip = host_.Parent(clip);
      } else if (NamesEqual(seg, "this", false)) {
      } else if (seg.size() > 6 && NamesEqual(seg.substr(0, 6), "_level", false)) {
        clip = host_.Level(static_cast<int32_t>(StringToNumber(seg.substr(6), 5)));
      } else if (NamesEqual(seg, "_global", false)) {
        clip = global_;
      } else {
        Value v = GetMember(clip, seg);
        clip = v.AsObject();
      }
    }
    i = j < path.size() ? j + 1 : j;
  }
  return clip;
}

void SuperObject::Trace(Tracer& tracer) {
  Object::Trace(tracer);
  tracer.Mark(this_obj);
  tracer.Mark(home);
  tracer.Mark(constructor_home);
}

}  // namespace flashsaver::avm1
