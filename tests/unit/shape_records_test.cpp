#include "player/swf/shape_records.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "player/swf/byte_reader.h"
#include "player/swf/swf_error.h"
#include "swf_bit_writer.h"

namespace flashsaver {
namespace {

using test::SwfBitWriter;

// Shape record builders; n is the bit count of the deltas.
void Move(SwfBitWriter& w, int32_t x, int32_t y) {
  w.Bits(0, 1).Bits(0x01, 5).Bits(16, 5).Signed(x, 16).Signed(y, 16);
}
void Styles(SwfBitWriter& w, uint32_t flags, uint32_t f0, uint32_t f1, uint32_t line, int fill_bits,
            int line_bits) {
  w.Bits(0, 1).Bits(flags, 5);
  if (flags & 0x02) w.Bits(f0, fill_bits);
  if (flags & 0x04) w.Bits(f1, fill_bits);
  if (flags & 0x08) w.Bits(line, line_bits);
}
void Line(SwfBitWriter& w, int32_t dx, int32_t dy) {
  w.Bits(1, 1).Bits(1, 1).Bits(14, 4);  // 16-bit deltas
  if (dx != 0 && dy != 0) {
    w.Bits(1, 1).Signed(dx, 16).Signed(dy, 16);
  } else if (dx == 0) {
    w.Bits(0, 1).Bits(1, 1).Signed(dy, 16);
  } else {
    w.Bits(0, 1).Bits(0, 1).Signed(dx, 16);
  }
}
void Curve(SwfBitWriter& w, int32_t cx, int32_t cy, int32_t ax, int32_t ay) {
  w.Bits(1, 1).Bits(0, 1).Bits(14, 4).Signed(cx, 16).Signed(cy, 16).Signed(ax, 16).Signed(ay, 16);
}
void End(SwfBitWriter& w) { w.Bits(0, 6).Align(); }

// A shape as one line of text, so that a table row states everything it expects.
std::string Summary(const Shape& s) {
  std::ostringstream out;
  for (const StyleArrays& a : s.styles) {
    out << "[";
    for (const FillStyle& f : a.fills) {
      out << "f" << static_cast<int>(f.kind) << ":" << int(f.color.r) << "," << int(f.color.a);
      if (f.kind == FillKind::kBitmap)
        out << ":b" << f.bitmap_id << (f.bitmap_repeat ? "r" : "c")
            << (f.bitmap_smooth ? "s" : "n");
      if (!f.gradient.stops.empty()) {
        out << ":g" << f.gradient.stops.size() << "s" << static_cast<int>(f.gradient.spread) << "i"
            << static_cast<int>(f.gradient.interpolation) << "@" << f.gradient.focal_point;
      }
      out << " ";
    }
    for (const LineStyle& l : a.lines) {
      out << "l" << l.width << ":" << int(l.color.r) << "," << int(l.color.a);
      if (l.join == JoinStyle::kMiter) out << ":m" << l.miter_limit;
      if (l.fill) out << ":fill" << static_cast<int>(l.fill->kind);
      out << " ";
    }
    out << "] ";
  }
  for (const ShapeRecord& r : s.records) {
    switch (r.kind) {
      case ShapeRecord::Kind::kStyleChange:
        out << "S";
        if (r.has_move) out << "m" << r.move_x << "," << r.move_y;
        if (r.fill0) out << "a" << *r.fill0;
        if (r.fill1) out << "b" << *r.fill1;
        if (r.line) out << "l" << *r.line;
        if (r.new_styles) out << "n" << *r.new_styles;
        break;
      case ShapeRecord::Kind::kStraight:
        out << "L" << r.dx << "," << r.dy;
        break;
      case ShapeRecord::Kind::kCurve:
        out << "C" << r.control_dx << "," << r.control_dy << "," << r.dx << "," << r.dy;
        break;
    }
    out << " ";
  }
  if (s.non_zero) out << "nonzero";
  return out.str();
}

struct ShapeCase {
  const char* label;
  int version;
  std::function<void(SwfBitWriter&)> body;  // after the character id
  const char* expected;
};

TEST(ShapeRecords, ReadsHandMadeBodies) {
  const ShapeCase cases[] = {
      {"one solid fill and one line, every edge form", 1,
       [](SwfBitWriter& w) {
         w.Rect(0, 2000, 0, 2000).U8(1).U8(0x00).U8(200).U8(0).U8(0);  // RGB solid
         w.U8(1).U16(20).U8(10).U8(20).U8(30);                         // one line
         w.Bits(1, 4).Bits(1, 4);
         Move(w, 100, 200);
         Styles(w, 0x0C, 0, 1, 1, 1, 1);
         Line(w, 300, -40);
         Line(w, 0, 500);
         Line(w, -300, 0);
         Curve(w, 10, -20, -30, 40);
         End(w);
       },
       "[f0:200,255 l20:10,255 ] Sm100,200 Sb1l1 L300,-40 L0,500 L-300,0 C10,-20,-30,40 "},
      {"extended counts and a new style array that changes the index widths", 2,
       [](SwfBitWriter& w) {
         w.Rect(0, 100, 0, 100).U8(0xFF).U16(2);
         for (int i = 0; i < 2; ++i) w.U8(0x00).U8(static_cast<uint8_t>(i + 1)).U8(0).U8(0);
         w.U8(0).Bits(2, 4).Bits(0, 4);
         Styles(w, 0x02, 2, 0, 0, 2, 0);
         Line(w, 10, 10);
         w.Bits(0, 1).Bits(0x10 | 0x02, 5).Bits(1, 2);  // fill0 = 1 in the old width
         w.U8(3);                                       // three new fills
         for (int i = 0; i < 3; ++i) w.U8(0x00).U8(static_cast<uint8_t>(7 + i)).U8(0).U8(0);
         w.U8(0).Bits(3, 4).Bits(0, 4);
         Styles(w, 0x04, 0, 3, 0, 3, 0);  // fill1 = 3, read with 3 bits now
         Line(w, -10, -10);
         End(w);
       },
       "[f0:1,255 f0:2,255 ] [f0:7,255 f0:8,255 f0:9,255 ] Sa2 L10,10 Sa1n1 Sb3 L-10,-10 "},
      {"RGBA colours, gradients with spread and interpolation, bitmap fill kinds", 3,
       [](SwfBitWriter& w) {
         w.Rect(0, 100, 0, 100).U8(4);
         w.U8(0x00).U8(9).U8(0).U8(0).U8(128);
         w.U8(0x10).Translate(0, 0).U8(0x40 | 0x10 | 2);  // reflect, linear RGB, 2 stops
         w.U8(0).U8(1).U8(2).U8(3).U8(4).U8(255).U8(5).U8(6).U8(7).U8(8);
         w.U8(0x41).U16(7).Translate(0, 0);
         w.U8(0x42).U16(8).Translate(0, 0);
         w.U8(1).U16(0).U8(50).U8(0).U8(0).U8(60);  // RGBA line
         w.U8(0x11);
         End(w);
       },
       "[f0:9,128 f1:0,255:g2s1i1@0 f4:0,255:b7cs f4:0,255:b8rn l0:50,60 ] "},
      {"DefineShape4: edge bounds, non-zero, LINESTYLE2 with miter and a fill, focal gradient", 4,
       [](SwfBitWriter& w) {
         w.Rect(0, 100, 0, 100).Rect(5, 95, 5, 95).U8(0x04);
         w.U8(1).U8(0x13).Translate(0, 0).U8(0x01).U8(0).U8(1).U8(2).U8(3).U8(4).U16(0xFF80);
         w.U8(2);
         // Caps none, join miter, no fill; then the 16-bit flag tail; miter 2.5; RGBA.
         w.U16(40).Bits(1, 2).Bits(2, 2).Bits(0, 1).Bits(0, 3).Bits(0, 5).Bits(0, 1).Bits(1, 2);
         w.U16(0x0280).U8(70).U8(0).U8(0).U8(255);
         w.U16(60).Bits(0, 2).Bits(0, 2).Bits(1, 1).Bits(0, 3).Bits(0, 5).Bits(0, 1).Bits(0, 2);
         w.U8(0x00).U8(33).U8(0).U8(0).U8(44);
         w.U8(0x12);
         End(w);
       },
       "[f3:0,255:g1s0i0@-0.5 l40:70,255:m2.5 l60:33,44:fill0 ] nonzero"},
  };
  for (const ShapeCase& c : cases) {
    SwfBitWriter w;
    c.body(w);
    ByteReader reader(w.bytes());
    EXPECT_EQ(Summary(ReadShape(reader, c.version)), c.expected) << c.label;
  }
}

TEST(ShapeRecords, DamagedBodies) {
  // A style count that the body cannot hold is refused before anything is allocated.
  SwfBitWriter huge;
  huge.Rect(0, 1, 0, 1).U8(0xFF).U16(60000).U8(0);
  ByteReader r1(huge.bytes());
  EXPECT_THROW(ReadShape(r1, 2), SwfError);

  // An unknown fill type is a bad tag, not a guess.
  SwfBitWriter unknown;
  unknown.Rect(0, 1, 0, 1).U8(1).U8(0x77);
  ByteReader r2(unknown.bytes());
  EXPECT_THROW(ReadShape(r2, 1), SwfError);

  // Records cut by the body's end keep the edges before the cut; DefineShape1 reads one byte
  // counts, so 0xFF is 255 styles there and runs past the body.
  SwfBitWriter cut;
  cut.Rect(0, 1, 0, 1).U8(0).U8(0).Bits(0, 4).Bits(0, 4);
  Line(cut, 5, 6);
  Line(cut, 7, 8);
  std::vector<uint8_t> bytes = cut.bytes();
  bytes.pop_back();
  ByteReader r3(bytes);
  EXPECT_EQ(Summary(ReadShape(r3, 1)), "[] L5,6 ");

  SwfBitWriter count_ff;
  count_ff.Rect(0, 1, 0, 1).U8(0xFF).U16(1).U8(0).U8(0).U8(0);
  ByteReader r4(count_ff.bytes());
  EXPECT_THROW(ReadShape(r4, 1), SwfError);
}

TEST(ShapeRecords, MorphPairs) {
  for (int version : {1, 2}) {
    SwfBitWriter w;
    w.Rect(0, 100, 0, 100).Rect(0, 200, 0, 200);
    if (version == 2) w.Rect(0, 100, 0, 100).Rect(0, 200, 0, 200).U8(0);
    SwfBitWriter styles;
    styles.U8(1).U8(0x00).U8(255).U8(0).U8(0).U8(255).U8(0).U8(0).U8(255).U8(128);
    styles.U8(1).U16(20).U16(60);
    if (version == 2) styles.Bits(0, 16);
    styles.U8(1).U8(2).U8(3).U8(4).U8(5).U8(6).U8(7).U8(8);
    styles.Bits(1, 4).Bits(1, 4);
    Move(styles, 10, 20);
    Styles(styles, 0x0C, 0, 1, 1, 1, 1);
    Line(styles, 30, 0);
    Curve(styles, 5, 5, 5, 5);
    End(styles);
    SwfBitWriter end;
    end.Bits(0, 4).Bits(0, 4);
    Move(end, 40, 50);
    Curve(end, 1, 2, 3, 4);
    Line(end, 0, 9);
    End(end);
    // The offset counts from after itself to the end edges.
    w.U32(static_cast<uint32_t>(styles.bytes().size()));
    std::vector<uint8_t> body = w.bytes();
    body.insert(body.end(), styles.bytes().begin(), styles.bytes().end());
    body.insert(body.end(), end.bytes().begin(), end.bytes().end());
    ByteReader reader(body);
    const MorphShape m = ReadMorphShape(reader, version);
    ASSERT_EQ(m.fills.size(), 1u) << version;
    EXPECT_EQ(m.fills[0].start.color, (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(m.fills[0].end.color, (Rgba{0, 0, 255, 128}));
    ASSERT_EQ(m.lines.size(), 1u);
    EXPECT_EQ(m.lines[0].start.width, 20);
    EXPECT_EQ(m.lines[0].end.width, 60);
    EXPECT_EQ(m.lines[0].end.color, (Rgba{5, 6, 7, 8}));
    Shape start, finish;
    start.records = m.start_records;
    finish.records = m.end_records;
    EXPECT_EQ(Summary(start), "Sm10,20 Sb1l1 L30,0 C5,5,5,5 ");
    EXPECT_EQ(Summary(finish), "Sm40,50 C1,2,3,4 L0,9 ");
    EXPECT_EQ(m.end_bounds.x_max.value, 200);
  }
}

}  // namespace
}  // namespace flashsaver
