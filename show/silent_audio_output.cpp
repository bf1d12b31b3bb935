// The silent output: a thread that takes the mix every 30 ms and throws it away.
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "show/audio_output.h"

namespace flashsaver {
namespace {

constexpr size_t kBufferFrames = 1323;  // 30 ms at 44.1 kHz, as the device's buffers

class SilentOutput final : public AudioOutput {
 public:
  SilentOutput() : thread_([this] { Run(); }) {}

  ~SilentOutput() override {
    {
      std::lock_guard<std::mutex> hold(lock_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }

  void SetSource(Source source) override {
    Source old;
    {
      std::lock_guard<std::mutex> hold(lock_);
      old = std::exchange(source_, std::move(source));
    }
  }

  uint32_t QueuedFrames() const override { return 0; }

 private:
  void Run() {
    std::array<int16_t, 2 * kBufferFrames> discarded{};
    auto next = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> hold(lock_);
    while (!stop_) {
      if (source_) source_(discarded.data(), kBufferFrames);
      next += std::chrono::microseconds(kBufferFrames * 1000000 / 44100);
      // After a long stall (a suspended machine) the pace starts again rather than catch up.
      const auto now = std::chrono::steady_clock::now();
      if (next < now - std::chrono::seconds(1)) next = now;
      wake_.wait_until(hold, next, [this] { return stop_; });
    }
  }

  std::mutex lock_;
  std::condition_variable wake_;
  Source source_;
  bool stop_ = false;
  std::thread thread_;  // last: it starts once the rest is ready
};

}  // namespace

std::unique_ptr<AudioOutput> MakeSilentAudioOutput() { return std::make_unique<SilentOutput>(); }

}  // namespace flashsaver
