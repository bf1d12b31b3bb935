#include "player/text/text_layout.h"

#include <algorithm>
#include <cmath>

#include "player/display/character_library.h"

namespace flashsaver {
namespace {

struct GlyphInfo {
  const Path* outline = nullptr;
  double advance = 0;  // twips
  double scale = 0;
};

// One format's font at its size.
class ResolvedFont {
 public:
  ResolvedFont(const TextFormat& format, const LayoutFonts& fonts) : size_(format.size) {
    const FontCharacter* font = fonts.embedded.get();
    if (fonts.use_outlines) {
      // A field with embedFonts draws only embedded outlines: its own font, or the movie's
      // font of the face's name; with neither its text is not drawn at all.
      const FontCharacter* chosen = nullptr;
      if (font && !font->glyphs.empty() && (format.face.empty() || format.face == font->name)) {
        chosen = font;
      } else if (fonts.library) {
        chosen = fonts.library->FontNamed(format.face.empty() && font ? font->name : format.face,
                                          format.bold, format.italic);
      } else if (font && !font->glyphs.empty()) {
        chosen = font;
      }
      if (chosen) {
        embedded_ = chosen;
        scale_ = chosen->GlyphScale(size_);
        if (chosen->has_layout) {
          // Whole twips, as Flash keeps them: three lines of 12 px Noto Sans are 52 px, not 53.
          ascent_ = std::floor(chosen->ascent * scale_);
          descent_ = std::floor(chosen->descent * scale_);
        } else {
          ascent_ = size_ * 0.8;
          descent_ = size_ * 0.2;
        }
        return;
      }
      if (fonts.library) return;
    }
    if (fonts.device) {
      device_ = fonts.device->Face(format.face.empty() && font ? font->name : format.face,
                                   format.bold || (font && font->bold),
                                   format.italic || (font && font->italic));
      if (device_) {
        scale_ = size_ / device_->em_square();
        ascent_ = device_->ascent() * scale_;
        descent_ = device_->descent() * scale_;
      }
    }
  }

  double ascent() const { return ascent_; }
  double descent() const { return descent_; }

  // The pair's kerning in twips; only embedded fonts carry a table.
  double Kerning(char32_t left, char32_t right) const {
    if (!embedded_ || embedded_->kerning.empty() || left > 0xFFFF || right > 0xFFFF) return 0;
    return embedded_->Kerning(static_cast<uint16_t>(left), static_cast<uint16_t>(right)) * scale_;
  }

  std::optional<GlyphInfo> Glyph(char32_t c) const {
    if (embedded_) {
      if (c > 0xFFFF) return std::nullopt;
      const auto index = embedded_->GlyphIndex(static_cast<uint16_t>(c));
      if (!index) return std::nullopt;
      const FontGlyph& g = embedded_->glyphs[*index];
      // Flash keeps advances in whole twips, dropping the fraction.
      return GlyphInfo{&g.outline, std::floor(g.advance * scale_), scale_};
    }
    if (device_) {
      if (const DeviceGlyph* g = device_->Glyph(c)) {
        return GlyphInfo{&g->outline, g->advance * scale_, scale_};
      }
    }
    return std::nullopt;
  }

 private:
  double size_;
  double scale_ = 0;
  double ascent_ = 0, descent_ = 0;
  const FontCharacter* embedded_ = nullptr;
  const DeviceFace* device_ = nullptr;
};

}  // namespace

TextLayout LayOutText(const StyledText& text, const LayoutFonts& fonts, const LayoutBox& box) {
  TextLayout layout;
  std::vector<ResolvedFont> resolved;
  resolved.reserve(text.formats.size());
  for (const TextFormat& f : text.formats) resolved.emplace_back(f, fonts);
  const TextFormat base_format = text.formats.empty() ? TextFormat{} : text.formats.front();
  const ResolvedFont base_font(base_format, fonts);

  auto shown = [&](size_t i) { return box.password ? U'*' : text.chars[i]; };
  auto advance = [&](size_t i) {
    const ResolvedFont& font = resolved[text.format_of[i]];
    const auto g = font.Glyph(shown(i));
    if (!g) return 0.0;
    // Kerning applies within a run of one format that asks for it.
    if (i + 1 < text.chars.size() && text.format_of[i + 1] == text.format_of[i] &&
        text.FormatAt(i).kerning) {
      return g->advance + font.Kerning(shown(i), shown(i + 1));
    }
    return g->advance;
  };

  double y = box.top + kTextGutter;
  double last_leading = 0;
  size_t paragraph_start = 0;
  for (size_t p = 0; p < std::max<size_t>(text.paragraphs.size(), 1); ++p) {
    const ParagraphFormat para =
        p < text.paragraphs.size() ? text.paragraphs[p] : ParagraphFormat{};
    size_t paragraph_end = text.chars.find(U'\n', paragraph_start);
    if (paragraph_end == std::u32string::npos) paragraph_end = text.chars.size();
    // A list item's text starts 36 pixels in, whatever its size (edittext_stylesheet).
    const double bullet_indent = para.bullet ? 36 * Twips::kPerPixel : 0;
    const double left = box.left + kTextGutter + para.left_margin + bullet_indent;
    const double full_width =
        box.width - 2 * kTextGutter - para.left_margin - para.right_margin - bullet_indent;

    // Break the paragraph into lines: after the last space that fits, or inside a word that
    // is wider than the line by itself.
    std::vector<std::pair<size_t, size_t>> ranges;
    size_t line_start = paragraph_start;
    size_t last_break = paragraph_start;
    double x = 0;
    for (size_t i = paragraph_start; i < paragraph_end;) {
      const double available = full_width - (ranges.empty() ? para.indent : 0);
      const double w = advance(i);
      if (box.word_wrap && text.chars[i] != U' ' && x + w > available && i > line_start) {
        const size_t cut = last_break > line_start ? last_break : i;
        ranges.emplace_back(line_start, cut);
        line_start = last_break = i = cut;
        x = 0;
        continue;
      }
      x += w;
      ++i;
      if (text.chars[i - 1] == U' ') last_break = i;
    }
    ranges.emplace_back(line_start, paragraph_end);

    for (size_t r = 0; r < ranges.size(); ++r) {
      const auto [first, end] = ranges[r];
      LaidOutLine line;
      line.first_char = first;
      line.end_char = end;
      size_t trimmed = end;
      while (trimmed > first && text.chars[trimmed - 1] == U' ') --trimmed;
      for (size_t i = first; i < trimmed; ++i) line.width += advance(i);
      if (first == end) {
        // An empty line takes its height from the format at the break.
        const ResolvedFont& f = end < text.chars.size() ? resolved[text.format_of[end]] : base_font;
        line.ascent = f.ascent();
        line.descent = f.descent();
      }
      for (size_t i = first; i < end; ++i) {
        const ResolvedFont& f = resolved[text.format_of[i]];
        line.ascent = std::max(line.ascent, f.ascent());
        line.descent = std::max(line.descent, f.descent());
      }
      const double indent = r == 0 ? para.indent : 0;
      const double room = full_width - indent - line.width;
      double offset = 0;
      if (para.align == TextAlign::kRight) offset = room;
      if (para.align == TextAlign::kCenter) offset = room / 2;
      // Text wider than its field starts at the left edge whatever the alignment.
      offset = std::max(offset, 0.0);
      line.x = left + indent + offset;
      line.baseline = y + line.ascent;
      // textWidth counts trailing spaces, though alignment leaves them out; from SWF 8 only
      // on left-aligned lines (edittext_align_trailing_spaces_swf7, _swf8).
      double spaces = 0;
      if (para.align == TextAlign::kLeft || !fonts.library || fonts.library->swf_version() < 8) {
        for (size_t i = trimmed; i < end; ++i) spaces += advance(i);
      }
      layout.text_width = std::max(layout.text_width, para.left_margin + bullet_indent + indent +
                                                          line.width + spaces + para.right_margin);

      if (para.bullet && r == 0) {
        if (const auto g = base_font.Glyph(U'\u2022')) {
          layout.glyphs.push_back({g->outline, g->scale,
                                   left - bullet_indent + base_format.size / 2, line.baseline,
                                   base_format.colour});
        }
      }
      double pen = line.x;
      for (size_t i = first; i < end; ++i) {
        const TextFormat& format = text.FormatAt(i);
        const auto g = resolved[text.format_of[i]].Glyph(shown(i));
        if (!g) continue;
        if (text.chars[i] != U' ') {
          layout.glyphs.push_back({g->outline, g->scale, pen, line.baseline, format.colour});
        }
        if (format.underline && i < trimmed) {
          const auto top = static_cast<int32_t>(line.baseline + format.size / 16);
          layout.underlines.push_back({Twips{static_cast<int32_t>(pen)},
                                       Twips{static_cast<int32_t>(pen + g->advance)}, Twips{top},
                                       Twips{top + Twips::kPerPixel}});
        }
        pen += advance(i);
      }
      layout.lines.push_back(line);
      y = line.baseline + line.descent + para.leading;
      last_leading = para.leading;
    }
    paragraph_start = paragraph_end + 1;
  }
  // An empty field measures nothing, though it keeps a line for the caret.
  if (!layout.lines.empty() && !text.chars.empty()) {
    const LaidOutLine& last = layout.lines.back();
    layout.text_height = last.baseline + last.descent - (box.top + kTextGutter);
    // Flash counts the leading under a lone line, but not under the last of several.
    if (layout.lines.size() == 1) layout.text_height += last_leading;
  }
  return layout;
}

}  // namespace flashsaver
