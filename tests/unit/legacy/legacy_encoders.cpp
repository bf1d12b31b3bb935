#include "tests/unit/legacy/legacy_encoders.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <queue>
#include <unordered_map>

namespace flashsaver::legacy_test {

void BitWriter::Put(uint32_t value, int n) {
  for (int i = 0; i < n; ++i) {
    acc_ |= ((value >> i) & 1u) << count_;
    if (++count_ == 8) {
      out_.push_back(static_cast<uint8_t>(acc_));
      acc_ = 0;
      count_ = 0;
    }
  }
}

Bytes BitWriter::Finish() {
  if (count_ > 0) out_.push_back(static_cast<uint8_t>(acc_));
  count_ = 0;
  acc_ = 0;
  return std::move(out_);
}

namespace {

// Greedy LZ77 matching over hash chains of two-byte prefixes.
class MatchFinder {
 public:
  MatchFinder(const Bytes& data, size_t window, size_t min_length, size_t max_length)
      : data_(data),
        window_(window),
        min_(min_length),
        max_(max_length),
        head_(1 << 16, -1),
        prev_(data.size(), -1) {}

  void Insert(size_t pos) {
    if (pos + 1 >= data_.size()) return;
    unsigned h = data_[pos] | (data_[pos + 1] << 8);
    prev_[pos] = head_[h];
    head_[h] = static_cast<long>(pos);
  }

  // {length, distance} of the longest match at pos, length 0 for none.
  std::pair<size_t, size_t> Find(size_t pos) const {
    std::pair<size_t, size_t> best{0, 0};
    if (pos + 1 >= data_.size()) return best;
    const size_t limit = std::min(max_, data_.size() - pos);
    long cand = head_[data_[pos] | (data_[pos + 1] << 8)];
    for (int tries = 0; cand >= 0 && tries < 64; ++tries, cand = prev_[cand]) {
      const size_t distance = pos - static_cast<size_t>(cand);
      if (distance > window_) break;
      size_t len = 0;
      while (len < limit && data_[static_cast<size_t>(cand) + len] == data_[pos + len]) ++len;
      if (len > best.first) best = {len, distance};
      if (len == limit) break;
    }
    if (best.first < min_) best = {0, 0};
    return best;
  }

 private:
  const Bytes& data_;
  size_t window_, min_, max_;
  std::vector<long> head_, prev_;
};

}  // namespace

// --- Shrinking -----------------------------------------------------------------------------

Bytes Shrink(const Bytes& data, ShrinkOptions options, ShrinkStats* stats) {
  constexpr unsigned kSlots = 8192;
  constexpr uint16_t kFree = 0xFFFF;
  ShrinkStats local;
  ShrinkStats& st = stats ? *stats : local;
  st = ShrinkStats{};
  BitWriter out;
  if (data.empty()) return out.Finish();

  std::vector<uint16_t> parent(kSlots, kFree);
  std::vector<uint8_t> suffix(kSlots, 0);
  std::vector<int> children(kSlots, 0);
  std::unordered_map<uint32_t, uint16_t> table;
  auto key = [](unsigned prefix, uint8_t c) { return (prefix << 8) | c; };
  unsigned next_free = 257;
  int width = 9;
  size_t since_clear = 0;

  auto emit = [&](unsigned code) {
    while (code >= (1u << width)) {
      out.Put(256, width);
      out.Put(1, width);
      ++width;
      ++st.widenings;
    }
    out.Put(code, width);
    st.widest = std::max(st.widest, width);
  };
  auto find_free = [&](unsigned from) {
    while (from < kSlots && parent[from] != kFree) ++from;
    return from;
  };
  auto partial_clear = [&] {
    out.Put(256, width);
    out.Put(2, width);
    ++st.partial_clears;
    since_clear = 0;
    std::vector<unsigned> freed;
    for (unsigned code = 257; code < kSlots; ++code) {
      if (parent[code] != kFree && children[code] == 0) freed.push_back(code);
    }
    for (unsigned code : freed) {
      table.erase(key(parent[code], suffix[code]));
      if (parent[code] >= 257) --children[parent[code]];
      parent[code] = kFree;
    }
    next_free = find_free(257);
  };

  unsigned w = data[0];
  unsigned last_added = 0;  // 0: none
  for (size_t i = 1; i <= data.size(); ++i) {
    if (i < data.size()) {
      auto it = table.find(key(w, data[i]));
      if (it != table.end()) {
        w = it->second;
        continue;
      }
    }
    // The decoder adds each string one code late, so the code sent now may name the string it
    // is about to add.
    if (w == last_added) ++st.kwkwk;
    emit(w);
    ++since_clear;
    if (i == data.size()) break;
    const uint8_t c = data[i];
    // A full table is cleared at once; unzip rejects codes sent while it stays full. The string
    // just sent is extended even when the clear freed it, as the decoders do; an early clear
    // waits for a string that stays.
    const bool early = options.clear_every > 0 && since_clear >= options.clear_every &&
                       (w < 256 || children[w] > 0);
    if (next_free >= kSlots || early) {
      if (w >= 257 && children[w] == 0) ++st.freed_last_code;
      partial_clear();
    }
    if (next_free < kSlots) {
      parent[next_free] = static_cast<uint16_t>(w);
      suffix[next_free] = c;
      if (w >= 257) ++children[w];
      table[key(w, c)] = static_cast<uint16_t>(next_free);
      last_added = next_free;
      next_free = find_free(next_free + 1);
    } else {
      last_added = 0;
    }
    w = c;
  }
  return out.Finish();
}

std::vector<HandMadeStream> HandMadeShrinkStreams() {
  struct Step {
    int width;
    std::vector<unsigned> codes;
  };
  auto make = [](std::vector<Step> steps) {
    BitWriter out;
    for (const Step& s : steps) {
      for (unsigned code : s.codes) out.Put(code, s.width);
    }
    return out.Finish();
  };
  auto text = [](const char* s) { return Bytes(s, s + std::strlen(s)); };
  return {
      // 257 = AAA... is named while it is being added.
      {"KwKwK", make({{9, {'A', 257, 258}}}), text("AAAAAA")},
      {"13-bit codes after four widenings",
       make({{9, {'A', 256, 1}},
             {10, {256, 1}},
             {11, {256, 1}},
             {12, {256, 1}},
             {13, {'B', 257, 258}}}),
       text("ABABBA")},
      // 257 = AB and 258 = BC are leaves; after the clear CD takes 257, DC 258.
      {"slots freed by a clear are reused lowest first",
       make({{9, {'A', 'B', 'C', 256, 2, 'D', 257, 258}}}), text("ABCDCDDC")},
      // 258 = BC is sent, then freed by the clear with 257 and 259; the next string, 258 + D,
      // goes to 257; 258 becomes DE. 257 then reads DE + D, and the string added with it ends
      // in its new first byte: 259 = ED.
      {"a string added after its prefix was freed follows the slot's new string",
       make({{9, {'A', 'B', 'C', 258, 256, 2, 'D', 'E', 257, 259}}}), text("ABCBCDEDEDED")},
  };
}

// --- Reducing ------------------------------------------------------------------------------

namespace {

int IndexBits(size_t n) {
  int bits = 1;
  while ((size_t{1} << bits) < n) ++bits;
  return bits;
}

}  // namespace

Bytes Reduce(const Bytes& data, int factor, ReduceStats* stats) {
  ReduceStats local;
  ReduceStats& st = stats ? *stats : local;
  st = ReduceStats{};
  const unsigned mask = 0xFFu >> factor;
  const size_t window = size_t{256} << factor;
  MatchFinder finder(data, window, 3, mask + 255 + 3);

  // First stage: bytes with the escape DLE = 144 for literal 144s and back references.
  Bytes stage;
  for (size_t pos = 0; pos < data.size();) {
    auto [length, distance] = finder.Find(pos);
    const unsigned high = length ? static_cast<unsigned>((distance - 1) >> 8) : 0;
    if (length >= 3 && !(length == 3 && high == 0)) {
      const unsigned coded = static_cast<unsigned>(length - 3);
      stage.push_back(144);
      if (coded >= mask) {
        stage.push_back(static_cast<uint8_t>((high << (8 - factor)) | mask));
        stage.push_back(static_cast<uint8_t>(coded - mask));
        ++st.long_matches;
      } else {
        stage.push_back(static_cast<uint8_t>((high << (8 - factor)) | coded));
      }
      stage.push_back(static_cast<uint8_t>((distance - 1) & 0xFF));
      ++st.matches;
      if (high == (1u << factor) - 1) ++st.far_matches;
      for (size_t k = 0; k < length; ++k) finder.Insert(pos + k);
      pos += length;
    } else {
      stage.push_back(data[pos]);
      if (data[pos] == 144) {
        stage.push_back(0);
        ++st.escaped_dles;
      }
      finder.Insert(pos);
      ++pos;
    }
  }

  // Second stage: follower sets of the bytes that most often come after each byte value.
  std::vector<std::vector<unsigned>> counts(256, std::vector<unsigned>(256, 0));
  unsigned last = 0;
  for (uint8_t b : stage) {
    ++counts[last][b];
    last = b;
  }
  std::vector<Bytes> sets(256);
  for (unsigned j = 0; j < 256; ++j) {
    std::vector<unsigned> order(256);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](unsigned a, unsigned b) { return counts[j][a] > counts[j][b]; });
    for (unsigned k = 0; k < 32 && counts[j][order[k]] >= 2; ++k) {
      sets[j].push_back(static_cast<uint8_t>(order[k]));
    }
    if (!sets[j].empty()) ++st.follower_sets;
    if (sets[j].size() == 1) ++st.single_follower_sets;
  }

  BitWriter out;
  for (int j = 255; j >= 0; --j) {
    out.Put(static_cast<uint32_t>(sets[j].size()), 6);
    for (uint8_t c : sets[j]) out.Put(c, 8);
  }
  last = 0;
  for (uint8_t b : stage) {
    const Bytes& set = sets[last];
    auto it = std::find(set.begin(), set.end(), b);
    if (set.empty()) {
      out.Put(b, 8);
    } else if (it == set.end()) {
      out.Put(1, 1);
      out.Put(b, 8);
    } else {
      out.Put(0, 1);
      out.Put(static_cast<uint32_t>(it - set.begin()), IndexBits(set.size()));
    }
    last = b;
  }
  return out.Finish();
}

// --- Imploding -----------------------------------------------------------------------------

namespace {

// Code lengths of a Huffman code over all symbols (each counted at least once), at most
// `limit` bits long; counts are flattened until the limit holds.
std::vector<int> CodeLengths(std::vector<uint64_t> freq, int limit) {
  for (auto& f : freq) f = f + 1;
  const size_t n = freq.size();
  for (;;) {
    std::vector<int> parent(2 * n, -1);
    using Node = std::pair<uint64_t, int>;
    std::priority_queue<Node, std::vector<Node>, std::greater<Node>> queue;
    for (size_t i = 0; i < n; ++i) queue.push({freq[i], static_cast<int>(i)});
    int next = static_cast<int>(n);
    while (queue.size() > 1) {
      Node a = queue.top();
      queue.pop();
      Node b = queue.top();
      queue.pop();
      parent[a.second] = next;
      parent[b.second] = next;
      queue.push({a.first + b.first, next++});
    }
    std::vector<int> lengths(n, 0);
    int longest = 0;
    for (size_t i = 0; i < n; ++i) {
      for (int p = parent[i]; p >= 0; p = parent[p]) ++lengths[i];
      longest = std::max(longest, lengths[i]);
    }
    if (longest <= limit) return lengths;
    for (auto& f : freq) f = (f + 1) / 2;
  }
}

struct Tree {
  std::vector<int> lengths;
  std::vector<uint16_t> codes;
  void Put(BitWriter& out, unsigned symbol) const { PutCode(out, codes[symbol], lengths[symbol]); }
};

Tree MakeTree(const std::vector<uint64_t>& freq) {
  Tree t;
  t.lengths = CodeLengths(freq, 16);
  t.codes = ShannonFanoCodes(t.lengths);
  return t;
}

}  // namespace

// The codes as APPNOTE builds them: lengths sorted ascending (stable), codes counted up from the
// longest; each code is left-aligned in 16 bits.
std::vector<uint16_t> ShannonFanoCodes(const std::vector<int>& lengths) {
  std::vector<size_t> order(lengths.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return lengths[a] < lengths[b]; });
  std::vector<uint16_t> codes(lengths.size());
  unsigned code = 0, increment = 0;
  int last_length = 0;
  for (size_t i = order.size(); i-- > 0;) {
    code += increment;
    if (lengths[order[i]] != last_length) {
      last_length = lengths[order[i]];
      increment = 1u << (16 - last_length);
    }
    codes[order[i]] = static_cast<uint16_t>(code);
  }
  return codes;
}

void PutTree(BitWriter& out, const std::vector<int>& lengths) {
  Bytes packed;
  for (size_t i = 0; i < lengths.size();) {
    size_t run = 1;
    while (i + run < lengths.size() && run < 16 && lengths[i + run] == lengths[i]) ++run;
    packed.push_back(static_cast<uint8_t>(((run - 1) << 4) | (lengths[i] - 1)));
    i += run;
  }
  out.Put(static_cast<uint32_t>(packed.size() - 1), 8);
  for (uint8_t b : packed) out.Put(b, 8);
}

void PutCode(BitWriter& out, uint16_t code, int length) {
  for (int k = 0; k < length; ++k) out.Put((code >> (15 - k)) & 1u, 1);
}

uint16_t ImplodeFlags(bool dictionary_8k, bool literal_tree) {
  return static_cast<uint16_t>((dictionary_8k ? 2 : 0) | (literal_tree ? 4 : 0));
}

Bytes Implode(const Bytes& data, bool dictionary_8k, bool literal_tree, ImplodeStats* stats) {
  ImplodeStats local;
  ImplodeStats& st = stats ? *stats : local;
  st = ImplodeStats{};
  const size_t window = dictionary_8k ? 8192 : 4096;
  const int low_bits = dictionary_8k ? 7 : 6;
  const size_t min_length = literal_tree ? 3 : 2;
  MatchFinder finder(data, window, min_length, min_length + 63 + 255);

  struct Token {
    size_t length;  // 0 for a literal
    size_t distance;
    uint8_t literal;
  };
  std::vector<Token> tokens;
  std::vector<uint64_t> lit_freq(256, 0), len_freq(64, 0), dist_freq(64, 0);
  for (size_t pos = 0; pos < data.size();) {
    auto [length, distance] = finder.Find(pos);
    if (length >= min_length) {
      tokens.push_back({length, distance, 0});
      ++len_freq[std::min<size_t>(length - min_length, 63)];
      ++dist_freq[(distance - 1) >> low_bits];
      for (size_t k = 0; k < length; ++k) finder.Insert(pos + k);
      pos += length;
    } else {
      tokens.push_back({0, 0, data[pos]});
      ++lit_freq[data[pos]];
      finder.Insert(pos);
      ++pos;
    }
  }

  BitWriter out;
  Tree literals, lengths, distances;
  if (literal_tree) {
    literals = MakeTree(lit_freq);
    PutTree(out, literals.lengths);
  }
  lengths = MakeTree(len_freq);
  distances = MakeTree(dist_freq);
  PutTree(out, lengths.lengths);
  PutTree(out, distances.lengths);
  for (const Tree* t : {&literals, &lengths, &distances}) {
    for (int l : t->lengths) st.longest_code = std::max(st.longest_code, l);
  }

  for (const Token& t : tokens) {
    if (t.length == 0) {
      out.Put(1, 1);
      if (literal_tree) {
        literals.Put(out, t.literal);
      } else {
        out.Put(t.literal, 8);
      }
      ++st.literals;
      continue;
    }
    out.Put(0, 1);
    const size_t d = t.distance - 1;
    out.Put(static_cast<uint32_t>(d & ((1u << low_bits) - 1)), low_bits);
    distances.Put(out, static_cast<unsigned>(d >> low_bits));
    const size_t coded = t.length - min_length;
    if (coded >= 63) {
      lengths.Put(out, 63);
      out.Put(static_cast<uint32_t>(coded - 63), 8);
      ++st.long_matches;
    } else {
      lengths.Put(out, static_cast<unsigned>(coded));
    }
    ++st.matches;
    if (t.distance > 4096) ++st.far_matches;
  }
  return out.Finish();
}

}  // namespace flashsaver::legacy_test
