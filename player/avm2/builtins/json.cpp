// JSON: parse (with a reviver) and stringify (with a replacer and indent), as Flash does them.
#include <cmath>
#include <string>
#include <vector>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/number_text.h"
#include "player/avm2/object.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

// Nesting deeper than this is refused rather than risking the native stack.
constexpr int kMaxDepth = 4000;

class Parser {
 public:
  Parser(Vm& vm, std::u16string_view s) : vm_(vm), s_(s) {}

  Value ParseAll() {
    Value v = ParseValue(0);
    SkipSpace();
    if (pos_ != s_.size()) Fail();
    return v;
  }

 private:
  [[noreturn]] void Fail() { vm_.ThrowError(ErrorType::kSyntaxError, 1132); }
  void SkipSpace() {
    while (pos_ < s_.size() &&
           (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r'))
      ++pos_;
  }
  bool Eat(char16_t c) {
    SkipSpace();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool Word(std::u16string_view w) {
    if (s_.substr(pos_, w.size()) != w) return false;
    pos_ += w.size();
    return true;
  }

  Value ParseValue(int depth) {
    if (depth > kMaxDepth) Fail();
    SkipSpace();
    if (pos_ >= s_.size()) Fail();
    char16_t c = s_[pos_];
    if (c == '{') return ParseObject(depth);
    if (c == '[') return ParseArray(depth);
    if (c == '"') return Value(ParseString());
    if (Word(u"true")) return Value(true);
    if (Word(u"false")) return Value(false);
    if (Word(u"null")) return Value::Null();
    if (c == '-' || (c >= '0' && c <= '9')) return ParseNumber();
    Fail();
  }

  Value ParseObject(int depth) {
    ++pos_;
    Object* o = vm_.NewObject();
    if (Eat('}')) return Value(o);
    do {
      SkipSpace();
      if (pos_ >= s_.size() || s_[pos_] != '"') Fail();
      std::u16string key = ParseString();
      if (!Eat(':')) Fail();
      Value v = ParseValue(depth + 1);
      vm_.SetProperty(Value(o), vm_.PublicName(std::u16string_view(key)), v);
    } while (Eat(','));
    if (!Eat('}')) Fail();
    return Value(o);
  }

  Value ParseArray(int depth) {
    ++pos_;
    std::vector<Value> items;
    if (!Eat(']')) {
      do items.push_back(ParseValue(depth + 1));
      while (Eat(','));
      if (!Eat(']')) Fail();
    }
    return Value(vm_.NewArray(std::move(items)));
  }

  int Hex(char16_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    Fail();
  }

  std::u16string ParseString() {
    ++pos_;
    std::u16string out;
    while (true) {
      if (pos_ >= s_.size()) Fail();
      char16_t c = s_[pos_++];
      if (c == '"') return out;
      if (c < 0x20) Fail();
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= s_.size()) Fail();
      char16_t e = s_[pos_++];
      switch (e) {
        case '"':
          out += u'"';
          break;
        case '\\':
          out += u'\\';
          break;
        case '/':
          out += u'/';
          break;
        case 'b':
          out += u'\b';
          break;
        case 'f':
          out += u'\f';
          break;
        case 'n':
          out += u'\n';
          break;
        case 'r':
          out += u'\r';
          break;
        case 't':
          out += u'\t';
          break;
        case 'u': {
          if (pos_ + 4 > s_.size()) Fail();
          int v = 0;
          for (int i = 0; i < 4; ++i) v = v * 16 + Hex(s_[pos_++]);
          out += static_cast<char16_t>(v);
          break;
        }
        default:
          Fail();
      }
    }
  }

  Value ParseNumber() {
    size_t start = pos_;
    auto digits = [&] {
      size_t b = pos_;
      while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
      return pos_ - b;
    };
    if (s_[pos_] == '-') ++pos_;
    if (pos_ < s_.size() && s_[pos_] == '0') {
      ++pos_;
    } else if (digits() == 0) {
      Fail();
    }
    if (pos_ < s_.size() && s_[pos_] == '.') {
      ++pos_;
      if (digits() == 0) Fail();
    }
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
      if (digits() == 0) Fail();
    }
    std::string text(s_.begin() + static_cast<std::ptrdiff_t>(start),
                     s_.begin() + static_cast<std::ptrdiff_t>(pos_));
    return Value(std::strtod(text.c_str(), nullptr));
  }

  Vm& vm_;
  std::u16string_view s_;
  size_t pos_ = 0;
};

// The reviver sees every value bottom-up; returning undefined deletes the property.
Value Revive(Vm& vm, const Value& reviver, const Value& holder, const Str& key, int depth) {
  if (depth > kMaxDepth) vm.ThrowError(ErrorType::kSyntaxError, 1132);
  Value val = vm.GetProperty(holder, vm.PublicName(key.view()));
  if (Object* o = val.AsObject()) {
    std::vector<Str> keys;
    if (auto* a = dynamic_cast<ArrayObject*>(o)) {
      for (uint32_t i = 0; i < a->length(); ++i) keys.push_back(Str::FromUtf8(std::to_string(i)));
    } else {
      PropertyMap& m = o->dynamic();
      for (uint32_t i = m.NextIndex(0); i != 0; i = m.NextIndex(i)) keys.push_back(m.At(i).key);
    }
    for (const Str& k : keys) {
      Value nv = Revive(vm, reviver, val, k, depth + 1);
      Name n = vm.PublicName(k.view());
      if (nv.IsUndefined())
        vm.DeleteProperty(val, n);
      else
        vm.SetProperty(val, n, nv);
    }
  }
  Value args[2] = {Value(key), val};
  return vm.Call(reviver, holder, args);
}

Value Parse(Vm& vm, const Value&, std::span<const Value> args) {
  Value text = Arg(args, 0);
  if (text.IsNullish()) vm.ThrowError(ErrorType::kSyntaxError, 1132);
  Str s = vm.ToString(text);
  Value result = Parser(vm, s.view()).ParseAll();
  Value reviver = Arg(args, 1);
  if (reviver.IsNullish()) return result;
  // The reviver is typed Function: anything else fails its coercion.
  if (!dynamic_cast<FunctionObject*>(reviver.AsObject()))
    vm.ThrowError(ErrorType::kTypeError, 1034, {vm.TypeNameForError(reviver), "Function"});
  Object* root = vm.NewObject();
  vm.SetProperty(Value(root), vm.PublicName(std::u16string_view()), result);
  return Revive(vm, reviver, Value(root), Str(), 0);
}

class Stringifier {
 public:
  Stringifier(Vm& vm, Value replacer, std::u16string gap)
      : vm_(vm), replacer_(std::move(replacer)), gap_(std::move(gap)) {
    if (auto* a = dynamic_cast<ArrayObject*>(replacer_.AsObject())) {
      has_list_ = true;
      for (uint32_t i = 0; i < a->length(); ++i) {
        Value v = a->Get(i);
        if (v.IsString() || v.IsNumeric()) {
          Str k = vm_.ToString(v);
          bool seen = false;
          for (const Str& e : list_) seen = seen || e == k;
          if (!seen) list_.push_back(k);
        }
      }
      replacer_ = Value();
    } else if (!replacer_.IsNullish() && !dynamic_cast<FunctionObject*>(replacer_.AsObject())) {
      vm_.ThrowError(ErrorType::kTypeError, 1131);
    } else if (replacer_.IsNull()) {
      replacer_ = Value();
    }
  }

  // False when the value has no JSON form (undefined, a function).
  bool Write(const Value& holder, const Str& key, Value v, std::u16string& out) {
    if (v.IsObject()) {
      Value to_json = vm_.GetProperty(v, vm_.PublicName(std::string_view("toJSON")));
      if (dynamic_cast<FunctionObject*>(to_json.AsObject())) {
        Value a[1] = {Value(key)};
        v = vm_.Call(to_json, v, a);
      }
    }
    if (!replacer_.IsUndefined()) {
      Value a[2] = {Value(key), v};
      v = vm_.Call(replacer_, holder, a);
    }
    if (auto* b = dynamic_cast<BoxedObject*>(v.AsObject()); b && !b->primitive.IsUndefined())
      v = b->primitive;
    if (v.IsNull()) {
      out += u"null";
      return true;
    }
    if (v.IsBoolean()) {
      out += v.AsBoolean() ? u"true" : u"false";
      return true;
    }
    if (v.IsString()) {
      Quote(v.AsStr().view(), out);
      return true;
    }
    if (v.IsNumeric()) {
      double d = v.AsDouble();
      out += std::isfinite(d) ? Utf8ToUtf16(NumberToString(d)) : u"null";
      return true;
    }
    Object* o = v.AsObject();
    if (!o || dynamic_cast<FunctionObject*>(o)) return false;
    for (Object* s : stack_)
      if (s == o) vm_.ThrowError(ErrorType::kTypeError, 1129);
    if (stack_.size() > static_cast<size_t>(kMaxDepth)) vm_.ThrowError(ErrorType::kTypeError, 1129);
    stack_.push_back(o);
    std::u16string outer = indent_;
    indent_ += gap_;
    if (auto* a = dynamic_cast<ArrayObject*>(o)) {
      WriteArray(v, a->ToVector(), out);
    } else if (auto* vec = dynamic_cast<VectorObject*>(o)) {
      WriteArray(v, vec->items, out);
    } else {
      WriteObject(v, o, out);
    }
    indent_ = outer;
    stack_.pop_back();
    return true;
  }

 private:
  static void Quote(std::u16string_view s, std::u16string& out) {
    out += u'"';
    for (char16_t c : s) {
      switch (c) {
        case '"':
          out += u"\\\"";
          break;
        case '\\':
          out += u"\\\\";
          break;
        case '\b':
          out += u"\\b";
          break;
        case '\f':
          out += u"\\f";
          break;
        case '\n':
          out += u"\\n";
          break;
        case '\r':
          out += u"\\r";
          break;
        case '\t':
          out += u"\\t";
          break;
        default:
          if (c < 0x20) {
            static const char kHex[] = "0123456789abcdef";
            out += u"\\u00";
            out += static_cast<char16_t>(kHex[c >> 4]);
            out += static_cast<char16_t>(kHex[c & 15]);
          } else {
            out += c;
          }
      }
    }
    out += u'"';
  }

  void Open(std::u16string& out) {
    if (!gap_.empty()) {
      out += u'\n';
      out += indent_;
    }
  }
  void Close(std::u16string& out, const std::u16string& outer, char16_t c) {
    if (!gap_.empty()) {
      out += u'\n';
      out += outer;
    }
    out += c;
  }

  void WriteArray(const Value& self, const std::vector<Value>& items, std::u16string& out) {
    std::u16string outer = indent_.substr(0, indent_.size() - gap_.size());
    out += u'[';
    if (items.empty()) {
      out += u']';
      return;
    }
    for (size_t i = 0; i < items.size(); ++i) {
      if (i) out += u',';
      Open(out);
      if (!Write(self, Str::FromUtf8(std::to_string(i)), items[i], out)) out += u"null";
    }
    Close(out, outer, u']');
  }

  void WriteObject(const Value& self, Object* o, std::u16string& out) {
    std::u16string outer = indent_.substr(0, indent_.size() - gap_.size());
    std::vector<Str> keys;
    if (has_list_) {
      keys = list_;
    } else {
      PropertyMap& m = o->dynamic();
      for (uint32_t i = m.NextIndex(0); i != 0; i = m.NextIndex(i)) keys.push_back(m.At(i).key);
    }
    out += u'{';
    bool any = false;
    for (const Str& k : keys) {
      Value v = vm_.GetProperty(self, vm_.PublicName(k.view()));
      std::u16string item;
      Quote(k.view(), item);
      item += gap_.empty() ? u":" : u": ";
      if (!Write(self, k, v, item)) continue;
      if (any) out += u',';
      any = true;
      Open(out);
      out += item;
    }
    if (any)
      Close(out, outer, u'}');
    else
      out += u'}';
  }

  Vm& vm_;
  Value replacer_;
  std::u16string gap_;
  std::u16string indent_;
  bool has_list_ = false;
  std::vector<Str> list_;
  std::vector<Object*> stack_;
};

Value Stringify(Vm& vm, const Value&, std::span<const Value> args) {
  Value space = Arg(args, 2);
  if (auto* b = dynamic_cast<BoxedObject*>(space.AsObject()); b && !b->primitive.IsUndefined())
    space = b->primitive;
  std::u16string gap;
  if (space.IsNumeric()) {
    double n = std::min(10.0, std::floor(space.AsDouble()));
    if (n >= 1) gap.assign(static_cast<size_t>(n), u' ');
  } else if (space.IsString()) {
    gap = std::u16string(space.AsStr().view().substr(0, 10));
  }
  Stringifier s(vm, Arg(args, 1), std::move(gap));
  Object* root = vm.NewObject();
  Value value = Arg(args, 0);
  vm.SetProperty(Value(root), vm.PublicName(std::u16string_view()), value);
  std::u16string out;
  // A top-level value with no JSON form (undefined, a function) prints as null.
  if (!s.Write(Value(root), Str(), value, out)) return Value::Ascii("null");
  return Value(std::move(out));
}

Value JsonConstruct(Vm& vm, const Value&, std::span<const Value>) {
  vm.ThrowError(ErrorType::kArgumentError, 2012, {"JSON"});
}
// JSON(x) is a class coercion, which wants exactly one argument; with one it coerces.
Value JsonCall(Vm& vm, const Value&, std::span<const Value> args) {
  if (args.size() != 1)
    vm.ThrowError(ErrorType::kArgumentError, 1112, {std::to_string(args.size())});
  if (!args[0].IsNullish())
    vm.ThrowError(ErrorType::kTypeError, 1034, {vm.TypeNameForError(args[0]), "JSON"});
  return Value::Null();
}

}  // namespace

void ApplySwfVersionGates(Vm& vm, int swf_version) {
  vm.swf_version = swf_version;
  if (swf_version < 13) vm.UnregisterBuiltinDefinition("", "JSON");
  if (swf_version < 16) HideNumberMathStatics(vm);
}

const NativeClass& JsonClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.name = "JSON";
    c.flags = class_flag::kSealed | class_flag::kFinal;
    c.statics = {Method("parse", Parse, 2), Method("stringify", Stringify, 3)};
    c.call = JsonCall;
    c.constructor = JsonConstruct;
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
