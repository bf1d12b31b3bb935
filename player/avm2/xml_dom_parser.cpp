#include "player/avm2/xml_dom_parser.h"

#include <cstdint>

namespace flashsaver::avm2 {
namespace {

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

void AppendCodePoint(std::u16string& out, uint32_t cp) {
  if (cp >= 0x10000 && cp <= 0x10FFFF) {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  }
}

// Entities: the five named ones and numeric references; anything else stays as written.
std::u16string Decode(std::u16string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != u'&') {
      out.push_back(s[i]);
      continue;
    }
    size_t semi = s.find(u';', i);
    if (semi == std::u16string_view::npos || semi - i > 12) {
      out.push_back(s[i]);
      continue;
    }
    std::u16string_view name = s.substr(i + 1, semi - i - 1);
    static const std::pair<std::u16string_view, char16_t> kNamed[] = {
        {u"lt", u'<'}, {u"gt", u'>'}, {u"amp", u'&'}, {u"quot", u'"'}, {u"apos", u'\''}};
    bool done = false;
    for (auto [n, c] : kNamed)
      if (name == n) {
        out.push_back(c);
        done = true;
      }
    if (!done && name.size() >= 2 && name[0] == u'#') {
      bool hex = name[1] == u'x' || name[1] == u'X';
      uint32_t cp = 0;
      bool ok = name.size() > (hex ? 2u : 1u);
      for (size_t k = hex ? 2 : 1; k < name.size() && ok; ++k) {
        char16_t c = name[k];
        uint32_t d = c >= u'0' && c <= u'9'          ? c - u'0'
                     : hex && c >= u'a' && c <= u'f' ? c - u'a' + 10
                     : hex && c >= u'A' && c <= u'F' ? c - u'A' + 10
                                                     : 99;
        if (d >= (hex ? 16u : 10u)) ok = false;
        cp = cp * (hex ? 16 : 10) + d;
        if (cp > 0x10FFFF) ok = false;
      }
      if (ok) {
        AppendCodePoint(out, cp);
        done = true;
      }
    }
    if (!done) {
      out.push_back(s[i]);
      continue;
    }
    i = semi;
  }
  return out;
}

size_t SkipSpace(std::u16string_view s, size_t i) {
  while (i < s.size() && IsSpace(s[i])) ++i;
  return i;
}

bool NameChar(char16_t c) { return !IsSpace(c) && c != u'>' && c != u'/' && c != u'='; }

// Reads "<name attr="v" ...>" from just after '<'; returns the position after '>'.
size_t ReadStartTag(std::u16string_view s, size_t i, XmlDomEvent& e) {
  size_t start = i;
  while (i < s.size() && NameChar(s[i])) ++i;
  e.kind = XmlDomEvent::kStart;
  e.text = std::u16string(s.substr(start, i - start));
  while (i < s.size()) {
    i = SkipSpace(s, i);
    if (i >= s.size()) break;
    if (s[i] == u'>') return i + 1;
    if (s[i] == u'/') {
      e.empty = true;
      ++i;
      continue;
    }
    size_t ns = i;
    while (i < s.size() && NameChar(s[i])) ++i;
    std::u16string name(s.substr(ns, i - ns));
    if (name.empty()) {
      ++i;  // a stray '=': skip it
      continue;
    }
    i = SkipSpace(s, i);
    std::u16string value;
    if (i < s.size() && s[i] == u'=') {
      i = SkipSpace(s, i + 1);
      if (i < s.size() && (s[i] == u'"' || s[i] == u'\'')) {
        char16_t q = s[i];
        size_t end = s.find(q, i + 1);
        if (end == std::u16string_view::npos) end = s.size();
        value = Decode(s.substr(i + 1, end - i - 1));
        i = end + 1;
      } else {
        size_t vs = i;
        while (i < s.size() && NameChar(s[i])) ++i;
        value = Decode(s.substr(vs, i - vs));
      }
    }
    bool dup = false;
    for (auto& [n, v] : e.attributes)
      if (n == name) dup = true;
    if (!dup) e.attributes.emplace_back(std::move(name), std::move(value));
  }
  return s.size();
}

}  // namespace

bool IsXmlDomWhite(std::u16string_view s) {
  for (char16_t c : s)
    if (!IsSpace(c)) return false;
  return true;
}

std::u16string EscapeXmlDom(std::u16string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (char16_t c : s) {
    switch (c) {
      case u'&':
        out += u"&amp;";
        break;
      case u'<':
        out += u"&lt;";
        break;
      case u'>':
        out += u"&gt;";
        break;
      case u'"':
        out += u"&quot;";
        break;
      case u'\'':
        out += u"&apos;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

std::vector<XmlDomEvent> ParseXmlDom(std::u16string_view s) {
  std::vector<XmlDomEvent> events;
  size_t i = 0;
  auto text = [&](std::u16string t, bool cdata) {
    XmlDomEvent e;
    e.kind = XmlDomEvent::kText;
    e.text = std::move(t);
    e.cdata = cdata;
    events.push_back(std::move(e));
  };
  auto skip_to = [&](std::u16string_view end, size_t from) {
    size_t p = s.find(end, from);
    return p == std::u16string_view::npos ? s.size() : p + end.size();
  };
  while (i < s.size()) {
    if (s[i] != u'<') {
      size_t end = s.find(u'<', i);
      if (end == std::u16string_view::npos) end = s.size();
      text(Decode(s.substr(i, end - i)), false);
      i = end;
      continue;
    }
    std::u16string_view rest = s.substr(i);
    if (rest.starts_with(u"<!--")) {
      i = skip_to(u"-->", i + 4);
    } else if (rest.starts_with(u"<![CDATA[")) {
      size_t end = s.find(u"]]>", i + 9);
      if (end == std::u16string_view::npos) end = s.size();
      text(std::u16string(s.substr(i + 9, end - i - 9)), true);
      i = end == s.size() ? end : end + 3;
    } else if (rest.starts_with(u"<?")) {
      size_t end = skip_to(u"?>", i + 2);
      if (rest.starts_with(u"<?xml") && (rest.size() <= 5 || !NameChar(rest[5]))) {
        XmlDomEvent e;
        e.kind = XmlDomEvent::kXmlDecl;
        e.text = std::u16string(s.substr(i, end - i));
        events.push_back(std::move(e));
      }
      i = end;
    } else if (rest.starts_with(u"<!")) {
      // A DOCTYPE may hold an internal subset in brackets.
      size_t j = i + 2;
      int depth = 0;
      while (j < s.size() && !(s[j] == u'>' && depth == 0)) {
        if (s[j] == u'[') ++depth;
        if (s[j] == u']' && depth > 0) --depth;
        ++j;
      }
      size_t end = j < s.size() ? j + 1 : s.size();
      if (rest.starts_with(u"<!DOCTYPE")) {
        XmlDomEvent e;
        e.kind = XmlDomEvent::kDocType;
        e.text = std::u16string(s.substr(i, end - i));
        events.push_back(std::move(e));
      }
      i = end;
    } else if (rest.starts_with(u"</")) {
      size_t end = s.find(u'>', i);
      if (end == std::u16string_view::npos) end = s.size();
      std::u16string_view name = s.substr(i + 2, end - i - 2);
      while (!name.empty() && IsSpace(name.back())) name.remove_suffix(1);
      XmlDomEvent e;
      e.kind = XmlDomEvent::kEnd;
      e.text = std::u16string(name);
      events.push_back(std::move(e));
      i = end == s.size() ? end : end + 1;
    } else {
      XmlDomEvent e;
      i = ReadStartTag(s, i + 1, e);
      if (e.text.empty()) continue;
      events.push_back(std::move(e));
    }
  }
  return events;
}

}  // namespace flashsaver::avm2
