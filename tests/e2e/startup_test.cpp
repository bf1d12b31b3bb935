// Start-up and modes, with the real engine and real windows.
#include <gtest/gtest.h>

#include <string>

#include "harness.h"
#include "package/tail_record.h"
#include "saver_files.h"
#include "ui_driver.h"

using namespace e2e;

namespace {

constexpr DWORD kExitWait = 15000;

void CloseAndExpectExit(EngineProcess& engine, HWND window) {
  ::PostMessageA(window, WM_CLOSE, 0, 0);
  const auto code = engine.WaitExit(kExitWait);
  ASSERT_TRUE(code.has_value()) << "engine did not end after its window closed";
  EXPECT_EQ(*code, 0u);
}

// A gtest name from command-line arguments: "/C:4711" gives "slash_C_4711".
std::string TestName(const char* arguments) {
  std::string name;
  for (const char* p = arguments; *p; ++p) {
    const char c = *p;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      name += c;
    } else if (c == '/') {
      name += "slash_";
    } else if (c == '-') {
      name += "dash_";
    } else {
      name += '_';
    }
  }
  return name.empty() ? "none" : name;
}

TEST(StartUp, ErrorThatEscapesStartUpIsReportedAndEndsTheRunWithOne) {
  // A tail record whose settings archive is no archive.
  const std::string folder = FreshFolder("BrokenPackage");
  const std::string program = folder + "Broken.scr";
  ASSERT_TRUE(WriteFile(program, ReadWholeFile(EnginePath()) + flashsaver::PackageMarker() +
                                     "Broken.ini**not an archive"));
  EngineProcess engine;
  ASSERT_TRUE(engine.Start("/s", program));
  HWND box = WaitForTopWindow(engine.pid(), "#32770");
  ASSERT_NE(box, nullptr) << "no error report";
  // The box is found as soon as it exists; its caption and text follow a moment later.
  for (int i = 0; i < 100 && ControlText(::GetDlgItem(box, 0xFFFF)).empty(); ++i) ::Sleep(50);
  EXPECT_EQ(TextOf(box), "Application Error");
  const std::string text = ControlText(::GetDlgItem(box, 0xFFFF));
  EXPECT_EQ(text.rfind("Exception ", 0), 0u) << text;
  EXPECT_NE(text.find(" in module Broken.scr at "), std::string::npos) << text;
  EXPECT_TRUE(TopWindowsOf(engine.pid(), "TFlashFullscreenForm").empty());
  ::PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(engine.WaitExit(kExitWait), std::optional<DWORD>(1));
}

struct ModeCase {
  const char* arguments;
  const char* class_name;
  const char* caption;
};

class ModeWindow : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ModeWindow, OpensTheModesWindowAndEndsWhenItCloses) {
  const ModeCase& c = GetParam();
  EngineProcess engine;
  ASSERT_TRUE(engine.Start(c.arguments));
  HWND window = WaitForTopWindow(engine.pid(), c.class_name);
  ASSERT_NE(window, nullptr) << "no " << c.class_name << " for '" << c.arguments << "'";
  EXPECT_EQ(TextOf(window).rfind(c.caption, 0), 0u) << TextOf(window);
  // A window is found as soon as it exists; it shows once its content is filled in.
  EXPECT_TRUE(WaitUntil(5000, [&] { return ::IsWindowVisible(window) != FALSE; }));
  CloseAndExpectExit(engine, window);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, ModeWindow,
    ::testing::Values(ModeCase{"/s", "TFlashFullscreenForm", "FlashFullscreenForm"},
                      ModeCase{"/S", "TFlashFullscreenForm", "FlashFullscreenForm"},
                      ModeCase{"-s", "TFlashFullscreenForm", "FlashFullscreenForm"},
                      ModeCase{"/x", "TFlashFullscreenForm", "FlashFullscreenForm"},
                      ModeCase{"", "TDistributeConfigForm", "Flash Saver Setting"},
                      ModeCase{"/c", "TDistributeConfigForm", "Flash Saver Setting"},
                      ModeCase{"/C:4711", "TDistributeConfigForm", "Flash Saver Setting"},
                      ModeCase{"/p", "TDistributeConfigForm", "Flash Saver Setting"},
                      ModeCase{"/a", "TDistributeConfigForm", "Flash Saver Setting"},
                      ModeCase{"/p abc", "TOtherPreviewForm", "OtherPreviewForm"}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return TestName(info.param.arguments); });

TEST(Preview, TopLevelWhenTheWindowArgumentDoesNotRead) {
  EngineProcess engine;
  ASSERT_TRUE(engine.Start("/p abc"));
  HWND window = WaitForTopWindow(engine.pid(), "TOtherPreviewForm");
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(::GetParent(window), nullptr);
  EXPECT_EQ(::GetWindowLongA(window, GWL_STYLE) & WS_CHILD, 0);
  CloseAndExpectExit(engine, window);
}

TEST(Preview, PutsItsWindowInsideTheHostAndEndsWithIt) {
  HWND host = CreateTestWindow("preview host", 320, 260);
  ASSERT_NE(host, nullptr);
  EngineProcess engine;
  ASSERT_TRUE(engine.Start("/p " + std::to_string(reinterpret_cast<uintptr_t>(host))));
  HWND preview = WaitForChildWindow(host, "TOtherPreviewForm");
  ASSERT_NE(preview, nullptr) << "no preview inside the host window";
  EXPECT_TRUE(TopWindowsOf(engine.pid(), "TOtherPreviewForm").empty());
  Pump(300);
  EXPECT_TRUE(::IsWindowVisible(preview));

  ::DestroyWindow(host);
  const auto code = engine.WaitExit(3000);
  EXPECT_TRUE(code.has_value()) << "preview did not end with its host window";
}

TEST(Preview, HexadecimalWindowArgumentsNameTheHost) {
  HWND host = CreateTestWindow("preview host", 200, 150);
  ASSERT_NE(host, nullptr);
  char hex[32];
  std::snprintf(hex, sizeof(hex), "0x%llX",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(host)));
  EngineProcess engine;
  ASSERT_TRUE(engine.Start(std::string("/P ") + hex));
  EXPECT_NE(WaitForChildWindow(host, "TOtherPreviewForm"), nullptr);
  ::DestroyWindow(host);
  EXPECT_TRUE(engine.WaitExit(3000).has_value());
}

TEST(ChangePassword, UnreadableWindowEndsAtOnceWithoutAWindow) {
  EngineProcess engine;
  ASSERT_TRUE(engine.Start("/a abc"));
  bool saw_window = false;
  std::optional<DWORD> code;
  const DWORD start = ::GetTickCount();
  while (!(code = engine.WaitExit(50)) && ::GetTickCount() - start < kExitWait) {
    saw_window = saw_window || !TopWindowsOf(engine.pid(), nullptr).empty();
  }
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0u);
  EXPECT_FALSE(saw_window);
}

class SecondInstance : public ::testing::TestWithParam<const char*> {};

TEST_P(SecondInstance, EndsAtOnceWhileAnotherRuns) {
  EngineProcess first;
  ASSERT_TRUE(first.Start("/p abc"));
  HWND first_window = WaitForTopWindow(first.pid(), "TOtherPreviewForm");
  ASSERT_NE(first_window, nullptr);

  EngineProcess second;
  ASSERT_TRUE(second.Start(GetParam()));
  const auto code = second.WaitExit(kExitWait);
  ASSERT_TRUE(code.has_value()) << "second instance kept running";
  EXPECT_EQ(*code, 0u);
  EXPECT_TRUE(::IsWindow(first_window));
  CloseAndExpectExit(first, first_window);
}

INSTANTIATE_TEST_SUITE_P(AnySwitch, SecondInstance,
                         ::testing::Values("", "/s", "/c", "/p 4711", "/p abc", "/a 4711"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return TestName(info.param);
                         });

TEST(TempFolder, SecondInstanceLeavesTheRunningInstancesFilesAndTheFirstEmptiesIt) {
  EngineProcess first;
  ASSERT_TRUE(first.Start("/c"));
  HWND window = WaitForTopWindow(first.pid(), "TDistributeConfigForm");
  ASSERT_NE(window, nullptr);

  const std::string temp = EngineTempFolder();
  ASSERT_TRUE(FolderExists(temp + "tmp"));
  ASSERT_TRUE(WriteFile(temp + "movie.swf", "in use"));
  ASSERT_TRUE(WriteFile(temp + "tmp\\part.dat", "in use"));
  ASSERT_TRUE(WriteFile(temp + "locked.txt", "read-only"));
  ASSERT_TRUE(::SetFileAttributesA((temp + "locked.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(::CreateDirectoryA((temp + "keepdir").c_str(), nullptr) ||
              ::GetLastError() == ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(WriteFile(temp + "keepdir\\inner.dat", "not ours to empty"));

  EngineProcess second;
  ASSERT_TRUE(second.Start("/s"));
  ASSERT_TRUE(second.WaitExit(kExitWait).has_value());
  EXPECT_TRUE(FileExists(temp + "movie.swf"));
  EXPECT_TRUE(FileExists(temp + "tmp\\part.dat"));
  EXPECT_TRUE(FileExists(temp + "locked.txt"));

  CloseAndExpectExit(first, window);
  EXPECT_FALSE(FileExists(temp + "movie.swf"));
  EXPECT_FALSE(FileExists(temp + "tmp\\part.dat"));
  EXPECT_FALSE(FileExists(temp + "locked.txt"));
  EXPECT_TRUE(FolderExists(temp + "tmp"));
  EXPECT_TRUE(FileExists(temp + "keepdir\\inner.dat"));
  ::DeleteFileA((temp + "keepdir\\inner.dat").c_str());
  ::RemoveDirectoryA((temp + "keepdir").c_str());
}

TEST(Foreground, ShowRunGivesTheForegroundBack) {
  HWND mine = CreateTestWindow("was in front", 300, 200);
  ASSERT_NE(mine, nullptr);
  ::SetForegroundWindow(mine);
  Pump(200);
  ASSERT_EQ(::GetForegroundWindow(), mine);

  EngineProcess engine;
  ASSERT_TRUE(engine.Start("/s"));
  HWND show = WaitForTopWindow(engine.pid(), "TFlashFullscreenForm");
  ASSERT_NE(show, nullptr);
  // Something else takes the front meanwhile; only the engine can hand it back to "mine".
  HWND other = CreateTestWindow("came later", 200, 100);
  ::SetForegroundWindow(other);
  Pump(300);
  ASSERT_EQ(::GetForegroundWindow(), other);
  CloseAndExpectExit(engine, show);
  Pump(300);
  EXPECT_EQ(::GetForegroundWindow(), mine);
  ::DestroyWindow(other);
  ::DestroyWindow(mine);
}

}  // namespace
