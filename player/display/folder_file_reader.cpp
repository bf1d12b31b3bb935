#include "player/display/folder_file_reader.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace flashsaver {

MoviePlayer::FileReader FolderFileReader(const std::string& folder) {
  return [folder = std::filesystem::path(folder)](
             const std::string& path) -> std::optional<std::vector<uint8_t>> {
    if (folder.empty()) return std::nullopt;
    std::string relative = path;
    for (char& c : relative) {
      if (c == '\\') c = '/';
    }
    std::error_code error;
    const std::filesystem::path full = folder / std::filesystem::u8path(relative).relative_path();
    if (!std::filesystem::is_regular_file(full, error) || error) return std::nullopt;
    const uintmax_t size = std::filesystem::file_size(full, error);
    if (error || size > kMaxLoadedFileBytes) return std::nullopt;
    std::ifstream in(full, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (size &&
        !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
      return std::nullopt;
    }
    return bytes;
  };
}

std::string MovieFolderOf(const std::string& movie) {
  if (movie.find("://") != std::string::npos) return {};
  const size_t slash = movie.find_last_of("/\\");
  if (slash == std::string::npos) return {};
  return movie.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace flashsaver
