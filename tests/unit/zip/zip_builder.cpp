#include "tests/unit/zip/zip_builder.h"

#include <zlib.h>

#include <stdexcept>

namespace flashsaver::testing {

uint32_t Crc32(const std::string& data) {
  return static_cast<uint32_t>(
      crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

std::string Deflate(const std::string& data) {
  z_stream z{};
  if (deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::string out(deflateBound(&z, data.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

TestEntry Stored(const std::string& name, const std::string& data) {
  TestEntry e;
  e.name = name;
  e.data = data;
  e.crc = Crc32(data);
  e.uncompressed_size = static_cast<uint32_t>(data.size());
  return e;
}

TestEntry Deflated(const std::string& name, const std::string& data) {
  TestEntry e = Stored(name, data);
  e.method = 8;
  e.data = Deflate(data);
  return e;
}

void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void PutText(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
void Poke32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}

ArchiveLayout ZipBuilder::Build() const {
  ArchiveLayout out;
  Bytes& b = out.bytes;
  PutText(b, prefix_);
  for (const TestEntry& e : entries_) {
    const std::string& name = e.local_name.empty() ? e.name : e.local_name;
    const uint32_t compressed =
        e.compressed_size >= 0 ? static_cast<uint32_t>(e.compressed_size) : e.data.size();
    out.local_offsets.push_back(static_cast<uint32_t>(b.size()));
    Put32(b, 0x04034B50);
    Put16(b, 20);
    Put16(b, e.flags);
    Put16(b, e.method);
    Put32(b, e.dos_date_time);
    Put32(b, e.crc);
    Put32(b, compressed);
    Put32(b, e.uncompressed_size);
    Put16(b, static_cast<uint32_t>(name.size()));
    Put16(b, static_cast<uint32_t>(e.local_extra.size()));
    PutText(b, name);
    PutText(b, e.local_extra);
    PutText(b, e.data);
  }
  out.directory_offset = static_cast<uint32_t>(b.size());
  std::vector<size_t> order = order_;
  if (order.empty()) {
    for (size_t i = 0; i < entries_.size(); ++i) order.push_back(i);
  }
  for (size_t i : order) {
    const TestEntry& e = entries_[i];
    const uint32_t compressed =
        e.compressed_size >= 0 ? static_cast<uint32_t>(e.compressed_size) : e.data.size();
    Put32(b, 0x02014B50);
    Put16(b, e.version_made_by);
    Put16(b, 20);
    Put16(b, e.flags);
    Put16(b, e.method);
    Put32(b, e.dos_date_time);
    Put32(b, e.crc);
    Put32(b, compressed);
    Put32(b, e.uncompressed_size);
    Put16(b, static_cast<uint32_t>(e.name.size()));
    Put16(b, e.central_extra_length_declared != 0xFFFF
                 ? e.central_extra_length_declared
                 : static_cast<uint32_t>(e.central_extra.size()));
    Put16(b, static_cast<uint32_t>(e.comment.size()));
    Put16(b, 0);
    Put16(b, 0);
    Put32(b, e.external_attributes);
    Put32(b,
          e.central_offset >= 0 ? static_cast<uint32_t>(e.central_offset) : out.local_offsets[i]);
    PutText(b, e.name);
    PutText(b, e.central_extra);
    PutText(b, e.comment);
  }
  const uint32_t directory_size = static_cast<uint32_t>(b.size()) - out.directory_offset;
  out.end_offset = static_cast<uint32_t>(b.size());
  const uint32_t total = total_ >= 0 ? static_cast<uint32_t>(total_) : order.size();
  Put32(b, 0x06054B50);
  Put16(b, this_disk_);
  Put16(b, directory_disk_);
  Put16(b, total);
  Put16(b, total);
  Put32(b, directory_size);
  Put32(b, offset_ >= 0 ? static_cast<uint32_t>(offset_) : out.directory_offset);
  Put16(b, static_cast<uint32_t>(comment_.size()));
  PutText(b, comment_);
  return out;
}

}  // namespace flashsaver::testing
