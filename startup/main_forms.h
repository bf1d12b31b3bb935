// One factory per mode's main window; each lives with its window class. A window that cannot
// be created raises WindowCreationError, which ends the run through start-up's error report.
#pragma once

#include <memory>

#include "platform/window.h"

namespace flashsaver {

// Show window (mode 3 and stand-alone runs).
std::unique_ptr<Window> CreateShowForm();
// Configuration dialog (modes 1 and 2).
std::unique_ptr<Window> CreateConfigForm();
// Which preview window mode 4 creates: true for the still picture, false for the name.
bool ChoosePreviewForm();
// Preview window inside ParamWindow, or top-level when ParamWindow is 0.
std::unique_ptr<Window> CreatePreviewForm(bool commerce);

}  // namespace flashsaver
