// The AS3 machine: loads ABC files, runs their scripts, and gives natives the operations of the
// language (property access, calls, conversions, errors). One Vm per movie; nothing is shared.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "player/avm2/class.h"
#include "player/avm2/heap.h"
#include "player/avm2/natives.h"

namespace flashsaver::avm2 {

struct AbcFile;
struct AbcUnit;
struct Frame;

struct ScriptLimits {
  int max_recursion = 256;
  double timeout_seconds = 15;
  size_t max_stack = 1 << 20;    // values on the operand stacks of all frames
  size_t max_string = 1u << 28;  // UTF-16 units in one string
};

// A script throw travelling through C++: natives throw it (through Vm::Throw) and the
// interpreter catches it at each frame's exception table.
struct ScriptException {
  Value value;
  std::string stack;  // where a value that is not an Error was thrown ("\n\tat ..." lines)
};
// The script was abandoned (timeout, interrupt, stack overflow beyond recovery): not catchable.
struct ScriptAbort {
  std::string reason;
};

class DisplayHost;

class Vm {
 public:
  Vm();
  ~Vm();
  Vm(const Vm&) = delete;
  Vm& operator=(const Vm&) = delete;

  // ---- Running scripts -------------------------------------------------------------------
  // Loads an ABC file; runs its last script at once unless lazy (then on first reference to one
  // of its definitions). False (with a trace of the error) when the file cannot be read.
  bool LoadAbc(std::span<const uint8_t> bytes, bool lazy);
  // A class by qualified name ("flash.display::MovieClip" or "pkg.Name"); runs the script that
  // defines it if needed. Null when unknown.
  ClassObject* FindClass(std::string_view qualified);
  // Runs fn, reporting an uncaught error as the debugger player prints it. For entry points.
  Value RunGuarded(const std::function<Value()>& fn);
  void set_limits(const ScriptLimits& l) { limits_ = l; }
  const ScriptLimits& limits() const { return limits_; }
  // Where trace() lines go.
  std::function<void(std::string_view)> trace_output;
  // Polled while scripts run; true stops the running script as a runaway one.
  std::function<bool()> interrupt;
  // The player's side of the display classes; null when no movie runs (tests).
  class DisplayHost* display_host = nullptr;
  // The display list's side of flash.geom.Transform; null: Transforms keep their own values.
  class TransformHost* transform_host = nullptr;
  // Objects with listeners of broadcast events (enterFrame, frameConstructed, exitFrame,
  // render), in the order they were added.
  std::vector<Object*> enter_frame_targets;
  std::map<ClassObject*, ClassObject*> vector_classes;  // Vector.<T> by T
  int swf_version = 0;  // the movie's SWF version, for version-dependent rules (0: newest)
  Object* display_root = nullptr;   // the document class instance
  Object* display_stage = nullptr;  // the Stage
  // Roots the host holds (display objects, listeners).
  std::function<void(Tracer&)> host_roots;
  void Trace(std::string_view line);

  // ---- Values and conversions (may call script) -------------------------------------------
  Str ToString(const Value& v);
  double ToNumber(const Value& v);
  int32_t ToInt32(const Value& v) { return v.IsInt() ? v.AsInt() : DoubleToInt32(ToNumber(v)); }
  uint32_t ToUint32(const Value& v) { return DoubleToUint32(ToNumber(v)); }
  static bool ToBoolean(const Value& v);
  // hint: 0 none, 1 number, 2 string.
  Value ToPrimitive(const Value& v, int hint = 0);
  // typeof's answer.
  Str TypeOf(const Value& v);
  bool LooseEquals(const Value& a, const Value& b);
  // a < b by the abstract relational comparison: 1 true, 0 false, -1 undefined (NaN).
  int LessThan(const Value& a, const Value& b);
  // Coerces to a class type as a slot, parameter or return does: TypeError #1034 on failure.
  Value Coerce(const Value& v, ClassObject* type);
  bool IsType(const Value& v, ClassObject* type);
  // The class of a value (int for ints, String for strings...); null for null/undefined.
  ClassObject* ClassOf(const Value& v);
  // The object a property lookup on v starts from (the value or its class's prototype).
  Object* ProtoOf(const Value& v);

  // ---- Objects ----------------------------------------------------------------------------
  Object* NewObject();
  ArrayObject* NewArray(std::vector<Value> values = {});
  // An instance of a native class, constructed with args.
  Value Construct(const Value& ctor, std::span<const Value> args);
  Value Call(const Value& fn, const Value& self, std::span<const Value> args);
  FunctionObject* NewNativeFunction(NativeFn fn, int length, const char* name);
  // Public-name property access, as obj.name in script.
  Value GetProperty(const Value& obj, std::string_view name);
  void SetProperty(const Value& obj, std::string_view name, const Value& v);
  Value CallMethod(const Value& obj, std::string_view name, std::span<const Value> args);
  // Full lookups by Name, as the opcodes do them.
  Value GetProperty(const Value& obj, const Name& name);
  void SetProperty(const Value& obj, const Name& name, const Value& v, bool init = false);
  bool HasProperty(const Value& obj, const Name& name);
  bool DeleteProperty(const Value& obj, const Name& name);
  Value CallProperty(const Value& obj, const Name& name, std::span<const Value> args);
  Name PublicName(std::u16string_view local);
  Name PublicName(std::string_view local) { return PublicName(Utf8ToUtf16(local)); }
  // Index of a name that is an array index ("12"), or -1.
  static int64_t ArrayIndex(std::u16string_view s);
  // An array element; a hole reads through the prototype chain as any missing property does.
  Value ArrayElement(ArrayObject* a, uint32_t i);

  // ---- Errors -----------------------------------------------------------------------------
  // Throws a new error of the type with Flash's message for id ("Error #1009: ..."), its %1, %2
  // filled from args.
  [[noreturn]] void ThrowError(ErrorType type, int id,
                               std::initializer_list<std::string> args = {});
  [[noreturn]] void Throw(const Value& v);
  Value MakeError(ErrorType type, int id, std::initializer_list<std::string> args = {});
  // An error whose message is given whole ("Error #1021: ...").
  Value MakeErrorWithText(ErrorType type, int id, const std::string& message);
  // The error's stack trace as getStackTrace() gives it, made when the error is constructed.
  std::string StackTrace();
  // The name of a value's type as error messages print it ("Object", "flash.display::Sprite").
  std::string TypeNameForError(const Value& v);

  // ---- Namespaces -------------------------------------------------------------------------
  Ns InternNs(NsKind kind, const Str& uri);
  Ns NewPrivateNs(const Str& uri);
  Ns public_ns() const { return public_ns_; }
  Ns as3_ns() const { return as3_ns_; }
  Ns proxy_ns() const { return proxy_ns_; }

  // ---- Well-known classes -----------------------------------------------------------------
  struct Classes {
    ClassObject* object = nullptr;
    ClassObject* klass = nullptr;
    ClassObject* function = nullptr;
    ClassObject* boolean = nullptr;
    ClassObject* number = nullptr;
    ClassObject* int_ = nullptr;
    ClassObject* uint = nullptr;
    ClassObject* string = nullptr;
    ClassObject* array = nullptr;
    ClassObject* namespace_ = nullptr;
    ClassObject* qname = nullptr;
    ClassObject* error = nullptr;
    ClassObject* vector = nullptr;
  };
  const Classes& classes() const { return classes_; }
  Object* global() const { return builtin_global_; }

  Heap& heap() { return heap_; }
  size_t Collect();
  void MaybeCollect();

  // ---- Internals shared by the interpreter and loader -------------------------------------
  Value Invoke(MethodInfo* m, const Value& self, std::span<const Value> args,
               const std::vector<Value>* scope, FunctionObject* callee);
  void ConstructInto(ClassObject* cls, Object* obj, std::span<const Value> args);
  Object* CreateInstance(ClassObject* cls);
  FunctionObject* NewFunction(MethodInfo* m, const std::vector<Value>& scope);
  FunctionObject* BindMethod(MethodInfo* m, const Value& self);
  Object* FunctionPrototype(FunctionObject* f);
  ClassObject* DefineNativeClass(const NativeClass& spec);
  void InitClass(ClassObject* cls);
  // A definition (class, function, var) on some script's global, running its script if lazy.
  bool FindDefinition(const Name& name, Value& out, Object** holder);
  void RegisterDefinition(const Str& local, Ns ns, Object* global, AbcUnit* unit, uint32_t script);
  void EnsureScriptRun(AbcUnit* unit, uint32_t script);
  // A native definition (function or constant) stored on the builtin global under `key`.
  void RegisterBuiltinDefinition(std::string_view package, std::string_view name, const Str& key);
  // Hides a builtin from scripts (a class newer than the movie's SWF version).
  void UnregisterBuiltinDefinition(std::string_view package, std::string_view name);
  std::vector<Frame*>& frames() { return frames_; }
  // Counts an instruction; every 1024th looks at the clock and the interrupt.
  void CheckLimits() {
    if ((++poll_counter_ & 1023u) == 0) PollLimits();
  }
  void PollLimits();
  void SetSlot(Object* o, uint32_t slot, const Value& v);
  bool InstanceOf(const Value& v, const Value& type);
  Value ApplyType(const Value& base, std::span<const Value> params);
  // The class a type multiname names (Vector.<T> included); false when it is not defined.
  bool ResolveType(const AbcUnit& unit, uint32_t index, Value& out);
  bool ResolveTypeUncached(const AbcUnit& unit, uint32_t index, Value& out);
  // E4X hooks: the XML classes replace these.
  std::function<Value(Vm&, const Value&, const Name&)> descendants_hook;
  Value Descendants(const Value& obj, const Name& name);
  Value CheckFilter(const Value& v);
  Value EscapeXml(const Value& v, bool attribute);
  // Prints an uncaught error as the debugger player does: toString() then the stack.
  void ReportUncaught(const Value& error, const std::string& throw_stack = {});
  std::chrono::steady_clock::time_point deadline;
  int depth = 0;
  // ByteArray, AMF and domain memory state (builtins/byte_array*.cpp, amf*.cpp).
  struct BytesState {
    uint8_t default_object_encoding = 3;
    Object* domain_memory = nullptr;  // the ByteArray the li*/si* opcodes address
    std::vector<uint8_t> scratch_memory = std::vector<uint8_t>(1024);  // used while it is null
    std::map<std::u16string, ClassObject*> class_aliases;
  };
  BytesState bytes;
  // "pkg::Name" of every public definition the loaded ABC files' scripts make, in load order.
  std::vector<std::string> DefinitionNames() const;

 private:
  friend struct Interpreter;
  void InstallBuiltins();
  bool BuiltinDefinition(const Name& name, Value& out);
  const Trait* FindTrait(const Value& obj, const Name& name);
  ClassObject* BuiltinClass(std::string_view qualified);

  ScriptLimits limits_;
  Heap heap_;
  Classes classes_;
  Object* builtin_global_ = nullptr;
  Ns public_ns_ = nullptr;
  Ns as3_ns_ = nullptr;
  Ns proxy_ns_ = nullptr;
  std::map<std::pair<int, std::u16string>, std::unique_ptr<Namespace>> ns_table_;
  std::vector<std::unique_ptr<Namespace>> private_ns_;
  std::vector<std::unique_ptr<MethodInfo>> native_methods_;
  std::vector<std::unique_ptr<AbcUnit>> units_;
  struct Definition {
    Object* global;
    AbcUnit* unit;
    uint32_t script;
    Str key;  // builtins: the name on the builtin global
  };
  std::vector<std::unique_ptr<Traits>> script_traits_;
  std::map<std::pair<Ns, std::u16string>, Definition> definitions_;
  std::vector<Frame*> frames_;
  uint32_t poll_counter_ = 0;
  uint64_t definitions_version_ = 1;  // moves whenever a definition is made or removed
  std::vector<ClassObject*> error_classes_;
};

// True when cls or a base implements iface, directly or through the interfaces it extends.
bool Implements(Vm& vm, ClassObject* cls, ClassObject* iface);

template <typename T>
T* ThisAs(Vm& vm, const Value& self, const char* class_name) {
  if (auto* t = dynamic_cast<T*>(self.AsObject())) return t;
  vm.ThrowError(ErrorType::kTypeError, 1034, {vm.TypeNameForError(self), class_name});
}

}  // namespace flashsaver::avm2
