#include "package/packed_range.h"

#include <algorithm>
#include <vector>

namespace flashsaver {
namespace {
constexpr uint64_t kCopyChunk = 1 << 20;
}

std::optional<PackedRange> CheckedRange(int64_t start, int64_t end, uint64_t file_size) {
  if (start <= 0 || end <= 0 || end <= start) return std::nullopt;
  if (static_cast<uint64_t>(end) > file_size) return std::nullopt;
  return PackedRange{static_cast<uint64_t>(start), static_cast<uint64_t>(end)};
}

bool CopyRange(ReadableFile& from, const PackedRange& range, WritableFile& to) {
  std::vector<char> buffer(static_cast<size_t>(std::min(kCopyChunk, range.end - range.start)));
  for (uint64_t at = range.start; at < range.end;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), range.end - at));
    if (!from.ReadAt(at, buffer.data(), n) || !to.Write(buffer.data(), n)) return false;
    at += n;
  }
  return true;
}

}  // namespace flashsaver
