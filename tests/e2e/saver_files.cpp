#include "saver_files.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "harness.h"

namespace e2e {
namespace {

void EmptyFolder(const std::string& folder) {
  WIN32_FIND_DATAA found{};
  HANDLE find = ::FindFirstFileA((folder + "*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = folder + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      EmptyFolder(path + "\\");
      ::RemoveDirectoryA(path.c_str());
    } else {
      ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileA(path.c_str());
    }
  } while (::FindNextFileA(find, &found));
  ::FindClose(find);
}

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string FreshFolder(const std::string& name) {
  char temp[MAX_PATH + 1] = {};
  ::GetTempPathA(sizeof(temp), temp);
  const std::string base = std::string(temp) + "flashsaver-e2e\\";
  ::CreateDirectoryA(base.c_str(), nullptr);
  const std::string folder = base + name + "\\";
  ::CreateDirectoryA(folder.c_str(), nullptr);
  EmptyFolder(folder);
  return folder;
}

std::string SourceFile(const std::string& relative) {
  // The source tree of this build, unless the environment names another one.
  const char* source = std::getenv("FLASHSAVER_SOURCE");
  std::string path = WindowsPath(source && *source ? source : FLASHSAVER_SOURCE_DIR);
  for (char c : "\\" + relative) {
    if (c) path += c == '/' ? '\\' : c;
  }
  return path;
}

bool CopyFixture(const std::string& fixture, const std::string& destination) {
  const std::string source = SourceFile("tests/data/" + fixture);
  if (::CopyFileA(source.c_str(), destination.c_str(), FALSE)) return true;
  std::fprintf(stderr, "cannot copy %s to %s: error %lu\n", source.c_str(), destination.c_str(),
               ::GetLastError());
  return false;
}

TestSaver MakeBareSaver(const std::string& name, const std::string& settings) {
  TestSaver saver;
  saver.name = name;
  saver.folder = FreshFolder(name);
  saver.program = saver.folder + name + ".scr";
  ::CopyFileA(EnginePath().c_str(), saver.program.c_str(), FALSE);
  WriteFile(saver.side_settings(), settings);
  return saver;
}

TestSaver MakePackagedSaver(const std::string& name, saverpack::BuildRequest request) {
  TestSaver saver;
  saver.name = name;
  saver.folder = FreshFolder(name);
  saver.program = saver.folder + name + ".scr";
  if (request.engine.empty()) request.engine = EnginePath();
  request.output = saver.program;
  saverpack::BuildSaver(request);
  return saver;
}

std::optional<std::string> IniValue(const std::string& text, const std::string& section,
                                    const std::string& key) {
  bool in_section = false;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
      ++start;
    }
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      in_section = SameText(line.substr(1, line.size() - 2), section);
      continue;
    }
    const size_t eq = line.find('=');
    if (in_section && eq != std::string::npos && SameText(line.substr(0, eq), key)) {
      return line.substr(eq + 1);
    }
    if (end == text.size()) break;
  }
  return std::nullopt;
}

bool UserKeyExists(const std::string& key) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
    return false;
  }
  ::RegCloseKey(opened);
  return true;
}

std::optional<DWORD> UserDword(const std::string& key, const std::string& value) {
  DWORD data = 0;
  DWORD size = sizeof(data);
  if (::RegGetValueA(HKEY_CURRENT_USER, key.c_str(), value.c_str(), RRF_RT_REG_DWORD, nullptr,
                     &data, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return data;
}

void SetUserDword(const std::string& key, const std::string& value, DWORD data) {
  HKEY created = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &created,
                        nullptr) != ERROR_SUCCESS) {
    return;
  }
  ::RegSetValueExA(created, value.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                   sizeof(data));
  ::RegCloseKey(created);
}

void SetUserDefault(const std::string& key, const std::string& text) {
  HKEY created = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &created,
                        nullptr) != ERROR_SUCCESS) {
    return;
  }
  ::RegSetValueExA(created, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
  ::RegCloseKey(created);
}

void DeleteUserKey(const std::string& key) { ::RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str()); }

}  // namespace e2e
