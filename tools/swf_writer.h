// Writes SWF movies for tests and the demo: the header (stage, frame rate, frame count), a
// SetBackgroundColor tag, then either one ShowFrame per frame or a timeline of tags built with
// tools/swf_records.h, and End.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace flashsaver {

struct SwfMovieSpec {
  uint8_t version = 10;
  bool compressed = false;  // "CWS" (zlib after the first 8 bytes) instead of "FWS"
  int32_t width_px = 550;
  int32_t height_px = 400;
  // Frames per second as SWF stores it, 8.8 fixed point: 12 fps is 12 * 256.
  uint16_t frame_rate_8_8 = 12 * 256;
  uint16_t frame_count = 1;
  std::optional<uint32_t> background_rgb = 0xFFFFFF;  // 0xRRGGBB; nothing: no tag
};

// frame_count bare ShowFrame tags.
std::vector<uint8_t> WriteSwfMovie(const SwfMovieSpec& spec);
// The root timeline's tags as given (ShowFrame tags included) instead of bare frames.
std::vector<uint8_t> WriteSwfMovie(const SwfMovieSpec& spec, const std::vector<uint8_t>& timeline);

// False when the file cannot be written.
bool WriteSwfMovieFile(const SwfMovieSpec& spec, const std::string& path);
bool WriteBytesToFile(const std::vector<uint8_t>& bytes, const std::string& path);

// SWF's bit fields: most significant bit first, starting on a fresh byte; the record that
// follows starts on the next byte, as the format aligns after every bit-packed record.
class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
  void Unsigned(uint32_t value, int count);
  void Signed(int32_t value, int count) { Unsigned(static_cast<uint32_t>(value), count); }

 private:
  std::vector<uint8_t>& out_;
  int used_ = 0;
};

// The fewest bits that hold v as SWF's SB (two's complement) or UB field.
int SignedBitsFor(int32_t v);
int UnsignedBitsFor(uint32_t v);

void PutU8(std::vector<uint8_t>& out, uint32_t v);
void PutU16(std::vector<uint8_t>& out, uint32_t v);
void PutU32(std::vector<uint8_t>& out, uint32_t v);
// A tag record: the short form below 63 body bytes, else the long form.
void PutTag(std::vector<uint8_t>& out, uint16_t code, const std::vector<uint8_t>& body);

}  // namespace flashsaver
