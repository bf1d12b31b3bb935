// Property access, calls and construction: the name lookup rules (traits, then dynamic
// properties, then the prototype chain) and the type rules of slots.
#include <cmath>

#include "player/avm2/abc_unit.h"
#include "player/avm2/builtins/byte_array.h"
#include "player/avm2/builtins/proxy.h"
#include "player/avm2/builtins/regexp_class.h"
#include "player/avm2/builtins/xml_support.h"
#include "player/avm2/frame.h"
#include "player/avm2/number_text.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {

int64_t Vm::ArrayIndex(std::u16string_view s) {
  if (s.empty() || s.size() > 10) return -1;
  if (s.size() > 1 && s[0] == u'0') return -1;
  int64_t n = 0;
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') return -1;
    n = n * 10 + (c - u'0');
  }
  return n < 4294967295LL ? n : -1;
}

ClassObject* Vm::ClassOf(const Value& v) {
  switch (v.type()) {
    case ValueType::kUndefined:
    case ValueType::kNull:
      return nullptr;
    case ValueType::kBoolean:
      return classes_.boolean;
    // Flash keeps integers of 29 bits (-2^28 .. 2^28-1) as ints and every other number as a
    // double, so a number's class is int or Number by that range, whatever its static type.
    case ValueType::kInt:
    case ValueType::kUInt:
    case ValueType::kNumber: {
      double d = v.AsDouble();
      if (d == std::trunc(d) && d >= -268435456.0 && d <= 268435455.0 &&
          !(d == 0 && std::signbit(d)))
        return classes_.int_;
      return classes_.number;
    }
    case ValueType::kString:
      return classes_.string;
    case ValueType::kObject:
      return v.AsObject()->cls();
  }
  return nullptr;
}

Object* Vm::ProtoOf(const Value& v) {
  if (Object* o = v.AsObject()) return o->proto();
  if (v.IsNumeric()) return classes_.number->prototype;
  ClassObject* c = ClassOf(v);
  return c ? c->prototype : nullptr;
}

namespace {
// Errors name a trait as Flash prints it: a trait in a namespace with a URI (a user namespace,
// AS3, a package's) is "uri::name"; one in a namespace without a URI, or a class's private or
// protected one, is just its name.
std::string TraitNameForError(const Trait& t) {
  bool qualified = t.ns && !t.ns->uri.str().empty() && t.ns->kind != NsKind::kPrivate &&
                   t.ns->kind != NsKind::kProtected && t.ns->kind != NsKind::kStaticProtected;
  if (qualified) return t.ns->uri.ToUtf8() + "::" + t.name.ToUtf8();
  return t.name.ToUtf8();
}
}  // namespace

std::string Vm::TypeNameForError(const Value& v) {
  if (v.IsUndefined()) return "undefined";
  if (v.IsNull()) return "null";
  if (auto* c = dynamic_cast<ClassObject*>(v.AsObject())) {
    std::string q = c->qualified;
    if (auto p = q.find("::"); p != std::string::npos) q.replace(p, 2, ".");
    return q + "$";
  }
  ClassObject* c = ClassOf(v);
  if (!c) return "Object";
  std::string q = c->qualified;
  if (auto p = q.find("::"); p != std::string::npos) q.replace(p, 2, ".");
  return q;
}

Object* Vm::NewObject() {
  return heap_.New<Object>(ObjectKind::kPlain, classes_.object, classes_.object->prototype);
}

ArrayObject* Vm::NewArray(std::vector<Value> values) {
  auto* a = heap_.New<ArrayObject>(classes_.array, classes_.array->prototype);
  a->Assign(std::move(values));
  return a;
}

FunctionObject* Vm::NewFunction(MethodInfo* m, const std::vector<Value>& scope) {
  auto* f = heap_.New<FunctionObject>(
      classes_.function, classes_.function ? classes_.function->prototype : nullptr, m);
  f->scope = scope;
  return f;
}

FunctionObject* Vm::BindMethod(MethodInfo* m, const Value& self) {
  FunctionObject* f = NewFunction(m, {});
  f->is_closure = true;
  f->bound_this = self;
  return f;
}

Object* Vm::FunctionPrototype(FunctionObject* f) {
  if (!f->prototype) {
    f->prototype = NewObject();
    Str key(u"constructor");
    f->prototype->dynamic().Set(key, Value(static_cast<Object*>(f)));
    f->prototype->dynamic().FindEntry(key.view())->enumerable = false;
  }
  return f->prototype;
}

namespace {

ClassObject* SlotType(Vm& vm, const Trait& t) {
  if (t.type_class || t.type_name == 0 || !t.unit) return t.type_class;
  const auto* unit = static_cast<const AbcUnit*>(t.unit);
  Value v;
  if (vm.ResolveType(*unit, t.type_name, v))
    const_cast<Trait&>(t).type_class = dynamic_cast<ClassObject*>(v.AsObject());
  return t.type_class;
}

// A name as property errors print it: a single non-public namespace shows as uri::name.
std::string NameForError(const Name& name) {
  std::string shown = name.local.ToUtf8();
  if (!name.IsPublic() && name.set.size() == 1 && name.set[0] && !name.set[0]->uri.empty())
    shown = name.set[0]->uri.ToUtf8() + "::" + shown;
  return shown;
}

// A read that finds nothing on a sealed object. A name that could not be a dynamic property
// (no public namespace, or an attribute) looked up in a namespace set is #1081, else #1069.
[[noreturn]] void NotFound(Vm& vm, const Value& obj, const Name& name) {
  bool dynamic_name = name.IsPublic() && !name.attribute;
  vm.ThrowError(ErrorType::kReferenceError, !dynamic_name && name.set.size() > 1 ? 1081 : 1069,
                {NameForError(name), vm.TypeNameForError(obj)});
}

// A public dynamic property on a prototype chain. Array.prototype is itself an Array, so an
// index there is one of its elements.
Value* FindInProtos(Object* p, std::u16string_view key) {
  int64_t index = -2;
  for (; p; p = p->proto()) {
    if (auto* a = dynamic_cast<ArrayObject*>(p)) {
      if (index == -2) index = Vm::ArrayIndex(key);
      if (index >= 0)
        if (Value* v = a->Find(static_cast<uint32_t>(index))) return v;
    }
    if (Value* v = p->dynamic().Find(key)) return v;
  }
  return nullptr;
}

// A vector's element index for a name; -1 for a name that is no number. A number that is not
// an index (negative, fractional, "7.0") is out of the vector's range.
int64_t VectorIndex(Vm& vm, VectorObject* vec, const Str& name) {
  int64_t i = Vm::ArrayIndex(name.view());
  if (i >= 0 || name.empty()) return i;
  double d = StringToNumber(name.view());
  if (std::isnan(d)) return -1;
  vm.ThrowError(ErrorType::kRangeError, 1125, {name.ToUtf8(), std::to_string(vec->items.size())});
}

}  // namespace

Value Vm::ArrayElement(ArrayObject* a, uint32_t i) {
  if (Value* v = a->Find(i)) return *v;
  std::u16string key = Utf8ToUtf16(std::to_string(i));
  Value* v = FindInProtos(a->proto(), key);
  return v ? *v : Value();
}

const Trait* Vm::FindTrait(const Value& obj, const Name& name) {
  Object* o = obj.AsObject();
  if (!o) {
    ClassObject* c = ClassOf(obj);
    if (obj.IsNumeric() && c != classes_.number) {
      if (const Trait* t = c->instance_traits.Find(name)) return t;
      c = classes_.number;
    }
    return c ? c->instance_traits.Find(name) : nullptr;
  }
  if (o->traits())
    if (const Trait* t = o->traits()->Find(name)) return t;
  // A class object also has the members of Class instances (prototype).
  if (o->kind() == ObjectKind::kClass && classes_.klass)
    return classes_.klass->instance_traits.Find(name);
  return nullptr;
}

bool Vm::BuiltinDefinition(const Name& name, Value& out) {
  for (Ns ns : name.set) {
    auto it = definitions_.find({ns, name.local.str()});
    if (it == definitions_.end() || it->second.unit) continue;
    Value* v = builtin_global_->dynamic().Find(it->second.key.view());
    out = v ? *v : Value();
    return true;
  }
  return false;
}

Value Vm::GetProperty(const Value& obj, const Name& name) {
  if (obj.IsNullish()) ThrowError(ErrorType::kTypeError, obj.IsNull() ? 1009 : 1010);
  if (Value r; XmlGetProperty(*this, obj, name, r)) return r;
  Object* o = obj.AsObject();
  if (o == builtin_global_) {
    Value v;
    if (BuiltinDefinition(name, v)) return v;
  }
  if (auto* a = dynamic_cast<ArrayObject*>(o); a && name.IsPublic()) {
    int64_t i = ArrayIndex(name.local.view());
    if (i >= 0 && a->Has(static_cast<uint32_t>(i))) return a->Get(static_cast<uint32_t>(i));
  }
  if (auto* vec = dynamic_cast<VectorObject*>(o); vec && name.IsPublic()) {
    int64_t i = VectorIndex(*this, vec, name.local);
    if (i >= 0) {
      if (static_cast<size_t>(i) >= vec->items.size())
        ThrowError(ErrorType::kRangeError, 1125,
                   {std::to_string(i), std::to_string(vec->items.size())});
      return vec->items[static_cast<size_t>(i)];
    }
  }
  if (Value r; o && name.IsPublic() && ByteArrayGetIndex(o, name.local.view(), r)) return r;
  // A Proxy answers names of any namespace itself, traits or not.
  if (ProxyObject* p = AsProxy(o); p && name.any_ns) return ProxyGet(*this, p, name);
  {
    if (const Trait* t = FindTrait(obj, name)) {
      switch (t->type) {
        case TraitType::kMethod:
          return Value(static_cast<Object*>(BindMethod(t->method, obj)));
        case TraitType::kAccessor:
          if (!t->getter)
            ThrowError(ErrorType::kReferenceError, 1077,
                       {TraitNameForError(*t), TypeNameForError(obj)});
          return Invoke(t->getter, obj, {}, nullptr, nullptr);
        default:
          if (o && t->slot < o->slots().size()) return o->slots()[t->slot];
          return Value();
      }
    }
  }
  if (ProxyObject* p = AsProxy(o)) return ProxyGet(*this, p, name);
  if (name.IsPublic()) {
    if (o)
      if (Value* v = o->dynamic().Find(name.local.view())) return *v;
    if (Value* v = FindInProtos(o ? o->proto() : ProtoOf(obj), name.local.view())) return *v;
  }
  if (!o || o->sealed()) NotFound(*this, obj, name);
  return Value();
}

void Vm::SetProperty(const Value& obj, const Name& name, const Value& v, bool init) {
  if (obj.IsNullish()) ThrowError(ErrorType::kTypeError, obj.IsNull() ? 1009 : 1010);
  if (XmlSetProperty(*this, obj, name, v)) return;
  Object* o = obj.AsObject();
  if (auto* a = dynamic_cast<ArrayObject*>(o); a && name.IsPublic()) {
    int64_t i = ArrayIndex(name.local.view());
    if (i >= 0) {
      a->Set(static_cast<uint32_t>(i), v);
      return;
    }
  }
  if (auto* vec = dynamic_cast<VectorObject*>(o); vec && name.IsPublic()) {
    int64_t i = VectorIndex(*this, vec, name.local);
    if (i >= 0) {
      auto n = static_cast<size_t>(i);
      // A Vector grows only by one, at its end, and never when fixed.
      if (n > vec->items.size() || (n == vec->items.size() && vec->fixed))
        ThrowError(ErrorType::kRangeError, 1125,
                   {std::to_string(i), std::to_string(vec->items.size())});
      Value c = Coerce(v, vec->type);
      if (n == vec->items.size())
        vec->items.push_back(c);
      else
        vec->items[n] = c;
      return;
    }
  }
  if (o && name.IsPublic() && ByteArraySetIndex(*this, o, name.local.view(), v)) return;
  if (ProxyObject* p = AsProxy(o); p && name.any_ns) return ProxySet(*this, p, name, v);
  {
    if (const Trait* t = FindTrait(obj, name)) {
      switch (t->type) {
        case TraitType::kMethod:
          ThrowError(ErrorType::kReferenceError, 1037,
                     {TraitNameForError(*t), TypeNameForError(obj)});
        case TraitType::kAccessor:
          if (!t->setter)
            ThrowError(ErrorType::kReferenceError, 1074,
                       {TraitNameForError(*t), TypeNameForError(obj)});
          Invoke(t->setter, obj, std::span<const Value>(&v, 1), nullptr, nullptr);
          return;
        case TraitType::kConst:
          if (!init)
            ThrowError(ErrorType::kReferenceError, 1074,
                       {TraitNameForError(*t), TypeNameForError(obj)});
          [[fallthrough]];
        default:
          if (o && t->slot < o->slots().size())
            o->slots()[t->slot] = Coerce(v, SlotType(*this, *t));
          return;
      }
    }
  }
  if (ProxyObject* p = AsProxy(o)) return ProxySet(*this, p, name, v);
  if (!o || o->sealed() || !name.IsPublic() || name.any_name)
    ThrowError(ErrorType::kReferenceError, 1056, {NameForError(name), TypeNameForError(obj)});
  o->dynamic().Set(name.local, v);
}

bool Vm::HasProperty(const Value& obj, const Name& name) {
  if (bool r; XmlHasProperty(*this, obj, name, r)) return r;
  Object* o = obj.AsObject();
  // `in` asks a Proxy even for names its traits hold.
  if (ProxyObject* p = AsProxy(o)) return ProxyHas(*this, p, name.local);
  if (o == builtin_global_) {
    Value v;
    if (BuiltinDefinition(name, v)) return true;
  }
  if (auto* a = dynamic_cast<ArrayObject*>(o); a && name.IsPublic()) {
    int64_t i = ArrayIndex(name.local.view());
    if (i >= 0 && a->Has(static_cast<uint32_t>(i))) return true;
  }
  if (bool has; o && name.IsPublic() && ByteArrayHasIndex(o, name.local.view(), has)) return has;
  if (auto* vec = dynamic_cast<VectorObject*>(o); vec && name.IsPublic()) {
    int64_t i = ArrayIndex(name.local.view());
    if (i >= 0) return static_cast<size_t>(i) < vec->items.size();
  }
  if (FindTrait(obj, name)) return true;
  if (!name.IsPublic()) return false;
  if (o && o->dynamic().Find(name.local.view())) return true;
  return FindInProtos(o ? o->proto() : ProtoOf(obj), name.local.view()) != nullptr;
}

bool Vm::DeleteProperty(const Value& obj, const Name& name) {
  if (obj.IsNullish()) ThrowError(ErrorType::kTypeError, obj.IsNull() ? 1009 : 1010);
  if (bool r; XmlDeleteProperty(*this, obj, name, r)) return r;
  Object* o = obj.AsObject();
  // A primitive has no properties of its own to delete.
  if (!o) ThrowError(ErrorType::kReferenceError, 1120, {NameForError(name), TypeNameForError(obj)});
  if (auto* a = dynamic_cast<ArrayObject*>(o); a && name.IsPublic()) {
    int64_t i = ArrayIndex(name.local.view());
    if (i >= 0) return a->Delete(static_cast<uint32_t>(i));
  }
  // Nothing on a ByteArray can be deleted: its bytes are not properties and it is sealed.
  if (dynamic_cast<ByteArrayObject*>(o)) return false;
  // A vector's elements cannot be deleted, but the delete reports success.
  if (auto* vec = dynamic_cast<VectorObject*>(o);
      vec && name.IsPublic() && ArrayIndex(name.local.view()) >= 0)
    return true;
  if (ProxyObject* p = AsProxy(o); p && (name.any_ns || !FindTrait(obj, name)))
    return ProxyDelete(*this, p, name);
  // Fixed properties cannot be deleted, nor anything from a sealed object.
  if (FindTrait(obj, name) || o->sealed()) return false;
  if (!name.IsPublic()) return false;
  o->dynamic().Erase(name.local.view());
  return true;
}

Value Vm::CallProperty(const Value& obj, const Name& name, std::span<const Value> args) {
  if (obj.IsNullish()) ThrowError(ErrorType::kTypeError, obj.IsNull() ? 1009 : 1010);
  if (Value r; XmlCallProperty(*this, obj, name, args, r)) return r;
  {
    if (ProxyObject* p = AsProxy(obj.AsObject()); p && name.any_ns)
      return ProxyCall(*this, p, name, args);
    const Trait* t = FindTrait(obj, name);
    if (t && t->type == TraitType::kMethod) return Invoke(t->method, obj, args, nullptr, nullptr);
    if (ProxyObject* p = AsProxy(obj.AsObject()); p && !t) return ProxyCall(*this, p, name, args);
  }
  Value f = GetProperty(obj, name);
  if (!f.AsObject() ||
      (f.AsObject()->kind() != ObjectKind::kFunction && f.AsObject()->kind() != ObjectKind::kClass))
    ThrowError(ErrorType::kTypeError, 1006, {name.local.ToUtf8()});
  return Call(f, obj.IsPrimitive() ? obj : obj, args);
}

Value Vm::GetProperty(const Value& obj, std::string_view name) {
  return GetProperty(obj, PublicName(name));
}
void Vm::SetProperty(const Value& obj, std::string_view name, const Value& v) {
  SetProperty(obj, PublicName(name), v);
}
Value Vm::CallMethod(const Value& obj, std::string_view name, std::span<const Value> args) {
  Name n = PublicName(name);
  n.set.push_back(as3_ns_);
  return CallProperty(obj, n, args);
}

Value Vm::Call(const Value& fn, const Value& self, std::span<const Value> args) {
  Object* o = fn.AsObject();
  if (auto* f = dynamic_cast<FunctionObject*>(o)) {
    if (f->is_closure) return Invoke(f->method, f->bound_this, args, nullptr, f);
    Value this_v = self;
    if (this_v.IsNullish() && !f->method->native)
      this_v = f->scope.empty() ? Value(builtin_global_) : f->scope.front();
    return Invoke(f->method, this_v, args, &f->scope, f);
  }
  if (auto* c = dynamic_cast<ClassObject*>(o)) {
    if (c->native_class && c->native->call)
      return c->native->call(*this, Value(static_cast<Object*>(c)), args);
    if (args.size() != 1)
      ThrowError(ErrorType::kArgumentError, 1112, {std::to_string(args.size())});
    return Coerce(args[0], c);
  }
  // A RegExp called as a function runs exec on its argument.
  if (auto* re = dynamic_cast<RegExpObject*>(o)) return RegExpCallInstance(*this, *re, args);
  ThrowError(ErrorType::kTypeError, 1006, {"value"});
}

Object* Vm::CreateInstance(ClassObject* cls) {
  Object* o = nullptr;
  for (ClassObject* k = cls; k; k = k->super)
    if (k->native && k->native->create) {
      o = k->native->create(*this, cls);
      break;
    }
  if (!o) o = heap_.New<Object>(ObjectKind::kPlain, cls, cls->prototype);
  o->set_sealed(cls->is_sealed);
  return o;
}

void Vm::ConstructInto(ClassObject* cls, Object* obj, std::span<const Value> args) {
  for (ClassObject* k = cls; k; k = k->super) {
    if (k->iinit) {
      Invoke(k->iinit, Value(obj), args, nullptr, nullptr);
      return;
    }
  }
}

Value Vm::Construct(const Value& ctor, std::span<const Value> args) {
  Object* o = ctor.AsObject();
  if (auto* c = dynamic_cast<ClassObject*>(o)) {
    if (c->is_interface) ThrowError(ErrorType::kTypeError, 1007);
    InitClass(c);
    // The primitive classes construct primitives: new String("a") is "a".
    if (c == classes_.string || c == classes_.number || c == classes_.boolean ||
        c == classes_.int_ || c == classes_.uint)
      return c->native->call(*this, Value(), args);
    // new Object(v) gives v itself when v is a value; new Function() an empty function.
    if (c == classes_.object && !args.empty() && !args[0].IsNullish()) return args[0];
    if (c == classes_.function) return c->native->call(*this, ctor, args);
    Object* obj = CreateInstance(c);
    ConstructInto(c, obj, args);
    return Value(obj);
  }
  if (auto* f = dynamic_cast<FunctionObject*>(o)) {
    if (f->is_closure || f->method->native)
      ThrowError(ErrorType::kTypeError, 1064, {f->method->trace_name});
    Object* obj = heap_.New<Object>(ObjectKind::kPlain, classes_.object, FunctionPrototype(f));
    Value r = Invoke(f->method, Value(obj), args, &f->scope, f);
    return r.IsObject() ? r : Value(obj);
  }
  ThrowError(ErrorType::kTypeError, 1007);
}

void Vm::InitClass(ClassObject* cls) {
  (void)cls;  // classes run their cinit when newclass makes them
}

Value Vm::Invoke(MethodInfo* m, const Value& self, std::span<const Value> args,
                 const std::vector<Value>* scope, FunctionObject* callee) {
  if (depth >= limits_.max_recursion) {
    // The error's own constructor runs outside the limit, or making it would overflow again.
    int saved = depth;
    depth = 0;
    Value e = MakeError(ErrorType::kError, 1023);
    depth = saved;
    Throw(e);
  }
  struct DepthGuard {
    int& d;
    explicit DepthGuard(int& x) : d(x) { ++d; }
    ~DepthGuard() { --d; }
  } guard(depth);
  if (m->native) {
    if (args.size() < static_cast<size_t>(m->required))
      ThrowError(ErrorType::kArgumentError, 1063,
                 {m->trace_name + "()", std::to_string(m->required), std::to_string(args.size())});
    return m->native(*this, self, args);
  }
  if (!m->body) ThrowError(ErrorType::kVerifyError, 1001, {m->trace_name});
  std::vector<Value> tmp;
  if (!scope || (scope->empty() && !callee)) {
    if (m->home) {
      scope = &m->home->scope;
    } else {
      tmp.push_back(m->global ? Value(m->global) : Value(builtin_global_));
      scope = &tmp;
    }
  }
  return Execute(*this, m, self, args, scope, callee);
}

bool Vm::IsType(const Value& v, ClassObject* type) {
  if (!type || type == classes_.object) return !v.IsNullish() || type == nullptr;
  if (type == classes_.int_) {
    if (v.IsInt()) return true;
    if (!v.IsNumeric()) return false;
    double d = v.AsDouble();
    return d == static_cast<double>(static_cast<int32_t>(DoubleToInt32(d))) && std::isfinite(d) &&
           !(d == 0 && std::signbit(d));
  }
  if (type == classes_.uint) {
    if (v.IsUInt()) return true;
    if (!v.IsNumeric()) return false;
    double d = v.AsDouble();
    return d >= 0 && d <= 4294967295.0 && d == std::trunc(d) && !(d == 0 && std::signbit(d));
  }
  if (type == classes_.number) return v.IsNumeric();
  if (type == classes_.string) return v.IsString();
  if (type == classes_.boolean) return v.IsBoolean();
  Object* o = v.AsObject();
  if (!o) return false;
  ClassObject* c = o->cls();
  if (!c) return false;
  if (c->IsSubclassOf(type)) return true;
  return type->is_interface && Implements(*this, c, type);
}

Value Vm::Coerce(const Value& v, ClassObject* type) {
  if (!type) return v;
  if (type == classes_.int_) return Value(ToInt32(v));
  if (type == classes_.uint) return Value(ToUint32(v));
  if (type == classes_.number) return Value(ToNumber(v));
  if (type == classes_.boolean) return Value(ToBoolean(v));
  if (type == classes_.string) return v.IsNullish() ? Value::Null() : Value(ToString(v));
  if (v.IsNullish()) return Value::Null();
  if (type == classes_.object) return v;
  if (IsType(v, type)) return v;
  std::string to = type->qualified;
  if (auto p = to.find("::"); p != std::string::npos) to.replace(p, 2, ".");
  std::string from;
  if (v.IsString()) {
    from = "\"" + v.AsStr().ToUtf8() + "\"";
  } else if (v.IsPrimitive()) {
    from = ToString(v).ToUtf8();
  } else {
    from = TypeNameForError(v);
    if (!dynamic_cast<ClassObject*>(v.AsObject())) from += "@0";
  }
  ThrowError(ErrorType::kTypeError, 1034, {from, to});
}

}  // namespace flashsaver::avm2
