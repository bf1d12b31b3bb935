#include "package/shell_names.h"

#include <windows.h>
#include <shellapi.h>

namespace flashsaver {

std::optional<std::string> ShellDisplayName(const std::string& path) {
  SHFILEINFOA info = {};
  if (::SHGetFileInfoA(path.c_str(), 0, &info, sizeof(info), SHGFI_DISPLAYNAME) == 0) {
    return std::nullopt;
  }
  return std::string(info.szDisplayName, ::strnlen(info.szDisplayName, MAX_PATH));
}

}  // namespace flashsaver
