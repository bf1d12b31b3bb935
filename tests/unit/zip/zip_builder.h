// Archives made byte by byte for the reader's tests: each entry's fields can be set to anything,
// so that every inconsistency can be built on purpose.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace flashsaver::testing {

using Bytes = std::vector<uint8_t>;

uint32_t Crc32(const std::string& data);
// Raw Deflate (no header), as ZIP stores it.
std::string Deflate(const std::string& data);

struct TestEntry {
  std::string name;
  std::string data;  // as stored in the archive (already compressed for other methods)
  uint16_t method = 0;
  uint32_t crc = 0;
  uint32_t uncompressed_size = 0;
  uint16_t flags = 0;
  uint16_t version_made_by = 0x0314;  // Unix host
  uint32_t external_attributes = 0;
  uint32_t dos_date_time = 0x5A871234;
  std::string local_extra;
  std::string central_extra;
  std::string comment;
  std::string local_name;  // when not empty, the local header's name differs
  uint16_t central_extra_length_declared = 0xFFFF;  // 0xFFFF: the real length
  // When set, replaces what the central entry says.
  int64_t central_offset = -1;
  int64_t compressed_size = -1;
};

// A stored entry with the right CRC and sizes.
TestEntry Stored(const std::string& name, const std::string& data);
// A deflated entry with the right CRC and sizes.
TestEntry Deflated(const std::string& name, const std::string& data);

struct ArchiveLayout {
  Bytes bytes;
  uint32_t directory_offset = 0;
  uint32_t end_offset = 0;
  std::vector<uint32_t> local_offsets;
};

class ZipBuilder {
 public:
  ZipBuilder& Add(TestEntry entry) {
    entries_.push_back(std::move(entry));
    return *this;
  }
  ZipBuilder& Comment(std::string comment) {
    comment_ = std::move(comment);
    return *this;
  }
  ZipBuilder& Prefix(std::string bytes) {
    prefix_ = std::move(bytes);
    return *this;
  }
  // Central entries in this order (indexes into the added entries) instead of archive order.
  ZipBuilder& CentralOrder(std::vector<size_t> order) {
    order_ = std::move(order);
    return *this;
  }
  // Overrides of the end record's fields.
  ZipBuilder& EndFields(int this_disk, int directory_disk, int64_t total, int64_t offset) {
    this_disk_ = this_disk, directory_disk_ = directory_disk, total_ = total, offset_ = offset;
    return *this;
  }
  ArchiveLayout Build() const;

 private:
  std::vector<TestEntry> entries_;
  std::vector<size_t> order_;
  std::string comment_;
  std::string prefix_;
  int this_disk_ = 0, directory_disk_ = 0;
  int64_t total_ = -1, offset_ = -1;
};

void Put16(Bytes& b, uint32_t v);
void Put32(Bytes& b, uint32_t v);
void PutText(Bytes& b, const std::string& s);
void Poke32(Bytes& b, size_t at, uint32_t v);

}  // namespace flashsaver::testing
