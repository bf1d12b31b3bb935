// Global functions and the list of native classes.
#include <chrono>
#include <cmath>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/builtins/xml_class.h"
#include "player/avm2/builtins/regexp_class.h"
#include "player/avm2/display/display_host.h"
#include "player/avm2/display/display_natives.h"
#include "player/avm2/number_text.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

Value TraceFn(Vm& vm, const Value&, std::span<const Value> args) {
  std::string line;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i) line += ' ';
    line += vm.ToString(args[i]).ToUtf8();
  }
  // A carriage return breaks the line as a newline does.
  std::string out;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '\r')
      out.push_back(line[i]);
    else if (i + 1 >= line.size() || line[i + 1] != '\n')
      out.push_back('\n');
  }
  vm.Trace(out);
  return Value();
}
Value IsNaNFn(Vm& vm, const Value&, std::span<const Value> args) {
  return Value(std::isnan(ArgNumber(vm, args, 0, NAN)));
}
Value IsFiniteFn(Vm& vm, const Value&, std::span<const Value> args) {
  return Value(std::isfinite(ArgNumber(vm, args, 0, NAN)));
}
Value ParseIntFn(Vm& vm, const Value&, std::span<const Value> args) {
  return Value(ParseInt(ArgString(vm, args, 0, Str(u"undefined")).view(), ArgInt(vm, args, 1, 0)));
}
Value ParseFloatFn(Vm& vm, const Value&, std::span<const Value> args) {
  return Value(ParseFloat(ArgString(vm, args, 0, Str(u"undefined")).view()));
}
Value GetTimerFn(Vm&, const Value&, std::span<const Value>) {
  static const auto start = std::chrono::steady_clock::now();
  return Value(static_cast<int32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - start)
                                        .count()));
}
std::string Qualified(Vm& vm, const Value& v) {
  if (auto* c = dynamic_cast<ClassObject*>(v.AsObject())) return c->qualified;
  ClassObject* c = vm.ClassOf(v);
  if (v.IsNull()) return "null";
  if (v.IsUndefined()) return "void";
  return c ? c->qualified : "Object";
}
Value GetQualifiedClassNameFn(Vm& vm, const Value&, std::span<const Value> args) {
  return Value(Str::FromUtf8(Qualified(vm, Arg(args, 0))));
}
Value GetQualifiedSuperclassNameFn(Vm& vm, const Value&, std::span<const Value> args) {
  Value v = Arg(args, 0);
  ClassObject* c = dynamic_cast<ClassObject*>(v.AsObject());
  if (!c) c = vm.ClassOf(v);
  if (!c || !c->super) return Value::Null();
  return Value(Str::FromUtf8(c->super->qualified));
}
Value GetDefinitionByNameFn(Vm& vm, const Value&, std::span<const Value> args) {
  std::string name = ArgString(vm, args, 0).ToUtf8();
  if (ClassObject* c = vm.FindClass(name)) return Value(static_cast<Object*>(c));
  vm.ThrowError(ErrorType::kReferenceError, 1065, {name});
}

void Define(Vm& vm, const char* package, const char* name, NativeFn fn, int length) {
  FunctionObject* f = vm.NewNativeFunction(fn, length, name);
  Str key = Str::FromUtf8(*package ? std::string(package) + "::" + name : std::string(name));
  vm.global()->dynamic().Set(key, Value(static_cast<Object*>(f)));
  vm.global()->dynamic().FindEntry(key.view())->enumerable = false;
  vm.RegisterBuiltinDefinition(package, name, key);
}

}  // namespace

void InstallGlobalFunctions(Vm& vm) {
  Define(vm, "", "trace", TraceFn, 1);
  InstallDisplayFunctions(vm);
  InstallUriFunctions(vm);
  Define(vm, "", "isNaN", IsNaNFn, 1);
  Define(vm, "", "isFinite", IsFiniteFn, 1);
  Define(vm, "", "parseInt", ParseIntFn, 2);
  Define(vm, "", "parseFloat", ParseFloatFn, 1);
  Define(vm, "", "isXMLName", IsXmlNameFn, 1);
  Define(vm, "flash.utils", "getTimer", GetTimerFn, 0);
  Define(vm, "flash.utils", "getQualifiedClassName", GetQualifiedClassNameFn, 1);
  Define(vm, "flash.utils", "getQualifiedSuperclassName", GetQualifiedSuperclassNameFn, 1);
  Define(vm, "flash.utils", "getDefinitionByName", GetDefinitionByNameFn, 1);
  // The player's own avmplus package has the same reflection functions.
  Define(vm, "avmplus", "getQualifiedClassName", GetQualifiedClassNameFn, 1);
  Define(vm, "avmplus", "getQualifiedSuperclassName", GetQualifiedSuperclassNameFn, 1);
  for (auto [name, v] : {std::pair<const char*, Value>{"NaN", Value(NAN)},
                         {"Infinity", Value(INFINITY)},
                         {"undefined", Value()}}) {
    Str key = Str::FromUtf8(name);
    vm.global()->dynamic().Set(key, v);
    vm.RegisterBuiltinDefinition("", name, key);
  }
}

std::span<const NativeClass* const> AllNativeClasses() {
  static std::vector<const NativeClass*> list = [] {
    std::vector<const NativeClass*> l = {
        &ObjectClass(),  &ClassClass(),  &FunctionClass(), &NamespaceClass(), &QNameClass(),
        &BooleanClass(), &NumberClass(), &IntClass(),      &UIntClass(),      &StringClass(),
        &ArrayClass(),   &MathClass(),   &VectorClass(),   &DateClass(),      &XmlClass(),
        &XmlListClass(), &RegExpClass(), &JsonClass(), &DictionaryClass()};
    for (const NativeClass* e : ErrorClasses()) l.push_back(e);
    for (const NativeClass* e : DisplayClasses()) l.push_back(e);
    for (const NativeClass* e : DisplayListClasses()) l.push_back(e);
    return l;
  }();
  return list;
}

}  // namespace flashsaver::avm2
