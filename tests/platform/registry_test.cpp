#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "settings/registry.h"
#include "settings/user_overrides.h"

namespace flashsaver {
namespace {

// A key of this test process only, removed with everything below it.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = "FlashSaverTest" + std::to_string(::GetCurrentProcessId()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".scr";
    path_ = "\\Software\\Korvanlabs\\" + name_;
    Delete();
  }
  void TearDown() override { Delete(); }
  void Delete() { ::RegDeleteKeyA(HKEY_CURRENT_USER, ("Software\\Korvanlabs\\" + name_).c_str()); }
  // Writes a value of any type straight through the system, as another program would.
  void SetRaw(const char* value_name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, ("Software\\Korvanlabs\\" + name_).c_str(), 0,
                                nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExA(key, value_name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
  }
  void SetString(const char* value_name, const std::string& text) {
    SetRaw(value_name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
  }
  void SetDword(const char* value_name, DWORD value) {
    SetRaw(value_name, REG_DWORD, &value, sizeof(value));
  }
  DWORD RawType(const char* value_name) {
    DWORD type = REG_NONE;
    ::RegGetValueA(HKEY_CURRENT_USER, ("Software\\Korvanlabs\\" + name_).c_str(), value_name,
                   RRF_RT_ANY, &type, nullptr, nullptr);
    return type;
  }

  std::string name_;
  std::string path_;
};

TEST_F(RegistryTest, OpenDoesNotCreateAndCreateDoes) {
  Registry& reg = SystemRegistry();
  EXPECT_EQ(reg.OpenKey(path_), nullptr);
  EXPECT_EQ(reg.OpenKey(path_), nullptr) << "opening created the key";
  ASSERT_NE(reg.CreateKey(path_), nullptr);
  EXPECT_NE(reg.OpenKey(path_), nullptr);
  // With or without the leading backslash, in any letter case: the same key.
  EXPECT_NE(reg.OpenKey(path_.substr(1)), nullptr);
  std::string upper = path_;
  for (char& c : upper) c = static_cast<char>(::toupper(static_cast<unsigned char>(c)));
  EXPECT_NE(reg.OpenKey(upper), nullptr);
}

TEST_F(RegistryTest, ValuesByType) {
  SetDword("Number", 0xFFFFFFFF);
  SetString("Text", "C:\\Program Files\\Marvex");
  SetString("", "D:\\Install");
  SetRaw("Expand", REG_EXPAND_SZ, "%TEMP%", 7);
  SetRaw("Unterminated", REG_SZ, "abc", 3);
  SetRaw("Binary", REG_BINARY, "\1\0\0\0", 4);
  SetRaw("Qword", REG_QWORD, "\1\0\0\0\0\0\0\0", 8);
  const auto key = SystemRegistry().OpenKey(path_);
  ASSERT_NE(key, nullptr);

  uint32_t number = 0;
  EXPECT_EQ(key->ReadDword("Number", number), RegistryRead::kOk);
  EXPECT_EQ(number, 0xFFFFFFFFu);
  EXPECT_EQ(key->ReadDword("number", number), RegistryRead::kOk);
  EXPECT_EQ(key->ReadDword("Missing", number), RegistryRead::kMissing);
  EXPECT_EQ(key->ReadDword("Text", number), RegistryRead::kFailed);
  EXPECT_EQ(key->ReadDword("Binary", number), RegistryRead::kFailed);
  EXPECT_EQ(key->ReadDword("Qword", number), RegistryRead::kFailed);

  std::string text;
  EXPECT_EQ(key->ReadString("", text), RegistryRead::kOk);
  EXPECT_EQ(text, "D:\\Install");
  EXPECT_EQ(key->ReadString("Text", text), RegistryRead::kOk);
  EXPECT_EQ(text, "C:\\Program Files\\Marvex");
  EXPECT_EQ(key->ReadString("Expand", text), RegistryRead::kOk);
  EXPECT_EQ(text, "%TEMP%");
  EXPECT_EQ(key->ReadString("Unterminated", text), RegistryRead::kOk);
  EXPECT_EQ(text, "abc");
  EXPECT_EQ(key->ReadString("Number", text), RegistryRead::kFailed);
  EXPECT_EQ(key->ReadString("Missing", text), RegistryRead::kMissing);

  // A key opened for reading cannot write.
  EXPECT_FALSE(key->WriteDword("Number", 1));
}

TEST_F(RegistryTest, DefaultValueAbsent) {
  ASSERT_NE(SystemRegistry().CreateKey(path_), nullptr);
  const auto key = SystemRegistry().OpenKey(path_);
  ASSERT_NE(key, nullptr);
  std::string text = "x";
  EXPECT_EQ(key->ReadString("", text), RegistryRead::kMissing);
}

TEST_F(RegistryTest, OverlayStopsAtAStringInTheRealRegistry) {
  SetDword("MouseMoveExit", 1);
  SetDword("MousePressExit", 0);
  SetDword("KeyboardPressExit", 0);
  SetDword("ShowCursor", 1);
  SetDword("OnlyEscKeyExit", 1);
  SetDword("FlashSequence", 258);
  SetString("FlashSize", "2");
  SetDword("FlashQuality", 3);
  SetDword("FlashMute", 1);
  SettingsRecord record;
  ApplyUserOverrides(SystemRegistry(), UserOverridesKey("C:\\Savers\\" + name_), record);
  EXPECT_TRUE(record.MouseMove);
  EXPECT_FALSE(record.MousePress);
  EXPECT_FALSE(record.KeyboardPress);
  EXPECT_TRUE(record.ShowCursor);
  EXPECT_TRUE(record.OnlyEscKeyExit);
  EXPECT_EQ(record.FlashSequence, 2);
  EXPECT_EQ(record.FlashSize, 0);
  EXPECT_EQ(record.FlashQuality, 1);
  EXPECT_FALSE(record.FlashMute);
}

TEST_F(RegistryTest, SaveCreatesTheKeyWithDwordValues) {
  SettingsRecord record;
  record.FlashColor = 0x00FF8000;
  record.FlashSequence = 2;
  record.MouseMove = true;
  SaveUserOverrides(SystemRegistry(), path_, record);
  for (const char* name : {"MouseMoveExit", "MousePressExit", "KeyboardPressExit", "ShowCursor",
                           "OnlyEscKeyExit", "FlashSequence", "FlashSize", "FlashQuality",
                           "FlashColor", "FlashDownloadTime", "FlashMute"}) {
    EXPECT_EQ(RawType(name), static_cast<DWORD>(REG_DWORD)) << name;
  }
  SettingsRecord back;
  back.MousePress = false;
  ApplyUserOverrides(SystemRegistry(), path_, back);
  EXPECT_TRUE(back.MouseMove);
  EXPECT_TRUE(back.MousePress);
  EXPECT_EQ(back.FlashColor, 0x00FF8000);
  EXPECT_EQ(back.FlashSequence, 2);
  EXPECT_EQ(back.FlashDownloadTime, 20);
}

}  // namespace
}  // namespace flashsaver
