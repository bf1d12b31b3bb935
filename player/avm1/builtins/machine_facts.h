// What System.capabilities tells a movie about the machine. The show reads the true values
// once before any movie starts; without them (swfplay, the tests) a fixed machine answers, so
// that runs repeat.
#pragma once

#include <cstdint>
#include <string>

namespace flashsaver::avm1 {

struct MachineFacts {
  std::string os = "Windows";
  std::string language = "en";
  int32_t screen_width = 1024;
  int32_t screen_height = 768;
  int32_t screen_dpi = 96;
};

// The player version a movie reads (System.capabilities.version, getVersion(), $version).
inline constexpr char kPlayerVersion[] = "WIN 8,0,0,0";

// Set before the first movie's machine is made; every later System object reads them.
void SetMachineFacts(MachineFacts facts);
const MachineFacts& CurrentMachineFacts();

// The player's name for a Windows version ("Windows XP"); "Windows" when unknown.
std::string WindowsOsName(uint32_t major, uint32_t minor);
// The player's language code for a Windows LANGID ("en", "zh-CN"); "xu" for the others.
std::string LanguageCodeOf(uint16_t langid);

}  // namespace flashsaver::avm1
