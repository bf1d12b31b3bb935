#include "startup/placeholder_form.h"

namespace flashsaver {
namespace {
constexpr UINT_PTR kParentWatchTimer = 1;
}

std::unique_ptr<PlaceholderForm> PlaceholderForm::Create(const WindowParams& params) {
  auto form = std::make_unique<PlaceholderForm>();
  if (!form->CreateWindowFromParams(params)) return nullptr;
  // A child in another process's window is not always told when that window goes away.
  if (params.parent) ::SetTimer(form->hwnd(), kParentWatchTimer, 250, nullptr);
  return form;
}

LRESULT PlaceholderForm::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_TIMER && wparam == kParentWatchTimer) {
    HWND parent = ::GetParent(hwnd());
    if (!parent || !::IsWindow(parent)) ::DestroyWindow(hwnd());
    return 0;
  }
  return DefaultHandling(message, wparam, lparam);
}

}  // namespace flashsaver
