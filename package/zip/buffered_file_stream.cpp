#include "package/zip/buffered_file_stream.h"

#include <algorithm>
#include <cstring>

namespace flashsaver {

TBufferedFileStream::TBufferedFileStream(std::unique_ptr<ArchiveInput> file)
    : file_(std::move(file)), size_(file_->Size()) {}

void TBufferedFileStream::Seek(uint64_t position) {
  if (position == position_) return;
  // A short step inside the buffered bytes keeps them.
  const uint64_t buffer_start = position_ - begin_;
  if (position >= buffer_start && position < buffer_start + end_) {
    begin_ = static_cast<size_t>(position - buffer_start);
  } else {
    begin_ = end_ = 0;
    file_at_position_ = false;
  }
  position_ = position;
}

bool TBufferedFileStream::Fill() {
  begin_ = end_ = 0;
  if (position_ >= size_) return false;
  if (!file_at_position_) {
    if (!file_->Seek(position_)) return false;
    file_at_position_ = true;
  }
  end_ = file_->Read(buffer_, kBufferSize);
  return end_ > 0;
}

size_t TBufferedFileStream::Read(uint8_t* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    if (begin_ < end_) {
      const size_t n = std::min(size - done, end_ - begin_);
      std::memcpy(data + done, buffer_ + begin_, n);
      begin_ += n;
      done += n;
      position_ += n;
      continue;
    }
    if (position_ >= size_) break;
    if (size - done >= kBufferSize) {
      // Large reads skip the copy through the buffer.
      begin_ = end_ = 0;
      if (!file_at_position_) {
        if (!file_->Seek(position_)) break;
        file_at_position_ = true;
      }
      const size_t n = file_->Read(data + done, size - done);
      if (n == 0) break;
      done += n;
      position_ += n;
      continue;
    }
    if (!Fill()) break;
  }
  return done;
}

}  // namespace flashsaver
