// escape/unescape and the encodeURI/decodeURI family, on UTF-16 text (UTF-8 in the %XX form).
#include "player/avm2/builtins/builtins.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

const char16_t* kHex = u"0123456789ABCDEF";

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

bool IsAlnum(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

Value Escape(Vm& vm, const Value&, std::span<const Value> args) {
  if (args.empty()) return Value(Str(u"undefined"));
  std::u16string out;
  // The parameter is typed String: undefined arrives as null.
  const Str text = args[0].IsUndefined() ? Str(u"null") : vm.ToString(args[0]);
  for (char16_t c : text.str()) {
    if (IsAlnum(c) || std::u16string_view(u"@-_.*+/").find(c) != std::u16string_view::npos) {
      out.push_back(c);
    } else if (c < 256) {
      out += u'%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += u"%u";
      for (int s = 12; s >= 0; s -= 4) out += kHex[(c >> s) & 15];
    }
  }
  return Value(Str(std::move(out)));
}

Value Unescape(Vm& vm, const Value&, std::span<const Value> args) {
  if (args.empty()) return Value(Str(u"undefined"));
  std::u16string s = args[0].IsUndefined() ? u"null" : vm.ToString(args[0]).str(), out;
  auto hex = [&](size_t from, size_t n, int& v) {
    v = 0;
    for (size_t k = from; k < from + n; ++k) {
      int d = HexDigit(s[k]);
      if (d < 0) return false;
      v = v * 16 + d;
    }
    return true;
  };
  for (size_t i = 0; i < s.size(); ++i) {
    int v = 0;
    if (s[i] == u'%' && i + 5 < s.size() && s[i + 1] == u'u' && hex(i + 2, 4, v)) {
      out.push_back(static_cast<char16_t>(v));
      i += 5;
    } else if (s[i] == u'%' && i + 2 < s.size() && hex(i + 1, 2, v)) {
      out.push_back(static_cast<char16_t>(v));
      i += 2;
    } else {
      out.push_back(s[i]);
    }
  }
  return Value(Str(std::move(out)));
}

// ECMA-262 Encode: characters outside `keep` become %XX of their UTF-8 bytes.
Value Encode(Vm& vm, std::span<const Value> args, std::u16string_view keep, const char* fn) {
  std::u16string s = args.empty() ? u"undefined" : vm.ToString(args[0]).str(), out;
  for (size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    if (IsAlnum(c) || keep.find(c) != std::u16string_view::npos) {
      out.push_back(c);
      continue;
    }
    uint32_t cp = c;
    if (c >= 0xDC00 && c < 0xE000) vm.ThrowError(ErrorType::kURIError, 1052, {fn});
    if (c >= 0xD800 && c < 0xDC00) {
      if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] >= 0xE000)
        vm.ThrowError(ErrorType::kURIError, 1052, {fn});
      cp = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
    }
    std::string utf8 = Utf16ToUtf8(cp >= 0x10000 ? s.substr(i - 1, 2) : std::u16string(1, c));
    for (unsigned char b : utf8) {
      out += u'%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return Value(Str(std::move(out)));
}

// ECMA-262 Decode: %XX sequences of UTF-8 back to text, except characters in `reserved`.
Value Decode(Vm& vm, std::span<const Value> args, std::u16string_view reserved, const char* fn) {
  std::u16string s = args.empty() ? u"undefined" : vm.ToString(args[0]).str(), out;
  auto byte_at = [&](size_t i) -> int {
    if (i + 2 >= s.size() || s[i] != u'%') vm.ThrowError(ErrorType::kURIError, 1052, {fn});
    int a = HexDigit(s[i + 1]), b = HexDigit(s[i + 2]);
    if (a < 0 || b < 0) vm.ThrowError(ErrorType::kURIError, 1052, {fn});
    return a * 16 + b;
  };
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != u'%') {
      out.push_back(s[i]);
      continue;
    }
    size_t start = i;
    int b = byte_at(i);
    i += 2;
    if (b < 0x80) {
      if (reserved.find(static_cast<char16_t>(b)) != std::u16string_view::npos)
        out += s.substr(start, 3);
      else
        out.push_back(static_cast<char16_t>(b));
      continue;
    }
    int n = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    if (n < 0) vm.ThrowError(ErrorType::kURIError, 1052, {fn});
    uint32_t cp = static_cast<uint32_t>(b & (0x3F >> n));
    for (int k = 0; k < n; ++k) {
      int c = byte_at(i + 1);
      if ((c & 0xC0) != 0x80) vm.ThrowError(ErrorType::kURIError, 1052, {fn});
      cp = (cp << 6) | static_cast<uint32_t>(c & 0x3F);
      i += 3;
    }
    if (cp >= 0x110000 || (cp >= 0xD800 && cp < 0xE000) ||
        cp < (n == 1   ? 0x80u
              : n == 2 ? 0x800u
                       : 0x10000u))
      vm.ThrowError(ErrorType::kURIError, 1052, {fn});
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return Value(Str(std::move(out)));
}

constexpr std::u16string_view kUriReserved = u";/?:@&=+$,#";
constexpr std::u16string_view kUriMark = u"-_.!~*'()";

Value EncodeUri(Vm& vm, const Value&, std::span<const Value> args) {
  return Encode(vm, args, u";/?:@&=+$,#-_.!~*'()", "encodeURI");
}
Value EncodeUriComponent(Vm& vm, const Value&, std::span<const Value> args) {
  return Encode(vm, args, kUriMark, "encodeURIComponent");
}
Value DecodeUri(Vm& vm, const Value&, std::span<const Value> args) {
  return Decode(vm, args, kUriReserved, "decodeURI");
}
Value DecodeUriComponent(Vm& vm, const Value&, std::span<const Value> args) {
  return Decode(vm, args, u"", "decodeURIComponent");
}
Value IsXmlName(Vm& vm, const Value&, std::span<const Value> args) {
  std::u16string s = args.empty() ? u"" : vm.ToString(args[0]).str();
  if (s.empty()) return Value(false);
  for (size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c >= 0x80;
    if (i == 0 ? !letter : !(letter || (c >= u'0' && c <= u'9') || c == u'.' || c == u'-'))
      return Value(false);
  }
  return Value(true);
}

}  // namespace

void InstallUriFunctions(Vm& vm) {
  struct F {
    const char* name;
    NativeFn fn;
  };
  for (F f : {F{"escape", Escape}, F{"unescape", Unescape}, F{"encodeURI", EncodeUri},
              F{"encodeURIComponent", EncodeUriComponent}, F{"decodeURI", DecodeUri},
              F{"decodeURIComponent", DecodeUriComponent}, F{"isXMLName", IsXmlName}}) {
    FunctionObject* fo = vm.NewNativeFunction(f.fn, 1, f.name);
    Str key = Str::FromUtf8(f.name);
    vm.global()->dynamic().Set(key, Value(static_cast<Object*>(fo)));
    vm.global()->dynamic().FindEntry(key.view())->enumerable = false;
    vm.RegisterBuiltinDefinition("", f.name, key);
  }
}

}  // namespace flashsaver::avm2
