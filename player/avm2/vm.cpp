#include "player/avm2/vm.h"

#include "player/avm2/abc_unit.h"
#include "player/avm2/builtins/builtins.h"
#include "player/avm2/frame.h"

namespace flashsaver::avm2 {

Vm::Vm() {
  public_ns_ = InternNs(NsKind::kPublic, Str());
  as3_ns_ = InternNs(NsKind::kPublic, Str(u"http://adobe.com/AS3/2006/builtin"));
  proxy_ns_ = InternNs(NsKind::kPublic, Str(u"http://www.adobe.com/2006/actionscript/flash/proxy"));
  deadline = std::chrono::steady_clock::now() + std::chrono::hours(24 * 365);
  InstallBuiltins();
}

Vm::~Vm() = default;

Ns Vm::InternNs(NsKind kind, const Str& uri) {
  auto key = std::make_pair(static_cast<int>(kind), uri.str());
  auto it = ns_table_.find(key);
  if (it != ns_table_.end()) return it->second.get();
  auto n = std::make_unique<Namespace>(Namespace{kind, uri});
  Ns p = n.get();
  ns_table_.emplace(std::move(key), std::move(n));
  return p;
}

Ns Vm::NewPrivateNs(const Str& uri) {
  private_ns_.push_back(std::make_unique<Namespace>(Namespace{NsKind::kPrivate, uri}));
  return private_ns_.back().get();
}

Name Vm::PublicName(std::u16string_view local) {
  Name n;
  n.local = Str(std::u16string(local));
  n.set.push_back(public_ns_);
  return n;
}

void Vm::Trace(std::string_view line) {
  if (trace_output) trace_output(line);
}

namespace {

MethodInfo* NativeMethod(std::vector<std::unique_ptr<MethodInfo>>& store, NativeFn fn, int length,
                         std::string name) {
  auto m = std::make_unique<MethodInfo>();
  m->native = fn;
  m->length = length;
  m->trace_name = std::move(name);
  store.push_back(std::move(m));
  return store.back().get();
}

}  // namespace

FunctionObject* Vm::NewNativeFunction(NativeFn fn, int length, const char* name) {
  MethodInfo* m = NativeMethod(native_methods_, fn, length, name);
  return NewFunction(m, {});
}

ClassObject* Vm::BuiltinClass(std::string_view qualified) {
  Name n;
  auto sep = qualified.rfind("::");
  if (sep == std::string_view::npos) {
    n.local = Str::FromUtf8(qualified);
    n.set.push_back(public_ns_);
  } else {
    n.local = Str::FromUtf8(qualified.substr(sep + 2));
    n.set.push_back(InternNs(NsKind::kPublic, Str::FromUtf8(qualified.substr(0, sep))));
  }
  auto it = definitions_.find({n.set[0], n.local.str()});
  if (it == definitions_.end() || it->second.unit) return nullptr;
  Value* v = builtin_global_->dynamic().Find(it->second.key.view());
  return v ? dynamic_cast<ClassObject*>(v->AsObject()) : nullptr;
}

ClassObject* Vm::DefineNativeClass(const NativeClass& spec) {
  ClassObject* super = nullptr;
  if (spec.super_name && *spec.super_name) super = BuiltinClass(spec.super_name);
  Object* class_proto = classes_.klass ? classes_.klass->prototype : nullptr;
  auto* cls = heap_.New<ClassObject>(classes_.klass, class_proto);
  Ns pkg = InternNs(NsKind::kPublic, Str::FromUtf8(spec.package));
  cls->name = Str::FromUtf8(spec.name);
  cls->ns = pkg;
  cls->qualified = *spec.package ? std::string(spec.package) + "::" + spec.name : spec.name;
  cls->super = super;
  cls->native = &spec;
  cls->native_class = true;

  cls->is_sealed = (spec.flags & class_flag::kSealed) != 0;
  cls->is_final = (spec.flags & class_flag::kFinal) != 0;
  cls->is_interface = (spec.flags & class_flag::kInterface) != 0;
  if (super) {
    cls->instance_traits = super->instance_traits;
    cls->interfaces = super->interfaces;
  }
  cls->prototype =
      heap_.New<Object>(ObjectKind::kPlain, classes_.object, super ? super->prototype : nullptr);
  Ns internal = InternNs(NsKind::kPackageInternal, pkg->uri);
  Ns own = InternNs(NsKind::kPublic, Str::FromUtf8(std::string(spec.package) + ":" + spec.name));
  auto add = [&](const std::vector<NativeMember>& members, Traits& traits, bool is_static) {
    for (const NativeMember& m : members) {
      if (m.kind == MemberKind::kImplements) continue;
      Str name = Str::FromUtf8(m.name);
      std::string trace = cls->qualified + (is_static ? "$/" : "/");
      Trait t;
      t.name = name;
      t.ns = m.ns == MemberNs::kAS3          ? as3_ns_
             : m.ns == MemberNs::kFlashProxy ? proxy_ns_
             : m.ns == MemberNs::kInternal   ? internal
             : m.ns == MemberNs::kInterface  ? own
                                             : public_ns_;
      if (m.ns == MemberNs::kAS3 && m.kind == MemberKind::kMethod)
        trace = cls->qualified + "/http://adobe.com/AS3/2006/builtin::";
      switch (m.kind) {
        case MemberKind::kMethod: {
          MethodInfo* mi = NativeMethod(native_methods_, m.fn, m.length, trace + m.name);
          mi->required = m.required;
          mi->home = cls;
          mi->is_static = is_static;
          if (m.ns == MemberNs::kAS3 || m.ns == MemberNs::kPrototype) {
            if (!is_static) {
              FunctionObject* f = NewFunction(mi, {});
              cls->prototype->dynamic().Set(name, Value(static_cast<Object*>(f)));
              cls->prototype->dynamic().FindEntry(name.view())->enumerable = false;
            }
            if (m.ns == MemberNs::kPrototype) continue;
          }
          t.type = TraitType::kMethod;
          t.method = mi;
          break;
        }
        case MemberKind::kGetter:
        case MemberKind::kSetter: {
          bool get = m.kind == MemberKind::kGetter;
          MethodInfo* mi = NativeMethod(native_methods_, m.fn, m.length,
                                        trace + (get ? "get " : "set ") + m.name);
          mi->home = cls;
          mi->is_static = is_static;
          t.type = TraitType::kAccessor;
          (get ? t.getter : t.setter) = mi;
          break;
        }
        case MemberKind::kConst:
        case MemberKind::kSlot: {
          t.type = m.kind == MemberKind::kConst ? TraitType::kConst : TraitType::kSlot;
          const Trait* old = traits.FindQ(name.view(), t.ns);
          t.slot = old ? old->slot : traits.slot_count++;
          if (traits.slot_defaults.size() < traits.slot_count)
            traits.slot_defaults.resize(traits.slot_count);
          traits.slot_defaults[t.slot] = m.value;
          if (m.type) t.type_class = BuiltinClass(m.type);
          break;
        }
        case MemberKind::kImplements:
          break;
      }
      // A static in the AS3 namespace answers public lookups too (class methods have no
      // prototype to carry the public function).
      if (is_static && m.ns == MemberNs::kAS3) {
        Trait pub = t;
        pub.ns = public_ns_;
        traits.Put(std::move(pub));
      }
      traits.Put(std::move(t));
    }
  };
  add(spec.instance, cls->instance_traits, false);
  for (const NativeMember& im : spec.instance) {
    if (im.kind != MemberKind::kImplements) continue;
    ClassObject* ic = BuiltinClass(im.name);
    if (!ic) continue;
    cls->interfaces.push_back(ic);
    // The interface's methods answer under its namespace too.
    for (const Trait& t : ic->instance_traits.list)
      if (const Trait* pub = cls->instance_traits.FindQ(t.name.view(), public_ns_)) {
        Trait copy = *pub;
        copy.ns = t.ns;
        cls->instance_traits.Put(copy);
      }
  }
  // A class object is an instance of Class: it has Class's members (prototype) too.
  if (classes_.klass && cls != classes_.klass) cls->static_traits = classes_.klass->instance_traits;
  add(spec.statics, cls->static_traits, true);
  cls->set_traits(&cls->static_traits);
  Str ctor_name = Str(u"constructor");
  cls->prototype->dynamic().Set(ctor_name, Value(static_cast<Object*>(cls)));
  cls->prototype->dynamic().FindEntry(ctor_name.view())->enumerable = false;
  if (spec.constructor) {
    cls->iinit =
        NativeMethod(native_methods_, spec.constructor, spec.constructor_length, cls->qualified);
    cls->iinit->home = cls;
  }
  cls->initialized = true;
  cls->scope.push_back(Value(static_cast<Object*>(builtin_global_)));
  // Every native class is a definition of the builtin global, found by qualified name.
  Str key = Str::FromUtf8(cls->qualified);
  builtin_global_->dynamic().Set(key, Value(static_cast<Object*>(cls)));
  builtin_global_->dynamic().FindEntry(key.view())->enumerable = false;
  definitions_[{pkg, cls->name.str()}] = Definition{builtin_global_, nullptr, 0, key};
  return cls;
}

void Vm::InstallBuiltins() {
  builtin_global_ = heap_.New<Object>(ObjectKind::kGlobal, nullptr, nullptr);
  for (const NativeClass* spec : AllNativeClasses()) {
    ClassObject* cls = DefineNativeClass(*spec);
    std::string_view q = cls->qualified;
    if (q == "Object") {
      classes_.object = cls;
      cls->prototype->set_cls(cls);
    } else if (q == "Class") {
      classes_.klass = cls;
      // Object was made before Class: give it Class's members now.
      for (const Trait& t : cls->instance_traits.list)
        if (classes_.object && !classes_.object->static_traits.FindQ(t.name.view(), t.ns))
          classes_.object->static_traits.Put(t);
    } else if (q == "Function") {
      classes_.function = cls;
      // The prototype functions made before Function existed become Functions now.
      for (ClassObject* made : {classes_.object, classes_.klass, cls}) {
        if (!made || !made->prototype) continue;
        for (auto& e : made->prototype->dynamic().entries())
          if (auto* f = dynamic_cast<FunctionObject*>(e.value.AsObject()); f && !f->cls()) {
            f->set_cls(cls);
            f->set_proto(cls->prototype);
            f->set_traits(&cls->instance_traits);
          }
      }
    } else if (q == "Boolean") {
      classes_.boolean = cls;
    } else if (q == "Number") {
      classes_.number = cls;
    } else if (q == "int") {
      classes_.int_ = cls;
    } else if (q == "uint") {
      classes_.uint = cls;
    } else if (q == "String") {
      classes_.string = cls;
    } else if (q == "Array") {
      classes_.array = cls;
    } else if (q == "Namespace") {
      classes_.namespace_ = cls;
    } else if (q == "QName") {
      classes_.qname = cls;
    } else if (q == "Error") {
      classes_.error = cls;
    } else if (q == "__AS3__.vec::Vector") {
      classes_.vector = cls;
    } else if (q == "Date") {
      // Date.prototype is itself a Date: its methods are fixed there (writes are #1037).
      cls->prototype->set_traits(&cls->instance_traits);
    }
  }
  // Object, Class and Function were made before Class existed: give them their class now.
  for (ClassObject* c : {classes_.object, classes_.klass, classes_.function}) {
    c->set_cls(classes_.klass);
    c->set_proto(classes_.klass->prototype);
  }
  // Functions made before Function existed get their class now.
  for (ClassObject* c : {classes_.object, classes_.klass}) {
    for (auto& e : c->prototype->dynamic().entries())
      if (auto* f = dynamic_cast<FunctionObject*>(e.value.AsObject()); f && !f->cls()) {
        f->set_cls(classes_.function);
        f->set_proto(classes_.function->prototype);
      }
  }
  // Array.prototype is itself an (empty) Array.
  {
    auto* p = heap_.New<ArrayObject>(classes_.array, classes_.object->prototype);
    p->dynamic() = classes_.array->prototype->dynamic();
    classes_.array->prototype = p;
  }
  builtin_global_->set_cls(classes_.object);
  builtin_global_->set_proto(classes_.object->prototype);
  for (ErrorType t :
       {ErrorType::kError, ErrorType::kArgumentError, ErrorType::kDefinitionError,
        ErrorType::kEvalError, ErrorType::kRangeError, ErrorType::kReferenceError,
        ErrorType::kSecurityError, ErrorType::kSyntaxError, ErrorType::kTypeError,
        ErrorType::kURIError, ErrorType::kVerifyError, ErrorType::kUninitializedError,
        ErrorType::kIOError, ErrorType::kEOFError, ErrorType::kIllegalOperationError}) {
    static const char* const kNames[] = {"Error",
                                         "ArgumentError",
                                         "DefinitionError",
                                         "EvalError",
                                         "RangeError",
                                         "ReferenceError",
                                         "SecurityError",
                                         "SyntaxError",
                                         "TypeError",
                                         "URIError",
                                         "VerifyError",
                                         "UninitializedError",
                                         "flash.errors::IOError",
                                         "flash.errors::EOFError",
                                         "flash.errors::IllegalOperationError"};
    error_classes_.push_back(BuiltinClass(kNames[static_cast<int>(t)]));
  }
  InstallGlobalFunctions(*this);
}

bool Vm::FindDefinition(const Name& name, Value& out, Object** holder) {
  auto try_ns = [&](Ns ns) -> bool {
    auto it = definitions_.find({ns, name.local.str()});
    if (it == definitions_.end()) return false;
    Definition d = it->second;
    if (d.unit) {
      EnsureScriptRun(d.unit, d.script);
      Name q;
      q.local = name.local;
      q.set.push_back(ns);
      out = GetProperty(Value(d.global), q);
    } else {
      Value* v = builtin_global_->dynamic().Find(d.key.view());
      out = v ? *v : Value();
    }
    if (holder) *holder = d.global;
    return true;
  };
  if (name.any_ns) {
    for (auto& [k, d] : definitions_)
      if (k.second == name.local.str()) return try_ns(k.first);
    return false;
  }
  for (Ns ns : name.set)
    if (try_ns(ns)) return true;
  return false;
}

void Vm::RegisterDefinition(const Str& local, Ns ns, Object* global, AbcUnit* unit,
                            uint32_t script) {
  // The first definition of a name wins, as in Flash's domain.
  PropertyMap::Touch();
  ++definitions_version_;
  definitions_.emplace(std::make_pair(ns, local.str()), Definition{global, unit, script, local});
}

void Vm::RegisterBuiltinDefinition(std::string_view package, std::string_view name,
                                   const Str& key) {
  Ns ns = InternNs(NsKind::kPublic, Str::FromUtf8(package));
  PropertyMap::Touch();
  ++definitions_version_;
  definitions_[{ns, Utf8ToUtf16(name)}] = Definition{builtin_global_, nullptr, 0, key};
}

void Vm::UnregisterBuiltinDefinition(std::string_view package, std::string_view name) {
  Ns ns = InternNs(NsKind::kPublic, Str::FromUtf8(package));
  auto it = definitions_.find({ns, Utf8ToUtf16(name)});
  PropertyMap::Touch();
  ++definitions_version_;
  if (it != definitions_.end() && !it->second.unit) definitions_.erase(it);
}

ClassObject* Vm::FindClass(std::string_view qualified) {
  Name n;
  auto sep = qualified.rfind("::");
  auto dot = qualified.rfind('.');
  std::string_view pkg, local = qualified;
  if (sep != std::string_view::npos) {
    pkg = qualified.substr(0, sep);
    local = qualified.substr(sep + 2);
  } else if (dot != std::string_view::npos) {
    pkg = qualified.substr(0, dot);
    local = qualified.substr(dot + 1);
  }
  n.local = Str::FromUtf8(local);
  n.set.push_back(InternNs(NsKind::kPublic, Str::FromUtf8(pkg)));
  Value v;
  if (!FindDefinition(n, v, nullptr)) return nullptr;
  return dynamic_cast<ClassObject*>(v.AsObject());
}

void Vm::EnsureScriptRun(AbcUnit* unit, uint32_t script) {
  if (unit->script_state[script] != 0) return;
  unit->script_state[script] = 1;
  Object* global = unit->script_globals[script];
  MethodInfo* init = unit->methods[unit->file.scripts[script].init].get();
  init->global = global;
  std::vector<Value> scope{Value(global)};
  Invoke(init, Value(global), {}, &scope, nullptr);
  unit->script_state[script] = 2;
}

bool Vm::LoadAbc(std::span<const uint8_t> bytes, bool lazy) {
  std::string error;
  std::unique_ptr<AbcUnit> unit = LoadUnit(*this, bytes, error);
  if (!unit) {
    Trace("VerifyError: Error #1107: The ABC data is corrupt, attempt to read out of bounds.");
    return false;
  }
  AbcUnit* u = unit.get();
  units_.push_back(std::move(unit));
  if (u->file.scripts.empty()) return true;
  for (uint32_t i = 0; i < u->file.scripts.size(); ++i) {
    const AbcScript& s = u->file.scripts[i];
    auto* global =
        heap_.New<Object>(ObjectKind::kGlobal, classes_.object, classes_.object->prototype);
    auto* traits = new Traits();  // owned by the unit's list below
    script_traits_.emplace_back(traits);
    BuildTraits(*this, *u, s.traits, *traits, nullptr, false);
    global->set_traits(traits);
    u->script_globals.push_back(global);
    MethodInfo* init = u->methods[s.init].get();
    init->global = global;
    init->trace_name = "global$init";
    for (const Trait& t : traits->list) {
      if (t.method) t.method->global = global;
      if (t.getter) t.getter->global = global;
      if (t.setter) t.setter->global = global;
      RegisterDefinition(t.name, t.ns, global, u, i);
    }
  }
  if (!lazy) {
    auto last = static_cast<uint32_t>(u->file.scripts.size() - 1);
    RunGuarded([&] {
      EnsureScriptRun(u, last);
      return Value();
    });
  }
  return true;
}

void Vm::PollLimits() {
  if (std::chrono::steady_clock::now() > deadline)
    ThrowError(ErrorType::kError, 1502,
               {std::to_string(static_cast<int>(limits_.timeout_seconds))});
  if (interrupt && interrupt()) throw ScriptAbort{"interrupted"};
}

Value Vm::RunGuarded(const std::function<Value()>& fn) {
  bool outer = frames_.empty() && depth == 0;
  if (outer)
    deadline = std::chrono::steady_clock::now() +
               std::chrono::milliseconds(static_cast<int64_t>(limits_.timeout_seconds * 1000));
  try {
    return fn();
  } catch (const ScriptException& e) {
    ReportUncaught(e.value, e.stack);
  } catch (const ScriptAbort&) {
  } catch (const std::exception&) {
    // A fault the checks missed (an index out of range): the script is abandoned, never the
    // player.
    Trace("VerifyError: Error #1107: The ABC data is corrupt, attempt to read out of bounds.");
  }
  return Value();
}

size_t Vm::Collect() {
  return heap_.Collect([this](Tracer& t) {
    t.Mark(builtin_global_);
    for (auto& u : units_) {
      for (ClassObject* c : u->classes) t.Mark(c);
      for (Object* g : u->script_globals) t.Mark(g);
    }
    for (Frame* f : frames_) f->TraceRoots(t);
    for (auto& m : native_methods_) t.Mark(m->global);
    for (Object* o : enter_frame_targets) t.Mark(o);
    t.Mark(display_root);
    for (auto& [k, c] : vector_classes) t.Mark(c);
    t.Mark(display_stage);
    t.Mark(bytes.domain_memory);
    for (auto& [k, c] : bytes.class_aliases) t.Mark(c);
    if (host_roots) host_roots(t);
  });
}

std::vector<std::string> Vm::DefinitionNames() const {
  std::vector<std::string> out;
  for (const auto& u : units_)
    for (const AbcScript& script : u->file.scripts)
      for (const AbcTrait& t : script.traits) {
        Name n = u->StaticName(t.name);
        if (n.set.size() != 1 || n.set[0]->kind != NsKind::kPublic) continue;
        std::string pkg = n.set[0]->uri.ToUtf8();
        out.push_back(pkg.empty() ? n.local.ToUtf8() : pkg + "::" + n.local.ToUtf8());
      }
  return out;
}

void Vm::MaybeCollect() {
  if (frames_.empty() && heap_.allocated_since_collect() > 20000) Collect();
}

}  // namespace flashsaver::avm2
