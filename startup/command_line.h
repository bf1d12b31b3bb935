// The screen-saver switches: /s show, /c configure, /p HWND preview, /a HWND change password.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace flashsaver {

enum RunModeValue : int32_t {
  kModeConfigure = 1,
  kModeConfigureSwitch = 2,
  kModeShow = 3,
  kModePreview = 4,
  kModeChangePassword = 5,
};

struct CommandLine {
  int32_t run_mode = kModeConfigure;
  int32_t param_window = 0;
  // A show run remembers the foreground window; the caller reads it from the system.
  bool save_foreground = false;
};

// Splits like the system's run-time library: runs of bytes up to and including the space
// separate arguments, double quotes group blanks and are dropped.
std::vector<std::string> SplitArguments(std::string_view command_line);

// Reads a 32-bit window handle: decimal with an optional sign, or hexadecimal after "$", "x",
// "X", "0x" or "0X". Leading spaces are allowed; anything else that does not read gives 0.
int32_t ReadWindowHandle(std::string_view text);

CommandLine ParseCommandLine(std::string_view command_line);

}  // namespace flashsaver
