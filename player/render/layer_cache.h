// Pictures of layers kept between frames. An object drawn through a layer (filters, blend
// modes, cacheAsBitmap) keeps its finished picture here; while its look stays the same (its
// subtree, effects and matrix but for the translation) the picture is put down again at the
// new place instead of drawing and filtering the object anew.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "player/render/picture.h"

namespace flashsaver {

class LayerCache {
 public:
  struct Entry {
    uint64_t look = 0;
    double x = 0, y = 0;  // the object's origin in target pixels when the picture was drawn
    int32_t target_width = 0, target_height = 0;
    PixelBox box;                   // where the pixels lay in the target
    std::vector<uint32_t> pixels;   // box.Width() x box.Height(), premultiplied
    uint64_t used = 0, stored = 0;  // frame numbers
    uint32_t misses = 0;            // looks changed in a row
  };

  // Everything kept stays under this many bytes of pixels.
  static constexpr size_t kMaxBytes = size_t{128} << 20;

  // The picture of object when its look is the one kept for a target of that size; marks it
  // used in this frame.
  const Entry* Find(uint64_t object, uint64_t look, int32_t target_width, int32_t target_height);
  // After Find found nothing: notes the look and tells whether the picture about to be drawn
  // is worth keeping; not while the object's look changes frame after frame.
  bool Missed(uint64_t object, uint64_t look);
  void Store(uint64_t object, uint64_t look, double x, double y, const Picture& from, PixelBox box);
  // Ends a frame. Pictures of objects not drawn in it are dropped; when the frame was not
  // finished (complete false) so are those it stored, which may lack parts.
  void EndFrame(bool complete);

  size_t bytes() const { return bytes_; }
  size_t size() const { return entries_.size(); }
  uint64_t hits() const { return hits_; }  // pictures found, for tests and measurements

 private:
  void Drop(std::unordered_map<uint64_t, Entry>::iterator it);

  std::unordered_map<uint64_t, Entry> entries_;
  uint64_t frame_ = 1;
  size_t bytes_ = 0;
  uint64_t hits_ = 0;
};

}  // namespace flashsaver
