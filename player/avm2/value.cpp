#include "player/avm2/value.h"

#include <cmath>

#include "player/avm2/builtins/xml_support.h"
#include "player/avm2/object.h"

namespace flashsaver::avm2 {

const std::u16string& Str::Empty() {
  static const std::u16string empty;
  return empty;
}

Str Str::FromUtf8(std::string_view utf8) { return Str(Utf8ToUtf16(utf8)); }

std::string Str::ToUtf8() const { return Utf16ToUtf8(str()); }

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    auto c = static_cast<uint8_t>(s[i]);
    uint32_t cp = c;
    size_t n = 0;
    if (c >= 0xF0 && c < 0xF8) {
      cp = c & 0x07;
      n = 3;
    } else if (c >= 0xE0) {
      cp = c & 0x0F;
      n = 2;
    } else if (c >= 0xC0) {
      cp = c & 0x1F;
      n = 1;
    } else if (c >= 0x80) {
      cp = 0xFFFD;  // a stray continuation byte
    }
    ++i;
    for (size_t k = 0; k < n; ++k) {
      if (i >= s.size() || (static_cast<uint8_t>(s[i]) & 0xC0) != 0x80) {
        cp = 0xFFFD;
        break;
      }
      cp = (cp << 6) | (static_cast<uint8_t>(s[i]) & 0x3F);
      ++i;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t cp = s[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

bool StrictEquals(const Value& a, const Value& b) {
  if (bool r; XmlStrictEquals(a, b, r)) return r;
  if (a.IsNumeric() && b.IsNumeric()) return a.AsDouble() == b.AsDouble();
  if (a.type() != b.type()) return false;
  switch (a.type()) {
    case ValueType::kUndefined:
    case ValueType::kNull:
      return true;
    case ValueType::kBoolean:
      return a.AsBoolean() == b.AsBoolean();
    case ValueType::kString:
      return a.AsStr() == b.AsStr();
    case ValueType::kObject: {
      if (a.AsObject() == b.AsObject()) return true;
      // Namespaces compare by URI, and method closures of one method on one object are equal.
      auto* na = dynamic_cast<NamespaceObject*>(a.AsObject());
      auto* nb = dynamic_cast<NamespaceObject*>(b.AsObject());
      if (na && nb) return na->ns->uri == nb->ns->uri;
      auto* fa = dynamic_cast<FunctionObject*>(a.AsObject());
      auto* fb = dynamic_cast<FunctionObject*>(b.AsObject());
      if (fa && fb && fa->is_closure && fb->is_closure)
        return fa->method == fb->method && StrictEquals(fa->bound_this, fb->bound_this);
      return false;
    }
    default:
      return false;
  }
}

int32_t DoubleToInt32(double d) { return static_cast<int32_t>(DoubleToUint32(d)); }

uint32_t DoubleToUint32(double d) {
  if (!std::isfinite(d)) return 0;
  if (d >= 0 && d < 4294967296.0) return static_cast<uint32_t>(d);
  double m = std::fmod(std::trunc(d), 4294967296.0);
  if (m < 0) m += 4294967296.0;
  return static_cast<uint32_t>(m);
}

}  // namespace flashsaver::avm2
