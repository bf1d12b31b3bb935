#include "startup/password.h"

namespace flashsaver {

// The system dialog is not wired up yet: the mode ends without a window, as it must.
void ChangeSaverPassword() {}

}  // namespace flashsaver
