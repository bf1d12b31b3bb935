// The script machine: conversions per SWF version, number printing, the collector, and the
// limits that stop runaway scripts. The trace set judges the rest.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "player/avm1/vm.h"

namespace flashsaver::avm1 {
namespace {

// A few actions written out as bytes, enough for the scripts below.
class Asm {
 public:
  Asm& PushString(const std::string& s) {
    std::vector<uint8_t> data{0};
    data.insert(data.end(), s.begin(), s.end());
    data.push_back(0);
    return Record(0x96, data);
  }
  Asm& PushNumber(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    std::vector<uint8_t> data{6};
    uint32_t hi = static_cast<uint32_t>(bits >> 32), lo = static_cast<uint32_t>(bits);
    for (uint32_t w : {hi, lo}) {
      for (int i = 0; i < 4; ++i) data.push_back(static_cast<uint8_t>(w >> (8 * i)));
    }
    return Record(0x96, data);
  }
  Asm& Op(uint8_t code) {
    bytes.push_back(code);
    return *this;
  }
  Asm& Jump(int16_t offset) {
    return Record(0x99, {static_cast<uint8_t>(offset), static_cast<uint8_t>(offset >> 8)});
  }
  // DefineFunction name() { body }
  Asm& Function(const std::string& name, const Asm& body) {
    std::vector<uint8_t> data(name.begin(), name.end());
    data.push_back(0);
    data.push_back(0);  // no parameters
    data.push_back(0);
    data.push_back(static_cast<uint8_t>(body.bytes.size()));
    data.push_back(static_cast<uint8_t>(body.bytes.size() >> 8));
    Record(0x9B, data);
    bytes.insert(bytes.end(), body.bytes.begin(), body.bytes.end());
    return *this;
  }
  Asm& Call(const std::string& name) { return PushNumber(0).PushString(name).Op(0x3D); }
  Asm& Trace(const std::string& s) { return PushString(s).Op(0x26); }
  std::shared_ptr<const std::vector<uint8_t>> Done() const {
    auto out = std::make_shared<std::vector<uint8_t>>(bytes);
    out->push_back(0);
    return out;
  }
  std::vector<uint8_t> bytes;

 private:
  Asm& Record(uint8_t code, const std::vector<uint8_t>& data) {
    bytes.push_back(code);
    bytes.push_back(static_cast<uint8_t>(data.size()));
    bytes.push_back(static_cast<uint8_t>(data.size() >> 8));
    bytes.insert(bytes.end(), data.begin(), data.end());
    return *this;
  }
};

struct Machine {
  explicit Machine(int version) : vm(host, version) {
    root = vm.New<Object>(ObjectKind::kClip);
    host.root = root;
    vm.host_roots = [this](Tracer& t) { t.Mark(root); };
  }
  bool Run(const Asm& a) {
    auto code = a.Done();
    return vm.RunActions(code, *code, root);
  }
  NullHost host;
  Vm vm;
  Object* root;
};

TEST(Avm1Conversions, NumbersFromValuesDependOnVersion) {
  struct Case {
    int version;
    Value value;
    double expected;  // NaN: expect NaN
  } const cases[] = {
      {6, Value(), 0},   {7, Value(), NAN}, {6, Value::Null(), 0}, {7, Value::Null(), NAN},
      {4, "abc", 0},     {5, "abc", NAN},   {5, "", NAN},          {4, "", 0},
      {6, "0x10", 16},   {5, "0x10", NAN},  {6, "-0x10", NAN},     {6, "012", 10},
      {5, "012", 12},    {7, " 12", 12},    {7, "12 ", NAN},       {7, "1e3", 1000},
      {7, "-2.5", -2.5}, {7, true, 1},
  };
  for (const auto& c : cases) {
    Machine m(c.version);
    double got = m.vm.ToNumber(c.value);
    if (std::isnan(c.expected)) {
      EXPECT_TRUE(std::isnan(got)) << "version " << c.version << " gave " << got;
    } else {
      EXPECT_EQ(got, c.expected) << "version " << c.version;
    }
  }
}

TEST(Avm1Conversions, StringsAndBooleansDependOnVersion) {
  Machine v4(4), v6(6), v7(7);
  EXPECT_EQ(v6.vm.ToString(Value()), "");
  EXPECT_EQ(v7.vm.ToString(Value()), "undefined");
  EXPECT_EQ(v4.vm.ToString(true), "1");
  EXPECT_EQ(v6.vm.ToString(true), "true");
  // Strings are true by their number before SWF 7, by being non-empty from 7.
  EXPECT_FALSE(v6.vm.ToBool("abc"));
  EXPECT_TRUE(v6.vm.ToBool("2"));
  EXPECT_TRUE(v7.vm.ToBool("abc"));
  EXPECT_FALSE(v7.vm.ToBool(""));
  EXPECT_FALSE(v7.vm.ToBool(NAN));
}

TEST(Avm1Conversions, Comparisons) {
  Machine m(7);
  Vm& vm = m.vm;
  EXPECT_TRUE(vm.LooseEquals(Value(), Value::Null()));
  EXPECT_TRUE(vm.LooseEquals("1", 1.0));
  EXPECT_TRUE(vm.LooseEquals(true, 1.0));
  EXPECT_FALSE(vm.LooseEquals(Value(), 0.0));
  EXPECT_FALSE(vm.StrictEquals("1", 1.0));
  EXPECT_TRUE(vm.StrictEquals(NAN, NAN));
  EXPECT_TRUE(vm.LessThan("10", "9").AsBool());  // two strings compare as text
  EXPECT_FALSE(vm.LessThan(10.0, "9").AsBool());
  EXPECT_TRUE(vm.LessThan(NAN, 1.0).IsUndefined());
  EXPECT_EQ(vm.ToString(vm.Add("1", 2.0)), "12");
  EXPECT_EQ(vm.ToNumber(vm.Add(true, 2.0)), 3);
  // Names are case-insensitive before SWF 7.
  Machine m6(6);
  Object* o = m6.vm.NewObject();
  m6.vm.SetMember(o, "Name", 1.0);
  EXPECT_EQ(m6.vm.ToNumber(m6.vm.GetMember(o, "NAME")), 1);
  Object* o7 = vm.NewObject();
  vm.SetMember(o7, "Name", 1.0);
  EXPECT_TRUE(vm.GetMember(o7, "NAME").IsUndefined());
}

TEST(Avm1NumberFormat, PrintsAsThePlayer) {
  struct Case {
    double n;
    const char* text;
  } const cases[] = {
      {0, "0"},
      {-0.0, "0"},
      {1.5, "1.5"},
      {-1.5, "-1.5"},
      {0.1, "0.1"},
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {0.1 + 0.2, "0.3"},
      {123456789012345.0, "123456789012345"},
      {1e15, "1e+15"},
      {1.5e20, "1.5e+20"},
      {4294967296.0, "4294967296"},
      {2147483647.0, "2147483647"},
      {-2147483648.0, "-2147483648"},
      {0.00001, "0.00001"},
      {0.000001, "1e-6"},
      {1.2345e-10, "1.2345e-10"},
      {NAN, "NaN"},
      {INFINITY, "Infinity"},
      {-INFINITY, "-Infinity"},
  };
  for (const auto& c : cases) EXPECT_EQ(NumberToString(c.n), c.text) << c.text;
}

TEST(Avm1Collector, FreesUnreachableCyclesAndKeepsTheRest) {
  Machine m(7);
  Vm& vm = m.vm;
  vm.Collect();
  size_t base = vm.heap_size();
  Object* a = vm.NewObject();
  Object* b = vm.NewObject();
  vm.SetMember(a, "b", b);
  vm.SetMember(b, "a", a);
  Object* kept = vm.NewObject();
  vm.SetMember(vm.global(), "kept", kept);
  vm.SetMember(kept, "self", kept);
  EXPECT_EQ(vm.heap_size(), base + 3);
  EXPECT_EQ(vm.Collect(), 2u);
  EXPECT_EQ(vm.heap_size(), base + 1);
  EXPECT_EQ(vm.GetMember(vm.global(), "kept").AsObject(), kept);
}

TEST(Avm1Collector, ScriptThatDropsObjectsEveryFrameStaysFlat) {
  Machine m(7);
  // o = {}; o.self = o; (a new cycle each run, the old one dropped)
  Asm a;
  a.PushString("o").PushNumber(0).Op(0x43).Op(0x1D);
  a.PushString("o").Op(0x1C).PushString("self").PushString("o").Op(0x1C).Op(0x4F);
  m.Run(a);
  m.vm.Collect();
  size_t after_first = m.vm.heap_size();
  for (int frame = 0; frame < 2000; ++frame) {
    m.Run(a);
    m.vm.MaybeCollect();
  }
  m.vm.Collect();
  EXPECT_EQ(m.vm.heap_size(), after_first);
}

TEST(Avm1Limits, EndlessRecursionStopsTheBlockOnly) {
  Machine m(7);
  Asm body;
  body.Call("f").Op(0x17);
  Asm a;
  a.Function("f", body).Call("f").Op(0x17).Trace("after");
  EXPECT_FALSE(m.Run(a));
  EXPECT_TRUE(m.host.lines.empty());
  // The movie goes on: the next block runs.
  Asm next;
  next.Trace("next");
  EXPECT_TRUE(m.Run(next));
  ASSERT_EQ(m.host.lines.size(), 1u);
  EXPECT_EQ(m.host.lines[0], "next");
}

TEST(Avm1Limits, RecursionLimitComesFromScriptLimits) {
  Machine m(7);
  m.vm.set_limits({10, 15});
  // f() { n = n + 1; f(); }  n counts how deep it went.
  Asm body;
  body.PushString("n").PushString("n").Op(0x1C).Op(0x50).Op(0x1D).Call("f").Op(0x17);
  Asm a;
  a.PushString("n").PushNumber(0).Op(0x1D).Function("f", body).Call("f");
  EXPECT_FALSE(m.Run(a));
  double depth = m.vm.ToNumber(m.vm.GetMember(m.root, "n"));
  EXPECT_GE(depth, 8);
  EXPECT_LE(depth, 10);
}

TEST(Avm1Limits, EndlessLoopStopsAtTheTimeout) {
  Machine m(7);
  m.vm.set_limits({256, 0.1});
  Asm a;
  a.Jump(-5);  // jumps to itself
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(m.Run(a));
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 2.0);
  EXPECT_GE(seconds, 0.1);
}

class AbortingHost : public NullHost {
 public:
  bool ShouldAbortScripts() override { return ++polls > 3; }
  int polls = 0;
};

TEST(Avm1Limits, HostCanStopALoopAtOnce) {
  AbortingHost host;
  Vm vm(host, 7);
  Asm a;
  a.Jump(-5);
  auto code = a.Done();
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(vm.RunActions(code, *code, nullptr));
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0.25);
}

TEST(Avm1Limits, DeeplyNestedValuesDoNotOverflowTheHostStack) {
  Machine m(7);
  // a = []; repeat 5000 times: a = [a]; then trace(a): printing recurses through join.
  Asm a;
  a.PushString("a").PushNumber(0).Op(0x42).Op(0x1D);
  Asm loop;
  loop.PushString("a").PushString("a").Op(0x1C).PushNumber(1).Op(0x42).Op(0x1D);
  loop.PushString("i").PushString("i").Op(0x1C).Op(0x50).Op(0x1D);
  loop.PushString("i").Op(0x1C).PushNumber(5000).Op(0x48);  // i < 5000
  loop.Op(0x12);                                            // not
  size_t loop_size = loop.bytes.size() + 5;
  a.PushString("i").PushNumber(0).Op(0x1D);
  a.bytes.insert(a.bytes.end(), loop.bytes.begin(), loop.bytes.end());
  int16_t back = static_cast<int16_t>(-static_cast<int>(loop_size));
  // if (!(i < 5000)) skip the jump back
  a.bytes.insert(a.bytes.end(), {0x9D, 2, 0, 5, 0});
  a.Jump(static_cast<int16_t>(back - 5));
  a.PushString("a").Op(0x1C).Op(0x26);
  m.Run(a);  // may be stopped by the recursion limit; it must not crash
  Asm next;
  next.Trace("alive");
  EXPECT_TRUE(m.Run(next));
  EXPECT_EQ(m.host.lines.back(), "alive");
}

// Loops that would grow without end stop at the stack and string caps, well inside the
// timeout, and the movie goes on.
TEST(Avm1Limits, GrowingLoopsStopAtTheMemoryCaps) {
  struct Case {
    const char* label;
    uint8_t grow;  // 0: push 64 values a turn; else the concatenating action s = s OP s
  };
  for (const Case& c :
       {Case{"push loop", 0}, Case{"Add2 doubling", 0x47}, Case{"StringAdd doubling", 0x21}}) {
    SCOPED_TRACE(c.label);
    Machine m(7);
    m.vm.set_limits({256, 600});
    Asm loop;
    if (c.grow == 0) {
      for (int i = 0; i < 64; ++i) loop.PushString("x");
      loop.PushString("n").PushString("n").Op(0x1C).Op(0x50).Op(0x1D);
    } else {
      loop.PushString("s").PushString("s").Op(0x1C).PushString("s").Op(0x1C).Op(c.grow);
      loop.Op(0x1D);
    }
    Asm a;
    a.PushString("n").PushNumber(0).Op(0x1D).PushString("s").PushString("x").Op(0x1D);
    a.bytes.insert(a.bytes.end(), loop.bytes.begin(), loop.bytes.end());
    a.Jump(static_cast<int16_t>(-static_cast<int>(loop.bytes.size()) - 5));
    EXPECT_FALSE(m.Run(a));
    if (c.grow == 0) {
      EXPECT_NEAR(m.vm.ToNumber(m.vm.GetMember(m.root, "n")), double(kMaxStackValues) / 64, 2);
    } else {
      size_t size = m.vm.ToString(m.vm.GetMember(m.root, "s")).size();
      EXPECT_LE(size, kMaxStringBytes);
      EXPECT_GT(size, kMaxStringBytes / 2);
    }
    Asm next;
    next.Trace("next");
    EXPECT_TRUE(m.Run(next));
    EXPECT_EQ(m.host.lines.back(), "next");
  }
}

class ArmedHost : public NullHost {
 public:
  bool ShouldAbortScripts() override { return armed && ++polls > 3; }
  bool armed = false;
  int polls = 0;
};

// Sorting already sorted input takes quadratic time in the player's quicksort; the sort must
// still give way to the show's exit conditions.
TEST(Avm1Limits, HostCanStopALongSort) {
  ArmedHost host;
  Vm vm(host, 7);
  Object* root = vm.New<Object>(ObjectKind::kClip);
  host.root = root;
  vm.host_roots = [root](Tracer& t) { t.Mark(root); };
  Asm fill;  // a = []; for (i = 0; i < 20000; ++i) a.push(i);
  fill.PushString("a").PushNumber(0).PushString("Array").Op(0x40).Op(0x1D);
  fill.PushString("i").PushNumber(0).Op(0x1D);
  Asm loop;
  loop.PushString("i").Op(0x1C).PushNumber(1).PushString("a").Op(0x1C).PushString("push");
  loop.Op(0x52).Op(0x17).PushString("i").PushString("i").Op(0x1C).Op(0x50).Op(0x1D);
  loop.PushString("i").Op(0x1C).PushNumber(20000).Op(0x48);
  fill.bytes.insert(fill.bytes.end(), loop.bytes.begin(), loop.bytes.end());
  fill.bytes.insert(fill.bytes.end(), {0x9D, 2, 0});  // if (i < 20000) jump back
  int16_t back = static_cast<int16_t>(-static_cast<int>(loop.bytes.size()) - 5);
  fill.bytes.push_back(static_cast<uint8_t>(back));
  fill.bytes.push_back(static_cast<uint8_t>(back >> 8));
  auto fill_code = fill.Done();
  ASSERT_TRUE(vm.RunActions(fill_code, *fill_code, root));
  ASSERT_EQ(vm.ArrayLength(vm.GetMember(root, "a").AsObject()), 20000u);
  Asm sort;  // a.sort(Array.NUMERIC)
  sort.PushNumber(16).PushNumber(1).PushString("a").Op(0x1C).PushString("sort").Op(0x52);
  host.armed = true;
  auto sort_code = sort.Done();
  EXPECT_FALSE(vm.RunActions(sort_code, *sort_code, root));
}

}  // namespace
}  // namespace flashsaver::avm1
