#include "package/zip/entry_decoding.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "package/zip/legacy_methods.h"
#include "package/zip/write_behind.h"
#include "package/zip/zip_errors.h"

namespace flashsaver {
namespace {

constexpr size_t kInputBufferSize = 32780;
constexpr size_t kOutputBufferSize = 32769;
constexpr size_t kFileBufferSize = 8192;
// Entries from this size on are written by the write-behind thread; for smaller ones handing
// the bytes over would cost more than it overlaps.
constexpr uint64_t kWriteBehindFrom = WriteBehind::kBlockSize;

// The entry's compressed bytes, never more.
class EntryInput final : public CompressedInput {
 public:
  EntryInput(TBufferedFileStream& stream, uint64_t size, UnzipHost& host, bool messages)
      : stream_(stream), remaining_(size), host_(host), messages_(messages) {}

  size_t ReadChunk(uint8_t* buffer, size_t max) override {
    const size_t n =
        static_cast<size_t>(std::min<uint64_t>({remaining_, max, EntryDecoder::kChunkSize}));
    if (n == 0) return 0;
    if (messages_) host_.ProcessMessages();
    if (stream_.Read(buffer, n) != n) throw EFatalUnzipError();
    remaining_ -= n;
    return n;
  }

  uint64_t remaining() const { return remaining_; }

 private:
  TBufferedFileStream& stream_;
  uint64_t remaining_;
  UnzipHost& host_;
  bool messages_;
};

// Size test, CRC and buffered writing of the decoded blocks, directly or through the
// write-behind thread.
class EntryOutput final : public DecodedOutput {
 public:
  EntryOutput(ArchiveOutput& file, uint64_t limit, WriteBehind* behind)
      : file_(file), limit_(limit), behind_(behind) {
    if (behind_) behind_->Start(file_);
  }
  // Whatever ends the entry, the thread is done with the file before it is closed.
  ~EntryOutput() override {
    if (behind_) behind_->Finish();
  }
  EntryOutput(const EntryOutput&) = delete;
  EntryOutput& operator=(const EntryOutput&) = delete;

  void WriteBlock(const uint8_t* data, size_t size) override {
    if (size == 0) return;
    if (size > limit_ - written_) throw EBiggerThanUncompressed();
    crc_ = crc32_z(crc_, data, size);
    written_ += size;
    if (behind_) {
      if (!behind_->Write(data, size)) throw ECantWriteUCF();
      return;
    }
    if (size <= kFileBufferSize - pending_) {
      std::memcpy(buffer_ + pending_, data, size);
      pending_ += size;
      return;
    }
    Flush();
    if (size >= kFileBufferSize) {
      Put(data, size);
    } else {
      std::memcpy(buffer_, data, size);
      pending_ = size;
    }
  }

  void Flush() {
    if (behind_ && !behind_->Finish()) throw ECantWriteUCF();
    if (pending_ == 0) return;
    Put(buffer_, pending_);
    pending_ = 0;
  }

  uint64_t written() const { return written_; }
  uint32_t crc() const { return static_cast<uint32_t>(crc_); }

 private:
  void Put(const uint8_t* data, size_t size) {
    if (file_.Write(data, size) != size) throw ECantWriteUCF();
  }

  ArchiveOutput& file_;
  uint64_t limit_;
  WriteBehind* behind_;
  uint64_t written_ = 0;
  uLong crc_ = crc32_z(0, nullptr, 0);
  uint8_t buffer_[kFileBufferSize];
  size_t pending_ = 0;
};

}  // namespace

struct EntryDecoder::Inflater {
  z_stream z{};
  bool ready = false;
  ~Inflater() {
    if (ready) inflateEnd(&z);
  }
};

EntryDecoder::EntryDecoder(TBufferedFileStream& stream, UnzipHost& host, bool process_messages)
    : stream_(stream),
      host_(host),
      process_messages_(process_messages),
      input_(new uint8_t[kInputBufferSize]),
      output_(new uint8_t[kOutputBufferSize]),
      inflater_(new Inflater) {}

EntryDecoder::~EntryDecoder() = default;

EntryResult EntryDecoder::Decode(const TZipEntryInfo& entry, ArchiveOutput& out) {
  EntryInput in(stream_, entry.compressed_size, host_, process_messages_);
  if (entry.uncompressed_size >= kWriteBehindFrom && !write_behind_) {
    write_behind_ = std::make_unique<WriteBehind>();
  }
  EntryOutput sink(out, entry.uncompressed_size,
                   entry.uncompressed_size >= kWriteBehindFrom ? write_behind_.get() : nullptr);
  EntryResult result;
  try {
    switch (entry.method) {
      case 0:
        while (const size_t n = in.ReadChunk(input_.get(), kChunkSize)) {
          sink.WriteBlock(input_.get(), n);
        }
        break;
      case 8: {
        Inflater& inf = *inflater_;
        if (!inf.ready) {
          if (inflateInit2(&inf.z, -MAX_WBITS) != Z_OK) {
            host_.ShowMessage("*** inflate out of memory ***", "Error");
            break;
          }
          inf.ready = true;
        } else {
          inflateReset(&inf.z);
        }
        z_stream& z = inf.z;
        z.avail_in = 0;
        for (;;) {
          if (z.avail_in == 0) {
            z.next_in = input_.get();
            z.avail_in = static_cast<uInt>(in.ReadChunk(input_.get(), kChunkSize));
          }
          z.next_out = output_.get();
          z.avail_out = kChunkSize;
          const uInt had_in = z.avail_in;
          const int status = inflate(&z, Z_NO_FLUSH);
          const size_t produced = kChunkSize - z.avail_out;
          sink.WriteBlock(output_.get(), produced);
          if (status == Z_STREAM_END) break;
          if (status == Z_MEM_ERROR) host_.ShowMessage("*** inflate out of memory ***", "Error");
          if (status != Z_OK && status != Z_BUF_ERROR) break;  // the CRC test judges the entry
          // No progress possible: the data ran out before the stream's end.
          if (produced == 0 && z.avail_in == had_in && in.remaining() == 0) break;
        }
        break;
      }
      case 1:
        Unshrink(in, sink, entry.uncompressed_size);
        break;
      case 2:
      case 3:
      case 4:
      case 5:
        Expand(in, sink, entry.method - 1, entry.uncompressed_size);
        break;
      case 6:
        Explode(in, sink, entry.flags, entry.uncompressed_size);
        break;
      default:
        host_.ShowMessage("Unknown Compression Method", "Zip Error");
        break;
    }
  } catch (const EBiggerThanUncompressed&) {
    result.too_big = true;
  }
  sink.Flush();
  result.written = sink.written();
  result.crc32 = sink.crc();
  return result;
}

}  // namespace flashsaver
