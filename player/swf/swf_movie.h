// What the built-in player takes from an SWF file: the header (stage, frame rate, frame count)
// and the tags it knows, read one reader per tag, each limited to its tag's length.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "player/swf/swf_error.h"
#include "player/swf/swf_types.h"
#include "player/swf/tag_codes.h"

namespace flashsaver {

enum class SwfCompression { kNone, kZlib, kLzma };

struct SwfHeader {
  SwfCompression compression = SwfCompression::kNone;
  uint8_t version = 0;
  uint32_t file_length = 0;  // as the file claims it, uncompressed and with the 8 header bytes
  SwfRect stage;
  FrameRate frame_rate;
  uint16_t frame_count = 0;
};

struct SwfTag {
  uint16_t code = 0;
  std::span<const uint8_t> body;
};

struct SwfMovie {
  SwfHeader header;
  std::optional<Rgb> background;  // from the first SetBackgroundColor tag
  uint32_t show_frame_tags = 0;
  // A fault met in the tag list after a complete header: the tags before it still count, as a
  // player shows a movie whose tail is damaged.
  std::optional<SwfError> tag_problem;
};

// Movies larger than this, uncompressed, are refused rather than allocated.
inline constexpr uint32_t kMaxSwfLength = 256u * 1024 * 1024;

// The uncompressed movie: the 8 header bytes followed by the (inflated) rest. Throws SwfError.
std::vector<uint8_t> UncompressSwf(std::span<const uint8_t> file);

// Reads the header that follows the 8 signature bytes; the reader stands on the first tag
// after it. Throws SwfError.
class ByteReader;
SwfHeader ReadSwfHeader(ByteReader& reader);

// One tag record: the code and the body it claims. Throws SwfError (kTruncated) when the body
// runs past the data.
SwfTag ReadSwfTag(ByteReader& reader);

// The SetBackgroundColor tag's colour. Throws SwfError (kBadTag).
Rgb ReadSetBackgroundColor(const SwfTag& tag);

// The whole file, compressed or not. Throws SwfError for a fault in the header or compression.
SwfMovie ReadSwfMovie(std::span<const uint8_t> file);

}  // namespace flashsaver
