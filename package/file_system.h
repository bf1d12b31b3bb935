// The file operations the portable core needs, behind one interface so that the core runs
// natively in tests. Paths are Windows paths ("\" separators) everywhere; the native
// implementation maps them onto the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace flashsaver {

// An open file read at explicit offsets.
class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  virtual uint64_t Size() = 0;
  // Reads exactly size bytes at offset; false when fewer arrive.
  virtual bool ReadAt(uint64_t offset, void* buffer, size_t size) = 0;
};

// A file being written from its start.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  // False when not every byte was taken.
  virtual bool Write(const void* data, size_t size) = 0;
  // Flushes and closes; false when data may be lost. Further writes fail.
  virtual bool Close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual bool FolderExists(const std::string& path) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // Creates the folder and every missing parent; true when it exists afterwards.
  virtual bool CreateFolders(const std::string& path) = 0;
  // Names (not paths) of the plain files in a folder: no "." or "..", no sub-folders.
  // False when the folder cannot be listed.
  virtual bool ListFiles(const std::string& folder, std::vector<std::string>& names) = 0;
  // Clears read-only, hidden and system marks so that the file can be deleted.
  virtual bool ClearAttributes(const std::string& path) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  // Opens for reading while others may read and write the file; null when it cannot be opened.
  virtual std::unique_ptr<ReadableFile> OpenForReading(const std::string& path) = 0;
  // Creates the file, replacing an existing one; null when it cannot be created.
  virtual std::unique_ptr<WritableFile> CreateReplacing(const std::string& path) = 0;
  // Copies a file, replacing the target.
  virtual bool CopyReplacing(const std::string& from, const std::string& to) = 0;
  // Renames from to to, replacing an existing to in one step, so that to is never seen
  // half-written.
  virtual bool MoveReplacing(const std::string& from, const std::string& to) = 0;
};

// The implementation the build chose for this platform.
FileSystem& SystemFileSystem();

}  // namespace flashsaver
