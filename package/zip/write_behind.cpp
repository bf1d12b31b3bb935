#include "package/zip/write_behind.h"

#include <algorithm>
#include <cstring>

namespace flashsaver {

WriteBehind::WriteBehind() {
  for (size_t i = 0; i < kBlocks; ++i) {
    blocks_.push_back(std::make_unique<uint8_t[]>(kBlockSize));
    if (i > 0) free_.push_back(i);
  }
  thread_ = std::thread([this] { Run(); });
}

WriteBehind::~WriteBehind() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void WriteBehind::Start(ArchiveOutput& out) {
  std::lock_guard<std::mutex> lock(mutex_);
  out_ = &out;
  failed_ = false;
  filled_ = 0;
}

bool WriteBehind::Write(const uint8_t* data, size_t size) {
  while (size > 0) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (failed_) return false;
    }
    const size_t n = std::min(size, kBlockSize - filled_);
    std::memcpy(blocks_[current_].get() + filled_, data, n);
    filled_ += n;
    data += n;
    size -= n;
    if (filled_ == kBlockSize) Submit();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return !failed_;
}

bool WriteBehind::Finish() {
  if (filled_ > 0) Submit();
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return jobs_.empty() && !busy_; });
  out_ = nullptr;
  return !failed_;
}

void WriteBehind::Submit() {
  std::unique_lock<std::mutex> lock(mutex_);
  jobs_.push_back({current_, filled_});
  changed_.notify_all();
  changed_.wait(lock, [this] { return !free_.empty(); });
  current_ = free_.back();
  free_.pop_back();
  filled_ = 0;
}

void WriteBehind::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
    if (jobs_.empty()) return;  // stopping, and nothing is left to write
    const Job job = jobs_.front();
    jobs_.pop_front();
    busy_ = true;
    // After a failure the rest of the file's blocks are dropped, not written.
    if (!failed_) {
      ArchiveOutput* out = out_;
      lock.unlock();
      const bool whole = out->Write(blocks_[job.block].get(), job.size) == job.size;
      lock.lock();
      if (!whole) failed_ = true;
    }
    busy_ = false;
    free_.push_back(job.block);
    changed_.notify_all();
  }
}

}  // namespace flashsaver
