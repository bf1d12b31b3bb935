// The smaller built-ins through the script machine's own calls: TextFormat's coercions,
// SharedObject kept on disk between machines, and ExternalInterface's XML both ways.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "player/avm1/builtins/builtins.h"
#include "player/avm1/heap.h"
#include "player/avm1/vm.h"

namespace flashsaver::avm1 {
namespace {

namespace stdfs = std::filesystem;

struct FolderHost : NullHost {
  std::string folder;
  std::string SharedObjectFolder() override { return folder; }
};

struct Machine {
  FolderHost host;
  Vm vm{host, 8};
  Object* Class(const char* name) { return vm.GetMember(vm.global(), name).AsObject(); }
  Value Call(Object* on, const char* method, std::initializer_list<Value> args) {
    std::vector<Value> list(args);
    return vm.CallMethod(on, method, list);
  }
};

TEST(Avm1SmallBuiltins, TextFormatCoercesLikeThePlayer) {
  const double inf = INFINITY;
  const std::string long_name(70, 'f'), cut_name(64, 'f');
  struct Case {
    const char* property;
    Value in;
    const char* out;
  } cases[] = {
      {"size", 2.5, "2"},  // half to even
      {"size", 3.5, "4"},
      {"size", -3.5, "-4"},
      {"size", 4294967295.0, "-2147483648"},
      {"size", inf, "-2147483648"},
      {"color", -3.5, "4294967293"},  // wraps to 32 bits, truncated
      {"color", inf, "0"},
      {"leftMargin", -3.0, "0"},  // never below zero
      {"leftMargin", inf, "-2147483648"},
      {"letterSpacing", 2.5, "2.5"},
      {"bold", Value("test"), "true"},
      {"bold", Value(), "null"},
      {"align", Value("CENTER"), "center"},
      {"align", Value("sideways"), "null"},  // unknown: left as it was
      {"font", Value(long_name), cut_name.c_str()},
  };
  for (const Case& c : cases) {
    Machine m;
    Object* format = m.vm.Construct(Value(m.Class("TextFormat")), {}).AsObject();
    ASSERT_NE(format, nullptr);
    m.vm.SetMember(format, c.property, c.in);
    EXPECT_EQ(m.vm.ToString(m.vm.GetMember(format, c.property)), c.out)
        << c.property << " = " << m.vm.ToString(c.in);
  }
}

TEST(Avm1SmallBuiltins, SharedObjectSurvivesTheMachine) {
  const stdfs::path folder = stdfs::temp_directory_path() / "flashsaver-shared-objects-test";
  stdfs::remove_all(folder);
  {
    Machine m;
    m.host.folder = folder.string();
    Object* so = m.Call(m.Class("SharedObject"), "getLocal", {Value("scores")}).AsObject();
    ASSERT_NE(so, nullptr);
    EXPECT_EQ(m.Call(m.Class("SharedObject"), "getLocal", {Value("scores")}).AsObject(), so);
    Object* data = m.vm.GetMember(so, "data").AsObject();
    const Value items[] = {Value(1), Value("two \"quoted\"\n"), Value::Null()};
    m.vm.SetMember(data, "list", m.vm.NewArray(items));
    m.vm.SetMember(data, "nan", NAN);
    Object* inner = m.vm.NewObject();
    m.vm.SetMember(inner, "self", inner);  // a cycle ends at the depth limit
    m.vm.SetMember(data, "inner", inner);
    EXPECT_TRUE(m.Call(so, "flush", {}).AsBool());
    // Data that the movie never flushed is saved when it ends.
    Object* unsaved = m.Call(m.Class("SharedObject"), "getLocal", {Value("unsaved")}).AsObject();
    m.vm.SetMember(m.vm.GetMember(unsaved, "data").AsObject(), "kept", true);
    FlushSharedObjects(m.vm);
  }
  Machine m;
  m.host.folder = folder.string();
  Object* so = m.Call(m.Class("SharedObject"), "getLocal", {Value("scores")}).AsObject();
  ASSERT_NE(so, nullptr);
  Object* data = m.vm.GetMember(so, "data").AsObject();
  ASSERT_NE(data, nullptr);
  Object* list = m.vm.GetMember(data, "list").AsObject();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(m.vm.ToString(m.vm.GetIndex(list, 1)), "two \"quoted\"\n");
  EXPECT_TRUE(m.vm.GetIndex(list, 2).IsNull());
  EXPECT_TRUE(std::isnan(m.vm.ToNumber(m.vm.GetMember(data, "nan"))));
  EXPECT_TRUE(m.vm.GetMember(data, "inner").IsObject());
  Object* unsaved = m.Call(m.Class("SharedObject"), "getLocal", {Value("unsaved")}).AsObject();
  EXPECT_TRUE(m.vm.ToBool(m.vm.GetMember(m.vm.GetMember(unsaved, "data").AsObject(), "kept")));

  // A damaged file gives empty data, never a crash.
  for (const stdfs::directory_entry& e : stdfs::directory_iterator(folder)) {
    std::ofstream(e.path(), std::ios::trunc) << "{\"list\":[1,\"unterminated";
  }
  Machine again;
  again.host.folder = folder.string();
  Object* damaged =
      again.Call(again.Class("SharedObject"), "getLocal", {Value("scores")}).AsObject();
  ASSERT_NE(damaged, nullptr);
  EXPECT_TRUE(again.vm.GetMember(damaged, "data").IsObject());
  stdfs::remove_all(folder);
}

TEST(Avm1SmallBuiltins, ExternalInterfaceXmlBothWays) {
  Machine m;
  Object* ei =
      m.vm.GetMember(m.vm.GetMember(m.vm.GetMember(m.vm.global(), "flash").AsObject(), "external")
                         .AsObject(),
                     "ExternalInterface")
          .AsObject();
  ASSERT_NE(ei, nullptr);
  Object* o = m.vm.NewObject();
  const Value items[] = {Value(1.5), Value("a<b"), Value(true)};
  m.vm.SetMember(o, "list", m.vm.NewArray(items));
  const std::string xml = m.vm.ToString(m.Call(ei, "_toXML", {Value(o)}));
  EXPECT_EQ(xml,
            "<object><property id=\"list\"><array><property id=\"0\"><number>1.5</number>"
            "</property><property id=\"1\"><string>a&lt;b</string></property><property "
            "id=\"2\"><true/></property></array></property></object>");

  Object* doc = m.vm.Construct(m.vm.GetMember(m.vm.global(), "XML"), {}).AsObject();
  m.Call(doc, "parseXML", {Value(xml)});
  Object* back = m.Call(ei, "_toAS", {m.vm.GetMember(doc, "firstChild")}).AsObject();
  ASSERT_NE(back, nullptr);
  Object* list = m.vm.GetMember(back, "list").AsObject();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(m.vm.ToNumber(m.vm.GetIndex(list, 0)), 1.5);
  EXPECT_EQ(m.vm.ToString(m.vm.GetIndex(list, 1)), "a<b");
  EXPECT_TRUE(m.vm.GetIndex(list, 2).IsBool());
}

TEST(Avm1SmallBuiltins, LocalLoadsReachOnDataAndRefuseHugeFiles) {
  const stdfs::path folder = stdfs::temp_directory_path() / "flashsaver-local-load-test";
  stdfs::remove_all(folder);
  stdfs::create_directories(folder);
  std::ofstream(folder / "vars.txt") << "a=1&b=two%20words";
  { std::ofstream huge(folder / "huge.txt"); }
  stdfs::resize_file(folder / "huge.txt", 17u << 20);  // sparse: past the limit
  struct Case {
    const char* file;
    bool loaded;
    const char* b;
  } cases[] = {
      {"vars.txt", true, "two words"},
      {"missing.txt", false, "undefined"},
      {"huge.txt", false, "undefined"},
  };
  for (const Case& c : cases) {
    Machine m;
    Object* vars = m.vm.Construct(Value(m.Class("LoadVars")), {}).AsObject();
    ASSERT_NE(vars, nullptr);
    EXPECT_TRUE(m.Call(vars, "load", {Value((folder / c.file).string())}).AsBool()) << c.file;
    EXPECT_EQ(m.vm.ToBool(m.vm.GetMember(vars, "loaded")), c.loaded) << c.file;
    EXPECT_EQ(m.vm.ToString(m.vm.GetMember(vars, "b")), c.b) << c.file;
  }
  stdfs::remove_all(folder);
}

TEST(Avm1SmallBuiltins, GeomClassesComputeInPlace) {
  Machine m;
  Object* geom =
      m.vm.GetMember(m.vm.GetMember(m.vm.global(), "flash").AsObject(), "geom").AsObject();
  ASSERT_NE(geom, nullptr);
  auto make = [&](const char* cls, std::initializer_list<Value> args) {
    std::vector<Value> list(args);
    return m.vm.Construct(m.vm.GetMember(geom, cls), list).AsObject();
  };
  auto str = [&](Object* o) { return m.vm.ToString(Value(o)); };

  Object* matrix = make("Matrix", {});
  m.Call(matrix, "scale", {Value(2), Value(3)});
  m.Call(matrix, "translate", {Value(10), Value(20)});
  EXPECT_EQ(str(matrix), "(a=2, b=0, c=0, d=3, tx=10, ty=20)");
  Object* p =
      m.Call(matrix, "transformPoint", {Value(make("Point", {Value(1), Value(1)}))}).AsObject();
  EXPECT_EQ(str(p), "(x=12, y=23)");
  m.Call(matrix, "invert", {});
  Object* back = m.Call(matrix, "transformPoint", {Value(p)}).AsObject();
  EXPECT_NEAR(m.vm.ToNumber(m.vm.GetMember(back, "x")), 1, 1e-9);
  EXPECT_NEAR(m.vm.ToNumber(m.vm.GetMember(back, "y")), 1, 1e-9);

  Object* a = make("Rectangle", {Value(0), Value(0), Value(10), Value(10)});
  Object* b = make("Rectangle", {Value(5), Value(5), Value(10), Value(10)});
  EXPECT_EQ(str(m.Call(a, "intersection", {Value(b)}).AsObject()), "(x=5, y=5, w=5, h=5)");
  EXPECT_EQ(str(m.Call(a, "union", {Value(b)}).AsObject()), "(x=0, y=0, w=15, h=15)");
  EXPECT_FALSE(m.Call(a, "contains", {Value(10), Value(5)}).AsBool());  // right edge is out

  Object* color = make("ColorTransform", {});
  m.vm.SetMember(color, "rgb", 0x336699);
  EXPECT_EQ(m.vm.ToNumber(m.vm.GetMember(color, "rgb")), 0x336699);
  EXPECT_EQ(m.vm.ToNumber(m.vm.GetMember(color, "redMultiplier")), 0);
}

}  // namespace
}  // namespace flashsaver::avm1
