#include "player/avm2/heap.h"

#include <algorithm>

namespace flashsaver::avm2 {

Heap::~Heap() {
  for (Object* o : objects_) delete o;
}

void Heap::AddWeakHolder(Object* o) {
  if (std::find(weak_holders_.begin(), weak_holders_.end(), o) == weak_holders_.end())
    weak_holders_.push_back(o);
}

size_t Heap::Collect(const std::function<void(Tracer&)>& mark_roots) {
  Tracer tracer;
  mark_roots(tracer);
  tracer.Drain();
  std::erase_if(weak_holders_, [](Object* o) { return !o->marked; });
  for (Object* o : weak_holders_) o->DropUnmarked();
  size_t freed = 0;
  std::vector<Object*> live;
  live.reserve(objects_.size());
  for (Object* o : objects_) {
    if (o->marked) {
      o->marked = false;
      live.push_back(o);
    } else {
      delete o;
      ++freed;
    }
  }
  objects_ = std::move(live);
  allocated_since_collect_ = 0;
  return freed;
}

}  // namespace flashsaver::avm2
