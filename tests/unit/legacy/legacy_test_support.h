// Helpers shared by the tests of the older ZIP methods: in-memory input and output for the
// decoders, a minimal ZIP writer and a walker over an archive's central directory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "package/zip/legacy_methods.h"

namespace flashsaver::legacy_test {

using Bytes = std::vector<uint8_t>;

// Hands out the data in chunks of at most chunk bytes, as the archive reader does.
class MemoryInput : public CompressedInput {
 public:
  explicit MemoryInput(const Bytes& data, size_t chunk = 32768) : data_(data), chunk_(chunk) {}
  size_t ReadChunk(uint8_t* buffer, size_t max) override;
  int calls_after_end = 0;

 private:
  const Bytes& data_;
  size_t chunk_;
  size_t pos_ = 0;
};

class MemoryOutput : public DecodedOutput {
 public:
  void WriteBlock(const uint8_t* data, size_t size) override;
  Bytes bytes;
  size_t blocks = 0;
  size_t largest_block = 0;
};

// Runs the decoder that the method and flags call for.
Bytes Decode(uint16_t method, uint16_t flags, const Bytes& compressed, uint64_t size,
             size_t chunk = 32768);

uint32_t Crc32(const Bytes& data);

struct ZipEntry {
  std::string name;
  uint16_t method = 0;
  uint16_t flags = 0;
  uint32_t crc = 0;
  uint64_t size = 0;
  Bytes compressed;
};

// A single-disk archive with the entries in order, as the classic tools wrote them.
Bytes MakeZip(const std::vector<ZipEntry>& entries);

// Reads the entries of an archive through its central directory; nullopt when it is malformed.
std::optional<std::vector<ZipEntry>> ReadZip(const Bytes& archive);

Bytes ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const Bytes& data);

// Sample data: text-like, a small alphabet, random bytes, long runs.
Bytes TextSample(size_t size, uint32_t seed);
Bytes RandomSample(size_t size, uint32_t seed, int alphabet = 256);
Bytes RunsSample(size_t size, uint32_t seed);

// The folder of public archives with the older methods, if this machine has it.
std::optional<std::filesystem::path> PublicArchiveFolder();

// A fresh scratch folder for one test.
std::filesystem::path ScratchFolder();

}  // namespace flashsaver::legacy_test
