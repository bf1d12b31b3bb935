// Host file system for the native build: maps "\" to "/" and has no Windows attributes
// except the write permission, which stands in for read-only.
#include <filesystem>
#include <system_error>

#include "package/file_system.h"

namespace flashsaver {
namespace {

namespace stdfs = std::filesystem;

stdfs::path HostPath(const std::string& path) {
  std::string p = path;
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  return stdfs::path(p);
}

class NativeFileSystem final : public FileSystem {
 public:
  bool FolderExists(const std::string& path) override {
    std::error_code ec;
    return stdfs::is_directory(HostPath(path), ec);
  }
  bool FileExists(const std::string& path) override {
    std::error_code ec;
    return stdfs::is_regular_file(HostPath(path), ec);
  }
  bool CreateFolders(const std::string& path) override {
    std::error_code ec;
    stdfs::create_directories(HostPath(path), ec);
    return stdfs::is_directory(HostPath(path), ec);
  }
  bool ListFiles(const std::string& folder, std::vector<std::string>& names) override {
    std::error_code ec;
    stdfs::directory_iterator it(HostPath(folder), ec);
    if (ec) return false;
    for (; it != stdfs::directory_iterator(); it.increment(ec)) {
      if (ec) return false;
      if (!it->is_directory(ec)) names.push_back(it->path().filename().string());
    }
    return true;
  }
  bool ClearAttributes(const std::string& path) override {
    std::error_code ec;
    stdfs::permissions(HostPath(path), stdfs::perms::owner_read | stdfs::perms::owner_write,
                       stdfs::perm_options::add, ec);
    return !ec;
  }
  bool RemoveFile(const std::string& path) override {
    std::error_code ec;
    return stdfs::remove(HostPath(path), ec) && !ec;
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static NativeFileSystem fs;
  return fs;
}

}  // namespace flashsaver
