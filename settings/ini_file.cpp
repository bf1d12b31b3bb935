#include "settings/ini_file.h"

#include <memory>
#include <utility>

#include "settings/integer_text.h"

namespace flashsaver {
namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

// The key of an entry line is the text before its first "="; a line without "=" has none.
bool LineKey(std::string_view line, std::string_view& key) {
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = line.substr(0, eq);
  return true;
}

bool LineHasKey(std::string_view line, std::string_view key) {
  std::string_view line_key;
  return LineKey(line, line_key) && SameText(line_key, key);
}

// A value with a line break would become lines of its own in the file.
std::string OneLine(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (char c : text) {
    if (c != '\r' && c != '\n') line += c;
  }
  return line;
}

bool ReadWholeFile(FileSystem& fs, const std::string& path, std::string& bytes) {
  const std::unique_ptr<ReadableFile> file = fs.OpenForReading(path);
  if (!file) return false;
  const uint64_t size = file->Size();
  if (size > IniFile::kMaxFileSize) return false;
  bytes.resize(static_cast<size_t>(size));
  return bytes.empty() || file->ReadAt(0, bytes.data(), bytes.size());
}

bool WriteWholeFile(FileSystem& fs, const std::string& path, const std::string& bytes) {
  const std::unique_ptr<WritableFile> file = fs.CreateReplacing(path);
  if (!file) return false;
  const bool written = file->Write(bytes.data(), bytes.size());
  return file->Close() && written;
}

}  // namespace

void IniFile::Open(FileSystem& fs, const std::string& path) {
  fs_ = &fs;
  path_ = path;
  open_ = true;
  unreadable_ = false;
  sections_.clear();
  std::string bytes;
  if (ReadWholeFile(fs, path, bytes)) {
    Parse(bytes);
    return;
  }
  unreadable_ = fs.FileExists(path);
}

void IniFile::Close() {
  fs_ = nullptr;
  path_.clear();
  open_ = false;
  unreadable_ = false;
  sections_.clear();
}

void IniFile::Parse(std::string_view text) {
  sections_.clear();
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++pos;

    if (line.empty() || line.front() == ';') continue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      sections_.push_back(Section{std::string(line.substr(1, line.size() - 2)), {}});
    } else if (!sections_.empty()) {
      sections_.back().lines.emplace_back(line);
    }
  }
}

std::string IniFile::Text() const {
  std::string text;
  for (const Section& section : sections_) {
    text += '[';
    text += section.name;
    text += "]\r\n";
    for (const std::string& line : section.lines) {
      text += line;
      text += "\r\n";
    }
    text += "\r\n";
  }
  return text;
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
  for (const Section& section : sections_) {
    if (SameText(section.name, name)) return &section;
  }
  return nullptr;
}

const std::string* IniFile::FindLine(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  if (s == nullptr) return nullptr;
  for (const std::string& line : s->lines) {
    if (LineHasKey(line, key)) return &line;
  }
  return nullptr;
}

bool IniFile::SectionExists(std::string_view section) const {
  return FindSection(section) != nullptr;
}

std::vector<std::string> IniFile::SectionKeys(std::string_view section) const {
  std::vector<std::string> keys;
  const Section* s = FindSection(section);
  if (s == nullptr) return keys;
  for (const std::string& line : s->lines) {
    std::string_view key;
    if (LineKey(line, key)) keys.emplace_back(key);
  }
  return keys;
}

bool IniFile::KeyExists(std::string_view section, std::string_view key) const {
  return FindLine(section, key) != nullptr;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view default_value) const {
  const std::string* line = FindLine(section, key);
  if (line == nullptr) return std::string(default_value);
  return line->substr(key.size() + 1);
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                             int32_t default_value) const {
  const std::string* line = FindLine(section, key);
  int32_t value = 0;
  if (line == nullptr || !ParseInt32(std::string_view(*line).substr(key.size() + 1), value)) {
    return default_value;
  }
  return value;
}

int64_t IniFile::ReadInteger64(std::string_view section, std::string_view key,
                               int64_t default_value) const {
  const std::string* line = FindLine(section, key);
  int64_t value = 0;
  if (line == nullptr || !ParseInt64(std::string_view(*line).substr(key.size() + 1), value)) {
    return default_value;
  }
  return value;
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool default_value) const {
  return ReadInteger(section, key, default_value ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  std::string line = OneLine(key);
  line += '=';
  line += OneLine(value);
  Section* s = nullptr;
  for (Section& candidate : sections_) {
    if (SameText(candidate.name, section)) {
      s = &candidate;
      break;
    }
  }
  if (s == nullptr) {
    sections_.push_back(Section{OneLine(section), {}});
    s = &sections_.back();
  }
  for (std::string& existing : s->lines) {
    if (LineHasKey(existing, key)) {
      existing = std::move(line);
      return;
    }
  }
  s->lines.push_back(std::move(line));
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

bool IniFile::Save() {
  if (!open_ || fs_ == nullptr || unreadable_) return false;
  const std::string fresh = path_ + ".new";
  if (WriteWholeFile(*fs_, fresh, Text()) && fs_->MoveReplacing(fresh, path_)) return true;
  fs_->RemoveFile(fresh);
  return false;
}

}  // namespace flashsaver
