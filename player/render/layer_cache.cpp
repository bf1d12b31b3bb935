#include "player/render/layer_cache.h"

#include <algorithm>

namespace flashsaver {
namespace {

// Looks that changed this many frames in a row are not kept until they stay still again.
constexpr uint32_t kMissesBeforeGivingUp = 3;

size_t BytesOf(const PixelBox& box) {
  return box.Empty() ? 0 : size_t(box.Width()) * size_t(box.Height()) * sizeof(uint32_t);
}

}  // namespace

const LayerCache::Entry* LayerCache::Find(uint64_t object, uint64_t look, int32_t target_width,
                                          int32_t target_height) {
  auto it = entries_.find(object);
  if (it == entries_.end()) return nullptr;
  Entry& e = it->second;
  e.used = frame_;
  if (e.look != look || e.target_width != target_width || e.target_height != target_height ||
      e.pixels.empty()) {
    return nullptr;
  }
  e.misses = 0;
  ++hits_;
  return &e;
}

bool LayerCache::Missed(uint64_t object, uint64_t look) {
  auto it = entries_.find(object);
  if (it == entries_.end()) return true;
  Entry& e = it->second;
  if (e.look == look) return true;  // kept for another target size
  ++e.misses;
  e.look = look;
  bytes_ -= BytesOf(e.box);
  e.box = {};
  e.pixels = {};
  return e.misses < kMissesBeforeGivingUp;
}

void LayerCache::Drop(std::unordered_map<uint64_t, Entry>::iterator it) {
  bytes_ -= BytesOf(it->second.box);
  entries_.erase(it);
}

void LayerCache::Store(uint64_t object, uint64_t look, double x, double y, const Picture& from,
                       PixelBox box) {
  box.left = std::max(box.left, 0);
  box.top = std::max(box.top, 0);
  box.right = std::min(box.right, from.width);
  box.bottom = std::min(box.bottom, from.height);
  uint32_t misses = 0;
  if (auto it = entries_.find(object); it != entries_.end()) {
    misses = it->second.misses;
    Drop(it);
  }
  const size_t need = BytesOf(box);
  if (need > kMaxBytes) return;
  // Room is made by dropping the pictures used longest ago.
  while (bytes_ + need > kMaxBytes && !entries_.empty()) {
    Drop(std::min_element(entries_.begin(), entries_.end(), [](const auto& a, const auto& b) {
      return a.second.used < b.second.used;
    }));
  }
  Entry e;
  e.look = look;
  e.x = x, e.y = y;
  e.target_width = from.width, e.target_height = from.height;
  e.box = box;
  e.used = e.stored = frame_;
  e.misses = misses;
  if (!box.Empty()) {
    e.pixels.resize(need / sizeof(uint32_t));
    for (int32_t row = box.top; row < box.bottom; ++row) {
      std::copy_n(from.Row(row) + box.left, box.Width(),
                  e.pixels.begin() + ptrdiff_t(row - box.top) * box.Width());
    }
  }
  bytes_ += need;
  entries_.insert_or_assign(object, std::move(e));
}

void LayerCache::EndFrame(bool complete) {
  for (auto it = entries_.begin(); it != entries_.end();) {
    const Entry& e = it->second;
    auto next = std::next(it);
    if (e.used != frame_ || (!complete && e.stored == frame_)) Drop(it);
    it = next;
  }
  ++frame_;
}

}  // namespace flashsaver
