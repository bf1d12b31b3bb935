// The sounds of one movie: starts and stops event sounds as frames run, feeds stream sound
// block by block, and offers the calls the ActionScript Sound object needs. Nothing is started
// until an output is attached (enabled), so a silent player holds no sound data.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>

#include "player/sound/mixer.h"
#include "player/sound/sound_tags.h"

namespace flashsaver {

struct Frame;
struct Timeline;

class SoundPlayer {
 public:
  SoundPlayer(const SoundLibrary& library, const std::map<std::string, uint16_t>& exports,
              const Timeline& root, double frame_rate);

  Mixer& mixer() { return mixer_; }
  void set_enabled(bool enabled);
  bool enabled() const { return enabled_; }

  // A frame of a timeline ran; clip tells timelines (the root, each sprite instance) apart.
  void RunFrame(const void* clip, const Timeline& timeline, int32_t frame, bool is_root);
  // The timeline of clip stopped or went away: its stream sound ends.
  void StopStream(const void* clip);
  // After each tick: streams whose timeline ran no frame in it (stopped, removed) end.
  void EndTick();
  // How many frames of the root's stream sound have been heard since its first block: the show
  // advances the root to this frame, dropping frames when the sound runs ahead. unheard: 44.1 kHz
  // frames mixed but still queued in the output.
  std::optional<int32_t> RootStreamFrame(uint32_t unheard = 0) const;
  // Frames per second at which the root's stream sound plays its blocks (the sample rate over
  // the samples per block), when the root has one: its clock, not the header's rate, paces the
  // movie while it plays.
  std::optional<double> RootStreamFrameRate() const;
  // 44.1 kHz samples in the root's stream block of the frame that ran last (an MP3 block says
  // its own count, which may differ from the head's); nullopt without a block.
  std::optional<double> RootBlockLength() const { return root_block_length_; }

  // For the Sound object. Sounds are named by character id (attachSound resolves the export
  // name with FindExport). Start returns 0 when the sound is unknown or no voice is free.
  std::optional<uint16_t> FindExport(const std::string& name) const;
  // clip: the Sound object's target, whose transform the voice takes; null for none.
  Mixer::VoiceId Start(uint16_t id, double offset_seconds, uint32_t loops,
                       const void* clip = nullptr);
  // The transform of every sound a clip starts, from its timeline or a Sound object aimed at it,
  // playing now or later.
  void SetClipTransform(const void* clip, const SoundTransform& t);
  void Stop(uint16_t id) { mixer_.StopKey(id); }
  void StopAll() { mixer_.StopAll(); }  // stopAllSounds, and StartSound with no id
  double DurationMs(uint16_t id) const;
  // An MP3 file loaded by a script, played like a defined sound under the id returned; its
  // bytes must outlive the player. Nothing when it holds no MP3 frame.
  std::optional<uint16_t> AddLoadedMp3(std::span<const uint8_t> file);
  double PositionMs(Mixer::VoiceId voice) const;
  void SetTransform(Mixer::VoiceId voice, const SoundTransform& t) {
    mixer_.SetTransform(voice, t);
  }
  void SetGlobalTransform(const SoundTransform& t) { mixer_.SetMasterTransform(t); }
  // Calls handler for each voice that played to its end since the last call (onSoundComplete);
  // run from the movie's thread once per frame.
  void DispatchCompletions(const std::function<void(Mixer::VoiceId)>& handler);

 private:
  struct Stream {
    Mixer::VoiceId voice = 0;
    int32_t first_frame = 0;
    int32_t last_frame = -1;
    uint64_t last_tick = 0;
    int32_t fed_through = -1;  // the last frame whose block the voice has
  };
  void StartEvent(const StartSoundCommand& command, const void* clip);
  // Notes that the clip started the voice, which takes its transform.
  void Owned(Mixer::VoiceId voice, const void* clip);
  const SoundDefinition* Find(uint16_t id) const;

  const SoundLibrary& library_;
  const std::map<std::string, uint16_t>& exports_;
  const Timeline& root_timeline_;
  double frame_rate_;
  bool enabled_ = false;
  Mixer mixer_;
  std::map<const void*, Stream> streams_;
  const void* root_ = nullptr;
  uint64_t next_stream_key_ = uint64_t{1} << 32;
  uint64_t tick_ = 0;
  std::optional<double> root_block_length_;
  std::map<uint16_t, SoundDefinition> loaded_;
  std::map<const void*, SoundTransform> clip_transforms_;
  std::map<Mixer::VoiceId, const void*> voice_clips_;  // voices still playing, by the clip  // ids
                                                       // the movie leaves free, from the top down
};

}  // namespace flashsaver
