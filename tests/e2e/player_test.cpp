// The players and the password machinery with real windows, real COM and the test stand-ins
// installed in the private prefix: the system's control hosted through the OLE container, the
// built-in player in its place, and the engine's change-password mode.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fixtures.h"
#include "harness.h"
#include "show/flash_player.h"
#include "startup/password.h"
#include "startup/run_state.h"
#include "tools/swf_writer.h"

using namespace e2e;
using flashsaver::FlashControl;

namespace {

using Lines = std::vector<std::string>;

constexpr DWORD kExitWait = 30000;

// A borderless top-level window of known client size, standing in for the show window.
class ShowStandIn {
 public:
  ShowStandIn(int width, int height) {
    WNDCLASSA wc{};
    if (!::GetClassInfoA(::GetModuleHandleA(nullptr), "FlashSaverTestShow", &wc)) {
      wc.lpfnWndProc = ::DefWindowProcA;
      wc.hInstance = ::GetModuleHandleA(nullptr);
      wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
      wc.lpszClassName = "FlashSaverTestShow";
      ::RegisterClassA(&wc);
    }
    hwnd_ = ::CreateWindowExA(0, "FlashSaverTestShow", "Show", WS_POPUP | WS_VISIBLE, 0, 0, width,
                              height, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    Pump(100);
  }
  ~ShowStandIn() { ::DestroyWindow(hwnd_); }
  HWND hwnd() const { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;
};

std::string TempMovie(const std::string& name, const flashsaver::SwfMovieSpec& spec) {
  char temp[MAX_PATH] = {};
  ::GetTempPathA(sizeof(temp), temp);
  const std::string path = std::string(temp) + name;
  const std::vector<uint8_t> bytes = flashsaver::WriteSwfMovie(spec);
  WriteFile(path, std::string(bytes.begin(), bytes.end()));
  return path;
}

flashsaver::SwfMovieSpec Movie(uint16_t fps, uint16_t frames, uint32_t background) {
  flashsaver::SwfMovieSpec spec;
  spec.frame_rate_8_8 = static_cast<uint16_t>(fps * 256);
  spec.frame_count = frames;
  spec.background_rgb = background;
  spec.width_px = 400;
  spec.height_px = 300;
  return spec;
}

// Pumps until the player shows a frame, or the time is over; the frame number, or -1.
int32_t WaitForFrame(FlashControl& player, DWORD milliseconds) {
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < milliseconds) {
    const int32_t frame = player.FrameNum();
    if (frame >= 0) return frame;
    Pump(20);
  }
  return -1;
}

COLORREF PixelOf(HWND hwnd, int x, int y) {
  HDC dc = ::GetDC(hwnd);
  const COLORREF c = ::GetPixel(dc, x, y);
  ::ReleaseDC(hwnd, dc);
  return c;
}

// ---------------------------------------------------------------------------------------------
// The change-password mode with the test libraries.

TEST(ChangePasswordDialog, CallsTheSystemDialogWithScrsaveAndTheWindow) {
  FixtureFolder folder;
  PasswordLibraries libraries(folder, false, true);
  ASSERT_TRUE(libraries.ok());
  libraries.Script("PwdChangePasswordA 7\n");
  EngineProcess engine;
  ASSERT_TRUE(engine.Start("/a 4711"));
  const auto code = engine.WaitExit(kExitWait);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0u);
  EXPECT_EQ(libraries.Calls(), Lines{"PwdChangePasswordA provider=SCRSAVE window=4711 0 0"});
}

TEST(ChangePasswordDialog, WithoutMprEndsQuietly) {
  FixtureFolder folder;
  PasswordLibraries libraries(folder, false, false);
  ASSERT_TRUE(libraries.ok());
  EngineProcess engine;
  ASSERT_TRUE(engine.Start("/a 4711"));
  const auto code = engine.WaitExit(kExitWait);
  ASSERT_TRUE(code.has_value()) << "the engine waits for something";
  EXPECT_EQ(*code, 0u);
  EXPECT_TRUE(libraries.Calls().empty());
}

TEST(ChangePasswordDialog, WithoutAWindowArgumentConfigures) {
  FixtureFolder folder;
  PasswordLibraries libraries(folder, false, true);
  ASSERT_TRUE(libraries.ok());
  EngineProcess engine;
  ASSERT_TRUE(engine.Start("/a"));
  HWND window = WaitForTopWindow(engine.pid(), "TDistributeConfigForm");
  ASSERT_NE(window, nullptr);
  ::PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(engine.WaitExit(kExitWait).has_value());
  EXPECT_TRUE(libraries.Calls().empty());
}

// ---------------------------------------------------------------------------------------------
// The password check and the running state, in this process, with the test PASSWORD.CPL.

// The cursor's display count of this thread; the probe leaves it as it was.
int CursorCount() {
  const int count = ::ShowCursor(FALSE) + 1;
  ::ShowCursor(TRUE);
  return count;
}

class PasswordCheck : public ::testing::Test {
 protected:
  void SetUp() override { flashsaver::ParamWindow = 0; }
  void TearDown() override { flashsaver::ParamWindow = 0; }
  FixtureFolder folder;
};

TEST_F(PasswordCheck, AsksTheSystemWithTheWindowAndTheCursorShown) {
  PasswordLibraries libraries(folder, true, false);
  ASSERT_TRUE(libraries.ok());
  ScreenSaveUsePassword use = ScreenSaveUsePassword::Dword(1);
  libraries.Script("VerifyScreenSavePwd 0 1\n");
  const int before = CursorCount();
  const uintptr_t window = 0x1234;
  EXPECT_FALSE(flashsaver::VerifySaverPassword(window, true)) << "cancel keeps the show";
  EXPECT_EQ(CursorCount(), before);
  EXPECT_TRUE(flashsaver::VerifySaverPassword(window, true)) << "the next attempt asks again";
  EXPECT_EQ(CursorCount(), before);
  EXPECT_TRUE(flashsaver::VerifySaverPassword(window, false));
  // The stand-in notes the cursor count when asked and again when its prompt closes.
  const std::string up = std::to_string(before + 1);
  const std::string same = std::to_string(before);
  const std::string shown = "VerifyScreenSavePwd window=4660 cursor=" + up + " after=" + up;
  const std::string as_is = "VerifyScreenSavePwd window=4660 cursor=" + same + " after=" + same;
  EXPECT_EQ(libraries.Calls(), (Lines{shown, shown, as_is}));
}

struct NoDialogCase {
  const char* label;
  int value;  // -1: absent, -2: stored as text
  bool library;
};

void PrintTo(const NoDialogCase& c, std::ostream* os) { *os << c.label; }

class PasswordCheckWithoutDialog : public PasswordCheck,
                                   public ::testing::WithParamInterface<NoDialogCase> {};

TEST_P(PasswordCheckWithoutDialog, LetsTheShowEnd) {
  const NoDialogCase& c = GetParam();
  PasswordLibraries libraries(folder, c.library, false);
  ASSERT_TRUE(libraries.ok());
  libraries.Script("VerifyScreenSavePwd 0\n");
  ScreenSaveUsePassword use = c.value == -1   ? ScreenSaveUsePassword::Absent()
                              : c.value == -2 ? ScreenSaveUsePassword::Text("1")
                                              : ScreenSaveUsePassword::Dword(c.value);
  const int before = CursorCount();
  EXPECT_TRUE(flashsaver::VerifySaverPassword(0x1234, true));
  EXPECT_EQ(CursorCount(), before);
  EXPECT_TRUE(libraries.Calls().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PasswordCheckWithoutDialog,
    ::testing::Values(NoDialogCase{"Absent", -1, true}, NoDialogCase{"Zero", 0, true},
                      NoDialogCase{"Text", -2, true}, NoDialogCase{"NoLibrary", 1, false}),
    [](const ::testing::TestParamInfo<NoDialogCase>& info) { return info.param.label; });

TEST_F(PasswordCheck, RunWithACommandLineWindowNeverCloses) {
  PasswordLibraries libraries(folder, true, false);
  ScreenSaveUsePassword use = ScreenSaveUsePassword::Absent();
  flashsaver::ParamWindow = 4711;
  EXPECT_FALSE(flashsaver::VerifySaverPassword(0x1234, true));
  EXPECT_TRUE(libraries.Calls().empty());
}

bool SystemSaysSaverRuns() {
  BOOL running = FALSE;
  ::SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
  return running != FALSE;
}

TEST_F(PasswordCheck, RunningStateAndCursorArePaired) {
  const int before = CursorCount();
  flashsaver::SetSaverRunning(false, true);
  EXPECT_TRUE(SystemSaysSaverRuns());
  EXPECT_EQ(CursorCount(), before - 1);
  flashsaver::SetSaverRunning(true, true);
  EXPECT_FALSE(SystemSaysSaverRuns());
  EXPECT_EQ(CursorCount(), before);
  flashsaver::ParamWindow = 4711;
  flashsaver::SetSaverRunning(false, false);
  EXPECT_FALSE(SystemSaysSaverRuns()) << "a run given a window never enters the running state";
  EXPECT_EQ(CursorCount(), before);
}

// ---------------------------------------------------------------------------------------------
// The system's control, as the test COM server stands in for it.

class HostedControl : public ::testing::Test {
 protected:
  FixtureFolder folder;
  FlashComServer server{folder};
};

TEST_F(HostedControl, IsCreatedPlacedClickedAndDrivenByDispatchIds) {
  ASSERT_TRUE(server.ok());
  server.Script("TotalFrames 12\nFrameNum -1 -1 0 5 11\n");
  ShowStandIn show(640, 480);
  std::unique_ptr<FlashControl> player = flashsaver::CreateFlashPlayer(show.hwnd());
  ASSERT_NE(player, nullptr);
  HWND control = ::FindWindowExA(show.hwnd(), nullptr, "TTestFlashControl", nullptr);
  ASSERT_NE(control, nullptr) << "the hosted control's window is not in the show window";
  EXPECT_TRUE(::IsWindowVisible(control));
  RECT rect{};
  ::GetClientRect(control, &rect);
  EXPECT_EQ(rect.right, 640);
  EXPECT_EQ(rect.bottom, 480);

  player->SetBackgroundColor(0x112233);
  player->SetQuality(1);
  player->SetAlignMode(0);
  player->SetScaleMode(2);
  EXPECT_EQ(player->Movie(), "");
  player->SetMovie("C:\\movies\\first.swf");
  EXPECT_EQ(player->Movie(), "C:\\movies\\first.swf");
  EXPECT_EQ(player->TotalFrames(), 12);
  std::vector<int32_t> frames;
  for (int i = 0; i < 6; ++i) frames.push_back(player->FrameNum());
  EXPECT_EQ(frames, (std::vector<int32_t>{-1, -1, 0, 5, 11, 11}));
  player->Rewind();
  player->Play();

  ::SetWindowPos(show.hwnd(), nullptr, 0, 0, 800, 500, SWP_NOZORDER | SWP_NOACTIVATE);
  Pump(100);
  player.reset();

  const Lines calls = server.Calls();
  const Lines expected = {"create",
                          "size 640 480",
                          "size 640 480",
                          "message WM_LBUTTONDOWN 0 0",
                          "put BackgroundColor 1122867",
                          "put Quality 1",
                          "put AlignMode 0",
                          "put ScaleMode 2",
                          "put Movie C:\\movies\\first.swf",
                          "call Rewind",
                          "call Play",
                          "size 800 500",
                          "close"};
  EXPECT_EQ(calls, expected);
}

TEST_F(HostedControl, ServerThatCannotLoadIsAFailureNotTheBuiltInPlayer) {
  // The class is registered, but its server file is gone: the user must hear of it.
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                            "Software\\Classes\\CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}"
                            "\\InprocServer32",
                            0, KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  const char missing[] = "C:\\nowhere\\missing_control.dll";
  ::RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(missing),
                   sizeof(missing));
  ::RegCloseKey(key);
  ShowStandIn show(320, 200);
  EXPECT_THROW(flashsaver::CreateFlashPlayer(show.hwnd()), flashsaver::FlashPlayerError);
  EXPECT_EQ(::FindWindowExA(show.hwnd(), nullptr, flashsaver::kBuiltInPlayerClass, nullptr),
            nullptr);
}

// ---------------------------------------------------------------------------------------------
// The built-in player, in the control's place where the class is not registered.

class BuiltInPlayer : public ::testing::Test {
 protected:
  void SetUp() override { UnregisterFlashComServer(); }
};

TEST_F(BuiltInPlayer, TakesThePlaceOfAMissingControlAndPlaysTheTimeline) {
  ShowStandIn show(640, 480);
  std::unique_ptr<FlashControl> player = flashsaver::CreateFlashPlayer(show.hwnd());
  ASSERT_NE(player, nullptr);
  HWND window = ::FindWindowExA(show.hwnd(), nullptr, flashsaver::kBuiltInPlayerClass, nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(::IsWindowVisible(window));

  const std::string path = TempMovie("player_e2e_timeline.swf", Movie(20, 10, 0x336699));
  EXPECT_LT(player->FrameNum(), 0);
  player->SetMovie(path);
  EXPECT_EQ(player->Movie(), path);
  EXPECT_EQ(TextOf(window), path);
  ASSERT_GE(WaitForFrame(*player, 10000), 0) << "no first frame";
  EXPECT_EQ(player->TotalFrames(), 10);

  // 20 fps over 10 frames: the counter rises, and after half a second it starts again.
  int32_t highest = -1;
  bool wrapped = false;
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < 2000) {
    const int32_t f = player->FrameNum();
    ASSERT_GE(f, 0);
    ASSERT_LT(f, 10);
    if (f < highest) wrapped = true;
    highest = std::max(highest, f);
    Pump(15);
  }
  EXPECT_EQ(highest, 9);
  EXPECT_TRUE(wrapped) << "the timeline does not loop";
  ::DeleteFileA(path.c_str());
}

TEST_F(BuiltInPlayer, PaintsTheMoviesBackgroundThenTheBackgroundColor) {
  ShowStandIn show(640, 480);
  std::unique_ptr<FlashControl> player = flashsaver::CreateFlashPlayer(show.hwnd());
  ASSERT_NE(player, nullptr);
  HWND window = ::FindWindowExA(show.hwnd(), nullptr, flashsaver::kBuiltInPlayerClass, nullptr);
  ASSERT_NE(window, nullptr);
  const std::string path = TempMovie("player_e2e_paint.swf", Movie(12, 5, 0x336699));
  player->SetMovie(path);
  ASSERT_GE(WaitForFrame(*player, 10000), 0);
  Pump(300);
  EXPECT_EQ(PixelOf(window, 320, 240), RGB(0x33, 0x66, 0x99));
  EXPECT_EQ(PixelOf(window, 5, 240), RGB(0x33, 0x66, 0x99));
  player->SetBackgroundColor(0x00C000);
  Pump(300);
  EXPECT_EQ(PixelOf(window, 320, 240), RGB(0x00, 0xC0, 0x00));
  EXPECT_EQ(PixelOf(window, 5, 5), RGB(0x00, 0xC0, 0x00));
  ::DeleteFileA(path.c_str());
}

TEST_F(BuiltInPlayer, FillsTheShowWindowWhenItsSizeChanges) {
  ShowStandIn show(400, 300);
  std::unique_ptr<FlashControl> player = flashsaver::CreateFlashPlayer(show.hwnd());
  HWND window = ::FindWindowExA(show.hwnd(), nullptr, flashsaver::kBuiltInPlayerClass, nullptr);
  ASSERT_NE(window, nullptr);
  ::SetWindowPos(show.hwnd(), nullptr, 0, 0, 700, 520, SWP_NOZORDER | SWP_NOACTIVATE);
  Pump(100);
  RECT rect{};
  ::GetClientRect(window, &rect);
  EXPECT_EQ(rect.right, 700);
  EXPECT_EQ(rect.bottom, 520);
}

struct BadMovieCase {
  const char* label;
  std::string content;
};

void PrintTo(const BadMovieCase& c, std::ostream* os) { *os << c.label; }

class BuiltInPlayerBadMovie : public BuiltInPlayer,
                              public ::testing::WithParamInterface<BadMovieCase> {};

TEST_P(BuiltInPlayerBadMovie, NeverShowsAFrame) {
  ShowStandIn show(320, 240);
  std::unique_ptr<FlashControl> player = flashsaver::CreateFlashPlayer(show.hwnd());
  char temp[MAX_PATH] = {};
  ::GetTempPathA(sizeof(temp), temp);
  std::string path = std::string(temp) + "player_e2e_bad.swf";
  if (GetParam().content == "(missing)") {
    path = std::string(temp) + "player_e2e_no_such_movie.swf";
  } else {
    WriteFile(path, GetParam().content);
  }
  player->SetMovie(path);
  EXPECT_EQ(WaitForFrame(*player, 1500), -1);
  EXPECT_EQ(player->TotalFrames(), 0);
  EXPECT_EQ(player->Movie(), path);
  ::DeleteFileA(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BuiltInPlayerBadMovie,
    ::testing::Values(BadMovieCase{"Missing", "(missing)"}, BadMovieCase{"Text", "hello"},
                      BadMovieCase{"Lzma", std::string("ZWS\x0d\x40\0\0\0\0\0\0\0", 12)}),
    [](const ::testing::TestParamInfo<BadMovieCase>& info) { return info.param.label; });

// A one-file web server on 127.0.0.1 for the fetch of a movie by address.
class LocalServer {
 public:
  // delay_ms < 0: accept and never answer.
  LocalServer(std::string body, int delay_ms) : body_(std::move(body)), delay_ms_(delay_ms) {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    ::listen(listener_, 4);
    int size = sizeof(address);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LocalServer() {
    stop_ = true;
    ::closesocket(listener_);
    thread_.join();
    ::WSACleanup();
  }
  std::string Address(const std::string& name) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + name;
  }
  int requests() const { return requests_; }

 private:
  void Serve() {
    for (;;) {
      SOCKET client = ::accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) return;
      ++requests_;
      char buffer[4096];
      ::recv(client, buffer, sizeof(buffer), 0);
      if (delay_ms_ < 0) {
        while (!stop_) ::Sleep(20);
      } else {
        ::Sleep(static_cast<DWORD>(delay_ms_));
        const std::string answer =
            "HTTP/1.0 200 OK\r\nContent-Type: application/x-shockwave-flash\r\n"
            "Content-Length: " +
            std::to_string(body_.size()) + "\r\n\r\n" + body_;
        ::send(client, answer.data(), static_cast<int>(answer.size()), 0);
      }
      ::closesocket(client);
    }
  }

  std::string body_;
  int delay_ms_;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::thread thread_;
};

std::string MovieBytes(const flashsaver::SwfMovieSpec& spec) {
  const std::vector<uint8_t> bytes = flashsaver::WriteSwfMovie(spec);
  return std::string(bytes.begin(), bytes.end());
}

TEST_F(BuiltInPlayer, MovieByAddressWaitsUntilItHasArrived) {
  LocalServer server(MovieBytes(Movie(10, 7, 0x102030)), 1500);
  ShowStandIn show(320, 240);
  std::unique_ptr<FlashControl> player = flashsaver::CreateFlashPlayer(show.hwnd());
  const std::string address = server.Address("slow.swf");
  player->SetMovie(address);
  EXPECT_EQ(player->Movie(), address);
  Pump(700);
  EXPECT_LT(player->FrameNum(), 0) << "a movie still on its way counts as waiting";
  EXPECT_EQ(player->TotalFrames(), 0);
  ASSERT_GE(WaitForFrame(*player, 20000), 0);
  EXPECT_EQ(player->TotalFrames(), 7);
  EXPECT_EQ(server.requests(), 1);
}

TEST_F(BuiltInPlayer, AddressThatNeverAnswersLeavesThePlayerFreeToGo) {
  LocalServer server("", -1);
  ShowStandIn show(320, 240);
  std::unique_ptr<FlashControl> player = flashsaver::CreateFlashPlayer(show.hwnd());
  player->SetMovie(server.Address("never.swf"));
  EXPECT_EQ(WaitForFrame(*player, 1500), -1);
  const DWORD start = ::GetTickCount();
  player.reset();
  EXPECT_LT(::GetTickCount() - start, 5000u) << "closing waits for the download";
}

// ---------------------------------------------------------------------------------------------
// The failure report.

TEST(FailureReport, AsksWithYesAndNoUnderTheErrorCaption) {
  std::atomic<bool> found{false};
  std::string text;
  std::thread answer([&] {
    for (int i = 0; i < 300 && !found; ++i) {
      HWND box = ::FindWindowA("#32770", "Error");
      if (box) {
        HWND label = ::GetDlgItem(box, 0xFFFF);
        text = label ? TextOf(label) : std::string();
        const bool has_yes = ::GetDlgItem(box, IDYES) != nullptr;
        const bool has_no = ::GetDlgItem(box, IDNO) != nullptr;
        found = has_yes && has_no;
        ::PostMessageA(box, WM_COMMAND, IDNO, 0);
        return;
      }
      ::Sleep(50);
    }
  });
  flashsaver::ReportFlashPlayerFailure(nullptr);
  answer.join();
  EXPECT_TRUE(found);
  EXPECT_EQ(text, "Playing Flash failed, Please install Shockware Flash firstly.");
}

}  // namespace
