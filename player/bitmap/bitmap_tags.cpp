#include <memory>
#include <string>

#include "player/bitmap/bitmap_decoders.h"
#include "player/display/definition_tags.h"
#include "player/swf/byte_reader.h"

namespace flashsaver {
namespace {

[[noreturn]] void Refuse(const SwfTag& tag, const std::string& what) {
  throw SwfError(SwfErrorKind::kBadTag, what, tag.code);
}

void Define(CharacterLibrary& library, uint16_t id, std::optional<Picture> picture,
            const SwfTag& tag) {
  if (!picture) Refuse(tag, "bitmap " + std::to_string(id) + " cannot be decoded");
  library.Define(id, std::make_shared<BitmapCharacter>(std::move(*picture)));
}

// DefineBitsJPEG3: U16 id, U32 size of the image data, the image data, the zlib alpha plane.
// PNG and GIF data carry their own alpha, and the plane is ignored for them.
void ReadJpeg3(const SwfTag& tag, ByteReader& reader, uint16_t id, CharacterLibrary& library) {
  const uint32_t image_size = reader.U32();
  const std::span<const uint8_t> image = reader.Bytes(image_size);
  if (!reader.ok()) Refuse(tag, "image data runs past the tag");
  const std::span<const uint8_t> alpha = reader.Bytes(reader.remaining());
  std::optional<Picture> picture = DecodeEmbeddedImage(image);
  // A damaged plane leaves the picture opaque rather than losing it.
  if (picture && KindOfImage(image) == ImageKind::kJpeg) ApplyAlphaPlane(*picture, alpha);
  Define(library, id, std::move(picture), tag);
}

void ReadLossless(const SwfTag& tag, ByteReader& reader, uint16_t id, CharacterLibrary& library) {
  LosslessHeader header;
  header.with_alpha = tag.code == swf_tag::kDefineBitsLossless2;
  header.format = reader.U8();
  header.width = reader.U16();
  header.height = reader.U16();
  if (header.format == 3) header.table_size = static_cast<uint16_t>(reader.U8() + 1);
  if (!reader.ok()) Refuse(tag, "header ends early");
  if (!BitmapSizeAllowed(header.width, header.height)) {
    Refuse(tag, "bitmap of " + std::to_string(header.width) + " x " +
                    std::to_string(header.height) + " pixels refused");
  }
  Define(library, id, DecodeLossless(header, reader.Bytes(reader.remaining())), tag);
}

}  // namespace

void ReadBitmapTag(const SwfTag& tag, CharacterLibrary& library) {
  ByteReader reader(tag.body);
  if (tag.code == swf_tag::kJpegTables) {
    library.jpeg_tables.assign(tag.body.begin(), tag.body.end());
    return;
  }
  const uint16_t id = reader.U16();
  if (!reader.ok()) Refuse(tag, "no character id");
  switch (tag.code) {
    case swf_tag::kDefineBits: {
      const std::vector<uint8_t> jpeg =
          JoinJpegStreams(library.jpeg_tables, reader.Bytes(reader.remaining()));
      Define(library, id, DecodeEmbeddedImage(jpeg), tag);
      return;
    }
    case swf_tag::kDefineBitsJpeg2:
      Define(library, id, DecodeEmbeddedImage(reader.Bytes(reader.remaining())), tag);
      return;
    case swf_tag::kDefineBitsJpeg3:
      ReadJpeg3(tag, reader, id, library);
      return;
    case swf_tag::kDefineBitsLossless:
    case swf_tag::kDefineBitsLossless2:
      ReadLossless(tag, reader, id, library);
      return;
    default:
      Refuse(tag, "not a bitmap tag");
  }
}

}  // namespace flashsaver
