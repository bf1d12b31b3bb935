// Archives and sample data for the tests and benchmarks of the older ZIP methods: a minimal
// ZIP writer, a walker over an archive's central directory, CRC-32 and sample generators.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace flashsaver::legacy_test {

using Bytes = std::vector<uint8_t>;

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

}  // namespace flashsaver::legacy_test
