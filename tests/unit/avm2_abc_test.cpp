// The ABC reader's refusals, the verifier's errors (one small body per error kind), and the
// AS3 test movies' bytecode, which the real compilers wrote and which must all read and verify.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "player/avm2/abc_file.h"
#include "player/avm2/abc_ints.h"
#include "player/avm2/instruction.h"
#include "player/avm2/abc_tags.h"
#include "player/avm2/verifier.h"
#include "player/swf/byte_reader.h"
#include "player/swf/swf_movie.h"

namespace flashsaver::avm2 {
namespace {

using Bytes = std::vector<uint8_t>;

void U30(Bytes& out, uint32_t v) {
  do {
    const uint8_t low = v & 0x7F;
    v >>= 7;
    out.push_back(static_cast<uint8_t>(low | (v ? 0x80 : 0)));
  } while (v);
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// The parts of a small file, each replaceable by a test: one int (5), strings "" and "a",
// namespaces any and package "a", names QName(a, a) and RTQNameL, one method, one script.
struct AbcParts {
  Bytes version = {16, 0, 46, 0};
  Bytes ints = {2, 5}, uints = {0}, doubles = {0};
  Bytes strings = {2, 1, 'a'};
  Bytes namespaces = {2, 0x16, 1};
  Bytes ns_sets = {0};
  Bytes multinames = {3, 0x07, 1, 1, 0x11};
  Bytes methods = {1, 0, 0, 0, 0};  // params, return type, name, flags
  Bytes metadata = {0};
  Bytes classes = {0};
  Bytes scripts = {1, 0, 0};  // init method 0, no traits
  Bytes bodies;
  Bytes Build() const {
    return Cat({version, ints, uints, doubles, strings, namespaces, ns_sets, multinames, methods,
                metadata, classes, scripts, bodies});
  }
};

struct Handler {
  uint32_t from, to, target;
};

struct BodySpec {
  Bytes code = {};
  uint32_t max_stack = 2, locals = 1, init_scope = 0, max_scope = 1;
  uint8_t method_flags = 0;
  std::vector<Handler> handlers = {};
};

Bytes Body(const BodySpec& s) {
  Bytes out = {1, 0};  // one body, for method 0
  for (uint32_t v : {s.max_stack, s.locals, s.init_scope, s.max_scope}) U30(out, v);
  U30(out, static_cast<uint32_t>(s.code.size()));
  out.insert(out.end(), s.code.begin(), s.code.end());
  U30(out, static_cast<uint32_t>(s.handlers.size()));
  for (const Handler& h : s.handlers) {
    for (uint32_t v : {h.from, h.to, h.target, 0u, 0u}) U30(out, v);
  }
  out.push_back(0);  // no activation traits
  return out;
}

struct ReaderCase {
  const char* name;
  void (*edit)(AbcParts&);
  int error;
};

const ReaderCase kReaderCases[] = {
    {"valid", [](AbcParts&) {}, 0},
    {"file ends early",
     [](AbcParts& p) {
       p.scripts = {1, 0};
       p.bodies.clear();
     },
     1107},
    {"unknown version",
     [](AbcParts& p) {
       p.version = {0, 0, 47, 0};
     },
     1042},
    {"count beyond the data",
     [](AbcParts& p) {
       p.strings = {0xFF, 0xFF, 0x7F};
     },
     1107},
    {"string past the end",
     [](AbcParts& p) {
       p.strings = {2, 0x7F, 'a'};
     },
     1107},
    {"u30 over 30 bits",
     [](AbcParts& p) {
       p.ints = {0xFF, 0xFF, 0xFF, 0xFF, 0x0F};
     },
     1107},
    {"namespace kind",
     [](AbcParts& p) {
       p.namespaces = {2, 0x42, 1};
     },
     1033},
    {"namespace name index",
     [](AbcParts& p) {
       p.namespaces = {2, 0x16, 9};
     },
     1032},
    {"namespace set with ns 0",
     [](AbcParts& p) {
       p.ns_sets = {2, 1, 0};
     },
     1080},
    {"multiname kind",
     [](AbcParts& p) {
       p.multinames = {2, 0x42, 1, 1};
     },
     1033},
    {"multiname namespace index",
     [](AbcParts& p) {
       p.multinames = {2, 0x07, 7, 1};
     },
     1032},
    {"multiname without a set",
     [](AbcParts& p) {
       p.multinames = {2, 0x09, 1, 0};
     },
     1032},
    {"type name of two parameters",
     [](AbcParts& p) { p.multinames = {3, 0x07, 1, 1, 0x1D, 1, 2, 1, 1}; }, 1107},
    {"type name cycle", [](AbcParts& p) { p.multinames = {3, 0x07, 1, 1, 0x1D, 1, 1, 2}; }, 1107},
    {"type name forward reference",
     [](AbcParts& p) { p.multinames = {3, 0x1D, 2, 1, 0, 0x07, 1, 1}; }, 0},
    {"more entries than memory allows",
     [](AbcParts& p) {
       p.multinames = {0x80, 0x8D, 0xB7, 0x03};  // 7.2 million one-byte run-time names
       p.multinames.resize(p.multinames.size() + 7200000, 0x11);
     },
     1000},
    {"native method",
     [](AbcParts& p) {
       p.methods = {1, 0, 0, 0, 0x20};
     },
     1079},
    {"more optionals than parameters", [](AbcParts& p) { p.methods = {1, 0, 0, 0, 0x08, 1}; },
     1107},
    {"parameter type index", [](AbcParts& p) { p.methods = {1, 1, 0, 9, 0, 0}; }, 1032},
    {"script init method",
     [](AbcParts& p) {
       p.scripts = {1, 4, 0};
     },
     1027},
    {"trait of kind function", [](AbcParts& p) { p.scripts = {1, 0, 1, 1, 5, 0, 0}; }, 1045},
    {"class trait index", [](AbcParts& p) { p.scripts = {1, 0, 1, 1, 4, 0, 3}; }, 1060},
    {"trait name not a QName", [](AbcParts& p) { p.scripts = {1, 0, 1, 2, 0, 0, 0, 0}; }, 1033},
    {"body of a missing method", [](AbcParts& p) { p.bodies[1] = 3; }, 1027},
    {"empty code", [](AbcParts& p) { p.bodies = {1, 0, 1, 1, 0, 1, 0, 0, 0}; }, 1043},
    {"two bodies for one method",
     [](AbcParts& p) {
       const Bytes one(p.bodies.begin() + 1, p.bodies.end());
       p.bodies = Cat({{2}, one, one});
     },
     1121},
};

class AbcReaderTest : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(AbcReaderTest, RefusesWhatFlashRefuses) {
  AbcParts parts;
  parts.bodies = Body({.code = {0x47}});
  GetParam().edit(parts);
  AbcFile file;
  AbcError error;
  EXPECT_EQ(ReadAbcFile(parts.Build(), file, error), GetParam().error == 0);
  EXPECT_EQ(error.id, GetParam().error) << error.message;
}

// Test names from the rows' descriptions.
template <typename Info>
std::string RowName(const Info& info) {
  std::string n = info.param.name;
  for (char& c : n) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return n;
}

INSTANTIATE_TEST_SUITE_P(Cases, AbcReaderTest, ::testing::ValuesIn(kReaderCases),
                         RowName<::testing::TestParamInfo<ReaderCase>>);

struct VerifyCase {
  const char* name;
  BodySpec body;
  int error;
};

// Opcodes used below: 0x02 nop, 0x09 label, 0x10 jump, 0x11 iftrue, 0x1B lookupswitch,
// 0x1D popscope, 0x20 pushnull, 0x24 pushbyte, 0x29 pop, 0x2C pushstring, 0x2D pushint,
// 0x30 pushscope, 0x32 hasnext2, 0x47 returnvoid, 0x48 returnvalue, 0x57 newactivation,
// 0x5D findpropstrict, 0x60 getlex, 0x62 getlocal, 0x65 getscopeobject, 0xD0 getlocal0,
// 0x06 dxns, 0x03 throw.
const VerifyCase kVerifyCases[] = {
    {"simple", {.code = {0xD0, 0x30, 0x47}}, 0},
    {"garbage after return is not checked", {.code = {0x47, 0xFF, 0x24}}, 0},
    {"loop back to a label",
     {.code = {0x10, 1, 0, 0, 0x09, 0x26, 0x11, 0xFA, 0xFF, 0xFF, 0x47}},
     0},
    {"switch", {.code = {0x20, 0x1B, 11, 0, 0, 1, 12, 0, 0, 11, 0, 0, 0x47, 0x47}}, 0},
    {"illegal opcode", {.code = {0x02, 0xFF}}, 1011},
    {"operand past the end", {.code = {0x24}}, 1012},
    {"falls off the end", {.code = {0x02}}, 1020},
    {"branch into an instruction", {.code = {0x26, 0x11, 1, 0, 0, 0x24, 0x47, 0x47}}, 1021},
    {"branch outside the code", {.code = {0x10, 9, 0, 0, 0x47}}, 1021},
    {"branch back to a plain instruction", {.code = {0x02, 0x02, 0x10, 0xFB, 0xFF, 0xFF}}, 1021},
    {"branch back to the entry", {.code = {0x02, 0x10, 0xFB, 0xFF, 0xFF}}, 1021},
    {"branch back to an entry label", {.code = {0x09, 0x26, 0x11, 0xFA, 0xFF, 0xFF, 0x47}}, 0},
    {"scope overflow", {.code = {0xD0, 0x30, 0xD0, 0x30, 0x47}}, 1017},
    {"scope underflow", {.code = {0x1D, 0x47}}, 1018},
    {"getscopeobject beyond the scopes", {.code = {0xD0, 0x30, 0x65, 1, 0x47}}, 1019},
    {"stack overflow", {.code = {0x20, 0x20, 0x20, 0x47}}, 1023},
    {"stack underflow", {.code = {0x29, 0x47}}, 1024},
    {"register", {.code = {0x62, 1, 0x47}}, 1025},
    {"unbalanced stack", {.code = {0x26, 0x11, 1, 0, 0, 0x20, 0x47}}, 1030},
    {"unbalanced scope", {.code = {0x26, 0xD0, 0x30, 0x11, 1, 0, 0, 0x1D, 0x47}}, 1031},
    {"string index 0", {.code = {0x2C, 0, 0x47}}, 1032},
    {"int index past the pool", {.code = {0x2D, 2, 0x47}}, 1032},
    {"handler before its range", {.code = {0x47}, .handlers = {{0, 1, 0}}}, 1054},
    {"newactivation without the flag", {.code = {0x57, 0x47}}, 1113},
    {"hasnext2 on one register", {.code = {0x32, 0, 0, 0x47}}, 1124},
    {"dxns without the flag", {.code = {0x06, 1, 0x47}}, 1015},
    {"getlex of a run-time name",
     {.code = {0x20, 0x20, 0xD0, 0x30, 0x60, 2, 0x47}, .max_stack = 3},
     1078},
    {"unreachable handler is not checked",
     {.code = {0x47, 0x20, 0x20, 0x47}, .max_stack = 1, .handlers = {{0, 1, 1}}},
     0},
    {"reachable handler enters with one operand",
     {.code = {0xD0, 0x30, 0x5D, 1, 0x47, 0x20, 0x20, 0x47},
      .max_stack = 2,
      .handlers = {{2, 4, 5}}},
     1023},
    {"handler enters with no scopes",
     {.code = {0xD0, 0x30, 0x20, 0x03, 0x1D, 0x47}, .handlers = {{2, 4, 4}}},
     1018},
};

class VerifierTest : public ::testing::TestWithParam<VerifyCase> {};

TEST_P(VerifierTest, ReportsFlashsError) {
  AbcParts parts;
  parts.methods[4] = GetParam().body.method_flags;
  parts.bodies = Body(GetParam().body);
  AbcFile file;
  AbcError read_error;
  ASSERT_TRUE(ReadAbcFile(parts.Build(), file, read_error)) << read_error.message;
  VerifiedBody verified;
  VerifyError error;
  EXPECT_EQ(VerifyMethodBody(file, 0, verified, error), GetParam().error == 0);
  EXPECT_EQ(error.id, GetParam().error) << error.message;
}

INSTANTIATE_TEST_SUITE_P(Cases, VerifierTest, ::testing::ValuesIn(kVerifyCases),
                         RowName<::testing::TestParamInfo<VerifyCase>>);

TEST(VerifierTest, MessagesAreFlashs) {
  AbcParts parts;
  parts.bodies = Body({.code = {0x02, 0xFF}});
  AbcFile file;
  AbcError read_error;
  ASSERT_TRUE(ReadAbcFile(parts.Build(), file, read_error));
  VerifiedBody verified;
  VerifyError error;
  EXPECT_FALSE(VerifyMethodBody(file, 0, verified, error, {.method_name = "Main/run()"}));
  EXPECT_EQ(error.message,
            "Error #1011: Method Main/run() contained illegal opcode 255 at offset 1.");
}

// Variable-length integers as Flash reads them: s32 is a u32 taken as signed (short forms are
// never sign-extended), u30 refuses a fifth byte beyond 30 bits, pushshort keeps 16 bits of any u32.
TEST(AbcIntsTest, DecodeAsFlashDoes) {
  struct Row {
    Bytes bytes;
    bool ok;
    int32_t s32;
  };
  const Row rows[] = {
      {{0x7F}, true, 127},
      {{0x3F}, true, 63},
      {{0xFF, 0x3F}, true, 8191},
      {{0x80, 0x40}, true, 8192},
      {{0xB9, 0x60}, true, 12345},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0x0F}, true, -1},
      {{0x80, 0x80}, false, 0},  // runs past the end
  };
  for (const Row& row : rows) {
    size_t pos = 0;
    int32_t v = 0;
    EXPECT_EQ(ReadVarS32(row.bytes, pos, v), row.ok);
    if (row.ok) {
      EXPECT_EQ(v, row.s32);
    }
  }
  size_t pos = 0;
  uint32_t u = 0;
  EXPECT_FALSE(ReadVarU30(Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x07}, pos, u));

  Instruction ins;
  const Bytes pushshort = {0x25, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F};
  ASSERT_EQ(DecodeInstruction(pushshort, 0, ins), DecodeResult::kOk);
  EXPECT_EQ(ins.operand[0], -1);
  EXPECT_EQ(ins.length, 6u);
  EXPECT_EQ(DecodeInstruction(Bytes{0x62, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F}, 0, ins),
            DecodeResult::kBadU30);
  // lookupswitch: case count 1, so two case offsets follow the default.
  const Bytes table = {0x1B, 1, 0, 0, 1, 2, 0, 0, 0xFF, 0xFF, 0xFF};
  ASSERT_EQ(DecodeInstruction(table, 0, ins), DecodeResult::kOk);
  EXPECT_EQ(ins.length, 11u);
  EXPECT_EQ(SwitchTarget(table, ins, 1), -1);
  EXPECT_EQ(DecodeInstruction(Bytes(table.begin(), table.end() - 1), 0, ins),
            DecodeResult::kTruncated);
}

TEST(AbcTagsTest, ReadsDoAbcAndSymbolClass) {
  const Bytes doabc = {1, 0, 0, 0, 'm', 0, 16, 0, 46, 0};
  const auto tag = ReadDoAbcTag(doabc);
  ASSERT_TRUE(tag);
  EXPECT_EQ(tag->flags, DoAbcTag::kLazyInitialize);
  EXPECT_EQ(tag->name, "m");
  EXPECT_EQ(tag->abc.size(), 4u);
  EXPECT_FALSE(ReadDoAbcTag(Bytes{1, 0, 0, 0, 'm'}));  // the name never ends

  // The second entry is cut short: the first is kept.
  const Bytes symbols = {2, 0, 0, 0, 'M', 'a', 'i', 'n', 0, 7, 0, 'X'};
  const auto entries = ReadSymbolClassTag(symbols);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].character_id, 0);
  EXPECT_EQ(entries[0].class_name, "Main");
}

namespace stdfs = std::filesystem;

std::optional<stdfs::path> As3SuiteFolder() {
  if (const char* env = std::getenv("FLASHSAVER_AS3_SUITE_DIR")) {
    if (stdfs::is_directory(env)) return stdfs::path(env);
  }
  stdfs::path dir = FLASHSAVER_SOURCE_DIR;
  for (int up = 0; up < 3 && !dir.empty(); ++up) {
    stdfs::path candidate = dir.parent_path() / "shared" / "testdata" / "swf-suite-as3";
    if (stdfs::is_directory(candidate)) return candidate;
    dir = dir.parent_path();
  }
  return std::nullopt;
}

// The ABC blocks of a movie's top-level DoABC tags.
std::vector<Bytes> AbcBlocks(const stdfs::path& movie) {
  std::ifstream in(movie, std::ios::binary);
  const Bytes file((std::istreambuf_iterator<char>(in)), {});
  std::vector<Bytes> blocks;
  Bytes data;
  try {
    data = UncompressSwf(file);  // a few test files are not movies at all
  } catch (const SwfError&) {
    return blocks;
  }
  ByteReader reader(data);
  reader.Skip(8);
  ReadSwfHeader(reader);
  while (reader.remaining() > 0) {
    const SwfTag tag = ReadSwfTag(reader);
    if (tag.code == swf_tag::kEnd) break;
    std::optional<DoAbcTag> abc;
    if (tag.code == swf_tag::kDoAbc) abc = ReadDoAbcTag(tag.body);
    if (tag.code == swf_tag::kDoAbcOld) abc = ReadDoAbcOldTag(tag.body);
    if (abc) blocks.emplace_back(abc->abc.begin(), abc->abc.end());
  }
  return blocks;
}

// A movie may hold a body that fails only when its expected output shows Flash refusing one.
bool ExpectsVerifyError(const stdfs::path& movie) {
  std::ifstream in(movie.parent_path() / "output.txt");
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  return text.find("VerifyError") != std::string::npos;
}

TEST(AbcSuiteTest, CompilersOutputReadsAndVerifies) {
  const auto folder = As3SuiteFolder();
  if (!folder) GTEST_SKIP() << "shared/testdata/swf-suite-as3 is not on this machine";
  size_t movies = 0, blocks = 0, bodies = 0, refused = 0;
  for (const auto& entry : stdfs::recursive_directory_iterator(*folder)) {
    if (entry.path().extension() != ".swf") continue;
    ++movies;
    const bool expects_refusals = ExpectsVerifyError(entry.path());
    for (const Bytes& abc : AbcBlocks(entry.path())) {
      ++blocks;
      AbcFile file;
      AbcError error;
      ASSERT_TRUE(ReadAbcFile(abc, file, error)) << entry.path() << ": " << error.message;
      for (uint32_t b = 0; b < file.bodies.size(); ++b) {
        ++bodies;
        VerifiedBody verified;
        VerifyError verify_error;
        if (VerifyMethodBody(file, b, verified, verify_error)) continue;
        ++refused;
        EXPECT_TRUE(expects_refusals)
            << entry.path() << " body " << b << ": " << verify_error.message;
      }
    }
  }
  std::printf("AS3 suite: %zu movies, %zu ABC blocks, %zu bodies, %zu refused as expected\n",
              movies, blocks, bodies, refused);
  EXPECT_GT(bodies, 0u);
}

}  // namespace
}  // namespace flashsaver::avm2
