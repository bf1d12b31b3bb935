#include "settings/user_overrides.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "package/package_state.h"
#include "package/payload.h"
#include "settings/memory_registry.h"

namespace flashsaver {
namespace {

constexpr char kKey[] = "\\Software\\Korvanlabs\\Sky.scr";

// What the settings file set before the overlay: every overridable field away from its
// default, so that each applied value shows.
SettingsRecord FromFile() {
  SettingsRecord r;
  r.MouseMove = true;
  r.MousePress = false;
  r.KeyboardPress = false;
  r.ShowCursor = true;
  r.OnlyEscKeyExit = true;
  r.FlashSequence = 1;
  r.FlashSize = 1;
  r.FlashQuality = 2;
  r.FlashColor = 0x112233;
  r.FlashDownloadTime = 30;
  r.FlashMute = true;
  r.FlashStopTime = 15;
  r.FlashSameMonitor = false;
  r.ImageSameMonitor = false;
  return r;
}

void SetAllToDefaults(MemoryRegistry& reg) {
  reg.SetDword(kKey, "MouseMoveExit", 0);
  reg.SetDword(kKey, "MousePressExit", 1);
  reg.SetDword(kKey, "KeyboardPressExit", 1);
  reg.SetDword(kKey, "ShowCursor", 0);
  reg.SetDword(kKey, "OnlyEscKeyExit", 0);
  reg.SetDword(kKey, "FlashSequence", 0);
  reg.SetDword(kKey, "FlashSize", 0);
  reg.SetDword(kKey, "FlashQuality", 1);
  reg.SetDword(kKey, "FlashColor", 0);
  reg.SetDword(kKey, "FlashDownloadTime", 20);
  reg.SetDword(kKey, "FlashMute", 0);
}

struct OverlayCase {
  const char* label;
  std::function<void(MemoryRegistry&)> setup;
  std::function<void(SettingsRecord&)> expected_changes;  // applied to FromFile()
};

const OverlayCase kOverlays[] = {
    {"no key", [](auto&) {}, [](auto&) {}},
    {"empty key", [](auto& reg) { reg.AddKey(kKey); }, [](auto&) {}},
    {"key of another file name",
     [](auto& reg) { reg.SetDword("\\Software\\Korvanlabs\\Sky2.scr", "FlashSize", 2); },
     [](auto&) {}},
    {"one value", [](auto& reg) { reg.SetDword(kKey, "ShowCursor", 0); },
     [](auto& r) { r.ShowCursor = false; }},
    {"value names in any case", [](auto& reg) { reg.SetDword(kKey, "flashsize", 2); },
     [](auto& r) { r.FlashSize = 2; }},
    {"every value", [](auto& reg) { SetAllToDefaults(reg); },
     [](auto& r) {
       const SettingsRecord d;
       r.MouseMove = d.MouseMove;
       r.MousePress = d.MousePress;
       r.KeyboardPress = d.KeyboardPress;
       r.ShowCursor = d.ShowCursor;
       r.OnlyEscKeyExit = d.OnlyEscKeyExit;
       r.FlashSequence = d.FlashSequence;
       r.FlashSize = d.FlashSize;
       r.FlashQuality = d.FlashQuality;
       r.FlashColor = d.FlashColor;
       r.FlashDownloadTime = d.FlashDownloadTime;
       r.FlashMute = d.FlashMute;
     }},
    {"non-zero is true", [](auto& reg) { reg.SetDword(kKey, "MousePressExit", 7); },
     [](auto& r) { r.MousePress = true; }},
    {"low 8 bits of the sequence", [](auto& reg) { reg.SetDword(kKey, "FlashSequence", 258); },
     [](auto& r) { r.FlashSequence = 2; }},
    {"32-bit colour", [](auto& reg) { reg.SetDword(kKey, "FlashColor", 0xFFFFFFFF); },
     [](auto& r) { r.FlashColor = -1; }},
    {"never from the registry",
     [](auto& reg) {
       reg.SetDword(kKey, "FlashStopTime", 99);
       reg.SetDword(kKey, "FlashSameMonitor", 1);
       reg.SetDword(kKey, "ImageSameMonitor", 1);
       reg.SetDword(kKey, "MouseMove", 0);
     },
     [](auto&) {}},
    {"a string stops the overlay at its value",
     [](auto& reg) {
       SetAllToDefaults(reg);
       reg.SetString(kKey, "FlashSize", "2");
     },
     [](auto& r) {
       r.MouseMove = false;
       r.MousePress = true;
       r.KeyboardPress = true;
       r.ShowCursor = false;
       r.OnlyEscKeyExit = false;
       r.FlashSequence = 0;
     }},
    {"binary first value stops everything",
     [](auto& reg) {
       SetAllToDefaults(reg);
       reg.SetBinary(kKey, "MouseMoveExit", std::string(4, '\0'));
     },
     [](auto&) {}},
    {"a missing value does not stop",
     [](auto& reg) {
       reg.SetDword(kKey, "MouseMoveExit", 0);
       reg.SetDword(kKey, "FlashMute", 0);
     },
     [](auto& r) {
       r.MouseMove = false;
       r.FlashMute = false;
     }},
};

TEST(UserOverridesTest, Overlay) {
  for (const OverlayCase& c : kOverlays) {
    MemoryRegistry reg;
    c.setup(reg);
    SettingsRecord record = FromFile();
    ApplyUserOverrides(reg, kKey, record);
    SettingsRecord expected = FromFile();
    c.expected_changes(expected);
    EXPECT_EQ(record, expected) << c.label;
  }
}

TEST(UserOverridesTest, KeyIsTheProgramFileNameAsReported) {
  EXPECT_EQ(UserOverridesKey("C:\\Savers\\Sky.scr"), "\\Software\\Korvanlabs\\Sky.scr");
  EXPECT_EQ(UserOverridesKey("C:\\PROGRA~1\\SKYSAV~1.SCR"), "\\Software\\Korvanlabs\\SKYSAV~1.SCR");
  EXPECT_EQ(UserOverridesKey("C:Sky.exe"), "\\Software\\Korvanlabs\\Sky.exe");
  EXPECT_EQ(UserOverridesKey("Sky.scr"), "\\Software\\Korvanlabs\\Sky.scr");
}

TEST(UserOverridesTest, SaveWritesTheElevenValuesAndReadsBack) {
  MemoryRegistry reg;
  SettingsRecord record = FromFile();
  record.FlashColor = -1;
  SaveUserOverrides(reg, kKey, record);
  const struct {
    const char* name;
    uint32_t value;
  } expected[] = {
      {"MouseMoveExit", 1},      {"MousePressExit", 0}, {"KeyboardPressExit", 0},
      {"ShowCursor", 1},         {"OnlyEscKeyExit", 1}, {"FlashSequence", 1},
      {"FlashSize", 1},          {"FlashQuality", 2},   {"FlashColor", 0xFFFFFFFF},
      {"FlashDownloadTime", 30}, {"FlashMute", 1},
  };
  for (const auto& e : expected) {
    const auto value = reg.Get(kKey, e.name);
    ASSERT_TRUE(value.has_value()) << e.name;
    EXPECT_EQ(value->type, MemoryRegistry::Type::kDword) << e.name;
    EXPECT_EQ(value->dword, e.value) << e.name;
  }
  EXPECT_FALSE(reg.Get(kKey, "FlashStopTime").has_value());
  SettingsRecord back;
  ApplyUserOverrides(reg, kKey, back);
  SettingsRecord want;
  want.MouseMove = true;
  want.MousePress = false;
  want.KeyboardPress = false;
  want.ShowCursor = true;
  want.OnlyEscKeyExit = true;
  want.FlashSequence = 1;
  want.FlashSize = 1;
  want.FlashQuality = 2;
  want.FlashColor = -1;
  want.FlashDownloadTime = 30;
  want.FlashMute = true;
  EXPECT_EQ(back, want);
}

TEST(UserOverridesTest, SaveFailures) {
  MemoryRegistry cannot_create;
  cannot_create.SetCreateFails(true);
  EXPECT_NO_THROW(SaveUserOverrides(cannot_create, kKey, SettingsRecord()));
  EXPECT_FALSE(cannot_create.HasKey(kKey));

  MemoryRegistry fails_late;
  fails_late.SetWritesBeforeFailure(3);
  try {
    SaveUserOverrides(fails_late, kKey, SettingsRecord());
    ADD_FAILURE() << "no error for a failed write";
  } catch (const RegistryWriteError& e) {
    EXPECT_EQ(e.value_name(), "ShowCursor");
  }
  EXPECT_TRUE(fails_late.Get(kKey, "KeyboardPressExit").has_value());
  EXPECT_FALSE(fails_late.Get(kKey, "ShowCursor").has_value());
  EXPECT_FALSE(fails_late.Get(kKey, "FlashMute").has_value());
}

// LoadSettings over the process-wide values: the overlay needs a package and the program
// file's own name.
class LoadSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    SystemMemoryRegistry().Clear();
    SettingsFile.Close();
    SaverSettings = SettingsRecord();
    PackageFound = false;
    ProgramFilePath.clear();
    InstallFolder.clear();
  }
};

TEST_F(LoadSettingsTest, OverlayOnlyWithAPackageAndOnlyForItsFileName) {
  const struct {
    const char* label;
    bool package;
    const char* program;
    bool show_cursor;
  } cases[] = {
      {"package", true, "C:\\Savers\\Sky.scr", false},
      {"no package", false, "C:\\Savers\\Sky.scr", true},
      {"copy under another name", true, "C:\\Savers\\Sky2.scr", true},
      {"file name in another case", true, "C:\\Savers\\SKY.SCR", false},
  };
  for (const auto& c : cases) {
    Reset();
    SystemMemoryRegistry().SetDword(kKey, "ShowCursor", 0);
    SettingsFile.Parse("[Set]\r\nShowCursor=1\r\nFlashSize=2\r\n");
    PackageFound = c.package;
    ProgramFilePath = c.program;
    InstallFolder = "D:\\Marvex\\";
    LoadSettings();
    EXPECT_EQ(SaverSettings.ShowCursor, c.show_cursor) << c.label;
    EXPECT_EQ(SaverSettings.FlashSize, 2) << c.label;
    EXPECT_EQ(SaverSettings.Back_Image_Path, "D:\\Marvex\\background\\") << c.label;
  }
}

TEST_F(LoadSettingsTest, SaveWithoutAPackageLeavesTheRegistryAlone) {
  ProgramFilePath = "C:\\Savers\\Sky.scr";
  SaverSettings.FlashSize = 2;
  SaveUserOverrides();
  EXPECT_FALSE(SystemMemoryRegistry().HasKey(kKey));
  PackageFound = true;
  SaveUserOverrides();
  ASSERT_TRUE(SystemMemoryRegistry().Get(kKey, "FlashSize").has_value());
  EXPECT_EQ(SystemMemoryRegistry().Get(kKey, "FlashSize")->dword, 2u);
}

}  // namespace
}  // namespace flashsaver
