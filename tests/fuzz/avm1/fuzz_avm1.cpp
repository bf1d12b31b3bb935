// Arbitrary action bytes as the DoAction of a well-formed movie: the first input byte picks the
// SWF version (4 to 8), the rest is the action block. The movie is read back through the tag
// reader and its script run for a few frames with timers and collections between them, as a
// player does. Runaway scripts must end at the (shortened) time limit; nothing may crash, leak
// or grow without bound.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "player/avm1/vm.h"
#include "player/swf/byte_reader.h"
#include "player/swf/swf_movie.h"

namespace {

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

// FWS header, a 1x1 stage at 12 fps, one frame holding the DoAction.
std::vector<uint8_t> MakeMovie(uint8_t version, std::span<const uint8_t> actions) {
  std::vector<uint8_t> m = {'F', 'W', 'S', version, 0, 0, 0, 0};
  // RECT with 5-bit fields: 0, 20, 0, 20 twips.
  m.insert(m.end(), {0x28, 0x28, 0x0A, 0x00});
  m.insert(m.end(), {0x00, 0x0C, 0x01, 0x00});  // frame rate 12, one frame
  PutU16(m, (12u << 6) | 0x3F);                 // DoAction, long form
  PutU32(m, static_cast<uint32_t>(actions.size()));
  m.insert(m.end(), actions.begin(), actions.end());
  PutU16(m, 1u << 6);  // ShowFrame
  PutU16(m, 0);        // End
  uint32_t size = static_cast<uint32_t>(m.size());
  for (int i = 0; i < 4; ++i) m[4 + i] = static_cast<uint8_t>(size >> (8 * i));
  return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace flashsaver;
  using namespace flashsaver::avm1;
  if (size < 1 || size > 64 * 1024) return 0;
  const uint8_t version = static_cast<uint8_t>(4 + data[0] % 5);
  auto movie = std::make_shared<std::vector<uint8_t>>(MakeMovie(version, {data + 1, size - 1}));

  std::vector<std::span<const uint8_t>> blocks;
  try {
    ByteReader r(std::span<const uint8_t>(*movie).subspan(8));
    ReadSwfHeader(r);
    while (r.remaining() > 0) {
      SwfTag tag = ReadSwfTag(r);
      if (tag.code == swf_tag::kEnd) break;
      if (tag.code == swf_tag::kDoAction) blocks.push_back(tag.body);
    }
  } catch (const SwfError&) {
    __builtin_trap();  // the movie is well formed by construction
  }

  NullHost host;
  Vm vm(host, version);
  ScriptLimits limits;
  limits.timeout_seconds = 0.5;
  vm.set_limits(limits);
  Object* root = vm.New<Object>(ObjectKind::kClip);
  root->Define("__proto__", vm.object_proto, prop_flag::kDontEnum);
  host.root = root;
  vm.host_roots = [root](Tracer& t) { t.Mark(root); };
  for (int frame = 0; frame < 3; ++frame) {
    host.now_ms = frame * 1000.0;
    if (frame == 0) {
      for (auto code : blocks) vm.RunActions(movie, code, root);
    } else {
      vm.CallMethodIfPresent(root, "onEnterFrame", {});
    }
    vm.RunTimers();
    vm.MaybeCollect();
    host.lines.clear();
  }
  vm.Collect();
  return 0;
}
