#include "tools/bitmap_data_sample.h"

#include <bit>
#include <cmath>
#include <initializer_list>
#include <numbers>
#include <string>

#include "tools/swf_records.h"
#include "tools/swf_writer.h"

namespace flashsaver {
namespace {

using namespace swf_out;

constexpr int32_t kTw = 20;

// Code that leaves one value on the script stack.
struct Arg {
  Bytes code;
};

// A Push action of one value of the given type. Bytes go in one by one: GCC 12 for mingw
// warns falsely on the bulk inserts.
Bytes PushRecord(uint8_t type, const Bytes& payload) {
  Bytes out;
  out.reserve(payload.size() + 4);
  const size_t length = payload.size() + 1;
  out.push_back(0x96);
  out.push_back(static_cast<uint8_t>(length));
  out.push_back(static_cast<uint8_t>(length >> 8));
  out.push_back(type);
  for (uint8_t v : payload) out.push_back(v);
  return out;
}
Arg S(const std::string& s) {
  Bytes text;
  for (char ch : s) text.push_back(static_cast<uint8_t>(ch));
  text.push_back(0);
  return {PushRecord(0, text)};
}
Bytes Le(uint64_t v, int n) {
  Bytes out;
  for (int i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  return out;
}
// Whole numbers only; colours above 0x7FFFFFFF arrive as the same 32 bits.
Arg N(int64_t v) { return {PushRecord(7, Le(static_cast<uint32_t>(v), 4))}; }
Arg D(double v) {
  const auto bits = std::bit_cast<uint64_t>(v);
  // SWF doubles store the high word first.
  return {PushRecord(6, Le(bits >> 32 | bits << 32, 8))};
}
Arg B(bool b) { return {PushRecord(5, Bytes(1, static_cast<uint8_t>(b)))}; }
Arg Null() { return {PushRecord(2, Bytes())}; }
Arg V(const std::string& name) {
  Arg a = S(name);
  a.code.push_back(0x1C);
  return a;
}

void Append(Bytes& to, const Bytes& b) { to.insert(to.end(), b.begin(), b.end()); }

// Arguments go on the stack last first, then their count.
Bytes Args(std::initializer_list<Arg> args) {
  Bytes out;
  for (auto it = std::rbegin(args); it != std::rend(args); ++it) Append(out, it->code);
  Append(out, N(static_cast<int64_t>(args.size())).code);
  return out;
}
Arg Call(const Arg& object, const std::string& method, std::initializer_list<Arg> args) {
  Arg a{Args(args)};
  Append(a.code, object.code);
  Append(a.code, S(method).code);
  a.code.push_back(0x52);
  return a;
}
// new flash.<package>.<cls>(args)
Arg New(const char* package, const char* cls, std::initializer_list<Arg> args) {
  Arg a{Args(args)};
  Append(a.code, V("flash").code);
  Append(a.code, S(package).code);
  a.code.push_back(0x4E);
  Append(a.code, S(cls).code);
  a.code.push_back(0x53);
  return a;
}
Arg Array(std::initializer_list<Arg> items) {
  Arg a{Args(items)};
  a.code.push_back(0x42);  // InitArray
  return a;
}
Arg Rect(int x, int y, int w, int h) { return New("geom", "Rectangle", {N(x), N(y), N(w), N(h)}); }
Arg Pt(int x, int y) { return New("geom", "Point", {N(x), N(y)}); }

struct Script {
  Bytes code;
  void Do(const Arg& a) {
    Append(code, a.code);
    code.push_back(0x17);
  }
  void Let(const std::string& name, const Arg& value) {
    Append(code, S(name).code);
    Append(code, value.code);
    code.push_back(0x1D);
  }
  void Put(const std::string& object, const std::string& member, const Arg& value) {
    Append(code, V(object).code);
    Append(code, S(member).code);
    Append(code, value.code);
    code.push_back(0x4F);
  }
  // An empty clip at depth, placed at x, y.
  void Clip(const std::string& name, int depth, int x, int y) {
    Let(name, Call(V("_root"), "createEmptyMovieClip", {S(name), N(depth)}));
    Put(name, "_x", N(x));
    Put(name, "_y", N(y));
  }
};

// A star and a half-transparent disc around 0, 0, for draw() to copy.
Bytes SubjectDefinitions(uint16_t shape, uint16_t sprite) {
  Shape s;
  s.fills = {FillStyle::Solid({230, 70, 40, 255}), FillStyle::Solid({40, 200, 90, 160})};
  std::vector<std::pair<int32_t, int32_t>> points;
  for (int i = 0; i < 10; ++i) {
    const double r = (i % 2 ? 16 : 36) * kTw, a = i * std::numbers::pi / 5 - std::numbers::pi / 2;
    points.emplace_back(static_cast<int32_t>(std::lround(r * std::cos(a))),
                        static_cast<int32_t>(std::lround(r * std::sin(a))));
  }
  Contour star = Polygon(points);
  star.fill1 = 1;
  Contour disc = Circle(14 * kTw, 14 * kTw, 20 * kTw);
  disc.fill1 = 2;
  s.contours = {star, disc};
  Bytes out = DefineShape3(shape, s);
  Bytes inside = PlaceObject2({1, shape, false, {}, {}, {}, {}, {}});
  Append(inside, ShowFrame());
  Append(out, DefineSprite(sprite, 1, inside));
  return out;
}

}  // namespace

std::vector<uint8_t> BitmapDataSampleMovie() {
  SwfMovieSpec spec;
  spec.version = 8;
  spec.compressed = true;
  spec.width_px = 320;
  spec.height_px = 200;
  spec.frame_rate_8_8 = 12 * 256;
  spec.frame_count = 1;
  spec.background_rgb = 0xFFFFFF;
  Bytes timeline = FileAttributes(0);
  Append(timeline, SubjectDefinitions(1, 2));
  Append(timeline, PlaceObject2({1,
                                 uint16_t{2},
                                 false,
                                 Matrix{1, 0, 0, 1, 280 * kTw, 160 * kTw},
                                 {},
                                 {},
                                 std::string("s"),
                                 {}}));

  Script js;
  // An opaque tile: a square, and a flood fill around it.
  js.Let("a", New("display", "BitmapData", {N(80), N(80), B(false), N(0xFF336699)}));
  js.Do(Call(V("a"), "fillRect", {Rect(10, 10, 30, 30), N(0xFFFFCC00)}));
  js.Do(Call(V("a"), "floodFill", {N(60), N(60), N(0xFF00AA44)}));
  js.Do(Call(V("a"), "setPixel32", {N(70), N(5), N(0xFFFFFFFF)}));
  js.Clip("m1", 1, 10, 10);
  js.Do(Call(V("m1"), "attachBitmap", {V("a"), N(1)}));
  // The subject drawn into a transparent bitmap, scaled and moved.
  js.Let("b", New("display", "BitmapData", {N(80), N(80), B(true), N(0)}));
  js.Do(Call(V("b"), "draw",
             {V("s"), New("geom", "Matrix", {D(0.9), N(0), N(0), D(0.9), N(40), N(40)})}));
  js.Clip("m2", 2, 110, 10);
  js.Do(Call(V("m2"), "attachBitmap", {V("b"), N(1)}));
  // A copy of the tile, recoloured, with the drawing merged over it.
  js.Let("c", Call(V("a"), "clone", {}));
  js.Do(Call(V("c"), "colorTransform",
             {Rect(0, 0, 80, 80), New("geom", "ColorTransform",
                                      {D(0.5), N(1), N(1), N(1), N(100), N(0), N(0), N(0)})}));
  js.Do(
      Call(V("c"), "copyPixels", {V("b"), Rect(0, 0, 80, 80), Pt(0, 0), Null(), Null(), B(true)}));
  js.Clip("m3", 3, 210, 10);
  js.Do(Call(V("m3"), "attachBitmap", {V("c"), N(1)}));
  // The tile as a repeating fill at half size.
  js.Clip("m4", 4, 10, 110);
  js.Do(Call(V("m4"), "beginBitmapFill",
             {V("a"), New("geom", "Matrix", {D(0.5), N(0), N(0), D(0.5), N(0), N(0)}), B(true),
              B(false)}));
  js.Do(Call(V("m4"), "moveTo", {N(0), N(0)}));
  for (auto [x, y] : {std::pair{140, 0}, {140, 70}, {0, 70}, {0, 0}}) {
    js.Do(Call(V("m4"), "lineTo", {N(x), N(y)}));
  }
  js.Do(Call(V("m4"), "endFill", {}));
  // Where the tile is yellow, a threshold paints magenta.
  js.Let("d", New("display", "BitmapData", {N(50), N(50), B(true), N(0)}));
  js.Do(Call(V("d"), "threshold",
             {V("a"), Rect(0, 0, 50, 50), Pt(0, 0), S("=="), N(0xFFFFCC00), N(0xFFFF00FF),
              N(0xFFFFFFFF), B(false)}));
  js.Clip("m5", 5, 160, 110);
  js.Do(Call(V("m5"), "attachBitmap", {V("d"), N(1)}));
  // The tile's green channel as the alpha of a blue bitmap.
  js.Let("e", New("display", "BitmapData", {N(50), N(50), B(true), N(0xFF2040C0)}));
  js.Do(Call(V("e"), "copyChannel", {V("a"), Rect(0, 0, 50, 50), Pt(0, 0), N(2), N(8)}));
  js.Clip("m6", 6, 215, 110);
  js.Do(Call(V("m6"), "attachBitmap", {V("e"), N(1)}));
  // Fractal Perlin noise in three octaves, the first two moved by offsets.
  js.Let("f", New("display", "BitmapData", {N(100), N(30), B(false), N(0)}));
  js.Do(Call(V("f"), "perlinNoise",
             {N(24), N(12), N(3), N(7), B(false), B(true), N(7), B(false),
              Array({Pt(5, 0), New("geom", "Point", {D(-2.5), N(9)})})}));
  js.Clip("m7", 7, 160, 166);
  js.Do(Call(V("m7"), "attachBitmap", {V("f"), N(1)}));
  js.code.push_back(0);
  Bytes action;
  PutTag(action, 12, js.code);  // DoAction
  Append(timeline, action);
  Append(timeline, ShowFrame());
  return WriteSwfMovie(spec, timeline);
}

}  // namespace flashsaver
