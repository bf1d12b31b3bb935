// The native build has no user interface: boxes become lines on stderr, names keep their
// bytes.
#include <cstdio>

#include "package/zip/unzip_host.h"

namespace flashsaver {
namespace {

class NativeHost final : public UnzipHost {
 public:
  void BeginWait() override {}
  void EndWait() override {}
  void ProcessMessages() override {}
  void ShowMessage(const std::string& text, const std::string& caption) override {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  }
  std::string OemToAnsi(const std::string& name) override { return name; }
};

}  // namespace

UnzipHost& SystemUnzipHost() {
  static NativeHost host;
  return host;
}

}  // namespace flashsaver
