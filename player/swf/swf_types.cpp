#include "player/swf/swf_types.h"

#include <algorithm>

namespace flashsaver {
namespace {

uint8_t Channel(int value, int mult, int add) {
  return static_cast<uint8_t>(std::clamp(value * mult / 256 + add, 0, 255));
}

int16_t Clamp16(int value) { return static_cast<int16_t>(std::clamp(value, -32768, 32767)); }

}  // namespace

Rgba ColorTransform::Apply(Rgba c) const {
  return {Channel(c.r, r_mult, r_add), Channel(c.g, g_mult, g_add), Channel(c.b, b_mult, b_add),
          Channel(c.a, a_mult, a_add)};
}

ColorTransform ColorTransform::operator*(const ColorTransform& inner) const {
  // outer(inner(c)) = c·im·om + ia·om + oa, in the same fixed point.
  ColorTransform out;
  out.r_mult = Clamp16(r_mult * inner.r_mult / 256);
  out.g_mult = Clamp16(g_mult * inner.g_mult / 256);
  out.b_mult = Clamp16(b_mult * inner.b_mult / 256);
  out.a_mult = Clamp16(a_mult * inner.a_mult / 256);
  out.r_add = Clamp16(inner.r_add * r_mult / 256 + r_add);
  out.g_add = Clamp16(inner.g_add * g_mult / 256 + g_add);
  out.b_add = Clamp16(inner.b_add * b_mult / 256 + b_add);
  out.a_add = Clamp16(inner.a_add * a_mult / 256 + a_add);
  return out;
}

}  // namespace flashsaver
