#include "tools/swfplay/wav_file.h"

#include <algorithm>

#include "player/sound/mixer.h"

namespace flashsaver {
namespace {

void Put32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

void Header(uint8_t (&h)[44], uint32_t data_bytes) {
  const uint8_t fixed[44] = {'R', 'I', 'F', 'F', 0,  0, 0,   0,   'W', 'A', 'V', 'E', 'f', 'm', 't',
                             ' ', 16,  0,   0,   0,  1, 0,   2,   0,   0,   0,   0,   0,   0,   0,
                             0,   0,   4,   0,   16, 0, 'd', 'a', 't', 'a', 0,   0,   0,   0};
  for (int i = 0; i < 44; ++i) h[i] = fixed[i];
  Put32(h + 4, 36 + data_bytes);
  Put32(h + 24, kMixRate);
  Put32(h + 28, kMixRate * 4);
  Put32(h + 40, data_bytes);
}

}  // namespace

WavWriter::WavWriter(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {
  uint8_t h[44];
  Header(h, 0);
  if (file_) ok_ = std::fwrite(h, 1, sizeof h, file_) == sizeof h;
}

WavWriter::~WavWriter() {
  if (file_) std::fclose(file_);
}

void WavWriter::Write(const int16_t* frames, size_t count) {
  if (!file_) return;
  uint8_t bytes[4096];
  for (size_t done = 0; done < count;) {
    const size_t n = std::min(count - done, sizeof bytes / 4);
    for (size_t i = 0; i < 2 * n; ++i) {  // little-endian whatever the host
      const auto s = static_cast<uint16_t>(frames[2 * done + i]);
      bytes[2 * i] = static_cast<uint8_t>(s), bytes[2 * i + 1] = static_cast<uint8_t>(s >> 8);
    }
    ok_ &= std::fwrite(bytes, 1, 4 * n, file_) == 4 * n;
    done += n;
  }
  data_bytes_ += 4 * count;
}

bool WavWriter::Close() {
  if (!file_) return false;
  uint8_t h[44];
  // A WAV file cannot say more than 4 GB; longer output keeps its samples but not its size.
  Header(h, static_cast<uint32_t>(std::min<uint64_t>(data_bytes_, 0xFFFFFFF0u)));
  ok_ &= std::fseek(file_, 0, SEEK_SET) == 0 && std::fwrite(h, 1, sizeof h, file_) == sizeof h;
  ok_ &= std::fclose(file_) == 0;
  file_ = nullptr;
  return ok_;
}

}  // namespace flashsaver
