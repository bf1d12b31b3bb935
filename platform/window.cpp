#include "platform/window.h"

#include <exception>
#include <string>

#include "platform/error_report.h"

namespace flashsaver {
namespace {

std::string CreationErrorText(const char* class_name, DWORD system_error) {
  std::string text = std::string("Cannot create the window ") + class_name;
  char* reason = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, system_error, 0, reinterpret_cast<char*>(&reason), 0, nullptr);
  if (system_error != 0 && length > 0 && reason) {
    std::string said(reason, length);
    while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == ' ')) {
      said.pop_back();
    }
    text += ": " + said;
  }
  if (reason) ::LocalFree(reason);
  return text;
}

}  // namespace

WindowCreationError::WindowCreationError(const char* class_name, DWORD system_error)
    : std::runtime_error(CreationErrorText(class_name, system_error)) {}

Window::~Window() {
  if (hwnd_) {
    ::SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    HWND h = hwnd_;
    hwnd_ = nullptr;
    ::DestroyWindow(h);
  }
}

bool Window::CreateWindowFromParams(const WindowParams& p) {
  HINSTANCE instance = ::GetModuleHandleA(nullptr);
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof(existing);
  if (!::GetClassInfoExA(instance, p.class_name, &existing)) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &Window::Procedure;
    wc.hInstance = instance;
    wc.hCursor = p.cursor ? p.cursor : ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    wc.hbrBackground = p.background ? p.background : reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = p.class_name;
    if (!::RegisterClassExA(&wc)) {
      creation_error_ = ::GetLastError();
      return false;
    }
  }
  HWND created = ::CreateWindowExA(p.ex_style, p.class_name, p.caption, p.style, p.x, p.y, p.width,
                                   p.height, p.parent, nullptr, instance, this);
  creation_error_ = created ? 0 : ::GetLastError();
  return created != nullptr;
}

LRESULT Window::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  return DefaultHandling(message, wparam, lparam);
}

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Window* self = nullptr;
  if (message == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lparam);
    self = static_cast<Window*>(cs->lpCreateParams);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Window*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  }
  if (!self) return ::DefWindowProcA(hwnd, message, wparam, lparam);

  LRESULT result = 0;
  // Exceptions must not unwind through the system's frames: report here and go on.
  try {
    result = self->HandleMessage(message, wparam, lparam);
  } catch (const std::exception& e) {
    ReportHandlerError(e);
  }
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    if (self->main_) ::PostQuitMessage(0);
  }
  return result;
}

}  // namespace flashsaver
