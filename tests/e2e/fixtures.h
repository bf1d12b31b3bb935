// Test-only stand-ins for the system parts the show talks to, installed into the private Wine
// prefix for the life of one object and removed after, so that nothing leaks into other tests:
// the password libraries PASSWORD.CPL and MPR.DLL, and a COM server registered under the Flash
// class id. They record every call to files in a fixture folder and answer from a script there.
// Engines started while a fixture object lives find the folder through the environment variable
// FLASHSAVER_FIXTURE_DIR, which the fixture folder sets in the test process. Stand-ins left
// behind by a test process that was killed are removed before the first test of the next.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

// A fresh folder for one test's records and scripts; removed with everything in it at the end.
class FixtureFolder {
 public:
  FixtureFolder();
  FixtureFolder(const FixtureFolder&) = delete;
  FixtureFolder& operator=(const FixtureFolder&) = delete;
  ~FixtureFolder();
  const std::string& path() const { return path_; }  // ends in "\"

  // The lines of a record file of the folder; empty when it does not exist.
  std::vector<std::string> Lines(const std::string& file_name) const;
  bool Write(const std::string& file_name, const std::string& content) const;

 private:
  std::string path_;
};

// HKEY_CURRENT_USER "Control Panel\desktop" "ScreenSaveUsePassword" set for the test as a DWORD,
// as a string, or removed; the earlier state comes back at the end.
class ScreenSaveUsePassword {
 public:
  static ScreenSaveUsePassword Dword(DWORD value);
  static ScreenSaveUsePassword Text(const std::string& value);
  static ScreenSaveUsePassword Absent();
  ScreenSaveUsePassword(ScreenSaveUsePassword&& other) noexcept;
  ScreenSaveUsePassword(const ScreenSaveUsePassword&) = delete;
  ScreenSaveUsePassword& operator=(const ScreenSaveUsePassword&) = delete;
  ~ScreenSaveUsePassword();

 private:
  ScreenSaveUsePassword() = default;
  bool active_ = false;
  DWORD saved_type_ = REG_NONE;  // REG_NONE: there was no value
  std::vector<BYTE> saved_data_;
};

// The test PASSWORD.CPL and MPR.DLL in the prefix's system directory. Each library appends one
// line per call to "password_calls.txt" in the fixture folder:
//   VerifyScreenSavePwd window=<decimal HWND> cursor=<display count of the cursor at the call>
//                       after=<the count when the prompt ends>
//   PwdChangePasswordA provider=<text> window=<decimal> <third> <fourth>
// and answers from "password_script.txt" there (a missing script answers 1 and 0):
//   VerifyScreenSavePwd 0 0 1      answers in call order, the last one repeats
//   HoldMs 500                     the prompt stays open that long, dispatching messages
//   PwdChangePasswordA 5
// Wine has an MPR.DLL of its own, which programs load unless told otherwise: while this object
// lives, Wine's load order for "mpr" (HKEY_CURRENT_USER\Software\Wine\DllOverrides) makes
// programs started in the prefix load the test MPR.DLL (mpr_dll true) or none at all (mpr_dll
// false). Wine's file and the earlier load order come back at the end.
class PasswordLibraries {
 public:
  PasswordLibraries(const FixtureFolder& folder, bool password_cpl, bool mpr_dll);
  PasswordLibraries(const PasswordLibraries&) = delete;
  PasswordLibraries& operator=(const PasswordLibraries&) = delete;
  ~PasswordLibraries();

  bool ok() const { return ok_; }
  void Script(const std::string& content) const;
  std::vector<std::string> Calls() const;

 private:
  const FixtureFolder& folder_;
  bool ok_ = false;
  bool password_cpl_ = false;
  bool mpr_dll_ = false;
  std::string saved_override_;
  bool had_override_ = false;
};

// The test COM server registered (HKEY_LOCAL_MACHINE\Software\Classes\CLSID) under the Flash
// class id for the life of the object; any stale registration is removed first and at the end.
// It is an ActiveX control with a window of class "TTestFlashControl". It appends one line per
// event to "flash_calls.txt" in the fixture folder:
//   put <Property> <value>     every property written, by name (Movie, BackgroundColor, Quality,
//                              AlignMode, ScaleMode, Loop, Playing, or dispid<N>)
//   call Rewind | call Play
//   message WM_LBUTTONDOWN <wParam> <lParam>
//   size <width> <height>      every placement of its window (in-place activation and after)
//   close                      (a script line "CloseHoldMs N" then holds the caller N ms)
// and answers from "flash_script.txt" there:
//   TotalFrames 10
//   FrameNum -1 -1 0 1 2 3     answers in read order, the last one repeats (none: -1)
// Movie reads back the last string written.
class FlashComServer {
 public:
  explicit FlashComServer(const FixtureFolder& folder);
  FlashComServer(const FlashComServer&) = delete;
  FlashComServer& operator=(const FlashComServer&) = delete;
  ~FlashComServer();

  bool ok() const { return ok_; }
  void Script(const std::string& content) const;
  std::vector<std::string> Calls() const;

 private:
  const FixtureFolder& folder_;
  bool ok_ = false;
};

// The test WINMM.DLL put beside one saver program, which Wine's load order for that program
// (HKEY_CURRENT_USER\Software\Wine\AppDefaults\<file name>\DllOverrides) makes it load in
// place of Wine's own, whose volume calls take no device number. The volume of wave-out device 0
// lives in the fixture folder; Volume and SetVolume reach it through the same DLL, as another
// program would through the system's. Both go at the end.
class WaveOutStandIn {
 public:
  WaveOutStandIn(const FixtureFolder& folder, const std::string& program);
  WaveOutStandIn(const WaveOutStandIn&) = delete;
  WaveOutStandIn& operator=(const WaveOutStandIn&) = delete;
  ~WaveOutStandIn();

  bool ok() const { return get_ && set_; }
  DWORD Volume() const;
  void SetVolume(DWORD volume) const;

 private:
  std::string dll_path_;
  std::string probe_path_;
  std::string app_key_;
  HMODULE dll_ = nullptr;
  UINT(WINAPI* get_)(HANDLE, DWORD*) = nullptr;
  UINT(WINAPI* set_)(HANDLE, DWORD) = nullptr;
};

// Makes sure that no test COM server is registered under the Flash class id (the built-in
// player's case); tests that need that state call it first.
void UnregisterFlashComServer();

}  // namespace e2e
