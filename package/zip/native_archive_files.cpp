// Archive files on the host for the native build. The owner's write permission stands in for
// the read-only attribute; the other attributes have no equivalent here.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "package/zip/archive_files.h"

namespace flashsaver {
namespace {

namespace stdfs = std::filesystem;

std::string HostPath(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

class NativeInput final : public ArchiveInput {
 public:
  explicit NativeInput(int fd) : fd_(fd) {}
  ~NativeInput() override { ::close(fd_); }
  NativeInput(const NativeInput&) = delete;
  NativeInput& operator=(const NativeInput&) = delete;

  uint64_t Size() override {
    struct stat st;
    return ::fstat(fd_, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
  }
  int64_t ModificationTime() override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return 0;
    return int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
  }
  bool Seek(uint64_t position) override {
    return ::lseek(fd_, static_cast<off_t>(position), SEEK_SET) >= 0;
  }
  size_t Read(uint8_t* buffer, size_t size) override {
    size_t done = 0;
    while (done < size) {
      const ssize_t n = ::read(fd_, buffer + done, size - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    return done;
  }

 private:
  int fd_;
};

timespec FromDosDateTime(uint32_t dos) {
  std::tm t{};
  t.tm_year = static_cast<int>((dos >> 25) & 0x7F) + 80;
  t.tm_mon = static_cast<int>((dos >> 21) & 0x0F) - 1;
  t.tm_mday = static_cast<int>((dos >> 16) & 0x1F);
  t.tm_hour = static_cast<int>((dos >> 11) & 0x1F);
  t.tm_min = static_cast<int>((dos >> 5) & 0x3F);
  t.tm_sec = static_cast<int>(dos & 0x1F) * 2;
  t.tm_isdst = -1;
  timespec ts{};
  ts.tv_sec = std::mktime(&t);
  return ts;
}

class NativeOutput final : public ArchiveOutput {
 public:
  explicit NativeOutput(int fd) : fd_(fd) {}
  ~NativeOutput() override { Close(nullptr); }
  NativeOutput(const NativeOutput&) = delete;
  NativeOutput& operator=(const NativeOutput&) = delete;

  size_t Write(const uint8_t* data, size_t size) override {
    size_t done = 0;
    while (done < size) {
      const ssize_t n = ::write(fd_, data + done, size - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    return done;
  }
  void Close(const FileStamp* stamp) override {
    if (fd_ < 0) return;
    if (stamp) {
      const timespec ts = FromDosDateTime(stamp->dos_date_time);
      const timespec times[2] = {ts, ts};
      ::futimens(fd_, times);
      if (stamp->set_attributes && (stamp->attributes & 0x01)) {
        struct stat st;
        if (::fstat(fd_, &st) == 0) ::fchmod(fd_, st.st_mode & ~mode_t{0222});
      }
    }
    ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

class NativeArchiveFiles final : public ArchiveFiles {
 public:
  std::unique_ptr<ArchiveInput> OpenArchive(const std::string& path) override {
    const int fd = ::open(HostPath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<NativeInput>(fd);
  }

  std::unique_ptr<ArchiveOutput> CreateOutput(const std::string& path) override {
    const std::string host = HostPath(path);
    constexpr int kFlags = O_WRONLY | O_CLOEXEC | O_NOFOLLOW;
    int fd = ::open(host.c_str(), kFlags | O_CREAT | O_EXCL, 0666);
    if (fd < 0 && errno == EEXIST) {
      // Root may write anything, so the read-only mark is tested here, not left to open().
      struct stat st;
      if (::lstat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !(st.st_mode & S_IWUSR)) {
        return nullptr;
      }
      fd = ::open(host.c_str(), kFlags | O_TRUNC);
    }
    if (fd < 0) return nullptr;
    return std::make_unique<NativeOutput>(fd);
  }

  bool RemoveFile(const std::string& path) override {
    return ::unlink(HostPath(path).c_str()) == 0;
  }
  bool FileExists(const std::string& path) override {
    struct stat st;
    return ::stat(HostPath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }
  bool FolderExists(const std::string& path) override {
    struct stat st;
    return ::stat(HostPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  bool CreateFolders(const std::string& path) override {
    std::error_code ec;
    stdfs::create_directories(HostPath(path), ec);
    return FolderExists(path);
  }
};

}  // namespace

ArchiveFiles& SystemArchiveFiles() {
  static NativeArchiveFiles files;
  return files;
}

}  // namespace flashsaver
