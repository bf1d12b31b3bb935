#include "settings/config_text.h"

#include <algorithm>
#include <cctype>

namespace flashsaver {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

constexpr char kHttp[] = "http://";
constexpr size_t kHttpLength = sizeof(kHttp) - 1;

}  // namespace

int32_t ClampDownloadTime(int64_t seconds) {
  return static_cast<int32_t>(std::clamp<int64_t>(seconds, kMinDownloadTime, kMaxDownloadTime));
}

int32_t DownloadTimeFromText(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return kMinDownloadTime;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return kMinDownloadTime;
    // Past the field's range the exact value no longer matters.
    value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t{1} << 40);
  }
  return ClampDownloadTime(negative ? -value : value);
}

std::string ShownWebsite(const std::string& website) {
  if (Lower(website.substr(0, kHttpLength)) != kHttp) return website;
  return website.substr(kHttpLength, 100);
}

bool ListMentionsWeb(const std::vector<std::string>& items) {
  std::string joined;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) joined += "\r\n";
    joined += items[i];
  }
  return Lower(joined).find(kHttp) != std::string::npos;
}

std::string BannerAddress(const std::string& url) {
  if (url.empty()) return url;
  if (url.find("://") != std::string::npos) return url;
  return kHttp + url;
}

std::string TextWithWindowsLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c == '\0' ? ' ' : c;
    }
  }
  return out;
}

}  // namespace flashsaver
