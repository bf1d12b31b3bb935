// Black always-on-top windows over the monitors the show does not play on, which may repeat
// the show window's picture.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/window.h"
#include "show/monitor_layout.h"

namespace flashsaver {

class TMultiScreenForm : public Window {
 public:
  static std::unique_ptr<TMultiScreenForm> Create(HWND show_window, bool mirror);
  ~TMultiScreenForm() override;
  // Repeats the show window's picture now (the built-in player calls it with each frame).
  void MirrorNow();

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void Timer1Timer();
  void CopyShowWindow(HDC target);
  // A small sample of the show window's picture; true when it differs from the last one.
  bool SampleChanged(HDC source, const RECT& from);

  HWND show_window_ = nullptr;
  bool mirror_ = false;
  HDC sample_dc_ = nullptr;
  HBITMAP sample_bitmap_ = nullptr;
  HGDIOBJ sample_old_ = nullptr;
  uint32_t* sample_bits_ = nullptr;
  std::vector<uint32_t> last_sample_;
  DWORD last_copy_ = 0;
};

// The cover windows of the show on the screen; empty while there is none.
inline std::vector<std::unique_ptr<TMultiScreenForm>> CoverWindows;

// One cover on each of the rectangles, unless covers exist already. mirror: repeat the show
// window's picture (ImageSameMonitor).
void CreateCoverWindows(HWND show_window, const std::vector<ScreenRect>& rects, bool mirror);
void DestroyCoverWindows();

}  // namespace flashsaver
