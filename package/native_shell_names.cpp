#include "package/shell_names.h"

namespace flashsaver {

std::optional<std::string> ShellDisplayName(const std::string&) { return std::nullopt; }

}  // namespace flashsaver
