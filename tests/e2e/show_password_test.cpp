// Exit attempts that ask the system's screen-saver password, with the test PASSWORD.CPL in the
// private prefix's system directory answering from a script.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixtures.h"
#include "show_harness.h"

using namespace e2e;

namespace {

constexpr DWORD kEndWait = 15000;
constexpr DWORD kSettle = 2000;

// Waits for the library to have been called count times; the calls.
std::vector<std::string> WaitForCalls(const PasswordLibraries& libraries, size_t count) {
  const DWORD start = ::GetTickCount();
  std::vector<std::string> calls;
  while ((calls = libraries.Calls()).size() < count && ::GetTickCount() - start < kEndWait) {
    Pump(50);
  }
  return calls;
}

// A count field ("cursor=" at the call, "after=" when the prompt ends) of a recorded call.
int CursorCount(const std::string& call, const std::string& field = "cursor=") {
  const size_t at = call.find(field);
  return at == std::string::npos ? -1000 : std::stoi(call.substr(at + field.size()));
}

class ShowPassword : public ::testing::Test {
 protected:
  void SetUp() override {
    UnregisterFlashComServer();
    SwfFile swf;
    swf.name = "loop.swf";
    swf.frames = 20;
    movie_ = WriteSwf(swf);
  }
  void TearDown() override {
    if (show_.Running()) {
      ::PostMessageA(show_.window(), WM_CLOSE, 0, 0);
      EXPECT_TRUE(show_.EndsWithin(kEndWait));
    }
  }
  void StartShow(const std::string& name, std::vector<std::string> set = {}) {
    SaverSpec spec;
    spec.name = name;
    spec.set = std::move(set);
    spec.movies = {movie_};
    ASSERT_TRUE(show_.Start(BuildSaver(spec))) << show_.error();
    // Playing: the show has hidden the cursor by now.
    Pump(1500);
  }

  FixtureFolder folder_;
  std::string movie_;
  ShowRun show_;
};

TEST_F(ShowPassword, CancelKeepsTheShowAndTheNextAttemptAsksAgain) {
  PasswordLibraries libraries(folder_, true, false);
  ASSERT_TRUE(libraries.ok());
  // The prompt stays open for several playback ticks, which must not hide its cursor.
  libraries.Script("VerifyScreenSavePwd 0 1\nHoldMs 600\n");
  auto password = ScreenSaveUsePassword::Dword(1);
  StartShow("password_cancel");

  ::PostMessageA(show_.window(), WM_KEYDOWN, 'A', 0);
  std::vector<std::string> calls = WaitForCalls(libraries, 1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_NE(calls[0].find("window=" + std::to_string(reinterpret_cast<uintptr_t>(show_.window()))),
            std::string::npos)
      << calls[0];
  EXPECT_FALSE(show_.EndsWithin(kSettle)) << "a cancelled password ended the show";
  EXPECT_TRUE(::IsWindowVisible(show_.window()));

  // Some playing time between the attempts: the show hides the cursor again meanwhile.
  ::PostMessageA(show_.window(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
  calls = WaitForCalls(libraries, 2);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_TRUE(show_.EndsWithin(kEndWait)) << "the right password did not end the show";
  // The cursor is visible for the prompt, and each attempt finds the count where the last left it.
  EXPECT_GE(CursorCount(calls[0]), 0) << calls[0];
  EXPECT_EQ(CursorCount(calls[1]), CursorCount(calls[0])) << calls[0] << " / " << calls[1];
  for (const std::string& call : calls) {
    EXPECT_EQ(CursorCount(call, "after="), CursorCount(call)) << call;
  }
}

TEST_F(ShowPassword, VisibleCursorIsNotTouched) {
  PasswordLibraries libraries(folder_, true, false);
  ASSERT_TRUE(libraries.ok());
  libraries.Script("VerifyScreenSavePwd 0 1\n");
  auto password = ScreenSaveUsePassword::Dword(1);
  StartShow("password_cursor_shown", {"ShowCursor=1"});
  ::PostMessageA(show_.window(), WM_KEYDOWN, 'A', 0);
  ASSERT_EQ(WaitForCalls(libraries, 1).size(), 1u);
  Pump(500);
  ::PostMessageA(show_.window(), WM_KEYDOWN, 'B', 0);
  const std::vector<std::string> calls = WaitForCalls(libraries, 2);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_TRUE(show_.EndsWithin(kEndWait));
  EXPECT_EQ(CursorCount(calls[0]), 0) << calls[0];
  EXPECT_EQ(CursorCount(calls[1]), 0) << calls[1];
}

struct NoDialogCase {
  const char* label;
  int kind;  // 0 value absent, 1 value 0, 2 value as text, 3 value 1 without the library
};

class ShowPasswordNoDialog : public ShowPassword,
                             public ::testing::WithParamInterface<NoDialogCase> {};

TEST_P(ShowPasswordNoDialog, FirstAttemptEndsTheShow) {
  const NoDialogCase& c = GetParam();
  PasswordLibraries libraries(folder_, c.kind != 3, false);
  ASSERT_TRUE(libraries.ok());
  libraries.Script("VerifyScreenSavePwd 0\n");
  auto password = c.kind == 0   ? ScreenSaveUsePassword::Absent()
                  : c.kind == 1 ? ScreenSaveUsePassword::Dword(0)
                  : c.kind == 2 ? ScreenSaveUsePassword::Text("1")
                                : ScreenSaveUsePassword::Dword(1);
  StartShow(std::string("password_") + c.label);
  ::PostMessageA(show_.window(), WM_KEYDOWN, 'A', 0);
  EXPECT_TRUE(show_.EndsWithin(kEndWait));
  EXPECT_TRUE(libraries.Calls().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, ShowPasswordNoDialog,
                         ::testing::Values(NoDialogCase{"Absent", 0}, NoDialogCase{"Zero", 1},
                                           NoDialogCase{"Text", 2},
                                           NoDialogCase{"MissingLibrary", 3}),
                         [](const ::testing::TestParamInfo<NoDialogCase>& info) {
                           return info.param.label;
                         });

}  // namespace
