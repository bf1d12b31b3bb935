#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "memory_file_system.h"
#include "package/payload.h"
#include "settings/memory_registry.h"

namespace flashsaver {
namespace {

struct NameCase {
  const char* path;
  std::optional<std::string> display;  // what the shell answers
  const char* name;
};

TEST(SaverName, FromTheProgramFileName) {
  const NameCase cases[] = {
      {"C:\\Savers\\Sky.scr", "never asked", "Sky"},
      {"C:\\Savers\\Sky.SCR", std::nullopt, "Sky"},
      {"C:\\Savers\\Sky.scr.scr", std::nullopt, "Sky"},
      {"C:\\Savers\\a.scrb.scr", std::nullopt, "a"},  // cut at the first occurrence
      {"C:\\Savers\\noext", std::nullopt, "noext"},
      {"C:\\dir.d\\file", std::nullopt, "file"},
      {"C:Sky.scr", std::nullopt, "Sky"},
      {"C:\\PROGRA~1\\SKYSAV~1.SCR", std::string("Sky Saver.scr"), "Sky Saver"},
      {"C:\\PROGRA~1\\SKYSAV~1.SCR", std::string("Sky Saver"), "Sky Saver"},
      {"C:\\PROGRA~1\\SKYSAV~1.SCR", std::nullopt, "SKYSAV~1"},
      {"C:\\Long~Dir\\Sky.scr", "Other.scr", "Sky"},  // only the file name part is checked
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.path);
    int asked = 0;
    const std::string name = SaverNameFor(c.path, [&](const std::string& path) {
      ++asked;
      EXPECT_EQ(path, c.path);
      return c.display;
    });
    EXPECT_EQ(name, c.name);
    EXPECT_EQ(asked > 0, std::string(c.path).find('~') != std::string::npos &&
                             FileNameOfPath(c.path).find('~') != std::string::npos);
  }
}

constexpr char kPro[] = "C:\\Program Files\\marvex\\Screensaver Pro\\";
constexpr char kPlain[] = "C:\\Program Files\\marvex\\Screensaver\\";

TEST(InstallFolder, FromTheRegistryWithTwoFallBacks) {
  struct Case {
    const char* label;
    std::function<void(MemoryRegistry&)> fill;
    bool pro_folder_exists;
    std::string folder;
  };
  const std::string sky = "\\Software\\Korvanlabs\\Sky";
  const std::string marvex = "\\Software\\Korvanlabs\\MarvexPro";
  const Case cases[] = {
      {"own key", [&](MemoryRegistry& r) { r.SetString(sky, "", "D:\\Inst"); }, false,
       "D:\\Inst\\"},
      {"own key wins",
       [&](MemoryRegistry& r) {
         r.SetString(sky, "", "D:\\Inst");
         r.SetString(marvex, "", "E:\\Pro");
       },
       false, "D:\\Inst\\"},
      {"MarvexPro", [&](MemoryRegistry& r) { r.SetString(marvex, "", "E:\\Pro"); }, false,
       "E:\\Pro\\"},
      {"own key without value stops the search",
       [&](MemoryRegistry& r) {
         r.AddKey(sky);
         r.SetString(marvex, "", "E:\\Pro");
       },
       false, kPlain},
      {"drive only", [&](MemoryRegistry& r) { r.SetString(sky, "", "D:"); }, false, "D:\\"},
      {"too short", [&](MemoryRegistry& r) { r.SetString(sky, "", "D"); }, true, kPro},
      {"value of another type", [&](MemoryRegistry& r) { r.SetDword(sky, "", 7); }, false, kPlain},
      {"nothing, Pro folder exists", [](MemoryRegistry&) {}, true, kPro},
      {"nothing", [](MemoryRegistry&) {}, false, kPlain},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    MemoryRegistry registry;
    c.fill(registry);
    MemoryFileSystem fs;
    if (c.pro_folder_exists) fs.AddFolder(kPro);
    EXPECT_EQ(InstallFolderFor("Sky", registry, fs), c.folder);
  }
}

}  // namespace
}  // namespace flashsaver
