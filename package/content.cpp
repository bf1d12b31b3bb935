#include "package/content.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <random>

#include "package/media_lists.h"
#include "package/media_resolution.h"
#include "package/package_state.h"
#include "package/payload.h"
#include "settings/saver_settings.h"

namespace flashsaver {
namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsSideFile(const std::string& key) {
  return StartsWith(key, "(Resource) ") || StartsWith(key, "(External) ");
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

uint64_t ClockSeed() {
  return static_cast<uint64_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count());
}

}  // namespace

void LoadContent() {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  for (MediaList* list : {&PicturesList, &MusicList, &FlashList, &VideoList, &WebList}) {
    list->clear();
  }
  PreparePaths();
  LoadSettings();
  ReadMediaList("Pictures", PicturesList);
  ReadMediaList("Music", MusicList);
  ReadMediaList("Flash", FlashList);
  ReadMediaList("Video", VideoList);
  ReadMediaList("Web", WebList);
  if (SaverSettings.ImageSequence == 2) ShuffleList(PicturesList);
  if (SaverSettings.FlashSequence == 2) ShuffleList(FlashList);
  if (SaverSettings.VideoSequence == 2) ShuffleList(VideoList);
  if (SaverSettings.WebSequence == 2) ShuffleList(WebList);
}

void ReadMediaList(const std::string& section, MediaList& list) {
  const std::vector<std::string> keys = SettingsFile.SectionKeys(section);
  list.clear();
  for (const std::string& key : keys) {
    if (!SettingsFile.ReadBool(section, key, true)) continue;
    if (IsSideFile(key)) {
      ExtractSideFile(key);
    } else {
      list.push_back(key);
    }
  }
}

void ExtractSideFile(const std::string& key) {
  if (!PackageFound) return;
  std::string name = ReplaceAll(key, "**", "=");
  std::string lookup = key;
  for (const std::string prefix : {"(Resource) ", "(External) "}) {
    if (StartsWith(name, prefix)) {
      name.erase(0, prefix.size());
      lookup.erase(0, prefix.size());
    }
  }
  ExtractPackedFile(lookup, TempFolder + name);
}

void ShuffleList(MediaList& list) {
  std::mt19937_64 random(ClockSeed());
  MediaList shuffled;
  shuffled.reserve(list.size());
  while (!list.empty()) {
    std::uniform_int_distribution<size_t> draw(0, list.size() - 1);
    const size_t index = draw(random);
    shuffled.push_back(std::move(list[index]));
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
  }
  list = std::move(shuffled);
}

bool ResolveMediaItem(std::string& item) {
  MediaPlaces places;
  places.fs = &SystemFileSystem();
  places.package_found = PackageFound;
  places.temp_folder = TempFolder;
  places.exe_folder = ExeFolder;
  places.install_folder = InstallFolder;
  places.extract = ExtractPackedFile;
  return ResolveMediaItemIn(places, item);
}

}  // namespace flashsaver
