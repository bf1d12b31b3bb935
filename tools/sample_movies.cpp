#include "tools/sample_movies.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "tools/bitmap_data_sample.h"
#include "tools/block_font.h"
#include "tools/jpeg_encoder.h"
#include "tools/swf_records.h"
#include "tools/swf_writer.h"

namespace flashsaver {
namespace {

using namespace swf_out;

constexpr int32_t kTw = 20;  // twips per pixel

void Add(Bytes& timeline, const Bytes& tag) {
  timeline.insert(timeline.end(), tag.begin(), tag.end());
}

Matrix At(double x_px, double y_px, double scale = 1, double degrees = 0) {
  const double r = degrees * std::numbers::pi / 180;
  return {scale * std::cos(r), scale * std::sin(r), -scale * std::sin(r),
          scale * std::cos(r), x_px * kTw,          y_px * kTw};
}

ColorTransform Tint(int16_t r, int16_t g, int16_t b, int16_t alpha_mult = 256) {
  ColorTransform cx;
  cx.r_mult = static_cast<int16_t>(256 - 96);
  cx.g_mult = static_cast<int16_t>(256 - 96);
  cx.b_mult = static_cast<int16_t>(256 - 96);
  cx.r_add = r;
  cx.g_add = g;
  cx.b_add = b;
  cx.a_mult = alpha_mult;
  return cx;
}

// Ping-pong between 0 and 1 over period frames.
double Wave(int frame, int period) {
  return 0.5 - 0.5 * std::cos(2 * std::numbers::pi * frame / period);
}

struct Movie {
  SwfMovieSpec spec;
  Bytes timeline;
};

Bytes Write(const Movie& movie) { return WriteSwfMovie(movie.spec, movie.timeline); }

Movie Stage(int32_t w, int32_t h, int fps, int frames, uint32_t background) {
  SwfMovieSpec spec;
  spec.version = 8;
  spec.compressed = true;
  spec.width_px = w;
  spec.height_px = h;
  spec.frame_rate_8_8 = static_cast<uint16_t>(fps * 256);
  spec.frame_count = static_cast<uint16_t>(frames);
  spec.background_rgb = background;
  return {spec, FileAttributes(0)};
}

// --- the definitions, each at its own position (pixels) so that movies can share them --------

Bytes ShapesDefinition(uint16_t id, int32_t x, int32_t y) {
  Shape s;
  s.fills = {FillStyle::Solid({230, 60, 50, 255}), FillStyle::Solid({40, 120, 220, 255}),
             FillStyle::Solid({250, 200, 40, 160})};
  s.lines = {{60, {20, 20, 20, 255}}, {20, {255, 255, 255, 255}}};
  Contour square = Rectangle((x + 10) * kTw, (y + 10) * kTw, (x + 90) * kTw, (y + 90) * kTw);
  square.fill1 = 1;
  square.line = 1;
  Contour circle = Circle((x + 150) * kTw, (y + 60) * kTw, 50 * kTw);
  circle.fill1 = 2;
  circle.line = 2;
  // Over both, half transparent: its colour blends with what it covers.
  Contour band = Rectangle((x + 60) * kTw, (y + 40) * kTw, (x + 170) * kTw, (y + 70) * kTw);
  band.fill1 = 3;
  // An open curve with a line and no fill.
  Contour wave;
  wave.start_x = (x + 10) * kTw;
  wave.start_y = (y + 130) * kTw;
  wave.line = 1;
  wave.CurveTo((x + 50) * kTw, (y + 100) * kTw, (x + 90) * kTw, (y + 130) * kTw)
      .CurveTo((x + 130) * kTw, (y + 160) * kTw, (x + 170) * kTw, (y + 130) * kTw);
  s.contours = {square, circle, band, wave};
  return DefineShape3(id, s);
}

Bytes GradientsDefinition(uint16_t id, int32_t x, int32_t y) {
  Shape s;
  s.fills = {FillStyle::Linear(
                 LinearGradientMatrix((x + 10) * kTw, 0, (x + 110) * kTw, 0),
                 {{0, {255, 0, 0, 255}}, {128, {255, 255, 0, 255}}, {255, {0, 0, 255, 255}}}),
             FillStyle::Radial(
                 RadialGradientMatrix((x + 170) * kTw, (y + 60) * kTw, 50 * kTw),
                 {{0, {255, 255, 255, 255}}, {160, {40, 200, 90, 255}}, {255, {40, 200, 90, 0}}})};
  Contour bar = Rectangle((x + 10) * kTw, (y + 10) * kTw, (x + 110) * kTw, (y + 110) * kTw);
  bar.fill1 = 1;
  Contour disc = Circle((x + 170) * kTw, (y + 60) * kTw, 50 * kTw);
  disc.fill1 = 2;
  s.contours = {bar, disc};
  return DefineShape3(id, s);
}

// A 32 x 32 picture with alpha: a checkerboard of warm colours fading out towards the corners.
Bytes LosslessBitmap(uint16_t id) {
  constexpr int kSize = 32;
  std::vector<Rgba> pixels;
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const bool dark = ((x / 4) + (y / 4)) % 2 == 0;
      const double d = std::hypot(x - 15.5, y - 15.5) / 22.0;
      const auto alpha = static_cast<uint8_t>(std::lround(255 * std::clamp(1.2 - d, 0.0, 1.0)));
      pixels.push_back(dark ? Rgba{200, 40, 90, alpha}
                            : Rgba{250, static_cast<uint8_t>(140 + 3 * y), 30, alpha});
    }
  }
  return DefineBitsLossless2(id, kSize, kSize, pixels);
}

// A 96 x 64 landscape: sky, sun and hills, with smooth changes that JPEG keeps well.
Bytes JpegBitmap(uint16_t id) {
  constexpr int kWidth = 96, kHeight = 64;
  std::vector<uint8_t> rgb;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const double hill = 44 + 8 * std::sin(x / 12.0);
      uint8_t r = static_cast<uint8_t>(90 + y), g = static_cast<uint8_t>(150 + y), b = 235;
      if (std::hypot(x - 70, y - 18) < 10) r = 255, g = 220, b = 80;
      if (y > hill) r = 40, g = static_cast<uint8_t>(110 + (y - 40)), b = 50;
      rgb.insert(rgb.end(), {r, g, b});
    }
  }
  return DefineBitsJpeg2(id, EncodeJpeg(kWidth, kHeight, rgb, 90));
}

// A rectangle filled with bitmap id at scale (pixels per bitmap pixel), its top left at (x, y).
Bytes BitmapRectDefinition(uint16_t id, uint16_t bitmap, int32_t w, int32_t h, double scale,
                           int32_t x, int32_t y, bool repeat) {
  Shape s;
  s.fills = {FillStyle::Bitmap(
      bitmap, {scale * kTw, 0, 0, scale * kTw, 1.0 * x * kTw, 1.0 * y * kTw}, repeat, false)};
  s.lines = {{40, {30, 30, 30, 255}}};
  Contour r = Rectangle(x * kTw, y * kTw, (x + w) * kTw, (y + h) * kTw);
  r.fill1 = 1;
  r.line = 1;
  s.contours = {r};
  return DefineShape3(id, s);
}

// A star of eight points around the origin morphing into a circle; red into blue.
Bytes MorphDefinition(uint16_t id, int32_t radius_px) {
  const int32_t r = radius_px * kTw;
  Shape star;
  star.fills = {FillStyle::Solid({220, 40, 40, 255})};
  star.lines = {{40, {80, 0, 0, 255}}};
  Contour points;
  points.fill1 = 1;
  points.line = 1;
  points.start_x = r;
  for (int i = 0; i < 8; ++i) {
    // Straight sides written as curves, so that they pair with the circle's arcs.
    const double a0 = i * std::numbers::pi / 4, a1 = (i + 1) * std::numbers::pi / 4;
    const double mid = (a0 + a1) / 2;
    auto px = [](double rr, double a) {
      return static_cast<int32_t>(std::lround(rr * std::cos(a)));
    };
    auto py = [](double rr, double a) {
      return static_cast<int32_t>(std::lround(rr * std::sin(a)));
    };
    const int32_t ix = px(r * 0.4, mid), iy = py(r * 0.4, mid);
    const int32_t ex = i == 7 ? r : px(r, a1), ey = i == 7 ? 0 : py(r, a1);
    const int32_t sx = points.edges.empty() ? r : points.edges.back().x;
    const int32_t sy = points.edges.empty() ? 0 : points.edges.back().y;
    points.CurveTo((sx + ix) / 2, (sy + iy) / 2, ix, iy);
    points.CurveTo((ix + ex) / 2, (iy + ey) / 2, ex, ey);
  }
  star.contours = {points};
  Shape circle;
  circle.fills = {FillStyle::Solid({40, 90, 230, 255})};
  circle.lines = {{120, {0, 20, 90, 255}}};
  Contour round;
  round.fill1 = 1;
  round.line = 1;
  round.start_x = r;
  const double control = r / std::cos(std::numbers::pi / 16);
  for (int i = 0; i < 16; ++i) {
    const double mid = (i + 0.5) * std::numbers::pi / 8, end = (i + 1) * std::numbers::pi / 8;
    round.CurveTo(static_cast<int32_t>(std::lround(control * std::cos(mid))),
                  static_cast<int32_t>(std::lround(control * std::sin(mid))),
                  i == 15 ? r : static_cast<int32_t>(std::lround(r * std::cos(end))),
                  i == 15 ? 0 : static_cast<int32_t>(std::lround(r * std::sin(end))));
  }
  circle.contours = {round};
  return DefineMorphShape(id, star, circle);
}

struct TextIds {
  uint16_t font, text;
};

Bytes TextDefinitions(TextIds ids, const std::string& text, uint16_t height, Rgba colour) {
  Bytes out = DefineFont2(ids.font, "Block", BlockFontGlyphs(), 7 * 128, 128);
  const TextRun run = BlockFontRun(ids.font, text, height, colour, 0, 0);
  int32_t width = 0;
  for (const auto& g : run.glyphs) width += g.second;
  const SwfRect bounds{Twips{0}, Twips{width}, Twips{-height * 7 / 8}, Twips{height / 8}};
  Add(out, DefineText2(ids.text, bounds, {}, {run}));
  return out;
}

struct SpriteIds {
  uint16_t petal, pulse, wheel;
};

// Nested sprites: a petal shape; a 12-frame sprite that pulses it (scale and alpha); a 36-frame
// wheel of six pulses, tinted, turning around its centre.
Bytes SpriteDefinitions(SpriteIds ids) {
  Shape petal;
  petal.fills = {FillStyle::Radial(RadialGradientMatrix(0, 0, 24 * kTw),
                                   {{0, {255, 255, 255, 255}}, {255, {250, 170, 30, 255}}})};
  petal.lines = {{30, {120, 60, 0, 255}}};
  Contour leaf = Circle(0, 0, 24 * kTw);
  leaf.fill1 = 1;
  leaf.line = 1;
  petal.contours = {leaf};
  Bytes out = DefineShape3(ids.petal, petal);

  Bytes pulse;
  for (int f = 0; f < 12; ++f) {
    const double w = Wave(f, 12);
    ColorTransform fade;
    fade.a_mult = static_cast<int16_t>(std::lround(256 * (0.4 + 0.6 * w)));
    Add(pulse, PlaceObject2({1,
                             f == 0 ? std::optional<uint16_t>(ids.petal) : std::nullopt,
                             f > 0,
                             At(0, 0, 0.6 + 0.5 * w),
                             fade,
                             {},
                             {},
                             {}}));
    Add(pulse, ShowFrame());
  }
  Add(out, DefineSprite(ids.pulse, 12, pulse));

  const int16_t tints[6][3] = {{120, 0, 0},  {0, 100, 0},  {0, 0, 140},
                               {110, 90, 0}, {0, 90, 110}, {110, 0, 110}};
  Bytes wheel;
  for (int f = 0; f < 36; ++f) {
    for (uint16_t k = 0; k < 6; ++k) {
      const double angle = f * 10.0 + k * 60.0;
      const double a = angle * std::numbers::pi / 180;
      Placement p{static_cast<uint16_t>(k + 1),
                  {},
                  f > 0,
                  At(60 * std::cos(a), 60 * std::sin(a), 1, angle),
                  {},
                  {},
                  {},
                  {}};
      if (f == 0) {
        p.character = ids.pulse;
        p.color = Tint(tints[k][0], tints[k][1], tints[k][2]);
        p.name = "pulse" + std::to_string(k);
      }
      Add(wheel, PlaceObject2(p));
    }
    Add(wheel, ShowFrame());
  }
  Add(out, DefineSprite(ids.wheel, 36, wheel));
  return out;
}

struct MaskIds {
  uint16_t stripes, hole;
};

Bytes MaskDefinitions(MaskIds ids, int32_t w, int32_t h) {
  Shape stripes;
  const Rgba colours[] = {{230, 50, 50, 255}, {240, 150, 30, 255}, {240, 230, 40, 255},
                          {60, 190, 70, 255}, {50, 120, 230, 255}, {140, 60, 200, 255}};
  for (const Rgba& c : colours) stripes.fills.push_back(FillStyle::Solid(c));
  const int32_t band = (w + 5) / 6;
  for (int i = 0; i < 6; ++i) {
    Contour r = Rectangle(i * band * kTw, 0, std::min(w, (i + 1) * band) * kTw, h * kTw);
    r.fill1 = static_cast<uint32_t>(i + 1);
    stripes.contours.push_back(r);
  }
  Shape hole;
  hole.fills = {FillStyle::Solid({0, 0, 0, 255})};
  Contour c = Circle(0, 0, h / 2 * kTw);
  c.fill1 = 1;
  hole.contours = {c};
  Bytes out = DefineShape3(ids.stripes, stripes);
  Add(out, DefineShape3(ids.hole, hole));
  return out;
}

// --- the movies -----------------------------------------------------------------------------

Bytes OneFrame(Movie spec, const Bytes& definitions, uint16_t id, Matrix m = {}) {
  Add(spec.timeline, definitions);
  Add(spec.timeline, PlaceObject2({1, id, false, m, {}, {}, {}, {}}));
  Add(spec.timeline, ShowFrame());
  return Write(spec);
}

Bytes ShapesMovie() {
  return OneFrame(Stage(220, 160, 12, 1, 0xF0F0E0), ShapesDefinition(1, 10, 10), 1);
}

Bytes GradientsMovie() {
  return OneFrame(Stage(240, 140, 12, 1, 0xFFFFFF), GradientsDefinition(1, 10, 10), 1);
}

Bytes BitmapMovie() {
  Movie spec = Stage(240, 120, 12, 1, 0xE0E8F0);
  Add(spec.timeline, LosslessBitmap(1));
  Add(spec.timeline, BitmapRectDefinition(2, 1, 96, 96, 3, 10, 10, false));
  Add(spec.timeline, BitmapRectDefinition(3, 1, 100, 96, 1, 130, 10, true));
  Add(spec.timeline, PlaceObject2({1, 2, false, {}, {}, {}, {}, {}}));
  Add(spec.timeline, PlaceObject2({2, 3, false, {}, {}, {}, {}, {}}));
  Add(spec.timeline, ShowFrame());
  return Write(spec);
}

Bytes JpegMovie() {
  Movie spec = Stage(212, 148, 12, 1, 0x202020);
  Add(spec.timeline, JpegBitmap(1));
  Add(spec.timeline, BitmapRectDefinition(2, 1, 192, 128, 2, 10, 10, false));
  Add(spec.timeline, PlaceObject2({1, 2, false, {}, {}, {}, {}, {}}));
  Add(spec.timeline, ShowFrame());
  return Write(spec);
}

// Frames 1, 2 and 3 show ratios 0, one half and 1.
Bytes MorphMovie() {
  Movie spec = Stage(160, 160, 12, 3, 0xFFFFFF);
  Add(spec.timeline, MorphDefinition(1, 60));
  for (int f = 0; f < 3; ++f) {
    Add(spec.timeline, PlaceObject2({1,
                                     f == 0 ? std::optional<uint16_t>(1) : std::nullopt,
                                     f > 0,
                                     At(80, 80),
                                     {},
                                     static_cast<uint16_t>(f * 32768 - (f == 2)),
                                     {},
                                     {}}));
    Add(spec.timeline, ShowFrame());
  }
  return Write(spec);
}

Bytes TextMovie() {
  Movie spec = Stage(300, 90, 12, 1, 0xFFFFFF);
  Add(spec.timeline, TextDefinitions({1, 2}, "FLASH SAVER", 480, {20, 40, 160, 255}));
  Add(spec.timeline, PlaceObject2({1, 2, false, At(10, 40), {}, {}, {}, {}}));
  Add(spec.timeline, PlaceObject2({2, 2, false, At(10, 80, 0.5), {}, {}, {}, {}}));
  Add(spec.timeline, ShowFrame());
  return Write(spec);
}

Bytes SpritesMovie() {
  Movie spec = Stage(200, 200, 12, 36, 0x101830);
  Add(spec.timeline, SpriteDefinitions({1, 2, 3}));
  Add(spec.timeline, PlaceObject2({1, 3, false, At(100, 100), {}, {}, {}, {}}));
  Add(spec.timeline, ShowFrame());
  for (int f = 1; f < 36; ++f) Add(spec.timeline, ShowFrame());
  return Write(spec);
}

// A circle (the mask, clip depth 2) shows the stripes below it as it moves over 3 frames.
Bytes MaskMovie() {
  Movie spec = Stage(240, 100, 12, 3, 0x303030);
  Add(spec.timeline, MaskDefinitions({1, 2}, 240, 80));
  Add(spec.timeline, PlaceObject2({1, 2, false, At(60, 50), {}, {}, {}, uint16_t{2}}));
  Add(spec.timeline, PlaceObject2({2, 1, false, At(0, 10), {}, {}, {}, {}}));
  Add(spec.timeline, ShowFrame());
  for (int f = 1; f < 3; ++f) {
    Add(spec.timeline, PlaceObject2({1, {}, true, At(60 + 60 * f, 50), {}, {}, {}, {}}));
    Add(spec.timeline, ShowFrame());
  }
  return Write(spec);
}

// A framed panel with round marks in its corners, as a sprite with a nine-slice grid, placed
// at three sizes: the corners keep their size and shape, the edges and the middle stretch.
Bytes Scale9Movie() {
  Movie spec = Stage(280, 220, 12, 1, 0xE8E8F0);
  Shape panel;
  panel.fills = {FillStyle::Linear(LinearGradientMatrix(0, 0, 0, 60 * kTw),
                                   {{0, {90, 150, 230, 255}}, {255, {30, 60, 140, 255}}}),
                 FillStyle::Solid({230, 70, 40, 255})};
  panel.lines = {{60, {20, 20, 40, 255}}};
  Contour frame = Rectangle(0, 0, 100 * kTw, 60 * kTw);
  frame.fill1 = 1;
  frame.line = 1;
  panel.contours = {frame};
  for (const auto& [cx, cy] : {std::pair{10, 10}, {90, 10}, {10, 50}, {90, 50}}) {
    Contour mark = Circle(cx * kTw, cy * kTw, 6 * kTw);
    mark.fill1 = 2;
    panel.contours.push_back(mark);
  }
  Add(spec.timeline, DefineShape3(1, panel));
  Bytes sprite;
  Add(sprite, PlaceObject2({1, 1, false, {}, {}, {}, {}, {}}));
  Add(sprite, ShowFrame());
  Add(spec.timeline, DefineSprite(2, 1, sprite));
  Add(spec.timeline, DefineScalingGrid(2, SwfRect{Twips{20 * kTw}, Twips{80 * kTw}, Twips{20 * kTw},
                                                  Twips{40 * kTw}}));
  const Matrix sizes[] = {{2.5, 0, 0, 1, 10 * kTw, 10 * kTw},
                          {0.8, 0, 0, 2, 10 * kTw, 85 * kTw},
                          {1.6, 0, 0, 1.5, 110 * kTw, 100 * kTw}};
  for (uint16_t i = 0; i < 3; ++i) {
    Add(spec.timeline,
        PlaceObject2({static_cast<uint16_t>(i + 1), 2, false, sizes[i], {}, {}, {}, {}}));
  }
  Add(spec.timeline, ShowFrame());
  return Write(spec);
}

// --- Flash 8 effects: a cell of 120 x 120 pixels per filter or blend mode ------------------

// Diagonal stripes over the whole stage, for effects to show against.
Bytes Backdrop(uint16_t id, int32_t w, int32_t h) {
  Shape s;
  s.fills = {FillStyle::Solid({240, 236, 220, 255}), FillStyle::Solid({70, 140, 200, 255})};
  Contour all = Rectangle(0, 0, w * kTw, h * kTw);
  all.fill1 = 1;
  s.contours = {all};
  for (int32_t x = -h; x < w; x += 40) {
    Contour band = Polygon({{x * kTw, h * kTw},
                            {(x + 16) * kTw, h * kTw},
                            {(x + 16 + h) * kTw, 0},
                            {(x + h) * kTw, 0}});
    band.fill1 = 2;
    s.contours.push_back(band);
  }
  return DefineShape3(id, s);
}

// A five-pointed star and a disc beside it, half transparent, centred on 0, 0.
Bytes EffectSubject(uint16_t shape, uint16_t sprite) {
  Shape s;
  s.fills = {FillStyle::Solid({230, 70, 40, 255}), FillStyle::Solid({40, 200, 90, 160})};
  s.lines = {{40, {40, 30, 20, 255}}};
  std::vector<std::pair<int32_t, int32_t>> points;
  for (int i = 0; i < 10; ++i) {
    const double r = (i % 2 ? 18 : 40) * kTw, a = i * std::numbers::pi / 5 - std::numbers::pi / 2;
    points.emplace_back(static_cast<int32_t>(std::lround(r * std::cos(a))) - 8 * kTw,
                        static_cast<int32_t>(std::lround(r * std::sin(a))));
  }
  Contour star = Polygon(points);
  star.fill1 = 1;
  star.line = 1;
  Contour disc = Circle(22 * kTw, 18 * kTw, 22 * kTw);
  disc.fill1 = 2;
  s.contours = {star, disc};
  Bytes out = DefineShape3(shape, s);
  Bytes inside;
  Add(inside, PlaceObject2({1, shape, false, {}, {}, {}, {}, {}}));
  Add(inside, ShowFrame());
  Add(out, DefineSprite(sprite, 1, inside));
  return out;
}

Filter Shadowed(FilterKind kind, Rgba colour, double blur, double distance, int passes) {
  Filter f;
  f.kind = kind;
  f.colour = colour;
  f.blur_x = f.blur_y = blur;
  f.angle = std::numbers::pi / 4;
  f.distance = distance;
  f.strength = 1;
  f.passes = passes;
  return f;
}

std::vector<Filter> SampleFilters() {
  std::vector<Filter> out;
  out.push_back(Shadowed(FilterKind::kDropShadow, {0, 0, 0, 200}, 8, 8, 1));
  out.push_back(Shadowed(FilterKind::kBlur, {}, 10, 0, 2));
  out.push_back(Shadowed(FilterKind::kGlow, {255, 230, 0, 255}, 12, 0, 2));
  Filter bevel = Shadowed(FilterKind::kBevel, {0, 0, 80, 255}, 6, 4, 1);
  bevel.highlight = {255, 255, 255, 255};
  bevel.inner = true;
  out.push_back(bevel);
  Filter inner = Shadowed(FilterKind::kGlow, {0, 0, 160, 255}, 10, 0, 1);
  inner.inner = true;
  out.push_back(inner);
  Filter knock = Shadowed(FilterKind::kDropShadow, {120, 0, 120, 255}, 4, 6, 1);
  knock.knockout = true;
  out.push_back(knock);
  Filter grey;
  grey.kind = FilterKind::kColorMatrix;
  grey.colour_matrix = {0.3f, 0.59f, 0.11f, 0, 0, 0.3f, 0.59f, 0.11f, 0, 0,
                        0.3f, 0.59f, 0.11f, 0, 0, 0,    0,     0,     1, 0};
  out.push_back(grey);
  // Convolution and the gradient filters are left out: the reference player does not draw
  // them. A shadow without its object instead.
  Filter alone = Shadowed(FilterKind::kDropShadow, {0, 60, 0, 255}, 6, 10, 2);
  alone.hide_object = true;
  out.push_back(alone);
  return out;
}

Bytes FiltersMovie() {
  Movie spec = Stage(480, 240, 12, 1, 0xFFFFFF);
  Add(spec.timeline, Backdrop(1, 480, 240));
  Add(spec.timeline, EffectSubject(2, 3));
  Add(spec.timeline, PlaceObject2({1, 1, false, {}, {}, {}, {}, {}}));
  const std::vector<Filter> filters = SampleFilters();
  for (size_t i = 0; i < filters.size(); ++i) {
    const Placement p{static_cast<uint16_t>(i + 2),
                      uint16_t{3},
                      false,
                      At(60 + 120 * double(i % 4), 60 + 120 * double(i / 4)),
                      {},
                      {},
                      {},
                      {}};
    Add(spec.timeline, PlaceObject3(p, {filters[i]}, std::nullopt));
  }
  Add(spec.timeline, ShowFrame());
  return Write(spec);
}

// A large subject with a blur and a glow gliding over the stage, four seconds at 30 fps: the
// case that keeping filtered pictures between frames is for (scripts/bench-filters).
Bytes GlowMovie() {
  constexpr int kFrames = 120;
  Movie spec = Stage(640, 360, 30, kFrames, 0x102040);
  Add(spec.timeline, EffectSubject(2, 3));
  Filter blur = Shadowed(FilterKind::kBlur, {}, 6, 0, 2);
  Filter glow = Shadowed(FilterKind::kGlow, {255, 230, 80, 255}, 16, 0, 3);
  glow.strength = 2;
  for (int f = 0; f < kFrames; ++f) {
    const double a = 2 * std::numbers::pi * f / kFrames;
    const Matrix at = At(320 + 150 * std::sin(a), 180 + 60 * std::sin(2 * a), 4);
    if (f == 0) {
      Add(spec.timeline,
          PlaceObject3({2, uint16_t{3}, false, at, {}, {}, {}, {}}, {blur, glow}, std::nullopt));
    } else {
      Add(spec.timeline, PlaceObject2({2, {}, true, at, {}, {}, {}, {}}));
    }
    Add(spec.timeline, ShowFrame());
  }
  return Write(spec);
}

// Blend modes 3 to 14 (but alpha, 11, which the reference player leaves undrawn) on a 6 x 2 grid
// of 80-pixel cells; erase acts inside a layer.
Bytes BlendsMovie() {
  Movie spec = Stage(480, 160, 12, 1, 0xFFFFFF);
  Add(spec.timeline, Backdrop(1, 480, 160));
  Add(spec.timeline, EffectSubject(2, 3));
  // For alpha and erase: a square under the subject, both inside a sprite of mode layer.
  Shape square;
  square.fills = {FillStyle::Solid({250, 200, 40, 255})};
  Contour sq = Rectangle(-30 * kTw, -30 * kTw, 30 * kTw, 30 * kTw);
  sq.fill1 = 1;
  square.contours = {sq};
  Add(spec.timeline, DefineShape3(4, square));
  Add(spec.timeline, PlaceObject2({1, 1, false, {}, {}, {}, {}, {}}));
  for (uint8_t mode = 3; mode <= 14; ++mode) {
    if (mode == 11) continue;
    const int cell = mode - 3;
    const Matrix at = At(40 + 80 * double(cell % 6), 40 + 80 * double(cell / 6), 0.8);
    const uint16_t depth = static_cast<uint16_t>(mode);
    if (mode == 11 || mode == 12) {
      Bytes inside;
      Add(inside, PlaceObject2({1, uint16_t{4}, false, {}, {}, {}, {}, {}}));
      Add(inside, PlaceObject3({2, uint16_t{3}, false, {}, {}, {}, {}, {}}, {}, mode));
      Add(inside, ShowFrame());
      const uint16_t sprite = static_cast<uint16_t>(10 + mode);
      Add(spec.timeline, DefineSprite(sprite, 1, inside));
      Add(spec.timeline, PlaceObject3({depth, sprite, false, at, {}, {}, {}, {}}, {}, uint8_t{2}));
    } else {
      Add(spec.timeline, PlaceObject3({depth, uint16_t{3}, false, at, {}, {}, {}, {}}, {}, mode));
    }
  }
  Add(spec.timeline, ShowFrame());
  return Write(spec);
}

// Everything at once on a 640 x 480 stage, four seconds at 24 fps.
Bytes DemoMovie() {
  constexpr int kFrames = 96;
  Movie spec = Stage(640, 480, 24, kFrames, 0x000000);
  Bytes& t = spec.timeline;

  Shape sky;
  sky.fills = {FillStyle::Linear(
      LinearGradientMatrix(0, 0, 0, 480 * kTw),
      {{0, {10, 20, 70, 255}}, {150, {90, 50, 140, 255}}, {255, {240, 130, 70, 255}}})};
  Contour stage = Rectangle(0, 0, 640 * kTw, 480 * kTw);
  stage.fill1 = 1;
  sky.contours = {stage};
  Add(t, DefineShape3(1, sky));

  Shape sun;
  sun.fills = {FillStyle::Radial(
      RadialGradientMatrix(0, 0, 70 * kTw),
      {{0, {255, 255, 220, 255}}, {120, {255, 210, 60, 255}}, {255, {255, 120, 30, 0}}})};
  Contour disc = Circle(0, 0, 70 * kTw);
  disc.fill1 = 1;
  sun.contours = {disc};
  Add(t, DefineShape3(2, sun));

  Shape hills;
  hills.fills = {FillStyle::Solid({30, 70, 40, 255})};
  hills.lines = {{40, {15, 40, 20, 255}}};
  Contour ground;
  ground.fill1 = 1;
  ground.line = 1;
  ground.start_x = 0;
  ground.start_y = 400 * kTw;
  ground.CurveTo(160 * kTw, 330 * kTw, 320 * kTw, 390 * kTw)
      .CurveTo(480 * kTw, 450 * kTw, 640 * kTw, 370 * kTw)
      .LineTo(640 * kTw, 480 * kTw)
      .LineTo(0, 480 * kTw)
      .LineTo(0, 400 * kTw);
  hills.contours = {ground};
  Add(t, DefineShape3(3, hills));

  Add(t, LosslessBitmap(4));
  Add(t, BitmapRectDefinition(5, 4, 96, 96, 3, 0, 0, false));
  Add(t, JpegBitmap(6));
  Add(t, BitmapRectDefinition(7, 6, 144, 96, 1.5, 0, 0, false));
  Add(t, MorphDefinition(8, 60));
  Add(t, TextDefinitions({9, 10}, "FLASH SAVER DEMO", 560, {255, 255, 255, 255}));
  Add(t, SpriteDefinitions({11, 12, 13}));
  Add(t, MaskDefinitions({14, 15}, 240, 70));

  for (int f = 0; f < kFrames; ++f) {
    const bool first = f == 0;
    auto place = [&](uint16_t depth, uint16_t id, Matrix m, std::optional<ColorTransform> cx = {},
                     std::optional<uint16_t> ratio = {}, std::optional<uint16_t> clip = {}) {
      Add(t, PlaceObject2({depth,
                           first ? std::optional<uint16_t>(id) : std::nullopt,
                           !first,
                           m,
                           cx,
                           ratio,
                           {},
                           first ? clip : std::nullopt}));
    };
    const double w = Wave(f, 48);
    if (first) {
      place(1, 1, {});
      place(3, 3, {});
    }
    place(2, 2, At(530, 90, 0.9 + 0.15 * Wave(f, 24)));
    if (first) {
      place(4, 5, At(30, 30, 1, -6));
      place(5, 7, At(30, 170, 1, 4));
    }
    place(6, 8, At(320, 170), {}, static_cast<uint16_t>(std::lround(65535 * w)));
    place(7, 13, At(500, 250, 0.9, f * 2.0));
    place(8, 15, At(230 + 180 * w, 345), {}, {}, uint16_t{9});
    if (first) place(9, 14, At(200, 310));
    ColorTransform glow;
    glow.r_add = glow.g_add = static_cast<int16_t>(-60 + std::lround(60 * Wave(f, 32)));
    place(10, 10, At(36, 455), glow);
    Add(t, ShowFrame());
  }
  return Write(spec);
}

struct Sample {
  const char* name;
  Bytes (*make)();
};

constexpr Sample kSamples[] = {
    {"shapes", ShapesMovie},   {"gradients", GradientsMovie},
    {"bitmap", BitmapMovie},   {"jpeg", JpegMovie},
    {"morph", MorphMovie},     {"text", TextMovie},
    {"sprites", SpritesMovie}, {"mask", MaskMovie},
    {"demo", DemoMovie},       {"scale9", Scale9Movie},
    {"filters", FiltersMovie}, {"blends", BlendsMovie},
    {"glow", GlowMovie},       {"bitmapdata", BitmapDataSampleMovie},
};

}  // namespace

const std::vector<std::string>& SampleMovieNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> v;
    for (const Sample& s : kSamples) v.emplace_back(s.name);
    return v;
  }();
  return names;
}

std::vector<uint8_t> SampleMovie(const std::string& name) {
  for (const Sample& s : kSamples) {
    if (name == s.name) return s.make();
  }
  throw std::invalid_argument("no sample movie named " + name);
}

}  // namespace flashsaver
