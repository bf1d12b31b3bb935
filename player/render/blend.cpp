#include "player/render/blend.h"

#include <algorithm>

namespace flashsaver {
namespace {

struct Px {
  int a, r, g, b;
};

Px Split(uint32_t p) {
  return {int(p >> 24), int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF)};
}

uint32_t Join(int a, int r, int g, int b) {
  a = std::clamp(a, 0, 255);
  auto c = [a](int v) { return static_cast<uint32_t>(std::clamp(v, 0, a)); };
  return (uint32_t(a) << 24) | (c(r) << 16) | (c(g) << 8) | c(b);
}

int Mul(int x, int y) { return (x * y + 127) / 255; }

// The separable modes: f gives the blended colour where both are present (premultiplied
// inputs, both alphas), and the parts where only one is present come through unchanged.
template <typename F>
uint32_t Separable(uint32_t d, uint32_t s, F f) {
  const Px D = Split(d), S = Split(s);
  if (S.a == 0) return d;
  auto ch = [&](int sc, int dc) {
    return f(sc, dc, S.a, D.a) + Mul(sc, 255 - D.a) + Mul(dc, 255 - S.a);
  };
  return Join(S.a + D.a - Mul(S.a, D.a), ch(S.r, D.r), ch(S.g, D.g), ch(S.b, D.b));
}

uint32_t Over(uint32_t d, uint32_t s) {
  const Px D = Split(d), S = Split(s);
  const int k = 255 - S.a;
  return Join(S.a + Mul(D.a, k), S.r + Mul(D.r, k), S.g + Mul(D.g, k), S.b + Mul(D.b, k));
}

uint32_t One(uint32_t d, uint32_t s, BlendMode mode) {
  switch (mode) {
    case BlendMode::kMultiply:
      return Separable(d, s, [](int sc, int dc, int, int) { return Mul(sc, dc); });
    case BlendMode::kScreen:
      return Separable(d, s, [](int sc, int dc, int sa, int da) {
        return Mul(sc, da) + Mul(dc, sa) - Mul(sc, dc);
      });
    case BlendMode::kLighten:
      return Separable(
          d, s, [](int sc, int dc, int sa, int da) { return std::max(Mul(sc, da), Mul(dc, sa)); });
    case BlendMode::kDarken:
      return Separable(
          d, s, [](int sc, int dc, int sa, int da) { return std::min(Mul(sc, da), Mul(dc, sa)); });
    case BlendMode::kDifference:
      return Separable(
          d, s, [](int sc, int dc, int sa, int da) { return std::abs(Mul(sc, da) - Mul(dc, sa)); });
    case BlendMode::kOverlay:
    case BlendMode::kHardLight:
      return Separable(d, s, [mode](int sc, int dc, int sa, int da) {
        // Overlay decides by the colour below, hard light by the colour above.
        const bool low = mode == BlendMode::kOverlay ? 2 * dc <= da : 2 * sc <= sa;
        return low ? 2 * Mul(sc, dc) : Mul(sa, da) - 2 * Mul(da - dc, sa - sc);
      });
    case BlendMode::kAdd: {
      const Px D = Split(d), S = Split(s);
      return Join(D.a + S.a, D.r + S.r, D.g + S.g, D.b + S.b);
    }
    case BlendMode::kSubtract: {
      const Px D = Split(d), S = Split(s);
      if (S.a == 0) return d;
      return Join(D.a, D.r - S.r, D.g - S.g, D.b - S.b);
    }
    case BlendMode::kInvert: {
      // The colours below turn to their opposite under the object, by its alpha.
      const Px D = Split(d), S = Split(s);
      const int k = 255 - S.a;
      return Join(D.a, Mul(D.a - D.r, S.a) + Mul(D.r, k), Mul(D.a - D.g, S.a) + Mul(D.g, k),
                  Mul(D.a - D.b, S.a) + Mul(D.b, k));
    }
    case BlendMode::kAlpha: {
      const Px D = Split(d);
      const int sa = int(s >> 24);
      return Join(Mul(D.a, sa), Mul(D.r, sa), Mul(D.g, sa), Mul(D.b, sa));
    }
    case BlendMode::kErase: {
      const Px D = Split(d);
      const int k = 255 - int(s >> 24);
      return Join(Mul(D.a, k), Mul(D.r, k), Mul(D.g, k), Mul(D.b, k));
    }
    case BlendMode::kNormal:
    case BlendMode::kLayer:
      break;
  }
  return Over(d, s);
}

}  // namespace

BlendMode BlendModeOf(uint8_t value) {
  return value >= 1 && value <= 14 ? static_cast<BlendMode>(value) : BlendMode::kNormal;
}

void BlendRow(uint32_t* dst, const uint32_t* src, int n, BlendMode mode) {
  if (mode == BlendMode::kNormal || mode == BlendMode::kLayer) {
    // Most of a layer is empty or opaque: those pixels need no arithmetic.
    for (int i = 0; i < n; ++i) {
      const uint32_t a = src[i] >> 24;
      if (a == 255) {
        dst[i] = src[i];
      } else if (a != 0) {
        dst[i] = Over(dst[i], src[i]);
      }
    }
    return;
  }
  for (int i = 0; i < n; ++i) dst[i] = One(dst[i], src[i], mode);
}

}  // namespace flashsaver
