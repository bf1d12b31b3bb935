// Writes a ZIP archive (stored or deflated entries, no ZIP64) into a seekable stream, starting
// at the stream's current position; offsets inside the archive count from there.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace saverpack {

struct ZipEntryOptions {
  bool deflate = true;
  bool read_only = false;
  uint32_t dos_time = 0;  // DOS date in the high word, time in the low word
};

class ZipWriter {
 public:
  explicit ZipWriter(std::ostream& out);
  // Streams data into a new entry named name. Throws std::runtime_error on failure or when
  // the archive would exceed what a ZIP without its 64-bit extension can hold.
  void Add(const std::string& name, std::istream& data, const ZipEntryOptions& options);
  void AddBytes(const std::string& name, const std::string& data, const ZipEntryOptions& options);
  // Writes the central directory and the end record.
  void Finish();

 private:
  struct Entry {
    std::string name;
    uint32_t crc = 0;
    uint64_t compressed = 0;
    uint64_t size = 0;
    uint64_t local_offset = 0;
    uint16_t method = 0;
    uint32_t dos_time = 0;
    uint32_t attributes = 0;
  };
  uint64_t Position();

  std::ostream& out_;
  std::streamoff base_;
  std::vector<Entry> entries_;
};

// The current local time as a DOS date and time.
uint32_t DosNow();

}  // namespace saverpack
