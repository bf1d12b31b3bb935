// The object heap and its mark-and-sweep collector. The Vm names the roots (global objects,
// classes, stack, scope chains) and the host adds its own through a callback; cycles are freed
// because only what the roots reach survives. Nothing is shared between movies: each Vm has its
// own heap.
#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "player/avm2/object.h"

namespace flashsaver::avm2 {

class Tracer {
 public:
  void Mark(Object* o) {
    if (o && !o->marked) {
      o->marked = true;
      pending_.push_back(o);
    }
  }
  void Mark(const Value& v) { Mark(v.AsObject()); }
  void Mark(std::span<const Value> vs) {
    for (const Value& v : vs) Mark(v);
  }
  // Traces until nothing is left: a worklist, so deep object graphs never recurse.
  void Drain() {
    while (!pending_.empty()) {
      Object* o = pending_.back();
      pending_.pop_back();
      o->Trace(*this);
    }
  }

 private:
  std::vector<Object*> pending_;
};

class Heap {
 public:
  Heap() = default;
  ~Heap();
  Heap(const Heap&) = delete;
  Heap& operator=(const Heap&) = delete;

  template <typename T, typename... A>
  T* New(A&&... args) {
    auto* o = new T(std::forward<A>(args)...);
    objects_.push_back(o);
    ++allocated_since_collect_;
    return o;
  }

  // Frees every object that mark_roots does not reach. Returns how many were freed.
  size_t Collect(const std::function<void(Tracer&)>& mark_roots);

  size_t size() const { return objects_.size(); }
  // The object holds weak references: each collection calls its DropUnmarked while it lives.
  void AddWeakHolder(Object* o);
  size_t allocated_since_collect() const { return allocated_since_collect_; }

 private:
  std::vector<Object*> objects_;
  std::vector<Object*> weak_holders_;
  size_t allocated_since_collect_ = 0;
};

}  // namespace flashsaver::avm2
