// An in-memory file system for tests of the portable core: folders and files by their Windows
// path, with a read-only mark.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "package/file_system.h"

namespace flashsaver {

class MemoryFileSystem final : public FileSystem {
 public:
  struct File {
    std::string data;
    bool read_only = false;
  };

  void AddFolder(const std::string& path) { folders_.insert(Trimmed(path)); }
  void AddFile(const std::string& path, const std::string& data = "x", bool read_only = false) {
    files_[path] = {data, read_only};
  }
  const File* Find(const std::string& path) const {
    auto it = files_.find(path);
    return it == files_.end() ? nullptr : &it->second;
  }
  const std::map<std::string, File>& files() const { return files_; }

  bool FolderExists(const std::string& path) override { return folders_.count(Trimmed(path)) > 0; }
  bool FileExists(const std::string& path) override { return files_.count(path) > 0; }
  bool CreateFolders(const std::string& path) override {
    AddFolder(path);
    return true;
  }
  bool ListFiles(const std::string& folder, std::vector<std::string>& names) override {
    const std::string prefix = Trimmed(folder) + "\\";
    for (const auto& [path, file] : files_) {
      if (path.compare(0, prefix.size(), prefix) == 0 &&
          path.find('\\', prefix.size()) == std::string::npos) {
        names.push_back(path.substr(prefix.size()));
      }
    }
    return true;
  }
  bool ClearAttributes(const std::string& path) override {
    auto it = files_.find(path);
    if (it == files_.end()) return false;
    it->second.read_only = false;
    return true;
  }
  bool RemoveFile(const std::string& path) override { return files_.erase(path) > 0; }
  std::unique_ptr<ReadableFile> OpenForReading(const std::string& path) override;
  std::unique_ptr<WritableFile> CreateReplacing(const std::string& path) override;
  bool CopyReplacing(const std::string& from, const std::string& to) override {
    auto it = files_.find(from);
    if (it == files_.end()) return false;
    files_[to] = {it->second.data, false};
    return true;
  }
  bool MoveReplacing(const std::string& from, const std::string& to) override {
    auto it = files_.find(from);
    if (it == files_.end()) return false;
    File moved = it->second;
    files_.erase(it);
    files_[to] = moved;
    return true;
  }

 private:
  static std::string Trimmed(std::string path) {
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
  }

  std::set<std::string> folders_;
  std::map<std::string, File> files_;
};

class MemoryReadableFile final : public ReadableFile {
 public:
  explicit MemoryReadableFile(std::string data) : data_(std::move(data)) {}
  uint64_t Size() override { return data_.size(); }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
    ++reads;
    largest_read = std::max(largest_read, size);
    if (offset > data_.size() || size > data_.size() - offset) return false;
    data_.copy(static_cast<char*>(buffer), size, static_cast<size_t>(offset));
    return true;
  }
  int reads = 0;
  size_t largest_read = 0;

 private:
  std::string data_;
};

class MemoryWritableFile final : public WritableFile {
 public:
  explicit MemoryWritableFile(std::string* target, size_t fail_after = SIZE_MAX)
      : target_(target), fail_after_(fail_after) {}
  bool Write(const void* data, size_t size) override {
    if (!target_ || target_->size() + size > fail_after_) return false;
    target_->append(static_cast<const char*>(data), size);
    return true;
  }
  bool Close() override {
    const bool was_open = target_ != nullptr;
    target_ = nullptr;
    return was_open;
  }

 private:
  std::string* target_;
  size_t fail_after_;
};

inline std::unique_ptr<ReadableFile> MemoryFileSystem::OpenForReading(const std::string& path) {
  auto it = files_.find(path);
  if (it == files_.end()) return nullptr;
  return std::make_unique<MemoryReadableFile>(it->second.data);
}

inline std::unique_ptr<WritableFile> MemoryFileSystem::CreateReplacing(const std::string& path) {
  auto it = files_.find(path);
  if (it != files_.end() && it->second.read_only) return nullptr;
  File& file = files_[path];
  file.data.clear();
  return std::make_unique<MemoryWritableFile>(&file.data);
}

}  // namespace flashsaver
