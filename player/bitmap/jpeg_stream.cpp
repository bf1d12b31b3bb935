#include <cstddef>

#include "player/bitmap/bitmap_decoders.h"

namespace flashsaver {
namespace {

constexpr uint8_t kMarker = 0xFF;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kStartOfScan = 0xDA;

// Markers that stand alone, without a length: TEM and the restart markers.
bool StandsAlone(uint8_t code) { return code == 0x01 || (code >= 0xD0 && code <= 0xD7); }

}  // namespace

// Format notes: a JPEG stream is a run of marker segments (FF, code, big-endian length that
// counts itself) up to the start of scan, after which the entropy-coded data follows. SWF keeps
// the tables of DefineBits in JPEGTables, each part wrapped in its own start and end marker, and
// encoders before SWF 8 also put an end-start pair (FF D9 FF D8) in front of the image or
// between its tables. Flash reads past all of these; libjpeg stops at the first end marker. So
// the segments before the scan are copied without any start or end marker, behind one start
// marker, and everything from the scan on is copied as it is.
std::vector<uint8_t> JoinJpegStreams(std::span<const uint8_t> tables,
                                     std::span<const uint8_t> image) {
  std::vector<uint8_t> joined(tables.begin(), tables.end());
  joined.insert(joined.end(), image.begin(), image.end());
  std::vector<uint8_t> out = {kMarker, kStartOfImage};
  out.reserve(joined.size() + 2);
  size_t pos = 0;
  while (pos + 1 < joined.size()) {
    if (joined[pos] != kMarker) break;  // not a marker: leave the rest to the decoder
    const uint8_t code = joined[pos + 1];
    if (code == kMarker) {  // fill byte
      ++pos;
      continue;
    }
    if (code == kStartOfImage || code == kEndOfImage) {
      pos += 2;
      continue;
    }
    if (StandsAlone(code)) {
      out.insert(out.end(), joined.begin() + pos, joined.begin() + pos + 2);
      pos += 2;
      continue;
    }
    if (code == kStartOfScan || pos + 3 >= joined.size()) break;
    const size_t length = (static_cast<size_t>(joined[pos + 2]) << 8) | joined[pos + 3];
    const size_t end = pos + 2 + length;
    if (length < 2 || end > joined.size()) break;
    out.insert(out.end(), joined.begin() + pos, joined.begin() + end);
    pos = end;
  }
  out.insert(out.end(), joined.begin() + pos, joined.end());
  return out;
}

}  // namespace flashsaver
