#include "player/sound/sound_decoder.h"

#include "player/sound/sound_decoders.h"

namespace flashsaver {
namespace {

// Codecs without a decoder here (Speex): nothing is heard, and the sound ends at once.
class SilentDecoder final : public SoundDecoder {
 public:
  explicit SilentDecoder(uint32_t rate) : rate_(rate) {}
  void Feed(std::span<const uint8_t>) override {}
  size_t Read(int16_t*, size_t) override { return 0; }
  uint32_t rate() const override { return rate_; }

 private:
  uint32_t rate_;
};

}  // namespace

std::unique_ptr<SoundDecoder> MakeSoundDecoder(const SoundFormat& format) {
  switch (format.codec) {
    case SoundCodec::kPcmNative:
    case SoundCodec::kPcmLittle:
      return MakePcmDecoder(format);
    case SoundCodec::kAdpcm:
      return MakeAdpcmDecoder(format);
    case SoundCodec::kMp3:
      return MakeMp3Decoder(format);
    case SoundCodec::kNellymoser16k:
    case SoundCodec::kNellymoser8k:
    case SoundCodec::kNellymoser:
      return MakeNellymoserDecoder(format);
    default:
      return std::make_unique<SilentDecoder>(format.rate);
  }
}

}  // namespace flashsaver
