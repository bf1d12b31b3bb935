// AMF3: ByteArray's default object encoding. Strings, objects and class traits are each kept in
// a reference table so that repeats (and cycles) are written once.
#include <cmath>
#include <map>
#include <unordered_map>

#include "player/avm2/builtins/amf.h"
#include "player/avm2/builtins/builtins.h"
#include "player/avm2/builtins/xml_support.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

enum Marker : uint8_t {
  kUndefined = 0,
  kNull = 1,
  kFalse = 2,
  kTrue = 3,
  kInteger = 4,
  kDouble = 5,
  kString = 6,
  kXmlDoc = 7,
  kDate = 8,
  kArray = 9,
  kObject = 10,
  kXml = 11,
  kByteArray = 12,
  kVectorInt = 13,
  kVectorUInt = 14,
  kVectorDouble = 15,
  kVectorObject = 16,
  kDictionary = 17,
};

constexpr int kMaxDepth = 200;

bool IsFunction(const Value& v) {
  return v.AsObject() && v.AsObject()->kind() == ObjectKind::kFunction;
}

class Writer {
 public:
  explicit Writer(ByteCursor& c) : c_(c), vm_(c.vm()) {}

  void U29(uint32_t v) {
    v &= 0x1FFFFFFF;
    if (v < 0x80) {
      c_.W8(static_cast<uint8_t>(v));
    } else if (v < 0x4000) {
      c_.W8(static_cast<uint8_t>(v >> 7 | 0x80));
      c_.W8(static_cast<uint8_t>(v & 0x7F));
    } else if (v < 0x200000) {
      c_.W8(static_cast<uint8_t>(v >> 14 | 0x80));
      c_.W8(static_cast<uint8_t>((v >> 7 & 0x7F) | 0x80));
      c_.W8(static_cast<uint8_t>(v & 0x7F));
    } else {
      c_.W8(static_cast<uint8_t>(v >> 22 | 0x80));
      c_.W8(static_cast<uint8_t>((v >> 15 & 0x7F) | 0x80));
      c_.W8(static_cast<uint8_t>((v >> 8 & 0x7F) | 0x80));
      c_.W8(static_cast<uint8_t>(v & 0xFF));
    }
  }

  // The empty string is never entered in the table.
  void String(const Str& s) {
    if (s.empty()) {
      U29(1);
      return;
    }
    auto it = strings_.find(s.str());
    if (it != strings_.end()) {
      U29(it->second << 1);
      return;
    }
    strings_.emplace(s.str(), static_cast<uint32_t>(strings_.size()));
    std::string utf8 = EncodeUtf8(s.view());
    if (utf8.size() > 0x0FFFFFFF) vm_.ThrowError(ErrorType::kRangeError, 2006);
    U29(static_cast<uint32_t>(utf8.size()) << 1 | 1);
    c_.Write({reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size()});
  }

  // True when o was written before (its reference is written); else o joins the table.
  bool Reference(Object* o) {
    auto it = objects_.find(o);
    if (it != objects_.end()) {
      U29(it->second << 1);
      return true;
    }
    objects_.emplace(o, static_cast<uint32_t>(objects_.size()));
    return false;
  }

  void Number(double d) {
    if (d == std::trunc(d) && d >= -268435456.0 && d <= 268435455.0 &&
        !(d == 0 && std::signbit(d))) {
      c_.W8(kInteger);
      U29(static_cast<uint32_t>(static_cast<int32_t>(d)));
    } else {
      c_.W8(kDouble);
      c_.WF64BE(d);
    }
  }

  void Value_(const Value& v) {
    if (++depth_ > kMaxDepth) vm_.ThrowError(ErrorType::kError, 1023);
    WriteValue(v);
    --depth_;
  }

 private:
  void WriteValue(const Value& v) {
    switch (v.type()) {
      case ValueType::kUndefined:
        c_.W8(kUndefined);
        return;
      case ValueType::kNull:
        c_.W8(kNull);
        return;
      case ValueType::kBoolean:
        c_.W8(v.AsBoolean() ? kTrue : kFalse);
        return;
      case ValueType::kInt:
      case ValueType::kUInt:
      case ValueType::kNumber:
        Number(v.AsDouble());
        return;
      case ValueType::kString:
        c_.W8(kString);
        String(v.AsStr());
        return;
      case ValueType::kObject:
        break;
    }
    Object* o = v.AsObject();
    // Functions have no AMF form: they are written as undefined.
    if (o->kind() == ObjectKind::kFunction) {
      c_.W8(kUndefined);
      return;
    }
    if (AsXml(v) || IsXmlDocument(v)) {
      c_.W8(AsXml(v) ? kXml : kXmlDoc);
      if (Reference(o)) return;
      Str text = vm_.ToString(AsXml(v) ? vm_.CallMethod(v, "toXMLString", {}) : v);
      std::string utf8 = EncodeUtf8(text.view());
      if (utf8.size() > 0x0FFFFFFF) vm_.ThrowError(ErrorType::kRangeError, 2006);
      U29(static_cast<uint32_t>(utf8.size()) << 1 | 1);
      c_.Write({reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size()});
      return;
    }
    if (IsDate(v)) {
      c_.W8(kDate);
      if (Reference(o)) return;
      U29(1);
      c_.WF64BE(vm_.ToNumber(vm_.CallMethod(v, "getTime", {})));
      return;
    }
    if (auto* a = dynamic_cast<ArrayObject*>(o)) return Array(a);
    if (auto* ba = dynamic_cast<ByteArrayObject*>(o)) {
      c_.W8(kByteArray);
      if (Reference(o)) return;
      std::vector<uint8_t> copy = ba->bytes;  // the target may be this same array
      if (copy.size() > 0x0FFFFFFF) vm_.ThrowError(ErrorType::kRangeError, 2006);
      U29(static_cast<uint32_t>(copy.size()) << 1 | 1);
      c_.Write(copy);
      return;
    }
    if (auto* vec = dynamic_cast<VectorObject*>(o)) return Vector(vec);
    if (auto* d = dynamic_cast<DictionaryObject*>(o)) return Dictionary(d);
    ObjectValue(o);
  }

  void Array(ArrayObject* a) {
    c_.W8(kArray);
    if (Reference(a)) return;
    uint32_t dense = 0;
    while (dense < a->length() && a->Has(dense)) ++dense;
    // Functions are left out of an array's dense part altogether, not written as undefined.
    std::vector<Value> values;
    for (uint32_t i = 0; i < dense; ++i)
      if (Value x = a->Get(i); !IsFunction(x)) values.push_back(x);
    U29(static_cast<uint32_t>(values.size()) << 1 | 1);
    for (uint32_t i = a->NextIndex(static_cast<int64_t>(dense) - 1); i < a->length();
         i = a->NextIndex(i)) {
      String(vm_.ToString(Value(i)));
      Value_(a->Get(i));
    }
    for (auto& [k, val] : DynamicMembers(a)) {
      String(k);
      Value_(val);
    }
    U29(1);
    for (const Value& x : values) Value_(x);
  }

  void Vector(VectorObject* v) {
    const auto& cls = vm_.classes();
    uint8_t marker = v->type == cls.int_     ? kVectorInt
                     : v->type == cls.uint   ? kVectorUInt
                     : v->type == cls.number ? kVectorDouble
                                             : kVectorObject;
    c_.W8(marker);
    if (Reference(v)) return;
    std::vector<Value> items = v->items;
    U29(static_cast<uint32_t>(items.size()) << 1 | 1);
    c_.W8(v->fixed ? 1 : 0);
    if (marker == kVectorObject) {
      const std::u16string* alias = v->type ? AliasOfClass(vm_, v->type) : nullptr;
      String(alias ? Str(*alias) : Str());
    }
    for (const Value& x : items) {
      if (marker == kVectorInt || marker == kVectorUInt)
        c_.W32BE(static_cast<uint32_t>(vm_.ToInt32(x)));
      else if (marker == kVectorDouble)
        c_.WF64BE(vm_.ToNumber(x));
      else
        Value_(x);
    }
  }

  void Dictionary(DictionaryObject* d) {
    c_.W8(kDictionary);
    if (Reference(d)) return;
    std::vector<std::pair<Value, Value>> entries;
    for (auto& [k, val] : DynamicMembers(d)) {
      auto it = d->keys.find(k.str());
      // Keys go back as they were given: objects, numbers (index-like names) or strings.
      int64_t index = Vm::ArrayIndex(k.view());
      if (it != d->keys.end())
        entries.emplace_back(Value(it->second), val);
      else if (index >= 0)
        entries.emplace_back(Value::Numeric(static_cast<double>(index)), val);
      else
        entries.emplace_back(Value(k), val);
    }
    U29(static_cast<uint32_t>(entries.size()) << 1 | 1);
    c_.W8(0);
    for (auto& [k, val] : entries) {
      Value_(k);
      Value_(val);
    }
  }

  void ObjectValue(Object* o) {
    c_.W8(kObject);
    if (Reference(o)) return;
    ClassObject* cls = o->cls();
    bool anonymous = !cls || cls == vm_.classes().object;
    const std::u16string* alias = anonymous ? nullptr : AliasOfClass(vm_, cls);
    bool external = !anonymous && IsExternalizable(vm_, cls);
    bool dynamic = anonymous || !cls->is_sealed;
    // Sealed members holding functions are left out, as in arrays.
    std::vector<Str> sealed;
    std::vector<Value> sealed_values;
    if (!anonymous && !external)
      for (const Str& s : SealedMembers(vm_, cls))
        if (Value x = vm_.GetProperty(Value(o), s.ToUtf8()); !IsFunction(x)) {
          sealed.push_back(s);
          sealed_values.push_back(x);
        }
    auto it = traits_.find(cls);
    if (it != traits_.end()) {
      U29(it->second << 2 | 1);
    } else {
      traits_.emplace(cls, static_cast<uint32_t>(traits_.size()));
      if (external) {
        U29(7);
      } else {
        U29(static_cast<uint32_t>(sealed.size()) << 4 | (dynamic ? 8u : 0u) | 3u);
      }
      String(alias ? Str(*alias) : Str());
      for (const Str& s : sealed) String(s);
    }
    Value self(o);
    if (external) {
      // The object writes itself into the same array, after what is written so far.
      Value out(static_cast<Object*>(&c_.array()));
      vm_.CallMethod(self, "writeExternal", std::span<const Value>(&out, 1));
      return;
    }
    for (const Value& x : sealed_values) Value_(x);
    if (dynamic) {
      for (auto& [k, val] : DynamicMembers(o)) {
        if (val.AsObject() && val.AsObject()->kind() == ObjectKind::kFunction) continue;
        String(k);
        Value_(val);
      }
      U29(1);
    }
  }

  ByteCursor& c_;
  Vm& vm_;
  int depth_ = 0;
  std::unordered_map<std::u16string, uint32_t> strings_;
  std::unordered_map<Object*, uint32_t> objects_;
  std::map<ClassObject*, uint32_t> traits_;
};

struct TraitsInfo {
  Str alias;
  bool dynamic = false;
  bool external = false;
  std::vector<Str> sealed;
};

class Reader {
 public:
  explicit Reader(ByteCursor& c) : c_(c), vm_(c.vm()) {}

  uint32_t U29() {
    uint32_t v = 0;
    for (int i = 0; i < 3; ++i) {
      uint8_t b = c_.U8();
      v = v << 7 | (b & 0x7F);
      if (!(b & 0x80)) return v;
    }
    return v << 8 | c_.U8();
  }

  Str String() {
    uint32_t h = U29();
    if (!(h & 1)) {
      if ((h >> 1) >= strings_.size()) vm_.ThrowError(ErrorType::kRangeError, 2006);
      return strings_[h >> 1];
    }
    Str s(DecodeUtf8Lenient(c_.Read(h >> 1), false));
    if (!s.empty()) strings_.push_back(s);
    return s;
  }

  Value Read() {
    if (++depth_ > kMaxDepth) vm_.ThrowError(ErrorType::kError, 1023);
    Value v = ReadValue();
    --depth_;
    return v;
  }

 private:
  // A reference header: true and the earlier object in `out` when it is one.
  bool Ref(uint32_t h, Value& out) {
    if (h & 1) return false;
    if ((h >> 1) >= objects_.size()) vm_.ThrowError(ErrorType::kRangeError, 2006);
    out = objects_[h >> 1];
    return true;
  }
  // A count the remaining bytes could hold (each item takes at least `each` bytes).
  uint32_t Count(uint32_t n, size_t each) {
    size_t left = c_.array().bytes.size() - c_.array().position;
    if (uint64_t{n} * each > left) vm_.ThrowError(ErrorType::kEOFError, 2030);
    return n;
  }
  ClassObject* Class(const char* name) { return vm_.FindClass(name); }
  Value New(ClassObject* cls, std::span<const Value> args = {}) {
    return vm_.Construct(Value(static_cast<Object*>(cls)), args);
  }

  Value ReadValue() {
    uint8_t marker = c_.U8();
    switch (marker) {
      case kUndefined:
        return Value();
      case kNull:
        return Value::Null();
      case kFalse:
        return Value(false);
      case kTrue:
        return Value(true);
      case kInteger: {
        uint32_t u = U29();
        return Value(static_cast<int32_t>(u << 3) >> 3);
      }
      case kDouble:
        return Value(c_.F64BE());
      case kString:
        return Value(String());
      case kXmlDoc:
      case kXml: {
        uint32_t h = U29();
        if (Value r; Ref(h, r)) return r;
        Value text(Str(DecodeUtf8Lenient(c_.Read(h >> 1), false)));
        ClassObject* cls = Class(marker == kXml ? "XML" : "flash.xml::XMLDocument");
        Value x = cls ? New(cls, std::span<const Value>(&text, 1)) : text;
        objects_.push_back(x);
        return x;
      }
      case kDate: {
        uint32_t h = U29();
        if (Value r; Ref(h, r)) return r;
        Value t(c_.F64BE());
        Value d = New(Class("Date"), std::span<const Value>(&t, 1));
        objects_.push_back(d);
        return d;
      }
      case kArray:
        return Array();
      case kObject:
        return ObjectValue();
      case kByteArray: {
        uint32_t h = U29();
        if (Value r; Ref(h, r)) return r;
        std::span<const uint8_t> b = c_.Read(h >> 1);
        std::vector<uint8_t> copy(b.begin(), b.end());
        ByteArrayObject* ba = NewByteArray(vm_);
        ba->bytes = std::move(copy);
        objects_.push_back(Value(static_cast<Object*>(ba)));
        return objects_.back();
      }
      case kVectorInt:
      case kVectorUInt:
      case kVectorDouble:
      case kVectorObject:
        return Vector(marker);
      case kDictionary:
        return Dictionary();
      default:
        vm_.ThrowError(ErrorType::kRangeError, 2006);
    }
  }

  Value Array() {
    uint32_t h = U29();
    if (Value r; Ref(h, r)) return r;
    uint32_t dense = Count(h >> 1, 1);
    ArrayObject* a = vm_.NewArray();
    Value av(static_cast<Object*>(a));
    objects_.push_back(av);
    for (Str key = String(); !key.empty(); key = String())
      vm_.SetProperty(av, vm_.PublicName(key.view()), Read());
    for (uint32_t i = 0; i < dense; ++i) a->Set(i, Read());
    return av;
  }

  Value Vector(uint8_t marker) {
    uint32_t h = U29();
    if (Value r; Ref(h, r)) return r;
    uint32_t n = Count(h >> 1, marker == kVectorDouble ? 8 : marker == kVectorObject ? 1 : 4);
    bool fixed = c_.U8() != 0;
    const auto& cls = vm_.classes();
    ClassObject* type = marker == kVectorInt      ? cls.int_
                        : marker == kVectorUInt   ? cls.uint
                        : marker == kVectorDouble ? cls.number
                                                  : cls.object;
    if (marker == kVectorObject) {
      Str name = String();
      if (ClassObject* k = ClassByAlias(vm_, name.view())) type = k;
    }
    Value tv(static_cast<Object*>(type));
    Value vc =
        vm_.ApplyType(Value(static_cast<Object*>(cls.vector)), std::span<const Value>(&tv, 1));
    Value out = vm_.Construct(vc, {});
    auto* vec = dynamic_cast<VectorObject*>(out.AsObject());
    if (!vec) vm_.ThrowError(ErrorType::kRangeError, 2006);
    objects_.push_back(out);
    for (uint32_t i = 0; i < n; ++i) {
      Value x = marker == kVectorInt      ? Value(static_cast<int32_t>(c_.U32BE()))
                : marker == kVectorUInt   ? Value(c_.U32BE())
                : marker == kVectorDouble ? Value(c_.F64BE())
                                          : Read();
      vec->items.push_back(vm_.Coerce(x, vec->type));
    }
    vec->fixed = fixed;
    return out;
  }

  Value Dictionary() {
    uint32_t h = U29();
    if (Value r; Ref(h, r)) return r;
    uint32_t n = Count(h >> 1, 2);
    c_.U8();  // weak keys: entries are held strongly here
    ClassObject* cls = Class("flash.utils::Dictionary");
    Value d = New(cls);
    objects_.push_back(d);
    for (uint32_t i = 0; i < n; ++i) {
      Value k = Read();
      Value v = Read();
      Name name = vm_.PublicName(vm_.ToString(k).view());
      DictionaryKeyName(vm_, d, k, name);
      vm_.SetProperty(d, name, v);
    }
    return d;
  }

  Value ObjectValue() {
    uint32_t h = U29();
    if (Value r; Ref(h, r)) return r;
    TraitsInfo t;
    if ((h & 3) == 1) {
      if ((h >> 2) >= traits_.size()) vm_.ThrowError(ErrorType::kRangeError, 2006);
      t = traits_[h >> 2];
    } else {
      t.external = (h & 4) != 0;
      t.dynamic = (h & 8) != 0;
      uint32_t n = Count(h >> 4, 1);
      t.alias = String();
      for (uint32_t i = 0; i < n; ++i) t.sealed.push_back(String());
      traits_.push_back(t);
    }
    ClassObject* cls = t.alias.empty() ? nullptr : ClassByAlias(vm_, t.alias.view());
    if (t.external && (!cls || !IsExternalizable(vm_, cls)))
      vm_.ThrowError(ErrorType::kArgumentError, 2173, {t.alias.ToUtf8()});
    Value o = cls ? NewTyped(vm_, cls) : Value(vm_.NewObject());
    objects_.push_back(o);
    if (t.external) {
      Value in(static_cast<Object*>(&c_.array()));
      vm_.CallMethod(o, "readExternal", std::span<const Value>(&in, 1));
      return o;
    }
    for (const Str& s : t.sealed) SetDecodedMember(vm_, o, s, Read());
    if (t.dynamic)
      for (Str key = String(); !key.empty(); key = String()) SetDecodedMember(vm_, o, key, Read());
    return o;
  }

  ByteCursor& c_;
  Vm& vm_;
  int depth_ = 0;
  std::vector<Str> strings_;
  std::vector<Value> objects_;
  std::vector<TraitsInfo> traits_;
};

}  // namespace

void WriteAmf3(ByteCursor& c, const Value& v) { Writer(c).Value_(v); }

Value ReadAmf3(ByteCursor& c) { return Reader(c).Read(); }

}  // namespace flashsaver::avm2
