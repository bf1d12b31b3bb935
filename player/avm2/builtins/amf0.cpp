// AMF0: the older object encoding (objectEncoding 0). Values it cannot express (ByteArray,
// Vector, Dictionary) are written as AMF3 behind its switch marker.
#include <cmath>
#include <unordered_map>

#include "player/avm2/builtins/amf.h"
#include "player/avm2/builtins/xml_support.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

enum Marker : uint8_t {
  kNumber = 0,
  kBoolean = 1,
  kString = 2,
  kObject = 3,
  kNull = 5,
  kUndefined = 6,
  kReference = 7,
  kEcmaArray = 8,
  kObjectEnd = 9,
  kStrictArray = 10,
  kDate = 11,
  kLongString = 12,
  kUnsupported = 13,
  kXmlDoc = 15,
  kTypedObject = 16,
  kAvmPlus = 17,
};

constexpr int kMaxDepth = 200;

class Writer {
 public:
  explicit Writer(ByteCursor& c) : c_(c), vm_(c.vm()) {}

  void Write(const Value& v) {
    if (++depth_ > kMaxDepth) vm_.ThrowError(ErrorType::kError, 1023);
    WriteValue(v);
    --depth_;
  }

 private:
  void Utf8(const Str& s, bool long_form) {
    std::string u = EncodeUtf8(s.view());
    if (long_form)
      c_.W32BE(static_cast<uint32_t>(u.size()));
    else
      c_.W16BE(static_cast<uint16_t>(u.size()));
    c_.Write({reinterpret_cast<const uint8_t*>(u.data()), u.size()});
  }
  void Key(const Str& s) {
    if (EncodeUtf8(s.view()).size() > 0xFFFF) vm_.ThrowError(ErrorType::kRangeError, 2006);
    Utf8(s, false);
  }
  bool Reference(Object* o) {
    auto it = objects_.find(o);
    if (it != objects_.end()) {
      c_.W8(kReference);
      c_.W16BE(static_cast<uint16_t>(it->second));
      return true;
    }
    objects_.emplace(o, static_cast<uint32_t>(objects_.size()));
    return false;
  }
  void Members(Object* o, const std::vector<Str>& sealed) {
    Value self(o);
    for (const Str& s : sealed) {
      Key(s);
      Write(vm_.GetProperty(self, s.ToUtf8()));
    }
    for (auto& [k, val] : DynamicMembers(o)) {
      if (val.AsObject() && val.AsObject()->kind() == ObjectKind::kFunction) continue;
      Key(k);
      Write(val);
    }
    c_.W16BE(0);
    c_.W8(kObjectEnd);
  }

  void WriteValue(const Value& v) {
    switch (v.type()) {
      case ValueType::kUndefined:
        c_.W8(kUndefined);
        return;
      case ValueType::kNull:
        c_.W8(kNull);
        return;
      case ValueType::kBoolean:
        c_.W8(kBoolean);
        c_.W8(v.AsBoolean() ? 1 : 0);
        return;
      case ValueType::kInt:
      case ValueType::kUInt:
      case ValueType::kNumber:
        c_.W8(kNumber);
        c_.WF64BE(v.AsDouble());
        return;
      case ValueType::kString: {
        bool long_form = EncodeUtf8(v.AsStr().view()).size() > 0xFFFF;
        c_.W8(long_form ? kLongString : kString);
        Utf8(v.AsStr(), long_form);
        return;
      }
      case ValueType::kObject:
        break;
    }
    Object* o = v.AsObject();
    if (o->kind() == ObjectKind::kFunction) {
      c_.W8(kUndefined);
      return;
    }
    if (AsXml(v) || IsXmlDocument(v)) {
      c_.W8(kXmlDoc);
      Utf8(vm_.ToString(AsXml(v) ? vm_.CallMethod(v, "toXMLString", {}) : v), true);
      return;
    }
    if (IsDate(v)) {
      c_.W8(kDate);
      c_.WF64BE(vm_.ToNumber(vm_.CallMethod(v, "getTime", {})));
      c_.W16BE(0);
      return;
    }
    if (dynamic_cast<ByteArrayObject*>(o) || dynamic_cast<VectorObject*>(o) ||
        dynamic_cast<DictionaryObject*>(o)) {
      c_.W8(kAvmPlus);
      WriteAmf3(c_, v);
      return;
    }
    if (Reference(o)) return;
    if (auto* a = dynamic_cast<ArrayObject*>(o)) {
      c_.W8(kEcmaArray);
      c_.W32BE(a->length());
      for (uint32_t i = a->NextIndex(-1); i < a->length(); i = a->NextIndex(i)) {
        Key(vm_.ToString(Value(i)));
        Write(a->Get(i));
      }
      Members(a, {});
      return;
    }
    ClassObject* cls = o->cls();
    bool anonymous = !cls || cls == vm_.classes().object;
    const std::u16string* alias = anonymous ? nullptr : AliasOfClass(vm_, cls);
    if (alias && !alias->empty()) {
      c_.W8(kTypedObject);
      Key(Str(*alias));
    } else {
      c_.W8(kObject);
    }
    Members(o, anonymous ? std::vector<Str>() : SealedMembers(vm_, cls));
  }

  ByteCursor& c_;
  Vm& vm_;
  int depth_ = 0;
  std::unordered_map<Object*, uint32_t> objects_;
};

class Reader {
 public:
  explicit Reader(ByteCursor& c) : c_(c), vm_(c.vm()) {}

  Value Read() {
    if (++depth_ > kMaxDepth) vm_.ThrowError(ErrorType::kError, 1023);
    Value v = ReadValue();
    --depth_;
    return v;
  }

 private:
  Str Utf8(size_t n) { return Str(DecodeUtf8Lenient(c_.Read(n), false)); }
  // Name/value pairs up to the empty name and end marker.
  void Members(const Value& target) {
    for (;;) {
      Str key = Utf8(c_.U16BE());
      if (key.empty()) {
        if (c_.U8() != kObjectEnd) vm_.ThrowError(ErrorType::kRangeError, 2006);
        return;
      }
      SetDecodedMember(vm_, target, key, Read());
    }
  }

  Value ReadValue() {
    uint8_t marker = c_.U8();
    switch (marker) {
      case kNumber:
        return Value(c_.F64BE());
      case kBoolean:
        return Value(c_.U8() != 0);
      case kString:
        return Value(Utf8(c_.U16BE()));
      case kLongString:
        return Value(Utf8(c_.U32BE()));
      case kNull:
        return Value::Null();
      case kUndefined:
      case kUnsupported:
        return Value();
      case kReference: {
        uint16_t i = c_.U16BE();
        if (i >= objects_.size()) vm_.ThrowError(ErrorType::kRangeError, 2006);
        return objects_[i];
      }
      case kObject:
      case kTypedObject: {
        ClassObject* cls = nullptr;
        if (marker == kTypedObject) cls = ClassByAlias(vm_, Utf8(c_.U16BE()).view());
        Value o = cls ? NewTyped(vm_, cls) : Value(vm_.NewObject());
        objects_.push_back(o);
        Members(o);
        return o;
      }
      case kEcmaArray: {
        c_.U32BE();  // the count is a hint; the members carry the elements
        Value a(static_cast<Object*>(vm_.NewArray()));
        objects_.push_back(a);
        Members(a);
        return a;
      }
      case kStrictArray: {
        uint32_t n = c_.U32BE();
        size_t left = c_.array().bytes.size() - c_.array().position;
        if (n > left) vm_.ThrowError(ErrorType::kEOFError, 2030);
        ArrayObject* a = vm_.NewArray();
        objects_.push_back(Value(static_cast<Object*>(a)));
        for (uint32_t i = 0; i < n; ++i) a->Set(i, Read());
        return Value(static_cast<Object*>(a));
      }
      case kDate: {
        Value t(c_.F64BE());
        c_.U16BE();  // time zone: unused, as in Flash
        return vm_.Construct(Value(static_cast<Object*>(vm_.FindClass("Date"))),
                             std::span<const Value>(&t, 1));
      }
      case kXmlDoc: {
        Value text(Utf8(c_.U32BE()));
        ClassObject* cls = vm_.FindClass("flash.xml::XMLDocument");
        if (!cls) cls = vm_.FindClass("XML");
        return vm_.Construct(Value(static_cast<Object*>(cls)), std::span<const Value>(&text, 1));
      }
      case kAvmPlus:
        return ReadAmf3(c_);
      default:
        vm_.ThrowError(ErrorType::kRangeError, 2006);
    }
  }

  ByteCursor& c_;
  Vm& vm_;
  int depth_ = 0;
  std::vector<Value> objects_;
};

}  // namespace

void WriteAmf0(ByteCursor& c, const Value& v) { Writer(c).Write(v); }

Value ReadAmf0(ByteCursor& c) { return Reader(c).Read(); }

}  // namespace flashsaver::avm2
