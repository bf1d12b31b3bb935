#include "player/swf/byte_reader.h"

namespace flashsaver {

bool ByteReader::Take(size_t count) {
  bits_left_ = 0;
  if (!ok_ || count > data_.size() - offset_) {
    ok_ = false;
    return false;
  }
  return true;
}

uint8_t ByteReader::U8() {
  if (!Take(1)) return 0;
  return data_[offset_++];
}

uint16_t ByteReader::U16() {
  if (!Take(2)) return 0;
  const uint16_t v = static_cast<uint16_t>(data_[offset_] | (data_[offset_ + 1] << 8));
  offset_ += 2;
  return v;
}

uint32_t ByteReader::U32() {
  if (!Take(4)) return 0;
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | data_[offset_ + static_cast<size_t>(i)];
  offset_ += 4;
  return v;
}

std::span<const uint8_t> ByteReader::Bytes(size_t count) {
  if (!Take(count)) return {};
  const std::span<const uint8_t> part = data_.subspan(offset_, count);
  offset_ += count;
  return part;
}

uint32_t ByteReader::UnsignedBits(int count) {
  uint32_t v = 0;
  for (int i = 0; i < count; ++i) {
    if (bits_left_ == 0) {
      if (!ok_ || offset_ >= data_.size()) {
        ok_ = false;
        return 0;
      }
      bit_buffer_ = data_[offset_++];
      bits_left_ = 8;
    }
    --bits_left_;
    v = (v << 1) | ((bit_buffer_ >> bits_left_) & 1u);
  }
  return ok_ ? v : 0;
}

int32_t ByteReader::SignedBits(int count) {
  if (count <= 0) return 0;
  const uint32_t v = UnsignedBits(count);
  if (count < 32 && (v >> (count - 1)) & 1u) {
    return static_cast<int32_t>(v | (~0u << count));
  }
  return static_cast<int32_t>(v);
}

}  // namespace flashsaver
