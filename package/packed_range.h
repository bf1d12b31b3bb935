// A packed file's byte range inside the program file.
#pragma once

#include <cstdint>
#include <optional>

#include "package/file_system.h"

namespace flashsaver {

struct PackedRange {
  uint64_t start = 0;
  uint64_t end = 0;  // one past the last byte
};

// The range as the "zippos" section gives it, or nothing when it cannot be cut out: an offset
// that is 0 (absent), an end not past the start, or an end beyond the file.
std::optional<PackedRange> CheckedRange(int64_t start, int64_t end, uint64_t file_size);

// Copies the range in bounded chunks, so that a range of any size needs little memory.
bool CopyRange(ReadableFile& from, const PackedRange& range, WritableFile& to);

}  // namespace flashsaver
