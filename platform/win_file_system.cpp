// The Windows file system through the ANSI calls, as the rest of the program uses ANSI text.
#include <windows.h>

#include "package/file_system.h"
#include "platform/unique_handle.h"

#include <memory>
#include <utility>

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

class WinReadableFile final : public ReadableFile {
 public:
  explicit WinReadableFile(UniqueFile file) : file_(std::move(file)) {}
  uint64_t Size() override {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file_.get(), &size)) return 0;
    return static_cast<uint64_t>(size.QuadPart);
  }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(file_.get(), position, nullptr, FILE_BEGIN)) return false;
    auto* out = static_cast<char*>(buffer);
    while (size > 0) {
      const DWORD want = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
      DWORD got = 0;
      if (!::ReadFile(file_.get(), out, want, &got, nullptr) || got == 0) return false;
      out += got;
      size -= got;
    }
    return true;
  }

 private:
  UniqueFile file_;
};

class WinWritableFile final : public WritableFile {
 public:
  explicit WinWritableFile(UniqueFile file) : file_(std::move(file)) {}
  bool Write(const void* data, size_t size) override {
    if (!file_) return false;
    const auto* in = static_cast<const char*>(data);
    while (size > 0) {
      const DWORD want = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
      DWORD done = 0;
      if (!::WriteFile(file_.get(), in, want, &done, nullptr) || done != want) return false;
      in += done;
      size -= done;
    }
    return true;
  }
  bool Close() override {
    if (!file_) return false;
    return ::CloseHandle(file_.release()) != FALSE;
  }

 private:
  UniqueFile file_;
};

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
  std::unique_ptr<ReadableFile> OpenForReading(const std::string& path) override {
    UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    return std::make_unique<WinReadableFile>(std::move(file));
  }
  std::unique_ptr<WritableFile> CreateReplacing(const std::string& path) override {
    UniqueFile file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    return std::make_unique<WinWritableFile>(std::move(file));
  }
  bool CopyReplacing(const std::string& from, const std::string& to) override {
    return ::CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
  }
  bool MoveReplacing(const std::string& from, const std::string& to) override {
    return ::MoveFileExA(from.c_str(), to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static WinFileSystem fs;
  return fs;
}

}  // namespace flashsaver
