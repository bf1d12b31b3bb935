// Running action blocks and functions, runaway-script limits, timers and collection.
#include "player/avm1/vm.h"

#include <cmath>

#include "player/avm1/activation.h"
#include "player/avm1/builtins/builtins.h"

namespace flashsaver::avm1 {
namespace {

// DefineFunction2 flags.
constexpr uint16_t kPreloadThis = 0x0001;
constexpr uint16_t kSuppressThis = 0x0002;
constexpr uint16_t kPreloadArguments = 0x0004;
constexpr uint16_t kSuppressArguments = 0x0008;
constexpr uint16_t kPreloadSuper = 0x0010;
constexpr uint16_t kSuppressSuper = 0x0020;
constexpr uint16_t kPreloadRoot = 0x0040;
constexpr uint16_t kPreloadParent = 0x0080;
constexpr uint16_t kPreloadGlobal = 0x0100;

// Undoes a counter on every way out, exceptions included.
struct DepthGuard {
  int& depth;
  explicit DepthGuard(int& d) : depth(d) { ++depth; }
  ~DepthGuard() { --depth; }
};

}  // namespace

Vm::Vm(Host& host, int swf_version)
    : host_(host), swf_version_(swf_version), realm_(RealmIndex(swf_version)) {
  global_ = heap_.New<Object>();
  InstallBuiltins(*this);
}

void Vm::set_swf_version(int version) { SetVersion(version); }

void Vm::SetVersion(int version) {
  swf_version_ = version;
  SelectRealm(RealmIndex(version));
}

void Vm::SwapRealm(Realm& r) {
  std::swap(global_, r.global);
  std::swap(object_proto, r.object_proto);
  std::swap(function_proto, r.function_proto);
  std::swap(array_proto, r.array_proto);
  std::swap(string_proto, r.string_proto);
  std::swap(number_proto, r.number_proto);
  std::swap(boolean_proto, r.boolean_proto);
  std::swap(date_proto, r.date_proto);
  std::swap(error_proto, r.error_proto);
  std::swap(xml_node_proto, r.xml_node_proto);
  std::swap(xml_proto, r.xml_proto);
  std::swap(object_ctor, r.object_ctor);
  std::swap(array_ctor, r.array_ctor);
  std::swap(function_ctor, r.function_ctor);
}

void Vm::SelectRealm(int index) {
  if (index == realm_) return;
  SwapRealm(waiting_realm_);
  realm_ = index;
  if (global_) return;
  // The first code of the other kind of movie: its built-ins are made now.
  global_ = heap_.New<Object>();
  InstallBuiltins(*this);
  if (install_host_classes) install_host_classes();
}

Object* Vm::GlobalFor(int version) {
  const int index = RealmIndex(version);
  if (index == realm_) return global_;
  const int saved = swf_version_;
  SetVersion(version);
  Object* g = global_;
  SetVersion(saved);
  return g;
}

Vm::~Vm() = default;

Object* Vm::NewObject(Object* proto) {
  Object* o = heap_.New<Object>();
  o->Define("__proto__", proto ? proto : object_proto, prop_flag::kDontEnum);
  return o;
}

Object* Vm::NewArray(std::span<const Value> items) {
  Object* a = heap_.New<Object>(ObjectKind::kArray);
  a->Define("__proto__", array_proto, prop_flag::kDontEnum);
  for (size_t i = 0; i < items.size(); ++i) a->SetOwn(std::to_string(i), items[i], true);
  a->Define("length", static_cast<double>(items.size()),
            prop_flag::kDontEnum | prop_flag::kDontDelete);
  return a;
}

FunctionObject* Vm::NewNative(NativeFn fn, NativeFn construct) {
  auto* f = heap_.New<FunctionObject>();
  f->native = fn;
  f->native_construct = construct;
  f->Define("__proto__", function_proto, prop_flag::kDontEnum);
  return f;
}

FunctionObject* Vm::DefineMethod(Object* obj, std::string_view name, NativeFn fn, uint16_t flags) {
  FunctionObject* f = NewNative(fn);
  obj->Define(name, f, flags);
  return f;
}

FunctionObject* Vm::DefineClass(std::string_view name, NativeFn fn, NativeFn construct,
                                Object* proto, uint16_t flags) {
  FunctionObject* f = NewNative(fn, construct);
  f->Define("prototype", proto, prop_flag::kDontEnum | prop_flag::kDontDelete);
  proto->Define("constructor", f, prop_flag::kDontEnum);
  // Built-in constructors, unlike functions a script defines, hold their own constructor.
  if (function_ctor) f->Define("constructor", function_ctor, prop_flag::kDontEnum);
  global_->Define(name, f, flags);
  return f;
}

void Vm::CheckLimits() {
  auto elapsed = std::chrono::steady_clock::now() - block_start_;
  if (host_.ShouldAbortScripts()) throw ScriptAbort{AbortReason::kHostAbort};
  if (elapsed > std::chrono::duration<double>(limits_.timeout_seconds)) {
    throw ScriptAbort{AbortReason::kTimeout};
  }
}

void Vm::ReportUncaught(const Value& v) {
  // The debugger player's wording for a throw nobody caught (movieclip_onconstruct).
  host_.Trace("Warning: Uncaught exception, " + ToString(v));
}

bool Vm::RunActions(std::shared_ptr<const std::vector<uint8_t>> owner,
                    std::span<const uint8_t> code, Object* clip) {
  Activation act;
  act.owner = std::move(owner);
  act.code = code;
  act.scope = {global_, clip ? clip : host_.Level(0)};
  act.this_obj = clip;
  act.target = clip;
  act.base_clip = clip;
  bool top = depth_ == 0;
  act.stack_base = top ? 0 : stack_.size();
  int saved_version = swf_version_;
  if (top) block_start_ = std::chrono::steady_clock::now();
  activations_.push_back(&act);
  bool ok = true;
  try {
    DepthGuard guard(depth_);
    Execute(act, code.size(), 0);
  } catch (ScriptThrow& t) {
    SetVersion(saved_version);
    ReportUncaught(t.value);
    stack_.resize(act.stack_base);
  } catch (ScriptAbort&) {
    ok = false;
    if (!top) {
      activations_.pop_back();
      stack_.resize(act.stack_base);
      SetVersion(saved_version);
      throw;
    }
  }
  SetVersion(saved_version);
  activations_.pop_back();
  // What one top-level block leaves on the stack the next block of the same frame finds there
  // (stackscope); the host clears it when the frame's scripts are done.
  if (!top || !ok) stack_.resize(act.stack_base);
  return ok;
}

void Vm::ClearStack() {
  if (depth_ == 0) stack_.clear();
}

Value Vm::CallHandler(const Value& fn, Object* this_obj, std::span<const Value> args) {
  bool top = depth_ == 0;
  if (top) block_start_ = std::chrono::steady_clock::now();
  size_t base = stack_.size();
  int saved_version = swf_version_;
  try {
    return CallFunction(fn, this_obj, args);
  } catch (ScriptThrow& t) {
    SetVersion(saved_version);
    stack_.resize(base);
    ReportUncaught(t.value);
  } catch (ScriptAbort&) {
    SetVersion(saved_version);
    stack_.resize(base);
    if (!top) throw;
  }
  return Value();
}

Value Vm::CallMethodIfPresent(Object* obj, std::string_view name, std::span<const Value> args) {
  if (!obj) return Value();
  Value fn = GetMember(obj, name);
  if (!IsFunction(fn)) return Value();
  return CallHandler(fn, obj, args);
}

Value Vm::CallFunction(const Value& fn_v, Object* this_obj, std::span<const Value> args,
                       Object* super_home, bool method) {
  if (!IsFunction(fn_v)) return Value();
  auto* fn = static_cast<FunctionObject*>(fn_v.AsObject());
  if (depth_ >= limits_.max_recursion) throw ScriptAbort{AbortReason::kRecursion};
  if (fn->code) return RunFunction(fn, this_obj, args, super_home, method);
  if (!fn->native) {
    if (fn->native_construct) {
      DepthGuard guard(depth_);
      DepthGuard native(native_depth_);
      return fn->native_construct(*this, CallArgs{this_obj, args, fn, false});
    }
    return Value();
  }
  DepthGuard guard(depth_);
  DepthGuard native(native_depth_);
  return fn->native(*this, CallArgs{this_obj, args, fn, false});
}

Value Vm::RunFunction(FunctionObject* fn, Object* this_obj, std::span<const Value> args,
                      Object* super_home, bool method) {
  const FunctionCode& code = *fn->code;
  const int saved_version = swf_version_;
  // Whether a call closes over the scope that defined the function depends on the caller: from
  // SWF 6 code it does, and runs with the function's version and defining clip; from SWF 5 code
  // it does not: it runs on `this` when that is a clip (else the caller's target), with only
  // the global object and that clip in scope, under the caller's rules.
  const bool closure = saved_version >= 6;
  Activation* caller = current();
  Object* base_clip = fn->base_clip;
  int version = code.swf_version;
  if (!closure) {
    if (this_obj && this_obj->kind() == ObjectKind::kClip) {
      base_clip = this_obj;
    } else if (caller && caller->target) {
      base_clip = caller->target;
    }
    version = std::max(5, saved_version);
  }
  // The function's own built-ins from the start: its arguments array and a preloaded _global.
  SelectRealm(RealmIndex(version));
  Activation act;
  act.owner = code.owner;
  act.code = code.body;
  if (closure) {
    act.scope = fn->scope;
  } else {
    act.scope = {global_};
    if (base_clip) act.scope.push_back(base_clip);
  }
  act.locals = heap_.New<Object>();
  act.scope.push_back(act.locals);
  act.this_obj = this_obj;
  act.base_clip = base_clip;
  act.target = act.base_clip;
  act.callee = fn;
  act.constants = fn->constants;
  act.stack_base = stack_.size();
  if (!super_home && this_obj) super_home = this_obj->proto();
  act.super_home = super_home;
  act.registers.assign(code.is_function2 ? std::max<size_t>(code.register_count, 1) : 4, Value());

  Object* arguments = nullptr;
  bool want_arguments =
      !code.is_function2 || !(code.flags & kSuppressArguments) || (code.flags & kPreloadArguments);
  if (want_arguments) {
    arguments = NewArray(args);
    arguments->Define("callee", fn, prop_flag::kDontEnum);
    arguments->Define("caller", caller && caller->callee ? Value(caller->callee) : Value::Null(),
                      prop_flag::kDontEnum);
  }
  Object* super_obj = nullptr;
  if (this_obj &&
      (!code.is_function2 || !(code.flags & kSuppressSuper) || (code.flags & kPreloadSuper))) {
    Object* parent = super_home ? super_home->proto() : nullptr;
    super_obj = heap_.New<SuperObject>(this_obj, parent, method ? parent : super_home);
  }
  bool cs = version >= 7;
  if (code.is_function2) {
    size_t reg = 1;
    auto preload = [&](const Value& v) {
      if (reg < act.registers.size()) act.registers[reg] = v;
      ++reg;
    };
    // A suppressed `this` is not loaded, even when the preload flag is also set.
    if ((code.flags & kPreloadThis) && !(code.flags & kSuppressThis)) {
      preload(this_obj ? Value(this_obj) : Value());
    }
    if (code.flags & kPreloadArguments) preload(arguments);
    if (code.flags & kPreloadSuper) preload(super_obj);
    if (code.flags & kPreloadRoot) preload(ResolveTarget(base_clip, "_root"));
    // A clip without a parent (a root) preloads nothing for _parent: the next preload takes
    // its register.
    if (code.flags & kPreloadParent) {
      Object* parent = base_clip ? host_.Parent(base_clip) : nullptr;
      if (parent) preload(parent);
    }
    if (code.flags & kPreloadGlobal) preload(global_);
    // With `this` preloaded or suppressed, the name `this` still reads, but as the caller's.
    if (code.flags & (kPreloadThis | kSuppressThis)) {
      act.this_obj = caller ? (caller->this_obj ? caller->this_obj : caller->target) : nullptr;
    }
    if (!(code.flags & (kPreloadThis | kSuppressThis))) {
      act.locals->SetOwn("this", this_obj ? Value(this_obj) : Value(), cs);
    }
    if (!(code.flags & (kPreloadArguments | kSuppressArguments))) {
      act.locals->SetOwn("arguments", arguments, cs);
    }
    if (!(code.flags & (kPreloadSuper | kSuppressSuper)) && super_obj) {
      act.locals->SetOwn("super", super_obj, cs);
    }
    for (size_t i = 0; i < code.params.size(); ++i) {
      Value v = i < args.size() ? args[i] : Value();
      const auto& p = code.params[i];
      if (p.reg != 0) {
        if (p.reg < act.registers.size()) act.registers[p.reg] = v;
      } else {
        act.locals->SetOwn(p.name, v, cs);
      }
    }
  } else {
    act.locals->SetOwn("this", this_obj ? Value(this_obj) : Value(), cs);
    act.locals->SetOwn("arguments", arguments, cs);
    if (super_obj) act.locals->SetOwn("super", super_obj, cs);
    for (size_t i = 0; i < code.params.size(); ++i) {
      act.locals->SetOwn(code.params[i].name, i < args.size() ? args[i] : Value(), cs);
    }
  }

  SetVersion(version);
  activations_.push_back(&act);
  struct Restore {
    Vm& vm;
    int version;
    size_t base;
    ~Restore() {
      vm.activations_.pop_back();
      vm.stack_.resize(base);
      vm.SetVersion(version);
    }
  } restore{*this, saved_version, act.stack_base};
  DepthGuard guard(depth_);
  Execute(act, act.code.size(), 0);
  return act.return_value;
}

void Vm::ThrowError(std::string_view message) {
  Value arg{std::string(message)};
  Value err = Construct(GetMember(global_, "Error"), std::span<const Value>(&arg, 1));
  throw ScriptThrow{err};
}

void Vm::RunTimers() {
  double now = host_.Milliseconds();
  std::vector<int32_t> due;
  for (auto& [id, t] : timers) {
    if (t.next_ms <= now) due.push_back(id);
  }
  for (int32_t id : due) {
    auto it = timers.find(id);
    if (it == timers.end()) continue;
    Timer t = it->second;
    if (t.once) {
      timers.erase(it);
    } else {
      it->second.next_ms = now + std::max(t.interval_ms, 1.0);
    }
    if (!t.method.empty()) {
      Value fn = GetMember(t.this_obj, t.method);
      CallHandler(fn, t.this_obj, t.args);
    } else {
      CallHandler(t.fn, nullptr, t.args);
    }
  }
}

void Vm::MaybeCollect() {
  if (heap_.allocated_since_collect() > 20000) Collect();
}

size_t Vm::Collect() {
  return heap_.Collect([this](Tracer& tracer) {
    tracer.Mark(global_);
    for (const Value& v : stack_) tracer.Mark(v);
    for (Activation* act : activations_) {
      for (Object* o : act->scope) tracer.Mark(o);
      tracer.Mark(act->locals);
      tracer.Mark(act->this_obj);
      tracer.Mark(act->target);
      tracer.Mark(act->base_clip);
      tracer.Mark(act->super_home);
      tracer.Mark(act->callee);
      for (const Value& v : act->registers) tracer.Mark(v);
      tracer.Mark(act->return_value);
    }
    for (auto& [id, t] : timers) {
      tracer.Mark(t.fn);
      tracer.Mark(t.this_obj);
      for (const Value& v : t.args) tracer.Mark(v);
    }
    for (Object* o :
         {object_proto, function_proto, array_proto, string_proto, number_proto, boolean_proto,
          date_proto, error_proto, object_ctor, array_ctor, function_ctor}) {
      tracer.Mark(o);
    }
    const Realm& w = waiting_realm_;
    for (Object* o :
         {w.global, w.object_proto, w.function_proto, w.array_proto, w.string_proto, w.number_proto,
          w.boolean_proto, w.date_proto, w.error_proto, w.xml_node_proto, w.xml_proto,
          w.object_ctor, w.array_ctor, w.function_ctor}) {
      tracer.Mark(o);
    }
    if (host_roots) host_roots(tracer);
  });
}

}  // namespace flashsaver::avm1
