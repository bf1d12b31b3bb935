#include <windows.h>

#include "platform/machine_facts.h"

namespace flashsaver {
namespace {

// GetVersionEx answers 6.2 to programs without a manifest naming later systems; ntdll's
// RtlGetVersion tells the truth.
bool TrueWindowsVersion(uint32_t& major, uint32_t& minor) {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (!ntdll) return false;
  auto get = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
  if (!get) return false;
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (get(&info) != 0) return false;
  major = info.dwMajorVersion;
  minor = info.dwMinorVersion;
  return true;
}

}  // namespace

avm1::MachineFacts ReadMachineFacts() {
  avm1::MachineFacts facts;
  const int width = ::GetSystemMetrics(SM_CXSCREEN);
  const int height = ::GetSystemMetrics(SM_CYSCREEN);
  if (width > 0 && height > 0) {
    facts.screen_width = width;
    facts.screen_height = height;
  }
  if (HDC screen = ::GetDC(nullptr)) {
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    if (dpi > 0) facts.screen_dpi = dpi;
    ::ReleaseDC(nullptr, screen);
  }
  facts.language = avm1::LanguageCodeOf(::GetUserDefaultUILanguage());
  uint32_t major = 0, minor = 0;
  if (TrueWindowsVersion(major, minor)) facts.os = avm1::WindowsOsName(major, minor);
  return facts;
}

}  // namespace flashsaver
