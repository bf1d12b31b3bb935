#include "player/avm1/text_util.h"

#include <algorithm>

namespace flashsaver::avm1 {
namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Byte offset of character i (s.size() when past the end).
size_t OffsetOf(std::string_view s, size_t i) {
  size_t pos = 0;
  while (i > 0 && pos < s.size()) {
    ++pos;
    while (pos < s.size() && IsContinuation(s[pos])) ++pos;
    --i;
  }
  return pos;
}

}  // namespace

size_t Utf8Length(std::string_view s) {
  size_t n = 0;
  for (char c : s) n += !IsContinuation(c);
  return n;
}

std::string Utf8Substr(std::string_view s, size_t start, size_t count) {
  size_t a = OffsetOf(s, start);
  size_t b = a + OffsetOf(s.substr(a), count);
  return std::string(s.substr(a, b - a));
}

uint32_t Utf8At(std::string_view s, size_t i) {
  std::u16string u = ToUtf16(Utf8Substr(s, i, 1));
  return u.empty() ? 0 : u[0];
}

std::string Utf8Encode(uint32_t c) {
  std::string out;
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
  return out;
}

std::u16string ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t code;
    size_t n;
    if (c < 0x80) {
      code = c, n = 1;
    } else if ((c & 0xE0) == 0xC0) {
      code = c & 0x1F, n = 2;
    } else if ((c & 0xF0) == 0xE0) {
      code = c & 0x0F, n = 3;
    } else if ((c & 0xF8) == 0xF0) {
      code = c & 0x07, n = 4;
    } else {
      // A stray byte (text of an older movie in a local code page): keep it as Latin-1.
      out.push_back(c);
      ++i;
      continue;
    }
    if (i + n > s.size()) {
      out.push_back(c);
      ++i;
      continue;
    }
    bool ok = true;
    for (size_t k = 1; k < n; ++k) {
      if (!IsContinuation(s[i + k])) ok = false;
      code = (code << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    }
    if (!ok) {
      out.push_back(c);
      ++i;
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
    i += n;
  }
  return out;
}

std::string FromUtf16(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    out += Utf8Encode(c);
  }
  return out;
}

std::string Windows1252ToUtf8(std::string_view s) {
  // 0x80..0x9F differ from Latin-1; the five unassigned codes keep their Latin-1 meaning.
  static constexpr uint16_t kHigh[32] = {
      0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  std::string out;
  out.reserve(s.size());
  for (unsigned char c : s) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      out += Utf8Encode(c < 0xA0 ? kHigh[c - 0x80] : c);
    }
  }
  return out;
}

bool CodePointLess(std::string_view a, std::string_view b) {
  // Surrogates (even encoded one half at a time) sort above the rest of the BMP, as the code
  // points they make do.
  auto key = [](char16_t u) -> uint32_t {
    return u >= 0xD800 && u <= 0xDFFF ? u + 0x2000 : u >= 0xE000 ? u - 0x800 : u;
  };
  std::u16string ua = ToUtf16(a), ub = ToUtf16(b);
  return std::lexicographical_compare(ua.begin(), ua.end(), ub.begin(), ub.end(),
                                      [&](char16_t x, char16_t y) { return key(x) < key(y); });
}

}  // namespace flashsaver::avm1
