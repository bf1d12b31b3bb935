// The reader's host in the running program: hourglass, a serviced message queue, boxes.
#include <windows.h>

#include "package/zip/unzip_host.h"
#include "platform/message_loop.h"

namespace flashsaver {
namespace {

class WinHost final : public UnzipHost {
 public:
  void BeginWait() override {
    if (depth_++ == 0) saved_ = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
  }
  void EndWait() override {
    if (depth_ > 0 && --depth_ == 0) ::SetCursor(saved_);
  }
  void ProcessMessages() override { ProcessPendingMessages(); }
  void ShowMessage(const std::string& text, const std::string& caption) override {
    ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK);
  }
  std::string OemToAnsi(const std::string& name) override {
    std::string converted = name;
    if (!converted.empty()) {
      ::OemToCharBuffA(name.data(), converted.data(), static_cast<DWORD>(name.size()));
    }
    return converted;
  }

 private:
  int depth_ = 0;
  HCURSOR saved_ = nullptr;
};

}  // namespace

UnzipHost& SystemUnzipHost() {
  static WinHost host;
  return host;
}

}  // namespace flashsaver
