// Global functions and the list of native classes.
#include <chrono>
#include <cmath>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/builtins/xml_class.h"
#include "player/avm2/builtins/regexp_class.h"
#include "player/avm2/display/bitmap_data_object.h"
#include "player/avm2/display/display_host.h"
#include "player/avm2/display/filter_objects.h"
#include "player/avm2/events/events.h"
#include "player/avm2/geom/geom.h"
#include "player/avm2/display/display_natives.h"
#include "player/avm2/number_text.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

// The debugger's log drops NUL characters and shows a lone surrogate as U+FFFD.
std::string TraceText(std::u16string_view s) {
  std::u16string clean;
  clean.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    if (c == 0) continue;
    bool high = c >= 0xD800 && c < 0xDC00, low = c >= 0xDC00 && c < 0xE000;
    if (high && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      clean += c;
      clean += s[++i];
      continue;
    }
    clean += high || low ? char16_t{0xFFFD} : c;
  }
  return Utf16ToUtf8(clean);
}

Value TraceFn(Vm& vm, const Value&, std::span<const Value> args) {
  std::string line;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i) line += ' ';
    line += TraceText(vm.ToString(args[i]).view());
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
// The text parameter is typed String: an undefined argument arrives as null, read as "null".
Str StringParam(Vm& vm, std::span<const Value> args) {
  if (args.empty()) return Str(u"undefined");
  return args[0].IsNullish() ? Str(u"null") : vm.ToString(args[0]);
}
Value ParseIntFn(Vm& vm, const Value&, std::span<const Value> args) {
  return Value(ParseInt(StringParam(vm, args).view(), ArgInt(vm, args, 1, 0)));
}
Value ParseFloatFn(Vm& vm, const Value&, std::span<const Value> args) {
  return Value(ParseFloat(StringParam(vm, args).view()));
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
// A class, function or constant by its qualified name: "pkg.Name", "pkg::Name" or "Name".
Value GetDefinitionByNameFn(Vm& vm, const Value&, std::span<const Value> args) {
  std::string name = ArgString(vm, args, 0).ToUtf8();
  if (ClassObject* c = vm.FindClass(name)) return Value(static_cast<Object*>(c));
  size_t sep = name.rfind("::");
  size_t skip = 2;
  if (sep == std::string::npos) {
    sep = name.rfind('.');
    skip = 1;
  }
  Name n;
  std::string package = sep == std::string::npos ? "" : name.substr(0, sep);
  n.local = Str::FromUtf8(sep == std::string::npos ? name : name.substr(sep + skip));
  n.set.push_back(vm.InternNs(NsKind::kPublic, Str::FromUtf8(package)));
  Value v;
  if (!n.local.empty() && vm.FindDefinition(n, v, nullptr)) return v;
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

void DefineGlobalFunction(Vm& vm, const char* package, const char* name, NativeFn fn, int length) {
  Define(vm, package, name, fn, length);
}

void InstallGlobalFunctions(Vm& vm) {
  Define(vm, "", "trace", TraceFn, 1);
  InstallDisplayFunctions(vm);
  InstallUriFunctions(vm);
  InstallUtilsFunctions(vm);
  Define(vm, "", "isNaN", IsNaNFn, 1);
  Define(vm, "", "isFinite", IsFiniteFn, 1);
  Define(vm, "", "parseInt", ParseIntFn, 2);
  Define(vm, "", "parseFloat", ParseFloatFn, 1);
  Define(vm, "", "isXMLName", IsXmlNameFn, 1);
  Define(vm, "flash.utils", "getTimer", GetTimerFn, 0);
  InstallByteArraySupport(vm);
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
        &XmlListClass(), &RegExpClass(), &JsonClass(),     &DictionaryClass()};
    for (const NativeClass* e : ErrorClasses()) l.push_back(e);
    for (const NativeClass* e : EventClasses()) l.push_back(e);
    for (const NativeClass* e : GeomClasses()) l.push_back(e);
    for (const NativeClass* e : DataInterfaces()) l.push_back(e);
    l.push_back(&ByteArrayClass());
    l.push_back(&ApplicationDomainClass());
    // flash.display.BitmapData and flash.filters.
    l.push_back(&BitmapDataClass());
    l.push_back(&BitmapDataChannelClass());
    for (const NativeClass* e : FilterClasses()) l.push_back(e);
    // flash.utils and its events, after the display classes they extend.
    for (const NativeClass* e :
         {&ProxyClass(), &TimerEventClass(), &TimerClass(), &XmlNodeClass(), &XmlDocumentClass(),
          &XmlNodeTypeClass(), &SystemClass(), &CapabilitiesClass(), &SecurityClass()})
      l.push_back(e);
    for (const NativeClass* e : DisplayListClasses()) l.push_back(e);
    return l;
  }();
  return list;
}

}  // namespace flashsaver::avm2
