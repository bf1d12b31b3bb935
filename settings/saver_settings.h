// The settings record: one field per settings key, named like the key, with the key's default
// as its initial value. One record serves the whole process.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/ini_file.h"

namespace flashsaver {

// Flags 0 to 151 of the "useeffects" key.
using EffectSet = std::bitset<152>;

// The "useeffects" default; it ends with a comma, as the authoring tool writes it.
inline constexpr char kDefaultEffectList[] =
    "59,58,70,69,82,83,81,80,84,85,6,5,23,22,7,8,14,15,31,32,113,112,111,110,114,115,116,65,66,"
    "76,77,100,102,101,103,106,107,104,105,67,68,78,79,108,109,86,88,87,89,93,91,92,90,96,97,94,"
    "95,98,99,16,17,33,34,123,124,125,126,60,61,71,72,63,62,73,74,75,64,11,12,28,29,53,54,55,57,"
    "24,25,45,44,46,43,117,118,127,129,128,133,132,131,130,135,134,142,143,144,";

// Each comma-terminated item that is an integer from 0 to 151 sets its flag; other items and
// the text after the last comma are ignored.
EffectSet ParseEffectList(std::string_view text);

struct SettingsRecord {
  // Section Set: the keys this program acts on.
  uint8_t FlashSequence = 0;
  int32_t FlashSize = 0;
  int32_t FlashQuality = 1;
  int32_t FlashColor = 0;  // 0x00BBGGRR
  bool FlashMute = false;
  int32_t FlashStopTime = 10;
  int32_t FlashDownloadTime = 20;
  bool FlashSameMonitor = true;
  bool ImageSameMonitor = true;
  bool MouseMove = false;
  bool MousePress = true;
  bool KeyboardPress = true;
  bool ShowCursor = false;
  bool OnlyEscKeyExit = false;
  std::string ScrName = "Screensaver Setting";
  std::string Author;
  std::string Website;
  std::string ScrEmail;
  bool HideMarvexText = false;
  bool resell = false;
  bool NoUserSetting = false;
  bool Build_UseBanner = false;
  bool Build_HideTitle = false;
  std::string Build_BannerTips;
  std::string Build_BannerURL;
  std::string Build_BannerImage = "marvexbanner.jpg";
  bool Build_UseStaticPreview = false;
  std::string Build_StaticImage;

  // Section Set: keys of the other kinds of screen saver, carried so that OK writes them back.
  uint8_t ImageSize = 0;
  uint8_t ImageSequence = 1;
  uint8_t VideoSequence = 0;
  uint8_t WebSequence = 0;
  bool AllowReverseTransition = false;
  bool ClearOldImage = false;
  bool PlayMusic = true;
  bool LoopMusic = true;
  bool RandomMusic = false;
  int32_t ImageInterval = 3;
  int32_t BackgroundColor = 0;
  int32_t EffectSpeed2 = 3;
  std::string PicturePath;
  std::string MusicPath;
  bool FlashPreview = true;
  bool VideoMute = false;
  bool VideoPreview = false;
  int32_t VideoSize = 0;
  int32_t VideoDownloadTime = 20;
  bool VideoShowStatus = true;
  bool WebImage = true;
  bool WebSound = true;
  bool WebVideo = true;
  bool WebScript = true;
  bool WebActiveX = true;
  bool WebHideScrollBar = true;
  bool WebFlatBorder = true;
  bool WebStopPopup = true;
  bool WebShowStatus = true;
  bool WebOffline = false;
  bool WebLastPage = false;
  int32_t WebInterval = 10;
  int32_t WebMaxInterval = 20;
  bool RandomPosition = false;
  std::string BuildName;
  std::string BuildAuthor;
  std::string BuildWebsite;
  std::string BuildEmail;
  std::string IconFile;
  std::string InstallPassword;
  std::string Build_ReadmeText;
  std::string Back_Image_Filename;
  std::string SplashImage;
  bool ImageEncrypt = false;
  bool Build_NotCreateIcons = false;
  bool Build_DisableSetupPrompt = false;
  bool Build_AddPassword = false;
  bool Back_Mode_UseColor = true;
  bool Back_Image_UseTiled = true;
  std::string Back_Image_Path;  // InstallFolder + "background\" when the file has none
  bool MediaPlayerMp3 = false;
  bool TransparentMode = false;
  bool ShowSplash = false;
  int32_t TransparentModeColor = 0;
  bool VideoSameMonitor = true;
  bool WebSameMonitor = true;

  // Section Caption: the caption overlay of other kinds; carried only.
  uint8_t Position = 0;  // 1 to 5, anything else 0
  bool ForceHide = false;
  bool FontBold = false;
  bool FontItalic = false;
  bool FontUnderline = false;
  bool FontStrikeout = false;
  int32_t X = 10;
  int32_t Y = 10;
  std::string FontName = "MS Sans Serif";
  int32_t FontSize = 9;
  int32_t FontColor = 16777215;

  // Section "set" (one section with Set): read only, never written back.
  EffectSet useeffects = ParseEffectList(kDefaultEffectList);

  bool operator==(const SettingsRecord&) const = default;
};

// The settings file of the run: opened once by PreparePaths, read from memory afterwards.
inline IniFile SettingsFile;
// The settings of the run.
inline SettingsRecord SaverSettings;

// Fills every field from the file; install_folder gives the default of Back_Image_Path.
void ReadSettingsFile(const IniFile& file, const std::string& install_folder,
                      SettingsRecord& record);
// Writes the record's keys into the file in their fixed order (keys the dialog only reads are
// left as they are) and rewrites the file. False when the file was not replaced.
bool SaveSettingsFile(const SettingsRecord& record, IniFile& file);

// The same for the process-wide SettingsFile, SaverSettings, InstallFolder, PackageFound and
// the program file's per-user key.
void ReadSettingsFile();
// ReadSettingsFile, then with a package the per-user overrides.
void LoadSettings();
// Failures are ignored: the record keeps its values for the rest of the run.
void SaveSettingsFile();

}  // namespace flashsaver
