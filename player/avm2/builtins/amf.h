// AMF0 and AMF3, the object serialisation of ByteArray.readObject/writeObject, and the other
// whole-array operations of ByteArray (compression).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "player/avm2/builtins/byte_array.h"
#include "player/avm2/value.h"

namespace flashsaver::avm2 {

// Writes one value at the cursor; script getters, writeExternal and toString may run (and may
// write to the same array, as writeExternal does).
void WriteAmf0(ByteCursor& c, const Value& v);
void WriteAmf3(ByteCursor& c, const Value& v);
// Decodes one value at the cursor. Malformed data throws (RangeError #2006, EOFError #2030);
// nesting and table sizes are bounded.
Value ReadAmf0(ByteCursor& c);
Value ReadAmf3(ByteCursor& c);

uint8_t DefaultObjectEncoding(Vm& vm);
void SetDefaultObjectEncoding(Vm& vm, uint8_t e);

// compress/uncompress with "zlib", "deflate" or "lzma"; IOError #2058 on data that does not
// decode and on another algorithm name.
void CompressByteArray(Vm& vm, ByteArrayObject& ba, std::u16string_view algorithm);
void UncompressByteArray(Vm& vm, ByteArrayObject& ba, std::u16string_view algorithm);

// What the AMF coders need to know of a value's class.
bool IsDate(const Value& v);
bool IsXmlDocument(const Value& v);
bool IsExternalizable(Vm& vm, ClassObject* cls);
// The public variables and read-write accessors of a typed object, as AMF writes them.
std::vector<Str> SealedMembers(Vm& vm, ClassObject* cls);
// The dynamic properties a for..in would show, in order.
std::vector<std::pair<Str, Value>> DynamicMembers(Object* o);
// Sets a member of a decoded object. Flash goes on past a setter that throws: the error's text
// is traced and decoding continues (only a failure to make that text escapes).
void SetDecodedMember(Vm& vm, const Value& o, const Str& name, const Value& v);
// A new instance of cls made without constructor arguments, as AMF makes typed objects.
Value NewTyped(Vm& vm, ClassObject* cls);

// registerClassAlias / getClassByAlias and their reverse lookup for writing typed objects.
ClassObject* ClassByAlias(Vm& vm, std::u16string_view alias);
const std::u16string* AliasOfClass(Vm& vm, ClassObject* cls);

}  // namespace flashsaver::avm2
