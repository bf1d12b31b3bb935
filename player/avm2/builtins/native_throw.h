// Errors that Flash raises from inside its own AS3-written classes: their stack traces show the
// Error.throwError call and the class's method above the script's frames.
#pragma once

#include <string>

#include "player/avm2/natives.h"

namespace flashsaver::avm2 {

class Vm;

// Throws an error of `type` whose message is "Error #id: text", with "at Error$/throwError()" and
// "at <native_frame>()" on top of the current stack.
[[noreturn]] void ThrowFromNative(Vm& vm, ErrorType type, int id, const std::string& text,
                                  const std::string& native_frame);

}  // namespace flashsaver::avm2
