#include "player/text/glyph_shape.h"

#include "player/swf/byte_reader.h"
#include "player/swf/swf_error.h"

namespace flashsaver {

// Format notes: NumFillBits UB[4], NumLineBits UB[4], then records until an end record (a
// non-edge record with all five flags clear). Non-edge records: StateNewStyles, StateLineStyle,
// StateFillStyle1, StateFillStyle0, StateMoveTo, then the move (UB[5] bits, two SB) and the
// style indices in the declared widths. Edge records: straight (general, vertical or
// horizontal) or curved, deltas in SB[NumBits + 2]. Edges that no fill selects are not part of
// the outline; font tools do write such edges between contours.
Path ReadGlyphShape(std::span<const uint8_t> data) {
  ByteReader reader(data);
  const int fill_bits = static_cast<int>(reader.UnsignedBits(4));
  const int line_bits = static_cast<int>(reader.UnsignedBits(4));
  Path path;
  Point pen;
  bool filled = true;         // glyph shapes start with fill style 1 selected
  bool contour_open = false;  // a MoveTo has been written at the pen
  for (;;) {
    const bool is_edge = reader.UnsignedBits(1) != 0;
    if (!reader.ok()) throw SwfError(SwfErrorKind::kBadTag, "glyph shape ends without end record");
    if (!is_edge) {
      const uint32_t flags = reader.UnsignedBits(5);
      if (flags == 0) break;
      if (flags & 0x10) throw SwfError(SwfErrorKind::kBadTag, "glyph shape declares styles");
      if (flags & 0x01) {
        const int n = static_cast<int>(reader.UnsignedBits(5));
        const double x = reader.SignedBits(n);
        const double y = reader.SignedBits(n);
        pen = {x, y};
        contour_open = false;
      }
      uint32_t fill0 = 0, fill1 = 0;
      bool fill_changed = false;
      if (flags & 0x02) {
        fill0 = reader.UnsignedBits(fill_bits);
        fill_changed = true;
      }
      if (flags & 0x04) {
        fill1 = reader.UnsignedBits(fill_bits);
        fill_changed = true;
      }
      if (flags & 0x08) reader.UnsignedBits(line_bits);
      if (fill_changed) {
        const bool now_filled = fill0 != 0 || fill1 != 0;
        if (now_filled != filled) contour_open = false;
        filled = now_filled;
      }
      continue;
    }
    const bool straight = reader.UnsignedBits(1) != 0;
    const int n = static_cast<int>(reader.UnsignedBits(4)) + 2;
    Point control, to = pen;
    if (straight) {
      const bool general = reader.UnsignedBits(1) != 0;
      if (general) {
        to.x += reader.SignedBits(n);
        to.y += reader.SignedBits(n);
      } else if (reader.UnsignedBits(1)) {
        to.y += reader.SignedBits(n);
      } else {
        to.x += reader.SignedBits(n);
      }
    } else {
      control = {pen.x + reader.SignedBits(n), pen.y + reader.SignedBits(n)};
      to = {control.x + reader.SignedBits(n), control.y + reader.SignedBits(n)};
    }
    if (filled) {
      if (!contour_open) {
        path.MoveTo(pen);
        contour_open = true;
      }
      if (straight) {
        path.LineTo(to);
      } else {
        path.CurveTo(control, to);
      }
    }
    pen = to;
  }
  return path;
}

}  // namespace flashsaver
