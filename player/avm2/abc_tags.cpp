#include "player/avm2/abc_tags.h"

#include <algorithm>

#include "player/swf/byte_reader.h"

namespace flashsaver::avm2 {

namespace {

// A NUL-terminated string; false when the body ends first.
bool ReadTerminated(ByteReader& reader, std::string& out) {
  out.clear();
  while (reader.ok()) {
    const uint8_t c = reader.U8();
    if (!reader.ok()) return false;
    if (c == 0) return true;
    out.push_back(static_cast<char>(c));
  }
  return false;
}

}  // namespace

std::optional<DoAbcTag> ReadDoAbcTag(std::span<const uint8_t> body) {
  ByteReader reader(body);
  DoAbcTag tag;
  tag.flags = reader.U32();
  if (!reader.ok() || !ReadTerminated(reader, tag.name)) return std::nullopt;
  tag.abc = body.subspan(reader.offset());
  return tag;
}

DoAbcTag ReadDoAbcOldTag(std::span<const uint8_t> body) {
  DoAbcTag tag;
  tag.abc = body;
  return tag;
}

std::vector<SymbolClassEntry> ReadSymbolClassTag(std::span<const uint8_t> body) {
  ByteReader reader(body);
  const uint16_t count = reader.U16();
  std::vector<SymbolClassEntry> entries;
  // Each entry takes at least three bytes.
  entries.reserve(std::min<size_t>(count, reader.remaining() / 3));
  for (uint16_t i = 0; i < count && reader.ok(); ++i) {
    SymbolClassEntry entry;
    entry.character_id = reader.U16();
    if (!reader.ok() || !ReadTerminated(reader, entry.class_name)) break;
    entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace flashsaver::avm2
