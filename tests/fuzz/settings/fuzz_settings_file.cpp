// Any bytes as a settings file. Besides not crashing, the file must keep two promises: its
// rewrite reads back as itself, and writing the record read from it changes no field.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/integer_text.h"
#include "settings/saver_settings.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace flashsaver;
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  IniFile file;
  file.Parse(input);
  const std::string text = file.Text();
  IniFile again;
  again.Parse(text);
  Check(again.Text() == text);

  SettingsRecord record;
  ReadSettingsFile(file, "C:\\Inst\\", record);
  SaveSettingsFile(record, file);  // not opened on a path: writes into memory only
  SettingsRecord reread;
  ReadSettingsFile(file, "C:\\Inst\\", reread);
  Check(reread == record);

  // An integer read back from its decimal form is the same integer.
  int32_t value = 0;
  if (ParseInt32(input, value)) {
    int32_t back = 0;
    Check(ParseInt32(std::to_string(value), back) && back == value);
    int64_t wide = 0;
    Check(ParseInt64(input, wide));
  }
  ParseEffectList(input);
  return 0;
}
