// The built-in player's sound through winmm's waveOut: a few short buffers, refilled from a
// thread of its own as the device hands them back, so that a sound starts within about 100 ms
// of its frame. Device 0 is opened (not the mapper) because that is the device whose volume
// the show sets to nothing for a muted show.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "show/audio_output.h"

namespace flashsaver {
namespace {

constexpr uint32_t kRate = 44100;
constexpr size_t kBufferFrames = 1323;  // 30 ms
constexpr size_t kBufferCount = 3;      // 90 ms between a mix and the ear, at most

class WaveOutput final : public AudioOutput {
 public:
  WaveOutput(HWAVEOUT device, HANDLE event) : device_(device), event_(event) {
    for (auto& data : data_) data.assign(2 * kBufferFrames, 0);
    thread_ = std::thread([this] { Run(); });
  }

  ~WaveOutput() override {
    stop_ = true;
    ::SetEvent(event_);
    thread_.join();
    ::waveOutReset(device_);
    for (WAVEHDR& header : headers_) {
      if (header.dwFlags & WHDR_PREPARED) ::waveOutUnprepareHeader(device_, &header, sizeof header);
    }
    ::waveOutClose(device_);
    ::CloseHandle(event_);
  }

  void SetSource(Source source) override {
    Source old;
    {
      std::lock_guard<std::mutex> hold(source_lock_);
      old = std::exchange(source_, std::move(source));
    }
  }

  uint32_t QueuedFrames() const override { return queued_.load(); }

 private:
  void Fill(size_t index) {
    std::lock_guard<std::mutex> hold(source_lock_);
    if (source_) {
      source_(data_[index].data(), kBufferFrames);
    } else {
      std::fill(data_[index].begin(), data_[index].end(), int16_t{0});
    }
  }

  void Run() {
    for (size_t i = 0; i < kBufferCount; ++i) {
      WAVEHDR& header = headers_[i];
      header = WAVEHDR{};
      header.lpData = reinterpret_cast<LPSTR>(data_[i].data());
      header.dwBufferLength = static_cast<DWORD>(data_[i].size() * sizeof(int16_t));
      ::waveOutPrepareHeader(device_, &header, sizeof header);
    }
    std::array<bool, kBufferCount> queued{};
    while (!stop_) {
      uint32_t in_flight = 0;
      for (size_t i = 0; i < kBufferCount; ++i) {
        if (queued[i] && !(headers_[i].dwFlags & WHDR_DONE)) {
          ++in_flight;
          continue;
        }
        Fill(i);
        headers_[i].dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
        queued[i] = ::waveOutWrite(device_, &headers_[i], sizeof headers_[i]) == MMSYSERR_NOERROR;
        if (queued[i]) ++in_flight;
      }
      queued_ = in_flight * static_cast<uint32_t>(kBufferFrames);
      ::WaitForSingleObject(event_, 50);
    }
  }

  HWAVEOUT device_;
  HANDLE event_;
  std::array<WAVEHDR, kBufferCount> headers_{};
  std::array<std::vector<int16_t>, kBufferCount> data_;
  std::mutex source_lock_;
  Source source_;
  std::atomic<bool> stop_{false};
  std::atomic<uint32_t> queued_{0};
  std::thread thread_;
};

}  // namespace

std::unique_ptr<AudioOutput> OpenSystemAudioOutput() {
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = kRate;
  format.wBitsPerSample = 16;
  format.nBlockAlign = 4;
  format.nAvgBytesPerSec = kRate * 4;
  if (::waveOutGetNumDevs() == 0) return MakeSilentAudioOutput();
  HANDLE event = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!event) return MakeSilentAudioOutput();
  HWAVEOUT device = nullptr;
  if (::waveOutOpen(&device, 0, &format, reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT) !=
      MMSYSERR_NOERROR) {
    ::CloseHandle(event);
    return MakeSilentAudioOutput();
  }
  return std::make_unique<WaveOutput>(device, event);
}

}  // namespace flashsaver
