#include "package/media_resolution.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "memory_file_system.h"

namespace flashsaver {
namespace {

constexpr char kTemp[] = "C:\\Temp\\Marvex\\";
constexpr char kExe[] = "D:\\Savers\\";
constexpr char kInstall[] = "E:\\Marvex\\";

struct Extraction {
  std::string key;
  std::string dest;
};

class Resolution : public ::testing::Test {
 protected:
  MediaPlaces Places(bool package) {
    MediaPlaces p;
    p.fs = &fs_;
    p.package_found = package;
    p.temp_folder = kTemp;
    p.exe_folder = kExe;
    p.install_folder = kInstall;
    p.extract = [this](const std::string& key, const std::string& dest) {
      extractions_.push_back({key, dest});
      if (key == "broken.swf") throw std::runtime_error("archive error");
      if (packed_.count(key)) fs_.AddFile(dest, packed_[key], true);
    };
    return p;
  }

  MemoryFileSystem fs_;
  std::map<std::string, std::string> packed_;
  std::vector<Extraction> extractions_;
};

struct ResolveCase {
  const char* label;
  bool package;
  std::string item;
  bool available;
  std::string resolved;
};

TEST_F(Resolution, RulesInOrder) {
  fs_.AddFolder("C:\\Pics\\");
  fs_.AddFile("C:\\My Movies\\intro.swf");
  fs_.AddFile("C:\\a=b.swf");
  fs_.AddFile("data.xml");
  fs_.AddFile(std::string(kExe) + "sample\\clip.swf");
  fs_.AddFile(std::string(kInstall) + "inst.swf");
  fs_.AddFile(std::string(kInstall) + "sample\\inst.swf");
  fs_.AddFile(std::string(kInstall) + "sample\\isample.swf");
  fs_.AddFile(std::string(kExe) + "isample.swf");
  fs_.AddFile(std::string(kExe) + "last.swf");
  fs_.AddFile("Q:\\abs\\exists.swf");
  fs_.AddFile(std::string(kInstall) + "exists2.swf");

  const ResolveCase cases[] = {
      {"empty", false, "", false, ""},
      {"url as is", false, "http://x.org/a.swf", true, "http://x.org/a.swf"},
      {"url prefix dropped, ** as =", true, "(URL) http://x.org/?a**1&b**2", true,
       "http://x.org/?a=1&b=2"},
      {"url anywhere", false, "(File) see ftp://host", true, "(File) see ftp://host"},
      {"existing folder", false, "C:\\Pics\\", true, "C:\\Pics\\"},
      {"favorites prefix dropped", false, "(Favorites) C:\\Pics\\", true, "C:\\Pics\\"},
      {"favorites missing folder", false, "(Favorites) C:\\Nope\\", false, "C:\\Nope\\"},
      {"folder missing, no prefix", false, "C:\\Nope\\", false, "C:\\Nope\\"},
      {"url prefix on a file", false, "(URL) C:\\My Movies\\intro.swf", true,
       "C:\\My Movies\\intro.swf"},
      {"url prefix, missing file", false, "(URL) C:\\x.swf", false, "C:\\x.swf"},
      {"file prefix without package", false, "(File) C:\\My Movies\\intro.swf", true,
       "C:\\My Movies\\intro.swf"},
      {"file prefix, ** as =", false, "(File) C:\\a**b.swf", true, "C:\\a=b.swf"},
      {"resource keeps its prefix", false, "(Resource) data.xml", true, "(Resource) data.xml"},
      {"external missing", true, "(External) none.xml", false, "(External) none.xml"},
      {"disk: sample folder first", false, "clip.swf", true,
       std::string(kExe) + "sample\\clip.swf"},
      {"disk: install folder", false, "inst.swf", true, std::string(kInstall) + "inst.swf"},
      {"disk: install sample", false, "isample.swf", true,
       std::string(kInstall) + "sample\\isample.swf"},
      {"disk: exe folder last", false, "last.swf", true, std::string(kExe) + "last.swf"},
      {"disk: nowhere", false, "none.swf", false, std::string(kExe) + "sample\\none.swf"},
      {"disk: absolute path", false, "Q:\\abs\\exists.swf", true, "Q:\\abs\\exists.swf"},
      {"disk: absolute missing, by name", false, "Q:\\abs\\exists2.swf", true,
       std::string(kInstall) + "exists2.swf"},
  };
  for (const ResolveCase& c : cases) {
    SCOPED_TRACE(c.label);
    std::string item = c.item;
    EXPECT_EQ(ResolveMediaItemIn(Places(c.package), item), c.available);
    EXPECT_EQ(item, c.resolved);
  }
  EXPECT_TRUE(extractions_.empty());
}

TEST_F(Resolution, PackageExtractsOnFirstResolutionOnly) {
  packed_["movie1.swf"] = "SWF";
  std::string item = "movie1.swf";
  ASSERT_TRUE(ResolveMediaItemIn(Places(true), item));
  EXPECT_EQ(item, std::string(kTemp) + "movie1.swf");
  ASSERT_EQ(extractions_.size(), 1u);
  EXPECT_EQ(extractions_[0].key, "movie1.swf");
  EXPECT_EQ(extractions_[0].dest, std::string(kTemp) + "movie1.swf");
  EXPECT_FALSE(fs_.Find(item)->read_only) << "attributes are cleared";

  std::string again = "movie1.swf";
  ASSERT_TRUE(ResolveMediaItemIn(Places(true), again));
  EXPECT_EQ(again, item);
  EXPECT_EQ(extractions_.size(), 1u) << "a second resolution extracted again";
}

TEST_F(Resolution, PackageKeysAndDestinations) {
  packed_["intro.swf"] = "A";
  packed_["q**1.swf"] = "B";
  struct Case {
    std::string item;
    bool available;
    std::string key;
    std::string dest;
  };
  const Case cases[] = {
      {"(File) C:\\My Movies\\intro.swf", true, "intro.swf", "intro.swf"},
      {"q**1.swf", true, "q**1.swf", "q=1.swf"},
      {"missing.swf", false, "missing.swf", "missing.swf"},
      {"broken.swf", false, "broken.swf", "broken.swf"},
      {"sub\\dir:x.swf", false, "x.swf", "x.swf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    extractions_.clear();
    std::string item = c.item;
    EXPECT_EQ(ResolveMediaItemIn(Places(true), item), c.available);
    EXPECT_EQ(item, kTemp + c.dest);
    ASSERT_EQ(extractions_.size(), 1u);
    EXPECT_EQ(extractions_[0].key, c.key);
    EXPECT_EQ(extractions_[0].dest, kTemp + c.dest);
  }
}

TEST_F(Resolution, NameThatWouldLeaveTheTemporaryFolderIsNotAvailable) {
  fs_.AddFile("C:\\Temp\\evil.swf");
  std::string item = "../evil.swf";
  EXPECT_FALSE(ResolveMediaItemIn(Places(true), item));
  EXPECT_TRUE(extractions_.empty());
}

}  // namespace
}  // namespace flashsaver
