// ByteArray's byte rules and the AMF coders, where the shared movie suite does not reach:
// exact encodings of edge values, reference tables and cycles, damaged input and size caps.
#include <gtest/gtest.h>

#include <cmath>
#include <string_view>
#include <vector>

#include "player/avm2/builtins/amf.h"
#include "player/avm2/builtins/builtins.h"
#include "player/avm2/opcodes.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Encode(Vm& vm, const Value& v, bool amf0) {
  ByteArrayObject* ba = NewByteArray(vm);
  ByteCursor c(vm, *ba);
  amf0 ? WriteAmf0(c, v) : WriteAmf3(c, v);
  return ba->bytes;
}

// The error id a call throws, or 0.
template <typename F>
int ErrorId(Vm& vm, F f) {
  try {
    f();
  } catch (const ScriptException& e) {
    return vm.ToInt32(vm.GetProperty(e.value, "errorID"));
  }
  return 0;
}

std::string Text(Vm& vm, const Value& v) { return vm.ToString(v).ToUtf8(); }

Value Decode(Vm& vm, const Bytes& b, bool amf0) {
  ByteArrayObject* ba = NewByteArray(vm);
  ba->bytes = b;
  ByteCursor c(vm, *ba);
  return amf0 ? ReadAmf0(c) : ReadAmf3(c);
}

TEST(Avm2Amf, WritesFlashEncodings) {
  Vm vm;
  Value s(Str(u"ab"));
  ArrayObject* twice = vm.NewArray({s, s, Value(Str())});
  struct Case {
    const char* what;
    Value v;
    bool amf0;
    Bytes bytes;
  } cases[] = {
      {"int29 max", Value(268435455), false, {4, 0xBF, 0xFF, 0xFF, 0xFF}},
      {"int29 min", Value(-268435456), false, {4, 0xC0, 0x80, 0x80, 0x00}},
      {"past int29 is a double", Value(268435456), false, {5, 0x41, 0xB0, 0, 0, 0, 0, 0, 0}},
      {"-0 is a double", Value(-0.0), false, {5, 0x80, 0, 0, 0, 0, 0, 0, 0}},
      {"integral Number is an int", Value(3.0), false, {4, 3}},
      {"repeated string is a reference, empty never",
       Value(static_cast<Object*>(twice)),
       false,
       {9, 7, 1, 6, 5, 'a', 'b', 6, 0, 6, 1}},
      {"amf0 array", Value(static_cast<Object*>(vm.NewArray({Value(true)}))), true,
       Bytes{8, 0, 0, 0, 1, 0, 1, '0', 1, 1, 0, 0, 9}},
      {"amf0 undefined", Value(), true, {6}},
  };
  for (const Case& c : cases) EXPECT_EQ(Encode(vm, c.v, c.amf0), c.bytes) << c.what;
}

TEST(Avm2Amf, RoundTripsSharedAndCyclicObjects) {
  Vm vm;
  for (bool amf0 : {false, true}) {
    Object* o = vm.NewObject();
    ArrayObject* a = vm.NewArray({Value(o), Value(o)});
    o->dynamic().Set(Str(u"self"), Value(o));
    o->dynamic().Set(Str(u"list"), Value(static_cast<Object*>(a)));
    Value back = Decode(vm, Encode(vm, Value(static_cast<Object*>(a)), amf0), amf0);
    auto* b = dynamic_cast<ArrayObject*>(back.AsObject());
    ASSERT_TRUE(b) << amf0;
    ASSERT_EQ(b->length(), 2u);
    Object* first = b->Get(0).AsObject();
    EXPECT_EQ(first, b->Get(1).AsObject());
    EXPECT_EQ(vm.GetProperty(Value(first), "self").AsObject(), first);
    EXPECT_EQ(vm.GetProperty(Value(first), "list").AsObject(), b);
  }
}

TEST(Avm2Amf, RoundTripsEachKindOfValue) {
  Vm vm;
  auto make = [&](const char* cls, std::vector<Value> args) {
    return vm.Construct(Value(static_cast<Object*>(vm.FindClass(cls))), args);
  };
  ByteArrayObject* bytes = NewByteArray(vm);
  bytes->bytes = {0, 255, 7};
  Value ints = make("Array", {Value(1), Value(-2)});
  Value dict = make("flash.utils::Dictionary", {});
  vm.SetProperty(dict, "k", Value(3));
  struct Case {
    const char* what;
    Value v;
    const char* text;  // toString of what comes back
  } cases[] = {
      {"double", Value(0.1), "0.1"},
      {"uint past int29", Value(uint32_t{4000000000u}), "4000000000"},
      {"string past 64K in AMF0", Value(Str(std::u16string(70000, u'x'))), nullptr},
      {"unicode string", Value(Str(u"hé一")), "hé一"},
      {"date", make("Date", {Value(86400000.0)}), nullptr},
      {"byte array", Value(static_cast<Object*>(bytes)), nullptr},
      {"array", ints, "1,-2"},
      {"dictionary", dict, "[object Dictionary]"},
      {"xml", make("XML", {Value(Str(u"<a b=\"1\"><c/></a>"))}), nullptr},
  };
  for (bool amf0 : {false, true})
    for (const Case& c : cases) {
      // AMF0 carries XML as an XML document, which prints its own way.
      if (amf0 && std::string_view(c.what) == "xml") continue;
      Value back = Decode(vm, Encode(vm, c.v, amf0), amf0);
      if (c.text)
        EXPECT_EQ(Text(vm, back), c.text) << c.what << amf0;
      else
        EXPECT_EQ(Text(vm, back), Text(vm, c.v)) << c.what << amf0;
    }
  Value back = Decode(vm, Encode(vm, dict, false), false);
  EXPECT_EQ(vm.ToInt32(vm.GetProperty(back, "k")), 3);
  auto* b = AsByteArray(Decode(vm, Encode(vm, Value(static_cast<Object*>(bytes)), true), true));
  ASSERT_TRUE(b);
  EXPECT_EQ(b->bytes, bytes->bytes);
}

TEST(Avm2Amf, RejectsDamagedInputWithScriptErrors) {
  Vm vm;
  Bytes deep;
  for (int i = 0; i < 100000; ++i) deep.insert(deep.end(), {9, 3, 1});
  struct Case {
    const char* what;
    Bytes bytes;
    bool amf0;
    int error;
  } cases[] = {
      {"object reference past the table", {10, 2}, false, 2006},
      {"string reference past the table", {6, 4}, false, 2006},
      {"unknown marker", {0x7F}, false, 2006},
      {"dense count past the data", {9, 0xBF, 0xFF, 0xFF, 0xFF, 1}, false, 2030},
      {"vector count past the data", {15, 0x81, 0x01, 0}, false, 2030},
      {"truncated string", {6, 9, 'a'}, false, 2030},
      {"nesting without end", deep, false, 1023},
      {"amf0 reference past the table", {7, 0, 3}, true, 2006},
      {"amf0 strict array past the data", {10, 0x7F, 0xFF, 0xFF, 0xFF}, true, 2030},
      {"amf0 object without end marker", {3, 0, 0, 5}, true, 2006},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ErrorId(vm, [&] { Decode(vm, c.bytes, c.amf0); }), c.error) << c.what;
}

TEST(Avm2ByteArray, FollowsFlashBoundsAndEndianRules) {
  Vm vm;
  ByteArrayObject* ba = NewByteArray(vm);
  Value self(static_cast<Object*>(ba));
  auto call = [&](const char* m, std::vector<Value> args = {}) {
    return vm.CallMethod(self, m, args);
  };
  call("writeInt", {Value(0x01020304)});
  EXPECT_EQ(ba->bytes, (Bytes{1, 2, 3, 4}));
  vm.SetProperty(self, "endian", Value(Str(u"littleEndian")));
  ba->position = 0;
  EXPECT_EQ(vm.ToInt32(call("readInt")), 0x04030201);
  EXPECT_EQ(ErrorId(vm, [&] { call("readByte"); }), 2030);
  EXPECT_EQ(ErrorId(vm, [&] { vm.SetProperty(self, "endian", Value(Str(u"x"))); }), 2008);
  // Writing past the end zero-fills the gap; shrinking pulls the position back.
  ba->position = 6;
  call("writeByte", {Value(9)});
  EXPECT_EQ(ba->bytes, (Bytes{1, 2, 3, 4, 0, 0, 9}));
  vm.SetProperty(self, "length", Value(2));
  EXPECT_EQ(ba->position, 2u);
  // Index access reads bytes, undefined past the end, and writes grow the array.
  EXPECT_TRUE(vm.GetProperty(self, "5").IsUndefined());
  vm.SetProperty(self, "3", Value(-1));
  EXPECT_EQ(ba->bytes, (Bytes{1, 2, 0, 255}));
  EXPECT_EQ(ErrorId(vm, [&] { vm.SetProperty(self, "length", Value(0x7FFFFFFF)); }), 1000);
  EXPECT_EQ(ErrorId(vm, [&] { call("readBytes", {self, Value(0xFFFFFFFFu), Value(1)}); }), 2006);
  // Bad compressed data is an IOError; a round trip gives the bytes back.
  EXPECT_EQ(ErrorId(vm, [&] { call("uncompress"); }), 2058);
  // An LZMA header asking for a 4 GB dictionary is refused, not allocated.
  ba->bytes = {0x5D, 0xFF, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0x30, 0x98};
  EXPECT_EQ(ErrorId(vm, [&] { call("uncompress", {Value(Str(u"lzma"))}); }), 2058);
  for (const char16_t* algo : {u"zlib", u"deflate", u"lzma"}) {
    ba->bytes = {1, 2, 3, 1, 2, 3, 1, 2, 3};
    call("compress", {Value(Str(algo))});
    call("uncompress", {Value(Str(algo))});
    EXPECT_EQ(ba->bytes, (Bytes{1, 2, 3, 1, 2, 3, 1, 2, 3}));
  }
}

TEST(Avm2ByteArray, DecodesUtf8AsFlashDoes) {
  struct Case {
    Bytes in;
    std::u16string out;
  } cases[] = {
      {{0xE4, 0xB8, 0x80, 0xE4, 0xE4, 0xB8, 0x80}, u"\u4e00\u00e4\u4e00"},
      {{0xE4, 0xB8}, u"\u00e4\u00b8"},
      {{0xFB, 0xBF, 0xBF, 0xBF, 0xBF}, {0xDBBF, 0xDFFF, 0xBF}},
      {{0xC0, 0x80}, u"\u00c0\u0080"},
      {{0xEF, 0xBB, 0xBF, 'h', 'i'}, u"hi"},
      {{0xFF, 0xFE, 'h', 0, 'i', 0}, u"hi"},
  };
  for (const Case& c : cases) EXPECT_EQ(ByteArrayText(c.in), c.out);
  EXPECT_EQ(EncodeUtf8(std::u16string{0xD800, u'x'}), "\xED\xA0\x80x");
}

TEST(Avm2DomainMemory, AddressesTheDomainByteArrayLittleEndianWithinItsBounds) {
  Vm vm;
  Value domain =
      vm.GetProperty(Value(static_cast<Object*>(vm.FindClass("flash.system::ApplicationDomain"))),
                     "currentDomain");
  ByteArrayObject* small = NewByteArray(vm);
  small->bytes.resize(1023);
  EXPECT_EQ(
      ErrorId(vm,
              [&] { vm.SetProperty(domain, "domainMemory", Value(static_cast<Object*>(small))); }),
      1504);
  EXPECT_EQ(ErrorId(vm, [&] { vm.SetProperty(domain, "domainMemory", Value(vm.NewObject())); }),
            1034);
  // Without a domain memory the opcodes use a scratch area of the minimum size.
  DomainMemoryStore(vm, Op::kSi8, Value(7), Value(1023));
  EXPECT_EQ(DomainMemoryLoad(vm, Op::kLi8, Value(1023)).AsInt(), 7);
  ByteArrayObject* mem = NewByteArray(vm);
  mem->bytes.resize(1024);
  vm.SetProperty(domain, "domainMemory", Value(static_cast<Object*>(mem)));
  EXPECT_EQ(DomainMemoryLoad(vm, Op::kLi8, Value(1023)).AsInt(), 0);
  DomainMemoryStore(vm, Op::kSi32, Value(-2), Value(1020));
  EXPECT_EQ(mem->bytes[1020], 0xFE);
  EXPECT_EQ(mem->bytes[1023], 0xFF);
  EXPECT_EQ(DomainMemoryLoad(vm, Op::kLi16, Value(1022)).AsInt(), 0xFFFF);
  DomainMemoryStore(vm, Op::kSf64, Value(1.5), Value(1016));
  EXPECT_EQ(DomainMemoryLoad(vm, Op::kLf64, Value(1016)).AsDouble(), 1.5);
  struct Range {
    Op op;
    int32_t addr;
  } out_of_range[] = {{Op::kLi8, -1},        {Op::kLi8, 1024},  {Op::kLi16, 1023},
                      {Op::kLi32, 1021},     {Op::kLf32, 1021}, {Op::kLf64, 1017},
                      {Op::kLf64, INT32_MIN}};
  for (const Range& r : out_of_range)
    EXPECT_EQ(ErrorId(vm, [&] { DomainMemoryLoad(vm, r.op, Value(r.addr)); }), 1506) << r.addr;
  EXPECT_EQ(ErrorId(vm, [&] { DomainMemoryStore(vm, Op::kSi16, Value(0), Value(1023)); }), 1506);
}

}  // namespace
}  // namespace flashsaver::avm2
