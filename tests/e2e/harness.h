// Helpers for end-to-end tests: start the real engine, find its windows, wait while pumping
// this thread's messages (windows of the test may be parents of the engine's windows).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

// The engine as a Windows path.
std::string EnginePath();
// A Unix path as Wine's Z: drive sees it.
std::string WindowsPath(const std::string& unix_path);

// Processes messages of this thread for the given time.
void Pump(DWORD milliseconds);

class EngineProcess {
 public:
  EngineProcess() = default;
  EngineProcess(const EngineProcess&) = delete;
  EngineProcess& operator=(const EngineProcess&) = delete;
  ~EngineProcess();

  // Starts program with the arguments (program empty: the engine).
  bool Start(const std::string& arguments, const std::string& program = std::string());
  // Exit code, or nothing when it still runs after the time.
  std::optional<DWORD> WaitExit(DWORD milliseconds);
  void Kill();
  DWORD pid() const { return pid_; }
  HANDLE handle() const { return process_; }

 private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
};

// Top-level windows of the process with the class name (any class when null).
std::vector<HWND> TopWindowsOf(DWORD pid, const char* class_name);
// Waits for a top-level window of the process with the class name.
HWND WaitForTopWindow(DWORD pid, const char* class_name, DWORD milliseconds = 15000);
// Waits for a child window of parent with the class name.
HWND WaitForChildWindow(HWND parent, const char* class_name, DWORD milliseconds = 15000);

std::string ClassNameOf(HWND hwnd);
std::string TextOf(HWND hwnd);

// The engine's private temporary folder: the system's temporary path + "Marvex\".
std::string EngineTempFolder();
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
bool WriteFile(const std::string& path, const std::string& content);
std::string ReadWholeFile(const std::string& path);

// A top-level window of the test's own, for parents and foreground checks.
HWND CreateTestWindow(const char* caption, int width, int height, bool visible = true);

}  // namespace e2e
