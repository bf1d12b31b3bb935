// The deblocking that a Sorenson H.263 stream may ask for: a post-filter over the 8 x 8 block
// edges of the decoded planes (after ITU-T H.263 Annex J, but applied to the shown picture, not
// to the reference), of a strength that follows the picture's quantizer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace flashsaver {

struct SorensonPicture {
  bool deblocking = false;  // the encoder asks for the post-filter
  int quantizer = 0;        // 1..31
};

// The fields of a Sorenson H.263 picture header that the post-filter needs; nothing when the
// packet does not start with one.
std::optional<SorensonPicture> ReadSorensonPicture(std::span<const uint8_t> packet);

// Filter strength (1..12) for a quantizer, 0 for none.
int DeblockStrength(int quantizer);

// Smooths the horizontal, then the vertical block edges of one plane of width x height samples.
void DeblockPlane(uint8_t* plane, ptrdiff_t stride, int width, int height, int strength);

}  // namespace flashsaver
