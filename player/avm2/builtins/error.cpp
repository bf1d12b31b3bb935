// Error and its subclasses.
#include "player/avm2/builtins/error.h"

#include <map>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {

std::string FormatErrorMessage(int id, std::initializer_list<std::string> args) {
  static const std::map<int, const char*> kMessages = {
      {1000, "The system is out of memory."},
      {1001, "The method %1 is not implemented."},
      {1006, "%1 is not a function."},
      {1007, "Instantiation attempted on a non-constructor."},
      {1009, "Cannot access a property or method of a null object reference."},
      {1010, "A term is undefined and has no properties."},
      {1011, "Method %1 contained illegal opcode %2 at offset %3."},
      {1016, "Descendants operator (..) not supported on type %1."},
      {1021, "At least one branch target was not on a valid instruction in the method."},
      {1023, "Stack overflow occurred."},
      {1026, "Slot %1 exceeds slotCount=%2 of %3."},
      {1034, "Type Coercion failed: cannot convert %1 to %2."},
      {1037, "Cannot assign to a method %1 on %2."},
      {1040, "The right-hand side of instanceof must be a class or function."},
      {1041, "The right-hand side of operator must be a class."},
      {1050, "Cannot convert %1 to primitive."},
      {1051, "Illegal early binding access to %1."},
      {1056, "Cannot create property %1 on %2."},
      {1063, "Argument count mismatch on %1. Expected %2, got %3."},
      {1064, "Cannot call method %1 as constructor."},
      {1065, "Variable %1 is not defined."},
      {1069, "Property %1 not found on %2 and there is no default value."},
      {1070, "Method %1 not found on %2"},
      {1074, "Illegal write to read-only property %1 on %2."},
      {1075, "Math is not a function."},
      {1077, "Illegal read of write-only property %1 on %2."},
      {1080, "Illegal value for namespace."},
      {1081, "Property %1 not found on %2 and there is no default value."},
      {1103, "Class %1 cannot extend final base class."},
      {1107, "The ABC data is corrupt, attempt to read out of bounds."},
      {1112, "Argument count mismatch on class coercion.  Expected 1, got %1."},
      {1115, "%1 is not a constructor."},
      {1129, "Cyclic structure cannot be converted to JSON string."},
      {1131, "Replacer argument to JSON stringifier must be an array or a two parameter function."},
      {1132, "Invalid JSON parse input."},
      {2012, "%1 class cannot be instantiated."},
      {1066, "The form function('function body') is not supported."},
      {1076, "Math is not a constructor."},
      {1120, "Cannot delete property %1 on %2."},
      {1052, "Invalid URI passed to %1 function."},
      {1004, "Method %1 was invoked on an incompatible object."},
      {1116, "second argument to Function.prototype.apply must be an array."},
      {2006, "The supplied index is out of bounds."},
      {2007, "Parameter %1 must be non-null."},
      {2025, "The supplied DisplayObject must be a child of the caller."},
      {2109, "Frame label %1 not found in scene %2."},
      // The display list's.
      {2008, "Parameter %1 must be one of the accepted values."},
      {2024, "An object cannot be added as a child of itself."},
      {2078, "The name property of a Timeline-placed object cannot be modified."},
      {2150,
       "An object cannot be added as a child to one of it's children (or children's children, "
       "etc.)."},
      {1128, "Incorrect number of type parameters for %1. Expected %2, got %3."},
      {1123, "Filter operator not supported on type %1."},
      {1125, "The index %1 is out of range %2."},
      {1126, "Cannot change the length of a fixed Vector."},
      {1127, "Type application attempted on a non-parameterized type."},
      {1502, "A script has executed for longer than the default timeout period of 15 seconds."},
      {1503, "A script failed to exit after 30 seconds and was terminated."},
      {1005, "Array index is not a positive integer (%1)."},
      {1002,
       "Number.toPrecision has a range of 1 to 21. Number.toFixed and Number.toExponential have a "
       "range of 0 to 20. Specified value is not within expected range."},
      {1003, "The radix argument must be between 2 and 36; got %1."},
      // ByteArray, AMF and domain memory.
      {1014, "Class %1 could not be found."},
      {1504, "End of file."},
      {1506, "The specified range is invalid."},
      {2004, "One of the parameters is invalid."},
      {2008, "Parameter %1 must be one of the accepted values."},
      {2030, "End of file was encountered."},
      {2058, "There was an error decompressing the data."},
      {2173,
       "Unable to read object in stream.  The class %1 does not implement "
       "flash.utils.IExternalizable but is aliased to an externalizable class."},
  };
  auto it = kMessages.find(id);
  std::string text = it != kMessages.end() ? it->second : "";
  std::vector<std::string> a(args);
  for (size_t i = a.size(); i-- > 0;) {
    std::string key = "%" + std::to_string(i + 1);
    for (size_t p = text.find(key); p != std::string::npos; p = text.find(key, p + a[i].size()))
      text.replace(p, key.size(), a[i]);
  }
  return "Error #" + std::to_string(id) + ": " + text;
}

namespace {

Object* CreateError(Vm& vm, ClassObject* cls) {
  (void)vm;
  return vm.heap().New<ErrorObject>(cls, cls->prototype);
}

Value ErrorConstruct(Vm& vm, const Value& self, std::span<const Value> args) {
  auto* e = dynamic_cast<ErrorObject*>(self.AsObject());
  if (!e) return Value();
  Object* o = e;
  const Traits* t = o->traits();
  auto set = [&](const char16_t* name, Value v) {
    if (const Trait* tr = t->FindQ(name, vm.public_ns())) o->slots()[tr->slot] = std::move(v);
  };
  set(u"message", args.empty() ? Value(Str()) : Value(vm.ToString(args[0])));
  e->error_id = args.size() > 1 ? vm.ToInt32(args[1]) : 0;
  for (ClassObject* k = o->cls(); k; k = k->super)
    if (k->native_class) {
      set(u"name", Value(k->name));
      break;
    }
  e->stack = vm.StackTrace();
  return Value();
}

// Error(x) called as a function makes an error as new Error(x) does.
Value ErrorCall(Vm& vm, const Value& self, std::span<const Value> args) {
  return vm.Construct(self, args);
}

Value ErrorToString(Vm& vm, const Value& self, std::span<const Value>) {
  Str name = vm.ToString(vm.GetProperty(self, "name"));
  Str msg = vm.ToString(vm.GetProperty(self, "message"));
  if (msg.empty()) return Value(name);
  return Value(Str(name.str() + u": " + msg.str()));
}

Value ErrorGetStackTrace(Vm& vm, const Value& self, std::span<const Value> a) {
  auto* e = dynamic_cast<ErrorObject*>(self.AsObject());
  Value s = ErrorToString(vm, self, a);
  if (!e) return Value::Null();
  return Value(Str(s.AsStr().str() + Utf8ToUtf16(e->stack)));
}

Value ErrorId(Vm&, const Value& self, std::span<const Value>) {
  auto* e = dynamic_cast<ErrorObject*>(self.AsObject());
  return Value(e ? e->error_id : int32_t{0});
}

Value ThrowErrorStatic(Vm& vm, const Value&, std::span<const Value> args) {
  (void)args;
  vm.ThrowError(ErrorType::kError, ArgInt(vm, args, 0));
}

NativeClass MakeErrorClass(const char* package, const char* name, const char* super) {
  NativeClass c;
  c.package = package;
  c.name = name;
  c.super_name = super;
  c.constructor = ErrorConstruct;
  c.constructor_length = 1;
  c.create = CreateError;
  c.call = ErrorCall;
  c.constructor_params = "String?,int?";
  // The core error classes declare a static length; those of flash.errors do not.
  if (!*package) c.statics = {Const("length", Value(int32_t{1}))};
  if (std::string_view(name) == "Error") {
    c.instance = {Slot("message", Value(Str())).Type("*"),
                  Slot("name", Value(Str(u"Error"))).Type("*"),
                  ProtoMethod("toString", ErrorToString),
                  Method("getStackTrace", ErrorGetStackTrace).Type("String"),
                  Getter("errorID", ErrorId).Type("int")};
    c.statics.push_back(Method("throwError", ThrowErrorStatic));
  }
  return c;
}

}  // namespace

std::span<const NativeClass* const> ErrorClasses() {
  static NativeClass classes[] = {
      MakeErrorClass("", "Error", "Object"),
      MakeErrorClass("", "ArgumentError", "Error"),
      MakeErrorClass("", "DefinitionError", "Error"),
      MakeErrorClass("", "EvalError", "Error"),
      MakeErrorClass("", "RangeError", "Error"),
      MakeErrorClass("", "ReferenceError", "Error"),
      MakeErrorClass("", "SecurityError", "Error"),
      MakeErrorClass("", "SyntaxError", "Error"),
      MakeErrorClass("", "TypeError", "Error"),
      MakeErrorClass("", "URIError", "Error"),
      MakeErrorClass("", "VerifyError", "Error"),
      MakeErrorClass("", "UninitializedError", "Error"),
      MakeErrorClass("flash.errors", "IOError", "Error"),
      MakeErrorClass("flash.errors", "EOFError", "flash.errors::IOError"),
      MakeErrorClass("flash.errors", "IllegalOperationError", "Error"),
      MakeErrorClass("flash.errors", "MemoryError", "Error"),
      MakeErrorClass("flash.errors", "StackOverflowError", "Error"),
      MakeErrorClass("flash.errors", "ScriptTimeoutError", "Error"),
      MakeErrorClass("flash.errors", "InvalidSWFError", "Error"),
  };
  static const NativeClass* ptrs[std::size(classes)];
  static bool init = false;
  if (!init) {
    init = true;
    for (size_t i = 0; i < std::size(classes); ++i) ptrs[i] = &classes[i];
  }
  return ptrs;
}

}  // namespace flashsaver::avm2
