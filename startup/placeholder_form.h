// A plain window carrying a form's class name and caption, for modes whose window class is
// not built yet, so that the mode still runs and can be found by other programs.
#pragma once

#include <memory>

#include "platform/window.h"

namespace flashsaver {

class PlaceholderForm : public Window {
 public:
  static std::unique_ptr<PlaceholderForm> Create(const WindowParams& params);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
};

}  // namespace flashsaver
