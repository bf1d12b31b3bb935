#include "package/tail_record.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace flashsaver {
namespace {

constexpr unsigned char kMarkerMask = 0x5A;

constexpr std::array<unsigned char, 8> MaskedMarker() {
  constexpr char plain[] = {'#', 'm', 'a', 'r', 'v', 'e', 'x', '#'};
  std::array<unsigned char, 8> masked{};
  for (size_t i = 0; i < masked.size(); ++i) {
    masked[i] = static_cast<unsigned char>(static_cast<unsigned char>(plain[i]) ^ kMarkerMask);
  }
  return masked;
}

// A name that the authoring tool never writes and that would place files elsewhere.
bool IsSafeFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of("\\/:") == std::string_view::npos &&
         std::none_of(name.begin(), name.end(),
                      [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

}  // namespace

std::string PackageMarker() {
  static constexpr std::array<unsigned char, 8> kMasked = MaskedMarker();
  // volatile keeps the compiler from folding the plain bytes back into the binary.
  volatile unsigned char mask = kMarkerMask;
  std::string marker(kMasked.size(), '\0');
  for (size_t i = 0; i < kMasked.size(); ++i) {
    marker[i] = static_cast<char>(kMasked[i] ^ mask);
  }
  return marker;
}

std::optional<TailRecord> FindTailRecord(const uint8_t* window, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(window), size);
  const std::string marker = PackageMarker();
  const size_t at = bytes.find(marker);
  if (at == std::string_view::npos) return std::nullopt;
  const size_t name_start = at + marker.size();
  const size_t separator = bytes.find("**", name_start);
  if (separator == std::string_view::npos) return std::nullopt;
  TailRecord record;
  record.settings_name = std::string(bytes.substr(name_start, separator - name_start));
  if (!IsSafeFileName(record.settings_name)) return std::nullopt;
  record.archive_offset = separator + 2;
  return record;
}

}  // namespace flashsaver
