// libFuzzer target: any bytes as the contents of a ByteArray. The first byte picks what runs on
// the rest: readObject in AMF0 or AMF3 (whatever decodes is written back and read again), one of
// the uncompress algorithms, or the text reads (toString, readUTF, readUTFBytes).
#include <cstddef>
#include <cstdint>

#include "player/avm2/builtins/amf.h"
#include "player/avm2/vm.h"

using namespace flashsaver::avm2;

namespace {

void RoundTrip(Vm& vm, ByteArrayObject& ba, bool amf0) {
  ByteCursor c(vm, ba);
  Value v = amf0 ? ReadAmf0(c) : ReadAmf3(c);
  ByteArrayObject* out = NewByteArray(vm);
  ByteCursor w(vm, *out);
  if (amf0)
    WriteAmf0(w, v);
  else
    WriteAmf3(w, v);
  out->position = 0;
  if (amf0)
    ReadAmf0(w);
  else
    ReadAmf3(w);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Vm* vm = [] {
    auto* v = new Vm();
    v->trace_output = [](std::string_view) {};
    return v;
  }();
  if (size == 0) return 0;
  ByteArrayObject* ba = NewByteArray(*vm);
  ba->bytes.assign(data + 1, data + size);
  try {
    switch (data[0] % 8) {
      case 0:
        RoundTrip(*vm, *ba, true);
        break;
      case 1:
        RoundTrip(*vm, *ba, false);
        break;
      case 2:
        UncompressByteArray(*vm, *ba, u"zlib");
        break;
      case 3:
        UncompressByteArray(*vm, *ba, u"deflate");
        break;
      case 4:
        UncompressByteArray(*vm, *ba, u"lzma");
        break;
      case 5:
        ByteArrayText(ba->bytes);
        break;
      case 6:
        vm->CallMethod(Value(static_cast<Object*>(ba)), "readUTF", {});
        break;
      default: {
        Value n(static_cast<uint32_t>(size / 2));
        vm->CallMethod(Value(static_cast<Object*>(ba)), "readUTFBytes", {&n, 1});
        break;
      }
    }
  } catch (const ScriptException&) {
  }
  vm->Collect();
  return 0;
}
