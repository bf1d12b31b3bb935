// The runtime model's remaining pieces: classes made by newclass, activations and catch scopes,
// enumeration (hasnext2), `+`, instanceof, errors and their stack traces.
#include <cmath>

#include "player/avm2/abc_unit.h"
#include "player/avm2/builtins/builtins.h"
#include "player/avm2/builtins/error.h"
#include "player/avm2/builtins/proxy.h"
#include "player/avm2/builtins/xml_support.h"
#include "player/avm2/frame.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {

namespace {

// An interface method is found under the public name too, as the implementing class's public
// method answers calls through the interface's namespace. A subclass's override replaces the
// inherited alias.
void AddInterfaceAliases(Vm& vm, ClassObject* cls) {
  if (cls->is_interface) return;
  for (ClassObject* ic : cls->interfaces)
    for (const Trait& t : ic->instance_traits.list)
      if (const Trait* pub = cls->instance_traits.FindQ(t.name.view(), vm.public_ns())) {
        Trait copy = *pub;
        copy.ns = t.ns;
        cls->instance_traits.Put(copy);
      }
}

void ResolvePendingInterfaces(Vm& vm, ClassObject* cls, int depth) {
  if (cls->pending_interfaces.empty() || depth > 32) return;
  std::vector<Name> names;
  names.swap(cls->pending_interfaces);
  for (const Name& n : names) {
    Value v;
    auto* ic =
        vm.FindDefinition(n, v, nullptr) ? dynamic_cast<ClassObject*>(v.AsObject()) : nullptr;
    if (!ic) {
      cls->pending_interfaces.push_back(n);
      continue;
    }
    ResolvePendingInterfaces(vm, ic, depth + 1);
    cls->interfaces.push_back(ic);
    for (ClassObject* x : ic->interfaces) cls->interfaces.push_back(x);
  }
  AddInterfaceAliases(vm, cls);
}

bool ImplementsFrom(Vm& vm, ClassObject* cls, ClassObject* iface, int depth) {
  if (depth > 32) return false;
  for (ClassObject* k = cls; k; k = k->super) {
    ResolvePendingInterfaces(vm, k, depth);
    for (ClassObject* i : k->interfaces)
      if (i == iface || ImplementsFrom(vm, i, iface, depth + 1)) return true;
  }
  return false;
}

}  // namespace

bool Implements(Vm& vm, ClassObject* cls, ClassObject* iface) {
  return ImplementsFrom(vm, cls, iface, 0);
}

ClassObject* NewClass(Vm& vm, AbcUnit& unit, uint32_t index, ClassObject* base,
                      const std::vector<Value>& scope) {
  const AbcInstance& inst = unit.file.instances.at(index);
  const AbcClass& ac = unit.file.classes.at(index);
  auto* cls = vm.heap().New<ClassObject>(vm.classes().klass, vm.classes().klass->prototype);
  Name n = unit.names[inst.name];
  cls->name = n.local;
  cls->ns = n.set.empty() ? vm.public_ns() : n.set[0];
  cls->qualified =
      cls->ns->uri.empty() ? n.local.ToUtf8() : cls->ns->uri.ToUtf8() + "::" + n.local.ToUtf8();
  cls->super = base;
  cls->is_interface = (inst.flags & instance_flag::kInterface) != 0;
  cls->is_sealed = (inst.flags & instance_flag::kSealed) != 0;
  cls->is_final = (inst.flags & instance_flag::kFinal) != 0;
  if (inst.flags & instance_flag::kProtectedNs)
    cls->protected_ns = unit.namespaces[inst.protected_ns];
  if (base) {
    if (base->is_final)
      vm.ThrowError(ErrorType::kVerifyError, 1103, {cls->qualified, base->qualified});
    cls->instance_traits = base->instance_traits;
    // What the base has in its protected namespace, the class has in its own: a subclass
    // method reaches inherited protected members through the subclass's namespace.
    if (base->protected_ns && cls->protected_ns && base->protected_ns != cls->protected_ns) {
      std::vector<Trait> inherited;
      for (const Trait& t : cls->instance_traits.list)
        if (t.ns == base->protected_ns &&
            !cls->instance_traits.FindQ(t.name.view(), cls->protected_ns))
          inherited.push_back(t);
      for (Trait& t : inherited) {
        t.ns = cls->protected_ns;
        cls->instance_traits.Put(std::move(t));
      }
    }
    cls->interfaces = base->interfaces;
    cls->native = base->native;
  }
  for (uint32_t i : inst.interfaces) {
    Value v;
    vm.FindDefinition(unit.names[i], v, nullptr);
    if (auto* ic = dynamic_cast<ClassObject*>(v.AsObject())) {
      cls->interfaces.push_back(ic);
      for (ClassObject* x : ic->interfaces) cls->interfaces.push_back(x);
    } else {
      cls->pending_interfaces.push_back(unit.names[i]);
    }
  }
  cls->scope = scope;
  cls->scope.push_back(Value(static_cast<Object*>(cls)));
  unit.classes[index] = cls;
  BuildTraits(vm, unit, inst.traits, cls->instance_traits, cls, false);
  AddInterfaceAliases(vm, cls);
  BuildTraits(vm, unit, ac.traits, cls->static_traits, cls, true);
  cls->set_traits(&cls->static_traits);
  cls->prototype = vm.heap().New<Object>(ObjectKind::kPlain, vm.classes().object,
                                         base ? base->prototype : vm.classes().object->prototype);
  Str key(u"constructor");
  cls->prototype->dynamic().Set(key, Value(static_cast<Object*>(cls)));
  cls->prototype->dynamic().FindEntry(key.view())->enumerable = false;
  cls->iinit = unit.methods.at(inst.iinit).get();
  cls->iinit->home = cls;
  cls->iinit->trace_name = cls->qualified;
  cls->cinit = unit.methods.at(ac.cinit).get();
  cls->cinit->home = cls;
  cls->cinit->is_static = true;
  cls->cinit->trace_name = cls->qualified + "$cinit";
  vm.Invoke(cls->cinit, Value(static_cast<Object*>(cls)), {}, nullptr, nullptr);
  cls->initialized = true;
  return cls;
}

Object* NewActivation(Vm& vm, AbcUnit& unit, const AbcMethodBody& body) {
  auto bi = static_cast<size_t>(&body - unit.file.bodies.data());
  auto& t = unit.activation_traits.at(bi);
  if (!t) {
    t = std::make_unique<Traits>();
    BuildTraits(vm, unit, body.traits, *t, nullptr, false);
  }
  auto* o = vm.heap().New<Object>(ObjectKind::kActivation, nullptr, nullptr);
  o->set_traits(t.get());
  return o;
}

Object* NewCatchScope(Vm& vm, AbcUnit& unit, const AbcException& e) {
  auto t = std::make_unique<Traits>();
  if (e.var_name != 0) {
    Trait tr;
    Name n = unit.names[e.var_name];
    tr.name = n.local;
    tr.ns = n.set.empty() ? vm.public_ns() : n.set[0];
    tr.slot = 0;
    t->slot_count = 1;
    t->slot_defaults.resize(1);
    t->Put(tr);
  }
  auto* o = vm.heap().New<Object>(ObjectKind::kActivation, nullptr, nullptr);
  o->set_traits(t.get());
  unit.catch_traits.push_back(std::move(t));
  return o;
}

// Enumeration positions: 1..length for an array's elements, then length + k for the k-th
// dynamic property. Past the end of one object, enumeration goes on along the prototype chain.
bool EnumerateNext(Vm& vm, Value& obj, uint32_t& index) {
  if (uint32_t next; XmlNextIndex(obj, index, next)) {
    index = next;
    return next != 0;
  }
  Object* o = obj.AsObject();
  // A Proxy enumerates what its nextNameIndex gives, not its prototype chain.
  if (ProxyObject* p = AsProxy(o)) {
    index = ProxyNextIndex(vm, p, index);
    return index != 0;
  }
  if (!o && !obj.IsNullish() && index == 0) {
    // A primitive enumerates its prototype's properties.
    o = vm.ProtoOf(obj);
    obj = Value(o);
  }
  while (o) {
    uint32_t base = 0;
    if (auto* v = dynamic_cast<VectorObject*>(o)) {
      base = static_cast<uint32_t>(v->items.size());
      if (index < base) {
        ++index;
        return true;
      }
    }
    if (auto* a = dynamic_cast<ArrayObject*>(o)) {
      base = a->length();
      if (index < base) {
        uint32_t n = a->NextIndex(static_cast<int64_t>(index) - 1);
        if (n < base) {
          index = n + 1;
          return true;
        }
        index = base;
      }
    } else if (auto* v = dynamic_cast<VectorObject*>(o)) {
      // A Vector enumerates its elements as an array does (it has no holes).
      base = static_cast<uint32_t>(v->items.size());
      if (index < base) {
        ++index;
        return true;
      }
    }
    uint32_t k = index > base ? index - base : 0;
    uint32_t nk = o->dynamic().NextIndex(k);
    if (nk != 0) {
      index = base + nk;
      return true;
    }
    o = o->proto();
    obj = Value(o);
    index = 0;
  }
  return false;
}

Value EnumName(Vm& vm, const Value& obj, uint32_t index) {
  if (Value r; XmlNextName(obj, index, r)) return r;
  Object* o = obj.AsObject();
  if (ProxyObject* p = AsProxy(o)) return ProxyNextName(vm, p, index);
  if (!o || index == 0) return Value();
  uint32_t base = 0;
  if (auto* v = dynamic_cast<VectorObject*>(o)) {
    base = static_cast<uint32_t>(v->items.size());
    if (index <= base) return Value(index - 1);
  }
  if (auto* a = dynamic_cast<ArrayObject*>(o)) {
    base = a->length();
    // Flash names an array's elements by int: `for (k in a)` gives `k is int`.
    if (index <= base) return Value::Numeric(static_cast<double>(index - 1));
  }
  const auto& es = o->dynamic().entries();
  if (index - base - 1 >= es.size()) return Value();
  const Str& key = es[index - base - 1].key;
  // Flash keeps index-like dynamic names as integers, so for..in gives them back as numbers.
  if (auto* d = dynamic_cast<DictionaryObject*>(o)) {
    auto it = d->keys.find(key.str());
    if (it != d->keys.end()) return Value(it->second);
  }
  if (o->kind() == ObjectKind::kPlain || dynamic_cast<DictionaryObject*>(o)) {
    int64_t i = Vm::ArrayIndex(key.view());
    if (i >= 0) return Value::Numeric(static_cast<double>(i));
  }
  return Value(key);
}

Value EnumValue(Vm& vm, const Value& obj, uint32_t index) {
  if (Value r; XmlNextValue(vm, obj, index, r)) return r;
  Object* o = obj.AsObject();
  if (ProxyObject* p = AsProxy(o)) return ProxyNextValue(vm, p, index);
  if (!o || index == 0) return Value();
  uint32_t base = 0;
  if (auto* v = dynamic_cast<VectorObject*>(o)) {
    base = static_cast<uint32_t>(v->items.size());
    if (index <= base) return v->items[index - 1];
  }
  if (auto* a = dynamic_cast<ArrayObject*>(o)) {
    base = a->length();
    if (index <= base) return vm.ArrayElement(a, index - 1);
  }
  const auto& es = o->dynamic().entries();
  if (index - base - 1 < es.size()) return es[index - base - 1].value;
  return Value();
}

Value AddValues(Vm& vm, const Value& a, const Value& b) {
  if (Value r; XmlAdd(vm, a, b, r)) return r;
  if (a.IsNumeric() && b.IsNumeric()) return Value::Numeric(a.AsDouble() + b.AsDouble());
  if (a.IsString() && b.IsString()) {
    std::u16string s = a.AsStr().str();
    s += b.AsStr().str();
    if (s.size() > vm.limits().max_string) vm.ThrowError(ErrorType::kError, 1000);
    return Value(Str(std::move(s)));
  }
  // With a string on either side, the other side converts as a string (toString first),
  // not through the hint-less primitive conversion.
  if (a.IsString() || b.IsString()) {
    std::u16string s = vm.ToString(a).str();
    s += vm.ToString(b).str();
    if (s.size() > vm.limits().max_string) vm.ThrowError(ErrorType::kError, 1000);
    return Value(Str(std::move(s)));
  }
  Value pa = vm.ToPrimitive(a), pb = vm.ToPrimitive(b);
  if (pa.IsString() || pb.IsString()) {
    std::u16string s = vm.ToString(pa).str();
    s += vm.ToString(pb).str();
    if (s.size() > vm.limits().max_string) vm.ThrowError(ErrorType::kError, 1000);
    return Value(Str(std::move(s)));
  }
  return Value::Numeric(vm.ToNumber(pa) + vm.ToNumber(pb));
}

bool Vm::InstanceOf(const Value& v, const Value& type) {
  Object* t = type.AsObject();
  Object* proto = nullptr;
  if (auto* c = dynamic_cast<ClassObject*>(t)) {
    proto = c->prototype;
  } else if (auto* f = dynamic_cast<FunctionObject*>(t)) {
    proto = FunctionPrototype(f);
  } else {
    ThrowError(ErrorType::kTypeError, 1040);
  }
  for (Object* p = ProtoOf(v); p; p = p->proto())
    if (p == proto) return true;
  return false;
}

void Vm::SetSlot(Object* o, uint32_t slot, const Value& v) {
  ClassObject* type = nullptr;
  const Trait* t = o->traits() ? o->traits()->SlotTrait(slot) : nullptr;
  if (t && t->type_class) {
    type = t->type_class;
  } else if (t && t->type_name && t->unit) {
    Value c;
    if (ResolveType(*static_cast<const AbcUnit*>(t->unit), t->type_name, c))
      type = dynamic_cast<ClassObject*>(c.AsObject());
  }
  o->slots()[slot] = Coerce(v, type);
}

bool Vm::ResolveType(const AbcUnit& unit, uint32_t index, Value& out) {
  if (index < unit.resolved_types.size() &&
      unit.resolved_types[index].first == definitions_version_) {
    out = Value(static_cast<Object*>(unit.resolved_types[index].second));
    return true;
  }
  const uint64_t version = definitions_version_;
  if (!ResolveTypeUncached(unit, index, out)) return false;
  // Remembered only when nothing was defined meanwhile (resolving may run a script).
  if (auto* c = dynamic_cast<ClassObject*>(out.AsObject());
      c && version == definitions_version_ && index < unit.file.multinames.size()) {
    if (unit.resolved_types.size() != unit.file.multinames.size())
      unit.resolved_types.assign(unit.file.multinames.size(), {0, nullptr});
    unit.resolved_types[index] = {version, c};
  }
  return true;
}

bool Vm::ResolveTypeUncached(const AbcUnit& unit, uint32_t index, Value& out) {
  if (index < unit.file.multinames.size() &&
      unit.file.multinames[index].kind == MultinameKind::kTypeName) {
    const AbcMultiname& m = unit.file.multinames[index];
    Value base;
    if (!ResolveType(unit, m.type_base, base)) return false;
    std::vector<Value> params;
    for (uint32_t p : m.type_params) {
      Value v = Value::Null();
      if (p != 0 && !ResolveType(unit, p, v)) return false;
      params.push_back(v);
    }
    out = ApplyType(base, params);
    return true;
  }
  return FindDefinition(unit.names[index], out, nullptr);
}

Value Vm::ApplyType(const Value& base, std::span<const Value> params) {
  auto* c = dynamic_cast<ClassObject*>(base.AsObject());
  if (!c || c != classes_.vector) ThrowError(ErrorType::kTypeError, 1127);
  if (params.size() != 1)
    ThrowError(ErrorType::kTypeError, 1128, {c->qualified, "1", std::to_string(params.size())});
  ClassObject* t = nullptr;
  if (!params[0].IsNullish()) {
    t = dynamic_cast<ClassObject*>(params[0].AsObject());
    if (!t) ThrowError(ErrorType::kTypeError, 1127);
  }
  return Value(static_cast<Object*>(SpecializeVector(*this, c, t)));
}

Value Vm::Descendants(const Value& obj, const Name& name) {
  if (obj.IsNullish()) ThrowError(ErrorType::kTypeError, obj.IsNull() ? 1009 : 1010);
  if (descendants_hook) return descendants_hook(*this, obj, name);
  if (ProxyObject* p = AsProxy(obj.AsObject())) return ProxyDescendants(*this, p, name);
  if (IsXmlOrList(obj)) return XmlDescendants(*this, obj, name);
  ThrowError(ErrorType::kTypeError, 1016, {TypeNameForError(obj)});
}

Value Vm::CheckFilter(const Value& v) {
  if (v.IsNullish()) ThrowError(ErrorType::kTypeError, v.IsNull() ? 1009 : 1010);
  if (!v.IsObject() || !v.AsObject()->cls() ||
      (v.AsObject()->cls()->qualified != "XML" && v.AsObject()->cls()->qualified != "XMLList"))
    ThrowError(ErrorType::kTypeError, 1123, {TypeNameForError(v)});
  return v;
}

Value Vm::EscapeXml(const Value& v, bool attribute) {
  return XmlEscapeForLiteral(*this, v, attribute);
}

std::string Vm::StackTrace() {
  std::string s;
  for (size_t i = frames_.size(); i-- > 0;) s += "\n\tat " + frames_[i]->method->trace_name + "()";
  return s;
}

void Vm::ReportUncaught(const Value& error, const std::string& throw_stack) {
  std::string text;
  try {
    if (auto* e = dynamic_cast<ErrorObject*>(error.AsObject())) {
      text = ToString(error).ToUtf8() + e->stack;
    } else {
      text = ToString(error).ToUtf8() + throw_stack;
    }
  } catch (...) {
    text = "Error";
  }
  Trace(text);
}

Value Vm::MakeError(ErrorType type, int id, std::initializer_list<std::string> args) {
  std::string msg = FormatErrorMessage(id, args);
  ClassObject* cls = error_classes_.at(static_cast<size_t>(type));
  Value m = Value(Str::FromUtf8(msg));
  Value a[2] = {m, Value(static_cast<int32_t>(id))};
  return Construct(Value(static_cast<Object*>(cls)), a);
}

Value Vm::MakeErrorWithText(ErrorType type, int id, const std::string& message) {
  ClassObject* cls = error_classes_.at(static_cast<size_t>(type));
  Value a[2] = {Value(Str::FromUtf8(message)), Value(static_cast<int32_t>(id))};
  return Construct(Value(static_cast<Object*>(cls)), a);
}

void Vm::ThrowError(ErrorType type, int id, std::initializer_list<std::string> args) {
  throw ScriptException{MakeError(type, id, args), {}};
}

void Vm::Throw(const Value& v) {
  // Errors carry the stack of their making; other values the stack where they were thrown.
  if (dynamic_cast<ErrorObject*>(v.AsObject())) throw ScriptException{v, {}};
  throw ScriptException{v, StackTrace()};
}

}  // namespace flashsaver::avm2
