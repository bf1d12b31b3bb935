// The content package with real screen savers built by saverpack's builder around the real
// engine: what lands in the temporary folder and when, stand-alone runs, the per-user values in
// Wine's registry, and the clean-up.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "harness.h"
#include "ui_driver.h"
#include "package/tail_record.h"
#include "tools/saverpack/saver_builder.h"

using namespace e2e;

namespace {

constexpr DWORD kWait = 30000;

// Names of the plain files in a folder.
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = ::FindFirstFileA((folder + "*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(data.cFileName);
  } while (::FindNextFileA(find, &data));
  ::FindClose(find);
  return names;
}

void EmptyFolder(const std::string& folder) {
  for (const std::string& name : FilesIn(folder)) {
    ::SetFileAttributesA((folder + name).c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA((folder + name).c_str());
  }
}

bool IsReadOnly(const std::string& path) {
  const DWORD a = ::GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}

// The check box or radio button of a window whose caption is text.
HWND FindButton(HWND window, const std::string& text) {
  struct Search {
    std::string text;
    HWND found = nullptr;
  } search{text};
  ::EnumChildWindows(
      window,
      [](HWND child, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        if (ClassNameOf(child) == "Button" && ControlText(child) == s->text) {
          s->found = child;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool Checked(HWND window, const std::string& text) {
  HWND button = FindButton(window, text);
  EXPECT_NE(button, nullptr) << "no button " << text;
  return button && ::SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

class Package : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH + 1] = {};
    ::GetTempPathA(sizeof(temp), temp);
    dir_ = std::string(temp) + "flashsaver-e2e-package\\";
    ::CreateDirectoryA(dir_.c_str(), nullptr);
    EmptyFolder(dir_);
    temp_ = EngineTempFolder();
    EmptyFolder(temp_);
    EmptyFolder(temp_ + "tmp\\");
    ASSERT_TRUE(WriteFile(dir_ + "movie1.swf", std::string(50000, 'M') + "one"));
    ASSERT_TRUE(WriteFile(dir_ + "movie2.swf", std::string(50000, 'N') + "two"));
    ASSERT_TRUE(WriteFile(dir_ + "data.xml", "<data/>"));
  }
  void TearDown() override {
    for (const char* key : {"Sky.scr", "Sky2.scr", "Bare.scr"}) {
      ::RegDeleteKeyA(HKEY_CURRENT_USER, (std::string("Software\\Korvanlabs\\") + key).c_str());
    }
  }

  std::string Build(const std::string& name,
                    const std::function<void(saverpack::BuildRequest&)>& adjust = nullptr) {
    saverpack::BuildRequest r;
    r.engine = EnginePath();
    r.output = dir_ + name;
    r.settings = {{"Set", "ScrName", "Sky Title"}};
    r.packed = {{"movie1.swf", dir_ + "movie1.swf"},
                {"movie2.swf", dir_ + "movie2.swf", true},
                {"data.xml", dir_ + "data.xml", false, true}};
    r.items = {{"Flash", "movie1.swf"}, {"Flash", "movie2.swf"}, {"Flash", "(Resource) data.xml"}};
    if (adjust) adjust(r);
    saverpack::BuildSaver(r);
    return r.output;
  }

  // Starts program, waits for its main window of class_name, runs check, closes it and waits
  // for the end of the process.
  void RunAndClose(const std::string& program, const std::string& arguments, const char* class_name,
                   const std::function<void(HWND)>& check) {
    EngineProcess engine;
    ASSERT_TRUE(engine.Start(arguments, program)) << program;
    HWND window = WaitForTopWindow(engine.pid(), class_name, kWait);
    ASSERT_NE(window, nullptr) << "no " << class_name << " for " << program << " " << arguments;
    // The window's show handler fills its controls; it has run once the window is visible.
    WaitUntil(kWait, [&] { return ::IsWindowVisible(window) != FALSE; });
    Pump(300);
    check(window);
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    const auto code = engine.WaitExit(kWait);
    ASSERT_TRUE(code.has_value()) << "the engine did not end";
  }

  std::string dir_;
  std::string temp_;
};

TEST_F(Package, EngineDoesNotCarryTheMarker) {
  const std::string engine = ReadWholeFile(EnginePath());
  ASSERT_GT(engine.size(), flashsaver::kTailWindowSize);
  EXPECT_EQ(engine.find(flashsaver::PackageMarker()), std::string::npos);
}

TEST_F(Package, SideFileIsThereBeforeTheShowAndCleanUpEmptiesTheFolders) {
  const std::string saver = Build("Sky.scr");
  // Left from an earlier run, read-only: the clean-up removes it as well.
  ASSERT_TRUE(WriteFile(temp_ + "tmp\\left.dat", "x"));
  ::SetFileAttributesA((temp_ + "tmp\\left.dat").c_str(), FILE_ATTRIBUTE_READONLY);
  RunAndClose(saver, "/s", "TFlashFullscreenForm", [&](HWND) {
    EXPECT_TRUE(FileExists(temp_ + "settings.ini"));
    EXPECT_TRUE(FileExists(temp_ + "settings.ini~"));
    EXPECT_EQ(ReadWholeFile(temp_ + "data.xml"), "<data/>");
    EXPECT_TRUE(IsReadOnly(temp_ + "data.xml")) << "the entry's read-only mark was not kept";
  });
  EXPECT_TRUE(FolderExists(temp_));
  EXPECT_TRUE(FolderExists(temp_ + "tmp\\"));
  EXPECT_TRUE(FilesIn(temp_).empty()) << FilesIn(temp_).front();
  EXPECT_TRUE(FilesIn(temp_ + "tmp\\").empty());
}

TEST_F(Package, MoviesAreNotUnpackedAtStartUp) {
  const std::string saver = Build("Sky.scr");
  RunAndClose(saver, "/c", "TDistributeConfigForm", [&](HWND) {
    EXPECT_TRUE(FileExists(temp_ + "data.xml"));
    EXPECT_FALSE(FileExists(temp_ + "movie1.swf"));
    EXPECT_FALSE(FileExists(temp_ + "movie2.swf"));
  });
}

TEST_F(Package, SmallestPackageIsFound) {
  const std::string saver = Build("Tiny.scr", [](saverpack::BuildRequest& r) {
    r.settings.clear();
    r.packed.clear();
    r.items.clear();
  });
  RunAndClose(saver, "/c", "TDistributeConfigForm",
              [&](HWND) { EXPECT_TRUE(FileExists(temp_ + "settings.ini~")); });
}

TEST_F(Package, BareEngineUnpacksNothing) {
  ASSERT_TRUE(::CopyFileA(EnginePath().c_str(), (dir_ + "Bare.scr").c_str(), FALSE));
  RunAndClose(dir_ + "Bare.scr", "/c", "TDistributeConfigForm",
              [&](HWND) { EXPECT_TRUE(FilesIn(temp_).empty()); });
}

// The next three read the settings through the configuration dialog's check boxes and caption;
// enabled when the dialog is in.
void SetDword(HKEY key, const char* name, DWORD value) {
  ASSERT_EQ(::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                             sizeof(value)),
            ERROR_SUCCESS);
}

void SetUserValues(const std::string& program_name, bool with_wrong_type) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, ("Software\\Korvanlabs\\" + program_name).c_str(),
                              0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  SetDword(key, "MouseMoveExit", 1);
  SetDword(key, "MousePressExit", 0);
  SetDword(key, "KeyboardPressExit", 0);
  if (with_wrong_type) {
    ::RegSetValueExA(key, "ShowCursor", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
  } else {
    SetDword(key, "ShowCursor", 1);
  }
  SetDword(key, "OnlyEscKeyExit", 1);
  SetDword(key, "FlashMute", 1);
  ::RegCloseKey(key);
}

constexpr char kCursorBox[] = "Show mouse cursor && Ignore mouse events";
constexpr char kEscBox[] = "Exit only when press ESC key ";

TEST_F(Package, UserValuesOverlayTheFileUpToAValueOfTheWrongType) {
  const std::string saver = Build("Sky.scr", [](saverpack::BuildRequest& r) {
    r.settings.push_back({"Set", "MouseMove", "0"});
    r.settings.push_back({"Set", "MousePress", "1"});
    r.settings.push_back({"Set", "KeyboardPress", "1"});
  });
  SetUserValues("Sky.scr", true);
  RunAndClose(saver, "/c", "TDistributeConfigForm", [&](HWND dialog) {
    EXPECT_TRUE(Checked(dialog, "Mouse Move Event"));
    EXPECT_FALSE(Checked(dialog, "Mouse Button Press"));
    EXPECT_FALSE(Checked(dialog, "Keyboard Button Press"));
    // The string value stops the overlay: it and every later value keep the file's values.
    EXPECT_FALSE(Checked(dialog, kCursorBox));
    EXPECT_FALSE(Checked(dialog, kEscBox));
    EXPECT_FALSE(Checked(dialog, "Mute Sound"));
  });

  // The same file under another name has no values of its own yet.
  ASSERT_TRUE(::CopyFileA(saver.c_str(), (dir_ + "Sky2.scr").c_str(), FALSE));
  RunAndClose(dir_ + "Sky2.scr", "/c", "TDistributeConfigForm", [&](HWND dialog) {
    EXPECT_FALSE(Checked(dialog, "Mouse Move Event"));
    EXPECT_TRUE(Checked(dialog, "Mouse Button Press"));
  });
  SetUserValues("Sky2.scr", false);
  RunAndClose(dir_ + "Sky2.scr", "/c", "TDistributeConfigForm", [&](HWND dialog) {
    EXPECT_TRUE(Checked(dialog, "Mouse Move Event"));
    EXPECT_TRUE(Checked(dialog, kCursorBox));
    EXPECT_TRUE(Checked(dialog, "Mute Sound"));
  });
}

TEST_F(Package, BareEngineReadsNoUserValues) {
  ASSERT_TRUE(::CopyFileA(EnginePath().c_str(), (dir_ + "Bare.scr").c_str(), FALSE));
  ASSERT_TRUE(WriteFile(dir_ + "Bare.002", "[Set]\r\nScrName=Bare Title\r\nMousePress=1\r\n"));
  SetUserValues("Bare.scr", false);
  RunAndClose(dir_ + "Bare.scr", "/c", "TDistributeConfigForm", [&](HWND dialog) {
    EXPECT_NE(TextOf(dialog).find("Bare Title"), std::string::npos) << TextOf(dialog);
    EXPECT_FALSE(Checked(dialog, "Mouse Move Event"));
    EXPECT_TRUE(Checked(dialog, "Mouse Button Press"));
  });
}

TEST_F(Package, ShortProgramNameFindsTheLongNamesSideFile) {
  const std::string long_path = dir_ + "Long Saver Name.scr";
  ASSERT_TRUE(::CopyFileA(EnginePath().c_str(), long_path.c_str(), FALSE));
  ASSERT_TRUE(WriteFile(dir_ + "Long Saver Name.002", "[Set]\r\nScrName=From Long Name\r\n"));
  char short_path[MAX_PATH] = {};
  ASSERT_NE(::GetShortPathNameA(long_path.c_str(), short_path, MAX_PATH), 0u);
  const std::string short_name = short_path;
  ASSERT_NE(short_name.substr(short_name.find_last_of('\\')).find('~'), std::string::npos)
      << short_name;
  RunAndClose(short_name, "/c", "TDistributeConfigForm", [&](HWND dialog) {
    EXPECT_NE(TextOf(dialog).find("From Long Name"), std::string::npos) << TextOf(dialog);
  });
}

struct StandAloneCase {
  const char* file;
  const char* arguments;
  bool packaged;
  const char* class_name;
};

void PrintTo(const StandAloneCase& c, std::ostream* os) { *os << c.file << " " << c.arguments; }

class StandAlone : public Package, public ::testing::WithParamInterface<StandAloneCase> {};

TEST_P(StandAlone, ExeWithPackageAlwaysShows) {
  const StandAloneCase& c = GetParam();
  std::string program = dir_ + c.file;
  if (c.packaged) {
    Build(c.file);
  } else {
    ASSERT_TRUE(::CopyFileA(EnginePath().c_str(), program.c_str(), FALSE));
  }
  RunAndClose(program, c.arguments, c.class_name, [](HWND) {});
}

INSTANTIATE_TEST_SUITE_P(
    Switches, StandAlone,
    ::testing::Values(StandAloneCase{"Sky.exe", "/c", true, "TFlashFullscreenForm"},
                      StandAloneCase{"Sky.exe", "", true, "TFlashFullscreenForm"},
                      StandAloneCase{"Sky.EXE", "/p abc", true, "TFlashFullscreenForm"},
                      StandAloneCase{"Sky.Exe", "/s", true, "TFlashFullscreenForm"},
                      StandAloneCase{"Sky.scr", "/c", true, "TDistributeConfigForm"},
                      StandAloneCase{"Bare.exe", "/c", false, "TDistributeConfigForm"}),
    [](const ::testing::TestParamInfo<StandAloneCase>& info) {
      std::string name = std::to_string(info.index) + "_";
      for (const char* p = info.param.file; *p; ++p) name += isalnum(*p) ? *p : '_';
      return name;
    });

}  // namespace
