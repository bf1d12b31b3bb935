// Which input ends the show. Every queued message of the program passes here before it is
// dispatched; the window turns the decision into an exit attempt.
#pragma once

#include <cstdint>

namespace flashsaver {

// The message numbers the filter looks at, as the system defines them.
inline constexpr uint32_t kMsgKeyDown = 0x0100;
inline constexpr uint32_t kMsgSysKeyDown = 0x0104;
inline constexpr uint32_t kMsgSysCommand = 0x0112;
inline constexpr uint32_t kMsgMouseMove = 0x0200;
inline constexpr uint32_t kMsgLButtonDown = 0x0201;
inline constexpr uint32_t kMsgRButtonDown = 0x0204;
inline constexpr uintptr_t kSysCommandScreenSave = 0xF140;
inline constexpr uintptr_t kVirtualKeyEscape = 27;

// Mouse-move messages tolerated between two refills of the allowance.
inline constexpr int32_t kMouseMoveAllowance = 20;

struct ExitSettings {
  bool mouse_move = false;
  bool mouse_press = true;
  bool keyboard_press = true;
  bool show_cursor = false;
  bool only_esc_key_exit = false;
};

struct ExitDecision {
  bool request_exit = false;
  // The message is dropped instead of dispatched.
  bool handled = false;
};

class ExitFilter {
 public:
  explicit ExitFilter(ExitSettings settings) : settings_(settings) {}

  // For a message taken from the queue while the show window is visible.
  ExitDecision Decide(uint32_t message, uintptr_t wparam);
  // The mouse timer's tick and every exit attempt.
  void RefillAllowance() { allowance_ = kMouseMoveAllowance; }
  int32_t allowance() const { return allowance_; }

 private:
  ExitSettings settings_;
  int32_t allowance_ = kMouseMoveAllowance;
};

}  // namespace flashsaver
