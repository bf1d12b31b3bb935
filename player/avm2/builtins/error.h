// Error objects: message, errorID and the stack trace taken when they are made.
#pragma once

#include <initializer_list>
#include <string>

#include "player/avm2/object.h"

namespace flashsaver::avm2 {

class ErrorObject : public BoxedObject {
 public:
  ErrorObject(ClassObject* cls, Object* proto) : BoxedObject(cls, proto) {}
  std::string stack;  // "\n\tat Class/method()" lines
  int32_t error_id = 0;
};

// Flash's text for an error number, "Error #1009: Cannot access ...", its %1.. filled in.
std::string FormatErrorMessage(int id, std::initializer_list<std::string> args);

}  // namespace flashsaver::avm2
