// flash.utils.ByteArray: the class, its cursor and its typed reads and writes.
#include "player/avm2/builtins/byte_array.h"

#include <cmath>

#include "player/avm2/builtins/amf.h"
#include "player/avm2/builtins/builtins.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

ByteArrayObject* This(Vm& vm, const Value& self) {
  return ThisAs<ByteArrayObject>(vm, self, "flash.utils.ByteArray");
}

Object* CreateByteArray(Vm& vm, ClassObject* cls) {
  auto* ba = vm.heap().New<ByteArrayObject>(cls, cls->prototype);
  ba->object_encoding = DefaultObjectEncoding(vm);
  return ba;
}

Value Construct(Vm&, const Value&, std::span<const Value>) { return Value(); }

ByteArrayObject* ArgByteArray(Vm& vm, std::span<const Value> args, size_t i) {
  Value v = Arg(args, i);
  if (v.IsNullish()) vm.ThrowError(ErrorType::kTypeError, 2007, {"bytes"});
  ByteArrayObject* ba = AsByteArray(v);
  if (!ba)
    vm.ThrowError(ErrorType::kTypeError, 1034,
                  {vm.TypeNameForError(v) + "@0", "flash.utils.ByteArray"});
  return ba;
}

Value Length(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(static_cast<uint32_t>(This(vm, self)->bytes.size()));
}
Value SetLength(Vm& vm, const Value& self, std::span<const Value> args) {
  SetByteArrayLength(vm, *This(vm, self), ArgUInt(vm, args, 0));
  return Value();
}
Value Position(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(This(vm, self)->position);
}
Value SetPosition(Vm& vm, const Value& self, std::span<const Value> args) {
  This(vm, self)->position = ArgUInt(vm, args, 0);
  return Value();
}
Value BytesAvailable(Vm& vm, const Value& self, std::span<const Value>) {
  ByteArrayObject* ba = This(vm, self);
  size_t n = ba->bytes.size();
  return Value(static_cast<uint32_t>(ba->position < n ? n - ba->position : 0));
}
Value Endian(Vm& vm, const Value& self, std::span<const Value>) {
  return Value::Ascii(This(vm, self)->little_endian ? "littleEndian" : "bigEndian");
}
Value SetEndian(Vm& vm, const Value& self, std::span<const Value> args) {
  ByteArrayObject* ba = This(vm, self);
  Value v = Arg(args, 0);
  if (v.IsNullish()) vm.ThrowError(ErrorType::kTypeError, 2007, {"endian"});
  std::u16string s = vm.ToString(v).str();
  if (s == u"bigEndian")
    ba->little_endian = false;
  else if (s == u"littleEndian")
    ba->little_endian = true;
  else
    vm.ThrowError(ErrorType::kArgumentError, 2008, {"endian"});
  return Value();
}
Value ObjectEncoding(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(static_cast<uint32_t>(This(vm, self)->object_encoding));
}
// The default takes any number: below 3 means AMF0, any other AMF3.
uint8_t EncodingArg(Vm& vm, std::span<const Value> args) {
  return ArgUInt(vm, args, 0) < 3 ? 0 : 3;
}
Value SetObjectEncoding(Vm& vm, const Value& self, std::span<const Value> args) {
  uint32_t e = ArgUInt(vm, args, 0);
  if (e != 0 && e != 3) vm.ThrowError(ErrorType::kArgumentError, 2008, {"objectEncoding"});
  This(vm, self)->object_encoding = static_cast<uint8_t>(e);
  return Value();
}
Value Shareable(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(This(vm, self)->shareable);
}
Value SetShareable(Vm& vm, const Value& self, std::span<const Value> args) {
  This(vm, self)->shareable = ArgBool(vm, args, 0);
  return Value();
}

Value ReadBoolean(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(ByteCursor(vm, *This(vm, self)).U8() != 0);
}
Value ReadByte(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(static_cast<int32_t>(static_cast<int8_t>(ByteCursor(vm, *This(vm, self)).U8())));
}
Value ReadUnsignedByte(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(static_cast<uint32_t>(ByteCursor(vm, *This(vm, self)).U8()));
}
Value ReadShort(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(static_cast<int32_t>(static_cast<int16_t>(ByteCursor(vm, *This(vm, self)).U16())));
}
Value ReadUnsignedShort(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(static_cast<uint32_t>(ByteCursor(vm, *This(vm, self)).U16()));
}
Value ReadInt(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(static_cast<int32_t>(ByteCursor(vm, *This(vm, self)).U32()));
}
Value ReadUnsignedInt(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(ByteCursor(vm, *This(vm, self)).U32());
}
Value ReadFloat(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(ByteCursor(vm, *This(vm, self)).F32());
}
Value ReadDouble(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(ByteCursor(vm, *This(vm, self)).F64());
}

// readUTF and readUTFBytes skip a UTF-8 BOM (still counted in the length) and end the text at a
// NUL, while the position moves past every byte named.
std::u16string ReadUtfText(ByteCursor& c, size_t n) {
  std::span<const uint8_t> b = c.Read(n);
  if (b.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) b = b.subspan(3);
  return DecodeUtf8Lenient(b, true);
}
Value ReadUTF(Vm& vm, const Value& self, std::span<const Value>) {
  ByteCursor c(vm, *This(vm, self));
  uint16_t n = c.U16();
  return Value(Str(ReadUtfText(c, n)));
}
Value ReadUTFBytes(Vm& vm, const Value& self, std::span<const Value> args) {
  ByteCursor c(vm, *This(vm, self));
  return Value(Str(ReadUtfText(c, ArgUInt(vm, args, 0))));
}

// The character sets readMultiByte/writeMultiByte know besides UTF-8 (the fallback for names
// not known here).
enum class Charset { kUtf8, kLatin1, kUtf16Le, kUtf16Be };
Charset CharsetOf(Vm& vm, std::span<const Value> args) {
  if (Arg(args, 1).IsNullish()) vm.ThrowError(ErrorType::kTypeError, 2007, {"charSet"});
  std::u16string cs = vm.ToString(args[1]).str();
  for (char16_t& ch : cs)
    if (ch >= u'A' && ch <= u'Z') ch = static_cast<char16_t>(ch + 32);
  if (cs == u"iso-8859-1" || cs == u"latin1" || cs == u"us-ascii" || cs == u"ascii" ||
      cs == u"windows-1252" || cs == u"iso-8859-15")
    return Charset::kLatin1;
  if (cs == u"unicode" || cs == u"utf-16" || cs == u"utf-16le") return Charset::kUtf16Le;
  if (cs == u"unicodefffe" || cs == u"utf-16be") return Charset::kUtf16Be;
  return Charset::kUtf8;
}
Value ReadMultiByte(Vm& vm, const Value& self, std::span<const Value> args) {
  ByteCursor c(vm, *This(vm, self));
  uint32_t n = ArgUInt(vm, args, 0);
  Charset cs = CharsetOf(vm, args);
  if (cs == Charset::kUtf8) return Value(Str(ReadUtfText(c, n)));
  std::span<const uint8_t> b = c.Read(n);
  std::u16string out;
  if (cs == Charset::kLatin1) {
    for (uint8_t x : b) {
      if (x == 0) break;
      out.push_back(x);
    }
  } else {
    for (size_t i = 0; i + 1 < b.size(); i += 2) {
      auto ch = static_cast<char16_t>(cs == Charset::kUtf16Le ? b[i] | b[i + 1] << 8
                                                              : b[i] << 8 | b[i + 1]);
      if (ch == 0) break;
      out.push_back(ch);
    }
  }
  return Value(Str(std::move(out)));
}

Value ReadBytes(Vm& vm, const Value& self, std::span<const Value> args) {
  ByteArrayObject* ba = This(vm, self);
  ByteArrayObject* dst = ArgByteArray(vm, args, 0);
  uint32_t offset = ArgUInt(vm, args, 1);
  uint32_t length = ArgUInt(vm, args, 2);
  size_t avail = ba->position < ba->bytes.size() ? ba->bytes.size() - ba->position : 0;
  if (length == 0) length = static_cast<uint32_t>(avail);
  if (uint64_t{offset} + length > 0xFFFFFFFFu) vm.ThrowError(ErrorType::kRangeError, 2006);
  if (length > avail) vm.ThrowError(ErrorType::kEOFError, 2030);
  std::vector<uint8_t> chunk(ba->bytes.begin() + ba->position,
                             ba->bytes.begin() + ba->position + length);
  size_t end = size_t{offset} + length;
  if (end > dst->bytes.size()) SetByteArrayLength(vm, *dst, end);
  std::copy(chunk.begin(), chunk.end(), dst->bytes.begin() + offset);
  ba->position += length;
  return Value();
}

Value ReadObject(Vm& vm, const Value& self, std::span<const Value>) {
  ByteArrayObject* ba = This(vm, self);
  ByteCursor c(vm, *ba);
  return ba->object_encoding == 0 ? ReadAmf0(c) : ReadAmf3(c);
}

Value WriteBoolean(Vm& vm, const Value& self, std::span<const Value> args) {
  ByteCursor(vm, *This(vm, self)).W8(ArgBool(vm, args, 0) ? 1 : 0);
  return Value();
}
Value WriteByte(Vm& vm, const Value& self, std::span<const Value> args) {
  ByteCursor(vm, *This(vm, self)).W8(static_cast<uint8_t>(ArgInt(vm, args, 0)));
  return Value();
}
Value WriteShort(Vm& vm, const Value& self, std::span<const Value> args) {
  ByteCursor(vm, *This(vm, self)).W16(static_cast<uint16_t>(ArgInt(vm, args, 0)));
  return Value();
}
Value WriteInt(Vm& vm, const Value& self, std::span<const Value> args) {
  ByteCursor(vm, *This(vm, self)).W32(static_cast<uint32_t>(ArgInt(vm, args, 0)));
  return Value();
}
Value WriteUnsignedInt(Vm& vm, const Value& self, std::span<const Value> args) {
  ByteCursor(vm, *This(vm, self)).W32(ArgUInt(vm, args, 0));
  return Value();
}
Value WriteFloat(Vm& vm, const Value& self, std::span<const Value> args) {
  ByteCursor(vm, *This(vm, self)).WF32(static_cast<float>(ArgNumber(vm, args, 0, NAN)));
  return Value();
}
Value WriteDouble(Vm& vm, const Value& self, std::span<const Value> args) {
  ByteCursor(vm, *This(vm, self)).WF64(ArgNumber(vm, args, 0, NAN));
  return Value();
}
std::string Utf8Arg(Vm& vm, std::span<const Value> args, size_t i) {
  Value v = Arg(args, i);
  if (v.IsNull()) vm.ThrowError(ErrorType::kTypeError, 2007, {"value"});
  return EncodeUtf8(vm.ToString(v).view());
}
std::span<const uint8_t> AsBytes(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}
Value WriteUTF(Vm& vm, const Value& self, std::span<const Value> args) {
  ByteCursor c(vm, *This(vm, self));
  std::string s = Utf8Arg(vm, args, 0);
  if (s.size() > 65535) vm.ThrowError(ErrorType::kRangeError, 2006);
  c.W16(static_cast<uint16_t>(s.size()));
  c.Write(AsBytes(s));
  return Value();
}
Value WriteUTFBytes(Vm& vm, const Value& self, std::span<const Value> args) {
  ByteCursor c(vm, *This(vm, self));
  c.Write(AsBytes(Utf8Arg(vm, args, 0)));
  return Value();
}
Value WriteMultiByte(Vm& vm, const Value& self, std::span<const Value> args) {
  ByteCursor c(vm, *This(vm, self));
  Charset cs = CharsetOf(vm, args);
  if (cs != Charset::kUtf8) {
    if (Arg(args, 0).IsNull()) vm.ThrowError(ErrorType::kTypeError, 2007, {"value"});
    std::u16string s = ArgString(vm, args, 0).str();
    std::string out;
    for (char16_t ch : s) {
      if (cs == Charset::kLatin1) {
        out.push_back(static_cast<char>(ch < 0x100 ? ch : u'?'));
        continue;
      }
      auto hi = static_cast<char>(ch >> 8), lo = static_cast<char>(ch & 0xFF);
      out.push_back(cs == Charset::kUtf16Le ? lo : hi);
      out.push_back(cs == Charset::kUtf16Le ? hi : lo);
    }
    c.Write(AsBytes(out));
    return Value();
  }
  c.Write(AsBytes(Utf8Arg(vm, args, 0)));
  return Value();
}
Value WriteBytes(Vm& vm, const Value& self, std::span<const Value> args) {
  ByteArrayObject* ba = This(vm, self);
  ByteArrayObject* src = ArgByteArray(vm, args, 0);
  uint32_t offset = ArgUInt(vm, args, 1);
  uint32_t length = ArgUInt(vm, args, 2);
  size_t n = src->bytes.size();
  if (offset > n) vm.ThrowError(ErrorType::kRangeError, 2006);
  if (length == 0) length = static_cast<uint32_t>(n - offset);
  if (length > n - offset) vm.ThrowError(ErrorType::kRangeError, 2006);
  std::vector<uint8_t> chunk(src->bytes.begin() + offset, src->bytes.begin() + offset + length);
  ByteCursor(vm, *ba).Write(chunk);
  return Value();
}
Value WriteObject(Vm& vm, const Value& self, std::span<const Value> args) {
  ByteArrayObject* ba = This(vm, self);
  ByteCursor c(vm, *ba);
  if (ba->object_encoding == 0)
    WriteAmf0(c, Arg(args, 0));
  else
    WriteAmf3(c, Arg(args, 0));
  return Value();
}

Value ToStringFn(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Str(ByteArrayText(This(vm, self)->bytes)));
}
Value ToJSON(Vm&, const Value&, std::span<const Value>) { return Value::Ascii("ByteArray"); }
Value Clear(Vm& vm, const Value& self, std::span<const Value>) {
  ByteArrayObject* ba = This(vm, self);
  std::vector<uint8_t>().swap(ba->bytes);
  ba->position = 0;
  return Value();
}

// The atomics of shareable arrays: a single worker runs here, so plain reads and writes are
// atomic already.
Value CompareAndSwapIntAt(Vm& vm, const Value& self, std::span<const Value> args) {
  ByteArrayObject* ba = This(vm, self);
  int32_t at = ArgInt(vm, args, 0);
  if (at < 0 || at % 4 != 0 || static_cast<size_t>(at) + 4 > ba->bytes.size())
    vm.ThrowError(ErrorType::kRangeError, 1506);
  uint32_t saved = ba->position;
  ba->position = static_cast<uint32_t>(at);
  ByteCursor c(vm, *ba);
  auto old = static_cast<int32_t>(c.U32());
  if (old == ArgInt(vm, args, 1)) {
    ba->position = static_cast<uint32_t>(at);
    c.W32(static_cast<uint32_t>(ArgInt(vm, args, 2)));
  }
  ba->position = saved;
  return Value(old);
}
Value CompareAndSwapLength(Vm& vm, const Value& self, std::span<const Value> args) {
  ByteArrayObject* ba = This(vm, self);
  auto old = static_cast<int32_t>(ba->bytes.size());
  if (old == ArgInt(vm, args, 0)) SetByteArrayLength(vm, *ba, ArgUInt(vm, args, 1));
  return Value(old);
}

Value Compress(Vm& vm, const Value& self, std::span<const Value> args) {
  CompressByteArray(vm, *This(vm, self), ArgString(vm, args, 0, Str(u"zlib")).str());
  return Value();
}
Value Uncompress(Vm& vm, const Value& self, std::span<const Value> args) {
  UncompressByteArray(vm, *This(vm, self), ArgString(vm, args, 0, Str(u"zlib")).str());
  return Value();
}
Value Deflate(Vm& vm, const Value& self, std::span<const Value>) {
  CompressByteArray(vm, *This(vm, self), u"deflate");
  return Value();
}
Value Inflate(Vm& vm, const Value& self, std::span<const Value>) {
  UncompressByteArray(vm, *This(vm, self), u"deflate");
  return Value();
}

Value DefaultEncoding(Vm& vm, const Value&, std::span<const Value>) {
  return Value(static_cast<uint32_t>(DefaultObjectEncoding(vm)));
}
Value SetDefaultEncoding(Vm& vm, const Value&, std::span<const Value> args) {
  SetDefaultObjectEncoding(vm, EncodingArg(vm, args));
  return Value();
}

}  // namespace

ByteArrayObject* NewByteArray(Vm& vm) {
  ClassObject* cls = vm.FindClass("flash.utils::ByteArray");
  return dynamic_cast<ByteArrayObject*>(
      vm.Construct(Value(static_cast<Object*>(cls)), {}).AsObject());
}

const NativeClass& ByteArrayClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.utils";
    c.name = "ByteArray";
    c.flags = class_flag::kSealed;
    c.constructor = Construct;
    c.create = CreateByteArray;
    c.instance = {
        Getter("length", Length),
        Setter("length", SetLength),
        Getter("position", Position),
        Setter("position", SetPosition),
        Getter("bytesAvailable", BytesAvailable),
        Getter("endian", Endian),
        Setter("endian", SetEndian),
        Getter("objectEncoding", ObjectEncoding),
        Setter("objectEncoding", SetObjectEncoding),
        Getter("shareable", Shareable),
        Setter("shareable", SetShareable),
        Method("readBoolean", ReadBoolean),
        Method("readByte", ReadByte),
        Method("readUnsignedByte", ReadUnsignedByte),
        Method("readShort", ReadShort),
        Method("readUnsignedShort", ReadUnsignedShort),
        Method("readInt", ReadInt),
        Method("readUnsignedInt", ReadUnsignedInt),
        Method("readFloat", ReadFloat),
        Method("readDouble", ReadDouble),
        Method("readUTF", ReadUTF),
        Method("readUTFBytes", ReadUTFBytes, 1).Needs(1),
        Method("readMultiByte", ReadMultiByte, 2).Needs(2),
        Method("readBytes", ReadBytes, 3).Needs(1),
        Method("readObject", ReadObject),
        Method("writeBoolean", WriteBoolean, 1).Needs(1),
        Method("writeByte", WriteByte, 1).Needs(1),
        Method("writeShort", WriteShort, 1).Needs(1),
        Method("writeInt", WriteInt, 1).Needs(1),
        Method("writeUnsignedInt", WriteUnsignedInt, 1).Needs(1),
        Method("writeFloat", WriteFloat, 1).Needs(1),
        Method("writeDouble", WriteDouble, 1).Needs(1),
        Method("writeUTF", WriteUTF, 1).Needs(1),
        Method("writeUTFBytes", WriteUTFBytes, 1).Needs(1),
        Method("writeMultiByte", WriteMultiByte, 2).Needs(2),
        Method("writeBytes", WriteBytes, 3).Needs(1),
        Method("writeObject", WriteObject, 1).Needs(1),
        Method("toString", ToStringFn),
        Method("toJSON", ToJSON, 1).Needs(1),
        Method("clear", Clear),
        Method("compress", Compress, 1),
        Method("uncompress", Uncompress, 1),
        Method("deflate", Deflate),
        Method("inflate", Inflate),
        Method("atomicCompareAndSwapIntAt", CompareAndSwapIntAt, 3).Needs(3),
        Method("atomicCompareAndSwapLength", CompareAndSwapLength, 2).Needs(2),
    };
    c.statics = {Getter("defaultObjectEncoding", DefaultEncoding),
                 Setter("defaultObjectEncoding", SetDefaultEncoding)};
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
