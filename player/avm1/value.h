// A script value of ActionScript 1 and 2: undefined, null, boolean, number, string or object.
// Strings are UTF-8; conversions that can call script (valueOf, toString) live in the Vm.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace flashsaver::avm1 {

class Object;

enum class ValueType : uint8_t { kUndefined, kNull, kBool, kNumber, kString, kObject };

class Value {
 public:
  Value() = default;
  Value(bool b) : type_(ValueType::kBool), bool_(b) {}
  Value(double n) : type_(ValueType::kNumber), number_(n) {}
  Value(int n) : type_(ValueType::kNumber), number_(n) {}
  Value(std::string s) : type_(ValueType::kString), string_(std::move(s)) {}
  Value(std::string_view s) : type_(ValueType::kString), string_(s) {}
  Value(const char* s) : type_(ValueType::kString), string_(s) {}
  // A null object pointer gives undefined, so natives can return lookups directly.
  Value(Object* o) : type_(o ? ValueType::kObject : ValueType::kUndefined), object_(o) {}

  static Value Null() {
    Value v;
    v.type_ = ValueType::kNull;
    return v;
  }

  ValueType type() const { return type_; }
  bool IsUndefined() const { return type_ == ValueType::kUndefined; }
  bool IsNull() const { return type_ == ValueType::kNull; }
  bool IsNullish() const { return type_ <= ValueType::kNull; }
  bool IsBool() const { return type_ == ValueType::kBool; }
  bool IsNumber() const { return type_ == ValueType::kNumber; }
  bool IsString() const { return type_ == ValueType::kString; }
  bool IsObject() const { return type_ == ValueType::kObject; }
  bool IsPrimitive() const { return type_ != ValueType::kObject; }

  bool AsBool() const { return bool_; }
  double AsNumber() const { return number_; }
  const std::string& AsString() const { return string_; }
  Object* AsObject() const { return type_ == ValueType::kObject ? object_ : nullptr; }

 private:
  ValueType type_ = ValueType::kUndefined;
  bool bool_ = false;
  double number_ = 0;
  Object* object_ = nullptr;
  std::string string_;
};

// Flash's own number printing: 15 significant digits, exponent form below 1e-5 and from 1e15,
// and its rounding oddities (see number_format.cpp).
std::string NumberToString(double n);
// Number() and implicit conversion of a string, as each SWF version does it.
double StringToNumber(std::string_view s, int swf_version);
// parseFloat: leading number, trailing text ignored.
double ParseFloatPrefix(std::string_view s);
// ECMAScript ToInt32 / ToUint32: wrap modulo 2^32, NaN and infinities give 0.
int32_t ToInt32(double n);
uint32_t ToUint32(double n);

}  // namespace flashsaver::avm1
