#include "player/avm2/heap.h"

namespace flashsaver::avm2 {

Heap::~Heap() {
  for (Object* o : objects_) delete o;
}

size_t Heap::Collect(const std::function<void(Tracer&)>& mark_roots) {
  Tracer tracer;
  mark_roots(tracer);
  tracer.Drain();
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
