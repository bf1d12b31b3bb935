#include "package/zip/lsb_bit_reader.h"

namespace flashsaver {

void LsbBitReader::Refill() {
  if (len_ - pos_ >= 8) {
    // Fast path: whole bytes up to 63 bits from one 8-byte read.
    const uint8_t* p = chunk_ + pos_;
    uint64_t word = 0;
    for (int i = 7; i >= 0; --i) word = (word << 8) | p[i];
    const int take = (63 - count_) >> 3;
    bits_ |= word << count_;
    pos_ += static_cast<size_t>(take);
    count_ += take * 8;
    bits_ &= (uint64_t{1} << count_) - 1;
    return;
  }
  while (count_ <= 56) {
    if (pos_ == len_ && !input_done_) {
      len_ = in_.ReadChunk(chunk_, kChunk);
      pos_ = 0;
      if (len_ > kChunk) len_ = 0;  // a misbehaving source must not make us read past chunk_
      if (len_ == 0) input_done_ = true;
    }
    if (pos_ < len_) {
      bits_ |= uint64_t{chunk_[pos_++]} << count_;
    } else {
      // Keep the count bounded while a decoder that ignores Exhausted keeps pulling.
      if (padding_ < 1 << 20) padding_ += 8;
    }
    count_ += 8;
  }
}

}  // namespace flashsaver
