#include "player/text/record_reading.h"

namespace flashsaver::text {
namespace {

void AppendLatin1(std::string& out, uint8_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

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
