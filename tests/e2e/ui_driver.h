// Drives another process's windows the way a user and a screen reader see them: finds
// controls by class and text, reads their state, clicks and types through the real input
// queue, and reads pixels off the screen.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// Every descendant of root (depth first, in z-order) with the class name (any when null).
std::vector<HWND> Descendants(HWND root, const char* class_name = nullptr);
// The first descendant with that class and exactly that text; null when there is none.
HWND FindControl(HWND root, const char* class_name, const std::string& text);

// The window's rectangle in the client coordinates of reference.
RECT RectIn(HWND hwnd, HWND reference);
// Client size of the window.
SIZE ClientSize(HWND hwnd);

// The text a control holds (an edit field's contents, a list's selected item), asked of the
// control itself: GetWindowText reads only the caption stored for another process's window.
std::string ControlText(HWND hwnd);

bool IsChecked(HWND button);
// Selected index of a drop-down list, -1 for none.
int ComboSelection(HWND combo);
int ComboCount(HWND combo);
// The item's text, read by selecting it for a moment (the selection is put back without
// notifying the list's owner).
std::string ComboItem(HWND combo, int index);
// Pumps this thread's messages until done() holds or the time is up; false on time-out.
bool WaitUntil(DWORD milliseconds, const std::function<bool()>& done);

// A left click at the point (client coordinates of hwnd; its centre by default), as mouse
// input, so that it reaches the window through its process's input queue.
void Click(HWND hwnd, std::optional<POINT> at = std::nullopt);
// A key press and release as keyboard input to the foreground window.
void PressKey(WORD virtual_key);
// Brings the window to the front so that keys reach it.
void BringToFront(HWND hwnd);

// Pixels of the screen as 0x00RRGGBB, in the client coordinates of hwnd.
class ScreenPixels {
 public:
  ScreenPixels(HWND hwnd, RECT client_area);
  uint32_t At(int x, int y) const;
  int width() const { return width_; }
  int height() const { return height_; }
  bool valid() const { return !pixels_.empty(); }

 private:
  RECT area_{};
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> pixels_;
};

// Captures the area until ready() holds for it (a window may still be painting) or the time is
// up; returns the last capture.
ScreenPixels CaptureWhen(HWND hwnd, RECT client_area,
                         const std::function<bool(const ScreenPixels&)>& ready,
                         DWORD milliseconds = 3000);

// Each channel within tolerance of the expected colour (0x00RRGGBB).
bool NearColour(uint32_t pixel, uint32_t expected, int tolerance = 48);

}  // namespace e2e
