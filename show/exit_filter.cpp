#include "show/exit_filter.h"

namespace flashsaver {

ExitDecision ExitFilter::Decide(uint32_t message, uintptr_t wparam) {
  const ExitSettings& s = settings_;
  ExitDecision d;
  switch (message) {
    case kMsgKeyDown:
    case kMsgSysKeyDown:
      if (s.only_esc_key_exit) {
        d.request_exit = wparam == kVirtualKeyEscape;
      } else {
        // With no exit condition chosen at all a key must still end the show.
        const bool none_chosen = !s.mouse_move && !s.mouse_press && !s.keyboard_press;
        d.request_exit = s.show_cursor || s.keyboard_press || none_chosen;
      }
      break;
    case kMsgSysCommand:
      d.handled = wparam == kSysCommandScreenSave;
      break;
    case kMsgMouseMove:
      if (s.show_cursor || s.only_esc_key_exit || !s.mouse_move) break;
      if (allowance_ > 0) {
        --allowance_;
      } else {
        d.request_exit = true;
      }
      break;
    case kMsgLButtonDown:
    case kMsgRButtonDown:
      if (s.show_cursor || s.only_esc_key_exit || !s.mouse_press) break;
      d.request_exit = true;
      d.handled = true;
      break;
    default:
      break;
  }
  return d;
}

}  // namespace flashsaver
