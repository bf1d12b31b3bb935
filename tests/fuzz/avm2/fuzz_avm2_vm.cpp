// libFuzzer target: any bytes as an ABC file run by the machine. The file's last script runs at
// load, then every class its scripts define in a package namespace is constructed and every
// function and instance method called with no arguments, each under the machine's guard. Tight
// limits end a runaway case fast: a short timeout, shallow recursion, small string and stack
// caps, and an interrupt once too many instructions ran or too many objects live.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "player/avm2/abc_file.h"
#include "player/avm2/vm.h"

using namespace flashsaver::avm2;

namespace {

// The public name a QName trait of the file defines; false for other kinds of names.
bool PublicTraitName(Vm& vm, const AbcFile& file, uint32_t index, Name& out) {
  if (index == 0 || index >= file.multinames.size()) return false;
  const AbcMultiname& m = file.multinames[index];
  if (m.kind != MultinameKind::kQName || m.ns >= file.namespaces.size() ||
      m.name >= file.strings.size())
    return false;
  const AbcNamespace& ns = file.namespaces[m.ns];
  if (ns.kind != NamespaceKind::kPackage && ns.kind != NamespaceKind::kNamespace) return false;
  if (ns.name >= file.strings.size()) return false;
  out.local = Str::FromUtf8(file.strings[m.name]);
  out.set = {vm.InternNs(NsKind::kPublic, Str::FromUtf8(file.strings[ns.name]))};
  return true;
}

void CallDefinitions(Vm& vm, const AbcFile& file) {
  for (const AbcScript& script : file.scripts) {
    for (const AbcTrait& trait : script.traits) {
      Name name;
      if (!PublicTraitName(vm, file, trait.name, name)) continue;
      vm.RunGuarded([&] {
        Value def;
        if (!vm.FindDefinition(name, def, nullptr)) return Value();
        if (trait.kind == TraitKind::kClass) {
          Value instance = vm.Construct(def, {});
          if (trait.class_index >= file.instances.size()) return Value();
          for (const AbcTrait& t : file.instances[trait.class_index].traits) {
            Name method;
            if (t.kind != TraitKind::kMethod || !PublicTraitName(vm, file, t.name, method))
              continue;
            vm.RunGuarded([&] { return vm.CallProperty(instance, method, {}); });
          }
        } else if (trait.kind == TraitKind::kMethod || trait.kind == TraitKind::kFunction) {
          vm.Call(def, Value(), {});
        }
        return Value();
      });
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  AbcFile file;
  AbcError error;
  if (!ReadAbcFile(bytes, file, error)) return 0;
  Vm vm;
  vm.set_limits(
      {.max_recursion = 48, .timeout_seconds = 0.2, .max_stack = 1 << 14, .max_string = 1 << 20});
  vm.trace_output = [](std::string_view) {};
  uint32_t polls = 0;  // the machine polls once every 1024 instructions
  vm.interrupt = [&] { return ++polls > 4000 || vm.heap().size() > 300000; };
  if (!vm.LoadAbc(bytes, false)) return 0;
  CallDefinitions(vm, file);
  vm.Collect();
  return 0;
}
