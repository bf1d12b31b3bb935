#include "player/sound/sound_player.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#include "player/display/timeline.h"

namespace flashsaver {

SoundPlayer::SoundPlayer(const SoundLibrary& library,
                         const std::map<std::string, uint16_t>& exports, const Timeline& root,
                         double frame_rate)
    : library_(library),
      exports_(exports),
      root_timeline_(root),
      frame_rate_(frame_rate > 0 ? frame_rate : 12) {}

std::optional<double> SoundPlayer::RootStreamFrameRate() const {
  const std::optional<StreamHead>& head = root_timeline_.stream;
  if (!head || head->samples_per_block == 0) return std::nullopt;
  return static_cast<double>(head->format.rate) / head->samples_per_block;
}

void SoundPlayer::set_enabled(bool enabled) {
  enabled_ = enabled;
  if (!enabled) {
    mixer_.StopAll();
    streams_.clear();
  }
}

void SoundPlayer::RunFrame(const void* clip, const Timeline& timeline, int32_t frame,
                           bool is_root) {
  if (!enabled_ || frame < 0 || static_cast<size_t>(frame) >= timeline.frames.size()) return;
  const Frame& f = timeline.frames[static_cast<size_t>(frame)];
  if (is_root) {
    root_block_length_.reset();
    if (timeline.stream && !f.stream_block.empty()) {
      const StreamHead& head = *timeline.stream;
      double samples = head.samples_per_block;
      if (head.format.codec == SoundCodec::kMp3 && f.stream_block.size() >= 2)
        samples = f.stream_block[0] | (f.stream_block[1] << 8);
      root_block_length_ = samples * kMixRate / head.format.rate;
    }
  }
  for (const StartSoundCommand& command : f.sounds) StartEvent(command, clip);
  if (!timeline.stream) return;
  auto found = streams_.find(clip);
  if (f.stream_block.empty()) {
    // Frames without blocks keep a running stream; a jump elsewhere ends it.
    if (found != streams_.end() && frame != found->second.last_frame + 1)
      StopStream(clip);
    else if (found != streams_.end())
      found->second.last_frame = frame, found->second.last_tick = tick_;
    return;
  }
  if (found != streams_.end() && frame != found->second.last_frame + 1) {
    StopStream(clip);
    found = streams_.end();
  }
  if (found == streams_.end()) {
    const StreamHead& head = *timeline.stream;
    const uint32_t skip = head.format.codec == SoundCodec::kMp3
                              ? static_cast<uint32_t>(std::max<int16_t>(head.latency_seek, 0))
                              : 0;
    Stream stream;
    stream.voice = mixer_.PlayStream(MakeSoundDecoder(head.format), skip, next_stream_key_++);
    Owned(stream.voice, clip);
    stream.first_frame = frame;
    if (stream.voice == 0) return;
    found = streams_.emplace(clip, stream).first;
    if (is_root) root_ = clip;
  }
  Stream& stream = found->second;
  stream.last_frame = frame;
  stream.last_tick = tick_;
  // The stream is fed one frame ahead: a block's last MP3 frame often ends after the timeline's
  // frame does, and the voice must not run dry at every frame boundary.
  for (int32_t ahead = std::max(frame, stream.fed_through + 1);
       ahead <= frame + 1 && static_cast<size_t>(ahead) < timeline.frames.size(); ++ahead) {
    const std::span<const uint8_t> block = timeline.frames[static_cast<size_t>(ahead)].stream_block;
    if (!block.empty()) mixer_.Feed(stream.voice, StreamBlockData(*timeline.stream, block));
    stream.fed_through = ahead;
  }
}

void SoundPlayer::StopStream(const void* clip) {
  const auto found = streams_.find(clip);
  if (found == streams_.end()) return;
  mixer_.Stop(found->second.voice);
  streams_.erase(found);
}

void SoundPlayer::EndTick() {
  std::erase_if(voice_clips_, [&](const auto& entry) { return !mixer_.Position(entry.first); });
  for (auto it = streams_.begin(); it != streams_.end();) {
    if (it->second.last_tick != tick_) {
      mixer_.Stop(it->second.voice);
      it = streams_.erase(it);
    } else {
      ++it;
    }
  }
  ++tick_;
}

std::optional<int32_t> SoundPlayer::RootStreamFrame(uint32_t unheard) const {
  const auto found = streams_.find(root_);
  if (found == streams_.end()) return std::nullopt;
  const std::optional<uint64_t> played = mixer_.Position(found->second.voice);
  if (!played) return std::nullopt;
  const double rate = RootStreamFrameRate().value_or(frame_rate_);
  const uint64_t heard = *played > unheard ? *played - unheard : 0;
  return found->second.first_frame +
         static_cast<int32_t>(static_cast<double>(heard) * rate / kMixRate);
}

void SoundPlayer::Owned(Mixer::VoiceId voice, const void* clip) {
  if (!voice || !clip) return;
  voice_clips_[voice] = clip;
  if (const auto found = clip_transforms_.find(clip); found != clip_transforms_.end())
    mixer_.SetTransform(voice, found->second);
}

void SoundPlayer::SetClipTransform(const void* clip, const SoundTransform& t) {
  clip_transforms_[clip] = t;
  for (const auto& [voice, owner] : voice_clips_) {
    if (owner == clip) mixer_.SetTransform(voice, t);
  }
}

void SoundPlayer::StartEvent(const StartSoundCommand& command, const void* clip) {
  uint16_t id = command.sound_id;
  if (!command.class_name.empty()) {
    const std::optional<uint16_t> exported = FindExport(command.class_name);
    if (!exported) return;
    id = *exported;
  }
  const auto found = library_.sounds.find(id);
  if (found == library_.sounds.end()) return;
  if (command.info.stop) {
    mixer_.StopKey(id);
    return;
  }
  if (command.info.no_multiple && mixer_.KeyPlaying(id)) return;
  const SoundDefinition& sound = found->second;
  VoiceSettings settings;
  settings.skip_source_frames = sound.mp3_seek_samples;
  settings.in_point = command.info.in_point;
  settings.out_point = command.info.out_point;
  settings.loops = command.info.loops;
  settings.envelope = command.info.envelope;
  Owned(mixer_.Play(
            [&sound] {
              auto decoder = MakeSoundDecoder(sound.format);
              decoder->Feed(sound.data);
              return decoder;
            },
            settings, id),
        clip);
}

std::optional<uint16_t> SoundPlayer::FindExport(const std::string& name) const {
  const auto found = exports_.find(name);
  if (found == exports_.end() || !library_.sounds.contains(found->second)) return std::nullopt;
  return found->second;
}

const SoundDefinition* SoundPlayer::Find(uint16_t id) const {
  if (const auto found = library_.sounds.find(id); found != library_.sounds.end())
    return &found->second;
  if (const auto found = loaded_.find(id); found != loaded_.end()) return &found->second;
  return nullptr;
}

std::optional<uint16_t> SoundPlayer::AddLoadedMp3(std::span<const uint8_t> file) {
  SoundDefinition sound;
  sound.format.codec = SoundCodec::kMp3;
  sound.data = file;
  // Counted by decoding once, a chunk at a time: the file says its length nowhere reliable.
  auto decoder = MakeSoundDecoder(sound.format);
  decoder->Feed(file);
  std::vector<int16_t> chunk(2 * 4096);
  uint64_t frames = 0;
  while (const size_t n = decoder->Read(chunk.data(), 4096)) frames += n;
  if (frames == 0 || decoder->rate() == 0) return std::nullopt;
  sound.format.rate = decoder->rate();
  sound.sample_count = static_cast<uint32_t>(std::min<uint64_t>(frames, UINT32_MAX));
  for (uint32_t id = 65535; id > 0; --id) {
    if (library_.sounds.contains(static_cast<uint16_t>(id)) ||
        loaded_.contains(static_cast<uint16_t>(id)))
      continue;
    loaded_.emplace(static_cast<uint16_t>(id), sound);
    return static_cast<uint16_t>(id);
  }
  return std::nullopt;
}

Mixer::VoiceId SoundPlayer::Start(uint16_t id, double offset_seconds, uint32_t loops,
                                  const void* clip) {
  const SoundDefinition* found = Find(id);
  if (!enabled_ || !found) return 0;
  const SoundDefinition& sound = *found;
  VoiceSettings settings;
  settings.skip_source_frames = sound.mp3_seek_samples;
  // Held below a day: the in point counts 44.1 kHz samples in 32 bits.
  if (offset_seconds > 0)
    settings.in_point = static_cast<uint32_t>(std::min(offset_seconds, 86400.0) * kMixRate);
  settings.loops = loops;
  const Mixer::VoiceId voice = mixer_.Play(
      [&sound] {
        auto decoder = MakeSoundDecoder(sound.format);
        decoder->Feed(sound.data);
        return decoder;
      },
      settings, id);
  Owned(voice, clip);
  return voice;
}

double SoundPlayer::DurationMs(uint16_t id) const {
  const SoundDefinition* found = Find(id);
  if (!found || found->format.rate == 0) return 0;
  return found->sample_count * 1000.0 / found->format.rate;
}

double SoundPlayer::PositionMs(Mixer::VoiceId voice) const {
  return static_cast<double>(mixer_.Position(voice).value_or(0)) * 1000.0 / kMixRate;
}

void SoundPlayer::DispatchCompletions(const std::function<void(Mixer::VoiceId)>& handler) {
  for (Mixer::VoiceId id : mixer_.TakeFinished()) handler(id);
}

}  // namespace flashsaver
