// Which input ends the show: messages posted into the real engine's queue, one saver per
// combination of the exit settings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "show_harness.h"

using namespace e2e;

namespace {

constexpr DWORD kEndWait = 15000;
// Long enough for the engine to take every posted message from its queue.
constexpr DWORD kSettle = 1500;

struct Input {
  UINT message;
  WPARAM wparam;
  int count = 1;
};

const Input kKeyA{WM_KEYDOWN, 'A'};
const Input kSysKeyA{WM_SYSKEYDOWN, 'A'};
const Input kEscape{WM_KEYDOWN, VK_ESCAPE};
const Input kSysEscape{WM_SYSKEYDOWN, VK_ESCAPE};
const Input kKeyUp{WM_KEYUP, 'A'};
const Input kLeft{WM_LBUTTONDOWN, MK_LBUTTON};
const Input kRight{WM_RBUTTONDOWN, MK_RBUTTON};
const Input kMiddle{WM_MBUTTONDOWN, MK_MBUTTON};
const Input kLeftUp{WM_LBUTTONUP, 0};
const Input kWheel{WM_MOUSEWHEEL, static_cast<WPARAM>(WHEEL_DELTA) << 16};
const Input kMove{WM_MOUSEMOVE, 0};
const Input kActivate{WM_ACTIVATE, WA_INACTIVE};

struct ExitCase {
  const char* label;
  // Letters of the settings that are on: m MouseMove, p MousePress, k KeyboardPress,
  // c ShowCursor, e OnlyEscKeyExit.
  const char* on;
  std::vector<Input> harmless;  // posted first; the show must still run afterwards
  bool ends;                    // then: does `last` end it?
  Input last;
};

std::vector<std::string> SettingsFor(const std::string& on) {
  auto flag = [&](char letter) { return on.find(letter) != std::string::npos ? "1" : "0"; };
  return {std::string("MouseMove=") + flag('m'), std::string("MousePress=") + flag('p'),
          std::string("KeyboardPress=") + flag('k'), std::string("ShowCursor=") + flag('c'),
          std::string("OnlyEscKeyExit=") + flag('e')};
}

void Post(HWND window, const Input& input) {
  for (int i = 0; i < input.count; ++i) {
    ::PostMessageA(window, input.message, input.wparam, MAKELPARAM(100 + i, 100));
  }
}

class ShowExit : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ShowExit, EndsByTheExitSettings) {
  const ExitCase& c = GetParam();
  SaverSpec spec;
  spec.name = std::string("exit_") + c.label;
  spec.set = SettingsFor(c.on);
  const std::string saver = BuildSaver(spec);
  ASSERT_FALSE(saver.empty());
  // Nobody uses a password here: every exit attempt is allowed.
  ::RegDeleteKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "ScreenSaveUsePassword");

  ShowRun show;
  ASSERT_TRUE(show.Start(saver)) << show.error();
  // The system sends moves of its own while windows appear under the cursor; a refill of the
  // allowance (every 3 s) after that leaves the count to the test.
  if (std::string(c.on).find('m') != std::string::npos) Pump(3500);
  for (const Input& input : c.harmless) Post(show.window(), input);
  EXPECT_FALSE(show.EndsWithin(kSettle)) << "ended by input that must not end it";
  ASSERT_TRUE(show.Running());
  EXPECT_TRUE(::IsWindowVisible(show.window()));

  Post(show.window(), c.last);
  if (c.ends) {
    EXPECT_TRUE(show.EndsWithin(kEndWait)) << "the show went on";
  } else {
    EXPECT_FALSE(show.EndsWithin(kSettle)) << "the show ended";
    ::PostMessageA(show.window(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(show.EndsWithin(kEndWait));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShowExit,
    ::testing::Values(
        // Defaults: buttons and keys end it, moves do not.
        ExitCase{"DefaultsKey", "pk", {kMove, kMiddle, kLeftUp, kWheel, kKeyUp}, true, kKeyA},
        ExitCase{"DefaultsSysKey", "pk", {kActivate}, true, kSysKeyA},
        ExitCase{"DefaultsLeftButton", "pk", {{WM_MOUSEMOVE, 0, 30}}, true, kLeft},
        ExitCase{"DefaultsRightButton", "pk", {}, true, kRight},
        // Keys with KeyboardPress off.
        ExitCase{"MouseOnlyIgnoresKeys", "mp", {kKeyA, kSysKeyA, kEscape}, true, kLeft},
        ExitCase{"PressOnlyIgnoresKeys", "p", {kKeyA, kEscape}, false, kSysEscape},
        ExitCase{
            "NoConditionKeyStillEnds", "", {kLeft, kRight, {WM_MOUSEMOVE, 0, 30}}, true, kKeyA},
        // Only Escape.
        ExitCase{"EscapeOnly",
                 "mpke",
                 {kKeyA, kSysKeyA, kLeft, kRight, {WM_MOUSEMOVE, 0, 30}},
                 true,
                 kEscape},
        ExitCase{"EscapeOnlySysKey", "e", {kKeyA}, true, kSysEscape},
        // A visible cursor: the mouse never ends it, any key does.
        ExitCase{"CursorShownKeyEnds", "mpc", {kLeft, kRight, {WM_MOUSEMOVE, 0, 30}}, true, kKeyA},
        ExitCase{"CursorShownEscapeOnly", "mpkce", {kKeyA, kLeft}, true, kEscape},
        // Buttons with MousePress off.
        ExitCase{
            "KeysOnlyIgnoresButtons", "k", {kLeft, kRight, {WM_MOUSEMOVE, 0, 30}}, true, kKeyA},
        // Mouse moves: twenty between refills are tolerated, the twenty-first ends the show.
        ExitCase{"TwentyMovesDoNothing", "m", {{WM_MOUSEMOVE, 0, 20}}, false, kKeyUp},
        ExitCase{"TwentyFirstMoveEnds", "m", {kKeyA, kLeft}, true, {WM_MOUSEMOVE, 0, 21}}),
    [](const ::testing::TestParamInfo<ExitCase>& info) { return info.param.label; });

}  // namespace
