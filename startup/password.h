// The system's screen-saver password and running state. The password never passes through
// the program: the system's libraries, loaded from the system directory for one call each,
// ask for it. Where they are missing, every operation behaves as if no password were in use.
#pragma once

#include <cstdint>

namespace flashsaver {

class SaverSystem;

// Asks the system whether the show may close: true to close, false to keep showing. window is
// the show window (an HWND as integer), the owner of the system's password dialog. cursorHidden
// says that the show keeps the cursor hidden: it is shown for the dialog and hidden again after.
// Answers false at once in a run that was given a window on its command line (ParamWindow).
// The registry value is read afresh at every call, so a false answer changes nothing here.
bool VerifySaverPassword(uintptr_t window, bool cursorHidden);

// leave false: tells the system that a screen saver runs and, with touchCursor, hides the cursor
// once. leave true (and every call in a run with a nonzero ParamWindow): tells the system that
// none runs and, with touchCursor, shows the cursor once. Calls are counted by the system, so
// callers pair them.
void SetSaverRunning(bool leave, bool touchCursor);

// Runs the system's dialog that changes the screen-saver password for ParamWindow. The value
// the system returns, or -1 when the system has no such dialog.
int32_t ChangeSaverPassword();

// The same operations over a given system and ParamWindow (the ones above use the real system
// and the process-wide ParamWindow).
bool VerifySaverPassword(SaverSystem& system, int32_t param_window, uintptr_t window,
                         bool cursorHidden);
void SetSaverRunning(SaverSystem& system, int32_t param_window, bool leave, bool touchCursor);
int32_t ChangeSaverPassword(SaverSystem& system, int32_t param_window);

}  // namespace flashsaver
