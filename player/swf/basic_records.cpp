#include "player/swf/basic_records.h"

namespace flashsaver {
namespace {

// 16.16 fixed point scale and rotate-skew terms.
double Fixed16(int32_t v) { return v / 65536.0; }

}  // namespace

SwfRect ReadRect(ByteReader& r) {
  r.Skip(0);
  const int n = static_cast<int>(r.UnsignedBits(5));
  SwfRect rect;
  rect.x_min = Twips{r.SignedBits(n)};
  rect.x_max = Twips{r.SignedBits(n)};
  rect.y_min = Twips{r.SignedBits(n)};
  rect.y_max = Twips{r.SignedBits(n)};
  r.Skip(0);
  return rect;
}

// The translation is in whole twips.
Matrix ReadMatrix(ByteReader& r) {
  r.Skip(0);
  Matrix m;
  if (r.UnsignedBits(1)) {
    const int n = static_cast<int>(r.UnsignedBits(5));
    m.a = Fixed16(r.SignedBits(n));
    m.d = Fixed16(r.SignedBits(n));
  }
  if (r.UnsignedBits(1)) {
    const int n = static_cast<int>(r.UnsignedBits(5));
    m.b = Fixed16(r.SignedBits(n));
    m.c = Fixed16(r.SignedBits(n));
  }
  const int n = static_cast<int>(r.UnsignedBits(5));
  m.tx = r.SignedBits(n);
  m.ty = r.SignedBits(n);
  r.Skip(0);
  return m;
}

Rgba ReadRgb(ByteReader& r) {
  Rgba c;
  c.r = r.U8();
  c.g = r.U8();
  c.b = r.U8();
  return c;
}

Rgba ReadRgba(ByteReader& r) {
  Rgba c = ReadRgb(r);
  c.a = r.U8();
  return c;
}

}  // namespace flashsaver
