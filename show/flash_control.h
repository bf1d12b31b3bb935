// What the show uses of a Flash player, whether the system's ActiveX control or the built-in
// player: the properties and calls by the names the control gives them.
#pragma once

#include <cstdint>
#include <string>

namespace flashsaver {

class FlashControl {
 public:
  virtual ~FlashControl() = default;

  virtual std::string Movie() = 0;
  // A full file path or an address; the player loads and plays it with no further call.
  virtual void SetMovie(const std::string& movie) = 0;
  // Negative until a first frame is shown, rising while the movie plays.
  virtual int32_t FrameNum() = 0;
  virtual int32_t TotalFrames() = 0;
  virtual void Rewind() = 0;
  virtual void Play() = 0;
  // 0x00RRGGBB.
  virtual void SetBackgroundColor(int32_t rgb) = 0;
  // 0 low, 1 high, 2 auto low, 3 auto high.
  virtual void SetQuality(int32_t quality) = 0;
  virtual void SetAlignMode(int32_t mode) = 0;
  // 0 show all, 2 exact fit, 3 no scale.
  virtual void SetScaleMode(int32_t mode) = 0;
};

}  // namespace flashsaver
