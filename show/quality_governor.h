// The control's Quality property as the player applies it: low draws without anti-aliasing and
// bitmap smoothing, high with them; the two auto modes start at their level and step down
// while frames miss their time, and back up while frames take well under it.
#pragma once

#include <cstdint>

namespace flashsaver {

class QualityGovernor {
 public:
  // 0 low, 1 high, 2 auto low, 3 auto high; other values play as high.
  explicit QualityGovernor(int32_t quality = 1);
  bool high() const { return high_; }
  // One rendered frame: how long it took against the movie's frame period.
  void FrameRendered(double render_ms, double period_ms);

  // Late frames in a row before an auto mode steps down; quick frames (under a third of the
  // period) in a row before it steps up. Up is slow so that the level does not flicker.
  static constexpr int kLateToStepDown = 3;
  static constexpr int kQuickToStepUp = 24;

 private:
  bool automatic_ = false;
  bool high_ = true;
  int late_ = 0;
  int quick_ = 0;
};

}  // namespace flashsaver
