// The text rules of the configuration dialog, apart from its window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace flashsaver {

inline constexpr int32_t kMinDownloadTime = 1;
inline constexpr int32_t kMaxDownloadTime = 10000;

// The download-time field holds 1 to 10000 seconds.
int32_t ClampDownloadTime(int64_t seconds);
// The field's text as seconds: an integer, limited to the field's range; anything else is 1.
int32_t DownloadTimeFromText(const std::string& text);

// The web address as the header shows it: without a leading "http://" (any letter case), then
// at most 100 characters.
std::string ShownWebsite(const std::string& website);

// True when the list, its items joined by line breaks, mentions "http://" in any letter case.
bool ListMentionsWeb(const std::vector<std::string>& items);

// The address a click on the banner opens: empty when there is none, "http://" put in front
// when it names no scheme.
std::string BannerAddress(const std::string& url);

// Text as a multi-line text view needs it: every line break CR LF, NUL characters as blanks.
std::string TextWithWindowsLineBreaks(const std::string& text);

}  // namespace flashsaver
