#include "tools/saverpack/saver_builder.h"

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>

#include "package/tail_record.h"
#include "tools/saverpack/ini_text.h"
#include "tools/saverpack/zip_writer.h"

namespace saverpack {
namespace {

namespace fs = std::filesystem;

// The engine reads the offsets as 32-bit signed integers.
constexpr unsigned long long kMaxOffset = std::numeric_limits<int32_t>::max();

std::string ReadWhole(const std::string& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

void CopyStream(std::istream& in, std::ostream& out) {
  std::string buffer(1 << 16, '\0');
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    out.write(buffer.data(), in.gcount());
  }
  if (in.bad() || !out) throw std::runtime_error("copy failed");
}

}  // namespace

std::string KeyForName(const std::string& name) { return ReplaceAll(name, "=", "**"); }
std::string NameForKey(const std::string& key) { return ReplaceAll(key, "**", "="); }

BuildResult BuildSaver(const BuildRequest& request) {
  if (request.settings_name.empty() ||
      request.settings_name.find_first_of("\\/:") != std::string::npos ||
      request.settings_name.find("**") != std::string::npos) {
    throw std::runtime_error("the settings file name must be a plain file name without \"**\"");
  }
  IniText ini;
  if (!request.settings_base.empty()) ini = IniText::Parse(ReadWhole(request.settings_base));
  for (const SettingValue& s : request.settings) ini.Set(s.section, s.key, s.value);
  for (const ListItem& item : request.items) ini.Append(item.section, item.item, item.value);

  std::ifstream engine(fs::path(request.engine), std::ios::binary);
  if (!engine) throw std::runtime_error("cannot open the engine " + request.engine);
  std::fstream out(fs::path(request.output),
                   std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot create " + request.output);
  CopyStream(engine, out);

  ZipEntryOptions options;
  options.dos_time = DosNow();
  options.deflate = request.deflate;
  for (const PackedFile& file : request.packed) {
    std::ifstream in(fs::path(file.path), std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + file.path);
    const auto start = static_cast<unsigned long long>(out.tellp());
    if (file.raw) {
      CopyStream(in, out);
    } else {
      ZipEntryOptions entry = options;
      entry.read_only = file.read_only;
      ZipWriter zip(out);
      zip.Add(NameForKey(file.key), in, entry);
      zip.Finish();
    }
    const auto end = static_cast<unsigned long long>(out.tellp());
    if (end > kMaxOffset) throw std::runtime_error("the package is larger than 2 GB");
    ini.Set("zippos", file.key + "_1", std::to_string(start));
    ini.Set("zippos", file.key + "_2", std::to_string(end));
    if (file.raw) ini.Set("notzip", file.key, "1");
  }

  std::ostringstream archive;
  {
    ZipWriter zip(archive);
    zip.AddBytes(request.settings_name, ini.Text(), options);
    for (const std::string& extra : request.archive_extras) {
      zip.AddBytes(fs::path(extra).filename().string(), ReadWhole(extra), options);
    }
    zip.Finish();
  }
  BuildResult result;
  result.tail_offset = static_cast<unsigned long long>(out.tellp());
  const std::string tail =
      flashsaver::PackageMarker() + request.settings_name + "**" + archive.str();
  if (tail.size() > flashsaver::kTailWindowSize) {
    throw std::runtime_error("the settings archive does not fit into the engine's tail window");
  }
  out.write(tail.data(), static_cast<std::streamsize>(tail.size()));
  out.flush();
  if (!out) throw std::runtime_error("cannot write " + request.output);
  result.size = static_cast<unsigned long long>(out.tellp());
  return result;
}

}  // namespace saverpack
