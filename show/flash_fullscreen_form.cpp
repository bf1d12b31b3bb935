// The full-screen show window.
#include <windows.h>

#include "startup/main_forms.h"
#include "startup/placeholder_form.h"

namespace flashsaver {

std::unique_ptr<Window> CreateShowForm() {
  WindowParams p;
  p.class_name = "TFlashFullscreenForm";
  p.caption = "FlashFullscreenForm";
  p.style = WS_POPUP;
  p.ex_style = WS_EX_TOPMOST;
  p.x = 0;
  p.y = 0;
  p.width = ::GetSystemMetrics(SM_CXSCREEN);
  p.height = ::GetSystemMetrics(SM_CYSCREEN);
  p.background = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  return PlaceholderForm::Create(p);
}

}  // namespace flashsaver
