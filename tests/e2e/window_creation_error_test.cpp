// An error while a mode's main window is created ends the run through start-up's error report.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "harness.h"
#include "ui_driver.h"

using namespace e2e;

namespace {

constexpr DWORD kExitWait = 15000;

// A window argument that reads as a number is taken as the host without a test; a host that is
// no window makes the creation of the preview, a child of it, fail.
TEST(WindowCreationError, PreviewInAWindowThatIsGoneIsReportedAndEndsWithOne) {
  HWND gone = CreateTestWindow("gone host", 100, 80, false);
  ASSERT_NE(gone, nullptr);
  ::DestroyWindow(gone);
  ASSERT_FALSE(::IsWindow(gone));
  EngineProcess engine;
  ASSERT_TRUE(engine.Start("/p " + std::to_string(reinterpret_cast<uintptr_t>(gone))));
  HWND box = WaitForTopWindow(engine.pid(), "#32770");
  ASSERT_NE(box, nullptr) << "no error report";
  // The box is found as soon as it exists; its texts are in once it shows.
  EXPECT_TRUE(WaitUntil(5000, [&] { return ::IsWindowVisible(box) != FALSE; }));
  EXPECT_EQ(TextOf(box), "Application Error");
  const std::string text = ControlText(::GetDlgItem(box, 0xFFFF));
  EXPECT_EQ(text.rfind("Exception WindowCreationError in module FlashSaver.scr at ", 0), 0u)
      << text;
  EXPECT_NE(text.find("\nCannot create the window TOtherPreviewForm"), std::string::npos) << text;
  EXPECT_TRUE(TopWindowsOf(engine.pid(), "TOtherPreviewForm").empty());
  ::PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(engine.WaitExit(kExitWait), std::optional<DWORD>(1));
}

}  // namespace
