// Uncompressed PCM: 8-bit samples are unsigned, 16-bit ones signed little-endian.
#include <deque>

#include "player/sound/sound_decoders.h"

namespace flashsaver {
namespace {

class PcmDecoder final : public SoundDecoder {
 public:
  explicit PcmDecoder(const SoundFormat& format) : format_(format) {}

  void Feed(std::span<const uint8_t> piece) override { pieces_.push_back(piece); }

  size_t Read(int16_t* out, size_t frames) override {
    const size_t channels = format_.stereo ? 2 : 1;
    const size_t bytes = (format_.sixteen_bit ? 2 : 1) * channels;
    size_t done = 0;
    while (done < frames && !pieces_.empty()) {
      std::span<const uint8_t>& piece = pieces_.front();
      if (piece.size() < bytes) {  // a partial frame at a piece's end is dropped
        pieces_.pop_front();
        continue;
      }
      int16_t s[2];
      for (size_t c = 0; c < channels; ++c) {
        s[c] = format_.sixteen_bit ? static_cast<int16_t>(piece[2 * c] | (piece[2 * c + 1] << 8))
                                   : static_cast<int16_t>((piece[c] - 128) << 8);
      }
      out[2 * done] = s[0];
      out[2 * done + 1] = channels == 2 ? s[1] : s[0];
      piece = piece.subspan(bytes);
      ++done;
    }
    return done;
  }

  uint32_t rate() const override { return format_.rate; }

 private:
  SoundFormat format_;
  std::deque<std::span<const uint8_t>> pieces_;
};

}  // namespace

std::unique_ptr<SoundDecoder> MakePcmDecoder(const SoundFormat& format) {
  return std::make_unique<PcmDecoder>(format);
}

}  // namespace flashsaver
