// Decoders of the older ZIP methods: shrinking (1), reducing (2 to 5), imploding (6).
// They read the entry's compressed bytes from the reader in chunks and hand decoded blocks to
// the reader's output path, which checks the size, runs the CRC and writes them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace flashsaver {

class CompressedInput {
 public:
  virtual ~CompressedInput() = default;
  // Copies up to max bytes (max <= 32768) of the entry's compressed data into buffer; never
  // reads past the entry's compressed size. 0 when the data is used up.
  virtual size_t ReadChunk(uint8_t* buffer, size_t max) = 0;
};

class DecodedOutput {
 public:
  virtual ~DecodedOutput() = default;
  // Takes one block of decoded bytes. May throw (output beyond the uncompressed size).
  virtual void WriteBlock(const uint8_t* data, size_t size) = 0;
};

// Each stops after uncompressed_size bytes or when the input is used up. A corrupt stream never
// throws on its own: the output is short or wrong and fails the reader's CRC test.
void Unshrink(CompressedInput& in, DecodedOutput& out, uint64_t uncompressed_size);
// factor: 1 to 4 (the method number minus 1).
void Expand(CompressedInput& in, DecodedOutput& out, int factor, uint64_t uncompressed_size);
// general_flags: the entry's general-purpose bit flags (bit 1: 8 KB dictionary, bit 2: three
// trees).
void Explode(CompressedInput& in, DecodedOutput& out, uint16_t general_flags,
             uint64_t uncompressed_size);

}  // namespace flashsaver
