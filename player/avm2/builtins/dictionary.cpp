// flash.utils.Dictionary: a dynamic object whose keys are its dynamic properties. weakKeys is
// accepted; entries are held strongly, which only keeps some garbage alive longer.
#include "player/avm2/builtins/builtins.h"
#include "player/avm2/class.h"
#include "player/avm2/heap.h"
#include "player/avm2/object.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {}  // namespace

void DictionaryObject::Trace(Tracer& tracer) {
  BoxedObject::Trace(tracer);
  for (auto& [k, name] : names) tracer.Mark(k);
}

void DictionaryKeyName(Vm& vm, const Value& obj, const Value& key, Name& n) {
  auto* d = dynamic_cast<DictionaryObject*>(obj.AsObject());
  Object* k = key.AsObject();
  if (!d || !k || dynamic_cast<QNameObject*>(k)) return;
  auto it = d->names.find(k);
  if (it == d->names.end()) {
    // A private-use prefix keeps these apart from any string key a script could collide with.
    Str name(u"\uE000#" + Utf8ToUtf16(std::to_string(d->names.size())));
    it = d->names.emplace(k, name).first;
    d->keys.emplace(name.str(), k);
  }
  n = vm.PublicName(it->second.view());
}

namespace {

Object* CreateDictionary(Vm& vm, ClassObject* cls) {
  return vm.heap().New<DictionaryObject>(cls, cls->prototype);
}

Value DictionaryConstruct(Vm&, const Value&, std::span<const Value>) { return Value(); }

}  // namespace

const NativeClass& DictionaryClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.utils";
    c.name = "Dictionary";
    c.constructor = DictionaryConstruct;
    c.constructor_length = 1;
    c.constructor_params = "Boolean?";
    c.create = CreateDictionary;
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
