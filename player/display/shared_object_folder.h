// Where the player keeps SharedObject data for the user who runs it: under the application-data
// folder on Windows (platform/win_shared_objects.cpp), under $HOME elsewhere.
#pragma once

#include <string>

namespace flashsaver {

// Empty when the system names no such folder.
std::string UserSharedObjectFolder();

}  // namespace flashsaver
