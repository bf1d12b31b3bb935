#include "platform/message_loop.h"

#include <exception>
#include <utility>

#include "platform/error_report.h"
#include "platform/window.h"

namespace flashsaver {
namespace {

MessageHook& Hook() {
  static MessageHook hook;
  return hook;
}

bool HookDrops(MSG& msg) {
  MessageHook& hook = Hook();
  if (!hook) return false;
  try {
    return hook(msg);
  } catch (const std::exception& e) {
    ReportHandlerError(e);
    return false;
  }
}

}  // namespace

void SetMessageHook(MessageHook hook) { Hook() = std::move(hook); }

void ProcessPendingMessages() {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (HookDrops(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
}

void RunMessageLoop(Window* main_window) {
  if (!main_window || !main_window->hwnd()) return;
  main_window->MakeMain();
  main_window->ShowAsMain();
  MSG msg;
  while (main_window->hwnd()) {
    const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    if (HookDrops(msg)) continue;
    if (main_window->WantsDialogNavigation() && main_window->hwnd() &&
        ::IsDialogMessageA(main_window->hwnd(), &msg)) {
      continue;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
}

}  // namespace flashsaver
