#include "platform/session.h"

#include <windows.h>
#include <objbase.h>

namespace flashsaver {

bool AcquireSingleInstance(const char* name) {
  HANDLE mutex = ::CreateMutexA(nullptr, FALSE, name);
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    if (mutex) ::CloseHandle(mutex);
    return false;
  }
  return true;
}

void InitializeCom() { ::CoInitialize(nullptr); }

uintptr_t CurrentForegroundWindow() { return reinterpret_cast<uintptr_t>(::GetForegroundWindow()); }

void GiveForegroundTo(uintptr_t window) { ::SetForegroundWindow(reinterpret_cast<HWND>(window)); }

}  // namespace flashsaver
