// The built-in player in a real show: the movie's vectors reach the screen, and a picture that
// takes long to draw never holds up the exit conditions.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "fixtures.h"
#include "show_harness.h"
#include "tools/swf_records.h"
#include "tools/swf_writer.h"

using namespace e2e;
using namespace flashsaver;
using namespace flashsaver::swf_out;

namespace {

constexpr DWORD kEndWait = 15000;
constexpr int32_t kTw = 20;

// A 400x300 white stage whose left half is red and right half blue, drawn as one shape.
std::string SplitMovie(const std::string& name) {
  Shape s;
  s.fills = {FillStyle::Solid({255, 0, 0, 255}), FillStyle::Solid({0, 0, 255, 255})};
  Contour left = Rectangle(0, 0, 200 * kTw, 300 * kTw);
  left.fill1 = 1;
  Contour right = Rectangle(200 * kTw, 0, 400 * kTw, 300 * kTw);
  right.fill1 = 2;
  s.contours = {left, right};
  Bytes timeline = DefineShape3(1, s);
  const Bytes place = PlaceObject2({1, 1, false, Matrix{}, {}, {}, {}, {}});
  timeline.insert(timeline.end(), place.begin(), place.end());
  const Bytes frame = ShowFrame();
  timeline.insert(timeline.end(), frame.begin(), frame.end());
  SwfMovieSpec spec;
  spec.version = 8;
  spec.width_px = 400;
  spec.height_px = 300;
  spec.frame_rate_8_8 = 12 * 256;
  spec.background_rgb = 0xFFFFFF;
  const std::string path = TestFolder() + name;
  EXPECT_TRUE(WriteBytesToFile(WriteSwfMovie(spec, timeline), path));
  return path;
}

// Costly to draw at any size: hundreds of overlapping translucent radial gradients in each of
// many shapes, moved every frame so that every frame is drawn whole.
std::string SlowMovie(const std::string& name) {
  Shape s;
  for (int i = 0; i < 200; ++i) {
    const int32_t x = (i * 37) % 400, y = (i * 53) % 300;
    s.fills.push_back(FillStyle::Radial(RadialGradientMatrix(x * kTw, y * kTw, 300 * kTw),
                                        {{0, {255, uint8_t(i), 0, 200}},
                                         {128, {0, 255, uint8_t(i), 120}},
                                         {255, {0, 0, 255, 60}}}));
    Contour c = Circle(x * kTw, y * kTw, 300 * kTw);
    c.fill1 = static_cast<uint32_t>(i + 1);
    s.contours.push_back(c);
  }
  Bytes timeline = DefineShape3(1, s);
  auto add = [&](const Bytes& b) { timeline.insert(timeline.end(), b.begin(), b.end()); };
  for (uint16_t depth = 1; depth <= 20; ++depth)
    add(PlaceObject2({depth, 1, false, Matrix{}, {}, {}, {}, {}}));
  add(ShowFrame());
  for (uint16_t depth = 1; depth <= 20; ++depth) {
    add(PlaceObject2({depth, {}, true, Matrix{1, 0, 0, 1, 20.0 * depth, 0}, {}, {}, {}, {}}));
  }
  add(ShowFrame());
  SwfMovieSpec spec;
  spec.version = 8;
  spec.width_px = 400;
  spec.height_px = 300;
  spec.frame_rate_8_8 = 30 * 256;
  spec.frame_count = 2;
  const std::string path = TestFolder() + name;
  EXPECT_TRUE(WriteBytesToFile(WriteSwfMovie(spec, timeline), path));
  return path;
}

COLORREF ScreenPixel(int x, int y) {
  HDC screen = ::GetDC(nullptr);
  const COLORREF c = ::GetPixel(screen, x, y);
  ::ReleaseDC(nullptr, screen);
  return c;
}

std::string Hex(COLORREF c) {
  char text[16];
  std::snprintf(text, sizeof text, "%06lX", static_cast<unsigned long>(c));
  return text;
}

class ShowDrawn : public ::testing::Test {
 protected:
  void SetUp() override {
    ::RegDeleteKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "ScreenSaveUsePassword");
    UnregisterFlashComServer();  // the built-in player, not a stand-in control
  }
  void TearDown() override {
    if (show_.Running()) {
      ::PostMessageA(show_.window(), WM_CLOSE, 0, 0);
      EXPECT_TRUE(show_.EndsWithin(kEndWait));
    }
  }
  ShowRun show_;
};

TEST_F(ShowDrawn, TheShowWindowShowsTheMovieVectors) {
  SaverSpec spec;
  spec.name = "drawn_split";
  // Stretched to the window (exact fit): each half of the stage is a half of the window.
  spec.set = {"FlashSize=1", "FlashColor=0"};
  spec.movies = {SplitMovie("split.swf")};
  ASSERT_TRUE(show_.Start(BuildSaver(spec))) << show_.error();
  const RECT r = WindowRect(show_.window());
  const int w = r.right - r.left, h = r.bottom - r.top;
  struct Probe {
    int x, y;
    COLORREF wanted;
  };
  const std::vector<Probe> probes = {{r.left + w / 4, r.top + h / 2, RGB(255, 0, 0)},
                                     {r.left + w * 3 / 4, r.top + h / 2, RGB(0, 0, 255)}};
  const DWORD start = ::GetTickCount();
  auto all_shown = [&] {
    for (const Probe& p : probes) {
      if (ScreenPixel(p.x, p.y) != p.wanted) return false;
    }
    return true;
  };
  while (!all_shown() && ::GetTickCount() - start < 20000) Pump(100);
  for (const Probe& p : probes) {
    EXPECT_EQ(Hex(ScreenPixel(p.x, p.y)), Hex(p.wanted)) << "at " << p.x << "," << p.y;
  }
}

TEST_F(ShowDrawn, InputEndsTheShowPromptlyWhileASlowPictureIsDrawn) {
  SaverSpec spec;
  spec.name = "drawn_slow";
  spec.set = {"FlashSize=1", "KeyboardPress=1"};
  spec.movies = {SlowMovie("slow.swf")};
  ASSERT_TRUE(show_.Start(BuildSaver(spec))) << show_.error();
  Pump(2000);  // the movie is open and its pictures are being drawn
  ASSERT_TRUE(show_.Running());
  HWND window = show_.window();
  ::PostMessageA(window, WM_KEYDOWN, 'A', MAKELPARAM(1, 0));
  const DWORD start = ::GetTickCount();
  while (::IsWindow(window) && ::IsWindowVisible(window) && ::GetTickCount() - start < 5000) {
    ::Sleep(5);
  }
  const DWORD took = ::GetTickCount() - start;
  EXPECT_LE(took, 250u) << "the show window stayed " << took << " ms after the key";
  EXPECT_TRUE(show_.EndsWithin(kEndWait)) << "the engine did not end";
}

// A red stage whose first frame's script loops without end.
std::string LoopingMovie(const std::string& name) {
  Bytes timeline;
  auto add = [&](const Bytes& b) { timeline.insert(timeline.end(), b.begin(), b.end()); };
  Bytes loop;
  PutTag(loop, 12 /* DoAction */, {0x99, 0x02, 0x00, 0xFB, 0xFF, 0x00});  // jump onto itself
  add(loop);
  add(ShowFrame());
  SwfMovieSpec spec;
  spec.version = 8;
  spec.width_px = 400;
  spec.height_px = 300;
  spec.frame_rate_8_8 = 12 * 256;
  spec.background_rgb = 0xFF0000;
  const std::string path = TestFolder() + name;
  EXPECT_TRUE(WriteBytesToFile(WriteSwfMovie(spec, timeline), path));
  return path;
}

// The script holds the window's thread for up to the player's 15 s limit; a key pressed
// meanwhile still ends the show at once.
TEST_F(ShowDrawn, KeyEndsTheShowPromptlyWhileAScriptLoopsWithoutEnd) {
  SaverSpec spec;
  spec.name = "drawn_loop";
  spec.set = {"FlashSize=1", "KeyboardPress=1"};
  spec.movies = {LoopingMovie("loop.swf")};
  ASSERT_TRUE(show_.Start(BuildSaver(spec))) << show_.error();
  HWND window = show_.window();
  ::SetForegroundWindow(window);
  Pump(2000);  // the movie is open and its script is running
  ASSERT_TRUE(show_.Running());
  INPUT key[2] = {};
  key[0].type = INPUT_KEYBOARD;
  key[0].ki.wVk = 'A';
  key[1] = key[0];
  key[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(2, key, sizeof(INPUT));
  const DWORD start = ::GetTickCount();
  while (::IsWindow(window) && ::IsWindowVisible(window) && ::GetTickCount() - start < 5000) {
    ::Sleep(5);
  }
  const DWORD took = ::GetTickCount() - start;
  EXPECT_LE(took, 250u) << "the show window stayed " << took << " ms after the key";
  EXPECT_TRUE(show_.EndsWithin(kEndWait)) << "the engine did not end";
}

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

bool Inside(const RECT& r, int x, int y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// Named for the two-monitor run (tests/e2e/two_monitors.sh), which gives Wine a second screen.
TEST_F(ShowDrawn, TwoMonitorsCoverMirrorsTheDrawnPicture) {
  const std::vector<RECT> monitors = Monitors();
  if (monitors.size() < 2) GTEST_SKIP() << "one monitor here; tests/e2e/two_monitors.sh runs this";
  SaverSpec spec;
  spec.name = "drawn_cover";
  spec.set = {"FlashSize=1", "FlashColor=0", "FlashSameMonitor=1"};
  spec.movies = {SplitMovie("split.swf")};
  ASSERT_TRUE(show_.Start(BuildSaver(spec))) << show_.error();
  // The cover stretches the show's picture over its monitor: a point at some fraction of the
  // second monitor shows the stage at that fraction, red on the left half and blue on the right.
  const RECT& first = monitors[0];
  const RECT& second = monitors[1];
  std::vector<std::pair<POINT, COLORREF>> probes;
  const int sw = second.right - second.left, sh = second.bottom - second.top;
  for (int fy = 1; fy < 20; ++fy) {
    for (int fx = 1; fx < 20; ++fx) {
      if (fx == 10) continue;  // the seam
      const int x = second.left + sw * fx / 20, y = second.top + sh * fy / 20;
      if (Inside(first, x, y)) continue;
      probes.push_back({POINT{x, y}, fx < 10 ? RGB(255, 0, 0) : RGB(0, 0, 255)});
    }
  }
  ASSERT_FALSE(probes.empty()) << "the second monitor lies under the first";
  const DWORD start = ::GetTickCount();
  auto all_shown = [&] {
    for (const auto& [p, c] : probes) {
      if (ScreenPixel(p.x, p.y) != c) return false;
    }
    return true;
  };
  while (!all_shown() && ::GetTickCount() - start < 20000) Pump(100);
  int wrong = 0;
  for (const auto& [p, c] : probes) {
    if (ScreenPixel(p.x, p.y) != c && ++wrong <= 3) {
      ADD_FAILURE() << "cover at " << p.x << "," << p.y << " shows " << Hex(ScreenPixel(p.x, p.y))
                    << ", not " << Hex(c);
    }
  }
  EXPECT_EQ(wrong, 0) << "of " << probes.size() << " points";
}

}  // namespace
