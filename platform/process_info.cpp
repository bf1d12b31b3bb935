#include "platform/process_info.h"

#include <windows.h>

namespace flashsaver {

std::string ModuleFileName() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return std::string();
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::string ProcessCommandLine() {
  const char* line = ::GetCommandLineA();
  return line ? std::string(line) : std::string();
}

std::string SystemTempPath() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD n = ::GetTempPathA(sizeof(buffer), buffer);
  if (n == 0 || n > MAX_PATH) return std::string();
  return std::string(buffer, n);
}

std::string SystemDirectory() {
  char buffer[MAX_PATH + 1] = {};
  const UINT n = ::GetSystemDirectoryA(buffer, sizeof(buffer));
  if (n == 0 || n > MAX_PATH) return std::string();
  return std::string(buffer, n);
}

}  // namespace flashsaver
