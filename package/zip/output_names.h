// Which file-name parts of entries may become files in the destination folder.
#pragma once

#include <string>

namespace flashsaver {

// False for names that Windows would not create as a plain file in the folder, or would create
// under another name: empty, "." and "..", names that end up empty once Windows drops trailing
// dots and blanks, reserved device names (CON, NUL, COM1, LPT1, ... with any extension),
// control characters (NUL included) and the characters Windows forbids.
bool UsableOutputName(const std::string& name);

}  // namespace flashsaver
