#include "player/sound/mixer.h"

#include <algorithm>
#include <array>
#include <utility>
#include <cmath>

namespace flashsaver {
namespace {

constexpr size_t kChunkFrames = 1024;  // source frames decoded at a time, per voice
constexpr int kFadeFrames = 128;       // about 3 ms: a stop or an abrupt end without a click
constexpr uint64_t kOne = uint64_t{1} << 32;

}  // namespace

struct Mixer::Voice {
  VoiceId id = 0;
  uint64_t key = 0;
  DecoderFactory make;
  std::unique_ptr<SoundDecoder> decoder;
  VoiceSettings settings;
  bool stream = false;
  uint32_t loops_left = 1;

  int16_t buffer[2 * kChunkFrames];
  size_t buffered = 0, buffer_at = 0;
  uint64_t skip_left = 0;  // source frames still to drop at the start of this loop
  bool skip_pending_in_point = false;
  uint32_t rate = 0;
  uint64_t step = kOne;  // source frames per output frame, 32.32
  uint64_t frac = 0;
  float prev[2] = {0, 0}, cur[2] = {0, 0};
  bool primed = false, starving = false;

  uint64_t played_in_loop = 0;  // 44.1 kHz samples since the loop's in point
  uint64_t played = 0;          // all loops
  size_t envelope_at = 0;
  SoundTransform transform;

  int fade_left = -1;  // counting down once fading out
  float fade_from[2] = {0, 0};
  float last_out[2] = {0, 0};
  bool ended_by_itself = false;
  bool done = false;

  void StartLoop() {
    decoder = make();
    buffered = buffer_at = 0;
    skip_left = settings.skip_source_frames;
    skip_pending_in_point = settings.in_point.has_value();
    played_in_loop = 0;
    envelope_at = 0;
  }

  bool NextSourceFrame(float out[2]) {
    for (;;) {
      if (buffer_at == buffered) {
        buffered = decoder->Read(buffer, kChunkFrames);
        buffer_at = 0;
        if (decoder->rate() != rate && decoder->rate() > 0) {
          rate = decoder->rate();
          step = (uint64_t{rate} << 32) / kMixRate;
        }
        if (skip_pending_in_point) {  // the in point counts 44.1 kHz samples
          skip_left += *settings.in_point * uint64_t{rate} / kMixRate;
          skip_pending_in_point = false;
        }
        if (buffered == 0) return false;
      }
      const size_t skip = static_cast<size_t>(std::min<uint64_t>(skip_left, buffered - buffer_at));
      buffer_at += skip;
      skip_left -= skip;
      if (buffer_at == buffered) continue;
      out[0] = buffer[2 * buffer_at];
      out[1] = buffer[2 * buffer_at + 1];
      ++buffer_at;
      return true;
    }
  }

  // The next source frame, through loop ends; false when the sound is over.
  bool Advance() {
    prev[0] = cur[0], prev[1] = cur[1];
    if (NextSourceFrame(cur)) return true;
    if (stream) {
      starving = true;
      cur[0] = prev[0], cur[1] = prev[1];
      return true;
    }
    while (loops_left > 1) {
      --loops_left;
      StartLoop();
      if (NextSourceFrame(cur)) return true;
    }
    return false;
  }

  float EnvelopeGain(int side) {
    const auto& points = settings.envelope;
    const uint64_t at = played_in_loop + settings.in_point.value_or(0);
    while (envelope_at + 1 < points.size() && points[envelope_at + 1].position <= at) ++envelope_at;
    auto level = [&](const EnvelopePoint& p) { return side == 0 ? p.left : p.right; };
    const EnvelopePoint& a = points[envelope_at];
    if (envelope_at + 1 >= points.size() || at <= a.position) return level(a) / 32768.0f;
    const EnvelopePoint& b = points[envelope_at + 1];
    const float t =
        static_cast<float>(at - a.position) / static_cast<float>(b.position - a.position);
    return (level(a) + (static_cast<float>(level(b)) - level(a)) * t) / 32768.0f;
  }

  void BeginFade() {
    fade_from[0] = last_out[0], fade_from[1] = last_out[1];
    fade_left = kFadeFrames;
  }
};

Mixer::Mixer() = default;
Mixer::~Mixer() = default;

Mixer::VoiceId Mixer::Play(DecoderFactory make, const VoiceSettings& settings, uint64_t key) {
  std::lock_guard lock(mutex_);
  if (voices_.size() >= kMaxVoices) return 0;
  auto voice = std::make_unique<Voice>();
  voice->id = next_id_++;
  voice->key = key;
  voice->make = std::move(make);
  voice->settings = settings;
  voice->loops_left = std::max<uint32_t>(settings.loops, 1);
  voice->StartLoop();
  voices_.push_back(std::move(voice));
  return voices_.back()->id;
}

Mixer::VoiceId Mixer::PlayStream(std::unique_ptr<SoundDecoder> decoder, uint32_t skip_source_frames,
                                 uint64_t key) {
  std::lock_guard lock(mutex_);
  if (voices_.size() >= kMaxVoices) return 0;
  auto voice = std::make_unique<Voice>();
  voice->id = next_id_++;
  voice->key = key;
  voice->stream = true;
  voice->decoder = std::move(decoder);
  voice->skip_left = skip_source_frames;
  voices_.push_back(std::move(voice));
  return voices_.back()->id;
}

void Mixer::Feed(VoiceId id, std::span<const uint8_t> piece) {
  std::lock_guard lock(mutex_);
  for (auto& voice : voices_) {
    if (voice->id == id && voice->fade_left < 0) voice->decoder->Feed(piece);
  }
}

void Mixer::Stop(VoiceId id) {
  std::lock_guard lock(mutex_);
  for (auto& voice : voices_) {
    if (voice->id == id && voice->fade_left < 0) voice->BeginFade();
  }
}

void Mixer::StopKey(uint64_t key) {
  std::lock_guard lock(mutex_);
  for (auto& voice : voices_) {
    if (voice->key == key && voice->fade_left < 0) voice->BeginFade();
  }
}

void Mixer::StopAll() {
  std::lock_guard lock(mutex_);
  for (auto& voice : voices_) {
    if (voice->fade_left < 0) voice->BeginFade();
  }
}

bool Mixer::Playing(VoiceId id) const {
  std::lock_guard lock(mutex_);
  return std::any_of(voices_.begin(), voices_.end(),
                     [&](const auto& v) { return v->id == id && v->fade_left < 0; });
}

bool Mixer::KeyPlaying(uint64_t key) const {
  std::lock_guard lock(mutex_);
  return std::any_of(voices_.begin(), voices_.end(),
                     [&](const auto& v) { return v->key == key && v->fade_left < 0; });
}

std::optional<uint64_t> Mixer::Position(VoiceId id) const {
  std::lock_guard lock(mutex_);
  for (const auto& voice : voices_) {
    if (voice->id == id) return voice->played;
  }
  return std::nullopt;
}

void Mixer::SetTransform(VoiceId id, const SoundTransform& transform) {
  std::lock_guard lock(mutex_);
  for (auto& voice : voices_) {
    if (voice->id == id) voice->transform = transform;
  }
}

void Mixer::SetMasterTransform(const SoundTransform& transform) {
  std::lock_guard lock(mutex_);
  master_ = transform;
}

std::vector<Mixer::VoiceId> Mixer::TakeFinished() {
  std::lock_guard lock(mutex_);
  return std::exchange(finished_, {});
}

size_t Mixer::voice_count() const {
  std::lock_guard lock(mutex_);
  return voices_.size();
}

void Mixer::Mix(int16_t* out, size_t frames) {
  std::lock_guard lock(mutex_);
  accumulator_.assign(frames * 2, 0);
  for (auto& voice : voices_) MixVoice(*voice, accumulator_.data(), frames);
  for (size_t i = 0; i < frames * 2; ++i) {
    out[i] = static_cast<int16_t>(std::clamp(accumulator_[i], -32768, 32767));
  }
  std::erase_if(voices_, [&](const auto& voice) {
    if (voice->done && voice->ended_by_itself) finished_.push_back(voice->id);
    return voice->done;
  });
}

void Mixer::MixVoice(Voice& v, int32_t* acc, size_t frames) {
  // The transform as four gains: each output side from each input side.
  // Each gain is held finite (a script may ask for any volume), so that no product is NaN.
  auto gains = [](const SoundTransform& t) {
    const double volume = t.volume / 100.0 / 100.0;
    auto gain = [&](double percent) {
      const double g = percent * volume;
      return std::isnan(g) ? 0.0f : static_cast<float>(std::clamp(g, -1000.0, 1000.0));
    };
    return std::array<float, 4>{gain(t.left_to_left), gain(t.right_to_left), gain(t.left_to_right),
                                gain(t.right_to_right)};
  };
  const auto own = gains(v.transform), all = gains(master_);
  const float ll = all[0] * own[0] + all[1] * own[2], rl = all[0] * own[1] + all[1] * own[3];
  const float lr = all[2] * own[0] + all[3] * own[2], rr = all[2] * own[1] + all[3] * own[3];
  const bool has_envelope = !v.settings.envelope.empty();

  if (!v.primed && v.fade_left < 0) {
    if (!v.NextSourceFrame(v.cur)) {
      if (!v.stream) v.done = v.ended_by_itself = true;  // an empty sound
      return;                                            // a stream waits for its first block
    }
    v.primed = true;
    if (!v.Advance()) v.cur[0] = v.prev[0], v.cur[1] = v.prev[1];  // one frame, played once
  }
  for (size_t i = 0; i < frames; ++i) {
    if (v.fade_left >= 0) {
      if (v.fade_left == 0) {
        v.done = true;
        return;
      }
      const float t = static_cast<float>(v.fade_left--) / kFadeFrames;
      acc[2 * i] += static_cast<int32_t>(v.fade_from[0] * t);
      acc[2 * i + 1] += static_cast<int32_t>(v.fade_from[1] * t);
      continue;
    }
    if (v.settings.out_point &&
        v.played_in_loop + v.settings.in_point.value_or(0) >= *v.settings.out_point) {
      if (v.loops_left > 1) {
        --v.loops_left;
        v.StartLoop();
        v.prev[0] = v.cur[0], v.prev[1] = v.cur[1];
        if (!v.NextSourceFrame(v.cur)) v.cur[0] = v.prev[0], v.cur[1] = v.prev[1];
      } else {
        v.ended_by_itself = true;
        v.BeginFade();
        --i;
        continue;
      }
    }
    const float t = static_cast<float>(v.frac) / static_cast<float>(kOne);
    float left = v.prev[0] + (v.cur[0] - v.prev[0]) * t;
    float right = v.prev[1] + (v.cur[1] - v.prev[1]) * t;
    if (has_envelope) {
      left *= v.EnvelopeGain(0);
      right *= v.EnvelopeGain(1);
    }
    // Each voice is held to a range that 32 of them can add up in without overflowing.
    constexpr float kVoiceLimit = 1 << 24;
    v.last_out[0] = std::clamp(left * ll + right * rl, -kVoiceLimit, kVoiceLimit);
    v.last_out[1] = std::clamp(left * lr + right * rr, -kVoiceLimit, kVoiceLimit);
    acc[2 * i] += static_cast<int32_t>(std::lrint(v.last_out[0]));
    acc[2 * i + 1] += static_cast<int32_t>(std::lrint(v.last_out[1]));
    ++v.played;
    ++v.played_in_loop;
    v.frac += v.step;
    while (v.frac >= kOne) {
      v.frac -= kOne;
      if (v.starving) {
        v.starving = false;
        v.cur[0] = v.prev[0], v.cur[1] = v.prev[1];
      }
      if (!v.Advance()) {
        v.ended_by_itself = true;
        v.BeginFade();
        break;
      }
    }
  }
}

}  // namespace flashsaver
