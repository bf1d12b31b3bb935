// The ZIP archive reader: unpacks every entry of an archive on disk flat into one folder.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "package/zip/archive_files.h"
#include "package/zip/unzip_host.h"
#include "package/zip/zip_directory.h"
#include "package/zip/zip_records.h"

namespace flashsaver {

enum class TOverwriteMode { Always, Never };
enum class TSortMode { SortNone };
enum class TIncompleteZipMode { AssumeMulti };

class TBufferedFileStream;

class TUnZipper {
 public:
  TUnZipper(ArchiveFiles& files, UnzipHost& host);
  ~TUnZipper();
  TUnZipper(const TUnZipper&) = delete;
  TUnZipper& operator=(const TUnZipper&) = delete;

  const std::string& ZipName() const { return zip_name_; }
  // A name that differs (case aside) from the current one drops the directory read before.
  void SetZipName(const std::string& name);
  const std::string& DestDir() const { return dest_dir_; }
  // One trailing backslash is removed.
  void SetDestDir(const std::string& folder);
  bool DoAll() const { return do_all_; }
  void SetDoAll(bool value) { do_all_ = value; }
  TOverwriteMode OverwriteMode() const { return overwrite_mode_; }
  void SetOverwriteMode(TOverwriteMode value) { overwrite_mode_ = value; }
  bool RetainAttributes() const { return retain_attributes_; }
  void SetRetainAttributes(bool value) { retain_attributes_ = value; }
  bool DoProcessMessages() const { return do_process_messages_; }
  void SetDoProcessMessages(bool value) { do_process_messages_ = value; }
  bool OEMConvert() const { return oem_convert_; }
  // Takes effect when the directory is read next.
  void SetOEMConvert(bool value) { oem_convert_ = value; }

  // The system never changes these.
  bool RecreateDirs() const { return false; }
  bool ReplaceReadOnly() const { return false; }
  bool KeepZipOpen() const { return false; }
  TSortMode SortMode() const { return TSortMode::SortNone; }
  TIncompleteZipMode IncompleteZipMode() const { return TIncompleteZipMode::AssumeMulti; }
  const std::string& Password() const { return password_; }

  // Extracts every entry into DestDir and returns how many were written and verified (folder
  // entries included). Throws the errors of zip_errors.h.
  int UnZip();

  // The directory held since the last read, if any (entries in key order).
  const TZipDirectory* Directory() const { return held_ ? &held_->directory : nullptr; }
  const TEndOfCentralDir& EndRecord() const { return end_record_; }

 private:
  struct Held {
    TZipDirectory directory;
    TEndOfCentralDir end;
    int64_t modification_time = 0;
    uint64_t size = 0;
  };
  struct WorkBuffers;

  std::shared_ptr<const Held> ReadDirectory(TBufferedFileStream& stream);
  int ExtractAll(TBufferedFileStream& stream, const TZipDirectory& directory);

  ArchiveFiles& files_;
  UnzipHost& host_;
  std::string zip_name_;
  std::string dest_dir_;
  bool do_all_ = false;
  TOverwriteMode overwrite_mode_ = TOverwriteMode::Never;
  bool retain_attributes_ = true;
  bool do_process_messages_ = true;
  bool oem_convert_ = true;
  std::string password_;
  // Shared so that an extraction keeps its directory even if a message handler run between two
  // chunks points the reader at another archive.
  std::shared_ptr<const Held> held_;
  TEndOfCentralDir end_record_;
};

}  // namespace flashsaver
