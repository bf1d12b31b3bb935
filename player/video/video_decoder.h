// Decoders of the video codecs SWF embeds: Sorenson H.263 (2), screen video (3), VP6 (4),
// VP6 with alpha (5) and screen video 2 (6). Each turns one VideoFrame packet into the
// picture of that frame; the packets of a stream must come in order from a key frame.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "player/render/picture.h"

namespace flashsaver {

class VideoDecoder {
 public:
  virtual ~VideoDecoder() = default;
  // Decodes the next packet into picture (premultiplied 0xAARRGGBB, the size the stream
  // codes); false when the packet cannot be decoded, picture then keeps the last frame.
  virtual bool Decode(std::span<const uint8_t> packet, Picture& picture) = 0;
};

// Null for a codec this build cannot decode. deblocking is DefineVideoStream's field (0: as
// each packet asks, 1: off, 2 and up: on); Sorenson H.263 pictures then go through the
// post-filter of h263_deblock.h.
std::unique_ptr<VideoDecoder> MakeVideoDecoder(uint8_t codec_id, uint8_t deblocking = 0);

// Converts 8-bit Y'CbCr of BT.601 with studio range to a premultiplied pixel.
uint32_t YuvToPixel(int y, int u, int v, int alpha);

}  // namespace flashsaver
