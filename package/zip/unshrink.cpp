// Unshrinking (method 1).
//
// Format notes:
// - Shrinking is LZW. Codes are read least significant bit first, 9 bits wide at the start.
//   Codes 0 to 255 stand for the bytes themselves; 256 is a control code; from 257 on, each code
//   names an earlier string plus one byte.
// - After every code but the first, the decoder adds a string to the table: the previous code's
//   string followed by the first byte of the current code's string. It goes into the lowest
//   free slot. A code may name the slot that this very step fills (the "KwKwK" case); its string
//   is then the previous string followed by its own first byte.
// - 256 is followed by one more code at the current width: 1 widens the codes by one bit (valid
//   streams stop at 13 bits), 2 frees every slot whose string is no prefix of another (a partial
//   clear). Freed slots are reused lowest first.
// - A clear may free the previous code itself; the string added next still names that slot as
//   its prefix, and so means whatever the slot holds when it is read. Strings are therefore
//   always read by walking the current table, never from a cache.
// - There is no end code: the stream ends with the entry's uncompressed size.
#include <cstdint>
#include <memory>

#include "package/zip/legacy_methods.h"
#include "package/zip/lsb_bit_reader.h"
#include "package/zip/output_window.h"

namespace flashsaver {
namespace {

constexpr int kMaxWidth = 13;
constexpr unsigned kSlots = 1u << kMaxWidth;
constexpr unsigned kControl = 256;
constexpr unsigned kFirstFree = 257;
constexpr uint16_t kFree = 0xFFFF;

struct UnshrinkState {
  UnshrinkState(CompressedInput& in, DecodedOutput& out, uint64_t size)
      : bits(in), window(out, size) {}

  LsbBitReader bits;
  OutputWindow window;
  uint16_t parent[kSlots];  // kFree for a free slot; unused for 0 to 256
  uint8_t suffix[kSlots];
  bool is_parent[kSlots];
  uint8_t string[kSlots];  // a string is built here backwards
};

// Frees every slot from 257 on that is not the prefix of another slot in use.
void PartialClear(UnshrinkState& s) {
  for (unsigned code = kFirstFree; code < kSlots; ++code) s.is_parent[code] = false;
  for (unsigned code = kFirstFree; code < kSlots; ++code) {
    if (s.parent[code] != kFree && s.parent[code] >= kFirstFree) s.is_parent[s.parent[code]] = true;
  }
  for (unsigned code = kFirstFree; code < kSlots; ++code) {
    if (!s.is_parent[code]) s.parent[code] = kFree;
  }
}

unsigned NextFree(const UnshrinkState& s, unsigned from) {
  while (from < kSlots && s.parent[from] != kFree) ++from;
  return from;
}

constexpr int kMeetsPending = -1;
constexpr int kBroken = -2;

// Builds the string of a code backwards at the end of s.string and returns where it starts.
// kMeetsPending: the chain reaches `pending`, the free slot this step fills; kBroken: it reaches
// another free slot or loops, which only a corrupt stream does.
int Walk(UnshrinkState& s, unsigned code, unsigned pending) {
  int start = static_cast<int>(kSlots);
  while (code >= kFirstFree) {
    if (s.parent[code] == kFree) return code == pending ? kMeetsPending : kBroken;
    if (start == 0) return kBroken;
    s.string[--start] = s.suffix[code];
    code = s.parent[code];
  }
  if (code == kControl || start == 0) return kBroken;
  s.string[--start] = static_cast<uint8_t>(code);
  return start;
}

// Return codes:
//   0  the uncompressed size was reached
//   1  the input ran out first
//  -1  a control code asked for more than 13 bits
//  -2  an unknown control code
//  -3  a code names a free slot that this step does not fill, or its string runs through one
//  -4  the previous string is broken where this code needs it
int Decode(UnshrinkState& s) {
  for (unsigned code = 0; code < kSlots; ++code) s.parent[code] = code < kFirstFree ? 0 : kFree;
  int width = 9;
  int prev = -1;
  unsigned next_free = kFirstFree;
  while (!s.window.Full()) {
    unsigned code = s.bits.Bits(width);
    if (s.bits.Exhausted()) return 1;
    if (code == kControl) {
      unsigned command = s.bits.Bits(width);
      if (s.bits.Exhausted()) return 1;
      if (command == 1) {
        if (width == kMaxWidth) return -1;
        ++width;
      } else if (command == 2) {
        PartialClear(s);
        next_free = NextFree(s, kFirstFree);
      } else {
        return -2;
      }
      continue;
    }

    // The string added now ends with the first byte of this code's string. When that string
    // runs through the slot being filled (always so for the "KwKwK" case), the byte is the
    // first of the previous string.
    int start = Walk(s, code, next_free);
    if (start == kBroken) return -3;
    uint8_t first_byte;
    if (start == kMeetsPending) {
      if (prev < 0) return -3;
      int prev_start = Walk(s, static_cast<unsigned>(prev), kSlots);
      if (prev_start < 0) return -4;
      first_byte = s.string[prev_start];
    } else {
      first_byte = s.string[start];
    }
    if (prev >= 0 && next_free < kSlots) {
      s.parent[next_free] = static_cast<uint16_t>(prev);
      s.suffix[next_free] = first_byte;
      next_free = NextFree(s, next_free + 1);
    }
    if (start == kMeetsPending) {
      start = Walk(s, code, kSlots);
      if (start < 0) return -4;
    }
    s.window.Append(s.string + start, kSlots - static_cast<size_t>(start));
    prev = static_cast<int>(code);
  }
  return 0;
}

}  // namespace

void Unshrink(CompressedInput& in, DecodedOutput& out, uint64_t uncompressed_size) {
  auto state = std::make_unique<UnshrinkState>(in, out, uncompressed_size);
  Decode(*state);
  state->window.Flush();
}

}  // namespace flashsaver
