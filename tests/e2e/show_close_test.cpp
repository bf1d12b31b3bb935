// Nothing closes a running show around its exit path: Alt+F4, SC_CLOSE and WM_CLOSE from
// outside, with the test PASSWORD.CPL answering "cancel" first; only the end of the Windows
// session ends the show without the password.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "fixtures.h"
#include "show_harness.h"

using namespace e2e;

namespace {

constexpr DWORD kEndWait = 15000;
constexpr DWORD kSettle = 2000;

enum class Close { kAltF4, kSysCommand, kWindowMessage };

// As the system posts them: Alt+F4 is a system key with the Alt bit set, whose default handling
// posts SC_CLOSE to the top-level window, which in turn sends WM_CLOSE.
void Post(HWND window, Close how) {
  switch (how) {
    case Close::kAltF4:
      ::PostMessageA(window, WM_SYSKEYDOWN, VK_F4, (1 << 29) | (0x3E << 16) | 1);
      break;
    case Close::kSysCommand:
      ::PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    case Close::kWindowMessage:
      ::PostMessageA(window, WM_CLOSE, 0, 0);
      break;
  }
}

// Waits until the library has recorded count calls; the calls.
std::vector<std::string> WaitForCalls(const PasswordLibraries& libraries, size_t count) {
  std::vector<std::string> calls;
  const DWORD start = ::GetTickCount();
  while ((calls = libraries.Calls()).size() < count && ::GetTickCount() - start < kEndWait) {
    Pump(50);
  }
  return calls;
}

size_t FilesIn(const std::string& folder) {
  size_t count = 0;
  WIN32_FIND_DATAA data;
  HANDLE find = ::FindFirstFileA((folder + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++count;
  } while (::FindNextFileA(find, &data));
  ::FindClose(find);
  return count;
}

class ShowClose : public ::testing::Test {
 protected:
  void SetUp() override {
    UnregisterFlashComServer();
    SwfFile swf;
    swf.name = "loop.swf";
    swf.frames = 20;
    movie_ = WriteSwf(swf);
  }
  // The password fixtures of a test are gone by now, so that this close needs none.
  void TearDown() override {
    if (show_.Running()) {
      ::PostMessageA(show_.window(), WM_CLOSE, 0, 0);
      EXPECT_TRUE(show_.EndsWithin(kEndWait));
    }
  }
  void StartShow(const std::string& name, std::vector<std::string> set) {
    SaverSpec spec;
    spec.name = name;
    spec.set = std::move(set);
    spec.movies = {movie_};
    ASSERT_TRUE(show_.Start(BuildSaver(spec))) << show_.error();
    Pump(1500);  // playing
  }

  FixtureFolder folder_;
  std::string movie_;
  ShowRun show_;
};

struct CloseCase {
  const char* label;
  std::vector<std::string> set;
  Close how;
  bool asks;  // an exit attempt: the password decides; otherwise nothing happens at all
};

void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.label; }

class ShowCloseFromOutside : public ShowClose, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(ShowCloseFromOutside, EndsOnlyThroughThePassword) {
  const CloseCase& c = GetParam();
  PasswordLibraries libraries(folder_, true, false);
  ASSERT_TRUE(libraries.ok());
  libraries.Script("VerifyScreenSavePwd 0 1\n");
  auto password = ScreenSaveUsePassword::Dword(1);
  StartShow(std::string("close_") + c.label, c.set);

  Post(show_.window(), c.how);
  if (c.asks) {
    ASSERT_EQ(WaitForCalls(libraries, 1).size(), 1u);
  }
  EXPECT_FALSE(show_.EndsWithin(kSettle)) << "closed with the password cancelled";
  EXPECT_TRUE(::IsWindowVisible(show_.window()));
  if (!c.asks) {
    EXPECT_TRUE(libraries.Calls().empty());
    return;
  }
  Post(show_.window(), c.how);
  EXPECT_EQ(WaitForCalls(libraries, 2).size(), 2u);
  EXPECT_TRUE(show_.EndsWithin(kEndWait)) << "the right password did not end the show";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShowCloseFromOutside,
    ::testing::Values(CloseCase{"AltF4WhereKeysExit", {}, Close::kAltF4, true},
                      CloseCase{"AltF4WithoutKeyExit", {"KeyboardPress=0"}, Close::kAltF4, false},
                      CloseCase{
                          "AltF4WhenOnlyEscExits", {"OnlyEscKeyExit=1"}, Close::kAltF4, false},
                      CloseCase{"SysCommandClose", {}, Close::kSysCommand, false},
                      CloseCase{"WindowClose", {}, Close::kWindowMessage, true}),
    [](const ::testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.label); });

TEST_F(ShowClose, SessionEndEndsTheShowCleanlyWithoutThePassword) {
  PasswordLibraries libraries(folder_, true, false);
  ASSERT_TRUE(libraries.ok());
  libraries.Script("VerifyScreenSavePwd 0\n");
  auto password = ScreenSaveUsePassword::Dword(1);
  StartShow("close_session", {});
  ASSERT_GT(FilesIn(EngineTempFolder()), 0u) << "the movie was not unpacked";

  DWORD_PTR answer = 0;
  ASSERT_NE(::SendMessageTimeoutA(show_.window(), WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, kEndWait,
                                  &answer),
            0);
  EXPECT_EQ(answer, 1u) << "the show refused the end of the session";
  ASSERT_NE(
      ::SendMessageTimeoutA(show_.window(), WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, kEndWait, &answer),
      0);
  // The system may end the process now: the clean-up must be done already.
  EXPECT_EQ(FilesIn(EngineTempFolder()), 0u);
  EXPECT_EQ(show_.engine().WaitExit(kEndWait), std::optional<DWORD>(0));
  EXPECT_TRUE(libraries.Calls().empty());
}

// Covers belong to the show: Alt+F4 or WM_CLOSE on one leaves it in place. Needs two monitors
// (tests/e2e/two_monitors.sh runs TwoMonitors*); skips elsewhere.
class TwoMonitorsClose : public ShowClose {};

TEST_F(TwoMonitorsClose, CoverStaysThroughAltF4AndClose) {
  if (::GetSystemMetrics(SM_CMONITORS) < 2) GTEST_SKIP() << "one monitor here";
  StartShow("close_cover", {"FlashSameMonitor=1", "KeyboardPress=0"});
  const std::vector<HWND> covers = TopWindowsOf(show_.engine().pid(), "TMultiScreenForm");
  ASSERT_FALSE(covers.empty());
  Post(covers[0], Close::kAltF4);
  Post(covers[0], Close::kWindowMessage);
  Pump(kSettle);
  EXPECT_TRUE(::IsWindow(covers[0]));
  EXPECT_TRUE(show_.Running());
}

}  // namespace
