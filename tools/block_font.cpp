#include "tools/block_font.h"

#include <map>
#include <utility>

namespace flashsaver {
namespace {

struct Letter {
  char code;
  const char* rows[7];
};

constexpr Letter kLetters[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
};

constexpr int32_t kCell = 128;  // 7 rows make the 896-unit cap height
constexpr int16_t kAdvance = 6 * kCell;

using Vertex = std::pair<int32_t, int32_t>;

}  // namespace

std::vector<swf_out::Contour> TraceCells(const std::vector<std::string>& rows, int32_t cell,
                                         int32_t x, int32_t y) {
  // Each cell's four sides run clockwise; a side shared by two cells appears once each way and
  // drops out, so what is left are the outlines of the filled region.
  std::multimap<Vertex, Vertex> sides;
  auto add = [&](Vertex from, Vertex to) {
    auto [begin, end] = sides.equal_range(to);
    for (auto it = begin; it != end; ++it) {
      if (it->second == from) {
        sides.erase(it);
        return;
      }
    }
    sides.emplace(from, to);
  };
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size(); ++c) {
      if (rows[r][c] != '#') continue;
      const int32_t x0 = static_cast<int32_t>(c), y0 = static_cast<int32_t>(r);
      add({x0, y0}, {x0 + 1, y0});
      add({x0 + 1, y0}, {x0 + 1, y0 + 1});
      add({x0 + 1, y0 + 1}, {x0, y0 + 1});
      add({x0, y0 + 1}, {x0, y0});
    }
  }
  std::vector<swf_out::Contour> contours;
  while (!sides.empty()) {
    auto it = sides.begin();
    const Vertex start = it->first;
    std::vector<Vertex> loop = {start};
    Vertex at = it->second;
    sides.erase(it);
    while (at != start) {
      loop.push_back(at);
      auto next = sides.find(at);
      if (next == sides.end()) break;  // cannot happen for a grid: every vertex balances
      at = next->second;
      sides.erase(next);
    }
    // Corners only: a vertex between two sides of the same direction is dropped.
    std::vector<Vertex> corners;
    for (size_t i = 0; i < loop.size(); ++i) {
      const Vertex& prev = loop[(i + loop.size() - 1) % loop.size()];
      const Vertex& next = loop[(i + 1) % loop.size()];
      const bool straight = (prev.first == loop[i].first && loop[i].first == next.first) ||
                            (prev.second == loop[i].second && loop[i].second == next.second);
      if (!straight) corners.push_back(loop[i]);
    }
    std::vector<std::pair<int32_t, int32_t>> points;
    for (const Vertex& v : corners) points.emplace_back(x + v.first * cell, y + v.second * cell);
    swf_out::Contour contour = swf_out::Polygon(points);
    contour.fill1 = 1;
    contours.push_back(std::move(contour));
  }
  return contours;
}

std::vector<swf_out::Glyph> BlockFontGlyphs() {
  std::vector<swf_out::Glyph> glyphs = {{' ', {}, static_cast<int16_t>(3 * kCell)}};
  for (const Letter& letter : kLetters) {
    const std::vector<std::string> rows(std::begin(letter.rows), std::end(letter.rows));
    glyphs.push_back(
        {static_cast<uint16_t>(letter.code), TraceCells(rows, kCell, 0, -7 * kCell), kAdvance});
  }
  return glyphs;
}

swf_out::TextRun BlockFontRun(uint16_t font_id, const std::string& text, uint16_t height,
                              Rgba colour, int32_t x, int32_t y) {
  const std::vector<swf_out::Glyph> glyphs = BlockFontGlyphs();
  swf_out::TextRun run{font_id, height, colour, x, y, {}};
  for (char ch : text) {
    for (size_t i = 0; i < glyphs.size(); ++i) {
      if (glyphs[i].code != static_cast<uint8_t>(ch)) continue;
      run.glyphs.emplace_back(static_cast<uint32_t>(i), glyphs[i].advance * height / 1024);
      break;
    }
  }
  return run;
}

}  // namespace flashsaver
