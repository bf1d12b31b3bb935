// The show on several monitors: placement, cover windows and their mirror. These tests need a
// system with two monitors; tests/e2e/two_monitors.sh gives them one, elsewhere they skip.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fixtures.h"
#include "show_harness.h"

using namespace e2e;

namespace {

constexpr DWORD kEndWait = 15000;
// A Windows colour value (red lowest) and how the screen shows it.
constexpr DWORD kFlashColor = 0x000000C0;  // dark red
constexpr COLORREF kShown = RGB(0xC0, 0, 0);

std::vector<RECT> Monitors() {
  std::vector<RECT> list;
  ::EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR, HDC, LPRECT r, LPARAM p) -> BOOL {
        reinterpret_cast<std::vector<RECT>*>(p)->push_back(*r);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&list));
  return list;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
         std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

// The screen's pixel, read from the whole screen as a screenshot would.
COLORREF ScreenPixel(int x, int y) {
  HDC screen = ::GetDC(nullptr);
  const COLORREF c = ::GetPixel(screen, x, y);
  ::ReleaseDC(nullptr, screen);
  return c;
}

// Waits until the pixel shows the colour; the last colour seen.
COLORREF WaitForPixel(int x, int y, COLORREF wanted, DWORD milliseconds = 20000) {
  const DWORD start = ::GetTickCount();
  COLORREF c = ScreenPixel(x, y);
  while (c != wanted && ::GetTickCount() - start < milliseconds) {
    Pump(100);
    c = ScreenPixel(x, y);
  }
  return c;
}

// A point of the second monitor that the first does not hold (monitors may overlap: Xvfb puts
// every screen at the origin), or false when there is none.
bool PointOnlyOnSecond(const RECT& first, const RECT& second, POINT& p) {
  for (LONG y = second.top + 10; y < second.bottom; y += 10) {
    for (LONG x = second.right - 10; x >= second.left; x -= 10) {
      const bool in_first =
          x >= first.left && x < first.right && y >= first.top && y < first.bottom;
      if (!in_first) {
        p = POINT{x, y};
        return true;
      }
    }
  }
  return false;
}

class TwoMonitors : public ::testing::Test {
 protected:
  void SetUp() override {
    monitors_ = Monitors();
    if (monitors_.size() < 2) {
      if (std::getenv("FLASHSAVER_EXPECT_MONITORS")) {
        FAIL() << "the two-monitor display gave " << monitors_.size() << " monitor(s)";
      }
      GTEST_SKIP() << "one monitor here; tests/e2e/two_monitors.sh runs these";
    }
    ::RegDeleteKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "ScreenSaveUsePassword");
    SwfFile swf;
    swf.name = "still.swf";
    swf.frames = 1;
    movie_ = WriteSwf(swf);
  }
  void TearDown() override {
    if (show_.Running()) {
      ::PostMessageA(show_.window(), WM_CLOSE, 0, 0);
      EXPECT_TRUE(show_.EndsWithin(kEndWait));
    }
  }
  void StartShow(const std::string& name, std::vector<std::string> set) {
    SaverSpec spec;
    spec.name = name;
    set.push_back("FlashColor=" + std::to_string(kFlashColor));
    spec.set = set;
    spec.movies = {movie_};
    ASSERT_TRUE(show_.Start(BuildSaver(spec))) << show_.error();
  }

  std::vector<RECT> monitors_;
  std::string movie_;
  ShowRun show_;
};

TEST_F(TwoMonitors, ShowOnTheFirstMonitorAndACoverOnTheSecond) {
  // The stand-in player holds its close: the covers must be gone by then, while the engine runs.
  FixtureFolder folder;
  FlashComServer player(folder);
  ASSERT_TRUE(player.ok());
  player.Script("CloseHoldMs 3000\n");
  StartShow("monitors_cover", {"FlashSameMonitor=1", "ImageSameMonitor=1"});
  Pump(500);
  EXPECT_TRUE(SameRect(WindowRect(show_.window()), monitors_[0]))
      << Describe(WindowRect(show_.window())) << " is not " << Describe(monitors_[0]);
  EXPECT_TRUE(::GetWindowLongA(show_.window(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  const std::vector<HWND> covers = TopWindowsOf(show_.engine().pid(), "TMultiScreenForm");
  ASSERT_EQ(covers.size(), monitors_.size() - 1);
  for (size_t i = 0; i < covers.size(); ++i) {
    EXPECT_TRUE(::IsWindowVisible(covers[i]));
    EXPECT_TRUE(::GetWindowLongA(covers[i], GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(::GetWindowLongA(covers[i], GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), 0);
  }
  // One cover on each monitor after the first (the list order of EnumWindows is not ours).
  for (size_t m = 1; m < monitors_.size(); ++m) {
    bool covered = false;
    for (HWND c : covers) covered = covered || SameRect(WindowRect(c), monitors_[m]);
    EXPECT_TRUE(covered) << "no cover on " << Describe(monitors_[m]);
  }
  // Input to a cover passes the exit filter like input to the show.
  ::PostMessageA(covers[0], WM_KEYDOWN, 'A', 0);
  const DWORD start = ::GetTickCount();
  auto closing = [&] {
    for (const std::string& call : player.Calls()) {
      if (call == "close") return true;
    }
    return false;
  };
  while (!closing() && ::GetTickCount() - start < kEndWait) Pump(50);
  ASSERT_TRUE(closing()) << "the show did not close its player";
  EXPECT_TRUE(show_.Running());
  EXPECT_TRUE(TopWindowsOf(show_.engine().pid(), "TMultiScreenForm").empty());
  EXPECT_TRUE(show_.EndsWithin(kEndWait));
}

TEST_F(TwoMonitors, CoverMirrorsTheShowsPicture) {
  StartShow("monitors_mirror", {"ImageSameMonitor=1"});
  const RECT& first = monitors_[0];
  const RECT& second = monitors_[1];
  const int sx = (first.left + first.right) / 2;
  const int sy = (first.top + first.bottom) / 2;
  ASSERT_EQ(WaitForPixel(sx, sy, kShown), kShown) << "the show never showed its movie";
  POINT p{};
  ASSERT_TRUE(PointOnlyOnSecond(first, second, p)) << "the second monitor lies under the first";
  EXPECT_EQ(WaitForPixel(p.x, p.y, kShown), kShown) << "the cover does not repeat the show";
}

TEST_F(TwoMonitors, CoverStaysBlackWithoutTheMirror) {
  StartShow("monitors_black", {"ImageSameMonitor=0"});
  const RECT& first = monitors_[0];
  const RECT& second = monitors_[1];
  ASSERT_EQ(WaitForPixel((first.left + first.right) / 2, (first.top + first.bottom) / 2, kShown),
            kShown);
  POINT p{};
  ASSERT_TRUE(PointOnlyOnSecond(first, second, p)) << "the second monitor lies under the first";
  Pump(1000);
  EXPECT_EQ(ScreenPixel(p.x, p.y), RGB(0, 0, 0));
}

TEST_F(TwoMonitors, OneWindowAcrossAllMonitorsWhenAsked) {
  StartShow("monitors_span", {"FlashSameMonitor=0"});
  Pump(500);
  LONG total_width = 0;
  for (const RECT& m : monitors_) total_width += m.right - m.left;
  const RECT r = WindowRect(show_.window());
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right - r.left, total_width);
  EXPECT_EQ(r.bottom - r.top, ::GetSystemMetrics(SM_CYSCREEN));
  EXPECT_TRUE(TopWindowsOf(show_.engine().pid(), "TMultiScreenForm").empty());
  // The movie's colour reaches the second monitor through the one window.
  POINT p{};
  ASSERT_TRUE(PointOnlyOnSecond(monitors_[0], monitors_[1], p));
  if (p.y < r.bottom) {
    EXPECT_EQ(WaitForPixel(p.x, p.y, kShown), kShown);
  }
}

}  // namespace
