// Which decoder a picture file goes to, chosen by its extension, and whether the file's first
// bytes look like that format (a ".bmp" holding GIF data is not a bitmap).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace flashsaver {

enum class PictureFormat {
  kUnsupported,
  kBitmap,
  kIcon,
  kMetafile,
  kEnhancedMetafile,
  kGif,
  kJpeg,
};

// By extension, compared without regard to case: "bmp", "ico", "wmf", "emf", "gif", "jpeg",
// "jpg". Anything else, and a name without extension, is unsupported.
PictureFormat PictureFormatForPath(const std::string& path);

// True when the data begins as a file of that format does.
bool PictureDataMatches(PictureFormat format, const uint8_t* data, size_t size);

}  // namespace flashsaver
