#include "player/avm2/object.h"

#include <algorithm>

#include "player/avm2/class.h"
#include "player/avm2/heap.h"

namespace flashsaver::avm2 {

bool Name::HasNs(Ns n) const {
  if (any_ns) return true;
  return std::find(set.begin(), set.end(), n) != set.end();
}

bool Name::IsPublic() const {
  if (any_ns) return true;
  for (Ns n : set)
    if (n->kind == NsKind::kPublic && n->uri.empty()) return true;
  return false;
}

const Trait* Traits::Find(const Name& name) const {
  auto [b, e] = by_name.equal_range(name.local.view());
  for (auto it = b; it != e; ++it) {
    const Trait& t = list[it->second];
    if (name.HasNs(t.ns)) return &t;
  }
  return nullptr;
}

const Trait* Traits::FindQ(std::u16string_view local, Ns ns) const {
  auto [b, e] = by_name.equal_range(local);
  for (auto it = b; it != e; ++it)
    if (list[it->second].ns == ns) return &list[it->second];
  return nullptr;
}

uint32_t Traits::Put(Trait t) {
  auto [b, e] = by_name.equal_range(t.name.str());
  for (auto it = b; it != e; ++it) {
    Trait& old = list[it->second];
    if (old.ns != t.ns) continue;
    // An accessor's other half joins the inherited one.
    if (t.type == TraitType::kAccessor && old.type == TraitType::kAccessor) {
      if (t.getter) old.getter = t.getter;
      if (t.setter) old.setter = t.setter;
      return it->second;
    }
    old = std::move(t);
    return it->second;
  }
  auto index = static_cast<uint32_t>(list.size());
  by_name.emplace(t.name.str(), index);
  list.push_back(std::move(t));
  return index;
}

const Trait* Traits::SlotTrait(uint32_t slot) const {
  for (const Trait& t : list)
    if ((t.type == TraitType::kSlot || t.type == TraitType::kConst || t.type == TraitType::kClass ||
         t.type == TraitType::kFunction) &&
        t.slot == slot)
      return &t;
  return nullptr;
}

Value* PropertyMap::Find(std::u16string_view key) {
  Entry* e = FindEntry(key);
  return e ? &e->value : nullptr;
}

const PropertyMap::Entry* PropertyMap::FindEntry(std::u16string_view key) const {
  auto it = index_.find(key);
  if (it == index_.end()) return nullptr;
  return &entries_[it->second];
}

PropertyMap::Entry* PropertyMap::FindEntry(std::u16string_view key) {
  auto it = index_.find(key);
  if (it == index_.end()) return nullptr;
  return &entries_[it->second];
}

void PropertyMap::Set(const Str& key, Value v) {
  if (Entry* e = FindEntry(key.view())) {
    e->value = std::move(v);
    return;
  }
  index_.emplace(key.str(), static_cast<uint32_t>(entries_.size()));
  entries_.push_back({key, std::move(v), true, false});
  Touch();
}

bool PropertyMap::Erase(std::u16string_view key) {
  auto it = index_.find(key);
  if (it == index_.end()) return false;
  Touch();
  Entry& e = entries_[it->second];
  e.deleted = true;
  e.value = Value();
  e.key = Str();
  index_.erase(it);
  ++deleted_;
  // Compact once most entries are gone; enumeration positions in flight may then skip, which
  // Flash allows when properties are deleted during for..in.
  if (deleted_ > 32 && deleted_ * 2 > entries_.size()) {
    std::vector<Entry> live;
    index_.clear();
    for (Entry& x : entries_) {
      if (x.deleted) continue;
      index_.emplace(x.key.str(), static_cast<uint32_t>(live.size()));
      live.push_back(std::move(x));
    }
    entries_ = std::move(live);
    deleted_ = 0;
  }
  return true;
}

uint32_t PropertyMap::NextIndex(uint32_t index) const {
  for (size_t i = index; i < entries_.size(); ++i)
    if (!entries_[i].deleted && entries_[i].enumerable) return static_cast<uint32_t>(i + 1);
  return 0;
}

Object::Object(ObjectKind kind, ClassObject* cls, Object* proto)
    : kind_(kind), cls_(cls), proto_(proto) {
  if (cls) set_traits(&cls->instance_traits);
}

void Object::set_traits(const Traits* t) {
  traits_ = t;
  if (t) slots_ = t->slot_defaults;
}

void Object::Trace(Tracer& tracer) {
  tracer.Mark(cls_);
  tracer.Mark(proto_);
  tracer.Mark(slots_);
  for (const auto& e : dynamic_.entries()) tracer.Mark(e.value);
}

void FunctionObject::Trace(Tracer& tracer) {
  Object::Trace(tracer);
  tracer.Mark(scope);
  tracer.Mark(bound_this);
  tracer.Mark(prototype);
  if (method && method->global) tracer.Mark(method->global);
}

void BoxedObject::Trace(Tracer& tracer) {
  Object::Trace(tracer);
  tracer.Mark(primitive);
}

void ClassObject::Trace(Tracer& tracer) {
  Object::Trace(tracer);
  tracer.Mark(super);
  for (ClassObject* i : interfaces) tracer.Mark(i);
  tracer.Mark(prototype);
  tracer.Mark(scope);
  tracer.Mark(generic);
  tracer.Mark(type_param);
  tracer.Mark(instance_traits.slot_defaults);
  tracer.Mark(static_traits.slot_defaults);
  for (const Trait& t : instance_traits.list) tracer.Mark(t.type_class);
  for (const Trait& t : static_traits.list) tracer.Mark(t.type_class);
}

bool ClassObject::IsSubclassOf(const ClassObject* other) const {
  for (const ClassObject* c = this; c; c = c->super)
    if (c == other) return true;
  return std::find(interfaces.begin(), interfaces.end(), other) != interfaces.end();
}

void VectorObject::Trace(Tracer& tracer) {
  Object::Trace(tracer);
  tracer.Mark(items);
  tracer.Mark(type);
}

void ArrayObject::Trace(Tracer& tracer) {
  Object::Trace(tracer);
  tracer.Mark(dense_);
  for (const auto& [k, v] : sparse_) tracer.Mark(v);
}

void ArrayObject::SetLength(uint32_t n) {
  if (n < dense_.size()) dense_.resize(n);
  if (!sparse_.empty() && n < length_)
    std::erase_if(sparse_, [n](const auto& kv) { return kv.first >= n; });
  length_ = n;
}

bool ArrayObject::Has(uint32_t i) const { return i < dense_.size() || sparse_.count(i) != 0; }

Value ArrayObject::Get(uint32_t i) const {
  if (i < dense_.size()) return dense_[i];
  auto it = sparse_.find(i);
  return it == sparse_.end() ? Value() : it->second;
}

Value* ArrayObject::Find(uint32_t i) {
  if (i < dense_.size()) return &dense_[i];
  auto it = sparse_.find(i);
  return it == sparse_.end() ? nullptr : &it->second;
}

void ArrayObject::Set(uint32_t i, Value v) {
  if (i < dense_.size()) {
    dense_[i] = std::move(v);
  } else if (i == dense_.size()) {
    dense_.push_back(std::move(v));
    sparse_.erase(i);
    // Elements stored past a hole join the dense part once the hole fills.
    for (auto it = sparse_.find(static_cast<uint32_t>(dense_.size())); it != sparse_.end();
         it = sparse_.find(static_cast<uint32_t>(dense_.size()))) {
      dense_.push_back(std::move(it->second));
      sparse_.erase(it);
    }
  } else {
    sparse_[i] = std::move(v);
  }
  if (i >= length_) length_ = i + 1;
}

bool ArrayObject::Delete(uint32_t i) {
  if (i < dense_.size()) {
    if (i + 1 == dense_.size()) {
      dense_.pop_back();
    } else {
      for (size_t k = i + 1; k < dense_.size(); ++k)
        sparse_[static_cast<uint32_t>(k)] = std::move(dense_[k]);
      dense_.resize(i);
    }
    return true;
  }
  sparse_.erase(i);
  return true;
}

std::vector<Value> ArrayObject::ToVector() const {
  std::vector<Value> out = dense_;
  if (!sparse_.empty()) {
    out.resize(length_);
    for (const auto& [k, v] : sparse_) out[k] = v;
  } else {
    out.resize(length_);
  }
  return out;
}

void ArrayObject::Assign(std::vector<Value> values) {
  sparse_.clear();
  length_ = static_cast<uint32_t>(values.size());
  dense_ = std::move(values);
}

uint32_t ArrayObject::NextIndex(int64_t i) const {
  auto n = static_cast<uint64_t>(i + 1);
  if (n < dense_.size()) return static_cast<uint32_t>(n);
  uint32_t best = length_;
  for (const auto& [k, v] : sparse_)
    if (k >= n && k < best) best = k;
  return best;
}

}  // namespace flashsaver::avm2
