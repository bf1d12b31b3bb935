// Exploding (method 6, "imploded").
//
// Format notes:
// - Bit 1 of the general-purpose flags selects an 8 KB dictionary (else 4 KB), bit 2 three
//   Shannon-Fano trees (literal, length, distance; else length and distance only). Bits are read
//   least significant first.
// - Each tree is stored as a byte count minus 1 and that many bytes; each byte holds, high
//   nibble, how many symbols in a row minus 1 and, low nibble, their code length minus 1. The
//   literal tree has 256 symbols, the others 64.
// - The codes are canonical with the longest codes numerically smallest and, within one length,
//   later symbols smaller; they are stored most significant bit first. That is the bitwise
//   complement of the usual canonical code (shortest codes smallest, earlier symbols smaller),
//   so the decoder builds the usual code and inverts the bits it reads.
// - Then a 1 bit is followed by a literal (coded with the literal tree, else 8 plain bits); a 0
//   bit by a back reference: the low 7 (8 KB) or 6 (4 KB) bits of the distance plainly, its
//   high 6 bits with the distance tree, and the length with the length tree. Length 63 takes 8
//   more plain bits. The minimum length (added to the coded one) is 3 with a literal tree, else
//   2. The copy starts distance + 1 bytes back; bytes before the start of the output are zeros.
// - There is no end code: the stream ends with the entry's uncompressed size.
#include <cstdint>
#include <memory>

#include "package/zip/legacy_methods.h"
#include "package/zip/lsb_bit_reader.h"
#include "package/zip/output_window.h"

namespace flashsaver {
namespace {

constexpr int kMaxCodeLength = 16;
constexpr int kFastBits = 10;
constexpr uint16_t kLongCode = 0xFFFF;

// Codes of up to fast_bits bits decode with one look-up in `fast`, indexed by the next bits of
// the input as read: an entry holds the code length in its high byte and the symbol in its low
// byte, 0 marks a pattern that is no code, kLongCode the start of a longer code. Longer codes,
// the rare ones, are decoded bit by bit from the counts per length and the symbols in code
// order.
struct Tree {
  int fast_bits = 0;
  uint16_t fast[1u << kFastBits];
  uint16_t count[kMaxCodeLength + 1];
  uint8_t symbol[256];
};

struct ExplodeState {
  ExplodeState(CompressedInput& in, DecodedOutput& out, uint64_t size)
      : bits(in), window(out, size) {}

  LsbBitReader bits;
  OutputWindow window;
  Tree literal;
  Tree length;
  Tree distance;
};

unsigned Reverse(unsigned code, int length) {
  unsigned reversed = 0;
  for (int i = 0; i < length; ++i) {
    reversed = (reversed << 1) | (code & 1);
    code >>= 1;
  }
  return reversed;
}

// Return codes:
//   0  the tree was read
//   1  the input ran out
//  -1  the lengths do not describe exactly `symbols` symbols
//  -2  the code lengths are over-subscribed
int ReadTree(ExplodeState& s, Tree& tree, int symbols) {
  uint8_t lengths[256];
  int n = 0;
  int bytes = static_cast<int>(s.bits.Bits(8)) + 1;
  for (int i = 0; i < bytes; ++i) {
    unsigned byte = s.bits.Bits(8);
    int run = static_cast<int>(byte >> 4) + 1;
    if (n + run > symbols) return s.bits.Exhausted() ? 1 : -1;
    for (int k = 0; k < run; ++k) lengths[n++] = static_cast<uint8_t>((byte & 15) + 1);
  }
  if (s.bits.Exhausted()) return 1;
  if (n != symbols) return -1;

  int count[kMaxCodeLength + 1] = {};
  for (int i = 0; i < symbols; ++i) ++count[lengths[i]];
  int left = 1;
  int max_length = 0;
  for (int len = 1; len <= kMaxCodeLength; ++len) {
    left = (left << 1) - count[len];
    if (left < 0) return -2;
    if (count[len] != 0) max_length = len;
  }
  unsigned next[kMaxCodeLength + 1];
  unsigned code = 0;
  for (int len = 1; len <= kMaxCodeLength; ++len) {
    next[len] = code;
    code = (code + static_cast<unsigned>(count[len])) << 1;
  }

  int offset[kMaxCodeLength + 1];
  offset[1] = 0;
  for (int len = 1; len < kMaxCodeLength; ++len) offset[len + 1] = offset[len] + count[len];
  for (int len = 0; len <= kMaxCodeLength; ++len)
    tree.count[len] = static_cast<uint16_t>(count[len]);

  tree.fast_bits = max_length < kFastBits ? max_length : kFastBits;
  const int fast = tree.fast_bits;
  const unsigned size = 1u << fast;
  for (unsigned i = 0; i < size; ++i) tree.fast[i] = 0;
  for (int symbol = 0; symbol < symbols; ++symbol) {
    int len = lengths[symbol];
    tree.symbol[offset[len]++] = static_cast<uint8_t>(symbol);
    unsigned stored = ~next[len]++ & ((1u << len) - 1);
    if (len <= fast) {
      uint16_t entry = static_cast<uint16_t>((len << 8) | symbol);
      for (unsigned i = Reverse(stored, len); i < size; i += 1u << len) tree.fast[i] = entry;
    } else {
      tree.fast[Reverse(stored >> (len - fast), fast)] = kLongCode;
    }
  }
  return 0;
}

// Decodes a code longer than fast_bits: the canonical code is built bit by bit (each bit read
// inverted) until it falls into the range of its length.
int DecodeLong(LsbBitReader& bits, const Tree& tree) {
  bits.Need(kMaxCodeLength);
  uint32_t input = bits.Peek(kMaxCodeLength);
  int code = 0;
  int first = 0;
  int index = 0;
  for (int len = 1; len <= kMaxCodeLength; ++len) {
    code |= static_cast<int>(~input & 1);
    input >>= 1;
    const int count = tree.count[len];
    if (code - first < count) {
      bits.Drop(len);
      return tree.symbol[index + code - first];
    }
    index += count;
    first = (first + count) << 1;
    code <<= 1;
  }
  return -1;
}

// Returns the next symbol of the tree, or -1 for a pattern that is no code.
int DecodeSymbol(LsbBitReader& bits, const Tree& tree) {
  bits.Need(tree.fast_bits);
  const uint16_t entry = tree.fast[bits.Peek(tree.fast_bits)];
  if (entry == kLongCode) return DecodeLong(bits, tree);
  if (entry == 0) return -1;
  bits.Drop(entry >> 8);
  return entry & 0xFF;
}

// Return codes:
//   0  the uncompressed size was reached
//   1  the input ran out first
//  -1  a tree does not describe its number of symbols
//  -2  a tree is over-subscribed
//  -3  the input holds a pattern that is no code of an incomplete tree
int Decode(ExplodeState& s, uint16_t general_flags) {
  const bool big_dictionary = (general_flags & 2) != 0;
  const bool literal_tree = (general_flags & 4) != 0;
  int err;
  if (literal_tree && (err = ReadTree(s, s.literal, 256)) != 0) return err;
  if ((err = ReadTree(s, s.length, 64)) != 0) return err;
  if ((err = ReadTree(s, s.distance, 64)) != 0) return err;

  const int low_bits = big_dictionary ? 7 : 6;
  const unsigned min_length = literal_tree ? 3 : 2;
  while (!s.window.Full()) {
    if (s.bits.Bits(1) != 0) {
      int literal =
          literal_tree ? DecodeSymbol(s.bits, s.literal) : static_cast<int>(s.bits.Bits(8));
      if (s.bits.Exhausted()) return 1;
      if (literal < 0) return -3;
      s.window.Put(static_cast<uint8_t>(literal));
    } else {
      unsigned low = s.bits.Bits(low_bits);
      int high = DecodeSymbol(s.bits, s.distance);
      if (high < 0) return s.bits.Exhausted() ? 1 : -3;
      int coded = DecodeSymbol(s.bits, s.length);
      if (coded < 0) return s.bits.Exhausted() ? 1 : -3;
      unsigned length = static_cast<unsigned>(coded);
      if (length == 63) length += s.bits.Bits(8);
      if (s.bits.Exhausted()) return 1;
      s.window.Copy(((static_cast<unsigned>(high) << low_bits) | low) + 1, length + min_length);
    }
  }
  return 0;
}

}  // namespace

void Explode(CompressedInput& in, DecodedOutput& out, uint16_t general_flags,
             uint64_t uncompressed_size) {
  auto state = std::make_unique<ExplodeState>(in, out, uncompressed_size);
  Decode(*state, general_flags);
  state->window.Flush();
}

}  // namespace flashsaver
