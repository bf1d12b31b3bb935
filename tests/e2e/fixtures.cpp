#include "fixtures.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

#include <gtest/gtest.h>

#include "harness.h"

namespace e2e {
namespace {

constexpr char kFlashClassKey[] =
    "Software\\Classes\\CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}";
constexpr char kDesktopKey[] = "Control Panel\\desktop";
constexpr char kUsePassword[] = "ScreenSaveUsePassword";
constexpr char kSavedSuffix[] = ".flashsaver-saved";
constexpr char kWineOverrides[] = "Software\\Wine\\DllOverrides";

// The fixture DLLs, built next to the engine.
std::string FixtureBinary(const std::string& name) {
  std::string engine = EnginePath();
  const size_t slash = engine.find_last_of('\\');
  return engine.substr(0, slash + 1) + "fixtures\\" + name;
}

std::string SystemFile(const std::string& name) {
  char buffer[MAX_PATH] = {};
  const UINT n = ::GetSystemDirectoryA(buffer, sizeof(buffer));
  return std::string(buffer, n) + "\\" + name;
}

void RestoreWineMpr() {
  const std::string mpr = SystemFile("mpr.dll");
  const std::string saved = mpr + kSavedSuffix;
  if (::GetFileAttributesA(saved.c_str()) != INVALID_FILE_ATTRIBUTES &&
      ::CopyFileA(saved.c_str(), mpr.c_str(), FALSE)) {
    ::DeleteFileA(saved.c_str());
  }
}

// Stand-ins left behind by a test process that was killed go before any test of this one runs.
class LeftoverStandIns : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::string saved = SystemFile("mpr.dll") + kSavedSuffix;
    if (::GetFileAttributesA(saved.c_str()) != INVALID_FILE_ATTRIBUTES) {
      RestoreWineMpr();
      HKEY key = nullptr;
      if (::RegOpenKeyExA(HKEY_CURRENT_USER, kWineOverrides, 0, KEY_ALL_ACCESS, &key) ==
          ERROR_SUCCESS) {
        ::RegDeleteValueA(key, "mpr");
        ::RegCloseKey(key);
      }
    }
    ::DeleteFileA(SystemFile("PASSWORD.CPL").c_str());
    UnregisterFlashComServer();
  }
};

[[maybe_unused]] ::testing::Environment* const kLeftovers =
    ::testing::AddGlobalTestEnvironment(new LeftoverStandIns);

}  // namespace

FixtureFolder::FixtureFolder() {
  char temp[MAX_PATH] = {};
  ::GetTempPathA(sizeof(temp), temp);
  static int serial = 0;
  path_ = std::string(temp) + "flashsaver_fixture_" + std::to_string(::GetCurrentProcessId()) +
          "_" + std::to_string(++serial) + "\\";
  ::CreateDirectoryA(path_.c_str(), nullptr);
  ::SetEnvironmentVariableA("FLASHSAVER_FIXTURE_DIR", path_.c_str());
}

FixtureFolder::~FixtureFolder() {
  ::SetEnvironmentVariableA("FLASHSAVER_FIXTURE_DIR", nullptr);
  WIN32_FIND_DATAA found;
  HANDLE find = ::FindFirstFileA((path_ + "*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::DeleteFileA((path_ + found.cFileName).c_str());
      }
    } while (::FindNextFileA(find, &found));
    ::FindClose(find);
  }
  ::RemoveDirectoryA(path_.c_str());
}

std::vector<std::string> FixtureFolder::Lines(const std::string& file_name) const {
  std::vector<std::string> lines;
  std::ifstream in(path_ + file_name, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool FixtureFolder::Write(const std::string& file_name, const std::string& content) const {
  return WriteFile(path_ + file_name, content);
}

// ---------------------------------------------------------------------------------------------

ScreenSaveUsePassword ScreenSaveUsePassword::Dword(DWORD value) {
  ScreenSaveUsePassword s = Absent();
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
    ::RegSetValueExA(key, kUsePassword, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                     sizeof(value));
    ::RegCloseKey(key);
  }
  return s;
}

ScreenSaveUsePassword ScreenSaveUsePassword::Text(const std::string& value) {
  ScreenSaveUsePassword s = Absent();
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
    ::RegSetValueExA(key, kUsePassword, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
    ::RegCloseKey(key);
  }
  return s;
}

ScreenSaveUsePassword ScreenSaveUsePassword::Absent() {
  ScreenSaveUsePassword s;
  s.active_ = true;
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    return s;
  }
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (::RegQueryValueExA(key, kUsePassword, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    s.saved_type_ = type;
    s.saved_data_.resize(size);
    ::RegQueryValueExA(key, kUsePassword, nullptr, &type, s.saved_data_.data(), &size);
  }
  ::RegDeleteValueA(key, kUsePassword);
  ::RegCloseKey(key);
  return s;
}

ScreenSaveUsePassword::ScreenSaveUsePassword(ScreenSaveUsePassword&& other) noexcept
    : active_(std::exchange(other.active_, false)),
      saved_type_(other.saved_type_),
      saved_data_(std::move(other.saved_data_)) {}

ScreenSaveUsePassword::~ScreenSaveUsePassword() {
  if (!active_) return;
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    return;
  }
  if (saved_type_ == REG_NONE) {
    ::RegDeleteValueA(key, kUsePassword);
  } else {
    ::RegSetValueExA(key, kUsePassword, 0, saved_type_, saved_data_.data(),
                     static_cast<DWORD>(saved_data_.size()));
  }
  ::RegCloseKey(key);
}

// ---------------------------------------------------------------------------------------------

PasswordLibraries::PasswordLibraries(const FixtureFolder& folder, bool password_cpl, bool mpr_dll)
    : folder_(folder), password_cpl_(password_cpl), mpr_dll_(mpr_dll) {
  ok_ = true;
  const std::string cpl = SystemFile("PASSWORD.CPL");
  ::DeleteFileA(cpl.c_str());
  if (password_cpl_) {
    ok_ = ::CopyFileA(FixtureBinary("PASSWORD.CPL").c_str(), cpl.c_str(), FALSE) != 0;
  }
  // Wine's own MPR.DLL is put aside so that the test's takes its place; a copy left by a test
  // that did not finish is the system's, not to be overwritten.
  const std::string mpr = SystemFile("mpr.dll");
  const std::string saved = mpr + kSavedSuffix;
  if (::GetFileAttributesA(saved.c_str()) == INVALID_FILE_ATTRIBUTES) {
    ok_ = ok_ && ::CopyFileA(mpr.c_str(), saved.c_str(), TRUE) != 0;
  }
  if (mpr_dll_) ok_ = ok_ && ::CopyFileA(FixtureBinary("MPR.DLL").c_str(), mpr.c_str(), FALSE);
  // Wine reads load-order overrides from its registry when a process starts.
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, kWineOverrides, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
    ok_ = false;
    return;
  }
  char saved_value[256] = {};
  DWORD size = sizeof(saved_value) - 1;
  DWORD type = REG_NONE;
  had_override_ =
      ::RegQueryValueExA(key, "mpr", nullptr, &type, reinterpret_cast<BYTE*>(saved_value), &size) ==
          ERROR_SUCCESS &&
      type == REG_SZ;
  if (had_override_) saved_override_ = saved_value;
  const char* order = mpr_dll_ ? "native" : "";
  ok_ = ok_ && ::RegSetValueExA(key, "mpr", 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                                static_cast<DWORD>(std::strlen(order) + 1)) == ERROR_SUCCESS;
  ::RegCloseKey(key);
}

PasswordLibraries::~PasswordLibraries() {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, kWineOverrides, 0, KEY_ALL_ACCESS, &key) ==
      ERROR_SUCCESS) {
    if (had_override_) {
      ::RegSetValueExA(key, "mpr", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(saved_override_.c_str()),
                       static_cast<DWORD>(saved_override_.size() + 1));
    } else {
      ::RegDeleteValueA(key, "mpr");
    }
    ::RegCloseKey(key);
  }
  ::DeleteFileA(SystemFile("PASSWORD.CPL").c_str());
  RestoreWineMpr();
}

void PasswordLibraries::Script(const std::string& content) const {
  folder_.Write("password_script.txt", content);
}

std::vector<std::string> PasswordLibraries::Calls() const {
  return folder_.Lines("password_calls.txt");
}

// ---------------------------------------------------------------------------------------------

void UnregisterFlashComServer() { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kFlashClassKey); }

FlashComServer::FlashComServer(const FixtureFolder& folder) : folder_(folder) {
  UnregisterFlashComServer();
  HKEY key = nullptr;
  const std::string server_key = std::string(kFlashClassKey) + "\\InprocServer32";
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, server_key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  const std::string dll = FixtureBinary("flash_fixture_control.dll");
  const char model[] = "Apartment";
  ok_ = ::RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(dll.c_str()),
                         static_cast<DWORD>(dll.size() + 1)) == ERROR_SUCCESS &&
        ::RegSetValueExA(key, "ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(model),
                         sizeof(model)) == ERROR_SUCCESS &&
        ::GetFileAttributesA(dll.c_str()) != INVALID_FILE_ATTRIBUTES;
  ::RegCloseKey(key);
}

FlashComServer::~FlashComServer() { UnregisterFlashComServer(); }

void FlashComServer::Script(const std::string& content) const {
  folder_.Write("flash_script.txt", content);
}

std::vector<std::string> FlashComServer::Calls() const { return folder_.Lines("flash_calls.txt"); }

// ---------------------------------------------------------------------------------------------

WaveOutStandIn::WaveOutStandIn(const FixtureFolder& folder, const std::string& program) {
  const size_t slash = program.find_last_of('\\');
  dll_path_ = program.substr(0, slash + 1) + "WINMM.DLL";
  app_key_ = "Software\\Wine\\AppDefaults\\" + program.substr(slash + 1);
  ::CopyFileA(FixtureBinary("WINMM.DLL").c_str(), dll_path_.c_str(), FALSE);
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, (app_key_ + "\\DllOverrides").c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS) {
    const char native[] = "native";
    ::RegSetValueExA(key, "winmm", 0, REG_SZ, reinterpret_cast<const BYTE*>(native),
                     sizeof(native));
    ::RegCloseKey(key);
  }
  // Under another name: the test's own process keeps Wine's load order for "winmm".
  probe_path_ = folder.path() + "wave_out_probe.dll";
  ::CopyFileA(FixtureBinary("WINMM.DLL").c_str(), probe_path_.c_str(), FALSE);
  dll_ = ::LoadLibraryA(probe_path_.c_str());
  if (!dll_) return;
  get_ = reinterpret_cast<decltype(get_)>(
      reinterpret_cast<void*>(::GetProcAddress(dll_, "waveOutGetVolume")));
  set_ = reinterpret_cast<decltype(set_)>(
      reinterpret_cast<void*>(::GetProcAddress(dll_, "waveOutSetVolume")));
}

WaveOutStandIn::~WaveOutStandIn() {
  if (dll_) ::FreeLibrary(dll_);
  ::RegDeleteTreeA(HKEY_CURRENT_USER, app_key_.c_str());
  ::DeleteFileA(dll_path_.c_str());
  ::DeleteFileA(probe_path_.c_str());
}

DWORD WaveOutStandIn::Volume() const {
  DWORD volume = 0;
  return get_ && get_(nullptr, &volume) == 0 ? volume : 0xDEADBEEF;
}

void WaveOutStandIn::SetVolume(DWORD volume) const {
  if (set_) set_(nullptr, volume);
}

}  // namespace e2e
