#include "tools/saverpack/zip_writer.h"

#include <zlib.h>

#include <ctime>
#include <limits>
#include <sstream>
#include <stdexcept>

namespace saverpack {
namespace {

constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint64_t kLimit = std::numeric_limits<uint32_t>::max();
constexpr size_t kChunk = 1 << 16;

void Put16(std::string& s, uint16_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>(v >> 8);
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, static_cast<uint16_t>(v & 0xFFFF));
  Put16(s, static_cast<uint16_t>(v >> 16));
}

void Write(std::ostream& out, const std::string& bytes) {
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write the archive");
}

}  // namespace

uint32_t DosNow() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
#ifdef _WIN32
  localtime_s(&t, &now);
#else
  localtime_r(&now, &t);
#endif
  const uint32_t date =
      static_cast<uint32_t>(((t.tm_year - 80) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday);
  const uint32_t time = static_cast<uint32_t>((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
  return (date << 16) | time;
}

ZipWriter::ZipWriter(std::ostream& out) : out_(out), base_(out.tellp()) {
  if (base_ < 0) throw std::runtime_error("the archive's stream cannot seek");
}

uint64_t ZipWriter::Position() { return static_cast<uint64_t>(out_.tellp() - base_); }

void ZipWriter::Add(const std::string& name, std::istream& data, const ZipEntryOptions& options) {
  Entry e;
  e.name = name;
  e.method = options.deflate ? 8 : 0;
  e.dos_time = options.dos_time ? options.dos_time : DosNow();
  e.attributes = options.read_only ? 0x21 : 0x20;
  e.local_offset = Position();
  if (e.local_offset > kLimit) throw std::runtime_error("archive too large");

  // The sizes and CRC are patched in once the data is written.
  std::string header;
  Put32(header, kLocalSignature);
  Put16(header, 20);
  Put16(header, 0);
  Put16(header, e.method);
  Put32(header, e.dos_time);
  Put32(header, 0);
  Put32(header, 0);
  Put32(header, 0);
  Put16(header, static_cast<uint16_t>(name.size()));
  Put16(header, 0);
  header += name;
  Write(out_, header);

  z_stream z{};
  if (options.deflate &&
      deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("zlib cannot start");
  }
  std::string in(kChunk, '\0');
  std::string out(kChunk, '\0');
  uLong crc = crc32(0, nullptr, 0);
  bool finished = false;
  while (!finished) {
    data.read(in.data(), static_cast<std::streamsize>(in.size()));
    const auto got = static_cast<size_t>(data.gcount());
    if (data.bad()) throw std::runtime_error("cannot read " + name);
    const bool last = got < in.size();
    crc = crc32(crc, reinterpret_cast<const Bytef*>(in.data()), static_cast<uInt>(got));
    e.size += got;
    if (!options.deflate) {
      out_.write(in.data(), static_cast<std::streamsize>(got));
      e.compressed += got;
      finished = last;
      continue;
    }
    z.next_in = reinterpret_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(got);
    int rc;
    do {
      z.next_out = reinterpret_cast<Bytef*>(out.data());
      z.avail_out = static_cast<uInt>(out.size());
      rc = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
      const size_t produced = out.size() - z.avail_out;
      out_.write(out.data(), static_cast<std::streamsize>(produced));
      e.compressed += produced;
    } while (z.avail_out == 0 || (last && rc != Z_STREAM_END));
    finished = last;
  }
  if (options.deflate) deflateEnd(&z);
  if (!out_) throw std::runtime_error("cannot write the archive");
  if (e.size > kLimit || e.compressed > kLimit) throw std::runtime_error(name + " is too large");
  e.crc = static_cast<uint32_t>(crc);

  const std::streamoff end = out_.tellp();
  std::string sizes;
  Put32(sizes, e.crc);
  Put32(sizes, static_cast<uint32_t>(e.compressed));
  Put32(sizes, static_cast<uint32_t>(e.size));
  out_.seekp(base_ + static_cast<std::streamoff>(e.local_offset) + 14);
  Write(out_, sizes);
  out_.seekp(end);
  entries_.push_back(e);
}

void ZipWriter::AddBytes(const std::string& name, const std::string& data,
                         const ZipEntryOptions& options) {
  std::istringstream in(data);
  Add(name, in, options);
}

void ZipWriter::Finish() {
  const uint64_t directory = Position();
  std::string central;
  for (const Entry& e : entries_) {
    Put32(central, kCentralSignature);
    Put16(central, 20);  // made by MS-DOS, version 2.0
    Put16(central, 20);
    Put16(central, 0);
    Put16(central, e.method);
    Put32(central, e.dos_time);
    Put32(central, e.crc);
    Put32(central, static_cast<uint32_t>(e.compressed));
    Put32(central, static_cast<uint32_t>(e.size));
    Put16(central, static_cast<uint16_t>(e.name.size()));
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put32(central, e.attributes);
    Put32(central, static_cast<uint32_t>(e.local_offset));
    central += e.name;
  }
  if (directory + central.size() > kLimit || entries_.size() > 0xFFFF) {
    throw std::runtime_error("archive too large");
  }
  const auto directory_size = static_cast<uint32_t>(central.size());
  Put32(central, kEndSignature);
  Put16(central, 0);
  Put16(central, 0);
  Put16(central, static_cast<uint16_t>(entries_.size()));
  Put16(central, static_cast<uint16_t>(entries_.size()));
  Put32(central, directory_size);
  Put32(central, static_cast<uint32_t>(directory));
  Put16(central, 0);
  Write(out_, central);
}

}  // namespace saverpack
