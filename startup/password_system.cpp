// The password operations over the real system and the process-wide ParamWindow.
#include "startup/password.h"
#include "startup/run_state.h"
#include "startup/saver_system.h"

namespace flashsaver {

bool VerifySaverPassword(uintptr_t window, bool cursorHidden) {
  return VerifySaverPassword(SystemSaverSystem(), ParamWindow, window, cursorHidden);
}

void SetSaverRunning(bool leave, bool touchCursor) {
  SetSaverRunning(SystemSaverSystem(), ParamWindow, leave, touchCursor);
}

int32_t ChangeSaverPassword() { return ChangeSaverPassword(SystemSaverSystem(), ParamWindow); }

}  // namespace flashsaver
