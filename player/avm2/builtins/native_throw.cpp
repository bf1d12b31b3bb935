#include "player/avm2/builtins/native_throw.h"

#include "player/avm2/builtins/error.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {

void ThrowFromNative(Vm& vm, ErrorType type, int id, const std::string& text,
                     const std::string& native_frame) {
  Value e = vm.MakeErrorWithText(type, id, "Error #" + std::to_string(id) + ": " + text);
  if (auto* eo = dynamic_cast<ErrorObject*>(e.AsObject()))
    eo->stack = "\n\tat Error$/throwError()\n\tat " + native_frame + "()" + eo->stack;
  vm.Throw(e);
}

}  // namespace flashsaver::avm2
