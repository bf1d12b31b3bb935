#include "package/zip/zip_records.h"

#include <algorithm>

#include "player/swf/byte_reader.h"

namespace flashsaver {

std::optional<TEndOfCentralDir> ParseEndRecord(const uint8_t* data, size_t size) {
  ByteReader r({data, size});
  if (r.U32() != kEndRecordSignature) return std::nullopt;
  TEndOfCentralDir end;
  end.this_disk = r.U16();
  end.directory_disk = r.U16();
  end.entries_this_disk = r.U16();
  end.total_entries = r.U16();
  end.directory_size = r.U32();
  end.directory_offset = r.U32();
  end.comment_length = r.U16();
  if (!r.ok()) return std::nullopt;
  return end;
}

bool EndRecordAcceptable(const TEndOfCentralDir& end) {
  if (end.this_disk > 999 || end.directory_disk > 999) return false;
  if (end.this_disk < end.directory_disk) return false;
  return end.directory_offset <= 0x7FFFFFFFu;
}

std::optional<size_t> FindEndSignature(const uint8_t* data, size_t size) {
  if (size < kEndRecordSize) return std::nullopt;
  for (size_t i = size - kEndRecordSize + 1; i-- > 0;) {
    if (data[i] == 0x50 && data[i + 1] == 0x4B && data[i + 2] == 0x05 && data[i + 3] == 0x06) {
      return i;
    }
  }
  return std::nullopt;
}

namespace {

// The fields that the central entry and the local header hold alike and in the same order.
void ReadSharedFields(ByteReader& r, TZipEntryInfo& e) {
  e.version_needed = r.U16();
  e.flags = r.U16();
  e.method = r.U16();
  const uint16_t time = r.U16();
  const uint16_t date = r.U16();
  e.dos_date_time = (uint32_t{date} << 16) | time;
  e.crc32 = r.U32();
  e.compressed_size = r.U32();
  e.uncompressed_size = r.U32();
  e.name_length = r.U16();
  e.extra_length = r.U16();
}

}  // namespace

std::optional<TZipEntryInfo> ParseCentralEntry(const uint8_t* data, size_t size) {
  ByteReader r({data, size});
  if (r.U32() != kCentralEntrySignature) return std::nullopt;
  TZipEntryInfo e;
  e.version_made_by = r.U16();
  ReadSharedFields(r, e);
  e.comment_length = r.U16();
  e.disk_start = r.U16();
  e.internal_attributes = r.U16();
  e.external_attributes = r.U32();
  e.local_offset = r.U32();
  if (!r.ok()) return std::nullopt;
  return e;
}

std::optional<TZipEntryInfo> ParseLocalHeader(const uint8_t* data, size_t size) {
  ByteReader r({data, size});
  if (r.U32() != kLocalHeaderSignature) return std::nullopt;
  TZipEntryInfo e;
  ReadSharedFields(r, e);
  if (!r.ok()) return std::nullopt;
  return e;
}

void SetEntryName(TZipEntryInfo& entry, std::string name) {
  std::replace(name.begin(), name.end(), '/', '\\');
  const size_t cut = name.find_last_of("\\:");
  if (cut == std::string::npos) {
    entry.folder.clear();
    entry.file_name = std::move(name);
  } else {
    entry.folder = name.substr(0, cut + 1);
    entry.file_name = name.substr(cut + 1);
  }
}

}  // namespace flashsaver
