// A value of ActionScript 3: undefined, null, Boolean, int, uint, Number, String or an object
// (namespaces, QNames, functions and classes are objects). Strings are UTF-16, as AS3 counts
// them (length and indices are UTF-16 units); they are shared and immutable. Conversions that
// may call script (valueOf, toString) live in the Vm.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace flashsaver::avm2 {

class Object;

// An immutable shared UTF-16 string. Null holder reads as the empty string.
class Str {
 public:
  Str() = default;
  Str(std::u16string s) : p_(std::make_shared<const std::u16string>(std::move(s))) {}
  Str(const char16_t* s) : Str(std::u16string(s)) {}
  static Str FromUtf8(std::string_view utf8);

  const std::u16string& str() const { return p_ ? *p_ : Empty(); }
  std::u16string_view view() const { return str(); }
  size_t size() const { return str().size(); }
  bool empty() const { return str().empty(); }
  std::string ToUtf8() const;

  friend bool operator==(const Str& a, const Str& b) { return a.p_ == b.p_ || a.str() == b.str(); }

 private:
  static const std::u16string& Empty();
  std::shared_ptr<const std::u16string> p_;
};

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view s);

enum class ValueType : uint8_t {
  kUndefined,
  kNull,
  kBoolean,
  kInt,
  kUInt,
  kNumber,
  kString,
  kObject
};

class Value {
 public:
  Value() = default;
  Value(bool b) : type_(ValueType::kBoolean), b_(b) {}
  Value(int32_t i) : type_(ValueType::kInt), i_(i) {}
  Value(uint32_t u) : type_(ValueType::kUInt), u_(u) {}
  Value(double d) : type_(ValueType::kNumber), d_(d) {}
  Value(Str s) : type_(ValueType::kString), s_(std::move(s)) {}
  Value(std::u16string s) : type_(ValueType::kString), s_(std::move(s)) {}
  // A null pointer gives null: an absent object reference is null in AS3.
  Value(Object* o) : type_(o ? ValueType::kObject : ValueType::kNull), o_(o) {}

  static Value Null() {
    Value v;
    v.type_ = ValueType::kNull;
    return v;
  }
  static Value Undefined() { return Value(); }
  static Value Ascii(std::string_view s) { return Value(Str::FromUtf8(s)); }
  // The narrowest numeric form: int when the double is an int32 (and not -0), else Number.
  static Value Numeric(double d);

  ValueType type() const { return type_; }
  bool IsUndefined() const { return type_ == ValueType::kUndefined; }
  bool IsNull() const { return type_ == ValueType::kNull; }
  bool IsNullish() const { return type_ <= ValueType::kNull; }
  bool IsBoolean() const { return type_ == ValueType::kBoolean; }
  bool IsInt() const { return type_ == ValueType::kInt; }
  bool IsUInt() const { return type_ == ValueType::kUInt; }
  bool IsNumber() const { return type_ == ValueType::kNumber; }
  bool IsNumeric() const {
    return type_ == ValueType::kInt || type_ == ValueType::kUInt || type_ == ValueType::kNumber;
  }
  bool IsString() const { return type_ == ValueType::kString; }
  bool IsObject() const { return type_ == ValueType::kObject; }
  bool IsPrimitive() const { return type_ != ValueType::kObject; }

  bool AsBoolean() const { return b_; }
  int32_t AsInt() const { return i_; }
  uint32_t AsUInt() const { return u_; }
  // Any numeric form as a double.
  double AsDouble() const {
    return type_ == ValueType::kInt ? i_ : type_ == ValueType::kUInt ? u_ : d_;
  }
  const Str& AsStr() const { return s_; }
  Object* AsObject() const { return type_ == ValueType::kObject ? o_ : nullptr; }

 private:
  ValueType type_ = ValueType::kUndefined;
  union {
    bool b_;
    int32_t i_;
    uint32_t u_;
    double d_ = 0;
    Object* o_;
  };
  Str s_;
};

inline Value Value::Numeric(double d) {
  if (d >= -2147483648.0 && d <= 2147483647.0) {
    auto i = static_cast<int32_t>(d);
    if (i == d && !(d == 0 && std::signbit(d))) return Value(i);
  }
  return Value(d);
}

// Strict equality (===) of two values without calling script.
bool StrictEquals(const Value& a, const Value& b);
// ECMAScript ToInt32 / ToUint32: wrap modulo 2^32; NaN and infinities give 0.
int32_t DoubleToInt32(double d);
uint32_t DoubleToUint32(double d);

}  // namespace flashsaver::avm2
