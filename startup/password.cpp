#include "startup/password.h"

#include <exception>

#include "startup/saver_system.h"

namespace flashsaver {

std::string SystemLibraryPath(const std::string& system_directory, const std::string& file_name) {
  std::string path = system_directory;
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path + file_name;
}

bool VerifySaverPassword(SaverSystem& system, int32_t param_window, uintptr_t window,
                         bool cursorHidden) {
  if (param_window != 0) return false;
  bool cursor_shown = false;
  bool answer = true;
  try {
    const std::optional<uint32_t> use_password = system.ReadScreenSaveUsePassword();
    if (!use_password || *use_password == 0) return true;
    if (cursorHidden) {
      system.ShowCursor(true);
      cursor_shown = true;
    }
    const std::optional<bool> verified = system.VerifyScreenSavePwd(
        SystemLibraryPath(system.SystemDirectory(), "PASSWORD.CPL"), window);
    answer = verified.value_or(true);
  } catch (const std::exception&) {
    answer = true;
  }
  // The cursor goes back into hiding whatever happened in between, so the count stays paired.
  if (cursor_shown) {
    try {
      system.ShowCursor(false);
    } catch (const std::exception&) {
    }
  }
  return answer;
}

void SetSaverRunning(SaverSystem& system, int32_t param_window, bool leave, bool touchCursor) {
  if (leave || param_window != 0) {
    system.SetScreenSaverRunning(false);
    if (touchCursor) system.ShowCursor(true);
  } else {
    system.SetScreenSaverRunning(true);
    if (touchCursor) system.ShowCursor(false);
  }
}

int32_t ChangeSaverPassword(SaverSystem& system, int32_t param_window) {
  int32_t result = -1;
  try {
    const std::optional<int32_t> answer =
        system.PwdChangePasswordA(SystemLibraryPath(system.SystemDirectory(), "MPR.DLL"), "SCRSAVE",
                                  static_cast<uintptr_t>(param_window));
    if (answer) result = *answer;
  } catch (const std::exception&) {
  }
  return result;
}

}  // namespace flashsaver
