// Script objects: properties in the order they were added (the order for..in reverses), flags
// as ASSetPropFlags sets them, getters and setters from addProperty, watchers, and the
// prototype link that is the ordinary "__proto__" property. Objects live on the Vm's heap and
// are freed by its tracing collector (heap.h); nothing here owns another object.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "player/avm1/value.h"

namespace flashsaver::avm1 {

class Vm;
class Tracer;

namespace prop_flag {
inline constexpr uint8_t kDontEnum = 1;
inline constexpr uint8_t kDontDelete = 2;
inline constexpr uint8_t kReadOnly = 4;
// Set by ASSetPropFlags: the property is seen only by movies of that SWF version or later.
inline constexpr uint16_t kVersion6 = 1 << 7;
inline constexpr uint16_t kVersion7 = 1 << 10;
inline constexpr uint16_t kVersion8 = 1 << 12;
inline constexpr uint16_t kVersion9 = 1 << 13;
inline constexpr uint16_t kVersion10 = 1 << 14;
inline constexpr uint16_t kVersionMask = kVersion6 | kVersion7 | kVersion8 | kVersion9 | kVersion10;
// Whether a movie of this version sees a property with these flags.
inline bool VisibleTo(uint16_t flags, int version) {
  if (!(flags & kVersionMask)) return true;
  return !((flags & kVersion6 && version < 6) || (flags & kVersion7 && version < 7) ||
           (flags & kVersion8 && version < 8) || (flags & kVersion9 && version < 9) ||
           (flags & kVersion10 && version < 10));
}
}  // namespace prop_flag

struct Property {
  std::string name;
  Value value;
  Object* getter = nullptr;  // from addProperty; value is unused when either is set
  Object* setter = nullptr;
  bool virtual_property = false;
  uint16_t flags = 0;
  // Names the property to the Vm's count of its getter, setter and watcher calls under way;
  // 0 until the first call. A serial, not the address, so a property deleted and added
  // again inside its own getter starts afresh.
  uint32_t serial = 0;
};

// What kind of built-in an object is, for natives that check their `this`.
enum class ObjectKind : uint8_t {
  kPlain,
  kFunction,
  kArray,
  kBoolean,
  kNumber,
  kString,
  kDate,
  kError,
  kClip,  // a display object's script face, answered by the host
  kSuper,
  kOther
};

class Object {
 public:
  explicit Object(ObjectKind kind = ObjectKind::kPlain) : kind_(kind) {}
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  ObjectKind kind() const { return kind_; }
  Object* proto() const { return proto_; }

  // Own properties, without prototype lookup, getters or watchers (the Vm adds those).
  Property* FindOwn(std::string_view name, bool case_sensitive);
  const Property* FindOwn(std::string_view name, bool case_sensitive) const {
    return const_cast<Object*>(this)->FindOwn(name, case_sensitive);
  }
  // Adds or overwrites the value, keeping flags of an existing property.
  Property& SetOwn(std::string_view name, Value value, bool case_sensitive);
  // Adds with flags, for built-ins.
  void Define(std::string_view name, Value value, uint16_t flags = prop_flag::kDontEnum);
  bool RemoveOwn(std::string_view name, bool case_sensitive);
  // Live properties in insertion order.
  template <typename F>
  void ForEachOwn(F&& f) {
    for (auto& p : properties_) {
      if (p) f(*p);
    }
  }
  size_t OwnCount() const { return live_count_; }

  // Watchers from watch(): name -> (callback, user data), kept apart from the properties.
  struct Watcher {
    Object* callback = nullptr;
    Value user_data;
  };
  std::vector<std::pair<std::string, Watcher>>& watchers() { return watchers_; }

  virtual void Trace(Tracer& tracer);

  // Collector state.
  bool marked = false;

 protected:
  ObjectKind kind_;

 private:
  void Reindex();
  void NoteProto(const Property& p);

  Object* proto_ = nullptr;
  std::vector<std::unique_ptr<Property>> properties_;
  size_t live_count_ = 0;
  // Case-folded name -> slot, built when an object grows past a handful of properties.
  std::unordered_map<std::string, uint32_t> index_;
  bool index_folded_ = false;
  std::vector<std::pair<std::string, Watcher>> watchers_;
};

// ASCII case folding, as the player compares names in SWF 6 and below.
std::string FoldCase(std::string_view s);
bool NamesEqual(std::string_view a, std::string_view b, bool case_sensitive);

struct CallArgs {
  Object* this_obj = nullptr;
  std::span<const Value> args;
  Object* callee = nullptr;
  bool construct = false;  // called by new: this_obj is the fresh object
  Value Arg(size_t i) const { return i < args.size() ? args[i] : Value(); }
};

using NativeFn = Value (*)(Vm& vm, const CallArgs& call);

// The compiled body of DefineFunction / DefineFunction2, shared by every closure made from it.
struct FunctionCode {
  std::string name;
  struct Param {
    uint8_t reg = 0;  // 0: a named local; otherwise the register that receives it
    std::string name;
  };
  std::vector<Param> params;
  uint16_t flags = 0;  // DefineFunction2 preload/suppress flags
  uint8_t register_count = 4;
  bool is_function2 = false;
  std::shared_ptr<const std::vector<uint8_t>> owner;  // keeps the action bytes alive
  std::span<const uint8_t> body;
  int swf_version = 0;
};

class FunctionObject : public Object {
 public:
  FunctionObject() : Object(ObjectKind::kFunction) {}
  NativeFn native = nullptr;
  // Native constructors that build their own object (Array, Date...) are called with
  // construct set and return it; others receive a plain object in this_obj.
  NativeFn native_construct = nullptr;
  std::shared_ptr<const FunctionCode> code;
  std::vector<Object*> scope;  // the scope chain at definition
  std::shared_ptr<const std::vector<std::string>> constants;
  Object* base_clip = nullptr;  // the timeline the function was defined on
  void Trace(Tracer& tracer) override;
};

// Boxed primitives (new Number(1), new String("a"), new Boolean(true)) and Date's time value.
class ValueObject : public Object {
 public:
  explicit ValueObject(ObjectKind kind, Value v = Value()) : Object(kind), value(std::move(v)) {}
  Value value;
  void Trace(Tracer& tracer) override;
};

}  // namespace flashsaver::avm1
