// The program's one message loop, with a hook that sees every queued message first.
#pragma once

#include <windows.h>

#include <functional>

namespace flashsaver {

class Window;

// Returns true to drop the message (it is neither translated nor dispatched).
using MessageHook = std::function<bool(MSG& message)>;

void SetMessageHook(MessageHook hook);

// Dispatches what is queued now, through the hook, and returns; long work on the one thread
// calls it so that timers and input keep being served. A WM_QUIT is put back for the loop.
void ProcessPendingMessages();

// Shows the main window and dispatches until it is destroyed. Returns at once without one.
void RunMessageLoop(Window* main_window);

}  // namespace flashsaver
