// One running method body: its registers, operand stack and scope stack. The Vm keeps a list of
// them for stack traces and as roots of the collector.
#pragma once

#include <span>
#include <vector>

#include "player/avm2/class.h"
#include "player/avm2/heap.h"

namespace flashsaver::avm2 {

struct Frame {
  MethodInfo* method = nullptr;
  std::vector<Value> locals;
  std::vector<Value> stack;
  std::vector<Value> scopes;  // the local scope stack; `with` scopes are flagged below
  std::vector<bool> with_scope;
  const std::vector<Value>* outer = nullptr;  // the closed-over scope chain
  Value self;
  void TraceRoots(Tracer& t) {
    t.Mark(locals);
    t.Mark(stack);
    t.Mark(scopes);
    t.Mark(self);
    if (outer) t.Mark(*outer);
  }
};

// Runs an ABC method body (the interpreter).
Value Execute(Vm& vm, MethodInfo* m, const Value& self, std::span<const Value> args,
              const std::vector<Value>* outer, FunctionObject* callee);

}  // namespace flashsaver::avm2
