// The system's fonts, for text that names a font without embedding its outlines. Each build
// provides SystemDeviceFonts(): FreeType with the Liberation fonts natively, GDI's outlines on
// Windows.
#pragma once

#include <optional>
#include <string_view>

#include "player/render/path.h"

namespace flashsaver {

struct DeviceGlyph {
  Path outline;        // EM units, y down, baseline at 0
  double advance = 0;  // EM units
};

class DeviceFace {
 public:
  virtual ~DeviceFace() = default;
  virtual double em_square() const = 0;
  // Above and below the baseline, EM units, both positive.
  virtual double ascent() const = 0;
  virtual double descent() const = 0;
  // The glyph of a character, or null when the face has none. The pointer stays valid as long
  // as the face; faces may be used from several threads.
  virtual const DeviceGlyph* Glyph(char32_t c) const = 0;
};

class DeviceFonts {
 public:
  virtual ~DeviceFonts() = default;
  // The face for a name as movies give it ("_sans", "Arial", ...). Names the system lacks fall
  // back as Flash does, to the default device font (serif). Null only when no font is usable.
  virtual const DeviceFace* Face(std::string_view name, bool bold, bool italic) const = 0;
};

// The three generic names and the Windows core fonts that stand for them.
enum class DeviceFamily { kSans, kSerif, kTypewriter };
// The family a name stands for ("_sans", "Arial", ...; case-insensitive), or nullopt for a name
// that is none of them.
std::optional<DeviceFamily> StandardDeviceFamily(std::string_view name);

// The build's device fonts, created on first use and kept for the process; null when the
// system has none.
const DeviceFonts* SystemDeviceFonts();

}  // namespace flashsaver
