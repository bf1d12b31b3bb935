// The settings file as saverpack edits it: sections of "key=value" lines kept in file order.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace saverpack {

class IniText {
 public:
  // Lines end at CR, LF or CR LF; lines before the first section are dropped.
  static IniText Parse(const std::string& text);

  // Replaces the first line of key in the first section of that name (both without regard to
  // case), or appends it, adding the section at the end when missing.
  void Set(const std::string& section, const std::string& key, const std::string& value);
  // Appends "key=value" even if the key is present.
  void Append(const std::string& section, const std::string& key, const std::string& value);
  std::optional<std::string> Get(const std::string& section, const std::string& key) const;
  // Key and value of every entry line of the section, in file order.
  std::vector<std::pair<std::string, std::string>> Entries(const std::string& section) const;
  // "[name]", the lines, an empty line, for every section; CR LF line ends.
  std::string Text() const;

 private:
  struct Section {
    std::string name;
    std::vector<std::string> lines;
  };
  Section* Find(const std::string& name);
  const Section* Find(const std::string& name) const;
  Section& FindOrAdd(const std::string& name);

  std::vector<Section> sections_;
};

bool SameText(const std::string& a, const std::string& b);

}  // namespace saverpack
