// The shell's view of a file name, for the screen saver's name.
#pragma once

#include <optional>
#include <string>

namespace flashsaver {

// The long display name of a file (the shell's SHGFI_DISPLAYNAME), or nothing when the shell
// does not answer. The native build has no shell and never answers.
std::optional<std::string> ShellDisplayName(const std::string& path);

}  // namespace flashsaver
