// The preview inside a host window of the test's own: placement, the name preview, the picture
// preview for every picture format, and its end when the host goes away.
#include <gtest/gtest.h>

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "harness.h"
#include "saver_files.h"
#include "ui_driver.h"

using namespace e2e;

namespace {

constexpr DWORD kExitWait = 15000;

std::string HandleArgument(HWND host) { return std::to_string(reinterpret_cast<uintptr_t>(host)); }

// A placeable metafile: a red left half and a blue right half on 40 x 30 units.
bool WritePlaceableMetafile(const std::string& path) {
  HDC dc = ::CreateMetaFileA(nullptr);
  if (!dc) return false;
  ::SetWindowOrgEx(dc, 0, 0, nullptr);
  ::SetWindowExtEx(dc, 40, 30, nullptr);
  HBRUSH red = ::CreateSolidBrush(RGB(255, 0, 0));
  HBRUSH blue = ::CreateSolidBrush(RGB(0, 0, 255));
  ::SelectObject(dc, ::GetStockObject(NULL_PEN));
  ::SelectObject(dc, red);
  ::Rectangle(dc, 0, 0, 21, 31);
  ::SelectObject(dc, blue);
  ::Rectangle(dc, 20, 0, 41, 31);
  HMETAFILE metafile = ::CloseMetaFile(dc);
  ::DeleteObject(red);
  ::DeleteObject(blue);
  if (!metafile) return false;
  const UINT size = ::GetMetaFileBitsEx(metafile, 0, nullptr);
  std::string bits(size, '\0');
  ::GetMetaFileBitsEx(metafile, size, bits.data());
  ::DeleteMetaFile(metafile);
  uint16_t header[11] = {0xCDD7, 0x9AC6, 0, 0, 0, 40, 30, 96, 0, 0, 0};
  for (int i = 0; i < 10; ++i) header[10] ^= header[i];
  return WriteFile(path, std::string(reinterpret_cast<const char*>(header), sizeof(header)) + bits);
}

bool WriteEnhancedMetafile(const std::string& path) {
  RECT frame{0, 0, 4000, 3000};  // hundredths of a millimetre
  HDC dc = ::CreateEnhMetaFileA(nullptr, path.c_str(), &frame, nullptr);
  if (!dc) return false;
  HBRUSH red = ::CreateSolidBrush(RGB(255, 0, 0));
  HBRUSH blue = ::CreateSolidBrush(RGB(0, 0, 255));
  RECT left{0, 0, 75, 113};
  RECT right{75, 0, 151, 113};
  ::FillRect(dc, &left, red);
  ::FillRect(dc, &right, blue);
  ::DeleteObject(red);
  ::DeleteObject(blue);
  HENHMETAFILE metafile = ::CloseEnhMetaFile(dc);
  if (!metafile) return false;
  ::DeleteEnhMetaFile(metafile);
  return true;
}

// Puts the picture beside a bare engine; false when the fixture could not be made.
bool PlacePicture(const TestSaver& saver, const std::string& name) {
  const std::string target = saver.folder + name;
  const std::string lower = [&] {
    std::string s = name;
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  }();
  if (lower.ends_with(".wmf")) return WritePlaceableMetafile(target);
  if (lower.ends_with(".emf")) return WriteEnhancedMetafile(target);
  if (lower == "garbage.bmp") return WriteFile(target, "BM this is no bitmap at all, only text");
  if (lower == "gif-data.bmp") return CopyFixture("pictures/picture.gif", target);
  const std::string extension = lower.substr(lower.rfind('.'));
  return CopyFixture("pictures/picture" + (extension == ".jpeg" ? ".jpg" : extension), target);
}

class Preview {
 public:
  ~Preview() {
    if (host_) ::DestroyWindow(host_);
  }
  // Inside a host window of the test's, or top-level. Wine shows no pixels of a child window
  // that another process owns, so pictures are looked at in top-level previews.
  bool Open(const TestSaver& saver, const char* class_name, bool hosted = true) {
    if (hosted) {
      host_ = CreateTestWindow("preview host", 192, 172);
      if (!host_ || !engine_.Start("/p " + HandleArgument(host_), saver.program)) return false;
      preview_ = WaitForChildWindow(host_, class_name);
    } else {
      if (!engine_.Start("/p top-level", saver.program)) return false;
      preview_ = WaitForTopWindow(engine_.pid(), class_name);
    }
    if (!preview_) return false;
    WaitUntil(5000, [&] { return ::IsWindowVisible(preview_) != FALSE; });
    Pump(800);
    return true;
  }
  void Close() {
    if (!host_) ::PostMessageA(preview_, WM_CLOSE, 0, 0);
    if (host_) ::DestroyWindow(host_);
    host_ = nullptr;
    engine_.WaitExit(kExitWait);
  }
  HWND host() const { return host_; }
  HWND preview() const { return preview_; }
  EngineProcess& engine() { return engine_; }
  HWND Label(const std::string& text) const { return FindControl(preview_, "TLabel", text); }

 private:
  HWND host_ = nullptr;
  HWND preview_ = nullptr;
  EngineProcess engine_;
};

TEST(NamePreview, FillsTheHostWithItsFrameOutsideAndShowsTheName) {
  const TestSaver saver = MakeBareSaver("My Saver", "");
  Preview preview;
  ASSERT_TRUE(preview.Open(saver, "TOtherPreviewForm"));
  HWND form = preview.preview();
  EXPECT_EQ(::GetParent(form), preview.host());
  EXPECT_NE(::GetWindowLongA(form, GWL_STYLE) & WS_CHILD, 0);
  EXPECT_NE(::GetWindowLongA(form, GWL_STYLE) & WS_CAPTION, 0);

  // Left = ClientWidth - Width, Top = ClientHeight - Height (the frame's share, which stays the
  // same when the window is resized); the size reaches 10 pixels past the host's window.
  RECT outer{};
  RECT client{};
  ::GetWindowRect(form, &outer);
  ::GetClientRect(form, &client);
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  const RECT placed = RectIn(form, preview.host());
  EXPECT_EQ(placed.left, client.right - width);
  EXPECT_EQ(placed.top, client.bottom - height);
  EXPECT_LT(placed.top, placed.left) << "the title bar lies above the host";
  RECT host{};
  ::GetWindowRect(preview.host(), &host);
  EXPECT_EQ(width, (host.right - host.left) - placed.left + 10);
  EXPECT_EQ(height, (host.bottom - host.top) - placed.top + 10);

  HWND name = preview.Label("My Saver");
  ASSERT_NE(name, nullptr);
  const RECT n = RectIn(name, form);
  EXPECT_EQ(n.left, 8);
  EXPECT_EQ(n.top, 12);
  EXPECT_EQ(n.right - n.left, 143);
  EXPECT_EQ(n.bottom - n.top, 79);
  HWND powered = preview.Label("- Powered by FSaver");
  ASSERT_NE(powered, nullptr);
  EXPECT_TRUE(::IsWindowVisible(powered));
  const RECT p = RectIn(powered, form);
  EXPECT_EQ(p.left, 36);
  EXPECT_EQ(p.top, 95);
  EXPECT_EQ(p.right - p.left, 113);
  EXPECT_EQ(p.bottom - p.top, 13);
}

TEST(NamePreview, ShowsTheNameInWhiteBoldOnBlack) {
  const TestSaver saver = MakeBareSaver("Night Sky", "");
  Preview preview;
  ASSERT_TRUE(preview.Open(saver, "TOtherPreviewForm", false));
  HWND name = preview.Label("Night Sky");
  ASSERT_NE(name, nullptr);
  const ScreenPixels pixels =
      CaptureWhen(preview.preview(), RECT{0, 0, 160, 120},
                  [](const ScreenPixels& p) { return NearColour(p.At(4, 4), 0x000000, 8); });
  ASSERT_TRUE(pixels.valid());
  int white = 0;
  for (int y = 12; y < 30; ++y) {
    for (int x = 8; x < 150; ++x) white += NearColour(pixels.At(x, y), 0xFFFFFF, 24) ? 1 : 0;
  }
  EXPECT_GT(white, 40) << "no white name";
  EXPECT_TRUE(NearColour(pixels.At(4, 4), 0x000000, 8)) << std::hex << pixels.At(4, 4);
  EXPECT_TRUE(NearColour(pixels.At(150, 70), 0x000000, 8)) << std::hex << pixels.At(150, 70);
  // The powered-by line in light grey at (36, 95).
  int light_grey = 0;
  for (int y = 95; y < 108; ++y) {
    for (int x = 36; x < 149; ++x) light_grey += NearColour(pixels.At(x, y), 0xD8D8D8, 40) ? 1 : 0;
  }
  EXPECT_GT(light_grey, 10) << "no powered-by line";
  preview.Close();
}

struct PoweredByCase {
  const char* label;
  const char* settings;
  bool shown;
};

void PrintTo(const PoweredByCase& c, std::ostream* os) { *os << c.label; }

class PoweredBy : public ::testing::TestWithParam<PoweredByCase> {};

TEST_P(PoweredBy, ShownOnlyWhenNeitherResellNorHideMarvexText) {
  const PoweredByCase& c = GetParam();
  const TestSaver saver = MakeBareSaver(std::string("Powered") + c.label, c.settings);
  Preview preview;
  ASSERT_TRUE(preview.Open(saver, "TOtherPreviewForm"));
  HWND powered = preview.Label("- Powered by FSaver");
  ASSERT_NE(powered, nullptr);
  EXPECT_EQ(::IsWindowVisible(powered) != FALSE, c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, PoweredBy,
    ::testing::Values(PoweredByCase{"Default", "", true},
                      PoweredByCase{"BothOff", "[Set]\r\nresell=0\r\nHideMarvexText=0\r\n", true},
                      PoweredByCase{"Resell", "[Set]\r\nresell=1\r\n", false},
                      PoweredByCase{"Hidden", "[Set]\r\nHideMarvexText=1\r\n", false}),
    [](const ::testing::TestParamInfo<PoweredByCase>& info) {
      return std::string(info.param.label);
    });

struct PictureCase {
  const char* label;
  const char* file;          // placed beside the engine and named in Build_StaticImage
  const char* static_image;  // the setting; nullptr: file
  bool use_static;
  const char* form;  // the preview chosen
  bool loads;        // the picture shows (else the name does)
};

void PrintTo(const PictureCase& c, std::ostream* os) { *os << c.label; }

class PicturePreview : public ::testing::TestWithParam<PictureCase> {};

TEST_P(PicturePreview, ShowsThePictureOrTheName) {
  const PictureCase& c = GetParam();
  const std::string name = std::string("Pic") + c.label;
  const std::string settings =
      std::string("[Set]\r\nBuild_UseStaticPreview=") + (c.use_static ? "1" : "0") +
      "\r\nBuild_StaticImage=" + (c.static_image ? c.static_image : c.file) + "\r\n";
  const TestSaver saver = MakeBareSaver(name, settings);
  ASSERT_TRUE(PlacePicture(saver, c.file));
  Preview preview;
  ASSERT_TRUE(preview.Open(saver, c.form, false)) << "no " << c.form;
  if (std::string(c.form) != "TCommercePreviewForm") return;

  HWND image = FindControl(preview.preview(), "TImage", "");
  ASSERT_NE(image, nullptr);
  const RECT i = RectIn(image, preview.preview());
  EXPECT_EQ(i.left, 4);
  EXPECT_EQ(i.top, 4);
  EXPECT_EQ(i.right - i.left, 152);
  EXPECT_EQ(i.bottom - i.top, 112);
  const std::vector<HWND> labels = Descendants(preview.preview(), "TLabel");
  ASSERT_EQ(labels.size(), 1u);
  HWND label = labels.front();
  EXPECT_EQ(::IsWindowVisible(label) != FALSE, !c.loads);
  if (!c.loads) {
    EXPECT_EQ(TextOf(label), name);
  }

  const ScreenPixels pixels =
      CaptureWhen(preview.preview(), RECT{0, 0, 170, 130}, [&](const ScreenPixels& p) {
        return c.loads ? NearColour(p.At(8, 60), 0xFF0000) && NearColour(p.At(152, 60), 0x0000FF)
                       : NearColour(p.At(4, 4), 0x000000, 8);
      });
  ASSERT_TRUE(pixels.valid());
  if (c.loads) {
    // The 40 x 30 picture, red left and blue right, stretched over 152 x 112 at (4, 4).
    for (int y : {6, 60, 113}) {
      EXPECT_TRUE(NearColour(pixels.At(8, y), 0xFF0000)) << std::hex << pixels.At(8, y);
      EXPECT_TRUE(NearColour(pixels.At(60, y), 0xFF0000)) << std::hex << pixels.At(60, y);
      EXPECT_TRUE(NearColour(pixels.At(100, y), 0x0000FF)) << std::hex << pixels.At(100, y);
      EXPECT_TRUE(NearColour(pixels.At(152, y), 0x0000FF)) << std::hex << pixels.At(152, y);
    }
    EXPECT_TRUE(NearColour(pixels.At(2, 60), 0x000000, 8));
    EXPECT_TRUE(NearColour(pixels.At(80, 2), 0x000000, 8));
    EXPECT_TRUE(NearColour(pixels.At(158, 60), 0x000000, 8));
    EXPECT_TRUE(NearColour(pixels.At(80, 118), 0x000000, 8));
  } else {
    const RECT l = RectIn(label, preview.preview());
    EXPECT_EQ(l.left, 8);
    EXPECT_EQ(l.top, 8);
    int white = 0;
    for (int y = l.top; y < l.bottom; ++y) {
      for (int x = l.left; x < l.right; ++x) white += NearColour(pixels.At(x, y), 0xFFFFFF) ? 1 : 0;
    }
    EXPECT_GT(white, 20) << "no white name";
    EXPECT_TRUE(NearColour(pixels.At(l.left + 2, l.bottom + 6), 0x000000, 8));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PicturePreview,
    ::testing::Values(
        PictureCase{"Jpg", "still.jpg", nullptr, true, "TCommercePreviewForm", true},
        PictureCase{"Jpeg", "still.JPEG", nullptr, true, "TCommercePreviewForm", true},
        PictureCase{"Bmp", "still.bmp", nullptr, true, "TCommercePreviewForm", true},
        PictureCase{"Gif", "still.GIF", nullptr, true, "TCommercePreviewForm", true},
        PictureCase{"Ico", "still.ico", nullptr, true, "TCommercePreviewForm", true},
        PictureCase{"Wmf", "still.wmf", nullptr, true, "TCommercePreviewForm", true},
        PictureCase{"Emf", "still.emf", nullptr, true, "TCommercePreviewForm", true},
        PictureCase{"Png", "still.png", nullptr, true, "TCommercePreviewForm", false},
        PictureCase{"Garbage", "garbage.bmp", nullptr, true, "TCommercePreviewForm", false},
        PictureCase{"GifInBmp", "gif-data.bmp", nullptr, true, "TCommercePreviewForm", false},
        PictureCase{"NotWanted", "still.jpg", nullptr, false, "TOtherPreviewForm", false},
        PictureCase{"Missing", "still.jpg", "absent.jpg", true, "TOtherPreviewForm", false}),
    [](const ::testing::TestParamInfo<PictureCase>& info) {
      return std::string(info.param.label);
    });

TEST(PreviewHost, PreviewEndsWithinASecondWhenTheHostGoesAway) {
  const TestSaver saver = MakeBareSaver("HostGone", "");
  HWND host = CreateTestWindow("preview host", 200, 160);
  ASSERT_NE(host, nullptr);
  EngineProcess engine;
  ASSERT_TRUE(engine.Start("/p " + HandleArgument(host), saver.program));
  HWND preview = WaitForChildWindow(host, "TOtherPreviewForm");
  ASSERT_NE(preview, nullptr);
  Pump(500);
  // The host goes without closing the preview first, as the display settings do.
  ::DestroyWindow(host);
  const DWORD start = ::GetTickCount();
  EXPECT_TRUE(WaitUntil(1000, [&] { return !::IsWindow(preview); }))
      << "the preview outlived its host by more than a second";
  const auto code = engine.WaitExit(kExitWait);
  ASSERT_TRUE(code.has_value()) << "the preview process kept running";
  EXPECT_EQ(*code, 0u);
  (void)start;
  // The single-instance lock went with it: a new preview starts.
  EngineProcess next;
  ASSERT_TRUE(next.Start("/p abc", saver.program));
  HWND window = WaitForTopWindow(next.pid(), "TOtherPreviewForm");
  ASSERT_NE(window, nullptr);
  ::PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(next.WaitExit(kExitWait).has_value());
}

TEST(PreviewHost, TopLevelPreviewKeepsItsDesignPlaceAndHasNoTaskbarButton) {
  const TestSaver saver = MakeBareSaver("TopLevel", "");
  EngineProcess engine;
  ASSERT_TRUE(engine.Start("/p abc", saver.program));
  HWND window = WaitForTopWindow(engine.pid(), "TOtherPreviewForm");
  ASSERT_NE(window, nullptr);
  Pump(300);
  EXPECT_EQ(TextOf(window), "OtherPreviewForm");
  RECT r{};
  ::GetWindowRect(window, &r);
  EXPECT_EQ(r.left, 360);
  EXPECT_EQ(r.top, 233);
  EXPECT_EQ(r.right - r.left, 517);
  EXPECT_EQ(r.bottom - r.top, 392);
  // Owned windows get no taskbar button; the owner itself stays hidden.
  HWND owner = ::GetWindow(window, GW_OWNER);
  ASSERT_NE(owner, nullptr);
  EXPECT_FALSE(::IsWindowVisible(owner));
  ::PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(engine.WaitExit(kExitWait).has_value());
}

}  // namespace
