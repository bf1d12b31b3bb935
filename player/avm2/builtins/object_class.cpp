// Object, Class, Function, Namespace and QName.
#include "player/avm2/abc_file.h"
#include "player/avm2/builtins/builtins.h"
#include "player/avm2/builtins/proxy.h"
#include "player/avm2/abc_unit.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

Value OwnProperty(Vm& vm, const Value& self, const Str& name) {
  Object* o = self.AsObject();
  if (!o) {
    ClassObject* c = vm.ClassOf(self);
    return Value(c && c->instance_traits.FindQ(name.view(), vm.public_ns()) != nullptr);
  }
  if (auto* a = dynamic_cast<ArrayObject*>(o)) {
    int64_t i = Vm::ArrayIndex(name.view());
    if (i >= 0) return Value(a->Has(static_cast<uint32_t>(i)));
  }
  if (o->traits() && o->traits()->FindQ(name.view(), vm.public_ns())) return Value(true);
  return Value(o->dynamic().Find(name.view()) != nullptr);
}

// The AS3 method asks a Proxy's hasProperty; the prototype's function sees no own properties on
// a Proxy.
Value HasOwnProperty(Vm& vm, const Value& self, std::span<const Value> args) {
  Str name = ArgString(vm, args, 0, Str(u"undefined"));
  if (ProxyObject* p = AsProxy(self.AsObject())) return Value(ProxyHas(vm, p, name));
  return OwnProperty(vm, self, name);
}
Value ProtoHasOwnProperty(Vm& vm, const Value& self, std::span<const Value> args) {
  Str name = ArgString(vm, args, 0, Str(u"undefined"));
  if (AsProxy(self.AsObject())) return Value(false);
  return OwnProperty(vm, self, name);
}

Value PropertyIsEnumerable(Vm& vm, const Value& self, std::span<const Value> args) {
  Str name = ArgString(vm, args, 0, Str(u"undefined"));
  Object* o = self.AsObject();
  if (!o) return Value(false);
  if (auto* a = dynamic_cast<ArrayObject*>(o)) {
    int64_t i = Vm::ArrayIndex(name.view());
    if (i >= 0) return Value(a->Has(static_cast<uint32_t>(i)));
  }
  const auto* e = o->dynamic().FindEntry(name.view());
  return Value(e != nullptr && e->enumerable);
}

Value SetPropertyIsEnumerable(Vm& vm, const Value& self, std::span<const Value> args) {
  Str name = ArgString(vm, args, 0, Str(u"undefined"));
  if (Object* o = self.AsObject())
    if (auto* e = o->dynamic().FindEntry(name.view())) e->enumerable = ArgBool(vm, args, 1);
  return Value();
}

Value IsPrototypeOf(Vm& vm, const Value& self, std::span<const Value> args) {
  Object* me = self.AsObject();
  Value v = Arg(args, 0);
  if (!me || !v.IsObject()) return Value(false);
  for (Object* p = vm.ProtoOf(v); p; p = p->proto())
    if (p == me) return Value(true);
  return Value(false);
}

Value ObjectToString(Vm& vm, const Value& self, std::span<const Value>) {
  if (auto* c = dynamic_cast<ClassObject*>(self.AsObject()))
    return Value(Str(u"[class " + c->name.str() + u"]"));
  // A function shows its method's number: "[object Function-12]".
  if (auto* f = dynamic_cast<FunctionObject*>(self.AsObject()); f && f->method)
    return Value(Str::FromUtf8("[object Function-" + std::to_string(f->method->index) + "]"));
  ClassObject* c = vm.ClassOf(self);
  std::u16string n = c ? c->name.str() : u"Object";
  // A script's global object prints as "global".
  if (self.AsObject() && self.AsObject()->kind() == ObjectKind::kGlobal) n = u"global";
  return Value(Str(u"[object " + n + u"]"));
}

Value ValueOf(Vm&, const Value& self, std::span<const Value>) { return self; }

Value ObjectCall(Vm& vm, const Value&, std::span<const Value> args) {
  if (args.empty() || args[0].IsNullish()) return Value(vm.NewObject());
  return args[0];
}

Value ObjectInit(Vm&, const Value&, std::span<const Value>) { return Value(); }

Value ClassPrototype(Vm&, const Value& self, std::span<const Value>) {
  auto* c = dynamic_cast<ClassObject*>(self.AsObject());
  return c ? Value(c->prototype) : Value();
}

Value FunctionPrototypeGet(Vm& vm, const Value& self, std::span<const Value>) {
  auto* f = dynamic_cast<FunctionObject*>(self.AsObject());
  return f ? Value(vm.FunctionPrototype(f)) : Value();
}

Value FunctionPrototypeSet(Vm&, const Value& self, std::span<const Value> args) {
  if (auto* f = dynamic_cast<FunctionObject*>(self.AsObject()))
    f->prototype = Arg(args, 0).AsObject();
  return Value();
}

Value FunctionLength(Vm&, const Value& self, std::span<const Value>) {
  auto* f = dynamic_cast<FunctionObject*>(self.AsObject());
  if (!f) return Value(int32_t{0});
  if (f->method->abc) return Value(static_cast<int32_t>(f->method->abc->param_types.size()));
  return Value(static_cast<int32_t>(f->method->length));
}

Value FunctionCallFn(Vm& vm, const Value& self, std::span<const Value> args) {
  Value t = Arg(args, 0);
  return vm.Call(self, t, args.empty() ? args : args.subspan(1));
}

Value FunctionApply(Vm& vm, const Value& self, std::span<const Value> args) {
  Value t = Arg(args, 0);
  std::vector<Value> list;
  if (auto* a = dynamic_cast<ArrayObject*>(Arg(args, 1).AsObject()))
    list = a->ToVector();
  else if (args.size() > 1 && !args[1].IsNullish())
    vm.ThrowError(ErrorType::kTypeError, 1116);
  return vm.Call(self, t, list);
}

Value FunctionToString(Vm&, const Value&, std::span<const Value>) {
  return Value(Str(u"function Function() {}"));
}

Value EmptyFunction(Vm&, const Value&, std::span<const Value>) { return Value(); }

// Function(...) and new Function(...): no compiler at run time, so only the empty form works.
Value FunctionCall(Vm& vm, const Value&, std::span<const Value> args) {
  if (!args.empty()) vm.ThrowError(ErrorType::kEvalError, 1066);
  return Value(
      static_cast<Object*>(vm.NewNativeFunction(EmptyFunction, 0, "Function/<anonymous>")));
}

Value NamespaceUri(Vm&, const Value& self, std::span<const Value>) {
  auto* n = dynamic_cast<NamespaceObject*>(self.AsObject());
  return n ? Value(n->ns->uri) : Value(Str());
}

Value NamespacePrefix(Vm&, const Value& self, std::span<const Value>) {
  auto* n = dynamic_cast<NamespaceObject*>(self.AsObject());
  if (!n || !n->has_prefix) return n && n->ns->uri.empty() ? Value(Str()) : Value();
  return Value(n->prefix);
}

Object* CreateNamespace(Vm& vm, ClassObject* cls) {
  return vm.heap().New<NamespaceObject>(cls, cls->prototype, vm.public_ns(), Str());
}

Value NamespaceInit(Vm& vm, const Value& self, std::span<const Value> args) {
  auto* n = dynamic_cast<NamespaceObject*>(self.AsObject());
  if (!n) return Value();
  Value uri = args.size() >= 2 ? args[1] : Arg(args, 0);
  if (auto* o = dynamic_cast<NamespaceObject*>(uri.AsObject())) {
    n->ns = o->ns;
  } else if (!args.empty()) {
    n->ns = vm.InternNs(NsKind::kPublic, vm.ToString(uri));
  }
  if (args.size() >= 2) {
    n->prefix = vm.ToString(args[0]);
    n->has_prefix = true;
  }
  return Value();
}

Value NamespaceCall(Vm& vm, const Value&, std::span<const Value> args) {
  return vm.Construct(Value(static_cast<Object*>(vm.classes().namespace_)), args);
}

Object* CreateQName(Vm& vm, ClassObject* cls) {
  return vm.heap().New<QNameObject>(cls, cls->prototype);
}

Value QNameInit(Vm& vm, const Value& self, std::span<const Value> args) {
  auto* q = dynamic_cast<QNameObject*>(self.AsObject());
  if (!q) return Value();
  if (args.size() >= 2) {
    if (auto* n = dynamic_cast<NamespaceObject*>(args[0].AsObject()))
      q->ns = n->ns;
    else if (args[0].IsNull())
      q->ns = nullptr;
    else
      q->ns = vm.InternNs(NsKind::kPublic, vm.ToString(args[0]));
    q->local = vm.ToString(args[1]);
  } else {
    if (auto* o = dynamic_cast<QNameObject*>(Arg(args, 0).AsObject())) {
      q->ns = o->ns;
      q->local = o->local;
    } else {
      q->ns = vm.public_ns();
      q->local = args.empty() ? Str() : vm.ToString(args[0]);
    }
  }
  return Value();
}

// QName(q) gives q itself; other calls construct.
Value QNameCall(Vm& vm, const Value&, std::span<const Value> args) {
  if (args.size() == 1 && dynamic_cast<QNameObject*>(args[0].AsObject())) return args[0];
  return vm.Construct(Value(static_cast<Object*>(vm.classes().qname)), args);
}

Value QNameLocal(Vm&, const Value& self, std::span<const Value>) {
  auto* q = dynamic_cast<QNameObject*>(self.AsObject());
  return q ? Value(q->local) : Value();
}

Value QNameUri(Vm&, const Value& self, std::span<const Value>) {
  auto* q = dynamic_cast<QNameObject*>(self.AsObject());
  if (!q) return Value();
  return q->ns ? Value(q->ns->uri) : Value::Null();
}

Value QNameToString(Vm&, const Value& self, std::span<const Value>) {
  auto* q = dynamic_cast<QNameObject*>(self.AsObject());
  if (!q) return Value(Str());
  if (!q->ns) return Value(Str(u"*::" + q->local.str()));
  if (q->ns->uri.empty()) return Value(q->local);
  return Value(Str(q->ns->uri.str() + u"::" + q->local.str()));
}

}  // namespace

const NativeClass& ObjectClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "";
    c.name = "Object";
    c.super_name = "";
    c.instance = {AS3Method("hasOwnProperty", HasOwnProperty, 1),
                  ProtoMethod("hasOwnProperty", ProtoHasOwnProperty, 1),
                  AS3Method("propertyIsEnumerable", PropertyIsEnumerable, 1),
                  AS3Method("isPrototypeOf", IsPrototypeOf, 1),
                  ProtoMethod("setPropertyIsEnumerable", SetPropertyIsEnumerable, 2),
                  ProtoMethod("toString", ObjectToString),
                  ProtoMethod("toLocaleString", ObjectToString),
                  ProtoMethod("valueOf", ValueOf)};
    c.statics = {Const("length", Value(int32_t{1}))};
    c.constructor = ObjectInit;
    c.call = ObjectCall;
    c.constructor_length = 1;
    return c;
  }();
  return spec;
}

const NativeClass& ClassClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "";
    c.name = "Class";
    c.instance = {Getter("prototype", ClassPrototype)};
    c.statics = {Const("length", Value(int32_t{1}))};
    return c;
  }();
  return spec;
}

const NativeClass& FunctionClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "";
    c.name = "Function";
    c.instance = {
        Getter("prototype", FunctionPrototypeGet), Setter("prototype", FunctionPrototypeSet),
        Getter("length", FunctionLength),          AS3Method("call", FunctionCallFn, 1),
        AS3Method("apply", FunctionApply, 2),      ProtoMethod("toString", FunctionToString)};
    c.call = FunctionCall;
    return c;
  }();
  return spec;
}

const NativeClass& NamespaceClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "";
    c.name = "Namespace";
    c.flags = class_flag::kFinal | class_flag::kSealed;
    c.instance = {Getter("uri", NamespaceUri), Getter("prefix", NamespacePrefix),
                  ProtoMethod("toString", NamespaceUri), ProtoMethod("valueOf", NamespaceUri)};
    c.constructor = NamespaceInit;
    c.call = NamespaceCall;
    c.create = CreateNamespace;
    return c;
  }();
  return spec;
}

const NativeClass& QNameClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "";
    c.name = "QName";
    c.flags = class_flag::kFinal | class_flag::kSealed;
    c.instance = {Getter("localName", QNameLocal), Getter("uri", QNameUri),
                  ProtoMethod("toString", QNameToString), ProtoMethod("valueOf", ValueOf)};
    c.constructor = QNameInit;
    c.call = QNameCall;
    c.create = CreateQName;
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
