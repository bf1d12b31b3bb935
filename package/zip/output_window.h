// Output side of the older ZIP methods: a 32 KB history that the back references of reducing and
// imploding read from, handed to the archive reader block by block. It never produces more than
// the entry's uncompressed size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "package/zip/legacy_methods.h"

namespace flashsaver {

class OutputWindow {
 public:
  static constexpr size_t kSize = 32768;  // more than the longest distance of any method

  OutputWindow(DecodedOutput& out, uint64_t limit) : out_(out), left_(limit) {}
  OutputWindow(const OutputWindow&) = delete;
  OutputWindow& operator=(const OutputWindow&) = delete;

  bool Full() const { return left_ == 0; }

  void Put(uint8_t byte) {
    if (left_ == 0) return;
    --left_;
    window_[pos_] = byte;
    if (++pos_ == kSize) Wrap();
  }

  // Copies length bytes from distance bytes back (1 <= distance <= kSize). Bytes before the
  // start of the output read as zeros.
  void Copy(size_t distance, size_t length);

  // Appends bytes, cut at the uncompressed size.
  void Append(const uint8_t* data, size_t size) {
    if (size < kSize - pos_ && size <= left_) {
      std::memcpy(window_ + pos_, data, size);
      pos_ += size;
      left_ -= size;
    } else {
      AppendWrapping(data, size);
    }
  }

  // Hands over what is not yet delivered; the decoder calls it once at the end.
  void Flush();

 private:
  void Wrap();
  void AppendWrapping(const uint8_t* data, size_t size);

  DecodedOutput& out_;
  uint64_t left_;
  size_t pos_ = 0;
  size_t delivered_ = 0;  // start of the bytes in window_ not yet handed over
  uint8_t window_[kSize] = {};
};

}  // namespace flashsaver
