// Bit input for the older ZIP methods: bits are taken least significant first, as those methods
// store them. Input arrives in chunks from the archive reader.
#pragma once

#include <cstddef>
#include <cstdint>

#include "package/zip/legacy_methods.h"

namespace flashsaver {

class LsbBitReader {
 public:
  static constexpr size_t kChunk = 32768;

  explicit LsbBitReader(CompressedInput& in) : in_(in) {}
  LsbBitReader(const LsbBitReader&) = delete;
  LsbBitReader& operator=(const LsbBitReader&) = delete;

  // Makes at least n bits (n <= 32) visible to Peek. Past the end of the input the reader
  // supplies zero bits, so a decoder can look ahead freely; Exhausted tells when it used them.
  void Need(int n) {
    if (count_ < n) Refill();
  }
  uint32_t Peek(int n) const { return static_cast<uint32_t>(bits_ & ((uint64_t{1} << n) - 1)); }
  void Drop(int n) {
    bits_ >>= n;
    count_ -= n;
  }
  uint32_t Bits(int n) {
    Need(n);
    uint32_t value = Peek(n);
    Drop(n);
    return value;
  }

  // True once a bit beyond the end of the entry's data has been consumed.
  bool Exhausted() const { return count_ < padding_; }

 private:
  void Refill();

  CompressedInput& in_;
  uint64_t bits_ = 0;
  int count_ = 0;
  // Zero bits appended after the input ended; they sit at the top of bits_.
  int padding_ = 0;
  bool input_done_ = false;
  size_t pos_ = 0;
  size_t len_ = 0;
  uint8_t chunk_[kChunk];
};

}  // namespace flashsaver
