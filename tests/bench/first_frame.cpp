// Launch to first frame: starts a program, then watches the middle of the screen until it shows
// the expected colour. Run with --peer, it is itself the peer: a plain full-screen window of that
// colour, so that the same measurement of it gives Wine's own start-up cost.
//   first_frame COLOR(RRGGBB hex) RUNS PROGRAM [ARGUMENTS]
//   first_frame --peer COLOR
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

COLORREF ParseColor(const char* text) {
  const unsigned long rgb = std::strtoul(text, nullptr, 16);
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

int RunPeer(COLORREF color) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = ::DefWindowProcA;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.hbrBackground = ::CreateSolidBrush(color);
  wc.lpszClassName = "FirstFramePeer";
  ::RegisterClassA(&wc);
  HWND w = ::CreateWindowExA(WS_EX_TOPMOST, "FirstFramePeer", "peer", WS_POPUP | WS_VISIBLE, 0, 0,
                             ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN),
                             nullptr, nullptr, wc.hInstance, nullptr);
  if (!w) return 1;
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
  return 0;
}

COLORREF MiddlePixel() {
  HDC screen = ::GetDC(nullptr);
  const COLORREF c =
      ::GetPixel(screen, ::GetSystemMetrics(SM_CXSCREEN) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2);
  ::ReleaseDC(nullptr, screen);
  return c;
}

// Milliseconds from CreateProcess to the colour, or a negative value when it never came.
double MeasureOnce(const std::string& command, COLORREF color) {
  LARGE_INTEGER frequency, start, now;
  ::QueryPerformanceFrequency(&frequency);
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  std::string mutable_command = command;
  ::QueryPerformanceCounter(&start);
  if (!::CreateProcessA(nullptr, mutable_command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &si, &pi)) {
    return -1;
  }
  double elapsed = -1;
  for (;;) {
    ::QueryPerformanceCounter(&now);
    const double ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
                      static_cast<double>(frequency.QuadPart);
    if (MiddlePixel() == color) {
      elapsed = ms;
      break;
    }
    if (ms > 60000 || ::WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) break;
    ::Sleep(2);
  }
  ::TerminateProcess(pi.hProcess, 0);
  ::WaitForSingleObject(pi.hProcess, 10000);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  // Let the screen go back to the desktop before the next run.
  for (int i = 0; i < 500 && MiddlePixel() == color; ++i) ::Sleep(10);
  return elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--peer") return RunPeer(ParseColor(argv[2]));
  if (argc < 4) {
    std::fprintf(stderr, "usage: first_frame COLOR RUNS PROGRAM [ARGUMENTS] | --peer COLOR\n");
    return 2;
  }
  const COLORREF color = ParseColor(argv[1]);
  const int runs = std::max(1, std::atoi(argv[2]));
  std::string command = std::string("\"") + argv[3] + "\"";
  for (int i = 4; i < argc; ++i) command += std::string(" ") + argv[i];
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const double ms = MeasureOnce(command, color);
    if (ms < 0) {
      std::fprintf(stderr, "run %d: the colour never appeared\n", i + 1);
      return 1;
    }
    times.push_back(ms);
  }
  std::sort(times.begin(), times.end());
  std::printf("median %.0f ms, min %.0f ms, max %.0f ms over %d runs\n", times[times.size() / 2],
              times.front(), times.back(), runs);
  return 0;
}
