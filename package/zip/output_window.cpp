#include "package/zip/output_window.h"

#include <cstring>

namespace flashsaver {

void OutputWindow::Wrap() {
  out_.WriteBlock(window_ + delivered_, kSize - delivered_);
  pos_ = 0;
  delivered_ = 0;
}

void OutputWindow::Flush() {
  if (pos_ > delivered_) out_.WriteBlock(window_ + delivered_, pos_ - delivered_);
  delivered_ = pos_;
}

void OutputWindow::Copy(size_t distance, size_t length) {
  if (length > left_) length = static_cast<size_t>(left_);
  left_ -= length;
  size_t from = (pos_ - distance) & (kSize - 1);
  while (length > 0) {
    // Runs that do not wrap; an overlapping run repeats its own output, so it goes byte by byte.
    size_t run = length;
    if (run > kSize - pos_) run = kSize - pos_;
    if (run > kSize - from) run = kSize - from;
    if (from + run <= pos_ || pos_ + run <= from) {
      std::memcpy(window_ + pos_, window_ + from, run);
    } else {
      for (size_t i = 0; i < run; ++i) window_[pos_ + i] = window_[from + i];
    }
    pos_ += run;
    from = (from + run) & (kSize - 1);
    length -= run;
    if (pos_ == kSize) Wrap();
  }
}

void OutputWindow::AppendWrapping(const uint8_t* data, size_t size) {
  if (size > left_) size = static_cast<size_t>(left_);
  left_ -= size;
  while (size > 0) {
    size_t run = size < kSize - pos_ ? size : kSize - pos_;
    std::memcpy(window_ + pos_, data, run);
    pos_ += run;
    data += run;
    size -= run;
    if (pos_ == kSize) Wrap();
  }
}

}  // namespace flashsaver
