#include "settings/saver_settings.h"

#include <exception>
#include <string_view>
#include <variant>

#include "package/package_state.h"
#include "settings/integer_text.h"
#include "settings/user_overrides.h"

namespace flashsaver {
namespace {

constexpr char kSet[] = "Set";
constexpr char kCaption[] = "Caption";

using Member = std::variant<uint8_t SettingsRecord::*, int32_t SettingsRecord::*,
                            bool SettingsRecord::*, std::string SettingsRecord::*>;

struct Field {
  const char* section;
  const char* key;
  Member member;
  bool written;  // SaveSettingsFile writes it back
};

using R = SettingsRecord;

// The written keys come first, in the order in which SaveSettingsFile writes them.
const Field kFields[] = {
    {kSet, "ImageSize", &R::ImageSize, true},
    {kSet, "ImageSequence", &R::ImageSequence, true},
    {kSet, "FlashSequence", &R::FlashSequence, true},
    {kSet, "VideoSequence", &R::VideoSequence, true},
    {kSet, "WebSequence", &R::WebSequence, true},
    {kSet, "AllowReverseTransition", &R::AllowReverseTransition, true},
    {kSet, "ClearOldImage", &R::ClearOldImage, true},
    {kSet, "PlayMusic", &R::PlayMusic, true},
    {kSet, "RandomMusic", &R::RandomMusic, true},
    {kSet, "LoopMusic", &R::LoopMusic, true},
    {kSet, "ImageInterval", &R::ImageInterval, true},
    {kSet, "BackgroundColor", &R::BackgroundColor, true},
    {kSet, "EffectSpeed2", &R::EffectSpeed2, true},
    {kSet, "PicturePath", &R::PicturePath, true},
    {kSet, "MusicPath", &R::MusicPath, true},
    {kCaption, "ForceHide", &R::ForceHide, true},
    {kCaption, "Position", &R::Position, true},
    {kCaption, "X", &R::X, true},
    {kCaption, "Y", &R::Y, true},
    {kCaption, "FontName", &R::FontName, true},
    {kCaption, "FontSize", &R::FontSize, true},
    {kCaption, "FontColor", &R::FontColor, true},
    {kCaption, "FontBold", &R::FontBold, true},
    {kCaption, "FontItalic", &R::FontItalic, true},
    {kCaption, "FontUnderline", &R::FontUnderline, true},
    {kCaption, "FontStrikeout", &R::FontStrikeout, true},
    {kSet, "MouseMove", &R::MouseMove, true},
    {kSet, "MousePress", &R::MousePress, true},
    {kSet, "KeyboardPress", &R::KeyboardPress, true},
    {kSet, "ShowCursor", &R::ShowCursor, true},
    {kSet, "OnlyEscKeyExit", &R::OnlyEscKeyExit, true},
    {kSet, "FlashMute", &R::FlashMute, true},
    {kSet, "FlashSize", &R::FlashSize, true},
    {kSet, "FlashQuality", &R::FlashQuality, true},
    {kSet, "FlashColor", &R::FlashColor, true},
    {kSet, "FlashStopTime", &R::FlashStopTime, true},
    {kSet, "FlashDownloadTime", &R::FlashDownloadTime, true},
    {kSet, "VideoMute", &R::VideoMute, true},
    {kSet, "VideoSize", &R::VideoSize, true},
    {kSet, "VideoDownloadTime", &R::VideoDownloadTime, true},
    {kSet, "VideoShowStatus", &R::VideoShowStatus, true},
    {kSet, "VideoPreview", &R::VideoPreview, true},
    {kSet, "FlashPreview", &R::FlashPreview, true},
    {kSet, "WebImage", &R::WebImage, true},
    {kSet, "WebSound", &R::WebSound, true},
    {kSet, "WebVideo", &R::WebVideo, true},
    {kSet, "WebScript", &R::WebScript, true},
    {kSet, "WebActiveX", &R::WebActiveX, true},
    {kSet, "WebOffline", &R::WebOffline, true},
    {kSet, "WebHideScrollBar", &R::WebHideScrollBar, true},
    {kSet, "WebFlatBorder", &R::WebFlatBorder, true},
    {kSet, "WebStopPopup", &R::WebStopPopup, true},
    {kSet, "WebInterval", &R::WebInterval, true},
    {kSet, "WebMaxInterval", &R::WebMaxInterval, true},
    {kSet, "WebShowStatus", &R::WebShowStatus, true},
    {kSet, "WebLastPage", &R::WebLastPage, true},
    {kSet, "RandomPosition", &R::RandomPosition, true},
    {kSet, "ScrName", &R::ScrName, true},
    {kSet, "BuildName", &R::BuildName, true},
    {kSet, "BuildAuthor", &R::BuildAuthor, true},
    {kSet, "BuildWebsite", &R::BuildWebsite, true},
    {kSet, "BuildEmail", &R::BuildEmail, true},
    {kSet, "IconFile", &R::IconFile, true},
    {kSet, "ImageEncrypt", &R::ImageEncrypt, true},
    {kSet, "HideMarvexText", &R::HideMarvexText, true},
    {kSet, "Build_NotCreateIcons", &R::Build_NotCreateIcons, true},
    {kSet, "Build_DisableSetupPrompt", &R::Build_DisableSetupPrompt, true},
    {kSet, "Build_AddPassword", &R::Build_AddPassword, true},
    {kSet, "NoUserSetting", &R::NoUserSetting, true},
    {kSet, "InstallPassword", &R::InstallPassword, true},
    {kSet, "Build_ReadmeText", &R::Build_ReadmeText, true},
    {kSet, "Back_Mode_UseColor", &R::Back_Mode_UseColor, true},
    {kSet, "Back_Image_UseTiled", &R::Back_Image_UseTiled, true},
    {kSet, "Back_Image_Filename", &R::Back_Image_Filename, true},
    {kSet, "Back_Image_Path", &R::Back_Image_Path, true},
    {kSet, "MediaPlayerMp3", &R::MediaPlayerMp3, true},
    {kSet, "TransparentMode", &R::TransparentMode, true},
    {kSet, "TransparentModeColor", &R::TransparentModeColor, true},
    {kSet, "ShowSplash", &R::ShowSplash, true},
    {kSet, "SplashImage", &R::SplashImage, true},
    {kSet, "ImageSameMonitor", &R::ImageSameMonitor, true},
    {kSet, "FlashSameMonitor", &R::FlashSameMonitor, true},
    {kSet, "VideoSameMonitor", &R::VideoSameMonitor, true},
    {kSet, "WebSameMonitor", &R::WebSameMonitor, true},
    // Read only: the dialog's header and the preview; the authoring tool alone sets them.
    {kSet, "Author", &R::Author, false},
    {kSet, "Website", &R::Website, false},
    {kSet, "ScrEmail", &R::ScrEmail, false},
    {kSet, "resell", &R::resell, false},
    {kSet, "Build_UseBanner", &R::Build_UseBanner, false},
    {kSet, "Build_HideTitle", &R::Build_HideTitle, false},
    {kSet, "Build_BannerTips", &R::Build_BannerTips, false},
    {kSet, "Build_BannerURL", &R::Build_BannerURL, false},
    {kSet, "Build_BannerImage", &R::Build_BannerImage, false},
    {kSet, "Build_UseStaticPreview", &R::Build_UseStaticPreview, false},
    {kSet, "Build_StaticImage", &R::Build_StaticImage, false},
};

struct ReadField {
  const IniFile& file;
  const Field& field;
  const SettingsRecord& defaults;
  SettingsRecord& record;

  void operator()(uint8_t SettingsRecord::*m) const {
    const int32_t value = file.ReadInteger(field.section, field.key, defaults.*m);
    if (m == &SettingsRecord::Position) {
      record.*m = (value >= 1 && value <= 5) ? static_cast<uint8_t>(value) : 0;
    } else {
      record.*m = static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFF);
    }
  }
  void operator()(int32_t SettingsRecord::*m) const {
    record.*m = file.ReadInteger(field.section, field.key, defaults.*m);
  }
  void operator()(bool SettingsRecord::*m) const {
    record.*m = file.ReadBool(field.section, field.key, defaults.*m);
  }
  void operator()(std::string SettingsRecord::*m) const {
    record.*m = file.ReadString(field.section, field.key, defaults.*m);
  }
};

struct WriteField {
  IniFile& file;
  const Field& field;
  const SettingsRecord& record;

  void operator()(uint8_t SettingsRecord::*m) const {
    file.WriteInteger(field.section, field.key, record.*m);
  }
  void operator()(int32_t SettingsRecord::*m) const {
    file.WriteInteger(field.section, field.key, record.*m);
  }
  void operator()(bool SettingsRecord::*m) const {
    file.WriteBool(field.section, field.key, record.*m);
  }
  void operator()(std::string SettingsRecord::*m) const {
    file.WriteString(field.section, field.key, record.*m);
  }
};

}  // namespace

EffectSet ParseEffectList(std::string_view text) {
  EffectSet flags;
  for (size_t comma = text.find(','); comma != std::string_view::npos; comma = text.find(',')) {
    int32_t value = 0;
    if (ParseInt32(text.substr(0, comma), value) && value >= 0 &&
        static_cast<size_t>(value) < flags.size()) {
      flags.set(static_cast<size_t>(value));
    }
    text.remove_prefix(comma + 1);
  }
  return flags;
}

void ReadSettingsFile(const IniFile& file, const std::string& install_folder,
                      SettingsRecord& record) {
  SettingsRecord defaults;
  defaults.Back_Image_Path = install_folder + "background\\";
  for (const Field& field : kFields) {
    std::visit(ReadField{file, field, defaults, record}, field.member);
  }
  record.useeffects = ParseEffectList(file.ReadString("set", "useeffects", kDefaultEffectList));
}

bool SaveSettingsFile(const SettingsRecord& record, IniFile& file) {
  for (const Field& field : kFields) {
    if (field.written) std::visit(WriteField{file, field, record}, field.member);
  }
  return file.Save();
}

void ReadSettingsFile() { ReadSettingsFile(SettingsFile, InstallFolder, SaverSettings); }

void LoadSettings() {
  ReadSettingsFile();
  if (PackageFound) ApplyUserOverrides();
}

void SaveSettingsFile() {
  try {
    SaveSettingsFile(SaverSettings, SettingsFile);
  } catch (const std::exception&) {
    // A failed write keeps the old file; the record keeps the new values for this run.
  }
}

}  // namespace flashsaver
