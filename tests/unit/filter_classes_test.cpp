// flash.filters from scripts: defaults and clamping, clone, what the renderer receives from a
// filter object (arrays of unequal length, short convolution matrices), and clips redrawn when
// a script changes their effects.
#include "player/avm1/display/filter_classes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/display/movie_player.h"
#include "player/render/agg_canvas.h"
#include "player/swf/tag_codes.h"
#include "tools/swf_records.h"
#include "tools/swf_writer.h"

namespace flashsaver {
namespace {

using avm1::Value;

class FilterClassesTest : public ::testing::Test {
 protected:
  FilterClassesTest() : vm_(host_, 8) { InstallFilterClasses(vm_); }

  Value Make(const char* cls, std::vector<Value> args = {}) {
    avm1::Object* flash = vm_.GetMember(vm_.global(), "flash").AsObject();
    avm1::Object* package = vm_.GetMember(flash, "filters").AsObject();
    return vm_.Construct(vm_.GetMember(package, cls), args);
  }
  Value Array(std::vector<Value> items) { return vm_.NewArray(items); }
  std::string Read(const Value& object, const char* name) {
    return vm_.ToString(vm_.GetMember(object.AsObject(), name));
  }

  avm1::NullHost host_;
  avm1::Vm vm_;
};

TEST_F(FilterClassesTest, ConstructorsKeepDefaultsAndClampAsThePlayer) {
  struct Case {
    const char* cls;
    std::vector<Value> args;
    const char* property;
    const char* expected;
  };
  const Case cases[] = {
      {"GlowFilter", {}, "color", "16711680"},
      {"GlowFilter", {}, "blurX", "6"},
      {"GlowFilter", {}, "strength", "2"},
      {"DropShadowFilter", {}, "distance", "4"},
      {"DropShadowFilter", {4.0, 405.0}, "angle", "45"},
      {"DropShadowFilter", {4.0, -90.0}, "angle", "-90"},
      {"GlowFilter", {0.0, Value()}, "alpha", "0"},
      {"DropShadowFilter", {4.0, 45.0, -1.0}, "color", "16777215"},
      {"DropShadowFilter", {4.0, 45.0, 0.0, 2.5}, "alpha", "1"},
      {"BlurFilter", {300.0, -5.0, 20.0}, "blurX", "255"},
      {"BlurFilter", {300.0, -5.0, 20.0}, "blurY", "0"},
      {"BlurFilter", {300.0, -5.0, 20.0}, "quality", "15"},
      {"BlurFilter", {Value(), 2.0}, "blurX", "NaN"},  // only missing arguments default
      {"BevelFilter", {}, "type", "inner"},
      {"BevelFilter",
       {4.0, 45.0, 0.0, 1.0, 0.0, 1.0, 4.0, 4.0, 1.0, 1.0, "sideways"},
       "type",
       "full"},
      {"BevelFilter", {}, "highlightColor", "16777215"},
      {"ConvolutionFilter", {}, "alpha", "0"},
      {"ConvolutionFilter", {40.0}, "matrixX", "15"},
      {"ConvolutionFilter", {2.0, 2.0, Array({-1.0, 1.0, -1.0, -2.0})}, "divisor", "-3"},
      {"ColorMatrixFilter",
       {Array({2.0})},
       "matrix",
       "2,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN"},
      {"ColorMatrixFilter", {}, "matrix", "1,0,0,0,0,0,1,0,0,0,0,0,1,0,0,0,0,0,1,0"},
      {"DisplacementMapFilter", {Value(), Value(), 1.0, 2.0, 3.0, 4.0, "bad"}, "mode", "wrap"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Read(Make(c.cls, c.args), c.property), c.expected) << c.cls << "." << c.property;
  }
}

TEST_F(FilterClassesTest, CloneIsAnIndependentCopyOfTheSameClass) {
  const Value glow = Make("GlowFilter", {double{0x00FF00}, 0.5, 10.0});
  const Value copy = vm_.CallMethod(glow, "clone", {});
  vm_.SetMember(glow.AsObject(), "blurX", 2.0);
  EXPECT_EQ(Read(copy, "blurX"), "10");
  EXPECT_EQ(Read(copy, "alpha"), "0.5");
  EXPECT_TRUE(vm_.StrictEquals(vm_.GetMember(copy.AsObject(), "__proto__"),
                               vm_.GetMember(glow.AsObject(), "__proto__")));
}

TEST_F(FilterClassesTest, GivesTheRendererOnlyWhatItCanRead) {
  // Three colours, two alphas, one ratio: only one complete gradient entry.
  const Value gradient =
      Make("GradientGlowFilter",
           {0.0, 0.0, Array({double{0xFF0000}, double{0x00FF00}, double{0x0000FF}}),
            Array({1.0, 0.5}), Array({128.0})});
  const auto g = FilterOfObject(gradient);
  ASSERT_TRUE(g);
  ASSERT_EQ(g->gradient.size(), 1u);
  EXPECT_EQ(g->gradient[0].first, 128);
  EXPECT_EQ(g->gradient[0].second.r, 255);

  // A 3x3 convolution whose matrix was then set to two numbers: the renderer reads nine.
  const Value convolution = Make("ConvolutionFilter", {3.0, 3.0});
  vm_.SetMember(convolution.AsObject(), "matrix", Array({1.0, 2.0}));
  EXPECT_EQ(Read(convolution, "matrix"), "1,2");
  const auto c = FilterOfObject(convolution);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->matrix, (std::vector<float>{1, 2, 0, 0, 0, 0, 0, 0, 0}));

  // NaN sizes draw as nothing rather than reaching the blur.
  const auto blur = FilterOfObject(Make("BlurFilter", {Value(), Value()}));
  ASSERT_TRUE(blur);
  EXPECT_EQ(blur->blur_x, 0);

  EXPECT_FALSE(FilterOfObject(Make("DisplacementMapFilter")));
  EXPECT_FALSE(FilterOfObject(Value(vm_.NewObject())));
}

TEST_F(FilterClassesTest, FiltersReadBackAsTheyWereSet) {
  const Value bevel = Make("BevelFilter", {6.0, 90.0, double{0x112233}, 0.25, double{0x445566},
                                           0.75, 3.0, 5.0, 2.0, 3.0, "outer", true});
  const auto f = FilterOfObject(bevel);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->kind, FilterKind::kBevel);
  EXPECT_FALSE(f->inner);
  EXPECT_FALSE(f->on_top);
  EXPECT_EQ(f->passes, 3);
  const Value back = ObjectOfFilter(vm_, *f);
  // The angle reads back in the record's fixed-point steps, as a placed filter's does.
  EXPECT_NEAR(vm_.ToNumber(vm_.GetMember(back.AsObject(), "angle")), 90, 0.001);
  for (const char* name : {"distance", "highlightColor", "shadowColor", "blurX", "blurY",
                           "strength", "quality", "type", "knockout"}) {
    EXPECT_EQ(Read(back, name), Read(bevel, name)) << name;
  }
}

TEST_F(FilterClassesTest, BlendModesByNameOrNumber) {
  const std::pair<Value, int> cases[] = {
      {"multiply", 3}, {"hardlight", 14}, {"layer", 2}, {"Multiply", 0}, {"bogus", 0}, {"14", 0},
      {1.0, 1},        {14.0, 14},        {15.0, 0},    {2.5, 2},        {0.0, 1},     {-1.0, 0},
  };
  for (const auto& [value, mode] : cases) {
    EXPECT_EQ(BlendModeFromValue(vm_, value).value_or(0), mode) << vm_.ToString(value);
  }
  EXPECT_STREQ(BlendModeName(3), "multiply");
  EXPECT_STREQ(BlendModeName(0), "normal");
}

// Actions that push strings and numbers, read members and set them: enough to write
// clip.property = value and clip.filters = [new flash.filters.Class()].
struct Script {
  swf_out::Bytes code;
  Script& Push(const std::string& s) {
    code.insert(code.end(), {0x96, static_cast<uint8_t>(s.size() + 2), 0, 0});
    code.insert(code.end(), s.begin(), s.end());
    code.push_back(0);
    return *this;
  }
  Script& PushInt(uint8_t n) {
    code.insert(code.end(), {0x96, 5, 0, 7, n, 0, 0, 0});
    return *this;
  }
  Script& Op(uint8_t op) {
    code.push_back(op);
    return *this;
  }
  Script& Clip(const std::string& name) { return Push(name).Op(0x1C); }
  Script& NewFilter(const std::string& cls) {
    return PushInt(0).Push("flash").Op(0x1C).Push("filters").Op(0x4E).Push(cls).Op(0x53);
  }
  swf_out::Bytes Tag() const {
    swf_out::Bytes body = code;
    body.push_back(0);
    swf_out::Bytes out;
    PutTag(out, swf_tag::kDoAction, body);
    return out;
  }
};

uint32_t CentrePixel(const MoviePlayer& player) {
  Picture picture(40, 40, 0xFFFFFFFF);
  AggCanvas canvas(picture, CanvasOptions{});
  player.Render(canvas, Matrix::Scale(0.05, 0.05));
  return picture.Row(20)[20];
}

// A red square in clip "m": frame 2's script inverts it, frame 3's blurs it; each change must
// reach the picture and the area the show redraws.
TEST(EffectPropertiesTest, ScriptedEffectsRedrawTheirClip) {
  using namespace swf_out;
  Shape square;
  square.fills = {FillStyle::Solid({255, 0, 0, 255})};
  Contour c = Rectangle(0, 0, 40 * 20, 40 * 20);
  c.fill1 = 1;
  square.contours = {c};
  Bytes sprite;
  const auto add = [](Bytes& to, const Bytes& b) { to.insert(to.end(), b.begin(), b.end()); };
  add(sprite, PlaceObject2({1, uint16_t{1}, false, {}, {}, {}, {}, {}}));
  add(sprite, ShowFrame());
  Bytes timeline = FileAttributes(0);
  add(timeline, DefineShape3(1, square));
  add(timeline, DefineSprite(2, 1, sprite));
  add(timeline, PlaceObject2({1, uint16_t{2}, false, {}, {}, {}, std::string("m"), {}}));
  add(timeline, ShowFrame());
  add(timeline, Script().Clip("m").Push("blendMode").Push("invert").Op(0x4F).Tag());
  add(timeline, ShowFrame());
  Script blur;
  blur.Clip("m").Push("filters").NewFilter("BlurFilter").PushInt(1).Op(0x42).Op(0x4F);
  add(timeline, blur.Tag());
  add(timeline, ShowFrame());
  SwfMovieSpec spec;
  spec.version = 8;
  spec.width_px = spec.height_px = 40;
  spec.frame_count = 3;
  MoviePlayer player(WriteSwfMovie(spec, timeline));

  player.AdvanceFrame();
  player.TakeInvalidatedArea();
  EXPECT_EQ(CentrePixel(player) & 0xFFFFFF, 0xFF0000u);
  player.AdvanceFrame();
  EXPECT_TRUE(player.TakeInvalidatedArea()) << "blendMode";
  EXPECT_EQ(CentrePixel(player) & 0xFFFFFF, 0u) << "the white under the square, inverted";
  player.AdvanceFrame();
  EXPECT_TRUE(player.TakeInvalidatedArea()) << "filters";
  Picture picture(40, 40, 0xFFFFFFFF);
  AggCanvas canvas(picture, CanvasOptions{});
  player.Render(canvas, Matrix::Scale(0.05, 0.05));
  EXPECT_EQ(picture.Row(20)[20] & 0xFFFFFF, 0u);
  EXPECT_NE(picture.Row(20)[0] & 0xFFFFFF, 0u) << "the blur softens the square's edge";
}

}  // namespace
}  // namespace flashsaver
