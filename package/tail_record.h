// The tail record at the end of a built screen saver: the marker, the settings file's name,
// the separator "**" and the settings archive running to the end of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace flashsaver {

// Only this many bytes at the end of the program file are searched for the tail record.
inline constexpr uint64_t kTailWindowSize = 150000;

// The eight marker bytes, assembled at run time: a small package's tail window reaches deep into
// the engine, so the engine must not carry them as one piece anywhere.
std::string PackageMarker();

struct TailRecord {
  std::string settings_name;
  // Where the settings archive begins, counted from the start of the window.
  size_t archive_offset = 0;
};

// Looks for the first marker in the window. No marker, no "**" behind it, or a name that is
// empty or would lead out of the temporary folder: no package.
std::optional<TailRecord> FindTailRecord(const uint8_t* window, size_t size);

}  // namespace flashsaver
