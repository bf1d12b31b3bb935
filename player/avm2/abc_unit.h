// A loaded ABC file: its tables, with the constant pool turned into the machine's strings and
// namespaces, and the methods, classes and script globals made from it.
#pragma once

#include <memory>
#include <vector>

#include "player/avm2/abc_file.h"
#include "player/avm2/class.h"

namespace flashsaver::avm2 {

class Vm;

struct AbcUnit {
  AbcFile file;
  std::vector<Str> strings;
  std::vector<Ns> namespaces;  // [0] null: any namespace
  std::vector<std::vector<Ns>> ns_sets;
  std::vector<std::unique_ptr<MethodInfo>> methods;
  std::vector<ClassObject*> classes;  // by class index, once newclass made them
  std::vector<Object*> script_globals;
  std::vector<uint8_t> script_state;                       // 0 not run, 1 running, 2 done
  std::vector<Name> names;                                 // the static part of each multiname
  std::vector<std::unique_ptr<Traits>> activation_traits;  // by body, made on first use
  std::vector<std::unique_ptr<Traits>> catch_traits;       // made per newcatch
  // Classes that type multinames named, by multiname index, with the Vm's definitions version
  // they were found under (a class, once defined, stays what its name means).
  mutable std::vector<std::pair<uint64_t, ClassObject*>> resolved_types;

  // The compile-time part of a multiname (runtime parts come from the stack).
  Name StaticName(uint32_t index) const;
  bool NeedsRuntimeName(uint32_t index) const;
  bool NeedsRuntimeNs(uint32_t index) const;
  Value ConstantValue(Vm& vm, const AbcConstant& c) const;
};

// Makes the unit's tables and method infos; false when the file is refused.
std::unique_ptr<AbcUnit> LoadUnit(Vm& vm, std::span<const uint8_t> bytes, std::string& error);
// Builds the traits of a class, script or activation from ABC traits.
void BuildTraits(Vm& vm, AbcUnit& unit, const std::vector<AbcTrait>& abc_traits, Traits& out,
                 ClassObject* home, bool is_static);

}  // namespace flashsaver::avm2
