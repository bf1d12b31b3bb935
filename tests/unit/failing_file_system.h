// The host file system with faults on request: a write that stops part-way or throws, a close
// that fails, a rename that fails, a file that exists but cannot be opened.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "package/file_system.h"

namespace flashsaver {

class FailingFileSystem final : public FileSystem {
 public:
  // Writes fail once this many bytes in all have been written; negative: never.
  long long bytes_before_write_failure = -1;
  bool write_throws = false;
  bool close_fails = false;
  bool move_fails = false;
  bool open_for_reading_fails = false;
  // Files opened for reading report this size when it is not 0.
  uint64_t reported_size = 0;

  bool FolderExists(const std::string& path) override { return host_.FolderExists(path); }
  bool FileExists(const std::string& path) override { return host_.FileExists(path); }
  bool CreateFolders(const std::string& path) override { return host_.CreateFolders(path); }
  bool ListFiles(const std::string& folder, std::vector<std::string>& names) override {
    return host_.ListFiles(folder, names);
  }
  bool ClearAttributes(const std::string& path) override { return host_.ClearAttributes(path); }
  bool RemoveFile(const std::string& path) override { return host_.RemoveFile(path); }
  std::unique_ptr<ReadableFile> OpenForReading(const std::string& path) override {
    if (open_for_reading_fails) return nullptr;
    std::unique_ptr<ReadableFile> file = host_.OpenForReading(path);
    if (!file || reported_size == 0) return file;
    return std::make_unique<Sized>(std::move(file), reported_size);
  }
  std::unique_ptr<WritableFile> CreateReplacing(const std::string& path) override {
    std::unique_ptr<WritableFile> file = host_.CreateReplacing(path);
    if (!file) return nullptr;
    return std::make_unique<File>(*this, std::move(file));
  }
  bool CopyReplacing(const std::string& from, const std::string& to) override {
    return host_.CopyReplacing(from, to);
  }
  bool MoveReplacing(const std::string& from, const std::string& to) override {
    return !move_fails && host_.MoveReplacing(from, to);
  }

 private:
  class Sized final : public ReadableFile {
   public:
    Sized(std::unique_ptr<ReadableFile> file, uint64_t size)
        : file_(std::move(file)), size_(size) {}
    uint64_t Size() override { return size_; }
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
      return file_->ReadAt(offset, buffer, size);
    }

   private:
    std::unique_ptr<ReadableFile> file_;
    uint64_t size_;
  };

  class File final : public WritableFile {
   public:
    File(FailingFileSystem& fs, std::unique_ptr<WritableFile> file)
        : fs_(fs), file_(std::move(file)) {}
    bool Write(const void* data, size_t size) override {
      if (fs_.write_throws) throw std::runtime_error("the device was removed");
      long long& left = fs_.bytes_before_write_failure;
      if (left >= 0 && static_cast<unsigned long long>(left) < size) {
        // The bytes that fit reach the file, as on a disk that fills up.
        file_->Write(data, static_cast<size_t>(left));
        left = 0;
        return false;
      }
      if (left >= 0) left -= static_cast<long long>(size);
      return file_->Write(data, size);
    }
    bool Close() override { return file_->Close() && !fs_.close_fails; }

   private:
    FailingFileSystem& fs_;
    std::unique_ptr<WritableFile> file_;
  };

  FileSystem& host_ = SystemFileSystem();
};

}  // namespace flashsaver
