// What the links of the dialog, its banner and the preview open through the shell. The shell's
// handlers for web and mail addresses are replaced for the test by one that writes the address
// it was given into a file.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "config_dialog.h"
#include "harness.h"
#include "saver_files.h"
#include "ui_driver.h"

using namespace e2e;

namespace {

constexpr const char* kSchemes[] = {"http", "https", "mailto"};

// Points the open command of each scheme at "echo %1" into a file, and puts the old one back.
class AddressRecorder {
 public:
  AddressRecorder() {
    record_ = FreshFolder("links") + "opened.txt";
    for (const char* scheme : kSchemes) {
      const std::string key = Key(scheme);
      char old[1024] = {};
      DWORD size = sizeof(old);
      const bool had = ::RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, RRF_RT_REG_SZ,
                                      nullptr, old, &size) == ERROR_SUCCESS;
      saved_.push_back(had ? std::optional<std::string>(old) : std::nullopt);
      Set(key, "C:\\windows\\system32\\cmd.exe /c echo %1> \"" + record_ + "\"");
    }
  }
  ~AddressRecorder() {
    for (size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i]) Set(Key(kSchemes[i]), *saved_[i]);
    }
  }

  // The address opened, once the handler has written it; empty after the time.
  std::string Wait(DWORD milliseconds = 10000) const {
    std::string text;
    WaitUntil(milliseconds, [&] {
      text = ReadWholeFile(record_);
      return !text.empty() && text.back() == '\n';
    });
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
      text.pop_back();
    }
    // The shell may hand the address over in quotes.
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
      text = text.substr(1, text.size() - 2);
    }
    return text;
  }
  void Clear() const { ::DeleteFileA(record_.c_str()); }

 private:
  static std::string Key(const char* scheme) {
    return std::string("Software\\Classes\\") + scheme + "\\shell\\open\\command";
  }
  static void Set(const std::string& key, const std::string& command) {
    HKEY opened = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                          &opened, nullptr) != ERROR_SUCCESS) {
      return;
    }
    ::RegSetValueExA(opened, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                     static_cast<DWORD>(command.size() + 1));
    ::RegCloseKey(opened);
  }

  std::string record_;
  std::vector<std::optional<std::string>> saved_;
};

struct LinkCase {
  const char* label;
  std::vector<std::string> settings;
  const char* clicked;  // the label's text
  const char* opened;
};

void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.label; }

class DialogLinks : public ::testing::TestWithParam<LinkCase> {};

TEST_P(DialogLinks, OpenTheFullAddress) {
  const LinkCase& c = GetParam();
  AddressRecorder recorder;
  const TestSaver saver = MakeBareSaver(std::string("Link") + c.label, SetSection(c.settings));
  Dialog dialog;
  ASSERT_TRUE(dialog.Open(saver));
  HWND link = dialog.Control("TLabel", c.clicked);
  ASSERT_NE(link, nullptr);
  Click(link);
  EXPECT_EQ(recorder.Wait(), c.opened);
  ::PostMessageA(dialog.form(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(dialog.engine().WaitExit(kExitWait).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Labels, DialogLinks,
    ::testing::Values(LinkCase{"Website",
                               {"Website=http://www.example.com/saver"},
                               "www.example.com/saver",
                               "http://www.example.com/saver"},
                      LinkCase{"EmailOnly",
                               {"ScrEmail=jane@example.com"},
                               "jane@example.com",
                               "mailto:jane@example.com"},
                      LinkCase{"AuthorMail",
                               {"Author=Jane Doe", "ScrEmail=jane@example.com",
                                "Website=http://example.com"},
                               "Jane Doe",
                               "mailto:jane@example.com"},
                      LinkCase{"PoweredBy", {}, kMakerHomePage, kMakerHomePage}),
    [](const ::testing::TestParamInfo<LinkCase>& info) { return std::string(info.param.label); });

struct BannerCase {
  const char* label;
  std::vector<std::string> settings;
  const char* picture;  // placed beside the engine as banner.jpg; nullptr: none
  bool shown;
  const char* opened;  // nullptr: the click opens nothing
};

void PrintTo(const BannerCase& c, std::ostream* os) { *os << c.label; }

class DialogBanner : public ::testing::TestWithParam<BannerCase> {};

TEST_P(DialogBanner, ShowsAndOpensAsTheSettingsSay) {
  const BannerCase& c = GetParam();
  AddressRecorder recorder;
  std::vector<std::string> settings = c.settings;
  settings.push_back("Build_BannerImage=banner.jpg");
  const TestSaver saver = MakeBareSaver(std::string("Banner") + c.label, SetSection(settings));
  if (c.picture) {
    const std::string target = saver.folder + "banner.jpg";
    if (std::string(c.picture) == "garbage") {
      ASSERT_TRUE(WriteFile(target, "not a picture"));
    } else {
      ASSERT_TRUE(CopyFixture(c.picture, target));
    }
  }
  Dialog dialog;
  ASSERT_TRUE(dialog.Open(saver));
  HWND banner = FindControl(dialog.form(), "TImage", "");
  ASSERT_NE(banner, nullptr);
  EXPECT_EQ(::IsWindowVisible(banner) != FALSE, c.shown);
  if (c.shown && c.picture) {
    const ScreenPixels pixels =
        CaptureWhen(dialog.form(), RECT{18, 14, 18 + 468, 14 + 60}, [](const ScreenPixels& p) {
          return NearColour(p.At(60, 20), 0xFF0000) && NearColour(p.At(440, 20), 0x0000FF);
        });
    ASSERT_TRUE(pixels.valid());
    EXPECT_TRUE(NearColour(pixels.At(60, 20), 0xFF0000)) << std::hex << pixels.At(60, 20);
    EXPECT_TRUE(NearColour(pixels.At(440, 20), 0x0000FF)) << std::hex << pixels.At(440, 20);
    Click(banner, POINT{20, 50});
    if (c.opened) {
      EXPECT_EQ(recorder.Wait(), c.opened);
    } else {
      EXPECT_EQ(recorder.Wait(2000), "");
    }
  }
  ::PostMessageA(dialog.form(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(dialog.engine().WaitExit(kExitWait).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Settings, DialogBanner,
    ::testing::Values(
        BannerCase{"SchemeAdded",
                   {"Build_UseBanner=1", "Build_BannerURL=www.example.com/x"},
                   "pictures/picture.jpg",
                   true,
                   "http://www.example.com/x"},
        BannerCase{"SchemeKept",
                   {"Build_UseBanner=1", "Build_BannerURL=https://example.com"},
                   "pictures/picture.jpg",
                   true,
                   "https://example.com"},
        BannerCase{"NoAddress", {"Build_UseBanner=1"}, "pictures/picture.jpg", true, nullptr},
        BannerCase{"NotWanted", {"Build_UseBanner=0"}, "pictures/picture.jpg", false, nullptr},
        BannerCase{"Unloadable", {"Build_UseBanner=1"}, "garbage", false, nullptr},
        BannerCase{"Missing", {"Build_UseBanner=1"}, nullptr, true, nullptr}),
    [](const ::testing::TestParamInfo<BannerCase>& info) { return std::string(info.param.label); });

TEST(PreviewLink, PoweredByOpensTheMakersHomePage) {
  AddressRecorder recorder;
  const TestSaver saver = MakeBareSaver("PreviewLink", "");
  HWND host = CreateTestWindow("preview host", 200, 160);
  ASSERT_NE(host, nullptr);
  EngineProcess engine;
  ASSERT_TRUE(
      engine.Start("/p " + std::to_string(reinterpret_cast<uintptr_t>(host)), saver.program));
  HWND preview = WaitForChildWindow(host, "TOtherPreviewForm");
  ASSERT_NE(preview, nullptr);
  Pump(500);
  HWND powered = FindControl(preview, "TLabel", "- Powered by FSaver");
  ASSERT_NE(powered, nullptr);
  Click(powered, POINT{10, 6});
  EXPECT_EQ(recorder.Wait(), kMakerHomePage);
  ::DestroyWindow(host);
  EXPECT_TRUE(engine.WaitExit(kExitWait).has_value());
}

}  // namespace
