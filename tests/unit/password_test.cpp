// The password and running-state operations over a scripted system that records every call.
#include <gtest/gtest.h>

#include <ostream>

#include <stdexcept>
#include <string>
#include <vector>

#include "startup/password.h"
#include "startup/saver_system.h"

namespace flashsaver {
namespace {

class ScriptedSystem : public SaverSystem {
 public:
  std::optional<uint32_t> use_password;
  bool registry_throws = false;
  std::string system_directory = "C:\\windows\\system32";
  std::optional<bool> verify_answer = true;  // nothing: library or export missing
  std::optional<int32_t> change_answer = 0;  // nothing: library or export missing
  bool library_throws = false;
  std::vector<std::string> calls;

  std::optional<uint32_t> ReadScreenSaveUsePassword() override {
    calls.push_back("registry");
    if (registry_throws) throw std::runtime_error("registry");
    return use_password;
  }
  std::string SystemDirectory() override { return system_directory; }
  std::optional<bool> VerifyScreenSavePwd(const std::string& path, uintptr_t window) override {
    calls.push_back("verify " + path + " " + std::to_string(window));
    if (library_throws) throw std::runtime_error("library");
    return verify_answer;
  }
  std::optional<int32_t> PwdChangePasswordA(const std::string& path, const std::string& provider,
                                            uintptr_t window) override {
    calls.push_back("change " + path + " " + provider + " " + std::to_string(window));
    if (library_throws) throw std::runtime_error("library");
    return change_answer;
  }
  void ShowCursor(bool show) override { calls.push_back(show ? "cursor+" : "cursor-"); }
  void SetScreenSaverRunning(bool running) override {
    calls.push_back(running ? "running 1" : "running 0");
  }

  int CursorBalance() const {
    int n = 0;
    for (const auto& c : calls) n += c == "cursor+" ? 1 : c == "cursor-" ? -1 : 0;
    return n;
  }
};

using Calls = std::vector<std::string>;
const std::string kCpl = "verify C:\\windows\\system32\\PASSWORD.CPL 77";

struct VerifyCase {
  const char* label;
  std::optional<uint32_t> use_password;
  bool registry_throws;
  std::optional<bool> verify_answer;
  bool library_throws;
  bool cursor_hidden;
  bool expected;
  Calls expected_calls;
};

void PrintTo(const VerifyCase& c, std::ostream* os) { *os << c.label; }

class Verify : public ::testing::TestWithParam<VerifyCase> {};

TEST_P(Verify, AnswersAndPairsTheCursor) {
  const VerifyCase& c = GetParam();
  ScriptedSystem system;
  system.use_password = c.use_password;
  system.registry_throws = c.registry_throws;
  system.verify_answer = c.verify_answer;
  system.library_throws = c.library_throws;
  EXPECT_EQ(VerifySaverPassword(system, 0, 77, c.cursor_hidden), c.expected);
  EXPECT_EQ(system.calls, c.expected_calls);
  EXPECT_EQ(system.CursorBalance(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Verify,
    ::testing::Values(
        VerifyCase{"NoValue", std::nullopt, false, false, false, true, true, {"registry"}},
        VerifyCase{"Zero", 0u, false, false, false, true, true, {"registry"}},
        VerifyCase{"RegistryFails", 1u, true, false, false, true, true, {"registry"}},
        VerifyCase{"Accepted",
                   1u,
                   false,
                   true,
                   false,
                   true,
                   true,
                   {"registry", "cursor+", kCpl, "cursor-"}},
        VerifyCase{"Cancelled",
                   1u,
                   false,
                   false,
                   false,
                   true,
                   false,
                   {"registry", "cursor+", kCpl, "cursor-"}},
        VerifyCase{"AnyNonzeroValue",
                   0x80000000u,
                   false,
                   false,
                   false,
                   true,
                   false,
                   {"registry", "cursor+", kCpl, "cursor-"}},
        VerifyCase{"CursorVisibleNoCursorCalls",
                   1u,
                   false,
                   false,
                   false,
                   false,
                   false,
                   {"registry", kCpl}},
        VerifyCase{"NoLibraryOrExport",
                   1u,
                   false,
                   std::nullopt,
                   false,
                   true,
                   true,
                   {"registry", "cursor+", kCpl, "cursor-"}},
        VerifyCase{"LibraryFails",
                   1u,
                   false,
                   false,
                   true,
                   true,
                   true,
                   {"registry", "cursor+", kCpl, "cursor-"}}),
    [](const ::testing::TestParamInfo<VerifyCase>& info) { return info.param.label; });

TEST(Verify, RunWithACommandLineWindowSaysNoWithoutReading) {
  ScriptedSystem system;
  system.use_password = 0;
  EXPECT_FALSE(VerifySaverPassword(system, 4711, 77, true));
  EXPECT_TRUE(system.calls.empty());
}

TEST(Verify, EveryAttemptAsksAgain) {
  ScriptedSystem system;
  system.use_password = 1;
  system.verify_answer = false;
  EXPECT_FALSE(VerifySaverPassword(system, 0, 77, true));
  system.verify_answer = true;
  EXPECT_TRUE(VerifySaverPassword(system, 0, 77, true));
  EXPECT_EQ(system.calls.size(), 8u);
}

struct RunningCase {
  const char* label;
  int32_t param_window;
  bool leave;
  bool touch_cursor;
  Calls expected_calls;
};

void PrintTo(const RunningCase& c, std::ostream* os) { *os << c.label; }

class Running : public ::testing::TestWithParam<RunningCase> {};

TEST_P(Running, SetsTheStateAndTouchesTheCursorOnce) {
  const RunningCase& c = GetParam();
  ScriptedSystem system;
  SetSaverRunning(system, c.param_window, c.leave, c.touch_cursor);
  EXPECT_EQ(system.calls, c.expected_calls);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Running,
    ::testing::Values(RunningCase{"Enter", 0, false, false, {"running 1"}},
                      RunningCase{"EnterHidingCursor", 0, false, true, {"running 1", "cursor-"}},
                      RunningCase{"Leave", 0, true, false, {"running 0"}},
                      RunningCase{"LeaveShowingCursor", 0, true, true, {"running 0", "cursor+"}},
                      RunningCase{
                          "WindowRunNeverEnters", 4711, false, true, {"running 0", "cursor+"}},
                      RunningCase{"WindowRunLeaves", 4711, true, false, {"running 0"}}),
    [](const ::testing::TestParamInfo<RunningCase>& info) { return info.param.label; });

struct ChangeCase {
  const char* label;
  std::optional<int32_t> answer;
  bool throws;
  int32_t expected;
};

void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.label; }

class Change : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(Change, CallsTheSystemDialogOnceForTheWindow) {
  const ChangeCase& c = GetParam();
  ScriptedSystem system;
  system.change_answer = c.answer;
  system.library_throws = c.throws;
  EXPECT_EQ(ChangeSaverPassword(system, 4711), c.expected);
  EXPECT_EQ(system.calls, Calls{"change C:\\windows\\system32\\MPR.DLL SCRSAVE 4711"});
}

INSTANTIATE_TEST_SUITE_P(Cases, Change,
                         ::testing::Values(ChangeCase{"Answered", 5, false, 5},
                                           ChangeCase{"Missing", std::nullopt, false, -1},
                                           ChangeCase{"Fails", 3, true, -1}),
                         [](const ::testing::TestParamInfo<ChangeCase>& info) {
                           return info.param.label;
                         });

struct PathCase {
  const char* directory;
  const char* expected;
};

class LibraryPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(LibraryPath, JoinsWithOneBackslash) {
  EXPECT_EQ(SystemLibraryPath(GetParam().directory, "MPR.DLL"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LibraryPath,
    ::testing::Values(PathCase{"C:\\windows\\system32", "C:\\windows\\system32\\MPR.DLL"},
                      PathCase{"C:\\", "C:\\MPR.DLL"}, PathCase{"", "MPR.DLL"}));

}  // namespace
}  // namespace flashsaver
