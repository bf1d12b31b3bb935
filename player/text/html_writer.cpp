// A field's contents back as HTML, in the shape the player writes: upper-case tags, every
// attribute quoted, one <P> per paragraph and a full <FONT> at its start.
#include <cmath>
#include <cstdio>
#include <vector>

#include "player/text/styled_text.h"

namespace flashsaver {
namespace {

std::string Number(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.15g", v);
  return buffer;
}

std::string Colour(const Rgba& c) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X", c.r, c.g, c.b);
  return buffer;
}

void Escaped(std::string& out, std::u32string_view text) {
  for (char32_t c : text) {
    switch (c) {
      case U'&':
        out += "&amp;";
        break;
      case U'<':
        out += "&lt;";
        break;
      case U'>':
        out += "&gt;";
        break;
      case U'"':
        out += "&quot;";
        break;
      case U'\'':
        out += "&apos;";
        break;
      default:
        AppendUtf8(out, c);
    }
  }
}

const char* AlignName(TextAlign a) {
  switch (a) {
    case TextAlign::kRight:
      return "RIGHT";
    case TextAlign::kCenter:
      return "CENTER";
    case TextAlign::kJustify:
      return "JUSTIFY";
    case TextAlign::kLeft:
      break;
  }
  return "LEFT";
}

// FONT attributes of `f` that differ from `base` (all of them when base is null).
std::string FontAttributes(const TextFormat& f, const TextFormat* base) {
  std::string out;
  if (!base || base->face != f.face) out += " FACE=\"" + f.face + "\"";
  if (!base || base->size != f.size) out += " SIZE=\"" + Number(f.size / 20) + "\"";
  if (!base || !(base->colour == f.colour)) out += " COLOR=\"" + Colour(f.colour) + "\"";
  if (!base || base->letter_spacing != f.letter_spacing) {
    out += " LETTERSPACING=\"" + Number(f.letter_spacing) + "\"";
  }
  if (!base || base->kerning != f.kerning)
    out += std::string(" KERNING=\"") + (f.kerning ? "1" : "0") + "\"";
  return out;
}

// A run's text inside the <FONT> tags already open. A run whose font matches an open level
// closes the ones above it; any other opens one more inside the rest, naming what differs
// from the innermost (edittext_html_swf8).
void Run(std::string& out, std::u32string_view text, const TextFormat& f,
         std::vector<const TextFormat*>& fonts) {
  size_t level = fonts.size();
  while (level > 0 && !FontAttributes(f, fonts[level - 1]).empty()) --level;
  if (level > 0) {
    for (; fonts.size() > level; fonts.pop_back()) out += "</FONT>";
  } else {
    out += "<FONT" + FontAttributes(f, fonts.back()) + ">";
    fonts.push_back(&f);
  }
  if (!f.url.empty()) out += "<A HREF=\"" + f.url + "\" TARGET=\"" + f.target + "\">";
  if (f.bold) out += "<B>";
  if (f.italic) out += "<I>";
  if (f.underline) out += "<U>";
  Escaped(out, text);
  if (f.underline) out += "</U>";
  if (f.italic) out += "</I>";
  if (f.bold) out += "</B>";
  if (!f.url.empty()) out += "</A>";
}

std::string TextFormatAttributes(const ParagraphFormat& p) {
  std::string out;
  auto pixels = [&](const char* name, double twips) {
    if (twips != 0) out += std::string(" ") + name + "=\"" + Number(twips / 20) + "\"";
  };
  pixels("LEFTMARGIN", p.left_margin);
  pixels("RIGHTMARGIN", p.right_margin);
  pixels("INDENT", p.indent);
  pixels("LEADING", p.leading);
  pixels("BLOCKINDENT", p.block_indent);
  if (!p.tab_stops.empty()) {
    out += " TABSTOPS=\"";
    for (size_t i = 0; i < p.tab_stops.size(); ++i) {
      out += (i ? "," : "") + std::to_string(p.tab_stops[i]);
    }
    out += "\"";
  }
  return out;
}

}  // namespace

std::string WriteHtml(const StyledText& text, const TextFormat& empty,
                      const ParagraphFormat& empty_paragraph) {
  std::string out;
  size_t start = 0, paragraph = 0;
  while (start < text.chars.size()) {
    size_t end = text.chars.find(U'\n', start);
    const bool closed = end != std::u32string::npos;
    if (!closed) end = text.chars.size();
    const ParagraphFormat& p =
        paragraph < text.paragraphs.size() ? text.paragraphs[paragraph] : empty_paragraph;
    // An empty paragraph takes the format of its break.
    const TextFormat& base = start < text.chars.size() ? text.FormatAt(start) : empty;
    const std::string layout = TextFormatAttributes(p);
    if (!layout.empty()) out += "<TEXTFORMAT" + layout + ">";
    out += p.bullet ? std::string("<LI>") : std::string("<P ALIGN=\"") + AlignName(p.align) + "\">";
    out += "<FONT" + FontAttributes(base, nullptr) + ">";
    std::vector<const TextFormat*> fonts{&base};
    // The break belongs to the run before it, or makes an empty run of its own format.
    const size_t stop = closed ? end + 1 : end;
    for (size_t i = start; i < stop;) {
      size_t j = i + 1;
      while (j < stop && text.format_of[j] == text.format_of[i]) ++j;
      Run(out, std::u32string_view(text.chars).substr(i, std::min(j, end) - i), text.FormatAt(i),
          fonts);
      i = j;
    }
    for (size_t k = 0; k < fonts.size(); ++k) out += "</FONT>";
    out += p.bullet ? "</LI>" : "</P>";
    if (!layout.empty()) out += "</TEXTFORMAT>";
    start = end + (closed ? 1 : 0);
    ++paragraph;
  }
  return out;
}

}  // namespace flashsaver
