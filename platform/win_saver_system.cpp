// The system calls of the password and running-state operations.
#include <windows.h>

#include "platform/process_info.h"
#include "platform/unique_handle.h"
#include "startup/saver_system.h"

namespace flashsaver {
namespace {

using VerifyScreenSavePwdProc = BOOL(WINAPI*)(HWND);
using PwdChangePasswordAProc = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, DWORD);

class WinSaverSystem : public SaverSystem {
 public:
  std::optional<uint32_t> ReadScreenSaveUsePassword() override {
    HKEY raw = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\desktop", 0, KEY_ALL_ACCESS, &raw) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    UniqueRegKey key(raw);
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegQueryValueExA(key.get(), "ScreenSaveUsePassword", nullptr, &type,
                           reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value)) {
      return std::nullopt;
    }
    return value;
  }

  std::string SystemDirectory() override { return flashsaver::SystemDirectory(); }

  std::optional<bool> VerifyScreenSavePwd(const std::string& library_path,
                                          uintptr_t window) override {
    UniqueLibrary library(::LoadLibraryA(library_path.c_str()));
    if (!library) return std::nullopt;
    auto verify = reinterpret_cast<VerifyScreenSavePwdProc>(
        reinterpret_cast<void*>(::GetProcAddress(library.get(), "VerifyScreenSavePwd")));
    if (!verify) return std::nullopt;
    return verify(reinterpret_cast<HWND>(window)) != FALSE;
  }

  std::optional<int32_t> PwdChangePasswordA(const std::string& library_path,
                                            const std::string& provider,
                                            uintptr_t window) override {
    UniqueLibrary library(::LoadLibraryA(library_path.c_str()));
    if (!library) return std::nullopt;
    auto change = reinterpret_cast<PwdChangePasswordAProc>(
        reinterpret_cast<void*>(::GetProcAddress(library.get(), "PwdChangePasswordA")));
    if (!change) return std::nullopt;
    return static_cast<int32_t>(change(provider.c_str(), reinterpret_cast<HWND>(window), 0, 0));
  }

  void ShowCursor(bool show) override { ::ShowCursor(show ? TRUE : FALSE); }

  void SetScreenSaverRunning(bool running) override {
    UINT previous = 0;
    ::SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, running ? 1 : 0, &previous, 0);
  }
};

}  // namespace

SaverSystem& SystemSaverSystem() {
  static WinSaverSystem system;
  return system;
}

}  // namespace flashsaver
