// The system's screen-saver password machinery.
#pragma once

namespace flashsaver {

// Hands over to the system's dialog that changes the screen-saver password of ParamWindow.
void ChangeSaverPassword();

}  // namespace flashsaver
