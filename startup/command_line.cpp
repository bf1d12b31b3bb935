#include "startup/command_line.h"

#include <limits>

namespace flashsaver {
namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::vector<std::string> SplitArguments(std::string_view command_line) {
  std::vector<std::string> args;
  size_t i = 0;
  const size_t n = command_line.size();
  while (true) {
    while (i < n && IsBlank(command_line[i])) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    for (; i < n; ++i) {
      char c = command_line[i];
      if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && IsBlank(c)) {
        break;
      } else {
        arg.push_back(c);
      }
    }
    args.push_back(std::move(arg));
  }
  return args;
}

int32_t ReadWindowHandle(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  text.remove_prefix(i);
  if (text.empty()) return 0;

  size_t prefix = 0;
  if (text[0] == '$' || text[0] == 'x' || text[0] == 'X') {
    prefix = 1;
  } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    prefix = 2;
  }
  if (prefix > 0) {
    std::string_view digits = text.substr(prefix);
    if (digits.empty()) return 0;
    uint64_t value = 0;
    for (char c : digits) {
      int d = HexDigit(c);
      if (d < 0) return 0;
      value = value * 16 + static_cast<uint64_t>(d);
      if (value > 0xFFFFFFFFull) return 0;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(value));
  }

  bool negative = false;
  if (text[0] == '+' || text[0] == '-') {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return 0;
  int64_t value = 0;
  const int64_t limit = negative ? -static_cast<int64_t>(std::numeric_limits<int32_t>::min())
                                 : std::numeric_limits<int32_t>::max();
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
    if (value > limit) return 0;
  }
  return static_cast<int32_t>(negative ? -value : value);
}

CommandLine ParseCommandLine(std::string_view command_line) {
  CommandLine result;
  const std::vector<std::string> args = SplitArguments(command_line);
  if (args.size() < 2) return result;

  // The first character is the switch character, whatever it is; a lone "/" names no mode
  // and configures, like no switch at all.
  const std::string& first = args[1];
  if (first.size() < 2) return result;
  const char letter = UpperAscii(first[1]);
  const bool has_window_argument = args.size() >= 3;

  switch (letter) {
    case 'A':
      if (has_window_argument) {
        result.run_mode = kModeChangePassword;
        result.param_window = ReadWindowHandle(args[2]);
      }
      break;
    case 'C':
      result.run_mode = kModeConfigureSwitch;
      break;
    case 'P':
      if (has_window_argument) {
        result.run_mode = kModePreview;
        result.param_window = ReadWindowHandle(args[2]);
      }
      break;
    default:
      result.run_mode = kModeShow;
      result.save_foreground = true;
      break;
  }
  return result;
}

}  // namespace flashsaver
