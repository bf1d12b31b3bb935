// Where the built-in player's sound goes: a device that asks for 44.1 kHz 16-bit stereo frames
// from a thread of its own. The show hands it the playing movie's mixer; tests use a fake.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace flashsaver {

class AudioOutput {
 public:
  // Writes frames stereo frames (left, right); called from the output's thread.
  using Source = std::function<void(int16_t* out, size_t frames)>;

  virtual ~AudioOutput() = default;
  // Replaces what is played; the previous source is not called once this returns, and is
  // released on the caller's thread. Empty: silence.
  virtual void SetSource(Source source) = 0;
  // Frames handed to the device and not yet heard: how far the mixer runs ahead of the ear.
  virtual uint32_t QueuedFrames() const = 0;
};

// The system's wave-out device 0, the one the show mutes; a silent output when there is none.
// Defined on the platform side.
std::unique_ptr<AudioOutput> OpenSystemAudioOutput();

// Takes the sound at a device's pace and lets nothing be heard: a muted show's sounds still run
// their course, so that scripts waiting for onSoundComplete and stream-paced timelines go on.
std::unique_ptr<AudioOutput> MakeSilentAudioOutput();

}  // namespace flashsaver
