// Base of every window class of the program: registers the Win32 class under its own name
// (other programs and the tests find windows by it) and routes messages to a virtual handler.
#pragma once

#include <windows.h>

#include <stdexcept>

namespace flashsaver {

// A window that the system would not create, with the system's reason when it gave one. For a
// main window it escapes start-up, whose error report ends the run.
class WindowCreationError : public std::runtime_error {
 public:
  WindowCreationError(const char* class_name, DWORD system_error);
};

struct WindowParams {
  const char* class_name = nullptr;
  const char* caption = "";
  DWORD style = WS_OVERLAPPEDWINDOW;
  DWORD ex_style = 0;
  int x = CW_USEDEFAULT;
  int y = CW_USEDEFAULT;
  int width = CW_USEDEFAULT;
  int height = CW_USEDEFAULT;
  HWND parent = nullptr;
  HBRUSH background = nullptr;  // null: the button-face colour
  HCURSOR cursor = nullptr;     // null: the arrow
};

class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window();

  HWND hwnd() const { return hwnd_; }
  // The system's error code when CreateWindowFromParams failed; 0 otherwise.
  DWORD creation_error() const { return creation_error_; }

  // The main window's destruction ends the message loop.
  void MakeMain() { main_ = true; }
  bool IsMain() const { return main_; }

  // Called once when the message loop starts; shows the window.
  virtual void ShowAsMain() { ::ShowWindow(hwnd_, SW_SHOW); }
  // Dialog-style windows want Tab, arrow and Enter keys handled for their controls.
  virtual bool WantsDialogNavigation() const { return false; }

 protected:
  // False when the class cannot be registered or the window cannot be created.
  bool CreateWindowFromParams(const WindowParams& params);
  virtual LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT DefaultHandling(UINT message, WPARAM wparam, LPARAM lparam) {
    return ::DefWindowProcA(hwnd_, message, wparam, lparam);
  }

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  HWND hwnd_ = nullptr;
  bool main_ = false;
  DWORD creation_error_ = 0;
};

}  // namespace flashsaver
