// The sound tags: DefineSound, StartSound/StartSound2 and SoundStreamHead/SoundStreamBlock, read
// into plain records. The sample data stays in the movie's bytes; nothing is decoded here.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "player/swf/byte_reader.h"
#include "player/swf/swf_movie.h"

namespace flashsaver {

enum class SoundCodec : uint8_t {
  kPcmNative = 0,  // written by x86 authoring tools, so little-endian in practice
  kAdpcm = 1,
  kMp3 = 2,
  kPcmLittle = 3,
  kNellymoser16k = 4,
  kNellymoser8k = 5,
  kNellymoser = 6,
  kSpeex = 11,
};

struct SoundFormat {
  SoundCodec codec = SoundCodec::kPcmLittle;
  uint32_t rate = 44100;  // 5512, 11025, 22050 or 44100
  bool sixteen_bit = true;
  bool stereo = false;
};

// DefineSound: the format and the encoded data (for MP3, after the seek-samples field).
struct SoundDefinition {
  SoundFormat format;
  uint32_t sample_count = 0;  // per channel, as the tag claims: never trusted for memory
  uint16_t mp3_seek_samples = 0;
  std::span<const uint8_t> data;
};

struct EnvelopePoint {
  uint32_t position = 0;  // in 44.1 kHz samples from the start of the sound
  uint16_t left = 32768;  // 0 to 32768
  uint16_t right = 32768;
};

// SoundInfo of StartSound and StartSound2 (and of buttons).
struct SoundInfo {
  bool stop = false;                            // SyncStop: stop the sound instead of starting it
  bool no_multiple = false;                     // SyncNoMultiple: do not start it while it plays
  std::optional<uint32_t> in_point, out_point;  // in 44.1 kHz samples
  uint16_t loops = 1;
  std::vector<EnvelopePoint> envelope;
};

struct StartSoundCommand {
  uint16_t sound_id = 0;   // StartSound
  std::string class_name;  // StartSound2 names the sound by its export name instead
  SoundInfo info;
};

// SoundStreamHead and SoundStreamHead2.
struct StreamHead {
  SoundFormat format;
  uint16_t samples_per_block = 0;  // per frame, per channel
  int16_t latency_seek = 0;        // MP3 only: samples to skip at the stream's start
};

// Throw SwfError (kBadTag) when the tag ends before its fixed fields.
SoundDefinition ReadDefineSound(const SwfTag& tag, uint16_t& id);
StartSoundCommand ReadStartSound(const SwfTag& tag);
StreamHead ReadSoundStreamHead(const SwfTag& tag);
SoundInfo ReadSoundInfo(ByteReader& reader);

// The bytes of one SoundStreamBlock that the decoder takes: for MP3 the frames after the
// sample-count and seek fields, otherwise the whole body.
std::span<const uint8_t> StreamBlockData(const StreamHead& head, std::span<const uint8_t> body);

// Every sound the movie defines, by character id.
struct SoundLibrary {
  std::map<uint16_t, SoundDefinition> sounds;
};

}  // namespace flashsaver
