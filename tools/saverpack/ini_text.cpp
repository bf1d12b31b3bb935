#include "tools/saverpack/ini_text.h"

#include <algorithm>
#include <cctype>

namespace saverpack {
namespace {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string KeyOf(const std::string& line) {
  const size_t eq = line.find('=');
  return eq == std::string::npos ? line : line.substr(0, eq);
}

bool IsComment(const std::string& line) { return line.empty() || line[0] == ';'; }

}  // namespace

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

IniText IniText::Parse(const std::string& text) {
  IniText ini;
  Section* current = nullptr;
  for (const std::string& line : SplitLines(text)) {
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      ini.sections_.push_back({line.substr(1, line.size() - 2), {}});
      current = &ini.sections_.back();
    } else if (current && !line.empty()) {
      current->lines.push_back(line);
    }
  }
  return ini;
}

IniText::Section* IniText::Find(const std::string& name) {
  for (Section& s : sections_) {
    if (SameText(s.name, name)) return &s;
  }
  return nullptr;
}

const IniText::Section* IniText::Find(const std::string& name) const {
  return const_cast<IniText*>(this)->Find(name);
}

IniText::Section& IniText::FindOrAdd(const std::string& name) {
  if (Section* s = Find(name)) return *s;
  sections_.push_back({name, {}});
  return sections_.back();
}

void IniText::Set(const std::string& section, const std::string& key, const std::string& value) {
  Section& s = FindOrAdd(section);
  for (std::string& line : s.lines) {
    if (!IsComment(line) && line.find('=') != std::string::npos && SameText(KeyOf(line), key)) {
      line = key + "=" + value;
      return;
    }
  }
  s.lines.push_back(key + "=" + value);
}

void IniText::Append(const std::string& section, const std::string& key, const std::string& value) {
  FindOrAdd(section).lines.push_back(key + "=" + value);
}

std::optional<std::string> IniText::Get(const std::string& section, const std::string& key) const {
  for (const auto& [k, v] : Entries(section)) {
    if (SameText(k, key)) return v;
  }
  return std::nullopt;
}

std::vector<std::pair<std::string, std::string>> IniText::Entries(
    const std::string& section) const {
  std::vector<std::pair<std::string, std::string>> entries;
  const Section* s = Find(section);
  if (!s) return entries;
  for (const std::string& line : s->lines) {
    const size_t eq = line.find('=');
    if (IsComment(line) || eq == std::string::npos) continue;
    entries.emplace_back(line.substr(0, eq), line.substr(eq + 1));
  }
  return entries;
}

std::string IniText::Text() const {
  std::string text;
  for (const Section& s : sections_) {
    text += "[" + s.name + "]\r\n";
    for (const std::string& line : s.lines) text += line + "\r\n";
    text += "\r\n";
  }
  return text;
}

}  // namespace saverpack
