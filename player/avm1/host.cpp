#include "player/avm1/host.h"

namespace flashsaver::avm1 {

const char* ClipPropertyName(int index) {
  static const char* const kNames[kClipPropertyCount] = {
      "_x",           "_y",           "_xscale",       "_yscale",       "_currentframe",
      "_totalframes", "_alpha",       "_visible",      "_width",        "_height",
      "_rotation",    "_target",      "_framesloaded", "_name",         "_droptarget",
      "_url",         "_highquality", "_focusrect",    "_soundbuftime", "_quality",
      "_xmouse",      "_ymouse"};
  return index >= 0 && index < kClipPropertyCount ? kNames[index] : "";
}

double NullHost::Random() {
  // A fixed sequence, so runs repeat.
  random_state = random_state * 1103515245u + 12345u;
  return static_cast<double>((random_state >> 8) & 0xFFFFFF) / 16777216.0;
}

std::string NullHost::ClipPath(Object*, bool dot_syntax) { return dot_syntax ? "_level0" : "/"; }

void NullHost::GetUrl(std::string_view url, std::string_view target, int) {
  commands.push_back("getURL " + std::string(url) + " " + std::string(target));
}

void NullHost::FsCommand(std::string_view command, std::string_view args) {
  commands.push_back(std::string(command) + " " + std::string(args));
}

}  // namespace flashsaver::avm1
