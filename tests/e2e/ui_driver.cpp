#include "ui_driver.h"

#include <cstdlib>

#include "harness.h"

namespace e2e {
namespace {

struct Collect {
  const char* class_name;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM lparam) {
  auto* collect = reinterpret_cast<Collect*>(lparam);
  if (!collect->class_name || ClassNameOf(hwnd) == collect->class_name) {
    collect->found.push_back(hwnd);
  }
  return TRUE;
}

}  // namespace

std::vector<HWND> Descendants(HWND root, const char* class_name) {
  Collect collect{class_name, {}};
  ::EnumChildWindows(root, &CollectChild, reinterpret_cast<LPARAM>(&collect));
  return collect.found;
}

HWND FindControl(HWND root, const char* class_name, const std::string& text) {
  for (HWND hwnd : Descendants(root, class_name)) {
    if (TextOf(hwnd) == text) return hwnd;
  }
  return nullptr;
}

RECT RectIn(HWND hwnd, HWND reference) {
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  ::MapWindowPoints(nullptr, reference, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

SIZE ClientSize(HWND hwnd) {
  RECT r{};
  ::GetClientRect(hwnd, &r);
  return {r.right - r.left, r.bottom - r.top};
}

std::string ControlText(HWND hwnd) {
  char text[4096] = {};
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, 5000, &copied)) {
    return {};
  }
  return std::string(text, static_cast<size_t>(copied));
}

bool IsChecked(HWND button) { return ::SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

int ComboSelection(HWND combo) {
  return static_cast<int>(::SendMessageA(combo, CB_GETCURSEL, 0, 0));
}

int ComboCount(HWND combo) { return static_cast<int>(::SendMessageA(combo, CB_GETCOUNT, 0, 0)); }

std::string ComboItem(HWND combo, int index) {
  // Item texts do not cross process boundaries; the selected item's text does.
  const LRESULT selected = ::SendMessageA(combo, CB_GETCURSEL, 0, 0);
  ::SendMessageA(combo, CB_SETCURSEL, index, 0);
  const std::string text = ControlText(combo);
  ::SendMessageA(combo, CB_SETCURSEL, selected, 0);
  return text;
}

bool WaitUntil(DWORD milliseconds, const std::function<bool()>& done) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (done()) return true;
    if (::GetTickCount() - start >= milliseconds) return false;
    Pump(20);
  }
}

void Click(HWND hwnd, std::optional<POINT> at) {
  RECT client{};
  ::GetClientRect(hwnd, &client);
  POINT p = at ? *at : POINT{client.right / 2, client.bottom / 2};
  ::ClientToScreen(hwnd, &p);
  ::SetCursorPos(p.x, p.y);
  Pump(50);
  INPUT inputs[2] = {};
  const int screen_w = ::GetSystemMetrics(SM_CXSCREEN);
  const int screen_h = ::GetSystemMetrics(SM_CYSCREEN);
  for (INPUT& input : inputs) {
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((p.x * 65535LL + screen_w / 2) / (screen_w - 1));
    input.mi.dy = static_cast<LONG>((p.y * 65535LL + screen_h / 2) / (screen_h - 1));
  }
  inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  ::SendInput(2, inputs, sizeof(INPUT));
  Pump(300);
}

void PressKey(WORD virtual_key) {
  INPUT inputs[2] = {};
  inputs[0].type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = virtual_key;
  inputs[1] = inputs[0];
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(2, inputs, sizeof(INPUT));
  Pump(300);
}

void BringToFront(HWND hwnd) {
  ::SetForegroundWindow(hwnd);
  Pump(300);
}

ScreenPixels::ScreenPixels(HWND hwnd, RECT client_area) : area_(client_area) {
  width_ = client_area.right - client_area.left;
  height_ = client_area.bottom - client_area.top;
  if (width_ <= 0 || height_ <= 0) return;
  POINT origin{client_area.left, client_area.top};
  ::ClientToScreen(hwnd, &origin);
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits) {
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    if (::BitBlt(memory, 0, 0, width_, height_, screen, origin.x, origin.y, SRCCOPY)) {
      const auto* p = static_cast<const uint32_t*>(bits);
      pixels_.assign(p, p + static_cast<size_t>(width_) * height_);
      for (uint32_t& pixel : pixels_) pixel &= 0xFFFFFF;
    }
    ::SelectObject(memory, old);
  }
  if (bitmap) ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
}

uint32_t ScreenPixels::At(int x, int y) const {
  const int column = x - area_.left;
  const int row = y - area_.top;
  if (column < 0 || row < 0 || column >= width_ || row >= height_) return 0xFFFFFFFF;
  return pixels_[static_cast<size_t>(row) * width_ + column];
}

ScreenPixels CaptureWhen(HWND hwnd, RECT client_area,
                         const std::function<bool(const ScreenPixels&)>& ready,
                         DWORD milliseconds) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    ScreenPixels pixels(hwnd, client_area);
    if ((pixels.valid() && ready(pixels)) || ::GetTickCount() - start >= milliseconds) {
      return pixels;
    }
    Pump(100);
  }
}

bool NearColour(uint32_t pixel, uint32_t expected, int tolerance) {
  for (int shift : {0, 8, 16}) {
    const int a = static_cast<int>((pixel >> shift) & 0xFF);
    const int b = static_cast<int>((expected >> shift) & 0xFF);
    if (std::abs(a - b) > tolerance) return false;
  }
  return true;
}

}  // namespace e2e
