// flash.utils.Proxy: objects whose dynamic property access runs the subclass's flash_proxy
// methods. The machine's property paths ask these hooks after the object's traits.
#pragma once

#include <cstdint>
#include <span>

#include "player/avm2/object.h"

namespace flashsaver::avm2 {

class Vm;

class ProxyObject : public BoxedObject {
 public:
  using BoxedObject::BoxedObject;
};

inline ProxyObject* AsProxy(Object* o) {
  return o && o->kind() == ObjectKind::kBoxed ? dynamic_cast<ProxyObject*>(o) : nullptr;
}

// The flash_proxy method calls for one access; `name` as the opcode named it.
Value ProxyGet(Vm& vm, ProxyObject* p, const Name& name);
void ProxySet(Vm& vm, ProxyObject* p, const Name& name, const Value& v);
Value ProxyCall(Vm& vm, ProxyObject* p, const Name& name, std::span<const Value> args);
bool ProxyDelete(Vm& vm, ProxyObject* p, const Name& name);
// `in` and hasOwnProperty pass the name as a string.
bool ProxyHas(Vm& vm, ProxyObject* p, const Str& name);
Value ProxyDescendants(Vm& vm, ProxyObject* p, const Name& name);
// for..in: nextNameIndex (0 ends), nextName, nextValue.
uint32_t ProxyNextIndex(Vm& vm, ProxyObject* p, uint32_t index);
Value ProxyNextName(Vm& vm, ProxyObject* p, uint32_t index);
Value ProxyNextValue(Vm& vm, ProxyObject* p, uint32_t index);

}  // namespace flashsaver::avm2
