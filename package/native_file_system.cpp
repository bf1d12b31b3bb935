// Host file system for the native build: maps "\" to "/" and has no Windows attributes
// except the write permission, which stands in for read-only.
#include <cstdio>
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

class NativeReadableFile final : public ReadableFile {
 public:
  explicit NativeReadableFile(std::FILE* f) : f_(f) {}
  ~NativeReadableFile() override { std::fclose(f_); }
  uint64_t Size() override {
    if (std::fseek(f_, 0, SEEK_END) != 0) return 0;
    const long size = std::ftell(f_);
    return size < 0 ? 0 : static_cast<uint64_t>(size);
  }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
    if (std::fseek(f_, static_cast<long>(offset), SEEK_SET) != 0) return false;
    return std::fread(buffer, 1, size, f_) == size;
  }

 private:
  std::FILE* f_;
};

class NativeWritableFile final : public WritableFile {
 public:
  explicit NativeWritableFile(std::FILE* f) : f_(f) {}
  ~NativeWritableFile() override { Close(); }
  bool Write(const void* data, size_t size) override {
    return f_ && std::fwrite(data, 1, size, f_) == size;
  }
  bool Close() override {
    if (!f_) return false;
    const bool ok = std::fclose(f_) == 0;
    f_ = nullptr;
    return ok;
  }

 private:
  std::FILE* f_;
};

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
  std::unique_ptr<ReadableFile> OpenForReading(const std::string& path) override {
    if (!FileExists(path)) return nullptr;
    std::FILE* f = std::fopen(HostPath(path).c_str(), "rb");
    if (!f) return nullptr;
    return std::make_unique<NativeReadableFile>(f);
  }
  std::unique_ptr<WritableFile> CreateReplacing(const std::string& path) override {
    std::FILE* f = std::fopen(HostPath(path).c_str(), "wb");
    if (!f) return nullptr;
    return std::make_unique<NativeWritableFile>(f);
  }
  bool CopyReplacing(const std::string& from, const std::string& to) override {
    std::error_code ec;
    return stdfs::copy_file(HostPath(from), HostPath(to), stdfs::copy_options::overwrite_existing,
                            ec) &&
           !ec;
  }
  bool MoveReplacing(const std::string& from, const std::string& to) override {
    std::error_code ec;
    stdfs::rename(HostPath(from), HostPath(to), ec);
    return !ec;
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static NativeFileSystem fs;
  return fs;
}

}  // namespace flashsaver
