// The public archives of the older methods, written by other tools, through the whole reader:
// every entry must extract and pass its CRC.
#include <gtest/gtest.h>

#include "tests/unit/legacy/legacy_test_support.h"
#include "tests/unit/zip/unzip_fixture.h"

namespace flashsaver::testing {
namespace {

class PublicLegacyArchives : public UnzipTest {};

TEST_F(PublicLegacyArchives, EveryEntryIsExtractedAndVerified) {
  const auto folder = legacy_test::PublicArchiveFolder();
  if (!folder) GTEST_SKIP() << "shared/testdata/legacy-zip is not on this machine";
  int archives = 0;
  for (const auto& file : stdfs::directory_iterator(*folder)) {
    const std::string ext = file.path().extension().string();
    if (ext != ".zip" && ext != ".ZIP") continue;
    ++archives;
    SCOPED_TRACE(file.path().filename().string());
    unzipper_.SetZipName(file.path().string());
    unzipper_.SetDestDir((dest_ / file.path().stem()).string());
    const int count = unzipper_.UnZip();
    ASSERT_NE(unzipper_.Directory(), nullptr);
    EXPECT_EQ(count, static_cast<int>(unzipper_.Directory()->Count()));
    EXPECT_GT(count, 0);
  }
  EXPECT_GE(archives, 20);
  EXPECT_TRUE(host_.boxes.empty()) << host_.boxes.front();
}

}  // namespace
}  // namespace flashsaver::testing
