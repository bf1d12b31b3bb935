// MP3 through dr_mp3's frame decoder. The pieces are copied through a small window so that a
// frame split between two stream blocks still decodes; the window never holds more than a few
// frames, whatever the length of the sound.
#include <algorithm>
#include <cstring>
#include <deque>
#include <vector>

#include "player/sound/sound_decoders.h"

#include <dr_mp3.h>

namespace flashsaver {
namespace {

constexpr size_t kWindow = 16384;  // several of the largest frames (2881 bytes)

class Mp3Decoder final : public SoundDecoder {
 public:
  explicit Mp3Decoder(const SoundFormat& format) : rate_(format.rate) {
    drmp3dec_init(&decoder_);
    window_.reserve(kWindow);
  }

  void Feed(std::span<const uint8_t> piece) override {
    if (!piece.empty()) pieces_.push_back(piece);
  }

  size_t Read(int16_t* out, size_t frames) override {
    size_t done = 0;
    while (done < frames) {
      if (pcm_at_ < pcm_frames_) {
        const size_t n = std::min(frames - done, pcm_frames_ - pcm_at_);
        std::memcpy(out + 2 * done, pcm_.data() + 2 * pcm_at_, n * 2 * sizeof(int16_t));
        pcm_at_ += n;
        done += n;
        continue;
      }
      if (!DecodeFrame()) break;
    }
    return done;
  }

  uint32_t rate() const override { return rate_; }

 private:
  void Refill() {
    if (window_at_ > 0) {
      window_.erase(window_.begin(), window_.begin() + static_cast<ptrdiff_t>(window_at_));
      window_at_ = 0;
    }
    while (window_.size() < kWindow && !pieces_.empty()) {
      std::span<const uint8_t>& piece = pieces_.front();
      const size_t n = std::min(kWindow - window_.size(), piece.size());
      window_.insert(window_.end(), piece.begin(), piece.begin() + static_cast<ptrdiff_t>(n));
      piece = piece.subspan(n);
      if (piece.empty()) pieces_.pop_front();
    }
  }

  bool DecodeFrame() {
    for (;;) {
      if (window_.size() - window_at_ < kWindow / 2 && !pieces_.empty()) Refill();
      const size_t left = window_.size() - window_at_;
      if (left == 0) return false;
      drmp3dec_frame_info info{};
      short samples[DRMP3_MAX_SAMPLES_PER_FRAME];
      const int n = drmp3dec_decode_frame(&decoder_, window_.data() + window_at_,
                                          static_cast<int>(left), samples, &info);
      if (info.frame_bytes <= 0) {
        // No frame in what is left: keep a possible frame start for the next piece.
        if (pieces_.empty()) {
          if (left > 4) window_at_ = window_.size() - 4;
          return false;
        }
        Refill();
        if (window_.size() - window_at_ == left) window_at_ += left / 2;  // full of garbage
        continue;
      }
      window_at_ += static_cast<size_t>(info.frame_bytes);
      if (n <= 0) continue;  // skipped data or a frame that needs its reservoir
      if (info.hz > 0) rate_ = static_cast<uint32_t>(info.hz);
      pcm_.resize(static_cast<size_t>(n) * 2);
      for (int i = 0; i < n; ++i) {
        pcm_[2 * i] = samples[i * info.channels];
        pcm_[2 * i + 1] = samples[i * info.channels + (info.channels > 1 ? 1 : 0)];
      }
      pcm_frames_ = static_cast<size_t>(n);
      pcm_at_ = 0;
      return true;
    }
  }

  drmp3dec decoder_;
  uint32_t rate_;
  std::deque<std::span<const uint8_t>> pieces_;
  std::vector<uint8_t> window_;
  size_t window_at_ = 0;
  std::vector<int16_t> pcm_;
  size_t pcm_frames_ = 0, pcm_at_ = 0;
};

}  // namespace

std::unique_ptr<SoundDecoder> MakeMp3Decoder(const SoundFormat& format) {
  return std::make_unique<Mp3Decoder>(format);
}

}  // namespace flashsaver
