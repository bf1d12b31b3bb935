// Helpers for the show's end-to-end tests: real screen savers built with saverpack from SWF
// movies written by the test, started with the show switch, found by their windows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "harness.h"

namespace e2e {

// A folder of the running test's own, emptied first: the system's temporary path +
// "FlashSaverTests\" + the test's name + "\".
std::string TestFolder();

struct SwfFile {
  std::string name;  // file name, written into TestFolder()
  double fps = 10;
  uint16_t frames = 10;
  uint32_t background_rgb = 0x000000;  // 0xRRGGBB
  int32_t width_px = 320;
  int32_t height_px = 240;
  bool tone = false;  // a 1 kHz tone at 22.05 kHz starts on the first frame and loops on
};
// Writes the movie; its full path.
std::string WriteSwf(const SwfFile& movie);

struct SaverSpec {
  std::string name = "show";             // the file is name + ".scr" in TestFolder()
  std::vector<std::string> set;          // "KEY=VALUE" of section Set
  std::vector<std::string> movies;       // files packed and listed in section Flash
  std::vector<std::string> flash_items;  // texts listed in section Flash, nothing packed
};
// Builds the saver and removes stale per-user settings of its name; its full path, or empty
// (with a gtest failure) when it cannot be built.
std::string BuildSaver(const SaverSpec& spec);

// A show started with "/s": the engine process and its show window, visible.
class ShowRun {
 public:
  // False (with the reason in error()) when the show window does not appear.
  bool Start(const std::string& saver, const std::string& arguments = "/s");
  EngineProcess& engine() { return engine_; }
  HWND window() const { return window_; }
  const std::string& error() const { return error_; }
  bool Running() { return engine_.handle() && !engine_.WaitExit(0).has_value(); }
  // True when the engine ends within the time.
  bool EndsWithin(DWORD milliseconds) { return engine_.WaitExit(milliseconds).has_value(); }

 private:
  EngineProcess engine_;
  HWND window_ = nullptr;
  std::string error_;
};

// The window's rectangle on the screen.
RECT WindowRect(HWND window);

}  // namespace e2e
