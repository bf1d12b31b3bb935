// preview_host: a small window standing in for the display settings' monitor picture. Starts a
// screen saver with "/p" and the window's handle, as the display settings do, and ends when the
// window is closed or the screen saver ends.
//   preview_host SAVER.scr [WIDTH HEIGHT]     default 152 x 112
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

LRESULT CALLBACK HostProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcA(hwnd, message, wparam, lparam);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: preview_host SAVER.scr [WIDTH HEIGHT]\n");
    return 2;
  }
  const int width = argc >= 4 ? std::atoi(argv[2]) : 152;
  const int height = argc >= 4 ? std::atoi(argv[3]) : 112;
  WNDCLASSA wc{};
  wc.lpfnWndProc = &HostProcedure;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
  wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  wc.lpszClassName = "FlashSaverPreviewHost";
  ::RegisterClassA(&wc);
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  RECT outer{0, 0, width, height};
  ::AdjustWindowRect(&outer, style, FALSE);
  HWND host = ::CreateWindowExA(0, wc.lpszClassName, "Preview", style | WS_VISIBLE, 40, 40,
                                outer.right - outer.left, outer.bottom - outer.top, nullptr,
                                nullptr, wc.hInstance, nullptr);
  if (!host) return 1;
  // The monitor picture is a child of the settings window; the saver's preview goes into it.
  HWND screen = ::CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                                  width, height, host, nullptr, wc.hInstance, nullptr);
  std::string command = "\"";
  command += argv[1];
  command += "\" /p ";
  command += std::to_string(reinterpret_cast<uintptr_t>(screen));
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  std::string mutable_command = command;
  if (!::CreateProcessA(nullptr, mutable_command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &si, &pi)) {
    std::fprintf(stderr, "preview_host: cannot start %s\n", argv[1]);
    return 1;
  }
  ::CloseHandle(pi.hThread);
  MSG msg;
  for (;;) {
    const DWORD woke = ::MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, INFINITE, QS_ALLINPUT);
    if (woke == WAIT_OBJECT_0) break;
    bool quit = false;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) quit = true;
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
    if (quit) break;
  }
  if (::IsWindow(host)) ::DestroyWindow(host);
  // The preview ends by itself once its host is gone.
  ::WaitForSingleObject(pi.hProcess, 5000);
  ::CloseHandle(pi.hProcess);
  return 0;
}
