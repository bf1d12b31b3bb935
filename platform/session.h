// Process-level system calls of start-up: the single-instance lock, COM, the foreground.
#pragma once

#include <cstdint>

namespace flashsaver {

// Creates the named mutex without owning it. False when the name already exists, that is,
// another instance runs. The first instance keeps its handle until the process ends.
bool AcquireSingleInstance(const char* name);

// Single-threaded apartment for the main thread.
void InitializeCom();

uintptr_t CurrentForegroundWindow();
void GiveForegroundTo(uintptr_t window);

}  // namespace flashsaver
