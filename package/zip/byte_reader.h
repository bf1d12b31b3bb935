// Little-endian fields out of a byte range. Every read is checked against the range; once a
// read fails the reader stays failed and returns zeros, so a record is read field by field and
// checked once at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace flashsaver {

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint16_t U16() { return static_cast<uint16_t>(Field(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Field(4)); }

  // Bytes taken as they are, NULs included.
  std::string Text(size_t length) {
    const uint8_t* p = Take(length);
    return p ? std::string(reinterpret_cast<const char*>(p), length) : std::string();
  }

  void Skip(size_t length) { Take(length); }

  bool ok() const { return ok_; }
  size_t position() const { return position_; }
  size_t remaining() const { return ok_ ? size_ - position_ : 0; }

 private:
  const uint8_t* Take(size_t length) {
    if (!ok_ || length > size_ - position_) {
      ok_ = false;
      return nullptr;
    }
    const uint8_t* p = data_ + position_;
    position_ += length;
    return p;
  }

  uint64_t Field(size_t length) {
    const uint8_t* p = Take(length);
    uint64_t value = 0;
    if (p) {
      for (size_t i = length; i-- > 0;) value = (value << 8) | p[i];
    }
    return value;
  }

  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
  bool ok_ = true;
};

}  // namespace flashsaver
