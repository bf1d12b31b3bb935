// The players behind FlashControl: the system's ActiveX control in an OLE container, and the
// built-in player in a child window of its own. Both are placed the same way and then follow
// the show window's size.
#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "platform/machine_facts.h"
#include "platform/ole_control_host.h"
#include "player/render/layer_cache.h"
#include "platform/window.h"
#include "settings/saver_settings.h"
#include "show/audio_output.h"
#include "show/built_in_player.h"
#include "show/flash_player.h"
#include "show/multi_screen_form.h"
#include "show/stage_movie.h"

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

// BeginPaint paired with EndPaint.
class PaintScope {
 public:
  explicit PaintScope(HWND hwnd) : hwnd_(hwnd), dc_(::BeginPaint(hwnd, &paint_)) {}
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  ~PaintScope() { ::EndPaint(hwnd_, &paint_); }
  HDC dc() const { return dc_; }
  const RECT& rect() const { return paint_.rcPaint; }

 private:
  HWND hwnd_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// A picture is a top-down 32-bit DIB as it is.
BITMAPINFO DibInfo(const Picture& picture) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

constexpr UINT kFrameDrawn = WM_APP + 1;

// Pictures are drawn on a thread of their own, so that a slow frame never holds up the message
// loop and the exit conditions. The window thread hands over one frame at a time and runs the
// movie only while no frame is being drawn; the drawing thread works in its own picture and
// copies the changed part into the shown picture, which the window blits.
struct RenderShared {
  std::mutex lock;
  std::condition_variable wake;
  std::optional<StageFrame> job;
  bool busy = false;  // a job is queued or being drawn
  bool stop = false;
  bool exited = false;  // the thread has let go of everything
  std::condition_variable ended;
  std::atomic<bool> cancel{false};  // the picture being drawn is not wanted any more
  HWND notify = nullptr;
  Picture shown;
  PixelBox drawn;  // the part of shown the last frame changed
  double drawn_ms = 0;
  uint64_t frames = 0;
};

void DrawFrames(RenderShared* shared) {
  Picture back;
  LayerCache layers;  // filtered and cached objects' pictures, kept from frame to frame
  for (;;) {
    StageFrame frame;
    int32_t width = 0, height = 0;
    {
      std::unique_lock<std::mutex> hold(shared->lock);
      shared->wake.wait(hold, [&] { return shared->stop || shared->job; });
      if (shared->stop) return;
      frame = std::move(*shared->job);
      shared->job.reset();
      width = shared->shown.width;
      height = shared->shown.height;
    }
    if (back.width != width || back.height != height) back = Picture(width, height);
    const ULONGLONG start = ::GetTickCount64();
    frame.options.layer_cache = &layers;
    frame.Draw(back, &shared->cancel);
    layers.EndFrame(!shared->cancel.load());
    const double ms = static_cast<double>(::GetTickCount64() - start);
    const PixelBox box = frame.options.clip;
    frame = StageFrame{};  // a movie left by the show is let go here, off the window's thread
    std::lock_guard<std::mutex> hold(shared->lock);
    shared->busy = false;
    if (shared->stop) return;
    if (shared->shown.width == width && shared->shown.height == height) {
      for (int32_t y = box.top; y < box.bottom; ++y) {
        std::copy(back.Row(y) + box.left, back.Row(y) + box.right, shared->shown.Row(y) + box.left);
      }
      shared->drawn = box;
      shared->drawn_ms = ms;
      ++shared->frames;
    }
    if (shared->notify) ::PostMessageA(shared->notify, kFrameDrawn, 0, 0);
  }
}

void RenderLoop(std::shared_ptr<RenderShared> shared) {
  DrawFrames(shared.get());
  std::lock_guard<std::mutex> hold(shared->lock);
  shared->exited = true;
  shared->ended.notify_all();
}

// Opens a movie on a thread of its own: a big movie's tags and bitmaps never hold up the
// window's thread. The job owns all it touches.
void OpenInBackground(std::function<void()> job) { std::thread(std::move(job)).detach(); }

// How long the end of the show waits for a picture being drawn to give up.
constexpr auto kRenderStopWait = std::chrono::milliseconds(100);

class BuiltInPlayerWindow;
// The show's one built-in player, for the covers that mirror its picture (window thread only).
BuiltInPlayerWindow* TheBuiltInPlayer = nullptr;

class BuiltInPlayerWindow final : public Window {
 public:
  explicit BuiltInPlayerWindow(HWND show_window)
      : player_(
            SystemMovieSource(), [] { return static_cast<int64_t>(::GetTickCount64()); },
            [this] { Schedule(0); }, &OpenPlayerMovie, &OpenInBackground),
        show_window_(show_window),
        shared_(std::make_shared<RenderShared>()) {
    // Before any movie opens: System.capabilities describes this machine.
    avm1::SetMachineFacts(ReadMachineFacts());
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
    shared_->notify = hwnd();
    shared_->shown = Picture(std::max<LONG>(rect.right, 0), std::max<LONG>(rect.bottom, 0));
    worker_ = std::thread(RenderLoop, shared_);
    TheBuiltInPlayer = this;
    // Keys, buttons and moves waiting behind a long script are what the exit filter must see.
    player_.SetInputWaiting([] { return HIWORD(::GetQueueStatus(QS_INPUT)) != 0; });
    // A muted show opens no device at all, so nothing can be heard whatever its volume; its
    // sounds still play, unheard, for the scripts that wait on them.
    player_.SetAudioOutput(SaverSettings.FlashMute ? MakeSilentAudioOutput()
                                                   : OpenSystemAudioOutput());
  }

  ~BuiltInPlayerWindow() override {
    if (TheBuiltInPlayer == this) TheBuiltInPlayer = nullptr;
    {
      std::lock_guard<std::mutex> hold(shared_->lock);
      shared_->stop = true;
      shared_->notify = nullptr;
      shared_->job.reset();
      shared_->cancel = true;
    }
    shared_->wake.notify_all();
    // A cancelled picture stops after the shape it is drawing, which is quick but unbounded for
    // a pathological shape: after a short wait the thread is left to end on its own. It owns
    // what it touches (shared, the movie), and the fonts it may ask for live until the process
    // ends, so an exit while it draws finds nothing freed under it.
    bool exited = false;
    {
      std::unique_lock<std::mutex> hold(shared_->lock);
      exited = shared_->ended.wait_for(hold, kRenderStopWait, [&] { return shared_->exited; });
    }
    if (exited) {
      worker_.join();
    } else {
      worker_.detach();
    }
  }

  BuiltInPlayer& player() { return player_; }
  HWND show_window() const { return show_window_; }

  void MovieChanged() {
    ::SetWindowTextA(hwnd(), player_.Movie().c_str());
    Schedule(0);
  }

  // Stretches the shown picture over target's rectangle to (the covers).
  void Mirror(HDC target, const RECT& to) {
    std::lock_guard<std::mutex> hold(shared_->lock);
    const Picture& shown = shared_->shown;
    if (shown.width <= 0 || shown.height <= 0) return;
    const BITMAPINFO info = DibInfo(shown);
    ::SetStretchBltMode(target, COLORONCOLOR);
    ::StretchDIBits(target, 0, 0, to.right - to.left, to.bottom - to.top, 0, 0, shown.width,
                    shown.height, shown.pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
  }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
    switch (message) {
      case WM_TIMER:
        Step();
        return 0;
      case kFrameDrawn:
        FrameDrawn();
        return 0;
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT:
        Paint();
        return 0;
      case WM_SIZE:
        Resize(LOWORD(lparam), HIWORD(lparam));
        return 0;
      // Input that the exit filter let through goes to the movie, with the next step.
      case WM_MOUSEMOVE:
        Queue({BuiltInPlayer::Input::Kind::kMove, GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
        return 0;
      case WM_LBUTTONDOWN:
        Queue({BuiltInPlayer::Input::Kind::kButtonDown});
        return 0;
      case WM_LBUTTONUP:
        Queue({BuiltInPlayer::Input::Kind::kButtonUp});
        return 0;
      case WM_KEYDOWN:
      case WM_KEYUP: {
        BuiltInPlayer::Input in{message == WM_KEYDOWN ? BuiltInPlayer::Input::Kind::kKeyDown
                                                      : BuiltInPlayer::Input::Kind::kKeyUp};
        in.key_code = static_cast<int>(wparam & 0xFF);
        in.ascii = CharacterOf(static_cast<UINT>(wparam), lparam);
        Queue(in);
        return 0;
      }
      case WM_SETCURSOR:
        // Mouse.hide: no pointer over the stage.
        if (LOWORD(lparam) == HTCLIENT && player_.cursor_hidden()) {
          ::SetCursor(nullptr);
          return TRUE;
        }
        return DefaultHandling(message, wparam, lparam);
      default:
        return DefaultHandling(message, wparam, lparam);
    }
  }

 private:
  static constexpr UINT_PTR kTimer = 1;

  void Queue(const BuiltInPlayer::Input& input) {
    const RECT rect = ClientRect(hwnd());
    player_.QueueInput(input, rect.right, rect.bottom);
  }

  // The character a key gives with the keyboard's state, as Key.getAscii reports it; 0 for none.
  static int CharacterOf(UINT virtual_key, LPARAM lparam) {
    BYTE state[256] = {};
    if (!::GetKeyboardState(state)) return 0;
    WCHAR text[4] = {};
    // Flag 4: the call leaves the keyboard's dead-key state alone.
    const int n =
        ::ToUnicode(virtual_key, (static_cast<UINT>(lparam) >> 16) & 0xFF, state, text, 4, 4);
    return n == 1 ? static_cast<int>(text[0]) : 0;
  }

  void Schedule(int32_t delay_ms) {
    if (hwnd()) ::SetTimer(hwnd(), kTimer, static_cast<UINT>(std::max(delay_ms, 1)), nullptr);
  }

  // The movie runs and a frame is handed over only while the drawing thread is idle; when it
  // is busy, its end (kFrameDrawn) steps again.
  void Step() {
    ::KillTimer(hwnd(), kTimer);
    int32_t width = 0, height = 0;
    {
      std::lock_guard<std::mutex> hold(shared_->lock);
      if (shared_->busy) return;
      width = shared_->shown.width;
      height = shared_->shown.height;
    }
    player_.Tick();
    if (const std::optional<PixelBox> box = player_.TakeDirtyBox(width, height)) {
      StageFrame frame = player_.PrepareFrame(width, height, *box);
      {
        std::lock_guard<std::mutex> hold(shared_->lock);
        shared_->job = std::move(frame);
        shared_->busy = true;
      }
      shared_->wake.notify_one();
      return;
    }
    Schedule(player_.NextTickDelay());
  }

  void FrameDrawn() {
    PixelBox box;
    double ms = 0;
    {
      std::lock_guard<std::mutex> hold(shared_->lock);
      box = shared_->drawn;
      ms = shared_->drawn_ms;
    }
    player_.FrameRendered(ms);
    const RECT rect{box.left, box.top, box.right, box.bottom};
    ::InvalidateRect(hwnd(), &rect, FALSE);
    ::UpdateWindow(hwnd());
    for (const auto& cover : CoverWindows) {
      if (cover) cover->MirrorNow();
    }
    Schedule(player_.NextTickDelay());
  }

  void Resize(int32_t width, int32_t height) {
    {
      std::lock_guard<std::mutex> hold(shared_->lock);
      // The drawing thread sees the new size with its next frame; a frame of the old size is
      // dropped when it ends.
      shared_->shown = Picture(width, height);
    }
    ::InvalidateRect(hwnd(), nullptr, FALSE);
    Schedule(0);
  }

  void Paint() {
    PaintScope paint(hwnd());
    if (!paint.dc()) return;
    std::lock_guard<std::mutex> hold(shared_->lock);
    const Picture& shown = shared_->shown;
    if (shown.width <= 0 || shown.height <= 0) return;
    // The rows of the paint rectangle, handed over as a top-down DIB of their own.
    const RECT& r = paint.rect();
    const int top = std::clamp<int>(r.top, 0, shown.height);
    const int bottom = std::clamp<int>(r.bottom, 0, shown.height);
    if (bottom <= top) return;
    BITMAPINFO info = DibInfo(shown);
    info.bmiHeader.biHeight = -(bottom - top);
    ::SetDIBitsToDevice(paint.dc(), 0, top, static_cast<DWORD>(shown.width),
                        static_cast<DWORD>(bottom - top), 0, 0, 0, static_cast<UINT>(bottom - top),
                        shown.Row(top), &info, DIB_RGB_COLORS);
  }

  BuiltInPlayer player_;
  HWND show_window_;
  std::shared_ptr<RenderShared> shared_;
  std::thread worker_;
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

bool MirrorBuiltInPlayer(HWND show_window, HDC target, const RECT& to) {
  if (!ShowsBuiltInPlayer(show_window)) return false;
  TheBuiltInPlayer->Mirror(target, to);
  return true;
}

bool ShowsBuiltInPlayer(HWND show_window) {
  return TheBuiltInPlayer && TheBuiltInPlayer->show_window() == show_window;
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
