#include "player/text/record_reading.h"

namespace flashsaver::text {
namespace {

// 16.16 fixed point scale and rotate fields.
double Fixed16(int32_t v) { return v / 65536.0; }

void AppendLatin1(std::string& out, uint8_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

SwfRect ReadRect(ByteReader& reader) {
  const int n = static_cast<int>(reader.UnsignedBits(5));
  SwfRect r;
  r.x_min = Twips{reader.SignedBits(n)};
  r.x_max = Twips{reader.SignedBits(n)};
  r.y_min = Twips{reader.SignedBits(n)};
  r.y_max = Twips{reader.SignedBits(n)};
  reader.Skip(0);  // records start on a byte: a following MATRIX does not share this byte
  return r;
}

Matrix ReadMatrix(ByteReader& reader) {
  Matrix m;
  if (reader.UnsignedBits(1)) {
    const int n = static_cast<int>(reader.UnsignedBits(5));
    m.a = Fixed16(reader.SignedBits(n));
    m.d = Fixed16(reader.SignedBits(n));
  }
  if (reader.UnsignedBits(1)) {
    const int n = static_cast<int>(reader.UnsignedBits(5));
    m.b = Fixed16(reader.SignedBits(n));
    m.c = Fixed16(reader.SignedBits(n));
  }
  const int n = static_cast<int>(reader.UnsignedBits(5));
  m.tx = reader.SignedBits(n);
  m.ty = reader.SignedBits(n);
  reader.Skip(0);
  return m;
}

Rgba ReadRgb(ByteReader& reader) {
  Rgba c;
  c.r = reader.U8();
  c.g = reader.U8();
  c.b = reader.U8();
  return c;
}

Rgba ReadRgba(ByteReader& reader) {
  Rgba c = ReadRgb(reader);
  c.a = reader.U8();
  return c;
}

std::string ConvertName(std::span<const uint8_t> bytes, uint8_t swf_version) {
  while (!bytes.empty() && bytes.back() == 0) bytes = bytes.first(bytes.size() - 1);
  std::string out;
  for (uint8_t c : bytes) {
    if (swf_version >= 6) {
      out.push_back(static_cast<char>(c));
    } else {
      AppendLatin1(out, c);
    }
  }
  return out;
}

std::string ReadString(ByteReader& reader, uint8_t swf_version) {
  std::string out;
  while (reader.remaining() > 0) {
    const uint8_t c = reader.U8();
    if (c == 0) break;
    if (swf_version >= 6) {
      out.push_back(static_cast<char>(c));
    } else {
      AppendLatin1(out, c);
    }
  }
  return out;
}

}  // namespace flashsaver::text
