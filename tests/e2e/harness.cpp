#include "harness.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace e2e {

std::string WindowsPath(const std::string& unix_path) {
  std::string out = "Z:";
  for (char c : unix_path) out += (c == '/') ? '\\' : c;
  return out;
}

std::string EnginePath() {
  const char* engine = std::getenv("FLASHSAVER_ENGINE");
  if (!engine) return std::string();
  return engine[0] == '/' ? WindowsPath(engine) : std::string(engine);
}

void Pump(DWORD milliseconds) {
  const DWORD start = ::GetTickCount();
  do {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  } while (::GetTickCount() - start < milliseconds);
}

EngineProcess::~EngineProcess() { Kill(); }

bool EngineProcess::Start(const std::string& arguments, const std::string& program) {
  const std::string exe = program.empty() ? EnginePath() : program;
  std::string command = "\"" + exe + "\"";
  if (!arguments.empty()) command += " " + arguments;
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  std::string mutable_command = command;
  if (!::CreateProcessA(exe.c_str(), mutable_command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &si, &pi)) {
    return false;
  }
  ::CloseHandle(pi.hThread);
  process_ = pi.hProcess;
  pid_ = pi.dwProcessId;
  return true;
}

std::optional<DWORD> EngineProcess::WaitExit(DWORD milliseconds) {
  if (!process_) return std::nullopt;
  const DWORD start = ::GetTickCount();
  for (;;) {
    DWORD code = 0;
    if (::WaitForSingleObject(process_, 0) == WAIT_OBJECT_0 &&
        ::GetExitCodeProcess(process_, &code)) {
      return code;
    }
    if (::GetTickCount() - start >= milliseconds) return std::nullopt;
    Pump(20);
  }
}

void EngineProcess::Kill() {
  if (!process_) return;
  if (::WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) {
    ::TerminateProcess(process_, 99);
    ::WaitForSingleObject(process_, 5000);
  }
  ::CloseHandle(process_);
  process_ = nullptr;
}

namespace {

struct FindState {
  DWORD pid;
  const char* class_name;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lparam) {
  auto* state = reinterpret_cast<FindState*>(lparam);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid != state->pid) return TRUE;
  if (state->class_name && ClassNameOf(hwnd) != state->class_name) return TRUE;
  state->found.push_back(hwnd);
  return TRUE;
}

}  // namespace

std::vector<HWND> TopWindowsOf(DWORD pid, const char* class_name) {
  FindState state{pid, class_name, {}};
  ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&state));
  return state.found;
}

HWND WaitForTopWindow(DWORD pid, const char* class_name, DWORD milliseconds) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    std::vector<HWND> windows = TopWindowsOf(pid, class_name);
    if (!windows.empty()) return windows.front();
    if (::GetTickCount() - start >= milliseconds) return nullptr;
    Pump(50);
  }
}

HWND WaitForChildWindow(HWND parent, const char* class_name, DWORD milliseconds) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    HWND child = ::FindWindowExA(parent, nullptr, class_name, nullptr);
    if (child) return child;
    if (::GetTickCount() - start >= milliseconds) return nullptr;
    Pump(50);
  }
}

std::string ClassNameOf(HWND hwnd) {
  char name[256] = {};
  ::GetClassNameA(hwnd, name, sizeof(name));
  return name;
}

std::string TextOf(HWND hwnd) {
  char text[1024] = {};
  ::GetWindowTextA(hwnd, text, sizeof(text));
  return text;
}

std::string EngineTempFolder() {
  char buffer[MAX_PATH + 1] = {};
  ::GetTempPathA(sizeof(buffer), buffer);
  return std::string(buffer) + "Marvex\\";
}

bool FileExists(const std::string& path) {
  const DWORD a = ::GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
  const DWORD a = ::GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteFile(const std::string& path, const std::string& content) {
  HANDLE f = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok =
      ::WriteFile(f, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  ::CloseHandle(f);
  return ok && written == content.size();
}

HWND CreateTestWindow(const char* caption, int width, int height, bool visible) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "FlashSaverTestHost";
    ::RegisterClassA(&wc);
    registered = true;
  }
  HWND hwnd =
      ::CreateWindowExA(0, "FlashSaverTestHost", caption,
                        WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | (visible ? WS_VISIBLE : 0), 50, 50,
                        width, height, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
  Pump(50);
  return hwnd;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace e2e
