// Nellymoser (Flash's speech codec): mono blocks of 64 bytes, 256 samples each, decoded by
// libavcodec (built with the video decoders by scripts/setup).
#include <algorithm>
#include <cmath>
#include <deque>
#include <vector>

#include "player/sound/sound_decoders.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

namespace flashsaver {
namespace {

constexpr size_t kBlockBytes = 64;

class NellymoserDecoder final : public SoundDecoder {
 public:
  explicit NellymoserDecoder(uint32_t rate) : rate_(rate) {
    av_log_set_level(AV_LOG_QUIET);
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_NELLYMOSER);
    if (!codec) return;
    context_ = avcodec_alloc_context3(codec);
    if (!context_) return;
    context_->sample_rate = static_cast<int>(rate);
    av_channel_layout_default(&context_->ch_layout, 1);
    if (avcodec_open2(context_, codec, nullptr) < 0) avcodec_free_context(&context_);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
  }
  ~NellymoserDecoder() override {
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    avcodec_free_context(&context_);
  }
  NellymoserDecoder(const NellymoserDecoder&) = delete;
  NellymoserDecoder& operator=(const NellymoserDecoder&) = delete;

  void Feed(std::span<const uint8_t> piece) override { pieces_.push_back(piece); }

  size_t Read(int16_t* out, size_t frames) override {
    size_t done = 0;
    while (done < frames) {
      if (at_ == samples_.size() && !DecodeBlock()) break;
      const size_t n = std::min(frames - done, samples_.size() - at_);
      for (size_t i = 0; i < n; ++i)
        out[2 * (done + i)] = out[2 * (done + i) + 1] = samples_[at_ + i];
      at_ += n;
      done += n;
    }
    return done;
  }

  uint32_t rate() const override { return rate_; }

 private:
  // The next whole block (it may straddle pieces) into samples_; false when none is left.
  bool DecodeBlock() {
    if (!context_ || !frame_ || !packet_) return false;
    while (block_.size() < kBlockBytes) {
      if (pieces_.empty()) return false;
      std::span<const uint8_t>& piece = pieces_.front();
      const size_t take = std::min(kBlockBytes - block_.size(), piece.size());
      block_.insert(block_.end(), piece.begin(), piece.begin() + static_cast<ptrdiff_t>(take));
      piece = piece.subspan(take);
      if (piece.empty()) pieces_.pop_front();
    }
    std::vector<uint8_t> padded(block_);
    padded.resize(kBlockBytes + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    block_.clear();
    packet_->data = padded.data();
    packet_->size = static_cast<int>(kBlockBytes);
    samples_.clear();
    at_ = 0;
    if (avcodec_send_packet(context_, packet_) >= 0 &&
        avcodec_receive_frame(context_, frame_) >= 0 && frame_->format == AV_SAMPLE_FMT_FLT) {
      const float* in = reinterpret_cast<const float*>(frame_->data[0]);
      for (int i = 0; i < frame_->nb_samples; ++i) {
        const float v = std::isfinite(in[i]) ? in[i] : 0.f;
        const long q = std::lrint(static_cast<double>(v) * 32768.0);
        samples_.push_back(static_cast<int16_t>(std::clamp(q, -32768l, 32767l)));
      }
    }
    if (samples_.empty()) samples_.assign(256, 0);  // a damaged block is heard as silence
    return true;
  }

  uint32_t rate_;
  AVCodecContext* context_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  std::deque<std::span<const uint8_t>> pieces_;
  std::vector<uint8_t> block_;
  std::vector<int16_t> samples_;
  size_t at_ = 0;
};

}  // namespace

std::unique_ptr<SoundDecoder> MakeNellymoserDecoder(const SoundFormat& format) {
  const uint32_t rate = format.codec == SoundCodec::kNellymoser16k  ? 16000
                        : format.codec == SoundCodec::kNellymoser8k ? 8000
                                                                    : format.rate;
  return std::make_unique<NellymoserDecoder>(rate);
}

}  // namespace flashsaver
