// How a built-in (C++) class of the AS3 machine is declared.
//
// To add a class:
//  1. In its own file under player/avm2/builtins/ (or display/...), write its natives as
//     `Value Fn(Vm& vm, const Value& self, std::span<const Value> args)` and one
//     `const NativeClass& MyClass()` returning a static NativeClass filled in a lambda
//     (`static const NativeClass spec = [] { NativeClass c; c.name = ...; return c; }();`:
//     designated initialisers that skip members warn under -Wextra): package, name, super class
//     (qualified, "Object" by default), members (Method, Getter, Setter, Const, Slot; AS3Method
//     for methods that live both in the AS3 namespace and on the prototype, ProtoMethod for
//     prototype-only ones), statics, an optional constructor (runs as the instance initialiser,
//     `self` is the new object), an optional `call` (the class called as a function, e.g.
//     String(x)) and an optional `create` for instances with C++ storage (subclass BoxedObject).
//  2. Declare the function in builtins/builtins.h and add it to the list in builtins/install.cpp.
//     Classes are made in list order, so a base class comes before its subclasses.
//  3. Give methods with required parameters `.Needs(n)`: the call throws #1063 on fewer.
//     Read arguments with the Arg* helpers below; throw Flash errors with vm.ThrowError(
//     ErrorType::kTypeError, 1009) (the message is Flash's, filled from its arguments).
// builtins/math.cpp is the example to copy.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "player/avm2/class.h"
#include "player/avm2/value.h"

namespace flashsaver::avm2 {

// kImplements names an interface the class implements (qualified, in `name`): calls through
// the interface find the class's public methods.
enum class MemberKind : uint8_t { kMethod, kGetter, kSetter, kConst, kSlot, kImplements };

// Where a member is visible.
enum class MemberNs : uint8_t {
  kPublic,      // a public trait
  kAS3,         // a trait in the AS3 namespace and a function of the same name on the prototype
  kPrototype,   // only a (non-enumerable) function on the prototype
  kFlashProxy,  // flash.utils.flash_proxy
  kInternal,    // the class's package-internal namespace
  kInterface,   // an interface's own namespace ("flash.events:IEventDispatcher")
};

struct NativeMember {
  MemberKind kind = MemberKind::kMethod;
  const char* name = "";
  NativeFn fn = nullptr;
  int length = 0;  // declared parameters (Function.length) of a method
  Value value;     // a const's or slot's initial value
  MemberNs ns = MemberNs::kPublic;
  // Arguments a method cannot do without: fewer throw ArgumentError #1063 before it runs.
  int required = 0;
  // The declared type of a slot, const or accessor, or a method's return type (qualified, "*"
  // when null): stores into a slot coerce to it, and describeType shows it. A method's parameter
  // types, comma-separated, "?" marking optional ones ("String,int?").
  const char* type = nullptr;
  const char* params = nullptr;

  // `Method("abs", Abs, 1).Needs(1)`: the call checks the count, not the native.
  NativeMember Needs(int n) const {
    NativeMember m = *this;
    m.required = n;
    return m;
  }
  // `Getter("x", GetX).Type("Number")`, `Method("f", F, 2).Type("void").Params("String,int?")`.
  NativeMember Type(const char* t) const {
    NativeMember m = *this;
    m.type = t;
    return m;
  }
  NativeMember Params(const char* p) const {
    NativeMember m = *this;
    m.params = p;
    return m;
  }
  // `Slot("x", Value(0.0)).Typed("Number")`: the same as Type.
  NativeMember Typed(const char* t) const { return Type(t); }
};

inline NativeMember MakeMember(MemberKind kind, const char* name, NativeFn fn, int length, Value v,
                               MemberNs ns) {
  NativeMember m;
  m.kind = kind;
  m.name = name;
  m.fn = fn;
  m.length = length;
  m.value = std::move(v);
  m.ns = ns;
  return m;
}
inline NativeMember Method(const char* name, NativeFn fn, int length = 0) {
  return MakeMember(MemberKind::kMethod, name, fn, length, Value(), MemberNs::kPublic);
}
inline NativeMember AS3Method(const char* name, NativeFn fn, int length = 0) {
  return MakeMember(MemberKind::kMethod, name, fn, length, Value(), MemberNs::kAS3);
}
inline NativeMember ProtoMethod(const char* name, NativeFn fn, int length = 0) {
  return MakeMember(MemberKind::kMethod, name, fn, length, Value(), MemberNs::kPrototype);
}
inline NativeMember Getter(const char* name, NativeFn fn) {
  return MakeMember(MemberKind::kGetter, name, fn, 0, Value(), MemberNs::kPublic);
}
inline NativeMember Setter(const char* name, NativeFn fn) {
  return MakeMember(MemberKind::kSetter, name, fn, 1, Value(), MemberNs::kPublic);
}
inline NativeMember Const(const char* name, Value v) {
  return MakeMember(MemberKind::kConst, name, nullptr, 0, std::move(v), MemberNs::kPublic);
}
inline NativeMember Slot(const char* name, Value v) {
  return MakeMember(MemberKind::kSlot, name, nullptr, 0, std::move(v), MemberNs::kPublic);
}
inline NativeMember Implements(const char* interface_name) {
  return MakeMember(MemberKind::kImplements, interface_name, nullptr, 0, Value(),
                    MemberNs::kPublic);
}

namespace class_flag {
inline constexpr uint8_t kSealed = 0x01;  // not dynamic: no properties beyond its traits
inline constexpr uint8_t kFinal = 0x02;
inline constexpr uint8_t kInterface = 0x04;
}  // namespace class_flag

struct NativeClass {
  const char* package = "";  // "flash.utils"; "" for top-level classes
  const char* name = "";
  const char* super_name = "Object";  // qualified: "flash.events::EventDispatcher" or "Error"
  uint8_t flags = 0;                  // class_flag bits
  std::vector<NativeMember> instance;
  std::vector<NativeMember> statics;
  NativeFn constructor = nullptr;  // instance initialiser; self is the new object
  NativeFn call = nullptr;         // Class(x) called as a function (self: the class); null: coerce
  // Makes an instance with C++ storage; null: a plain object (or the base's create).
  Object* (*create)(Vm& vm, ClassObject* cls) = nullptr;
  int constructor_length = 0;  // the class's `length`
  // For describeType: the constructor's parameter types as NativeMember::params has them.
  const char* constructor_params = nullptr;
};

// Flash's error classes, for Vm::ThrowError.
enum class ErrorType : uint8_t {
  kError,
  kArgumentError,
  kDefinitionError,
  kEvalError,
  kRangeError,
  kReferenceError,
  kSecurityError,
  kSyntaxError,
  kTypeError,
  kURIError,
  kVerifyError,
  kUninitializedError,
  kIOError,
  kEOFError,
  kIllegalOperationError,
};

// Argument helpers: the argument at i, converted, or the default when it was not passed.
double ArgNumber(Vm& vm, std::span<const Value> args, size_t i, double def = 0);
int32_t ArgInt(Vm& vm, std::span<const Value> args, size_t i, int32_t def = 0);
uint32_t ArgUInt(Vm& vm, std::span<const Value> args, size_t i, uint32_t def = 0);
bool ArgBool(Vm& vm, std::span<const Value> args, size_t i, bool def = false);
Str ArgString(Vm& vm, std::span<const Value> args, size_t i, const Str& def = Str());
inline Value Arg(std::span<const Value> args, size_t i) {
  return i < args.size() ? args[i] : Value();
}
// The receiver as an instance of T (a native class's storage); TypeError #1034 otherwise.
template <typename T>
T* ThisAs(Vm& vm, const Value& self, const char* class_name);

}  // namespace flashsaver::avm2
