// The native classes of the AS3 machine, each declared in its own file; install.cpp lists them
// in the order they are made (bases first).
#pragma once

#include "player/avm2/natives.h"

namespace flashsaver::avm2 {

class Vm;
enum class Op : uint8_t;

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
const NativeClass& JsonClass();
const NativeClass& DictionaryClass();
const NativeClass& VectorClass();
// Vector.<type> (type null for Vector.<*>), made once per type.
ClassObject* SpecializeVector(Vm& vm, ClassObject* generic, ClassObject* type);
// Array.sort and sortOn (array_sort.cpp).
Value ArraySort(Vm& vm, const Value& self, std::span<const Value> args);
Value ArraySortOn(Vm& vm, const Value& self, std::span<const Value> args);
const NativeClass& DateClass();
// Error and its subclasses, in ErrorType order after Error itself.
std::span<const NativeClass* const> ErrorClasses();

// The classes in the order Vm makes them.
std::span<const NativeClass* const> AllNativeClasses();
// Global functions (trace, isNaN, parseInt, flash.utils.getTimer...) on the builtin global.
void InstallGlobalFunctions(Vm& vm);
void InstallUriFunctions(Vm& vm);
// For a Dictionary and an object key, the name that key's entry lives under; else n unchanged.
void DictionaryKeyName(Vm& vm, const Value& obj, const Value& key, Name& n);
// flash.utils: Proxy, Timer (with flash.events.TimerEvent), the flash_proxy namespace and the
// timer functions.
const NativeClass& ProxyClass();
const NativeClass& TimerClass();
const NativeClass& TimerEventClass();
void InstallUtilsFunctions(Vm& vm);
void InstallDescribeType(Vm& vm);
// flash.xml: the ActionScript 2 style XML tree.
const NativeClass& XmlNodeClass();
const NativeClass& XmlDocumentClass();
const NativeClass& XmlNodeTypeClass();
// flash.system: System, Capabilities, Security; escapeMultiByte and unescapeMultiByte.
const NativeClass& SystemClass();
const NativeClass& CapabilitiesClass();
const NativeClass& SecurityClass();
void InstallSystemFunctions(Vm& vm);
// Security.sandboxType of a local movie: localWithNetwork when it asked for network access.
void SetSandboxType(Vm& vm, bool use_network);
// Hides the builtins a movie of this SWF version does not see (JSON came with SWF 13).
void ApplySwfVersionGates(Vm& vm, int swf_version);
void HideNumberMathStatics(Vm& vm);

// ByteArray, AMF, ApplicationDomain and domain memory (byte_array*.cpp, amf*.cpp,
// application_domain.cpp).
const NativeClass& ByteArrayClass();
const NativeClass& ApplicationDomainClass();
// The data interfaces (IDataInput...) and the constant classes (Endian, ObjectEncoding...).
std::span<const NativeClass* const> DataInterfaces();
void InstallByteArraySupport(Vm& vm);
void InstallDomainFunctions(Vm& vm);
// The domain-memory opcodes (li8...lf64, si8...sf64): RangeError #1506 outside the memory.
Value DomainMemoryLoad(Vm& vm, Op op, const Value& addr);
void DomainMemoryStore(Vm& vm, Op op, const Value& value, const Value& addr);
// A native function on the builtin global, found as package::name.
void DefineGlobalFunction(Vm& vm, const char* package, const char* name, NativeFn fn, int length);

}  // namespace flashsaver::avm2
