// Writing a large output file on a thread of its own: the decoder fills one block while the
// thread hands the previous one to the file, so decoding and the file system's copying overlap.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "package/zip/archive_files.h"

namespace flashsaver {

class WriteBehind {
 public:
  static constexpr size_t kBlockSize = size_t{1} << 20;
  static constexpr size_t kBlocks = 3;  // the memory held is kBlocks * kBlockSize

  WriteBehind();
  ~WriteBehind();
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;

  // The file that the next writes go to; the one before must have been finished.
  void Start(ArchiveOutput& out);
  // Takes a copy of the bytes. False once a block of this file was not taken whole by it; the
  // bytes are then dropped.
  bool Write(const uint8_t* data, size_t size);
  // Hands on what is pending and waits until the file has taken every block; false when one
  // was not taken whole. The file is not closed.
  bool Finish();

 private:
  struct Job {
    size_t block;
    size_t size;
  };

  void Submit();  // the block being filled goes to the thread; waits for a free one
  void Run();

  std::vector<std::unique_ptr<uint8_t[]>> blocks_;
  size_t current_ = 0;  // the block being filled, owned by the caller's thread
  size_t filled_ = 0;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> jobs_;
  std::vector<size_t> free_;
  bool busy_ = false;  // the thread is writing a block outside the lock
  bool failed_ = false;
  bool stop_ = false;
  ArchiveOutput* out_ = nullptr;
  std::thread thread_;
};

}  // namespace flashsaver
