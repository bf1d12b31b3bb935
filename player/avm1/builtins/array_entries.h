// An Array's elements as (index, value) pairs in index order: every index of a short array
// (holes read as undefined, through the prototypes as Flash reads them), only the stored ones
// of a long sparse one. Flash keeps such arrays sparse: what the methods do costs what a script
// stored, never the length it named.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "player/avm1/vm.h"

namespace flashsaver::avm1 {

// Lengths up to this are read element by element; longer ones with few stored elements are
// read sparsely.
inline constexpr uint32_t kDenseArrayLength = 1u << 16;
// The largest length the methods make: Flash's array indices stop below 2^32 - 1.
inline constexpr uint64_t kMaxArrayLength = 4294967294u;

struct ArrayEntries {
  uint64_t length = 0;
  std::vector<std::pair<uint64_t, Value>> items;  // by index, each index once
};

ArrayEntries ReadEntries(Vm& vm, Object* array);
// Makes `array` hold exactly `entries` (lengths past kMaxArrayLength are cut there).
void WriteEntries(Vm& vm, Object* array, const ArrayEntries& entries);
Object* NewArrayOf(Vm& vm, const ArrayEntries& entries);

}  // namespace flashsaver::avm1
