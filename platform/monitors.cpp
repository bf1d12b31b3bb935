#include "platform/monitors.h"

#include <windows.h>

namespace flashsaver {
namespace {

BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT rect, LPARAM list) {
  reinterpret_cast<std::vector<ScreenRect>*>(list)->push_back(
      ScreenRect{rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top});
  return TRUE;
}

}  // namespace

std::vector<ScreenRect> MonitorList() {
  std::vector<ScreenRect> list;
  ::EnumDisplayMonitors(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(&list));
  return list;
}

int32_t PrimaryScreenHeight() { return ::GetSystemMetrics(SM_CYSCREEN); }

}  // namespace flashsaver
