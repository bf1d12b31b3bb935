#include "startup/picture_format.h"

#include <cstring>

namespace flashsaver {
namespace {

std::string LowerExtension(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t separator = path.find_last_of("\\/:");
  if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) return {};
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

bool StartsWith(const uint8_t* data, size_t size, const char* magic, size_t magic_size) {
  return size >= magic_size && std::memcmp(data, magic, magic_size) == 0;
}

uint32_t ReadLittle32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

PictureFormat PictureFormatForPath(const std::string& path) {
  const std::string extension = LowerExtension(path);
  if (extension == "bmp") return PictureFormat::kBitmap;
  if (extension == "ico") return PictureFormat::kIcon;
  if (extension == "wmf") return PictureFormat::kMetafile;
  if (extension == "emf") return PictureFormat::kEnhancedMetafile;
  if (extension == "gif") return PictureFormat::kGif;
  if (extension == "jpg" || extension == "jpeg") return PictureFormat::kJpeg;
  return PictureFormat::kUnsupported;
}

bool PictureDataMatches(PictureFormat format, const uint8_t* data, size_t size) {
  switch (format) {
    case PictureFormat::kBitmap:
      // "BM" and a file header of 14 bytes before the info header.
      return StartsWith(data, size, "BM", 2) && size > 14 + 12;
    case PictureFormat::kIcon:
      // Reserved 0, type 1, at least one image.
      return size > 6 + 16 && StartsWith(data, size, "\0\0\1\0", 4) && (data[4] | data[5]) != 0;
    case PictureFormat::kMetafile:
      // Placeable metafiles carry their own size, which a picture needs for stretching.
      return StartsWith(data, size, "\xD7\xCD\xC6\x9A", 4) && size > 22 + 18;
    case PictureFormat::kEnhancedMetafile:
      // Record type 1 (the header), its signature " EMF" at offset 40.
      return size > 88 && ReadLittle32(data) == 1 && std::memcmp(data + 40, " EMF", 4) == 0;
    case PictureFormat::kGif:
      return StartsWith(data, size, "GIF87a", 6) || StartsWith(data, size, "GIF89a", 6);
    case PictureFormat::kJpeg:
      return StartsWith(data, size, "\xFF\xD8\xFF", 3);
    case PictureFormat::kUnsupported:
      break;
  }
  return false;
}

}  // namespace flashsaver
