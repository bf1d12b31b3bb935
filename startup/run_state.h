// Process-wide values of a run, set once during start-up and read by every subsystem.
#pragma once

#include <cstdint>

namespace flashsaver {

inline int32_t RunMode = 1;
inline int32_t ParamWindow = 0;
// A window handle kept as an integer so that the portable core can hold it.
inline uintptr_t SavedForegroundWindow = 0;
inline bool StandAloneRun = false;

}  // namespace flashsaver
