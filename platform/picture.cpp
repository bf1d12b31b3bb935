#include "platform/picture.h"

#include <ole2.h>
#include <olectl.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/unique_handle.h"
#include "player/bitmap/jpeg_dib.h"
#include "startup/picture_format.h"

namespace flashsaver {
namespace {

// Pictures larger than this are not read at all.
constexpr DWORD kMaxPictureFileSize = 64 * 1024 * 1024;

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& data) {
  UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 ||
      size.QuadPart > kMaxPictureFileSize) {
    return false;
  }
  data.resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  return ::ReadFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &read, nullptr) &&
         read == data.size();
}

class DibPicture final : public Picture {
 public:
  explicit DibPicture(DecodedImage image) : image_(std::move(image)) {
    info_.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info_.bmiHeader.biWidth = image_.width;
    info_.bmiHeader.biHeight = -image_.height;  // top-down rows
    info_.bmiHeader.biPlanes = 1;
    info_.bmiHeader.biBitCount = 32;
    info_.bmiHeader.biCompression = BI_RGB;
  }

  void Draw(HDC dc, const RECT& target) const override {
    const int old_mode = ::SetStretchBltMode(dc, COLORONCOLOR);
    ::StretchDIBits(dc, target.left, target.top, target.right - target.left,
                    target.bottom - target.top, 0, 0, image_.width, image_.height,
                    image_.pixels.data(), &info_, DIB_RGB_COLORS, SRCCOPY);
    ::SetStretchBltMode(dc, old_mode);
  }

 private:
  DecodedImage image_;
  BITMAPINFO info_{};
};

class OlePicture final : public Picture {
 public:
  explicit OlePicture(IPicture* picture) : picture_(picture) {}
  ~OlePicture() override { picture_->Release(); }
  OlePicture(const OlePicture&) = delete;
  OlePicture& operator=(const OlePicture&) = delete;

  void Draw(HDC dc, const RECT& target) const override {
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture_->get_Width(&width);
    picture_->get_Height(&height);
    const int old_mode = ::SetStretchBltMode(dc, COLORONCOLOR);
    // HIMETRIC runs upwards: start at the bottom and go up by a negative height.
    picture_->Render(dc, target.left, target.top, target.right - target.left,
                     target.bottom - target.top, 0, height, width, -height, nullptr);
    ::SetStretchBltMode(dc, old_mode);
  }

 private:
  IPicture* picture_;
};

std::unique_ptr<Picture> LoadWithSystem(const std::vector<uint8_t>& data) {
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, data.size());
  if (!memory) return nullptr;
  void* bytes = ::GlobalLock(memory);
  if (!bytes) {
    ::GlobalFree(memory);
    return nullptr;
  }
  std::copy(data.begin(), data.end(), static_cast<uint8_t*>(bytes));
  ::GlobalUnlock(memory);
  IStream* stream = nullptr;
  if (FAILED(::CreateStreamOnHGlobal(memory, TRUE, &stream))) {
    ::GlobalFree(memory);
    return nullptr;
  }
  IPicture* picture = nullptr;
  const HRESULT hr = ::OleLoadPicture(stream, static_cast<LONG>(data.size()), FALSE, IID_IPicture,
                                      reinterpret_cast<void**>(&picture));
  stream->Release();
  if (FAILED(hr) || !picture) return nullptr;
  OLE_XSIZE_HIMETRIC width = 0;
  OLE_YSIZE_HIMETRIC height = 0;
  if (FAILED(picture->get_Width(&width)) || FAILED(picture->get_Height(&height)) || width <= 0 ||
      height <= 0) {
    picture->Release();
    return nullptr;
  }
  return std::make_unique<OlePicture>(picture);
}

}  // namespace

std::unique_ptr<Picture> LoadPictureFile(const std::string& path) {
  const PictureFormat format = PictureFormatForPath(path);
  if (format == PictureFormat::kUnsupported) return nullptr;
  std::vector<uint8_t> data;
  if (!ReadWholeFile(path, data)) return nullptr;
  if (!PictureDataMatches(format, data.data(), data.size())) return nullptr;
  if (format == PictureFormat::kJpeg) {
    DecodedImage image;
    if (!DecodeJpeg(data.data(), data.size(), image)) return nullptr;
    return std::make_unique<DibPicture>(std::move(image));
  }
  return LoadWithSystem(data);
}

}  // namespace flashsaver
