// Decoders of SWF sound data into 16-bit stereo frames at the source rate. They decode as they
// are read, so a sound of hours costs no more memory than one of seconds. Data arrives in
// pieces (a whole DefineSound, or one SoundStreamBlock per frame) that must outlive the decoder;
// damaged or short data ends a piece early and never fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "player/sound/sound_tags.h"

namespace flashsaver {

class SoundDecoder {
 public:
  virtual ~SoundDecoder() = default;
  // Adds the next piece of encoded data.
  virtual void Feed(std::span<const uint8_t> piece) = 0;
  // Writes up to `frames` stereo frames (left, right) into out; fewer means the data fed so far
  // is used up.
  virtual size_t Read(int16_t* out, size_t frames) = 0;
  // Samples per second of what Read gives; MP3 knows its own only after the first frame.
  virtual uint32_t rate() const = 0;
};

// Speex has no decoder here: it ends at once, silent.
std::unique_ptr<SoundDecoder> MakeSoundDecoder(const SoundFormat& format);

}  // namespace flashsaver
