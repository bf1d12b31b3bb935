// The state of one running action block or function call.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "player/avm1/object.h"
#include "player/avm1/value.h"

namespace flashsaver::avm1 {

struct Activation {
  std::shared_ptr<const std::vector<uint8_t>> owner;
  std::span<const uint8_t> code;
  size_t pc = 0;
  // Scope chain, outermost (the global object) first. with() and SetTarget add to its end.
  std::vector<Object*> scope;
  struct WithBlock {
    size_t start, end;
    size_t scope_index;
  };
  std::vector<WithBlock> withs;  // the last entries of scope belong to these
  int target_slot = -1;          // index in scope of the SetTarget clip, when one is set
  Object* locals = nullptr;      // the function's own variables, null in a frame script
  Object* this_obj = nullptr;
  Object* target = nullptr;     // the clip timeline actions address
  Object* base_clip = nullptr;  // the clip the block belongs to
  Object* super_home = nullptr;
  FunctionObject* callee = nullptr;
  std::vector<Value> registers = std::vector<Value>(4);
  std::shared_ptr<const std::vector<std::string>> constants;
  size_t stack_base = 0;  // the Vm's stack below this belongs to callers
  bool returned = false;
  Value return_value;
};

}  // namespace flashsaver::avm1
