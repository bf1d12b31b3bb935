// Decodes every entry of the public archives written by other tools and checks its CRC-32:
// the independent check for reducing, which no decoder on this system reads.
#include <gtest/gtest.h>

#include <map>

#include "tests/unit/legacy/legacy_test_support.h"

namespace flashsaver::legacy_test {
namespace {

namespace stdfs = std::filesystem;

TEST(LegacyPublicArchives, EveryEntryPassesItsCrc) {
  auto folder = PublicArchiveFolder();
  if (!folder) GTEST_SKIP() << "shared/testdata/legacy-zip is not on this machine";

  std::map<std::string, int> decoded;  // per method and variant
  int archives = 0;
  for (const auto& file : stdfs::directory_iterator(*folder)) {
    std::string ext = file.path().extension().string();
    if (ext != ".zip" && ext != ".ZIP") continue;
    ++archives;
    auto entries = ReadZip(ReadFile(file.path()));
    ASSERT_TRUE(entries) << file.path();
    for (const ZipEntry& e : *entries) {
      if (e.method < 1 || e.method > 6) continue;
      SCOPED_TRACE(file.path().filename().string() + ": " + e.name);
      Bytes out = Decode(e.method, e.flags, e.compressed, e.size);
      EXPECT_EQ(out.size(), e.size);
      EXPECT_EQ(Crc32(out), e.crc);
      std::string kind = "method " + std::to_string(e.method);
      if (e.method == 6) {
        kind += (e.flags & 2) ? " 8K" : " 4K";
        kind += (e.flags & 4) ? " 3 trees" : " 2 trees";
      }
      ++decoded[kind];
    }
  }
  EXPECT_GE(archives, 20);
  // Every variant that public archives hold was met.
  for (const char* kind : {"method 1", "method 2", "method 3", "method 4", "method 5",
                           "method 6 4K 2 trees", "method 6 8K 3 trees"}) {
    EXPECT_GT(decoded[kind], 0) << kind;
  }
}

}  // namespace
}  // namespace flashsaver::legacy_test
