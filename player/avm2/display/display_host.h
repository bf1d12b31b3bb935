// What the AS3 display classes ask of the player that runs the movie: the root timeline's
// frame, play state and jumps. The player implements it; the Vm holds a pointer to it.
#pragma once

#include <cstdint>
#include <string>

#include "player/avm2/object.h"
#include "player/avm2/events/events.h"
#include "player/avm2/natives.h"

namespace flashsaver::avm2 {

class DisplayHost {
 public:
  virtual ~DisplayHost() = default;
  virtual int32_t CurrentFrame() = 0;  // 0-based
  virtual int32_t TotalFrames() = 0;
  virtual bool Playing() = 0;
  virtual void SetPlaying(bool playing) = 0;
  virtual void GotoFrame(int32_t frame) = 0;                   // 0-based, clamped by the player
  virtual int32_t FrameOfLabel(const std::string& label) = 0;  // -1 when unknown
  virtual double StageWidth() = 0;
  virtual double StageHeight() = 0;
  virtual double FrameRate() = 0;
};

std::span<const NativeClass* const> DisplayClasses();
void InstallDisplayFunctions(Vm& vm);

}  // namespace flashsaver::avm2
