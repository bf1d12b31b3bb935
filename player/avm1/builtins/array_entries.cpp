#include "player/avm1/builtins/array_entries.h"

#include <algorithm>
#include <string>

namespace flashsaver::avm1 {

ArrayEntries ReadEntries(Vm& vm, Object* array) {
  ArrayEntries out;
  if (!array) return out;
  const uint32_t length = vm.ArrayLength(array);
  out.length = length;
  if (length <= kDenseArrayLength || array->kind() != ObjectKind::kArray ||
      length / 4 <= array->OwnCount()) {
    out.items.reserve(length);
    for (uint32_t i = 0; i < length; ++i) {
      if ((i & 0xFFF) == 0) vm.PollLimits();
      out.items.emplace_back(i, vm.GetIndex(array, i));
    }
    return out;
  }
  array->ForEachOwn([&](Property& p) {
    uint32_t index;
    if (ArrayIndex(p.name, index) && index < length) out.items.emplace_back(index, p.value);
  });
  std::sort(out.items.begin(), out.items.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  return out;
}

void WriteEntries(Vm& vm, Object* array, const ArrayEntries& entries) {
  if (!array) return;
  vm.SetArrayLength(array, 0);
  for (const auto& [index, value] : entries.items) {
    if (index < kMaxArrayLength) vm.SetIndex(array, static_cast<uint32_t>(index), value);
  }
  vm.SetArrayLength(array, static_cast<uint32_t>(std::min(entries.length, kMaxArrayLength)));
}

Object* NewArrayOf(Vm& vm, const ArrayEntries& entries) {
  Object* array = vm.NewArray();
  WriteEntries(vm, array, entries);
  return array;
}

}  // namespace flashsaver::avm1
