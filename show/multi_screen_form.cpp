#include "show/multi_screen_form.h"

#include <algorithm>

#include "show/flash_player.h"

namespace flashsaver {
namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kMirrorInterval = 25;
// The mirror samples the show window on a coarse grid every tick and copies the whole picture
// when the sample changed, and at least this often for changes between the grid's points.
constexpr int kSampleWidth = 64;
constexpr int kSampleHeight = 36;
constexpr DWORD kFullCopyInterval = 500;

}  // namespace

TMultiScreenForm::~TMultiScreenForm() {
  if (sample_dc_) {
    ::SelectObject(sample_dc_, sample_old_);
    ::DeleteDC(sample_dc_);
  }
  if (sample_bitmap_) ::DeleteObject(sample_bitmap_);
}

std::unique_ptr<TMultiScreenForm> TMultiScreenForm::Create(HWND show_window, bool mirror) {
  auto form = std::make_unique<TMultiScreenForm>();
  form->show_window_ = show_window;
  form->mirror_ = mirror;
  WindowParams p;
  p.class_name = "TMultiScreenForm";
  p.caption = "MultiScreenForm";
  p.style = WS_POPUP;
  // No taskbar button of its own: the covers belong to the show.
  p.ex_style = WS_EX_TOOLWINDOW;
  p.x = 0;
  p.y = 0;
  p.width = 320;
  p.height = 240;
  p.background = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  if (!form->CreateWindowFromParams(p)) return nullptr;
  ::SetTimer(form->hwnd(), kTimer1, kMirrorInterval, nullptr);
  return form;
}

LRESULT TMultiScreenForm::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == kTimer1) Timer1Timer();
      return 0;
    case WM_ERASEBKGND:
      // A mirror paints every pixel; erasing first would flicker black between copies.
      if (mirror_) return 1;
      break;
    case WM_PAINT:
      if (mirror_) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd(), &ps);
        if (dc) CopyShowWindow(dc);
        ::EndPaint(hwnd(), &ps);
        return 0;
      }
      break;
    case WM_DESTROY:
      ::KillTimer(hwnd(), kTimer1);
      break;
    default:
      break;
  }
  return DefaultHandling(message, wparam, lparam);
}

void TMultiScreenForm::MirrorNow() {
  if (!mirror_ || !hwnd()) return;
  HDC dc = ::GetDC(hwnd());
  if (!dc) return;
  CopyShowWindow(dc);
  ::ReleaseDC(hwnd(), dc);
}

void TMultiScreenForm::Timer1Timer() {
  if (!mirror_ || !show_window_ || !::IsWindow(show_window_)) return;
  // The built-in player hands each frame over itself; only the ActiveX control is sampled.
  if (ShowsBuiltInPlayer(show_window_)) return;
  RECT from{};
  if (!::GetClientRect(show_window_, &from)) return;
  HDC source = ::GetDC(show_window_);
  if (!source) return;
  const bool changed = SampleChanged(source, from);
  ::ReleaseDC(show_window_, source);
  if (!changed && ::GetTickCount() - last_copy_ < kFullCopyInterval) return;
  HDC dc = ::GetDC(hwnd());
  if (!dc) return;
  CopyShowWindow(dc);
  ::ReleaseDC(hwnd(), dc);
}

bool TMultiScreenForm::SampleChanged(HDC source, const RECT& from) {
  if (!sample_dc_) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kSampleWidth;
    info.bmiHeader.biHeight = -kSampleHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    sample_bitmap_ = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    sample_dc_ = ::CreateCompatibleDC(nullptr);
    if (!sample_bitmap_ || !sample_dc_ || !bits) return true;
    sample_bits_ = static_cast<uint32_t*>(bits);
    sample_old_ = ::SelectObject(sample_dc_, sample_bitmap_);
    ::SetStretchBltMode(sample_dc_, COLORONCOLOR);
  }
  if (!sample_bits_) return true;
  ::StretchBlt(sample_dc_, 0, 0, kSampleWidth, kSampleHeight, source, 0, 0, from.right - from.left,
               from.bottom - from.top, SRCCOPY);
  ::GdiFlush();
  const uint32_t* begin = sample_bits_;
  const uint32_t* end = sample_bits_ + kSampleWidth * kSampleHeight;
  if (last_sample_.size() == static_cast<size_t>(end - begin) &&
      std::equal(begin, end, last_sample_.begin())) {
    return false;
  }
  last_sample_.assign(begin, end);
  return true;
}

void TMultiScreenForm::CopyShowWindow(HDC target) {
  if (!show_window_ || !::IsWindow(show_window_)) return;
  RECT from{};
  RECT to{};
  if (!::GetClientRect(show_window_, &from) || !::GetClientRect(hwnd(), &to)) return;
  if (MirrorBuiltInPlayer(show_window_, target, to)) return;
  HDC source = ::GetDC(show_window_);
  if (!source) return;
  ::SetStretchBltMode(target, COLORONCOLOR);
  // Failures leave the cover as it was; there is nobody to tell.
  ::StretchBlt(target, 0, 0, to.right - to.left, to.bottom - to.top, source, 0, 0,
               from.right - from.left, from.bottom - from.top, SRCCOPY);
  ::ReleaseDC(show_window_, source);
  last_copy_ = ::GetTickCount();
}

void CreateCoverWindows(HWND show_window, const std::vector<ScreenRect>& rects, bool mirror) {
  if (rects.empty() || !CoverWindows.empty()) return;
  for (const ScreenRect& r : rects) {
    std::unique_ptr<TMultiScreenForm> cover = TMultiScreenForm::Create(show_window, mirror);
    if (!cover) continue;
    HWND h = cover->hwnd();
    ::SetWindowPos(h, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
    // Shown without taking the focus: keys belong to the show window.
    ::ShowWindow(h, SW_SHOWNOACTIVATE);
    ::SetWindowPos(h, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
    CoverWindows.push_back(std::move(cover));
  }
}

void DestroyCoverWindows() {
  // Destroyed in list order; the list is emptied even if one of them is gone already.
  for (auto& cover : CoverWindows) cover.reset();
  CoverWindows.clear();
}

}  // namespace flashsaver
