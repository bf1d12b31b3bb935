// flash.utils.Proxy and the routing of dynamic property access to its flash_proxy methods.
#include "player/avm2/builtins/proxy.h"

#include <string>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/builtins/native_throw.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

// The name handed to getProperty and its kin: a QName. A name with several namespaces (an
// unqualified reference) is public; "*" names and namespaces become null.
Value NameToQName(Vm& vm, const Name& name) {
  ClassObject* cls = vm.classes().qname;
  auto* q = vm.heap().New<QNameObject>(cls, cls->prototype);
  q->local = name.any_name ? Str(u"*") : name.local;
  q->any_name = name.any_name;
  if (name.any_ns || name.set.empty())
    q->ns = nullptr;
  else if (name.set.size() == 1)
    q->ns = name.set[0];
  else
    q->ns = vm.public_ns();
  return Value(static_cast<Object*>(q));
}

Value CallProxyMethod(Vm& vm, ProxyObject* p, const char16_t* method, std::span<const Value> args) {
  Name n;
  n.local = Str(method);
  n.set.push_back(vm.proxy_ns());
  return vm.CallProperty(Value(static_cast<Object*>(p)), n, args);
}

// The base class's methods throw: a subclass must override what its users call.
[[noreturn]] void NotOverridden(Vm& vm, int id, const char* method) {
  ThrowFromNative(vm, ErrorType::kError, id,
                  std::string("The Proxy class does not implement ") + method +
                      ". It must be overridden by a subclass.",
                  std::string("flash.utils::Proxy/http://www.adobe.com/2006/actionscript/flash/"
                              "proxy::") +
                      method);
}

#define PROXY_DEFAULT(fn, id, method) \
  Value fn(Vm& vm, const Value&, std::span<const Value>) { NotOverridden(vm, id, method); }
PROXY_DEFAULT(GetPropertyDefault, 2088, "getProperty")
PROXY_DEFAULT(SetPropertyDefault, 2089, "setProperty")
PROXY_DEFAULT(CallPropertyDefault, 2090, "callProperty")
PROXY_DEFAULT(HasPropertyDefault, 2091, "hasProperty")
PROXY_DEFAULT(DeletePropertyDefault, 2092, "deleteProperty")
PROXY_DEFAULT(GetDescendantsDefault, 2093, "getDescendants")
PROXY_DEFAULT(NextNameIndexDefault, 2105, "nextNameIndex")
PROXY_DEFAULT(NextNameDefault, 2106, "nextName")
PROXY_DEFAULT(NextValueDefault, 2107, "nextValue")
#undef PROXY_DEFAULT

// isAttribute(name): whether a QName came from an attribute reference (@name).
Value IsAttribute(Vm&, const Value&, std::span<const Value> args) {
  (void)args;
  return Value(false);
}

Object* CreateProxy(Vm& vm, ClassObject* cls) {
  return vm.heap().New<ProxyObject>(cls, cls->prototype);
}

NativeMember ProxyMethod(const char* name, NativeFn fn, int length) {
  NativeMember m = Method(name, fn, length);
  m.ns = MemberNs::kFlashProxy;
  return m;
}

}  // namespace

Value ProxyGet(Vm& vm, ProxyObject* p, const Name& name) {
  Value a[1] = {NameToQName(vm, name)};
  return CallProxyMethod(vm, p, u"getProperty", a);
}

void ProxySet(Vm& vm, ProxyObject* p, const Name& name, const Value& v) {
  Value a[2] = {NameToQName(vm, name), v};
  CallProxyMethod(vm, p, u"setProperty", a);
}

Value ProxyCall(Vm& vm, ProxyObject* p, const Name& name, std::span<const Value> args) {
  std::vector<Value> a;
  a.reserve(args.size() + 1);
  a.push_back(NameToQName(vm, name));
  a.insert(a.end(), args.begin(), args.end());
  return CallProxyMethod(vm, p, u"callProperty", a);
}

bool ProxyDelete(Vm& vm, ProxyObject* p, const Name& name) {
  Value a[1] = {NameToQName(vm, name)};
  return Vm::ToBoolean(CallProxyMethod(vm, p, u"deleteProperty", a));
}

bool ProxyHas(Vm& vm, ProxyObject* p, const Str& name) {
  Value a[1] = {Value(name)};
  return Vm::ToBoolean(CallProxyMethod(vm, p, u"hasProperty", a));
}

Value ProxyDescendants(Vm& vm, ProxyObject* p, const Name& name) {
  Value a[1] = {NameToQName(vm, name)};
  return CallProxyMethod(vm, p, u"getDescendants", a);
}

uint32_t ProxyNextIndex(Vm& vm, ProxyObject* p, uint32_t index) {
  Value a[1] = {Value(static_cast<int32_t>(index))};
  int32_t next = vm.ToInt32(CallProxyMethod(vm, p, u"nextNameIndex", a));
  return next > 0 ? static_cast<uint32_t>(next) : 0;
}

Value ProxyNextName(Vm& vm, ProxyObject* p, uint32_t index) {
  Value a[1] = {Value(static_cast<int32_t>(index))};
  return CallProxyMethod(vm, p, u"nextName", a);
}

Value ProxyNextValue(Vm& vm, ProxyObject* p, uint32_t index) {
  Value a[1] = {Value(static_cast<int32_t>(index))};
  return CallProxyMethod(vm, p, u"nextValue", a);
}

const NativeClass& ProxyClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.utils";
    c.name = "Proxy";
    c.create = CreateProxy;
    c.instance = {ProxyMethod("getProperty", GetPropertyDefault, 1),
                  ProxyMethod("setProperty", SetPropertyDefault, 2),
                  ProxyMethod("callProperty", CallPropertyDefault, 1),
                  ProxyMethod("hasProperty", HasPropertyDefault, 1),
                  ProxyMethod("deleteProperty", DeletePropertyDefault, 1),
                  ProxyMethod("getDescendants", GetDescendantsDefault, 1),
                  ProxyMethod("isAttribute", IsAttribute, 1),
                  ProxyMethod("nextNameIndex", NextNameIndexDefault, 1),
                  ProxyMethod("nextName", NextNameDefault, 1),
                  ProxyMethod("nextValue", NextValueDefault, 1)};
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
