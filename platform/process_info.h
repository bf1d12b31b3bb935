// What the process knows about itself and the system's folders.
#pragma once

#include <string>

namespace flashsaver {

// The running module's full path, as the system reports it.
std::string ModuleFileName();
// The raw command line of the process.
std::string ProcessCommandLine();
// The system's temporary path with its trailing backslash.
std::string SystemTempPath();
std::string SystemDirectory();

}  // namespace flashsaver
