// The native classes of the AS3 machine, each declared in its own file; install.cpp lists them
// in the order they are made (bases first).
#pragma once

#include "player/avm2/natives.h"

namespace flashsaver::avm2 {

class Vm;

const NativeClass& ObjectClass();
const NativeClass& ClassClass();
const NativeClass& FunctionClass();
const NativeClass& NamespaceClass();
const NativeClass& QNameClass();
const NativeClass& BooleanClass();
const NativeClass& NumberClass();
const NativeClass& IntClass();
const NativeClass& UIntClass();
const NativeClass& StringClass();
const NativeClass& ArrayClass();
const NativeClass& MathClass();
// Error and its subclasses, in ErrorType order after Error itself.
std::span<const NativeClass* const> ErrorClasses();

// The classes in the order Vm makes them.
std::span<const NativeClass* const> AllNativeClasses();
// Global functions (trace, isNaN, parseInt, flash.utils.getTimer...) on the builtin global.
void InstallGlobalFunctions(Vm& vm);

}  // namespace flashsaver::avm2
