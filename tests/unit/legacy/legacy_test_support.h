// Helpers shared by the tests of the older ZIP methods: in-memory input and output for the
// decoders and the places of test data.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "package/zip/legacy_methods.h"
#include "tests/unit/legacy/legacy_zip_files.h"

namespace flashsaver::legacy_test {

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

// The folder of public archives with the older methods, if this machine has it.
std::optional<std::filesystem::path> PublicArchiveFolder();

// A fresh scratch folder for one test.
std::filesystem::path ScratchFolder();

}  // namespace flashsaver::legacy_test
