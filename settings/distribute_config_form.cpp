// The configuration dialog.
#include <windows.h>

#include "startup/main_forms.h"
#include "startup/placeholder_form.h"

namespace flashsaver {

std::unique_ptr<Window> CreateConfigForm() {
  WindowParams p;
  p.class_name = "TDistributeConfigForm";
  p.caption = "Flash Saver Setting";
  p.style = WS_CAPTION | WS_SYSMENU;
  p.width = 509;
  p.height = 379;
  return PlaceholderForm::Create(p);
}

}  // namespace flashsaver
