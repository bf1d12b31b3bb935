// Decoding one entry's data: input in chunks, output in blocks that are size-checked, summed
// and written.
#pragma once

#include <cstdint>
#include <memory>

#include "package/zip/archive_files.h"
#include "package/zip/buffered_file_stream.h"
#include "package/zip/unzip_host.h"
#include "package/zip/zip_records.h"

namespace flashsaver {

class WriteBehind;

struct EntryResult {
  uint64_t written = 0;
  uint32_t crc32 = 0;
  bool too_big = false;  // decoding ended at a block beyond the uncompressed size
};

// Holds the work buffers and the Deflate state for a whole extraction.
class EntryDecoder {
 public:
  static constexpr size_t kChunkSize = 32768;

  EntryDecoder(TBufferedFileStream& stream, UnzipHost& host, bool process_messages);
  ~EntryDecoder();
  EntryDecoder(const EntryDecoder&) = delete;
  EntryDecoder& operator=(const EntryDecoder&) = delete;

  // Decodes the entry whose data start at the stream's position into out. Throws
  // EFatalUnzipError when the archive ends inside the data and ECantWriteUCF when the file
  // takes fewer bytes than written; a block beyond the uncompressed size ends the entry with
  // too_big set.
  EntryResult Decode(const TZipEntryInfo& entry, ArchiveOutput& out);

 private:
  struct Inflater;

  TBufferedFileStream& stream_;
  UnzipHost& host_;
  bool process_messages_;
  std::unique_ptr<uint8_t[]> input_;   // 32780 bytes
  std::unique_ptr<uint8_t[]> output_;  // 32769 bytes
  std::unique_ptr<Inflater> inflater_;
  std::unique_ptr<WriteBehind> write_behind_;  // made for the first large entry
};

}  // namespace flashsaver
