#include "show/quality_governor.h"

namespace flashsaver {

QualityGovernor::QualityGovernor(int32_t quality)
    : automatic_(quality == 2 || quality == 3), high_(quality != 0 && quality != 2) {}

void QualityGovernor::FrameRendered(double render_ms, double period_ms) {
  if (!automatic_ || period_ms <= 0) return;
  late_ = render_ms > period_ms ? late_ + 1 : 0;
  quick_ = render_ms * 3 < period_ms ? quick_ + 1 : 0;
  if (high_ && late_ >= kLateToStepDown) {
    high_ = false;
    late_ = quick_ = 0;
  } else if (!high_ && quick_ >= kQuickToStepUp) {
    high_ = true;
    late_ = quick_ = 0;
  }
}

}  // namespace flashsaver
