// flash.events dispatch rules the shared movies reach only through the display list: phases
// along the parent chain, stopping, changes to the listener list during a dispatch, weak
// listeners; and the 4x4 matrix arithmetic behind Matrix3D.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "player/avm2/events/events.h"
#include "player/avm2/geom/matrix3d_math.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

std::vector<std::string> g_log;
Value g_other;  // the listener a listener adds or removes

// Logs "<name of currentTarget>:<phase>" and acts on the event's type.
Value Listener(Vm& vm, const Value&, std::span<const Value> args) {
  auto* e = dynamic_cast<EventObject*>(args[0].AsObject());
  auto* d = dynamic_cast<DispatcherObject*>(e->current_target.AsObject());
  g_log.push_back(d->name.ToUtf8() + ":" + std::to_string(e->phase));
  std::string type = e->type.ToUtf8();
  if (type == "stop" && d->name.ToUtf8() == "mid") e->stopped = true;
  if (type == "stopNow" && d->name.ToUtf8() == "mid") e->stopped = e->stopped_immediate = true;
  if (type == "edit") {
    Value remove[2] = {Value(Str(u"edit")), g_other};
    vm.CallMethod(e->current_target, "removeEventListener", remove);
  }
  return Value();
}
Value Other(Vm&, const Value&, std::span<const Value>) {
  g_log.push_back("other");
  return Value();
}

struct Tree {
  Vm vm;
  DispatcherObject* root;
  DispatcherObject* mid;
  DispatcherObject* leaf;
  Value fn;

  DispatcherObject* Make(const char* name, DispatcherObject* parent) {
    ClassObject* cls = vm.FindClass("flash.events::EventDispatcher");
    auto* d = dynamic_cast<DispatcherObject*>(
        vm.Construct(Value(static_cast<Object*>(cls)), {}).AsObject());
    d->name = Str::FromUtf8(name);
    d->parent = parent;
    return d;
  }
  Tree() {
    root = Make("root", nullptr);
    mid = Make("mid", root);
    leaf = Make("leaf", mid);
    fn = Value(vm.NewNativeFunction(Listener, 1, "listener"));
    vm.host_roots = [this](Tracer& t) {
      t.Mark(leaf);
      t.Mark(fn);
      t.Mark(g_other);
    };
    g_log.clear();
  }
  void Listen(DispatcherObject* d, const char* type, bool capture, const Value& f,
              bool weak = false) {
    Value a[5] = {Value(Str::FromUtf8(type)), f, Value(capture), Value(int32_t{0}), Value(weak)};
    vm.CallMethod(Value(d), "addEventListener", a);
  }
  void Dispatch(DispatcherObject* d, const char* type, bool bubbles) {
    ClassObject* cls = vm.FindClass("flash.events::Event");
    Value a[2] = {Value(Str::FromUtf8(type)), Value(bubbles)};
    Value e = vm.Construct(Value(static_cast<Object*>(cls)), a);
    vm.CallMethod(Value(d), "dispatchEvent", std::span<const Value>(&e, 1));
  }
};

TEST(Avm2Events, CaptureTargetAndBubblePhasesAlongTheParents) {
  struct Case {
    const char* type;
    bool bubbles;
    std::vector<std::string> calls;
  } cases[] = {
      // Capture listeners never run at the target itself.
      {"plain", true, {"root:1", "mid:1", "mid:1", "leaf:2", "mid:3", "root:3"}},
      {"plain", false, {"root:1", "mid:1", "mid:1", "leaf:2"}},
      // stopPropagation lets the node finish; stopImmediatePropagation does not.
      {"stop", true, {"root:1", "mid:1", "mid:1"}},
      {"stopNow", true, {"root:1", "mid:1"}},
  };
  for (const Case& c : cases) {
    Tree t;
    for (DispatcherObject* d : {t.root, t.mid, t.leaf}) {
      t.Listen(d, c.type, true, t.fn);
      t.Listen(d, c.type, false, t.fn);
    }
    // A second capture listener on mid shows whether mid finishes its list.
    t.Listen(t.mid, c.type, true, Value(t.vm.NewNativeFunction(Listener, 1, "again")));
    t.Dispatch(t.leaf, c.type, c.bubbles);
    EXPECT_EQ(g_log, c.calls) << c.type << " bubbles=" << c.bubbles;
  }
}

TEST(Avm2Events, ListenerListIsFixedWhenANodesTurnStarts) {
  Tree t;
  g_other = Value(t.vm.NewNativeFunction(Other, 1, "other"));
  t.Listen(t.leaf, "edit", false, t.fn);
  t.Listen(t.leaf, "edit", false, g_other);
  t.Dispatch(t.leaf, "edit", false);  // removes `other`, which still runs this time
  EXPECT_EQ(g_log, (std::vector<std::string>{"leaf:2", "other"}));
  g_log.clear();
  t.Dispatch(t.leaf, "edit", false);
  EXPECT_EQ(g_log, (std::vector<std::string>{"leaf:2"}));
  g_other = Value();
}

TEST(Avm2Events, WeakListenersDoNotKeepTheirFunctionAlive) {
  Tree t;
  t.Listen(t.leaf, "w", false, Value(t.vm.NewNativeFunction(Other, 1, "weak")), true);
  t.Listen(t.leaf, "s", false, Value(t.vm.NewNativeFunction(Other, 1, "strong")), false);
  t.vm.Collect();
  auto has = [&](const char* type) {
    Value a = Value(Str::FromUtf8(type));
    return Vm::ToBoolean(t.vm.CallMethod(Value(t.leaf), "hasEventListener", {&a, 1}));
  };
  EXPECT_FALSE(has("w"));
  EXPECT_TRUE(has("s"));
}

// A listener that throws: the error is reported and the next listener still runs.
Value Thrower(Vm& vm, const Value&, std::span<const Value>) {
  g_log.push_back("throws");
  vm.ThrowError(ErrorType::kError, 1000);
}

TEST(Avm2Events, ListenerErrorsAreReportedAndDispatchGoesOn) {
  Tree t;
  std::vector<std::string> traced;
  t.vm.trace_output = [&](std::string_view line) { traced.emplace_back(line); };
  t.Listen(t.leaf, "e", false, Value(t.vm.NewNativeFunction(Thrower, 1, "thrower")));
  t.Listen(t.leaf, "e", false, t.fn);
  t.Dispatch(t.leaf, "e", false);
  EXPECT_EQ(g_log, (std::vector<std::string>{"throws", "leaf:2"}));
  ASSERT_FALSE(traced.empty());
  EXPECT_EQ(traced[0].rfind("Error: Error #1000", 0), 0u) << traced[0];
}

// Builds `new cls(args...)` and runs `steps` on it; the text is String(result).
struct GeomCase {
  const char* what;
  std::function<Value(Vm&)> run;
  const char* text;
};

Value New(Vm& vm, const char* cls, std::initializer_list<Value> args) {
  std::vector<Value> a(args);
  return vm.Construct(Value(static_cast<Object*>(vm.FindClass(cls))), a);
}
Value Call(Vm& vm, const Value& o, const char* m, std::initializer_list<Value> args) {
  std::vector<Value> a(args);
  vm.CallMethod(o, m, a);
  return o;
}
Value S(const char16_t* s) { return Value(Str(s)); }

TEST(Avm2Geom, ValueClassesFollowFlashsArithmeticAndText) {
  const GeomCase cases[] = {
      {"Matrix.invert",
       [](Vm& vm) {
         return Call(vm, New(vm, "flash.geom::Matrix", {2.0, 3.0, 5.0, 7.0, 9.0, 11.0}), "invert",
                     {});
       },
       "(a=-7, b=3, c=5, d=-2, tx=8, ty=-5)"},
      {"singular Matrix.invert divides by zero",
       [](Vm& vm) {
         return Call(vm, New(vm, "flash.geom::Matrix", {1.0, 2.0, 2.0, 4.0, 5.0, 6.0}), "invert",
                     {});
       },
       "(a=Infinity, b=-Infinity, c=-Infinity, d=Infinity, tx=-Infinity, ty=Infinity)"},
      {"copyColumnFrom writes a row",
       [](Vm& vm) {
         Value v = New(vm, "flash.geom::Vector3D", {17.0, 19.0, 23.0});
         return Call(vm, New(vm, "flash.geom::Matrix", {2.0, 3.0, 5.0, 7.0, 11.0, 13.0}),
                     "copyColumnFrom", {Value(1.0), v});
       },
       "(a=2, b=17, c=5, d=19, tx=11, ty=23)"},
      {"createGradientBox",
       [](Vm& vm) {
         return Call(vm, New(vm, "flash.geom::Matrix", {}), "createGradientBox",
                     {Value(200.0), Value(300.0)});
       },
       "(a=0.1220703125, b=0, c=0, d=0.18310546875, tx=100, ty=150)"},
      {"Rectangle.top moves one edge",
       [](Vm& vm) {
         Value r = New(vm, "flash.geom::Rectangle", {1.0, 3.0, 5.0, 7.0});
         vm.SetProperty(r, "top", Value(INFINITY));
         return r;
       },
       "(x=1, y=Infinity, w=5, h=-Infinity)"},
      {"union with an empty rectangle",
       [](Vm& vm) {
         Value r = New(vm, "flash.geom::Rectangle", {0.0, 0.0, -1.0, 5.0});
         Value o = New(vm, "flash.geom::Rectangle", {1.0, 1.0, 2.0, 2.0});
         std::vector<Value> a{o};
         return vm.CallMethod(r, "union", a);
       },
       "(x=1, y=1, w=2, h=2)"},
      {"Point.interpolate",
       [](Vm& vm) {
         std::vector<Value> a{New(vm, "flash.geom::Point", {-100.0, -200.0}),
                              New(vm, "flash.geom::Point", {100.0, 200.0}), Value(-1.0)};
         return vm.CallMethod(Value(static_cast<Object*>(vm.FindClass("flash.geom::Point"))),
                              "interpolate", a);
       },
       "(x=300, y=600)"},
      {"Point coerces its fields",
       [](Vm& vm) {
         return New(vm, "flash.geom::Point", {Value(vm.NewObject()), S(u"2")});
       },
       "(x=NaN, y=2)"},
      {"ColorTransform.color",
       [](Vm& vm) {
         Value c = New(vm, "flash.geom::ColorTransform", {});
         vm.SetProperty(c, "color", Value(uint32_t{0x123456}));
         return c;
       },
       "(redMultiplier=0, greenMultiplier=0, blueMultiplier=0, alphaMultiplier=1, "
       "redOffset=18, greenOffset=52, blueOffset=86, alphaOffset=0)"},
      {"KeyboardEvent.toString",
       [](Vm& vm) {
         return New(vm, "flash.events::KeyboardEvent",
                    {S(u"keyDown"), Value(true), Value(false), Value(65.0), Value(66.0)});
       },
       "[KeyboardEvent type=\"keyDown\" bubbles=true cancelable=false eventPhase=2 charCode=65 "
       "keyCode=66 keyLocation=0 ctrlKey=false altKey=false shiftKey=false]"},
      {"MouseEvent.clone keeps its class and fields",
       [](Vm& vm) {
         Value m = New(vm, "flash.events::MouseEvent",
                       {S(u"click"), Value(false), Value(true), Value(50.0), Value(50.0)});
         return vm.CallMethod(m, "clone", {});
       },
       "[MouseEvent type=\"click\" bubbles=false cancelable=true eventPhase=2 localX=50 "
       "localY=50 stageX=0 stageY=0 relatedObject=null ctrlKey=false altKey=false "
       "shiftKey=false buttonDown=false delta=0]"},
      {"formatToString quotes strings only",
       [](Vm& vm) {
         Value e = New(vm, "flash.events::IOErrorEvent",
                       {S(u"ioError"), Value(false), Value(false), S(u"oops"), Value(7.0)});
         std::vector<Value> a{S(u"X"), S(u"text"), S(u"errorID"), Value()};
         return vm.CallMethod(e, "formatToString", a);
       },
       "[X text=\"oops\" errorID=7 null=undefined]"},
      {"Matrix3D.append applies after, prepend before",
       [](Vm& vm) {
         Value m = New(vm, "flash.geom::Matrix3D", {});
         Call(vm, m, "appendTranslation", {Value(1.0), Value(2.0), Value(3.0)});
         Call(vm, m, "appendScale", {Value(2.0), Value(2.0), Value(2.0)});
         Call(vm, m, "prependTranslation", {Value(10.0), Value(0.0), Value(0.0)});
         return vm.GetProperty(m, "position");
       },
       "Vector3D(22, 4, 6)"},
      {"Matrix3D.rawData is column-major",
       [](Vm& vm) {
         Value m = New(vm, "flash.geom::Matrix3D", {});
         Call(vm, m, "appendTranslation", {Value(5.0), Value(6.0), Value(7.0)});
         return vm.GetProperty(m, "rawData");
       },
       "1,0,0,0,0,1,0,0,0,0,1,0,5,6,7,1"},
      {"Vector3D.nearEquals with allFour checks only the other w",
       [](Vm& vm) {
         Value a = New(vm, "flash.geom::Vector3D", {1.0, 2.0, 3.0, 100.0});
         Value b = New(vm, "flash.geom::Vector3D", {1.0, 2.0, 3.0, 0.5});
         std::vector<Value> args{b, Value(1.0), Value(true)};
         return vm.CallMethod(a, "nearEquals", args);
       },
       "true"},
      {"PerspectiveProjection's focal length follows the field of view",
       [](Vm& vm) {
         return vm.GetProperty(New(vm, "flash.geom::PerspectiveProjection", {}), "focalLength");
       },
       "480.24554443359375"},
      {"a Transform's matrix is null while it has a 3D matrix, and comes back from it",
       [](Vm& vm) {
         Value t = New(vm, "flash.geom::Transform", {Value(vm.NewObject())});
         Value m3 = New(vm, "flash.geom::Matrix3D", {});
         Call(vm, m3, "appendTranslation", {Value(4.0), Value(5.0), Value(0.0)});
         vm.SetProperty(t, "matrix3D", m3);
         std::string while3d = vm.ToString(vm.GetProperty(t, "matrix")).ToUtf8();
         vm.SetProperty(t, "matrix3D", Value::Null());
         return Value(
             Str::FromUtf8(while3d + " " + vm.ToString(vm.GetProperty(t, "matrix")).ToUtf8()));
       },
       "null (a=1, b=0, c=0, d=1, tx=4, ty=5)"},
  };
  for (const GeomCase& c : cases) {
    Vm vm;
    EXPECT_EQ(vm.ToString(c.run(vm)).ToUtf8(), c.text) << c.what;
  }
}

// ---- Matrix3D arithmetic ----
using m3d::Mat;
using m3d::Vec;

void ExpectNear(const Mat& a, const Mat& b, const char* what) {
  for (size_t i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], 1e-9) << what << " [" << i << "]";
}

TEST(Avm2Matrix3D, ComposesInvertsAndDecomposes) {
  // appendX applies after: translate then scale moves the translation too.
  Mat ts = m3d::Multiply(m3d::Scale(2, 3, 4), m3d::Translation(1, 1, 1));
  Vec p = m3d::Apply(ts, {0, 0, 0, 1}, false);
  EXPECT_EQ(p.x, 2);
  EXPECT_EQ(p.y, 3);
  EXPECT_EQ(p.z, 4);
  EXPECT_EQ(m3d::Determinant(ts), 24);
  // A quarter turn about z takes x to y; about a pivot it turns around that point.
  Vec r = m3d::Apply(m3d::Rotation(90, {0, 0, 5, 0}, {}), {1, 0, 0, 1}, false);
  EXPECT_NEAR(r.x, 0, 1e-12);
  EXPECT_NEAR(r.y, 1, 1e-12);
  Vec pr = m3d::Apply(m3d::Rotation(90, {0, 0, 1, 0}, {1, 1, 0, 0}), {2, 1, 0, 1}, false);
  EXPECT_NEAR(pr.x, 1, 1e-12);
  EXPECT_NEAR(pr.y, 2, 1e-12);

  Mat m = m3d::Multiply(m3d::Translation(5, -2, 7),
                        m3d::Multiply(m3d::Rotation(30, {1, 2, 3, 0}, {}), m3d::Scale(2, 3, 0.5)));
  Mat inv = m;
  ASSERT_TRUE(m3d::Invert(inv));
  ExpectNear(m3d::Multiply(m, inv), m3d::Identity(), "m * inverse");
  Mat singular = m3d::Scale(1, 0, 1);
  EXPECT_FALSE(m3d::Invert(singular));
  EXPECT_EQ(singular, m3d::Scale(1, 0, 1));

  for (auto style : {m3d::Orientation::kEulerAngles, m3d::Orientation::kQuaternion,
                     m3d::Orientation::kAxisAngle}) {
    auto parts = m3d::Decompose(m, style);
    EXPECT_NEAR(parts[0].x, 5, 1e-9);
    EXPECT_NEAR(parts[2].y, 3, 1e-9);
    Mat back;
    ASSERT_TRUE(m3d::Recompose(back, parts, style));
    ExpectNear(back, m, "recompose");
  }
  auto parts = m3d::Decompose(m, m3d::Orientation::kEulerAngles);
  parts[2].z = 0;
  Mat untouched = m;
  EXPECT_FALSE(m3d::Recompose(untouched, parts, m3d::Orientation::kEulerAngles));
  ExpectNear(m3d::Interpolate(m, m3d::Identity(), 0), m, "interpolate at 0");
  ExpectNear(m3d::Interpolate(m, m3d::Identity(), 1), m3d::Identity(), "interpolate at 1");
}

}  // namespace
}  // namespace flashsaver::avm2
