// A bounds-checked little-endian reader over bytes it does not own. Once a read fails it stays
// failed and every later read gives 0, so a parser reads a record's fields and checks once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace flashsaver {

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

  bool ok() const { return ok_; }
  size_t offset() const { return offset_; }
  size_t remaining() const { return ok_ ? data_.size() - offset_ : 0; }

  uint8_t U8();
  uint16_t U16();
  uint32_t U32();
  // The next count bytes, or an empty span (and failure) when there are not that many.
  std::span<const uint8_t> Bytes(size_t count);
  void Skip(size_t count) { Bytes(count); }

  // Bit fields, most significant bit first, as SWF packs them. A byte read realigns.
  uint32_t UnsignedBits(int count);
  int32_t SignedBits(int count);

 private:
  bool Take(size_t count);

  std::span<const uint8_t> data_;
  size_t offset_ = 0;
  bool ok_ = true;
  uint8_t bit_buffer_ = 0;
  int bits_left_ = 0;
};

}  // namespace flashsaver
