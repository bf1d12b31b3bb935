// The files the archive reader touches, behind one interface: the Windows build uses the
// system's calls, the native build the host's. Paths are Windows paths ("\" separators).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace flashsaver {

// An archive opened for reading with other writers denied.
class ArchiveInput {
 public:
  virtual ~ArchiveInput() = default;
  virtual uint64_t Size() = 0;
  // The last-write time in the system's own units; only compared for equality.
  virtual int64_t ModificationTime() = 0;
  virtual bool Seek(uint64_t position) = 0;
  // Reads at the current position; fewer bytes only at the end of the file or on an error.
  virtual size_t Read(uint8_t* buffer, size_t size) = 0;
};

// What an extracted file gets when it is finished.
struct FileStamp {
  uint32_t dos_date_time = 0;  // date in the high word, time in the low word
  bool set_attributes = false;
  uint32_t attributes = 0;  // the entry's external attributes
};

// A newly created output file.
class ArchiveOutput {
 public:
  virtual ~ArchiveOutput() = default;
  // Returns the number of bytes the file took.
  virtual size_t Write(const uint8_t* data, size_t size) = 0;
  // Closes the file; with a stamp also sets its modification time and attributes.
  virtual void Close(const FileStamp* stamp) = 0;
};

class ArchiveFiles {
 public:
  virtual ~ArchiveFiles() = default;
  // nullptr when the file cannot be opened.
  virtual std::unique_ptr<ArchiveInput> OpenArchive(const std::string& path) = 0;
  // Creates the file, replacing an existing one unless that one is read-only. Never follows a
  // link out of the folder. nullptr when the file cannot be created.
  virtual std::unique_ptr<ArchiveOutput> CreateOutput(const std::string& path) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool FolderExists(const std::string& path) = 0;
  // Creates the folder and every missing parent; true when it exists afterwards.
  virtual bool CreateFolders(const std::string& path) = 0;
};

// The implementation the build chose for this platform.
ArchiveFiles& SystemArchiveFiles();

}  // namespace flashsaver
