// flash.utils.ByteArray's storage and the byte-level reads and writes that its methods, the AMF
// coders and domain memory share.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "player/avm2/object.h"

namespace flashsaver::avm2 {

class Vm;

// Flash refuses lengths near 4 GB; this player stops at 1 GiB, with #1000 like Flash's own
// out-of-memory failure, so a script cannot exhaust the machine.
inline constexpr size_t kMaxByteArrayLength = size_t{1} << 30;

class ByteArrayObject : public BoxedObject {
 public:
  using BoxedObject::BoxedObject;
  std::vector<uint8_t> bytes;
  uint32_t position = 0;
  bool little_endian = false;
  uint8_t object_encoding = 3;
  bool shareable = false;
};

ByteArrayObject* NewByteArray(Vm& vm);
ByteArrayObject* AsByteArray(const Value& v);

// Cursor operations on a ByteArray: reads throw EOFError #2030 past the end, writes grow the
// array (zero-filling any gap before the position).
class ByteCursor {
 public:
  ByteCursor(Vm& vm, ByteArrayObject& ba) : vm_(vm), ba_(ba) {}
  std::span<const uint8_t> Read(size_t n);
  uint8_t U8() { return Read(1)[0]; }
  uint16_t U16();
  uint32_t U32();
  double F32();
  double F64();
  // Big-endian regardless of the array's endian (AMF's fixed byte order).
  uint16_t U16BE();
  uint32_t U32BE();
  double F64BE();
  void Write(std::span<const uint8_t> data);
  void W8(uint8_t v) { Write(std::span<const uint8_t>(&v, 1)); }
  void W16(uint16_t v);
  void W32(uint32_t v);
  void WF32(float v);
  void WF64(double v);
  void W16BE(uint16_t v);
  void W32BE(uint32_t v);
  void WF64BE(double v);
  ByteArrayObject& array() { return ba_; }
  Vm& vm() { return vm_; }

 private:
  Vm& vm_;
  ByteArrayObject& ba_;
};

// Grows (zero-filling) or shrinks; #1000 past the cap.
void SetByteArrayLength(Vm& vm, ByteArrayObject& ba, size_t n);
// Flash's lenient UTF-8 decoding: a malformed sequence gives its lead byte as a Latin-1
// character and decoding resumes after it. stop_at_nul ends the text at the first NUL.
std::u16string DecodeUtf8Lenient(std::span<const uint8_t> bytes, bool stop_at_nul);
// UTF-16 to UTF-8; an unpaired surrogate is written as its own three-byte form, as Flash does.
std::string EncodeUtf8(std::u16string_view s);
// toString: UTF-8 after an optional BOM, or UTF-16 after FE FF / FF FE.
std::u16string ByteArrayText(std::span<const uint8_t> bytes);

// Index access (ba[i]); false when the name is not an index.
bool ByteArrayGetIndex(const Object* o, std::u16string_view name, Value& out);
bool ByteArraySetIndex(Vm& vm, Object* o, std::u16string_view name, const Value& v);
bool ByteArrayHasIndex(const Object* o, std::u16string_view name, bool& has);

}  // namespace flashsaver::avm2
