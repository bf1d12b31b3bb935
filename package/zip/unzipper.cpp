#include "package/zip/unzipper.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

#include "package/zip/buffered_file_stream.h"
#include "player/swf/byte_reader.h"
#include "package/zip/dos_time.h"
#include "package/zip/entry_decoding.h"
#include "package/zip/output_names.h"
#include "package/zip/zip_errors.h"

namespace flashsaver {
namespace {

// The whole comment (65535) plus the record itself.
constexpr uint64_t kEndSearchWindow = kEndRecordSize + kMaxCommentLength;

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

class WaitCursor {
 public:
  explicit WaitCursor(UnzipHost& host) : host_(host) { host_.BeginWait(); }
  ~WaitCursor() { host_.EndWait(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  UnzipHost& host_;
};

TEndOfCentralDir FindEndRecord(TBufferedFileStream& stream) {
  const uint64_t size = stream.Size();
  if (size < kEndRecordSize) {
    if (size == 0) return TEndOfCentralDir{};
    throw EIncompleteZip();
  }
  const uint64_t window = std::min(kEndSearchWindow, size);
  std::vector<uint8_t> tail(static_cast<size_t>(window));
  stream.Seek(size - window);
  if (stream.Read(tail.data(), tail.size()) != tail.size()) throw EIncompleteZip();
  const std::optional<size_t> at = FindEndSignature(tail.data(), tail.size());
  if (!at) throw EIncompleteZip();
  std::optional<TEndOfCentralDir> end = ParseEndRecord(tail.data() + *at, tail.size() - *at);
  if (!end || !EndRecordAcceptable(*end)) throw EIncompleteZip();
  end->comment_position = size - window + *at + kEndRecordSize;
  return *end;
}

// Reads the central directory, or the directory rebuilt from the local headers.
class DirectoryReader {
 public:
  DirectoryReader(TBufferedFileStream& stream, UnzipHost& host, bool oem_convert,
                  bool process_messages)
      : stream_(stream),
        host_(host),
        oem_convert_(oem_convert),
        process_messages_(process_messages) {}

  // False when the central directory cannot be read and the recovery scan fails too.
  bool Read(TEndOfCentralDir& end, TZipDirectory& directory) {
    if (ReadCentral(end.directory_offset, end.total_entries, directory, false)) return true;
    uint64_t chain_end = 0;
    size_t found = 0;
    if (!ScanLocalHeaders(directory, chain_end, found)) return false;
    end.this_disk = end.directory_disk = 0;
    end.directory_offset = static_cast<uint32_t>(chain_end);
    end.total_entries = static_cast<uint16_t>(std::min<size_t>(found, 0xFFFF));
    end.entries_this_disk = end.total_entries;
    ReadCentral(chain_end, found, directory, true);
    return true;
  }

 private:
  std::optional<TZipEntryInfo> ReadCentralEntry() {
    const uint64_t start = stream_.Position();
    uint8_t fixed[kCentralEntrySize];
    if (stream_.Read(fixed, sizeof fixed) != sizeof fixed) return std::nullopt;
    std::optional<TZipEntryInfo> e = ParseCentralEntry(fixed, sizeof fixed);
    if (!e) return std::nullopt;
    e->central_position = start;
    std::string name(e->name_length, '\0');
    if (stream_.Read(reinterpret_cast<uint8_t*>(name.data()), name.size()) != name.size()) {
      return std::nullopt;
    }
    if (oem_convert_ && e->from_dos_host()) name = host_.OemToAnsi(name);
    SetEntryName(*e, std::move(name));
    stream_.Seek(stream_.Position() + e->extra_length + e->comment_length);
    return e;
  }

  // In merging mode only entries already listed are updated, and the first entry that cannot
  // be read ends the merge.
  bool ReadCentral(uint64_t offset, size_t count, TZipDirectory& directory, bool merging) {
    if (count == 0) return true;
    stream_.Seek(offset);
    TZipDirectory::Key previous_key{};
    uint16_t previous_extra = 0;
    for (size_t i = 0; i < count; ++i) {
      const uint64_t start = stream_.Position();
      std::optional<TZipEntryInfo> e = ReadCentralEntry();
      if (!e && previous_extra != 0) {
        // Some writers declare an extra field they never write: read again as if it were absent.
        if (TZipEntryInfo* listed = directory.Find(previous_key)) listed->extra_length = 0;
        stream_.Seek(start - previous_extra);
        e = ReadCentralEntry();
      }
      if (!e) return merging;
      previous_key = TZipDirectory::KeyOf(*e);
      previous_extra = e->extra_length;
      if (merging) {
        if (TZipEntryInfo* listed = directory.Find(previous_key)) {
          const uint32_t offset_kept = listed->local_offset;
          *listed = std::move(*e);
          listed->local_offset = offset_kept;
        }
      } else if (!directory.Add(std::move(*e))) {
        return false;
      }
    }
    return true;
  }

  // Finds the first local header whose version-needed field looks sane.
  bool FindFirstLocalHeader() {
    static constexpr uint8_t kSignature[4] = {0x50, 0x4B, 0x03, 0x04};
    stream_.Seek(0);
    int matched = 0;
    uint32_t since_messages = 0;
    for (;;) {
      const int b = stream_.ReadByte();
      if (b < 0) return false;
      if (b == kSignature[matched]) {
        if (++matched < 4) continue;
        uint8_t version[2];
        if (stream_.Read(version, 2) != 2) return false;
        if (version[1] < 10) {
          stream_.Seek(stream_.Position() - 6);
          return true;
        }
        matched = 0;
        continue;
      }
      matched = b == kSignature[0] ? 1 : 0;
      if (b != kSignature[0] && ++since_messages >= 10240) {
        since_messages = 0;
        if (process_messages_) host_.ProcessMessages();
      }
    }
  }

  bool ScanLocalHeaders(TZipDirectory& directory, uint64_t& chain_end, size_t& found) {
    directory.Clear();
    if (!FindFirstLocalHeader()) return false;
    for (;;) {
      const uint64_t position = stream_.Position();
      chain_end = position;
      if (position > 0xFFFFFFFFu) break;
      uint8_t fixed[kLocalHeaderSize];
      if (stream_.Read(fixed, sizeof fixed) != sizeof fixed) break;
      std::optional<TZipEntryInfo> e = ParseLocalHeader(fixed, sizeof fixed);
      if (!e) break;
      std::string name(e->name_length, '\0');
      if (stream_.Read(reinterpret_cast<uint8_t*>(name.data()), name.size()) != name.size()) {
        break;
      }
      if (oem_convert_) name = host_.OemToAnsi(name);
      SetEntryName(*e, std::move(name));
      e->local_offset = static_cast<uint32_t>(position);
      const uint64_t next = stream_.Position() + e->compressed_size + e->extra_length +
                            (e->has_descriptor() ? 16 : 0);
      directory.Add(std::move(*e));
      ++found;
      stream_.Seek(next);
    }
    return true;
  }

  TBufferedFileStream& stream_;
  UnzipHost& host_;
  bool oem_convert_;
  bool process_messages_;
};

}  // namespace

TUnZipper::TUnZipper(ArchiveFiles& files, UnzipHost& host) : files_(files), host_(host) {}

TUnZipper::~TUnZipper() = default;

void TUnZipper::SetZipName(const std::string& name) {
  if (SameNameIgnoringCase(name, zip_name_)) return;
  zip_name_ = name;
  held_.reset();
  end_record_ = TEndOfCentralDir{};
}

void TUnZipper::SetDestDir(const std::string& folder) {
  dest_dir_ = folder;
  if (!dest_dir_.empty() && dest_dir_.back() == '\\') dest_dir_.pop_back();
}

std::shared_ptr<const TUnZipper::Held> TUnZipper::ReadDirectory(TBufferedFileStream& stream) {
  auto held = std::make_shared<Held>();
  held->modification_time = stream.ModificationTime();
  held->size = stream.Size();
  held->end = FindEndRecord(stream);
  DirectoryReader reader(stream, host_, oem_convert_, do_process_messages_);
  if (!reader.Read(held->end, held->directory)) throw EBadZipFile();
  return held;
}

int TUnZipper::UnZip() {
  std::shared_ptr<const Held> held;
  std::optional<TBufferedFileStream> stream;
  {
    WaitCursor wait(host_);
    std::unique_ptr<ArchiveInput> file = files_.OpenArchive(zip_name_);
    if (!file) throw EFOpenError(zip_name_);
    stream.emplace(std::move(file));
    // The size is compared as well as the time: a file rewritten within the time's resolution
    // must not be read with the old directory.
    if (held_ && held_->modification_time == stream->ModificationTime() &&
        held_->size == stream->Size()) {
      held = held_;
    } else {
      held_.reset();
      end_record_ = TEndOfCentralDir{};
      held = ReadDirectory(*stream);
      held_ = held;
      end_record_ = held->end;
    }
  }
  if (!do_all_) return 0;
  return ExtractAll(*stream, held->directory);
}

int TUnZipper::ExtractAll(TBufferedFileStream& stream, const TZipDirectory& directory) {
  if (!dest_dir_.empty() && !files_.FolderExists(dest_dir_)) files_.CreateFolders(dest_dir_);
  EntryDecoder decoder(stream, host_, do_process_messages_);
  int count = 0;
  directory.ForEach([&](const TZipEntryInfo& entry) {
    if (entry.file_name.empty()) {
      // A folder entry names only a folder; flat extraction creates none.
      if (!entry.folder.empty() && entry.folder.back() == '\\') ++count;
      return;
    }
    if (!UsableOutputName(entry.file_name)) return;

    stream.Seek(entry.local_offset);
    uint8_t local[kLocalHeaderSize];
    if (stream.Read(local, sizeof local) != sizeof local) throw EFatalUnzipError();
    ByteReader fields(local);
    fields.Skip(26);
    const uint16_t name_length = fields.U16();
    const uint16_t extra_length = fields.U16();
    const uint64_t data_start =
        uint64_t{entry.local_offset} + kLocalHeaderSize + name_length + extra_length;

    const std::string path =
        dest_dir_.empty() ? entry.file_name : dest_dir_ + "\\" + entry.file_name;
    if (entry.encrypted()) return;  // no password is ever given
    if (overwrite_mode_ == TOverwriteMode::Never && files_.FileExists(path)) return;
    std::unique_ptr<ArchiveOutput> out = files_.CreateOutput(path);
    if (!out && !dest_dir_.empty() && !files_.FolderExists(dest_dir_)) {
      files_.CreateFolders(dest_dir_);
      out = files_.CreateOutput(path);
    }
    if (!out) return;

    EntryResult result;
    try {
      stream.Seek(data_start);
      result = decoder.Decode(entry, *out);
    } catch (...) {
      // A file cut short by an error must not pass for the entry's content.
      out->Close(nullptr);
      out.reset();
      files_.RemoveFile(path);
      throw;
    }
    const bool verified =
        !result.too_big && result.crc32 == entry.crc32 && result.written == entry.uncompressed_size;
    if (verified) {
      FileStamp stamp;
      stamp.dos_date_time = ValidDosDateTime(entry.dos_date_time);
      stamp.set_attributes = retain_attributes_;
      stamp.attributes = entry.external_attributes;
      out->Close(&stamp);
      ++count;
    } else {
      out->Close(nullptr);
      out.reset();
      files_.RemoveFile(path);
    }
  });
  return count;
}

}  // namespace flashsaver
