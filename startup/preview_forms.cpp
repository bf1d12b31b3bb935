// Preview windows of mode 4.
#include <windows.h>

#include "startup/main_forms.h"
#include "startup/placeholder_form.h"
#include "startup/run_state.h"

namespace flashsaver {

bool ChoosePreviewForm() { return false; }

std::unique_ptr<Window> CreatePreviewForm(bool commerce) {
  WindowParams p;
  p.class_name = commerce ? "TCommercePreviewForm" : "TOtherPreviewForm";
  p.caption = commerce ? "CommercePreviewForm" : "OtherPreviewForm";
  p.background = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  HWND parent = reinterpret_cast<HWND>(static_cast<intptr_t>(ParamWindow));
  RECT rect{};
  if (parent && ::GetClientRect(parent, &rect)) {
    p.parent = parent;
    p.style = WS_CHILD;
    p.x = 0;
    p.y = 0;
    p.width = rect.right - rect.left;
    p.height = rect.bottom - rect.top;
  } else {
    p.style = WS_OVERLAPPEDWINDOW;
    p.x = 360;
    p.y = 233;
    p.width = 517;
    p.height = 392;
  }
  return PlaceholderForm::Create(p);
}

}  // namespace flashsaver
