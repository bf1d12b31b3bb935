#include "player/video/h263_deblock.h"

#include <algorithm>
#include <cstdlib>

namespace flashsaver {
namespace {

// Picture header, MSB first: start code (17 bits, 1), version (5), temporal reference (8),
// size (3; 0 and 1 followed by an 8- or 16-bit width and height), picture type (2),
// deblocking flag (1), quantizer (5).
class Bits {
 public:
  explicit Bits(std::span<const uint8_t> data) : data_(data) {}
  uint32_t Read(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++at_) {
      const size_t byte = at_ / 8;
      if (byte >= data_.size()) {
        ok_ = false;
        return 0;
      }
      v = v << 1 | ((data_[byte] >> (7 - at_ % 8)) & 1u);
    }
    return v;
  }
  bool ok() const { return ok_; }

 private:
  std::span<const uint8_t> data_;
  size_t at_ = 0;
  bool ok_ = true;
};

// Table J.2 of H.263: strength by quantizer.
constexpr uint8_t kStrength[32] = {0, 1, 1, 2, 2, 3, 3, 4,  4,  4,  5,  5,  6,  6,  7,  7,
                                   7, 8, 8, 8, 9, 9, 9, 10, 10, 10, 11, 11, 11, 12, 12, 12};

// Figure J.2: the correction grows with the step across the edge up to the strength, then
// falls back to nothing for steps that are real edges of the picture.
int UpDownRamp(int d, int strength) {
  const int m = std::max(std::abs(d) - std::max(2 * (std::abs(d) - strength), 0), 0);
  return d < 0 ? -m : m;
}

// A and B lie in one block, C and D in the next, along a line across their common edge.
void Filter(uint8_t& A, uint8_t& B, uint8_t& C, uint8_t& D, int strength) {
  const int a = A, b = B, c = C, d = D;
  // Divisions truncate toward zero, so that falling edges are smoothed as rising ones are.
  const int d1 = UpDownRamp((a - 4 * b + 4 * c - d) / 8, strength);
  const int lim = std::abs(d1 / 2);
  const int d2 = std::clamp((a - d) / 4, -lim, lim);
  A = static_cast<uint8_t>(std::clamp(a - d2, 0, 255));
  B = static_cast<uint8_t>(std::clamp(b + d1, 0, 255));
  C = static_cast<uint8_t>(std::clamp(c - d1, 0, 255));
  D = static_cast<uint8_t>(std::clamp(d + d2, 0, 255));
}

}  // namespace

std::optional<SorensonPicture> ReadSorensonPicture(std::span<const uint8_t> packet) {
  Bits bits(packet);
  if (bits.Read(17) != 1) return std::nullopt;
  bits.Read(5 + 8);
  const uint32_t size = bits.Read(3);
  if (size == 0) bits.Read(16);
  if (size == 1) bits.Read(32);
  bits.Read(2);
  SorensonPicture picture;
  picture.deblocking = bits.Read(1) != 0;
  picture.quantizer = static_cast<int>(bits.Read(5));
  if (!bits.ok()) return std::nullopt;
  return picture;
}

int DeblockStrength(int quantizer) {
  return quantizer > 0 && quantizer < 32 ? kStrength[quantizer] : 0;
}

void DeblockPlane(uint8_t* plane, ptrdiff_t stride, int width, int height, int strength) {
  if (strength <= 0 || width <= 0 || height <= 0) return;
  for (int y = 8; y <= height - 2; y += 8) {
    uint8_t* c = plane + y * stride;
    for (int x = 0; x < width; ++x)
      Filter(c[x - 2 * stride], c[x - stride], c[x], c[x + stride], strength);
  }
  for (int y = 0; y < height; ++y) {
    uint8_t* row = plane + y * stride;
    for (int x = 8; x <= width - 2; x += 8)
      Filter(row[x - 2], row[x - 1], row[x], row[x + 1], strength);
  }
}

}  // namespace flashsaver
