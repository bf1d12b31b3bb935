// Getters, setters and watchers that re-enter the property they serve: each property lets
// them nest 65 deep and is a plain value past that, whatever objects share it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/avm1/vm.h"

namespace flashsaver::avm1 {
namespace {

// What the natives below see: how often they ran, and which objects they bounce between.
struct Probe {
  int calls = 0;
  Object* other = nullptr;  // the object whose "prop" a call touches next, null: its own this
};
Probe probe;

Object* Next(const CallArgs& c) {
  return probe.other && c.this_obj != probe.other ? probe.other : c.this_obj;
}

Value ReadAgain(Vm& vm, const CallArgs& c) {
  ++probe.calls;
  return vm.GetMember(Next(c), "prop");
}
Value WriteAgain(Vm& vm, const CallArgs& c) {
  ++probe.calls;
  vm.SetMember(Next(c), "prop", std::string("inner"));
  return Value();
}
Value WatchAndWriteAgain(Vm& vm, const CallArgs& c) {
  ++probe.calls;
  vm.SetMember(c.this_obj, "prop", std::string("inner"));
  return std::string("watched");
}

struct Machine {
  Machine() : vm(host, 7) {
    root = vm.New<Object>(ObjectKind::kClip);
    host.root = root;
    vm.host_roots = [this](Tracer& t) { t.Mark(root); };
  }
  void AddProperty(Object* o, NativeFn getter, NativeFn setter) {
    std::vector<Value> args{std::string("prop"), vm.NewNative(getter),
                            setter ? Value(vm.NewNative(setter)) : Value::Null()};
    vm.CallMethod(o, "addProperty", args);
  }
  NullHost host;
  Vm vm;
  Object* root;
};

TEST(Avm1PropertyNesting, ReentrantCallsStopAtSixtyFiveAndSeeThePlainValue) {
  struct Case {
    const char* label;
    bool shared_prototype;  // two objects inheriting one property, each call touching the other
    bool write;
    int calls;
    const char* value_after;  // what a read past the limit gives afterwards
  };
  const Case cases[] = {
      {"getter reading itself", false, false, 65, "undefined"},
      {"setter writing itself", false, true, 65, "outer"},
      {"getter shared by two objects", true, false, 65, "undefined"},
      {"setter shared by two objects", true, true, 65, "outer"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Machine m;
    Object* holder = m.vm.NewObject();
    Object* a = holder;
    probe = {};
    if (c.shared_prototype) {
      a = m.vm.NewObject(holder);
      probe.other = m.vm.NewObject(holder);
      m.vm.SetMember(m.vm.global(), "keep", probe.other);
    }
    m.vm.SetMember(m.vm.global(), "a", a);
    m.AddProperty(holder, ReadAgain, WriteAgain);
    if (c.write) {
      m.vm.SetMember(a, "prop", std::string("outer"));
    } else {
      m.vm.GetMember(a, "prop");
    }
    EXPECT_EQ(probe.calls, c.calls);
    // Reading from inside 65 open calls shows the slot's plain value.
    Property* p = holder->FindOwn("prop", true);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(m.vm.ToString(p->value), c.value_after);
  }
}

TEST(Avm1PropertyNesting, WatcherWritingItsOwnPropertyStopsAtSixtyFive) {
  Machine m;
  Object* o = m.vm.NewObject();
  m.vm.SetMember(m.vm.global(), "o", o);
  probe = {};
  std::vector<Value> args{std::string("prop"), m.vm.NewNative(WatchAndWriteAgain)};
  m.vm.CallMethod(o, "watch", args);
  m.vm.SetMember(o, "prop", std::string("outer"));
  EXPECT_EQ(probe.calls, 65);
  EXPECT_EQ(m.vm.ToString(m.vm.GetMember(o, "prop")), "watched");
}

TEST(Avm1PropertyNesting, CountEndsWithTheCallsAndGoesWithADeletedProperty) {
  Machine m;
  Object* o = m.vm.NewObject();
  m.vm.SetMember(m.vm.global(), "o", o);
  probe = {};
  m.AddProperty(o, ReadAgain, nullptr);
  m.vm.GetMember(o, "prop");
  EXPECT_EQ(probe.calls, 65);
  // The count belongs to the property, and is back to nothing once the calls returned.
  probe.calls = 0;
  m.vm.GetMember(o, "prop");
  EXPECT_EQ(probe.calls, 65);
  ASSERT_TRUE(m.vm.DeleteMember(o, "prop"));
  m.AddProperty(o, ReadAgain, nullptr);
  probe.calls = 0;
  m.vm.GetMember(o, "prop");
  EXPECT_EQ(probe.calls, 65);
}

}  // namespace
}  // namespace flashsaver::avm1
