#include "tools/swf_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace flashsaver {

void BitWriter::Unsigned(uint32_t value, int count) {
  for (int i = count - 1; i >= 0; --i) {
    if (used_ == 0) out_.push_back(0);
    if ((value >> i) & 1u) out_.back() |= static_cast<uint8_t>(0x80u >> used_);
    used_ = (used_ + 1) % 8;
  }
}

int SignedBitsFor(int32_t v) {
  int bits = 1;
  while (bits < 32) {
    const int64_t limit = int64_t{1} << (bits - 1);
    if (v < limit && v >= -limit) break;
    ++bits;
  }
  return bits;
}

int UnsignedBitsFor(uint32_t v) {
  int bits = 0;
  while (bits < 32 && (v >> bits) != 0) ++bits;
  return bits;
}

void PutU8(std::vector<uint8_t>& out, uint32_t v) { out.push_back(static_cast<uint8_t>(v)); }

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  PutU16(out, v & 0xFFFFu);
  PutU16(out, v >> 16);
}

void PutTag(std::vector<uint8_t>& out, uint16_t code, const std::vector<uint8_t>& body) {
  if (body.size() < 0x3F) {
    PutU16(out, static_cast<uint32_t>(code << 6) | static_cast<uint32_t>(body.size()));
  } else {
    PutU16(out, static_cast<uint32_t>(code << 6) | 0x3Fu);
    PutU32(out, static_cast<uint32_t>(body.size()));
  }
  out.insert(out.end(), body.begin(), body.end());
}

std::vector<uint8_t> WriteSwfMovie(const SwfMovieSpec& spec) {
  std::vector<uint8_t> frames;
  for (uint32_t i = 0; i < spec.frame_count; ++i) PutTag(frames, 1, {});
  return WriteSwfMovie(spec, frames);
}

std::vector<uint8_t> WriteSwfMovie(const SwfMovieSpec& spec, const std::vector<uint8_t>& timeline) {
  std::vector<uint8_t> body;
  const int32_t xmax = spec.width_px * 20;
  const int32_t ymax = spec.height_px * 20;
  const int nbits = std::max(SignedBitsFor(xmax), SignedBitsFor(ymax));
  {
    BitWriter bits(body);
    bits.Unsigned(static_cast<uint32_t>(nbits), 5);
    bits.Signed(0, nbits);
    bits.Signed(xmax, nbits);
    bits.Signed(0, nbits);
    bits.Signed(ymax, nbits);
  }
  PutU16(body, spec.frame_rate_8_8);
  PutU16(body, spec.frame_count);
  if (spec.background_rgb) {
    const uint32_t rgb = *spec.background_rgb;
    PutTag(body, 9,
           {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
            static_cast<uint8_t>(rgb)});
  }
  body.insert(body.end(), timeline.begin(), timeline.end());
  PutTag(body, 0, {});

  std::vector<uint8_t> out = {static_cast<uint8_t>(spec.compressed ? 'C' : 'F'), 'W', 'S',
                              spec.version};
  PutU32(out, static_cast<uint32_t>(8 + body.size()));
  if (!spec.compressed) {
    out.insert(out.end(), body.begin(), body.end());
    return out;
  }
  uLongf packed_size = compressBound(static_cast<uLong>(body.size()));
  std::vector<uint8_t> packed(packed_size);
  if (compress2(packed.data(), &packed_size, body.data(), static_cast<uLong>(body.size()), 9) !=
      Z_OK) {
    throw std::runtime_error("zlib compression failed");
  }
  out.insert(out.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packed_size));
  return out;
}

bool WriteBytesToFile(const std::vector<uint8_t>& bytes, const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

bool WriteSwfMovieFile(const SwfMovieSpec& spec, const std::string& path) {
  return WriteBytesToFile(WriteSwfMovie(spec), path);
}

}  // namespace flashsaver
