// The program's one message loop, with a hook that sees every queued message first.
#pragma once

#include <windows.h>

#include <functional>

namespace flashsaver {

class Window;

// Returns true to drop the message (it is neither translated nor dispatched).
using MessageHook = std::function<bool(MSG& message)>;

void SetMessageHook(MessageHook hook);

// Shows the main window and dispatches until it is destroyed. Returns at once without one.
void RunMessageLoop(Window* main_window);

}  // namespace flashsaver
