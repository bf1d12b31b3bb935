#include <zlib.h>

#include <algorithm>

#include "player/bitmap/bitmap_decoders.h"

namespace flashsaver {
namespace {

// Rows of colour-mapped and 15-bit pictures are padded to whole 32-bit words.
size_t PaddedRow(size_t bytes) { return (bytes + 3) & ~size_t{3}; }

// Lossless2 stores its colours premultiplied already; a colour above its alpha would break the
// blending, so it is held to the alpha.
uint32_t StoredPremultiplied(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return a << 24 | std::min(r, a) << 16 | std::min(g, a) << 8 | std::min(b, a);
}

uint32_t Opaque(uint32_t r, uint32_t g, uint32_t b) { return 0xFF000000u | r << 16 | g << 8 | b; }

// 5 bits widened to 8 by repeating the top bits, so 31 becomes 255.
uint32_t Widen5(uint32_t v) { return v << 3 | v >> 2; }

}  // namespace

std::optional<std::vector<uint8_t>> InflateAtMost(std::span<const uint8_t> zlib_data,
                                                  size_t limit) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return std::nullopt;
  std::vector<uint8_t> out(limit);
  stream.next_in = const_cast<Bytef*>(zlib_data.data());
  stream.avail_in = static_cast<uInt>(std::min<size_t>(zlib_data.size(), UINT32_MAX));
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(limit);
  const int status = limit == 0 ? Z_OK : inflate(&stream, Z_FINISH);
  out.resize(limit - stream.avail_out);
  inflateEnd(&stream);
  // A stream that stops short (input used up, or more data than wanted) keeps what it gave.
  if (status != Z_STREAM_END && status != Z_OK && status != Z_BUF_ERROR) return std::nullopt;
  return out;
}

// Format notes: the zlib data holds, for format 3, the colour table (3 bytes an entry, 4 for
// Lossless2, in the order R G B [A]) and then one index byte a pixel; for format 4, one
// big-endian 16-bit word a pixel (a pad bit, then 5 bits each of R, G, B); for format 5, four
// bytes a pixel (A or a pad byte, R, G, B). Rows of formats 3 and 4 are padded to 32 bits. An
// index past the table gives a transparent pixel.
std::optional<Picture> DecodeLossless(const LosslessHeader& header,
                                      std::span<const uint8_t> zlib_data) {
  if (!BitmapSizeAllowed(header.width, header.height)) return std::nullopt;
  const size_t width = header.width;
  const size_t height = header.height;
  const size_t entry_size = header.with_alpha ? 4 : 3;
  size_t table_bytes = 0;
  size_t row_bytes = 0;
  switch (header.format) {
    case 3:
      table_bytes = header.table_size * entry_size;
      row_bytes = PaddedRow(width);
      break;
    case 4:
      row_bytes = PaddedRow(width * 2);
      break;
    case 5:
      row_bytes = width * 4;
      break;
    default:
      return std::nullopt;
  }
  const size_t needed = table_bytes + row_bytes * height;
  const std::optional<std::vector<uint8_t>> data = InflateAtMost(zlib_data, needed);
  if (!data || data->size() < needed) return std::nullopt;

  Picture picture(header.width, header.height);
  const uint8_t* in = data->data();
  if (header.format == 3) {
    std::vector<uint32_t> table(256, 0);
    for (size_t i = 0; i < header.table_size && i < table.size(); ++i) {
      const uint8_t* e = in + i * entry_size;
      table[i] = header.with_alpha ? StoredPremultiplied(e[3], e[0], e[1], e[2])
                                   : Opaque(e[0], e[1], e[2]);
    }
    in += table_bytes;
    for (size_t y = 0; y < height; ++y, in += row_bytes) {
      uint32_t* out = picture.Row(static_cast<int32_t>(y));
      for (size_t x = 0; x < width; ++x) out[x] = table[in[x]];
    }
  } else if (header.format == 4) {
    for (size_t y = 0; y < height; ++y, in += row_bytes) {
      uint32_t* out = picture.Row(static_cast<int32_t>(y));
      for (size_t x = 0; x < width; ++x) {
        const uint32_t word = static_cast<uint32_t>(in[x * 2]) << 8 | in[x * 2 + 1];
        out[x] = Opaque(Widen5(word >> 10 & 0x1F), Widen5(word >> 5 & 0x1F), Widen5(word & 0x1F));
      }
    }
  } else {
    for (uint32_t& pixel : picture.pixels) {
      pixel = header.with_alpha ? StoredPremultiplied(in[0], in[1], in[2], in[3])
                                : Opaque(in[1], in[2], in[3]);
      in += 4;
    }
  }
  return picture;
}

}  // namespace flashsaver
