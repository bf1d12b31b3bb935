// The entries of an archive, ordered by where their data lie: (disk number, local-header
// offset). Two entries with the same key are refused.
#pragma once

#include <cstdint>
#include <map>
#include <utility>

#include "package/zip/zip_records.h"

namespace flashsaver {

class TZipDirectory {
 public:
  using Key = std::pair<uint16_t, uint32_t>;

  static Key KeyOf(const TZipEntryInfo& e) { return {e.disk_start, e.local_offset}; }

  // False when an entry with the same key is listed already.
  bool Add(TZipEntryInfo entry) {
    const Key key = KeyOf(entry);
    return entries_.emplace(key, std::move(entry)).second;
  }
  TZipEntryInfo* Find(const Key& key) {
    auto it = entries_.find(key);
    return it == entries_.end() ? nullptr : &it->second;
  }
  void Clear() { entries_.clear(); }
  size_t Count() const { return entries_.size(); }

  // In key order.
  template <typename F>
  void ForEach(F&& f) const {
    for (const auto& [key, entry] : entries_) f(entry);
  }

 private:
  std::map<Key, TZipEntryInfo> entries_;
};

}  // namespace flashsaver
