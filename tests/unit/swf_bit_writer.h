// Builds SWF record bodies by hand for reader tests: bit fields most significant bit first, byte
// fields little-endian, as the format packs them.
#pragma once

#include <cstdint>
#include <vector>

namespace flashsaver::test {

class SwfBitWriter {
 public:
  SwfBitWriter& Bits(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
      if (used_ == 0) bytes_.push_back(0);
      if ((value >> i) & 1u) bytes_.back() |= static_cast<uint8_t>(0x80u >> used_);
      used_ = (used_ + 1) % 8;
    }
    return *this;
  }
  SwfBitWriter& Signed(int32_t value, int count) {
    return Bits(static_cast<uint32_t>(value) & ((1u << count) - 1), count);
  }
  SwfBitWriter& Align() {
    used_ = 0;
    return *this;
  }
  SwfBitWriter& U8(uint8_t v) {
    Align();
    bytes_.push_back(v);
    return *this;
  }
  SwfBitWriter& U16(uint16_t v) {
    return U8(static_cast<uint8_t>(v)).U8(static_cast<uint8_t>(v >> 8));
  }
  SwfBitWriter& U32(uint32_t v) {
    return U16(static_cast<uint16_t>(v)).U16(static_cast<uint16_t>(v >> 16));
  }
  // A RECT with 16-bit fields, or the identity-with-translation MATRIX.
  SwfBitWriter& Rect(int32_t x0, int32_t x1, int32_t y0, int32_t y1) {
    Align().Bits(16, 5).Signed(x0, 16).Signed(x1, 16).Signed(y0, 16).Signed(y1, 16);
    return Align();
  }
  SwfBitWriter& Translate(int32_t tx, int32_t ty) {
    Align().Bits(0, 1).Bits(0, 1).Bits(16, 5).Signed(tx, 16).Signed(ty, 16);
    return Align();
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  int used_ = 0;
};

}  // namespace flashsaver::test
