// The variable-length integers of ABC files and code: 7 bits a byte, low bits first, at most 5
// bytes. Each reader advances `pos` and returns false (leaving `pos` alone) when the bytes end
// first or, for u30, when the value needs more than 30 bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace flashsaver::avm2 {

// A u32; the fifth byte gives only its low 4 bits, as Flash reads it.
inline bool ReadVarU32(std::span<const uint8_t> data, size_t& pos, uint32_t& value) {
  uint32_t v = 0;
  size_t p = pos;
  for (int shift = 0; shift < 35; shift += 7) {
    if (p >= data.size()) return false;
    const uint8_t b = data[p++];
    v |= static_cast<uint32_t>(b & 0x7F) << shift;
    if (!(b & 0x80) || shift == 28) break;
  }
  pos = p;
  value = v;
  return true;
}

inline bool ReadVarU30(std::span<const uint8_t> data, size_t& pos, uint32_t& value) {
  size_t p = pos;
  uint32_t v = 0;
  if (!ReadVarU32(data, p, v) || (v & 0xC0000000u)) return false;
  pos = p;
  value = v;
  return true;
}

// An s32. Flash reads it as a u32 taken as signed: a short form is never sign-extended (a
// negative value needs all five bytes), whatever the file format's notes say.
inline bool ReadVarS32(std::span<const uint8_t> data, size_t& pos, int32_t& value) {
  uint32_t v = 0;
  if (!ReadVarU32(data, pos, v)) return false;
  value = static_cast<int32_t>(v);
  return true;
}

// A 24-bit little-endian signed branch offset.
inline bool ReadS24(std::span<const uint8_t> data, size_t& pos, int32_t& value) {
  if (data.size() < 3 || pos > data.size() - 3) return false;
  uint32_t v = data[pos] | (data[pos + 1] << 8) | (static_cast<uint32_t>(data[pos + 2]) << 16);
  v = (v ^ 0x800000u) - 0x800000u;
  value = static_cast<int32_t>(v);
  pos += 3;
  return true;
}

}  // namespace flashsaver::avm2
