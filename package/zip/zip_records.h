// The fixed parts of the three ZIP records, as the reader keeps them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace flashsaver {

inline constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
inline constexpr uint32_t kCentralEntrySignature = 0x02014B50;
inline constexpr uint32_t kEndRecordSignature = 0x06054B50;

inline constexpr size_t kLocalHeaderSize = 30;
inline constexpr size_t kCentralEntrySize = 46;
inline constexpr size_t kEndRecordSize = 22;
inline constexpr size_t kMaxCommentLength = 65535;

struct TEndOfCentralDir {
  uint16_t this_disk = 0;
  uint16_t directory_disk = 0;
  uint16_t entries_this_disk = 0;
  uint16_t total_entries = 0;
  uint32_t directory_size = 0;
  uint32_t directory_offset = 0;
  uint16_t comment_length = 0;
  uint64_t comment_position = 0;
};

struct TZipEntryInfo {
  uint16_t version_made_by = 0;
  uint16_t version_needed = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint32_t dos_date_time = 0;  // date in the high word
  uint32_t crc32 = 0;
  uint32_t compressed_size = 0;
  uint32_t uncompressed_size = 0;
  uint16_t name_length = 0;
  uint16_t extra_length = 0;
  uint16_t comment_length = 0;
  uint16_t disk_start = 0;
  uint16_t internal_attributes = 0;
  uint32_t external_attributes = 0;
  uint32_t local_offset = 0;
  uint64_t central_position = 0;
  std::string folder;     // up to and including the last "\" or ":"
  std::string file_name;  // the rest

  bool encrypted() const { return flags & 0x0001; }
  bool has_descriptor() const { return flags & 0x0008; }
  bool from_dos_host() const { return (version_made_by >> 8) == 0; }
};

// The 22 fixed bytes of an end record; nullopt when the signature does not match.
std::optional<TEndOfCentralDir> ParseEndRecord(const uint8_t* data, size_t size);

// The validity test of an end record (disk numbers, directory offset).
bool EndRecordAcceptable(const TEndOfCentralDir& end);

// Position of the end signature nearest to the end of a tail window; the window's last 21 bytes
// are never taken, as no full record would fit there.
std::optional<size_t> FindEndSignature(const uint8_t* data, size_t size);

// The 46 fixed bytes of a central entry; nullopt when the signature does not match.
std::optional<TZipEntryInfo> ParseCentralEntry(const uint8_t* data, size_t size);

// The 30 fixed bytes of a local header as an entry (no version made by, no attributes).
std::optional<TZipEntryInfo> ParseLocalHeader(const uint8_t* data, size_t size);

// Stores the name: "/" becomes "\", then folder and file-name part are split.
void SetEntryName(TZipEntryInfo& entry, std::string name);

}  // namespace flashsaver
