// Still pictures for the preview and the dialog's banner, loaded by file extension: bitmaps,
// icons, metafiles and GIF through the system's own picture decoding, JPEG through libjpeg.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace flashsaver {

class Picture {
 public:
  virtual ~Picture() = default;
  // Stretches the whole picture over the rectangle; the aspect ratio is not kept.
  virtual void Draw(HDC dc, const RECT& target) const = 0;
};

// Null when the extension is not one of "bmp", "ico", "wmf", "emf", "gif", "jpeg", "jpg" (any
// letter case), the file cannot be read, or its data does not decode as that format.
std::unique_ptr<Picture> LoadPictureFile(const std::string& path);

}  // namespace flashsaver
