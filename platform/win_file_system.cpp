// The Windows file system through the ANSI calls, as the rest of the program uses ANSI text.
#include <windows.h>

#include "package/file_system.h"
#include "platform/unique_handle.h"

namespace flashsaver {
namespace {

bool Attributes(const std::string& path, DWORD& attributes) {
  attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES;
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

class WinFileSystem final : public FileSystem {
 public:
  bool FolderExists(const std::string& path) override {
    DWORD a;
    return Attributes(WithoutTrailingSlash(path), a) && (a & FILE_ATTRIBUTE_DIRECTORY);
  }
  bool FileExists(const std::string& path) override {
    DWORD a;
    return Attributes(path, a) && !(a & FILE_ATTRIBUTE_DIRECTORY);
  }
  bool CreateFolders(const std::string& path) override {
    const std::string target = WithoutTrailingSlash(path);
    if (FolderExists(target)) return true;
    const size_t cut = target.find_last_of("\\/");
    if (cut != std::string::npos && cut > 2) CreateFolders(target.substr(0, cut));
    return ::CreateDirectoryA(target.c_str(), nullptr) != FALSE || FolderExists(target);
  }
  bool ListFiles(const std::string& folder, std::vector<std::string>& names) override {
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\') pattern += '\\';
    pattern += "*.*";
    WIN32_FIND_DATAA data;
    UniqueFind find(::FindFirstFileA(pattern.c_str(), &data));
    if (!find) return false;
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(data.cFileName);
    } while (::FindNextFileA(find.get(), &data));
    return true;
  }
  bool ClearAttributes(const std::string& path) override {
    return ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL) != FALSE;
  }
  bool RemoveFile(const std::string& path) override { return ::DeleteFileA(path.c_str()) != FALSE; }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static WinFileSystem fs;
  return fs;
}

}  // namespace flashsaver
