#include <algorithm>
#include <cctype>
#include <string>

#include "player/text/device_fonts.h"

namespace flashsaver {

std::optional<DeviceFamily> StandardDeviceFamily(std::string_view name) {
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  struct Entry {
    std::string_view name;
    DeviceFamily family;
  };
  static constexpr Entry kNames[] = {
      {"_sans", DeviceFamily::kSans},
      {"arial", DeviceFamily::kSans},
      {"helvetica", DeviceFamily::kSans},
      {"_serif", DeviceFamily::kSerif},
      {"times new roman", DeviceFamily::kSerif},
      {"times", DeviceFamily::kSerif},
      {"_typewriter", DeviceFamily::kTypewriter},
      {"courier new", DeviceFamily::kTypewriter},
      {"courier", DeviceFamily::kTypewriter},
  };
  for (const Entry& e : kNames) {
    if (e.name == lower) return e.family;
  }
  return std::nullopt;
}

}  // namespace flashsaver
