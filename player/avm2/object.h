// The script object of the AS3 machine and the runtime model around it: namespaces, names,
// traits (the fixed members a class declares), dynamic properties and prototypes.
//
// An object finds a name first in its traits (slots, methods, accessors), then in its dynamic
// properties (only names in the public namespace), then along its prototype chain.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "player/avm2/value.h"

namespace flashsaver::avm2 {

class Tracer;
class ClassObject;
struct MethodInfo;

// How a namespace compares: two namespaces are the same when their kind and URI are; every
// private namespace is distinct. Namespaces are interned by the Vm, so pointers compare.
enum class NsKind : uint8_t {
  kPublic,  // package and user-defined namespaces
  kProtected,
  kStaticProtected,
  kPackageInternal,
  kPrivate,
  kExplicit,
};

struct Namespace {
  NsKind kind = NsKind::kPublic;
  Str uri;
};
using Ns = const Namespace*;

// A name as the machine looks it up: a local name with one or more namespaces (a multiname's
// namespace set). An empty set with any_ns matches every namespace (the "*" namespace).
struct Name {
  Str local;
  std::vector<Ns> set;
  bool any_name = false;
  bool any_ns = false;
  bool attribute = false;
  bool HasNs(Ns ns) const;
  bool IsPublic() const;  // the set holds a public namespace (dynamic properties can match)
};

enum class TraitType : uint8_t { kSlot, kConst, kMethod, kAccessor, kClass, kFunction };

struct Trait {
  Str name;
  Ns ns = nullptr;
  TraitType type = TraitType::kSlot;
  uint32_t slot = 0;             // slot index (0-based) for slots, consts, classes and functions
  MethodInfo* method = nullptr;  // methods
  MethodInfo* getter = nullptr;  // accessors
  MethodInfo* setter = nullptr;
  // Declared type of a slot, a class once known (null for "*" or not yet resolved).
  ClassObject* type_class = nullptr;
  uint32_t type_name = 0;      // the declaring unit's multiname of the type (0: "*")
  const void* unit = nullptr;  // the AbcUnit that declared it (for type resolution)
  bool final = false;
};

// Hashes UTF-16 keys and views alike, so lookups by a view make no string.
struct U16Hash {
  using is_transparent = void;
  size_t operator()(std::u16string_view s) const { return std::hash<std::u16string_view>{}(s); }
};

// The fixed members of a class's instances, of a class object, of a script's global object or of
// an activation. A subclass's traits start as a copy of its base's.
struct Traits {
  std::vector<Trait> list;
  std::unordered_multimap<std::u16string, uint32_t, U16Hash, std::equal_to<>> by_name;
  uint32_t slot_count = 0;
  std::vector<Value> slot_defaults;  // initial slot values, by slot

  const Trait* Find(const Name& name) const;
  const Trait* FindQ(std::u16string_view local, Ns ns) const;
  // Adds or replaces (override) a trait; returns its index.
  uint32_t Put(Trait t);
  const Trait* SlotTrait(uint32_t slot) const;
};

// Dynamic properties: public names in the order they were first set, as for..in shows them.
class PropertyMap {
 public:
  struct Entry {
    Str key;
    Value value;
    bool enumerable = true;
    bool deleted = false;
  };
  Value* Find(std::u16string_view key);
  const Entry* FindEntry(std::u16string_view key) const;
  Entry* FindEntry(std::u16string_view key);
  void Set(const Str& key, Value v);
  bool Erase(std::u16string_view key);
  // Counts names added to or erased from any map, and definitions made: a name lookup along a
  // scope chain that was remembered stays right while this does not move.
  static uint64_t Epoch() { return epoch_.load(std::memory_order_relaxed); }
  static void Touch() { epoch_.fetch_add(1, std::memory_order_relaxed); }
  size_t live() const { return entries_.size() - deleted_; }
  // Enumeration by position: 0 ends; positions are 1-based so hasnext2 can use 0 as "done".
  uint32_t NextIndex(uint32_t index) const;  // next live, enumerable position after index
  const Entry& At(uint32_t index) const { return entries_[index - 1]; }
  std::vector<Entry>& entries() { return entries_; }
  const std::vector<Entry>& entries() const { return entries_; }

 private:
  std::vector<Entry> entries_;
  std::unordered_map<std::u16string, uint32_t, U16Hash, std::equal_to<>> index_;
  size_t deleted_ = 0;
  static inline std::atomic<uint64_t> epoch_{1};
};

enum class ObjectKind : uint8_t {
  kPlain,
  kFunction,
  kClass,
  kArray,
  kNamespace,
  kQName,
  kActivation,
  kGlobal,
  kError,
  kBoxed,  // a native class's instance with its own C++ storage
};

class Object {
 public:
  Object(ObjectKind kind, ClassObject* cls, Object* proto);
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  // Marks everything this object refers to. Subclasses add their own and call this.
  virtual void Trace(Tracer& tracer);
  // After marking, before the sweep: an object that holds weak references (registered with
  // Heap::AddWeakHolder) lets go of those the collector did not mark.
  virtual void DropUnmarked() {}

  ObjectKind kind() const { return kind_; }
  ClassObject* cls() const { return cls_; }
  void set_cls(ClassObject* c) { cls_ = c; }
  Object* proto() const { return proto_; }
  void set_proto(Object* p) { proto_ = p; }
  const Traits* traits() const { return traits_; }
  void set_traits(const Traits* t);  // sizes the slots from the traits' defaults
  std::vector<Value>& slots() { return slots_; }
  PropertyMap& dynamic() { return dynamic_; }
  size_t dynamic_count() const { return dynamic_.live(); }
  bool sealed() const { return sealed_; }
  void set_sealed(bool s) { sealed_ = s; }

  bool marked = false;

 private:
  ObjectKind kind_;
  bool sealed_ = false;
  ClassObject* cls_;
  Object* proto_;
  const Traits* traits_ = nullptr;
  std::vector<Value> slots_;
  PropertyMap dynamic_;
};

// A function value: a method bound to its receiver (a method closure), or a function made by
// newfunction with the scope chain it closes over, or a native.
class FunctionObject : public Object {
 public:
  FunctionObject(ClassObject* cls, Object* proto, MethodInfo* m)
      : Object(ObjectKind::kFunction, cls, proto), method(m) {}
  void Trace(Tracer& tracer) override;

  MethodInfo* method;
  std::vector<Value> scope;  // outer scopes, outermost first
  Value bound_this;          // a method closure's receiver; undefined for plain functions
  bool is_closure = false;
  Object* prototype = nullptr;  // made on first use (construct, .prototype)
};

// An Array: dense elements from 0, the rest (past a hole) kept sparse so memory follows what
// the script stores, never the length it names.
class ArrayObject : public Object {
 public:
  ArrayObject(ClassObject* cls, Object* proto) : Object(ObjectKind::kArray, cls, proto) {}
  void Trace(Tracer& tracer) override;

  uint32_t length() const { return length_; }
  void SetLength(uint32_t n);
  bool Has(uint32_t i) const;
  Value Get(uint32_t i) const;
  Value* Find(uint32_t i);  // null for a hole
  bool HasHoles() const { return dense_.size() + sparse_.size() < length_; }
  void Set(uint32_t i, Value v);
  bool Delete(uint32_t i);
  void Push(Value v) { Set(length_, std::move(v)); }
  // Every element as a plain list (holes as undefined).
  std::vector<Value> ToVector() const;
  void Assign(std::vector<Value> values);
  // The next index that holds a value after i (or from 0 when i is -1); length when none.
  uint32_t NextIndex(int64_t i) const;

 private:
  std::vector<Value> dense_;
  std::unordered_map<uint32_t, Value> sparse_;
  uint32_t length_ = 0;
};

// A Vector.<T>: dense elements of one type (type null for Vector.<*>), optionally fixed length.
class VectorObject : public Object {
 public:
  VectorObject(ClassObject* cls, Object* proto) : Object(ObjectKind::kBoxed, cls, proto) {}
  void Trace(Tracer& tracer) override;
  std::vector<Value> items;
  ClassObject* type = nullptr;
  bool fixed = false;
};

// A Namespace object (the value of `namespace x = "..."` and of Namespace()).
class NamespaceObject : public Object {
 public:
  NamespaceObject(ClassObject* cls, Object* proto, Ns n, Str p)
      : Object(ObjectKind::kNamespace, cls, proto), ns(n), prefix(std::move(p)) {}
  Ns ns;
  Str prefix;
  bool has_prefix = false;
};

class QNameObject : public Object {
 public:
  QNameObject(ClassObject* cls, Object* proto) : Object(ObjectKind::kQName, cls, proto) {}
  Str local;
  Ns ns = nullptr;  // null: any namespace
  bool any_name = false;
};

// C++ storage a native class keeps on its instances. Subclass and override Trace to mark the
// script values it holds.
class BoxedObject : public Object {
 public:
  BoxedObject(ClassObject* cls, Object* proto) : Object(ObjectKind::kBoxed, cls, proto) {}
  // The primitive inside a Boolean, Number, int, uint or String object.
  Value primitive;
  void Trace(Tracer& tracer) override;
};

// A flash.utils.Dictionary: its keys live in the dynamic properties; for..in gives keys that
// are array indices back as numbers.
class DictionaryObject : public BoxedObject {
 public:
  using BoxedObject::BoxedObject;
  void Trace(Tracer& tracer) override;
  // Object keys go by identity: each gets a private property name, mapped both ways.
  std::unordered_map<Object*, Str> names;
  std::unordered_map<std::u16string, Object*> keys;
};

}  // namespace flashsaver::avm2
