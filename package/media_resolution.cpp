#include "package/media_resolution.h"

#include "package/payload.h"

namespace flashsaver {
namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool RemovePrefix(std::string& text, const std::string& prefix) {
  if (!StartsWith(text, prefix)) return false;
  text.erase(0, prefix.size());
  return true;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The item becomes its copy in the temporary folder, cut out of the package the first time.
bool PackageLookup(const MediaPlaces& places, std::string& item, const std::string& key) {
  const std::string name = FileNameOfPath(item);
  item = places.temp_folder + name;
  // "/" would lead out of the temporary folder; such a name is never packed.
  if (name.find('/') != std::string::npos) return false;
  if (!places.fs->FileExists(item)) {
    try {
      places.extract(key, item);
    } catch (...) {
      // A movie that cannot be unpacked is just not available.
    }
  }
  if (!places.fs->FileExists(item)) return false;
  places.fs->ClearAttributes(item);
  return true;
}

bool DiskSearch(const MediaPlaces& places, std::string& item) {
  FileSystem& fs = *places.fs;
  if (item.find(':') == std::string::npos) item = places.exe_folder + "sample\\" + item;
  if (fs.FileExists(item)) return true;
  const std::string name = FileNameOfPath(item);
  for (const std::string& candidate :
       {places.install_folder + name, places.install_folder + "sample\\" + name,
        places.exe_folder + name}) {
    if (fs.FileExists(candidate)) {
      item = candidate;
      return true;
    }
  }
  return false;
}

}  // namespace

bool ResolveMediaItemIn(const MediaPlaces& places, std::string& item) {
  FileSystem& fs = *places.fs;
  const std::string key = FileNameOfPath(item);
  item = ReplaceAll(item, "**", "=");
  if (item.empty()) return false;
  if (item.find("://") != std::string::npos) {
    RemovePrefix(item, "(URL) ");
    return true;
  }
  if (item.back() == '\\') {
    if (fs.FolderExists(item)) return true;
    RemovePrefix(item, "(Favorites) ");
    return fs.FolderExists(item);
  }
  if (RemovePrefix(item, "(URL) ")) return fs.FileExists(item);
  if (RemovePrefix(item, "(File) ")) {
    return places.package_found ? PackageLookup(places, item, key) : fs.FileExists(item);
  }
  for (const char* side : {"(Resource) ", "(External) "}) {
    if (StartsWith(item, side)) return fs.FileExists(item.substr(std::string(side).size()));
  }
  return places.package_found ? PackageLookup(places, item, key) : DiskSearch(places, item);
}

}  // namespace flashsaver
