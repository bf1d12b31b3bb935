// A 16-bit stereo WAV file at the mixer's rate, written as samples come.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace flashsaver {

class WavWriter {
 public:
  explicit WavWriter(const std::string& path);
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  bool ok() const { return file_ != nullptr && ok_; }
  void Write(const int16_t* frames, size_t count);
  // Writes the sizes into the header; false when any write failed.
  bool Close();

 private:
  std::FILE* file_ = nullptr;
  uint64_t data_bytes_ = 0;
  bool ok_ = true;
};

}  // namespace flashsaver
