#include "player/swf/swf_movie.h"

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "player/swf/byte_reader.h"

namespace flashsaver {

SwfError::SwfError(SwfErrorKind kind, const std::string& detail, std::optional<uint16_t> tag)
    : std::runtime_error(tag ? "SWF tag " + std::to_string(*tag) + ": " + detail
                             : "SWF: " + detail),
      kind_(kind),
      tag_(tag) {}

namespace {

constexpr size_t kSignatureLength = 8;
constexpr size_t kLzmaPropertiesSize = 5;

SwfCompression CompressionOf(std::span<const uint8_t> file) {
  if (file.size() < 3 || file[1] != 'W' || file[2] != 'S') {
    throw SwfError(SwfErrorKind::kNotSwf, "no SWF signature");
  }
  switch (file[0]) {
    case 'F':
      return SwfCompression::kNone;
    case 'C':
      return SwfCompression::kZlib;
    case 'Z':
      return SwfCompression::kLzma;
    default:
      throw SwfError(SwfErrorKind::kNotSwf, "no SWF signature");
  }
}

// Inflates until the claimed length is reached or the stream ends; a stream that ends early
// leaves a shorter movie, which the tag reader then finds truncated.
void Inflate(std::span<const uint8_t> packed, uint32_t wanted, std::vector<uint8_t>& out) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) {
    throw SwfError(SwfErrorKind::kBadCompressedData, "zlib cannot start");
  }
  stream.next_in = const_cast<Bytef*>(packed.data());
  stream.avail_in = static_cast<uInt>(std::min<size_t>(packed.size(), UINT32_MAX));
  const size_t target = kSignatureLength + wanted;
  int status = Z_OK;
  while (out.size() < target && status == Z_OK) {
    const size_t before = out.size();
    const size_t chunk = std::min<size_t>(target - before, 1 << 20);
    out.resize(before + chunk);
    stream.next_out = out.data() + before;
    stream.avail_out = static_cast<uInt>(chunk);
    status = inflate(&stream, Z_NO_FLUSH);
    out.resize(before + chunk - stream.avail_out);
    if (status == Z_BUF_ERROR && stream.avail_in == 0) break;
    if (status == Z_BUF_ERROR) status = Z_OK;
  }
  inflateEnd(&stream);
  if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
    throw SwfError(SwfErrorKind::kBadCompressedData, "damaged zlib stream");
  }
}

// "ZWS" format notes: after the 8 signature bytes come the compressed length (U32), the 5
// LZMA property bytes (lc/lp/pb, then the dictionary size) and raw LZMA1 data, usually without
// an end marker. The uncompressed length is the file's claim minus the 8 header bytes; decoding
// stops there, as the stream does not say where it ends.
void DecodeLzma(std::span<const uint8_t> rest, uint32_t wanted, std::vector<uint8_t>& out) {
  ByteReader reader(rest);
  reader.Skip(4);  // the compressed length: the data's own end is the file's end
  const std::span<const uint8_t> properties = reader.Bytes(kLzmaPropertiesSize);
  if (!reader.ok()) throw SwfError(SwfErrorKind::kTruncated, "LZMA header ends early");
  const std::span<const uint8_t> packed = rest.subspan(reader.offset());

  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
  if (lzma_properties_decode(&filters[0], nullptr, properties.data(), properties.size()) !=
      LZMA_OK) {
    throw SwfError(SwfErrorKind::kBadCompressedData, "bad LZMA properties");
  }
  // No match can reach further back than the movie is long, so a larger dictionary, which the
  // decoder would allocate in full, is cut down to that.
  auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
  options->dict_size = std::clamp<uint32_t>(options->dict_size, LZMA_DICT_SIZE_MIN,
                                            std::max<uint32_t>(wanted, LZMA_DICT_SIZE_MIN));
  lzma_stream stream = LZMA_STREAM_INIT;
  const lzma_ret started = lzma_raw_decoder(&stream, filters);
  std::free(filters[0].options);
  if (started != LZMA_OK) throw SwfError(SwfErrorKind::kBadCompressedData, "LZMA cannot start");

  stream.next_in = packed.data();
  stream.avail_in = packed.size();
  const size_t target = kSignatureLength + static_cast<size_t>(wanted);
  lzma_ret status = LZMA_OK;
  while (out.size() < target && status == LZMA_OK) {
    const size_t before = out.size();
    const size_t chunk = std::min<size_t>(target - before, 1 << 20);
    out.resize(before + chunk);
    stream.next_out = out.data() + before;
    stream.avail_out = chunk;
    status = lzma_code(&stream, LZMA_FINISH);
    out.resize(before + chunk - stream.avail_out);
    if (stream.avail_out == chunk && status == LZMA_OK) break;  // no progress: input used up
  }
  lzma_end(&stream);
  // Data that ends early leaves a shorter movie, as with zlib; data that makes no sense is
  // refused.
  if (status != LZMA_OK && status != LZMA_STREAM_END && status != LZMA_BUF_ERROR) {
    throw SwfError(SwfErrorKind::kBadCompressedData, "damaged LZMA data");
  }
}

}  // namespace

std::vector<uint8_t> UncompressSwf(std::span<const uint8_t> file) {
  const SwfCompression compression = CompressionOf(file);
  ByteReader reader(file);
  reader.Skip(4);
  const uint32_t length = reader.U32();
  if (!reader.ok()) throw SwfError(SwfErrorKind::kTruncated, "header ends early");
  if (length > kMaxSwfLength) {
    throw SwfError(SwfErrorKind::kTooLarge, "claims " + std::to_string(length) + " bytes");
  }
  if (compression == SwfCompression::kNone) {
    return std::vector<uint8_t>(file.begin(), file.end());
  }
  std::vector<uint8_t> out(file.begin(), file.begin() + kSignatureLength);
  const uint32_t wanted = length > kSignatureLength ? length - kSignatureLength : 0;
  if (compression == SwfCompression::kLzma) {
    DecodeLzma(file.subspan(kSignatureLength), wanted, out);
  } else {
    Inflate(file.subspan(kSignatureLength), wanted, out);
  }
  return out;
}

SwfHeader ReadSwfHeader(ByteReader& reader) {
  SwfHeader header;
  const uint8_t n = static_cast<uint8_t>(reader.UnsignedBits(5));
  header.stage.x_min = Twips{reader.SignedBits(n)};
  header.stage.x_max = Twips{reader.SignedBits(n)};
  header.stage.y_min = Twips{reader.SignedBits(n)};
  header.stage.y_max = Twips{reader.SignedBits(n)};
  header.frame_rate = FrameRate{reader.U16()};
  header.frame_count = reader.U16();
  if (!reader.ok()) throw SwfError(SwfErrorKind::kTruncated, "header ends early");
  return header;
}

SwfTag ReadSwfTag(ByteReader& reader) {
  const uint16_t code_and_length = reader.U16();
  SwfTag tag;
  tag.code = static_cast<uint16_t>(code_and_length >> 6);
  uint32_t length = code_and_length & 0x3Fu;
  if (length == 0x3F) length = reader.U32();
  if (!reader.ok()) throw SwfError(SwfErrorKind::kTruncated, "tag header ends early");
  tag.body = reader.Bytes(length);
  if (!reader.ok()) {
    throw SwfError(SwfErrorKind::kTruncated,
                   "body of " + std::to_string(length) + " bytes runs past the data", tag.code);
  }
  return tag;
}

Rgb ReadSetBackgroundColor(const SwfTag& tag) {
  ByteReader reader(tag.body);
  const uint32_t r = reader.U8();
  const uint32_t g = reader.U8();
  const uint32_t b = reader.U8();
  if (!reader.ok()) {
    throw SwfError(SwfErrorKind::kBadTag,
                   "colour needs 3 bytes, has " + std::to_string(tag.body.size()), tag.code);
  }
  return Rgb{(r << 16) | (g << 8) | b};
}

SwfMovie ReadSwfMovie(std::span<const uint8_t> file) {
  const std::vector<uint8_t> data = UncompressSwf(file);
  ByteReader reader(data);
  SwfMovie movie;
  movie.header.compression = CompressionOf(file);
  reader.Skip(3);
  movie.header.version = reader.U8();
  movie.header.file_length = reader.U32();
  const SwfHeader rest = ReadSwfHeader(reader);
  movie.header.stage = rest.stage;
  movie.header.frame_rate = rest.frame_rate;
  movie.header.frame_count = rest.frame_count;
  try {
    while (reader.remaining() > 0) {
      const SwfTag tag = ReadSwfTag(reader);
      if (tag.code == swf_tag::kEnd) break;
      if (tag.code == swf_tag::kShowFrame) ++movie.show_frame_tags;
      if (tag.code == swf_tag::kSetBackgroundColor && !movie.background) {
        movie.background = ReadSetBackgroundColor(tag);
      }
    }
  } catch (const SwfError& e) {
    movie.tag_problem = e;
  }
  return movie;
}

}  // namespace flashsaver
