#include "show_harness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <exception>
#include <numbers>

#include "tools/saverpack/saver_builder.h"
#include "tools/swf_writer.h"

namespace e2e {
namespace {

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA data;
  HANDLE find = ::FindFirstFileA((folder + "*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path + "\\");
      } else {
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(path.c_str());
      }
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
  }
  ::RemoveDirectoryA(folder.c_str());
}

std::string CurrentTestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "none";
  for (char& c : name) {
    if (c == '/' || c == '\\' || c == ':') c = '_';
  }
  return name;
}

}  // namespace

std::string TestFolder() {
  static std::string prepared_for;
  char temp[MAX_PATH + 1] = {};
  ::GetTempPathA(sizeof(temp), temp);
  const std::string root = std::string(temp) + "FlashSaverTests\\";
  const std::string folder = root + CurrentTestName() + "\\";
  if (prepared_for != folder) {
    RemoveTree(folder);
    ::CreateDirectoryA(root.c_str(), nullptr);
    ::CreateDirectoryA(folder.c_str(), nullptr);
    prepared_for = folder;
  }
  return folder;
}

std::string WriteSwf(const SwfFile& movie) {
  flashsaver::SwfMovieSpec spec;
  spec.width_px = movie.width_px;
  spec.height_px = movie.height_px;
  spec.frame_rate_8_8 = static_cast<uint16_t>(std::lround(movie.fps * 256));
  spec.frame_count = movie.frames;
  spec.background_rgb = movie.background_rgb;
  const std::string path = TestFolder() + movie.name;
  if (!movie.tone) {
    EXPECT_TRUE(flashsaver::WriteSwfMovieFile(spec, path)) << path;
    return path;
  }
  using flashsaver::PutU16;
  std::vector<uint8_t> sound, start, timeline;
  PutU16(sound, 1);
  flashsaver::PutU8(sound, 0x3A);  // little-endian PCM, 22.05 kHz, 16-bit, mono
  flashsaver::PutU32(sound, 2205);
  for (int i = 0; i < 2205; ++i)  // 100 whole periods: the loops join smoothly
    PutU16(sound,
           static_cast<uint16_t>(std::lround(12000 * std::sin(i * 2 * std::numbers::pi / 22.05))));
  PutU16(start, 1);
  flashsaver::PutU8(start, 0x04);  // loops follow
  PutU16(start, 65535);
  flashsaver::PutTag(timeline, 14, sound);  // DefineSound
  flashsaver::PutTag(timeline, 15, start);  // StartSound
  for (uint16_t f = 0; f < movie.frames; ++f) flashsaver::PutTag(timeline, 1, {});
  EXPECT_TRUE(flashsaver::WriteBytesToFile(flashsaver::WriteSwfMovie(spec, timeline), path))
      << path;
  return path;
}

std::string BuildSaver(const SaverSpec& spec) {
  saverpack::BuildRequest request;
  request.engine = EnginePath();
  request.output = TestFolder() + spec.name + ".scr";
  for (const std::string& kv : spec.set) {
    const size_t eq = kv.find('=');
    request.settings.push_back({"Set", kv.substr(0, eq), kv.substr(eq + 1)});
  }
  for (const std::string& item : spec.flash_items) request.items.push_back({"Flash", item});
  for (const std::string& path : spec.movies) {
    const std::string name = path.substr(path.find_last_of("\\/:") + 1);
    const std::string key = saverpack::KeyForName(name);
    request.packed.push_back({key, path, false, false});
    request.items.push_back({"Flash", key});
  }
  try {
    saverpack::BuildSaver(request);
  } catch (const std::exception& e) {
    ADD_FAILURE() << "saverpack: " << e.what();
    return std::string();
  }
  // Per-user choices of an earlier run under the same name would override the file's settings.
  ::RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\Korvanlabs\\" + spec.name + ".scr").c_str());
  ::RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\Korvanlabs\\" + spec.name).c_str());
  return request.output;
}

bool ShowRun::Start(const std::string& saver, const std::string& arguments) {
  if (!engine_.Start(arguments, saver)) {
    error_ = "cannot start " + saver;
    return false;
  }
  window_ = WaitForTopWindow(engine_.pid(), "TFlashFullscreenForm", 30000);
  if (!window_) {
    error_ = "no show window";
    return false;
  }
  const DWORD start = ::GetTickCount();
  while (!::IsWindowVisible(window_) && ::GetTickCount() - start < 15000) Pump(20);
  if (!::IsWindowVisible(window_)) {
    error_ = "show window never visible";
    return false;
  }
  return true;
}

RECT WindowRect(HWND window) {
  RECT r{};
  ::GetWindowRect(window, &r);
  return r;
}

}  // namespace e2e
