// flash.utils.Dictionary: a dynamic object whose keys are its dynamic properties. weakKeys is
// accepted; entries are held strongly, which only keeps some garbage alive longer.
#include "player/avm2/builtins/builtins.h"
#include "player/avm2/class.h"
#include "player/avm2/heap.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
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
    c.create = CreateDictionary;
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
