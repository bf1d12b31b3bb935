#include <windows.h>
#include <shlobj.h>

#include "player/display/shared_object_folder.h"

namespace flashsaver {

// The roaming application-data folder, as the player kept its data per user.
std::string UserSharedObjectFolder() {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path))) {
    return {};
  }
  const int wide = static_cast<int>(wcslen(path));
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, path, wide, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, path, wide, out.data(), bytes, nullptr, nullptr);
  return out + "\\FlashSaver\\SharedObjects";
}

}  // namespace flashsaver
