#include "show/exit_filter.h"

#include <gtest/gtest.h>

#include <string>

namespace flashsaver {
namespace {

// Settings written as letters: m MouseMove, p MousePress, k KeyboardPress, c ShowCursor,
// e OnlyEscKeyExit.
ExitSettings Settings(const std::string& on) {
  ExitSettings s;
  s.mouse_move = on.find('m') != std::string::npos;
  s.mouse_press = on.find('p') != std::string::npos;
  s.keyboard_press = on.find('k') != std::string::npos;
  s.show_cursor = on.find('c') != std::string::npos;
  s.only_esc_key_exit = on.find('e') != std::string::npos;
  return s;
}

constexpr uintptr_t kKeyA = 'A';
constexpr uint32_t kMsgLButtonUp = 0x0202;
constexpr uint32_t kMsgMButtonDown = 0x0207;
constexpr uint32_t kMsgMouseWheel = 0x020A;
constexpr uint32_t kMsgKeyUp = 0x0101;
constexpr uint32_t kMsgActivate = 0x0006;
constexpr uintptr_t kSysCommandClose = 0xF060;

struct FilterCase {
  const char* settings;
  uint32_t message;
  uintptr_t wparam;
  bool exit;
  bool handled;
};

TEST(ExitFilter, DecidesEveryRowOfTheTable) {
  const FilterCase cases[] = {
      // Keys, Escape only.
      {"e", kMsgKeyDown, kVirtualKeyEscape, true, false},
      {"e", kMsgSysKeyDown, kVirtualKeyEscape, true, false},
      {"ek", kMsgKeyDown, kKeyA, false, false},
      {"ec", kMsgSysKeyDown, kKeyA, false, false},
      // Keys otherwise.
      {"k", kMsgKeyDown, kKeyA, true, false},
      {"pk", kMsgSysKeyDown, kKeyA, true, false},
      {"c", kMsgKeyDown, kKeyA, true, false},
      {"mc", kMsgKeyDown, kKeyA, true, false},
      {"", kMsgKeyDown, kKeyA, true, false},
      {"", kMsgSysKeyDown, kVirtualKeyEscape, true, false},
      {"m", kMsgKeyDown, kKeyA, false, false},
      {"p", kMsgKeyDown, kVirtualKeyEscape, false, false},
      {"mp", kMsgSysKeyDown, kKeyA, false, false},
      // The system's request to start a screen saver, and nothing else of its kind.
      {"", kMsgSysCommand, kSysCommandScreenSave, false, true},
      {"mpkce", kMsgSysCommand, kSysCommandScreenSave, false, true},
      {"", kMsgSysCommand, kSysCommandScreenSave + 1, false, false},
      {"", kMsgSysCommand, kSysCommandClose, false, false},
      // Mouse moves (the allowance is tested below).
      {"pk", kMsgMouseMove, 0, false, false},
      {"mc", kMsgMouseMove, 0, false, false},
      {"me", kMsgMouseMove, 0, false, false},
      // Left and right button presses.
      {"p", kMsgLButtonDown, 0, true, true},
      {"p", kMsgRButtonDown, 0, true, true},
      {"mpk", kMsgLButtonDown, 0, true, true},
      {"k", kMsgLButtonDown, 0, false, false},
      {"pc", kMsgLButtonDown, 0, false, false},
      {"pe", kMsgRButtonDown, 0, false, false},
      // Other input never ends the show.
      {"mpk", kMsgLButtonUp, 0, false, false},
      {"mpk", kMsgMButtonDown, 0, false, false},
      {"mpk", kMsgMouseWheel, 0, false, false},
      {"mpk", kMsgKeyUp, kKeyA, false, false},
      {"mpk", kMsgActivate, 1, false, false},
  };
  for (const FilterCase& c : cases) {
    ExitFilter filter(Settings(c.settings));
    const ExitDecision d = filter.Decide(c.message, c.wparam);
    EXPECT_EQ(d.request_exit, c.exit) << "settings '" << c.settings << "' message " << std::hex
                                      << c.message << " wparam " << c.wparam;
    EXPECT_EQ(d.handled, c.handled) << "settings '" << c.settings << "' message " << std::hex
                                    << c.message << " wparam " << c.wparam;
  }
}

TEST(ExitFilter, TwentyMovesAreToleratedBetweenRefills) {
  ExitFilter filter(Settings("m"));
  for (int i = 0; i < kMouseMoveAllowance; ++i) {
    ASSERT_FALSE(filter.Decide(kMsgMouseMove, 0).request_exit) << "move " << i + 1;
  }
  EXPECT_EQ(filter.allowance(), 0);
  const ExitDecision d = filter.Decide(kMsgMouseMove, 0);
  EXPECT_TRUE(d.request_exit);
  EXPECT_FALSE(d.handled);
  // A move after a refused attempt still asks again until the allowance is refilled.
  EXPECT_TRUE(filter.Decide(kMsgMouseMove, 0).request_exit);

  filter.RefillAllowance();
  for (int i = 0; i < kMouseMoveAllowance; ++i) {
    ASSERT_FALSE(filter.Decide(kMsgMouseMove, 0).request_exit) << "after refill, move " << i + 1;
  }
  EXPECT_TRUE(filter.Decide(kMsgMouseMove, 0).request_exit);
}

TEST(ExitFilter, IgnoredMovesDoNotUseTheAllowance) {
  ExitFilter filter(Settings("mc"));
  for (int i = 0; i < 100; ++i) filter.Decide(kMsgMouseMove, 0);
  EXPECT_EQ(filter.allowance(), kMouseMoveAllowance);
}

}  // namespace
}  // namespace flashsaver
