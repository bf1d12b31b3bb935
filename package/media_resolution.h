// The resolution rules of media items over what they depend on, so that tests can give them
// a file system and a package of their own.
#pragma once

#include <functional>
#include <string>

#include "package/file_system.h"

namespace flashsaver {

struct MediaPlaces {
  FileSystem* fs = nullptr;
  bool package_found = false;
  std::string temp_folder;
  std::string exe_folder;
  std::string install_folder;
  // Cuts the packed file of key out to the destination path; may throw.
  std::function<void(const std::string& key, const std::string& dest_path)> extract;
};

bool ResolveMediaItemIn(const MediaPlaces& places, std::string& item);

}  // namespace flashsaver
