// The archive as a stream: small reads (record headers, the recovery scan's single bytes) are
// served from an 8192-byte buffer, large reads go to the file directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "package/zip/archive_files.h"

namespace flashsaver {

class TBufferedFileStream {
 public:
  static constexpr size_t kBufferSize = 8192;

  explicit TBufferedFileStream(std::unique_ptr<ArchiveInput> file);

  uint64_t Size() const { return size_; }
  uint64_t Position() const { return position_; }
  int64_t ModificationTime() { return file_->ModificationTime(); }
  // Any position, even beyond the end: reads from there just return nothing.
  void Seek(uint64_t position);
  size_t Read(uint8_t* data, size_t size);
  // -1 at the end of the file.
  int ReadByte() {
    if (begin_ < end_) {
      ++position_;
      return buffer_[begin_++];
    }
    uint8_t b;
    return Read(&b, 1) == 1 ? b : -1;
  }

 private:
  bool Fill();

  std::unique_ptr<ArchiveInput> file_;
  uint64_t size_;
  uint64_t position_ = 0;  // of the stream, as the caller sees it
  bool file_at_position_ = true;
  uint8_t buffer_[kBufferSize];
  size_t begin_ = 0, end_ = 0;  // the unread part of the buffer
};

}  // namespace flashsaver
