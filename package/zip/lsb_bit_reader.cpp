#include "package/zip/lsb_bit_reader.h"

namespace flashsaver {

void LsbBitReader::Refill() {
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
