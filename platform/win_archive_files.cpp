// Archive files through the ANSI file calls.
#include <windows.h>

#include <algorithm>

#include "package/zip/archive_files.h"
#include "platform/unique_handle.h"

namespace flashsaver {
namespace {

class WinInput final : public ArchiveInput {
 public:
  explicit WinInput(UniqueFile file) : file_(std::move(file)) {}

  uint64_t Size() override {
    LARGE_INTEGER size;
    return ::GetFileSizeEx(file_.get(), &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
  }
  int64_t ModificationTime() override {
    FILETIME written;
    if (!::GetFileTime(file_.get(), nullptr, nullptr, &written)) return 0;
    return (int64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime;
  }
  bool Seek(uint64_t position) override {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(position);
    return ::SetFilePointerEx(file_.get(), to, nullptr, FILE_BEGIN) != FALSE;
  }
  size_t Read(uint8_t* buffer, size_t size) override {
    size_t done = 0;
    while (done < size) {
      const DWORD ask = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
      DWORD got = 0;
      if (!::ReadFile(file_.get(), buffer + done, ask, &got, nullptr) || got == 0) break;
      done += got;
    }
    return done;
  }

 private:
  UniqueFile file_;
};

// The attributes a plain file can be given; others (directory, device, ...) and the host bits
// of archives made elsewhere are dropped.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

class WinOutput final : public ArchiveOutput {
 public:
  WinOutput(UniqueFile file, std::string path) : file_(std::move(file)), path_(std::move(path)) {}
  ~WinOutput() override { Close(nullptr); }

  size_t Write(const uint8_t* data, size_t size) override {
    size_t done = 0;
    while (done < size) {
      const DWORD ask = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
      DWORD put = 0;
      if (!::WriteFile(file_.get(), data + done, ask, &put, nullptr) || put == 0) break;
      done += put;
    }
    return done;
  }
  void Close(const FileStamp* stamp) override {
    if (!file_) return;
    if (stamp) {
      FILETIME local, utc;
      if (::DosDateTimeToFileTime(static_cast<WORD>(stamp->dos_date_time >> 16),
                                  static_cast<WORD>(stamp->dos_date_time), &local) &&
          ::LocalFileTimeToFileTime(&local, &utc)) {
        ::SetFileTime(file_.get(), nullptr, nullptr, &utc);
      }
    }
    file_.reset();
    if (stamp && stamp->set_attributes) {
      DWORD attributes = stamp->attributes & kSettableAttributes;
      if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
      ::SetFileAttributesA(path_.c_str(), attributes);
    }
  }

 private:
  UniqueFile file_;
  std::string path_;
};

bool Attributes(const std::string& path, DWORD& attributes) {
  attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES;
}

class WinArchiveFiles final : public ArchiveFiles {
 public:
  std::unique_ptr<ArchiveInput> OpenArchive(const std::string& path) override {
    UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return nullptr;
    return std::make_unique<WinInput>(std::move(file));
  }
  std::unique_ptr<ArchiveOutput> CreateOutput(const std::string& path) override {
    // Tested here rather than left to CREATE_ALWAYS: under Wine an administrator may replace a
    // read-only file.
    DWORD existing;
    if (Attributes(path, existing) &&
        (existing & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
      return nullptr;
    }
    UniqueFile file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    return std::make_unique<WinOutput>(std::move(file), path);
  }
  bool RemoveFile(const std::string& path) override { return ::DeleteFileA(path.c_str()) != FALSE; }
  bool FileExists(const std::string& path) override {
    DWORD a;
    return Attributes(path, a) && !(a & FILE_ATTRIBUTE_DIRECTORY);
  }
  bool FolderExists(const std::string& path) override {
    DWORD a;
    return Attributes(path, a) && (a & FILE_ATTRIBUTE_DIRECTORY);
  }
  bool CreateFolders(const std::string& path) override {
    if (FolderExists(path)) return true;
    const size_t cut = path.find_last_of("\\/");
    if (cut != std::string::npos && cut > 2) CreateFolders(path.substr(0, cut));
    return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE || FolderExists(path);
  }
};

}  // namespace

ArchiveFiles& SystemArchiveFiles() {
  static WinArchiveFiles files;
  return files;
}

}  // namespace flashsaver
