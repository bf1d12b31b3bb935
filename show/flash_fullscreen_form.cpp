// The full-screen show window: places itself, creates the player on its first tick, moves from
// movie to movie, and ends when the exit filter's attempt is allowed by the system's password.
#include <windows.h>
#include <mmsystem.h>

#include <cstdlib>
#include <exception>
#include <memory>

#include "package/file_system.h"
#include "package/media_lists.h"
#include "package/temp_folder.h"
#include "platform/message_loop.h"
#include "platform/monitors.h"
#include "settings/saver_settings.h"
#include "show/exit_filter.h"
#include "show/flash_player.h"
#include "show/flash_settings.h"
#include "show/multi_screen_form.h"
#include "show/playback.h"
#include "startup/command_line.h"
#include "startup/main_forms.h"
#include "startup/password.h"
#include "startup/run_state.h"

namespace flashsaver {
namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimer1Interval = 100;
constexpr UINT_PTR kMouseTimer = 2;
constexpr UINT kMouseTimerInterval = 3000;
// Where the window opens before it is placed; it lies on the primary monitor.
constexpr int kDesignLeft = 357;
constexpr int kDesignTop = 210;
constexpr int kDesignWidth = 602;
constexpr int kDesignHeight = 385;

class TFlashFullscreenForm : public Window, private PlaybackHost {
 public:
  static std::unique_ptr<TFlashFullscreenForm> Create();
  ~TFlashFullscreenForm() override;

  void ShowAsMain() override {
    FormShow();
    ::ShowWindow(hwnd(), SW_SHOW);
  }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  TFlashFullscreenForm();

  void FormShow();
  void Timer1Timer();
  void MouseTimerTimer() { exit_filter_.RefillAllowance(); }
  bool ApplicationEvents1Message(MSG& message);
  void RequestExit();
  FlashControl* CreateFlashControl();
  // Runs FormClose and destroys the window; deferred while a movie is being handed over.
  void Close();
  void FormClose();
  bool CursorHiddenByShow() const { return !SaverSettings.ShowCursor; }

  // PlaybackHost
  void StopTimer() override { ::KillTimer(hwnd(), kTimer1); }
  void StartTimer() override { ::SetTimer(hwnd(), kTimer1, kTimer1Interval, nullptr); }
  bool ResolveItem(std::string& item) override { return ResolveMediaItem(item); }
  int32_t RandomIndex(int32_t count) override {
    return static_cast<int32_t>(std::rand() / (static_cast<double>(RAND_MAX) + 1.0) * count);
  }

  Playback playback_;
  ExitFilter exit_filter_;
  std::unique_ptr<FlashControl> control_;
  bool started_ = false;
  bool control_failed_ = false;
  bool closed_ = false;
  // While the player is being created or handed a movie, closing waits: the extraction of a
  // packed movie processes messages, and the player must outlive the call that uses it.
  int busy_ = 0;
  bool close_pending_ = false;
  // The cursor is hidden once and shown once, so that the system's count ends where it began.
  bool cursor_hidden_ = false;
  bool asking_password_ = false;
  DWORD saved_wave_volume_ = 0;
};

PlaybackSettings ReadPlaybackSettings() {
  PlaybackSettings s;
  s.flash_sequence = SaverSettings.FlashSequence;
  s.flash_stop_time = SaverSettings.FlashStopTime;
  s.flash_download_time = SaverSettings.FlashDownloadTime;
  return s;
}

ExitSettings ReadExitSettings() {
  ExitSettings s;
  s.mouse_move = SaverSettings.MouseMove;
  s.mouse_press = SaverSettings.MousePress;
  s.keyboard_press = SaverSettings.KeyboardPress;
  s.show_cursor = SaverSettings.ShowCursor;
  s.only_esc_key_exit = SaverSettings.OnlyEscKeyExit;
  return s;
}

TFlashFullscreenForm::TFlashFullscreenForm()
    : playback_(FlashList, ReadPlaybackSettings(), *this), exit_filter_(ReadExitSettings()) {}

std::unique_ptr<TFlashFullscreenForm> TFlashFullscreenForm::Create() {
  std::unique_ptr<TFlashFullscreenForm> form(new TFlashFullscreenForm());
  WindowParams p;
  p.class_name = "TFlashFullscreenForm";
  p.caption = "FlashFullscreenForm";
  p.style = WS_POPUP | WS_CLIPCHILDREN;
  p.x = kDesignLeft;
  p.y = kDesignTop;
  p.width = kDesignWidth;
  p.height = kDesignHeight;
  p.background = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  if (!form->CreateWindowFromParams(p)) {
    throw WindowCreationError(p.class_name, form->creation_error());
  }
  ::SetTimer(form->hwnd(), kMouseTimer, kMouseTimerInterval, nullptr);
  TFlashFullscreenForm* self = form.get();
  SetMessageHook([self](MSG& message) { return self->ApplicationEvents1Message(message); });
  return form;
}

TFlashFullscreenForm::~TFlashFullscreenForm() {
  SetMessageHook(nullptr);
  if (hwnd() && !closed_) FormClose();
}

void TFlashFullscreenForm::FormShow() {
  const std::vector<ScreenRect> monitors = MonitorList();
  if (monitors.size() <= 1 || SaverSettings.FlashSameMonitor) {
    const size_t show_monitor = ShowMonitorIndex(monitors, kDesignLeft, kDesignTop);
    if (!monitors.empty()) {
      const ScreenRect& m = monitors[show_monitor];
      ::SetWindowPos(hwnd(), nullptr, m.left, m.top, m.width, m.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (monitors.size() > 1) {
      CreateCoverWindows(hwnd(), CoverRects(monitors, show_monitor),
                         SaverSettings.ImageSameMonitor);
    }
  } else {
    const ScreenRect r = SpanningRect(monitors, PrimaryScreenHeight());
    ::SetWindowPos(hwnd(), nullptr, r.left, r.top, r.width, r.height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);

  if (SaverSettings.FlashMute) {
    HWAVEOUT device0 = reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(0));
    ::waveOutGetVolume(device0, &saved_wave_volume_);
    ::waveOutSetVolume(device0, 0);
  }
  playback_.Reset();
  control_failed_ = false;
  exit_filter_.RefillAllowance();
  StartTimer();
}

void TFlashFullscreenForm::Timer1Timer() {
  if (control_failed_) {
    Close();
    return;
  }
  ++busy_;
  if (!started_ && !FlashList.empty()) {
    if (FlashControl* control = CreateFlashControl()) {
      started_ = true;
      playback_.Start(*control, [](FlashControl& c) {
        ApplyFlashSettings(c, static_cast<uint32_t>(SaverSettings.FlashColor),
                           SaverSettings.FlashQuality, SaverSettings.FlashSize);
      });
    }
  }
  if (started_ && control_ && !close_pending_) {
    // Ticks go on while the password prompt runs its own loop; its cursor must stay visible.
    const bool hide = CursorHiddenByShow() && !cursor_hidden_ && !asking_password_;
    SetSaverRunning(false, hide);
    if (hide) cursor_hidden_ = true;
    playback_.Tick(*control_);
  }
  --busy_;
  if (close_pending_ && busy_ == 0) Close();
}

FlashControl* TFlashFullscreenForm::CreateFlashControl() {
  if (control_) return control_.get();
  try {
    control_ = CreateFlashPlayer(hwnd());
    if (control_) return control_.get();
  } catch (const std::exception&) {
  }
  control_failed_ = true;
  SetSaverRunning(true, cursor_hidden_);
  cursor_hidden_ = false;
  StopTimer();
  ::ShowWindow(hwnd(), SW_HIDE);
  // A hidden window makes a poor owner: the box would not come to the front.
  ReportFlashPlayerFailure(nullptr);
  Close();
  return nullptr;
}

bool TFlashFullscreenForm::ApplicationEvents1Message(MSG& message) {
  if (!hwnd() || !::IsWindowVisible(hwnd())) return false;
  const ExitDecision d = exit_filter_.Decide(message.message, message.wParam);
  if (d.request_exit) RequestExit();
  return d.handled;
}

void TFlashFullscreenForm::RequestExit() {
  if (cursor_hidden_) {
    ::ShowCursor(TRUE);
    cursor_hidden_ = false;
  }
  asking_password_ = true;
  const bool may_close =
      VerifySaverPassword(reinterpret_cast<uintptr_t>(hwnd()), CursorHiddenByShow());
  asking_password_ = false;
  if (may_close) Close();
  exit_filter_.RefillAllowance();
}

void TFlashFullscreenForm::Close() {
  if (closed_ || !hwnd()) return;
  if (busy_ > 0) {
    close_pending_ = true;
    return;
  }
  FormClose();
  ::DestroyWindow(hwnd());
}

void TFlashFullscreenForm::FormClose() {
  closed_ = true;
  const bool main_run = RunMode == kModeShow || StandAloneRun;
  if (main_run) ::ShowWindow(hwnd(), SW_HIDE);
  SetSaverRunning(true, cursor_hidden_);
  cursor_hidden_ = false;
  DestroyCoverWindows();
  StopTimer();
  started_ = false;
  try {
    control_.reset();
  } catch (...) {
  }
  if (SaverSettings.FlashMute) {
    ::waveOutSetVolume(reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(0)), saved_wave_volume_);
  }
}

LRESULT TFlashFullscreenForm::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == kTimer1) Timer1Timer();
      if (wparam == kMouseTimer) MouseTimerTimer();
      return 0;
    case WM_CLOSE:
      // The show's own exit path closes without this message; anyone else's close (another
      // program, or Alt+F4 turned into one) is an exit attempt, which asks for the password.
      // One attempt at a time: the prompt's own loop dispatches messages.
      if (!::IsWindowVisible(hwnd())) {
        Close();
      } else if (!asking_password_) {
        RequestExit();
      }
      return 0;
    case WM_SYSCOMMAND:
      // Sent rather than posted, it passes no filter: a second screen saver must not start.
      if (wparam == kSysCommandScreenSave) return 0;
      // Alt+F4's default handling asks for SC_CLOSE after the exit filter has seen the key;
      // the key alone decides whether the show ends.
      if ((wparam & 0xFFF0) == SC_CLOSE && ::IsWindowVisible(hwnd())) return 0;
      break;
    case WM_ENDSESSION:
      // The system may end the process as soon as this returns: the show closes without a
      // password, and the unpacked files go now instead of at the end of the run.
      if (wparam) {
        Close();
        TempFolderCleanup(SystemFileSystem());
      }
      return 0;
    case WM_DESTROY:
      ::KillTimer(hwnd(), kMouseTimer);
      if (!closed_) FormClose();
      break;
    default:
      break;
  }
  return DefaultHandling(message, wparam, lparam);
}

}  // namespace

std::unique_ptr<Window> CreateShowForm() { return TFlashFullscreenForm::Create(); }

}  // namespace flashsaver
