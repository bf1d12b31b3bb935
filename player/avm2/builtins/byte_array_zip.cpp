// ByteArray.compress and uncompress: zlib and raw deflate through zlib, LZMA through liblzma in
// the 13-byte header form Flash writes (properties, then the 64-bit little-endian size).
#include <lzma.h>
#include <zlib.h>

#include <cstring>

#include "player/avm2/builtins/amf.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

enum class Algo { kZlib, kDeflate, kLzma };

constexpr uint64_t kLzmaMemoryLimit = uint64_t{256} << 20;

Algo ParseAlgorithm(Vm& vm, std::u16string_view a) {
  if (a == u"zlib") return Algo::kZlib;
  if (a == u"deflate") return Algo::kDeflate;
  if (a == u"lzma") return Algo::kLzma;
  // Flash reports an unknown algorithm as it reports data it cannot decode.
  vm.ThrowError(ErrorType::kIOError, 2058);
}

bool ZlibCompress(const std::vector<uint8_t>& in, bool raw, std::vector<uint8_t>& out) {
  z_stream s{};
  if (deflateInit2(&s, Z_BEST_COMPRESSION, Z_DEFLATED, raw ? -15 : 15, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK)
    return false;
  out.resize(deflateBound(&s, static_cast<uLong>(in.size())));
  s.next_in = const_cast<Bytef*>(in.data());
  s.avail_in = static_cast<uInt>(in.size());
  s.next_out = out.data();
  s.avail_out = static_cast<uInt>(out.size());
  int r = deflate(&s, Z_FINISH);
  out.resize(s.total_out);
  deflateEnd(&s);
  return r == Z_STREAM_END;
}

bool ZlibUncompress(const std::vector<uint8_t>& in, bool raw, std::vector<uint8_t>& out) {
  z_stream s{};
  if (inflateInit2(&s, raw ? -15 : 15) != Z_OK) return false;
  s.next_in = const_cast<Bytef*>(in.data());
  s.avail_in = static_cast<uInt>(in.size());
  int r = Z_OK;
  uint8_t buf[16384];
  while (r == Z_OK) {
    s.next_out = buf;
    s.avail_out = sizeof buf;
    r = inflate(&s, Z_NO_FLUSH);
    out.insert(out.end(), buf, buf + (sizeof buf - s.avail_out));
    if (out.size() > kMaxByteArrayLength) r = Z_MEM_ERROR;
    if (r == Z_BUF_ERROR && s.avail_in == 0) break;
  }
  inflateEnd(&s);
  // Raw deflate data that stops short is taken as far as it goes, as Flash's inflate does.
  return r == Z_STREAM_END || (raw && r == Z_BUF_ERROR);
}

bool LzmaCompress(const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
  lzma_options_lzma opt;
  if (lzma_lzma_preset(&opt, LZMA_PRESET_DEFAULT)) return false;
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &opt}, {LZMA_VLI_UNKNOWN, nullptr}};
  uint8_t props[5];
  if (lzma_properties_encode(&filters[0], props) != LZMA_OK) return false;
  lzma_stream s = LZMA_STREAM_INIT;
  if (lzma_raw_encoder(&s, filters) != LZMA_OK) return false;
  out.assign(props, props + 5);
  uint64_t n = in.size();
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(n >> (8 * i)));
  s.next_in = in.data();
  s.avail_in = in.size();
  lzma_ret r = LZMA_OK;
  uint8_t buf[16384];
  while (r == LZMA_OK) {
    s.next_out = buf;
    s.avail_out = sizeof buf;
    r = lzma_code(&s, LZMA_FINISH);
    out.insert(out.end(), buf, buf + (sizeof buf - s.avail_out));
  }
  lzma_end(&s);
  return r == LZMA_STREAM_END;
}

bool LzmaUncompress(const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
  if (in.size() < 13) return false;
  uint64_t n = 0;
  for (int i = 0; i < 8; ++i) n |= uint64_t{in[5 + static_cast<size_t>(i)]} << (8 * i);
  if (n != UINT64_MAX && n > kMaxByteArrayLength) return false;
  lzma_stream s = LZMA_STREAM_INIT;
  // The header names the dictionary size; a made-up one must not claim gigabytes.
  if (lzma_alone_decoder(&s, kLzmaMemoryLimit) != LZMA_OK) return false;
  s.next_in = in.data();
  s.avail_in = in.size();
  lzma_ret r = LZMA_OK;
  uint8_t buf[16384];
  while (r == LZMA_OK) {
    s.next_out = buf;
    s.avail_out = sizeof buf;
    r = lzma_code(&s, LZMA_FINISH);
    out.insert(out.end(), buf, buf + (sizeof buf - s.avail_out));
    if (out.size() > kMaxByteArrayLength) r = LZMA_MEM_ERROR;
  }
  lzma_end(&s);
  return r == LZMA_STREAM_END;
}

}  // namespace

void CompressByteArray(Vm& vm, ByteArrayObject& ba, std::u16string_view algorithm) {
  Algo a = ParseAlgorithm(vm, algorithm);
  // An empty array stays empty, whatever the algorithm.
  if (ba.bytes.empty()) return;
  std::vector<uint8_t> out;
  bool ok = a == Algo::kLzma ? LzmaCompress(ba.bytes, out)
                             : ZlibCompress(ba.bytes, a == Algo::kDeflate, out);
  if (!ok || out.size() > kMaxByteArrayLength) vm.ThrowError(ErrorType::kError, 1000);
  ba.bytes = std::move(out);
  ba.position = static_cast<uint32_t>(ba.bytes.size());
}

void UncompressByteArray(Vm& vm, ByteArrayObject& ba, std::u16string_view algorithm) {
  Algo a = ParseAlgorithm(vm, algorithm);
  if (ba.bytes.empty()) return;
  std::vector<uint8_t> out;
  bool ok = a == Algo::kLzma ? LzmaUncompress(ba.bytes, out)
                             : ZlibUncompress(ba.bytes, a == Algo::kDeflate, out);
  if (!ok) vm.ThrowError(ErrorType::kIOError, 2058);
  ba.bytes = std::move(out);
  ba.position = 0;
}

}  // namespace flashsaver::avm2
