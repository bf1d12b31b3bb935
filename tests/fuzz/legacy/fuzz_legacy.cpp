// libFuzzer targets for the decoders of the older ZIP methods, one executable per decoder
// (FUZZ_DECODER is 1 for unshrinking, 2 for expanding, 6 for exploding).
// Input: byte 0 the parameter (compression factor or general-purpose flags), bytes 1 to 3 the
// declared size (up to 1 MB), byte 4 the input chunk size (0: 32768), then the stream.
// Besides the sanitizers it checks the output against the declared size and the block limit.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "package/zip/legacy_methods.h"

namespace {

using namespace flashsaver;

class Input final : public CompressedInput {
 public:
  Input(const uint8_t* data, size_t size, size_t chunk) : data_(data), size_(size), chunk_(chunk) {}
  size_t ReadChunk(uint8_t* buffer, size_t max) override {
    if (max > 32768) std::abort();
    size_t n = size_ - pos_;
    if (n > max) n = max;
    if (n > chunk_) n = chunk_;
    if (n > 0) std::memcpy(buffer, data_ + pos_, n);
    pos_ += n;
    return n;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t chunk_;
  size_t pos_ = 0;
};

class Output final : public DecodedOutput {
 public:
  explicit Output(uint64_t limit) : limit_(limit) {}
  void WriteBlock(const uint8_t* data, size_t size) override {
    if (size == 0 || size > 32768 || total_ + size > limit_) {
      std::fprintf(stderr, "bad block of %zu bytes after %llu of %llu\n", size,
                   static_cast<unsigned long long>(total_),
                   static_cast<unsigned long long>(limit_));
      std::abort();
    }
    // Touch every byte so the sanitizers see a block that points outside the window.
    for (size_t i = 0; i < size; ++i) sum_ += data[i];
    total_ += size;
  }

 private:
  uint64_t limit_;
  uint64_t total_ = 0;
  unsigned sum_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const unsigned parameter = data[0];
  const uint64_t declared = data[1] | (data[2] << 8) | ((data[3] & 0x0F) << 16);
  const size_t chunk = data[4] == 0 ? 32768 : data[4];
  Input in(data + 5, size - 5, chunk);
  Output out(declared);
#if FUZZ_DECODER == 1
  (void)parameter;
  Unshrink(in, out, declared);
#elif FUZZ_DECODER == 2
  Expand(in, out, static_cast<int>(parameter % 4) + 1, declared);
#else
  Explode(in, out, static_cast<uint16_t>(parameter & 6), declared);
#endif
  return 0;
}
