// Mixes the playing sounds into 16-bit stereo at 44.1 kHz. Each voice decodes as it plays and
// is resampled from its source rate by linear interpolation. Voices are driven from the movie's
// thread (start, stop, feed) and mixed from the output's; one lock keeps them apart.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "player/sound/sound_decoder.h"

namespace flashsaver {

inline constexpr uint32_t kMixRate = 44100;

struct VoiceSettings {
  uint32_t skip_source_frames = 0;  // MP3 seek samples: encoder delay at the source rate
  std::optional<uint32_t> in_point, out_point;  // 44.1 kHz samples into the sound
  uint32_t loops = 1;
  std::vector<EnvelopePoint> envelope;
};

// The ActionScript sound transform: percentages of each input side in each output side,
// scaled by the volume (0 to 100; more amplifies, as Flash allows).
struct SoundTransform {
  double volume = 100, left_to_left = 100, right_to_left = 0, left_to_right = 0,
         right_to_right = 100;
};

class Mixer {
 public:
  using VoiceId = uint32_t;
  using DecoderFactory = std::function<std::unique_ptr<SoundDecoder>()>;

  Mixer();
  ~Mixer();
  Mixer(const Mixer&) = delete;
  Mixer& operator=(const Mixer&) = delete;

  // Voices beyond this are refused, as Flash plays at most 32 sounds at once.
  static constexpr size_t kMaxVoices = 32;

  // Starts an event sound; `make` builds a fresh decoder for every loop. `key` groups voices
  // of the same sound (for no-multiple and stop). Returns 0 when refused.
  VoiceId Play(DecoderFactory make, const VoiceSettings& settings, uint64_t key);
  // Starts a stream voice whose decoder is fed piece by piece with Feed.
  VoiceId PlayStream(std::unique_ptr<SoundDecoder> decoder, uint32_t skip_source_frames,
                     uint64_t key);
  void Feed(VoiceId id, std::span<const uint8_t> piece);

  // Stopped voices fade out over a few milliseconds rather than click.
  void Stop(VoiceId id);
  void StopKey(uint64_t key);
  void StopAll();

  bool Playing(VoiceId id) const;
  bool KeyPlaying(uint64_t key) const;
  // 44.1 kHz samples a voice has played, counting every loop; nullopt once it is gone.
  std::optional<uint64_t> Position(VoiceId id) const;
  void SetTransform(VoiceId id, const SoundTransform& transform);
  // Applied to every voice, on top of its own transform.
  void SetMasterTransform(const SoundTransform& transform);

  // Voices that ended by themselves (all loops played) since the last call.
  std::vector<VoiceId> TakeFinished();

  // Writes frames stereo frames (left, right) and moves every voice on.
  void Mix(int16_t* out, size_t frames);

  size_t voice_count() const;

 private:
  struct Voice;
  void MixVoice(Voice& voice, int32_t* accumulator, size_t frames);

  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<Voice>> voices_;
  std::vector<VoiceId> finished_;
  std::vector<int32_t> accumulator_;
  SoundTransform master_;
  VoiceId next_id_ = 1;
};

}  // namespace flashsaver
