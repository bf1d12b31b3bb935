// Methods and classes: what a function value runs and what a class object knows about its
// instances (traits, prototype, constructor) and itself (static traits, cinit).
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <vector>

#include "player/avm2/instruction.h"
#include "player/avm2/object.h"

namespace flashsaver::avm2 {

class Vm;
struct AbcUnit;
struct AbcMethod;
struct AbcMethodBody;
struct NativeClass;

// A native function: `self` is the receiver (undefined for a plain call), args as given.
using NativeFn = Value (*)(Vm& vm, const Value& self, std::span<const Value> args);

// An instruction with what its last run learnt: for a property access by a fixed name, the trait
// that name found on objects with these traits (traits never change once built).
struct DecodedInstruction {
  Instruction ins;
  const Traits* traits = nullptr;
  const Trait* trait = nullptr;
  // findproperty and getlex: the position along the scope chain (innermost first) where the
  // name was found, the chain up to there having this signature; a position of the chain's
  // length means the definition `holder`. Valid while PropertyMap::Epoch() stays at `epoch`.
  uint64_t epoch = 0;
  uint64_t chain_signature = 0;
  uint32_t chain_position = 0;
  Object* holder = nullptr;
  bool static_name = false;  // a multiname operand without runtime parts
};

struct MethodInfo {
  AbcUnit* unit = nullptr;  // null for natives
  uint32_t index = 0;
  const AbcMethod* abc = nullptr;
  const AbcMethodBody* body = nullptr;
  NativeFn native = nullptr;
  int length = 0;               // a native's declared parameter count (Function.length)
  int required = 0;             // a native's arguments that must be passed (#1063 otherwise)
  std::string trace_name;       // as stack traces print it: "Test/foo", "global/bar", "Test$cinit"
  ClassObject* home = nullptr;  // the class that declares it as a trait (for super and scope)
  Object* global = nullptr;     // the script's global object, for script-level methods
  bool is_static = false;
  bool checked = false;  // verified before first run
  // The body's instructions, decoded on first run and kept: at[pc] is the one starting at pc
  // (null until reached). The list never moves what it holds, so a running frame keeps its
  // pointer while a nested call of the same method decodes more.
  std::vector<DecodedInstruction*> decoded_at;
  std::deque<DecodedInstruction> decoded;
};

class ClassObject : public Object {
 public:
  ClassObject(ClassObject* class_class, Object* proto)
      : Object(ObjectKind::kClass, class_class, proto) {}
  void Trace(Tracer& tracer) override;

  // True when this class is `other` or extends or implements it.
  bool IsSubclassOf(const ClassObject* other) const;

  Str name;
  Ns ns = nullptr;
  std::string qualified;  // "flash.display::Sprite", "Test" (getQualifiedClassName)
  ClassObject* super = nullptr;
  std::vector<ClassObject*> interfaces;  // implemented, with those of the bases
  // Interfaces named before their own newclass ran (a script may define them after their
  // users); found on the first type check that needs them.
  std::vector<Name> pending_interfaces;
  Traits instance_traits;
  Traits static_traits;
  Object* prototype = nullptr;
  MethodInfo* iinit = nullptr;
  MethodInfo* cinit = nullptr;
  const NativeClass* native = nullptr;  // the nearest native ancestor's declaration
  std::vector<Value> scope;             // the scope chain its methods run in (outermost first)
  Ns protected_ns = nullptr;
  bool is_interface = false;
  bool is_sealed = false;
  bool is_final = false;
  bool native_class = false;  // declared in C++ (not a script subclass of one)
  bool initialized = false;   // cinit has run
  // Vector.<T>: the generic class and its parameter (null for Vector.<*>).
  ClassObject* generic = nullptr;
  ClassObject* type_param = nullptr;
};

}  // namespace flashsaver::avm2
