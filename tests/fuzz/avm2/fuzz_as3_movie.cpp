// libFuzzer target: any bytes as an AS3 movie played headless for a few frames: the SWF reader,
// the FileAttributes, SymbolClass and DoABC tags, the root's class and its frame scripts and
// enterFrame listeners. Scripts are interrupted once the case has run a quarter of a second, so a
// runaway movie ends well inside the fuzzer's timeout.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

#include "player/display/movie_player.h"
#include "player/swf/swf_movie.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace flashsaver;
  try {
    MoviePlayer player(std::span<const uint8_t>(data, size));
    player.SetTraceOutput([](std::string_view) {});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
    player.SetScriptInterrupt([deadline] { return std::chrono::steady_clock::now() > deadline; });
    for (int frame = 0; frame < 4; ++frame) player.AdvanceFrame();
  } catch (const SwfError&) {
  }
  return 0;
}
