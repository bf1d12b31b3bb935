// The system's monitor list.
#pragma once

#include <vector>

#include "show/monitor_layout.h"

namespace flashsaver {

// In the order the system enumerates them.
std::vector<ScreenRect> MonitorList();
// Height of the primary screen.
int32_t PrimaryScreenHeight();

}  // namespace flashsaver
