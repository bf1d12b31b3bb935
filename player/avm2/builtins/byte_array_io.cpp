// The byte-level side of ByteArray: the cursor's reads and writes, length changes, index access
// and the text codings Flash applies to bytes.
#include <bit>
#include <cstring>

#include "player/avm2/builtins/byte_array.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {

ByteArrayObject* AsByteArray(const Value& v) {
  return dynamic_cast<ByteArrayObject*>(v.AsObject());
}

void SetByteArrayLength(Vm& vm, ByteArrayObject& ba, size_t n) {
  if (n > kMaxByteArrayLength) vm.ThrowError(ErrorType::kError, 1000);
  ba.bytes.resize(n, 0);
  if (ba.position > n) ba.position = static_cast<uint32_t>(n);
}

std::span<const uint8_t> ByteCursor::Read(size_t n) {
  size_t pos = ba_.position;
  if (pos > ba_.bytes.size() || n > ba_.bytes.size() - pos)
    vm_.ThrowError(ErrorType::kEOFError, 2030);
  ba_.position = static_cast<uint32_t>(pos + n);
  return std::span<const uint8_t>(ba_.bytes.data() + pos, n);
}

namespace {
uint64_t Load(std::span<const uint8_t> b, bool little) {
  uint64_t v = 0;
  for (size_t i = 0; i < b.size(); ++i) {
    size_t k = little ? b.size() - 1 - i : i;
    v = (v << 8) | b[k];
  }
  return v;
}
void Store(uint8_t* out, uint64_t v, size_t n, bool little) {
  for (size_t i = 0; i < n; ++i) {
    size_t k = little ? i : n - 1 - i;
    out[k] = static_cast<uint8_t>(v >> (8 * i));
  }
}
}  // namespace

uint16_t ByteCursor::U16() { return static_cast<uint16_t>(Load(Read(2), ba_.little_endian)); }
uint32_t ByteCursor::U32() { return static_cast<uint32_t>(Load(Read(4), ba_.little_endian)); }
double ByteCursor::F32() { return std::bit_cast<float>(U32()); }
double ByteCursor::F64() { return std::bit_cast<double>(Load(Read(8), ba_.little_endian)); }
uint16_t ByteCursor::U16BE() { return static_cast<uint16_t>(Load(Read(2), false)); }
uint32_t ByteCursor::U32BE() { return static_cast<uint32_t>(Load(Read(4), false)); }
double ByteCursor::F64BE() { return std::bit_cast<double>(Load(Read(8), false)); }

void ByteCursor::Write(std::span<const uint8_t> data) {
  size_t pos = ba_.position;
  size_t end = pos + data.size();
  if (end > kMaxByteArrayLength) vm_.ThrowError(ErrorType::kError, 1000);
  if (end > ba_.bytes.size()) ba_.bytes.resize(end, 0);
  if (!data.empty()) std::memmove(ba_.bytes.data() + pos, data.data(), data.size());
  ba_.position = static_cast<uint32_t>(end);
}

void ByteCursor::W16(uint16_t v) {
  uint8_t b[2];
  Store(b, v, 2, ba_.little_endian);
  Write(b);
}
void ByteCursor::W32(uint32_t v) {
  uint8_t b[4];
  Store(b, v, 4, ba_.little_endian);
  Write(b);
}
void ByteCursor::WF32(float v) { W32(std::bit_cast<uint32_t>(v)); }
void ByteCursor::WF64(double v) {
  uint8_t b[8];
  Store(b, std::bit_cast<uint64_t>(v), 8, ba_.little_endian);
  Write(b);
}
void ByteCursor::W16BE(uint16_t v) {
  uint8_t b[2];
  Store(b, v, 2, false);
  Write(b);
}
void ByteCursor::W32BE(uint32_t v) {
  uint8_t b[4];
  Store(b, v, 4, false);
  Write(b);
}
void ByteCursor::WF64BE(double v) {
  uint8_t b[8];
  Store(b, std::bit_cast<uint64_t>(v), 8, false);
  Write(b);
}

std::u16string DecodeUtf8Lenient(std::span<const uint8_t> b, bool stop_at_nul) {
  std::u16string out;
  out.reserve(b.size());
  size_t i = 0;
  while (i < b.size()) {
    uint8_t c = b[i];
    if (c == 0 && stop_at_nul) break;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    uint32_t cp = c;
    bool ok = c < 0x80;
    if (extra) {
      cp = c & (extra == 3 ? 0x07 : extra == 2 ? 0x0F : 0x1F);
      ok = i + static_cast<size_t>(extra) < b.size();
      for (int k = 1; ok && k <= extra; ++k) {
        uint8_t n = b[i + static_cast<size_t>(k)];
        if ((n & 0xC0) != 0x80) ok = false;
        cp = (cp << 6) | (n & 0x3F);
      }
      static constexpr uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
      if (ok && (cp < kMin[extra] || cp > 0x10FFFF)) ok = false;
    }
    if (!ok) {
      out.push_back(c);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += static_cast<size_t>(extra) + 1;
  }
  return out;
}

std::string EncodeUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::u16string ByteArrayText(std::span<const uint8_t> b) {
  if (b.size() >= 2 && ((b[0] == 0xFE && b[1] == 0xFF) || (b[0] == 0xFF && b[1] == 0xFE))) {
    bool big = b[0] == 0xFE;
    std::u16string out;
    for (size_t i = 2; i + 1 < b.size(); i += 2) {
      char16_t c = big ? static_cast<char16_t>(b[i] << 8 | b[i + 1])
                       : static_cast<char16_t>(b[i + 1] << 8 | b[i]);
      out.push_back(c);
    }
    return out;
  }
  if (b.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) b = b.subspan(3);
  return DecodeUtf8Lenient(b, false);
}

bool ByteArrayGetIndex(const Object* o, std::u16string_view name, Value& out) {
  // Cheap test first: property access runs this for every object.
  if (o->kind() != ObjectKind::kBoxed) return false;
  auto* ba = dynamic_cast<const ByteArrayObject*>(o);
  if (!ba) return false;
  int64_t i = Vm::ArrayIndex(name);
  if (i < 0) return false;
  out = static_cast<size_t>(i) < ba->bytes.size()
            ? Value(static_cast<int32_t>(ba->bytes[static_cast<size_t>(i)]))
            : Value();
  return true;
}

bool ByteArraySetIndex(Vm& vm, Object* o, std::u16string_view name, const Value& v) {
  if (o->kind() != ObjectKind::kBoxed) return false;
  auto* ba = dynamic_cast<ByteArrayObject*>(o);
  if (!ba) return false;
  int64_t i = Vm::ArrayIndex(name);
  if (i < 0) return false;
  auto byte = static_cast<uint8_t>(vm.ToInt32(v));
  auto n = static_cast<size_t>(i);
  if (n >= ba->bytes.size()) {
    if (n >= kMaxByteArrayLength) vm.ThrowError(ErrorType::kError, 1000);
    ba->bytes.resize(n + 1, 0);
  }
  ba->bytes[n] = byte;
  return true;
}

bool ByteArrayHasIndex(const Object* o, std::u16string_view name, bool& has) {
  // Cheap test first: property access runs this for every object.
  if (o->kind() != ObjectKind::kBoxed) return false;
  auto* ba = dynamic_cast<const ByteArrayObject*>(o);
  if (!ba) return false;
  int64_t i = Vm::ArrayIndex(name);
  if (i < 0) return false;
  has = static_cast<size_t>(i) < ba->bytes.size();
  return true;
}

}  // namespace flashsaver::avm2
