// The system calls behind the password and running-state operations, so that their order and
// pairing can be checked natively.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace flashsaver {

class SaverSystem {
 public:
  virtual ~SaverSystem() = default;

  // HKEY_CURRENT_USER "Control Panel\desktop" "ScreenSaveUsePassword", the key opened with full
  // access. Nothing when the key does not open so, the value is missing or is not a DWORD.
  virtual std::optional<uint32_t> ReadScreenSaveUsePassword() = 0;
  // As the system reports it; empty when it does not.
  virtual std::string SystemDirectory() = 0;
  // Loads the library at path, calls its "VerifyScreenSavePwd"(window) once and unloads it.
  // Nothing when the library does not load or lacks the export; else true for a nonzero answer.
  virtual std::optional<bool> VerifyScreenSavePwd(const std::string& library_path,
                                                  uintptr_t window) = 0;
  // Loads the library at path, calls its "PwdChangePasswordA"(provider, window, 0, 0) once and
  // unloads it. Nothing when the library does not load or lacks the export.
  virtual std::optional<int32_t> PwdChangePasswordA(const std::string& library_path,
                                                    const std::string& provider,
                                                    uintptr_t window) = 0;
  // ShowCursor(TRUE) or ShowCursor(FALSE): one step of the system's display count.
  virtual void ShowCursor(bool show) = 0;
  // SPI_SETSCREENSAVERRUNNING without a profile change or broadcast; the result is not used.
  virtual void SetScreenSaverRunning(bool running) = 0;
};

// The real system (Windows build only).
SaverSystem& SystemSaverSystem();

// The path of a library in the system directory: the directory, a "\" unless it is empty or
// already ends in one, and the file name.
std::string SystemLibraryPath(const std::string& system_directory, const std::string& file_name);

}  // namespace flashsaver
