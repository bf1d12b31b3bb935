// The ActionScript 1/2 virtual machine: one per movie (its SWF version fixes the conversion
// rules). The host runs action blocks in the context of a clip; the Vm executes them
// (actions.cpp), converts and compares values (conversions.cpp), reads and writes members and
// variables (members.cpp) and owns the built-ins (builtins/).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>
#include <unordered_map>

#include "player/avm1/heap.h"
#include "player/avm1/host.h"
#include "player/avm1/object.h"
#include "player/avm1/value.h"

namespace flashsaver::avm1 {

// A value thrown by the script (ActionThrow) and not yet caught.
struct ScriptThrow {
  Value value;
};

enum class AbortReason { kRecursion, kTimeout, kHostAbort, kBadCode, kMemory };
// Stops the whole action block being run, as the player abandons a runaway script.
struct ScriptAbort {
  AbortReason reason;
};

// Bounds on what one script can hold, so that a push loop or a string-doubling loop ends
// (abandoned like a runaway script) long before it could exhaust memory. The player documents
// neither; these are far beyond what real movies use.
constexpr size_t kMaxStackValues = 1u << 20;
constexpr size_t kMaxStringBytes = 32u << 20;

// An array index: digits only, no leading zero, below 2^32 - 1.
bool ArrayIndex(std::string_view name, uint32_t& out);
// The element count an array's length number stands for.
uint32_t LengthOf(double length);

// From the ScriptLimits tag, or the player's defaults.
struct ScriptLimits {
  int max_recursion = 256;
  double timeout_seconds = 15;
};

// The super object of a function: this, the prototype from which super.name looks up the
// overridden members, and the one from which super() looks up __constructor__. Both are the
// parent of the method's holder in a method; a constructor seeks its parent constructor one
// level nearer, on its own class's prototype (as2_super_and_this_v8, super_edge_cases).
class SuperObject : public Object {
 public:
  SuperObject(Object* t, Object* h, Object* c)
      : Object(ObjectKind::kSuper), this_obj(t), home(h), constructor_home(c) {}
  Object* this_obj;
  Object* home;
  Object* constructor_home;
  void Trace(Tracer& tracer) override;
};

struct Activation;

class Vm {
 public:
  Vm(Host& host, int swf_version);
  ~Vm();
  Vm(const Vm&) = delete;
  Vm& operator=(const Vm&) = delete;

  Host& host() { return host_; }
  int swf_version() const { return swf_version_; }
  // The rules of the movie whose code runs next (a loaded movie may have another version).
  // Switches to the built-ins of that version too.
  void set_swf_version(int version);
  bool case_sensitive() const { return swf_version_ >= 7; }
  Object* global() { return global_; }
  void set_limits(const ScriptLimits& limits) { limits_ = limits; }
  const ScriptLimits& limits() const { return limits_; }

  // Runs an action block (DoAction, DoInitAction, clip or button actions) with `clip` as its
  // target and this. The bytes must stay alive while functions defined in them live: owner
  // keeps them. Returns false when the block was abandoned (limits, host abort, bad code);
  // an uncaught throw is reported through trace as the player's debugger does.
  bool RunActions(std::shared_ptr<const std::vector<uint8_t>> owner, std::span<const uint8_t> code,
                  Object* clip);
  // Empties the value stack between frames (top-level blocks share it within a frame).
  void ClearStack();
  // Calls a function value (script or native); an uncaught throw or abort is reported and
  // gives undefined. For event handlers and timers.
  Value CallHandler(const Value& fn, Object* this_obj, std::span<const Value> args);
  // Calls obj[name](args) if it is a function; for events like onEnterFrame.
  Value CallMethodIfPresent(Object* obj, std::string_view name, std::span<const Value> args);

  // Timers of setInterval / setTimeout that are due by the host clock.
  void RunTimers();
  // Collects when enough was allocated since the last collection. Safe between action blocks.
  void MaybeCollect();
  size_t Collect();
  size_t heap_size() const { return heap_.size(); }
  // Roots the host holds (clip objects, event listeners).
  std::function<void(Tracer&)> host_roots;
  // Installs the host's classes (MovieClip...) into the current _global; called for each set
  // of built-ins made after the first.
  std::function<void()> install_host_classes;

  // --- For the built-ins and the host ---
  template <typename T, typename... A>
  T* New(A&&... args) {
    T* o = heap_.New<T>(std::forward<A>(args)...);
    return o;
  }
  Object* NewObject(Object* proto = nullptr);  // proto null: Object.prototype
  Object* NewArray(std::span<const Value> items = {});
  FunctionObject* NewNative(NativeFn fn, NativeFn construct = nullptr);
  // Adds a native method to obj, DontEnum as built-ins are.
  FunctionObject* DefineMethod(Object* obj, std::string_view name, NativeFn fn,
                               uint16_t flags = prop_flag::kDontEnum);
  // A class: constructor function with a prototype object whose __proto__ is parent_proto.
  FunctionObject* DefineClass(std::string_view name, NativeFn fn, NativeFn construct, Object* proto,
                              uint16_t flags = prop_flag::kDontEnum);

  double ToNumber(const Value& v);
  std::string ToString(const Value& v);
  bool ToBool(const Value& v) const;
  // Boxes primitives; null and undefined give null.
  Object* ToObject(const Value& v);
  Value ScriptBoxingConstructor(const Value& v);
  Value CallConversion(Object* o, const char* name);
  int32_t ToInt(const Value& v) { return ToInt32(ToNumber(v)); }
  Value ToPrimitive(const Value& v, bool for_add);
  std::string TypeOf(const Value& v) const;
  bool IsFunction(const Value& v) const;
  bool StrictEquals(const Value& a, const Value& b) const;
  bool LooseEquals(const Value& a, const Value& b);
  // a < b: true, false or undefined (NaN involved).
  Value LessThan(const Value& a, const Value& b);
  Value Add(const Value& a, const Value& b);
  bool InstanceOf(const Value& v, Object* ctor);

  Value GetMember(Object* obj, std::string_view name);
  Value GetMemberOf(const Value& v, std::string_view name);  // boxes primitives
  void SetMember(Object* obj, std::string_view name, const Value& value);
  bool DeleteMember(Object* obj, std::string_view name);
  bool HasProperty(Object* obj, std::string_view name);
  // The object of the prototype chain of obj that holds name, or null.
  Object* FindHolder(Object* obj, std::string_view name);
  // super_home: the object holding the function (for constructors, the class's prototype);
  // this's prototype when null. A method call gives `method`, which moves super()'s start
  // to the holder's parent.
  Value CallFunction(const Value& fn, Object* this_obj, std::span<const Value> args,
                     Object* super_home = nullptr, bool method = false);
  Value CallMethod(const Value& obj, std::string_view name, std::span<const Value> args);
  Value Construct(const Value& ctor, std::span<const Value> args);
  // Names enumerated by for..in, in the player's order.
  std::vector<std::string> EnumerableNames(Object* obj);
  void ThrowError(std::string_view message);
  // For natives that loop long on their own (sorting): checks the limits every so often.
  void PollLimits() {
    if (++step_counter_ >= 2048) {
      step_counter_ = 0;
      CheckLimits();
    }
  }
  // Abandons the script when a string of `bytes` would pass kMaxStringBytes.
  void CheckStringSize(size_t bytes) const {
    if (bytes > kMaxStringBytes) throw ScriptAbort{AbortReason::kMemory};
  }

  // Array helpers working through length and index properties.
  uint32_t ArrayLength(Object* obj);
  void SetArrayLength(Object* obj, uint32_t length);
  // Removes the elements from index length up to old.
  void DropElements(Object* obj, uint32_t old, uint32_t length);
  Value GetIndex(Object* obj, uint32_t i) { return GetMember(obj, std::to_string(i)); }
  void SetIndex(Object* obj, uint32_t i, const Value& v) { SetMember(obj, std::to_string(i), v); }

  // Prototypes and constructors of the built-ins.
  Object* object_proto = nullptr;
  Object* function_proto = nullptr;
  Object* array_proto = nullptr;
  Object* string_proto = nullptr;
  Object* number_proto = nullptr;
  Object* boolean_proto = nullptr;
  Object* date_proto = nullptr;
  Object* error_proto = nullptr;
  Object* xml_node_proto = nullptr;
  Object* xml_proto = nullptr;
  Object* object_ctor = nullptr;
  Object* array_ctor = nullptr;
  Object* function_ctor = nullptr;
  // ASnative's numbers, found among the built-ins on first use (as_native.cpp).
  std::unordered_map<uint32_t, NativeFn> native_ids;

  // Movies of SWF 6 and older share one _global with its own built-in classes and
  // prototypes, later movies another (global_swf6_7_8, loadmovienum_cross_version_prototype):
  // the set in use is the one of the code that runs. The one above is in use; the other waits
  // here, made when first needed.
  struct Realm {
    Object* global = nullptr;
    Object* object_proto = nullptr;
    Object* function_proto = nullptr;
    Object* array_proto = nullptr;
    Object* string_proto = nullptr;
    Object* number_proto = nullptr;
    Object* boolean_proto = nullptr;
    Object* date_proto = nullptr;
    Object* error_proto = nullptr;
    Object* xml_node_proto = nullptr;
    Object* xml_proto = nullptr;
    Object* object_ctor = nullptr;
    Object* array_ctor = nullptr;
    Object* function_ctor = nullptr;
  };
  static int RealmIndex(int version) { return version >= 7 ? 1 : 0; }
  // The _global of a movie of that version, made when missing.
  Object* GlobalFor(int version);

  // Timers of setInterval / setTimeout.
  struct Timer {
    Value fn;
    Object* this_obj = nullptr;
    std::string method;  // setInterval(obj, "name", ms)
    std::vector<Value> args;
    double interval_ms = 0;
    double next_ms = 0;
    bool once = false;
  };
  std::map<int32_t, Timer> timers;
  int32_t next_timer_id = 1;

  // The action block being run, for natives that need the current target.
  Activation* current() { return activations_.empty() ? nullptr : activations_.back(); }
  Object* CurrentTarget();
  // Resolves a target path ("/a/b", "_root.a", "..", "a.b") from a clip; null when missing.
  Object* ResolveTarget(Object* from, std::string_view path);

 private:
  friend struct Interpreter;
  Value RunFunction(FunctionObject* fn, Object* this_obj, std::span<const Value> args,
                    Object* super_home, bool method);
  void Execute(Activation& act, size_t end, int try_depth);
  void CheckLimits();
  void SetVersion(int version);
  void SwapRealm(Realm& other);
  void SelectRealm(int index);
  void ReportUncaught(const Value& v);
  // Getter, setter and watcher calls of one property nest only kMaxPropertyNesting deep.
  class PropertyCall;
  int PropertyCallsUnderWay(const Property& p) const;
  Value GetVirtual(Property* p, Object* this_obj);
  void SetVirtual(Object* holder, Property* p, Object* this_obj, const Value& value);

  Host& host_;
  int swf_version_;
  ScriptLimits limits_;
  Heap heap_;
  Object* global_ = nullptr;
  Realm waiting_realm_;
  int realm_ = 0;
  std::vector<Activation*> activations_;
  std::vector<Value> stack_;
  int depth_ = 0;
  int native_depth_ = 0;
  std::unordered_map<uint32_t, int> property_calls_;  // by Property::serial
  uint32_t next_property_serial_ = 0;
  std::chrono::steady_clock::time_point block_start_;
  uint32_t step_counter_ = 0;
};

}  // namespace flashsaver::avm1
