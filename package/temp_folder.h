// The private temporary folder that unpacked files go to, shared by every screen saver built
// with the engine.
#pragma once

#include <string>

#include "package/file_system.h"

namespace flashsaver {

// Module start-up: fixes TempFolder from the system's temporary path (with its trailing
// backslash) and creates TempFolder + "tmp" with its parents. Errors are ignored.
void TempFolderStartup(FileSystem& fs, const std::string& system_temp_path);

// Only an instance that went past the single-instance check may empty the folder: a second
// instance unpacked nothing, and the files there belong to the running one.
void ClaimTempFolder();
bool TempFolderClaimed();

// Module clean-up: deletes every file in TempFolder and TempFolder + "tmp\", read-only ones
// included. The folders and other sub-folders stay. Does nothing unless claimed.
void TempFolderCleanup(FileSystem& fs);

}  // namespace flashsaver
