// flash.filters from scripts: defaults and clamping, clone, and what the renderer receives
// from a filter object (arrays of unequal length, short convolution matrices).
#include "player/display/filter_classes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
}  // namespace flashsaver
