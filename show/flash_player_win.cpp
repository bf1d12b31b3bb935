// The players behind FlashControl: the system's ActiveX control in an OLE container, and the
// built-in player in a child window of its own. Both are placed the same way and then follow
// the show window's size.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <utility>

#include "platform/ole_control_host.h"
#include "platform/window.h"
#include "show/built_in_player.h"
#include "show/flash_player.h"

namespace flashsaver {
namespace {

// Dispatch ids of the Shockwave Flash control's properties.
constexpr DISPID kDispMovie = 102;
constexpr DISPID kDispQuality = 105;
constexpr DISPID kDispFrameNum = 107;
constexpr DISPID kDispScaleMode = 120;
constexpr DISPID kDispAlignMode = 121;
constexpr DISPID kDispBackgroundColor = 123;
constexpr DISPID kDispTotalFrames = 124;
// Its methods, used when the control does not give their ids by name.
constexpr DISPID kDispPlay = 0x70;
constexpr DISPID kDispRewind = 0x74;

constexpr CLSID kFlashClsid = {
    0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

RECT ClientRect(HWND window) {
  RECT rect{};
  ::GetClientRect(window, &rect);
  return rect;
}

// Keeps a player filling its show window: watches the show window's WM_SIZE.
class FillShowWindow {
 public:
  template <typename Resize>
  FillShowWindow(HWND show_window, Resize resize)
      : show_window_(show_window), resize_(std::move(resize)) {
    if (!::SetWindowSubclass(show_window_, &Procedure, reinterpret_cast<UINT_PTR>(this),
                             reinterpret_cast<DWORD_PTR>(this))) {
      throw FlashPlayerError("the show window cannot be watched");
    }
  }
  FillShowWindow(const FillShowWindow&) = delete;
  FillShowWindow& operator=(const FillShowWindow&) = delete;
  ~FillShowWindow() {
    ::RemoveWindowSubclass(show_window_, &Procedure, reinterpret_cast<UINT_PTR>(this));
  }

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                    DWORD_PTR data) {
    if (message == WM_SIZE) {
      auto* self = reinterpret_cast<FillShowWindow*>(data);
      self->resize_(ClientRect(hwnd));
    }
    return ::DefSubclassProc(hwnd, message, wparam, lparam);
  }

  HWND show_window_;
  std::function<void(const RECT&)> resize_;
};

// Visible, then a sent (not posted) left-button press, as the hosted control expects.
void ShowAndClick(HWND control_window) {
  ::ShowWindow(control_window, SW_SHOW);
  ::SendMessageA(control_window, WM_LBUTTONDOWN, 0, 0);
}

// ---------------------------------------------------------------------------------------------
// The system's ActiveX control.

class ActiveXFlashPlayer final : public FlashControl {
 public:
  explicit ActiveXFlashPlayer(HWND show_window)
      : host_(kFlashClsid, show_window, ClientRect(show_window)),
        fill_(show_window, [this](const RECT& rect) { host_.SetRect(rect); }) {
    ShowAndClick(host_.control_window());
  }

  std::string Movie() override { return AnsiFromWide(host_.GetString(kDispMovie)); }
  void SetMovie(const std::string& movie) override {
    host_.PutString(kDispMovie, WideFromAnsi(movie));
  }
  int32_t FrameNum() override { return host_.GetInt(kDispFrameNum); }
  int32_t TotalFrames() override { return host_.GetInt(kDispTotalFrames); }
  void Rewind() override { host_.Call(L"Rewind", kDispRewind); }
  void Play() override { host_.Call(L"Play", kDispPlay); }
  void SetBackgroundColor(int32_t rgb) override { host_.PutInt(kDispBackgroundColor, rgb); }
  void SetQuality(int32_t quality) override { host_.PutInt(kDispQuality, quality); }
  void SetAlignMode(int32_t mode) override { host_.PutInt(kDispAlignMode, mode); }
  void SetScaleMode(int32_t mode) override { host_.PutInt(kDispScaleMode, mode); }

 private:
  OleControlHost host_;
  FillShowWindow fill_;
};

// ---------------------------------------------------------------------------------------------
// The built-in player.

class GdiRenderer final : public StageRenderer {
 public:
  explicit GdiRenderer(HDC dc) : dc_(dc) {}
  void FillRect(const PixelRect& rect, Rgb colour) override {
    const RECT r{rect.left, rect.top, rect.right, rect.bottom};
    // The DC brush needs no object of its own per colour.
    ::SetDCBrushColor(dc_, RGB(colour.Red(), colour.Green(), colour.Blue()));
    ::FillRect(dc_, &r, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
  }

 private:
  HDC dc_;
};

// BeginPaint paired with EndPaint.
class PaintScope {
 public:
  explicit PaintScope(HWND hwnd) : hwnd_(hwnd), dc_(::BeginPaint(hwnd, &paint_)) {}
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  ~PaintScope() { ::EndPaint(hwnd_, &paint_); }
  HDC dc() const { return dc_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// An off-screen picture the size of the window, so that a repaint never shows half a frame.
class BackBuffer {
 public:
  BackBuffer(HDC target, int width, int height)
      : dc_(::CreateCompatibleDC(target)),
        bitmap_(::CreateCompatibleBitmap(target, width, height)),
        previous_(dc_ && bitmap_ ? ::SelectObject(dc_, bitmap_) : nullptr) {}
  BackBuffer(const BackBuffer&) = delete;
  BackBuffer& operator=(const BackBuffer&) = delete;
  ~BackBuffer() {
    if (previous_) ::SelectObject(dc_, previous_);
    if (bitmap_) ::DeleteObject(bitmap_);
    if (dc_) ::DeleteDC(dc_);
  }
  bool ok() const { return previous_ != nullptr; }
  HDC dc() const { return dc_; }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ previous_;
};

class BuiltInPlayerWindow final : public Window {
 public:
  explicit BuiltInPlayerWindow(HWND show_window)
      : player_(
            SystemMovieSource(), [] { return static_cast<int64_t>(::GetTickCount64()); },
            [this] { Repaint(); }) {
    const RECT rect = ClientRect(show_window);
    WindowParams p;
    p.class_name = kBuiltInPlayerClass;
    p.style = WS_CHILD | WS_CLIPSIBLINGS;
    p.x = 0;
    p.y = 0;
    p.width = rect.right;
    p.height = rect.bottom;
    p.parent = show_window;
    p.background = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    if (!CreateWindowFromParams(p)) throw FlashPlayerError("the player window cannot be created");
  }

  BuiltInPlayer& player() { return player_; }

  void MovieChanged() {
    ::SetWindowTextA(hwnd(), player_.Movie().c_str());
    Schedule();
  }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
    switch (message) {
      case WM_TIMER:
        player_.Tick();
        Schedule();
        return 0;
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT:
        Paint();
        return 0;
      case WM_SIZE:
        Repaint();
        return 0;
      default:
        return DefaultHandling(message, wparam, lparam);
    }
  }

 private:
  static constexpr UINT_PTR kTimer = 1;

  void Repaint() {
    if (hwnd()) ::InvalidateRect(hwnd(), nullptr, FALSE);
  }

  void Schedule() {
    if (hwnd()) ::SetTimer(hwnd(), kTimer, static_cast<UINT>(player_.NextTickDelay()), nullptr);
  }

  void Paint() {
    PaintScope paint(hwnd());
    const RECT client = ClientRect(hwnd());
    BackBuffer buffer(paint.dc(), client.right, client.bottom);
    if (buffer.ok()) {
      GdiRenderer renderer(buffer.dc());
      player_.Paint(renderer, client.right, client.bottom);
      ::BitBlt(paint.dc(), 0, 0, client.right, client.bottom, buffer.dc(), 0, 0, SRCCOPY);
    } else {
      GdiRenderer renderer(paint.dc());
      player_.Paint(renderer, client.right, client.bottom);
    }
  }

  BuiltInPlayer player_;
};

class BuiltInFlashPlayer final : public FlashControl {
 public:
  explicit BuiltInFlashPlayer(HWND show_window)
      : window_(show_window), fill_(show_window, [this](const RECT& rect) {
          ::MoveWindow(window_.hwnd(), 0, 0, rect.right, rect.bottom, TRUE);
        }) {
    ShowAndClick(window_.hwnd());
  }

  std::string Movie() override { return window_.player().Movie(); }
  void SetMovie(const std::string& movie) override {
    window_.player().SetMovie(movie);
    window_.MovieChanged();
  }
  int32_t FrameNum() override { return window_.player().FrameNum(); }
  int32_t TotalFrames() override { return window_.player().TotalFrames(); }
  void Rewind() override { window_.player().Rewind(); }
  void Play() override { window_.player().Play(); }
  void SetBackgroundColor(int32_t rgb) override { window_.player().SetBackgroundColor(rgb); }
  void SetQuality(int32_t quality) override { window_.player().SetQuality(quality); }
  void SetAlignMode(int32_t mode) override { window_.player().SetAlignMode(mode); }
  void SetScaleMode(int32_t mode) override { window_.player().SetScaleMode(mode); }

 private:
  BuiltInPlayerWindow window_;
  FillShowWindow fill_;
};

}  // namespace

std::unique_ptr<FlashControl> CreateActiveXFlashPlayer(HWND show_window) {
  try {
    return std::make_unique<ActiveXFlashPlayer>(show_window);
  } catch (const OleError& e) {
    throw FlashPlayerError(e.what(), e.hr());
  }
}

std::unique_ptr<FlashControl> CreateBuiltInFlashPlayer(HWND show_window) {
  return std::make_unique<BuiltInFlashPlayer>(show_window);
}

std::unique_ptr<FlashControl> CreateFlashPlayer(HWND show_window) {
  ::CoInitialize(nullptr);
  try {
    return CreateActiveXFlashPlayer(show_window);
  } catch (const FlashPlayerError& e) {
    if (e.hresult() != REGDB_E_CLASSNOTREG) throw;
  }
  return CreateBuiltInFlashPlayer(show_window);
}

void ReportFlashPlayerFailure(HWND owner) {
  if (::MessageBoxA(owner, kFlashFailureText, "Error", MB_YESNO) == IDYES) {
    ::ShellExecuteA(nullptr, nullptr, kFlashDownloadPage, nullptr, nullptr, SW_SHOW);
  }
}

}  // namespace flashsaver
