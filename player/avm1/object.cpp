#include "player/avm1/object.h"

#include "player/avm1/heap.h"

namespace flashsaver::avm1 {
namespace {

constexpr size_t kIndexThreshold = 8;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string FoldCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Lower(c);
  return out;
}

bool NamesEqual(std::string_view a, std::string_view b, bool case_sensitive) {
  if (a.size() != b.size()) return false;
  if (case_sensitive) return a == b;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

void Object::Reindex() {
  index_.clear();
  for (uint32_t i = 0; i < properties_.size(); ++i) {
    if (!properties_[i]) continue;
    index_.emplace(index_folded_ ? FoldCase(properties_[i]->name) : properties_[i]->name, i);
  }
}

Property* Object::FindOwn(std::string_view name, bool case_sensitive) {
  if (properties_.size() < kIndexThreshold) {
    for (auto& p : properties_) {
      if (p && NamesEqual(p->name, name, case_sensitive)) return p.get();
    }
    return nullptr;
  }
  if (index_.empty() || index_folded_ == case_sensitive) {
    index_folded_ = !case_sensitive;
    Reindex();
  }
  auto it = case_sensitive ? index_.find(std::string(name)) : index_.find(FoldCase(name));
  return it == index_.end() ? nullptr : properties_[it->second].get();
}

void Object::NoteProto(const Property& p) {
  if (p.name.size() == 9 && NamesEqual(p.name, "__proto__", false)) proto_ = p.value.AsObject();
}

Property& Object::SetOwn(std::string_view name, Value value, bool case_sensitive) {
  if (Property* p = FindOwn(name, case_sensitive)) {
    p->value = std::move(value);
    NoteProto(*p);
    return *p;
  }
  auto p = std::make_unique<Property>();
  p->name = std::string(name);
  p->value = std::move(value);
  Property& ref = *p;
  properties_.push_back(std::move(p));
  ++live_count_;
  if (properties_.size() >= kIndexThreshold) {
    if (properties_.size() == kIndexThreshold || index_.empty()) {
      index_folded_ = !case_sensitive;
      Reindex();
    } else {
      index_.emplace(index_folded_ ? FoldCase(name) : std::string(name),
                     static_cast<uint32_t>(properties_.size() - 1));
    }
  }
  NoteProto(ref);
  return ref;
}

void Object::Define(std::string_view name, Value value, uint16_t flags) {
  Property& p = SetOwn(name, std::move(value), true);
  p.flags = flags;
}

bool Object::RemoveOwn(std::string_view name, bool case_sensitive) {
  for (size_t i = 0; i < properties_.size(); ++i) {
    auto& p = properties_[i];
    if (p && NamesEqual(p->name, name, case_sensitive)) {
      if (p->name.size() == 9 && NamesEqual(p->name, "__proto__", false)) proto_ = nullptr;
      p.reset();
      --live_count_;
      // Compact when half the slots are holes, keeping the order.
      if (live_count_ * 2 < properties_.size()) {
        std::erase_if(properties_, [](const auto& q) { return !q; });
      }
      index_.clear();
      if (properties_.size() >= kIndexThreshold) Reindex();
      return true;
    }
  }
  return false;
}

void Object::Trace(Tracer& tracer) {
  for (auto& p : properties_) {
    if (!p) continue;
    tracer.Mark(p->value);
    tracer.Mark(p->getter);
    tracer.Mark(p->setter);
  }
  for (auto& w : watchers_) {
    tracer.Mark(w.second.callback);
    tracer.Mark(w.second.user_data);
  }
}

void FunctionObject::Trace(Tracer& tracer) {
  Object::Trace(tracer);
  for (Object* o : scope) tracer.Mark(o);
  tracer.Mark(base_clip);
}

void ValueObject::Trace(Tracer& tracer) {
  Object::Trace(tracer);
  tracer.Mark(value);
}

Heap::~Heap() {
  for (Object* o : objects_) delete o;
}

size_t Heap::Collect(const std::function<void(Tracer&)>& mark_roots) {
  Tracer tracer;
  mark_roots(tracer);
  tracer.Drain();
  size_t kept = 0;
  size_t freed = 0;
  for (Object* o : objects_) {
    if (o->marked) {
      o->marked = false;
      objects_[kept++] = o;
    } else {
      delete o;
      ++freed;
    }
  }
  objects_.resize(kept);
  allocated_since_collect_ = 0;
  return freed;
}

}  // namespace flashsaver::avm1
