#include "player/text/styled_text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <optional>

namespace flashsaver {
namespace {

// Limits that keep hostile HTML linear: formats are looked up by comparison, closing tags by a
// walk down the open ones.
constexpr size_t kMaxFormats = 256;
constexpr size_t kMaxOpenTags = 64;

std::string Lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

struct Attribute {
  std::string name;
  std::string value;
};

// "name b='x' c=\"y\"": the tag's lower-case name and its attributes. A value without quotes
// (a=1) makes the tag malformed.
std::string ParseTag(std::string_view inside, std::vector<Attribute>& attributes, bool& malformed) {
  size_t i = 0;
  auto skip_space = [&] {
    while (i < inside.size() && std::isspace(static_cast<unsigned char>(inside[i]))) ++i;
  };
  auto word = [&] {
    const size_t start = i;
    while (i < inside.size() && !std::isspace(static_cast<unsigned char>(inside[i])) &&
           inside[i] != '=' && inside[i] != '/') {
      ++i;
    }
    return inside.substr(start, i - start);
  };
  skip_space();
  const std::string name = Lower(word());
  for (;;) {
    skip_space();
    if (i >= inside.size()) break;
    if (inside[i] == '/') {
      ++i;
      continue;
    }
    Attribute a;
    a.name = Lower(word());
    skip_space();
    if (i < inside.size() && inside[i] == '=') {
      ++i;
      skip_space();
      if (i < inside.size() && (inside[i] == '"' || inside[i] == '\'')) {
        const char quote = inside[i++];
        const size_t end = inside.find(quote, i);
        const size_t stop = end == std::string_view::npos ? inside.size() : end;
        a.value = inside.substr(i, stop - i);
        i = stop + 1;
      } else {
        a.value = word();
        malformed = true;
      }
    }
    if (a.name.empty()) ++i;  // a stray '=' cannot stop the loop
    attributes.push_back(std::move(a));
  }
  return name;
}

const std::string* Find(const std::vector<Attribute>& attributes, std::string_view name) {
  for (const Attribute& a : attributes) {
    if (a.name == name) return &a.value;
  }
  return nullptr;
}

std::optional<long> Number(std::string_view s, int base = 10) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  long v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (ec != std::errc() || end == s.data()) return std::nullopt;
  return v;
}

// "#" and hex digits, spaces allowed after the '#': the last six digits count, and digits end
// at the first other character (edittext_html_color). Anything else leaves the colour.
std::optional<uint32_t> HtmlColour(std::string_view s) {
  if (s.empty() || s[0] != '#') return std::nullopt;
  size_t i = 1;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  uint32_t v = 0;
  size_t digits = 0;
  for (; i < s.size() && std::isxdigit(static_cast<unsigned char>(s[i])); ++i, ++digits) {
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
    v = ((v << 4) | static_cast<uint32_t>(c <= '9' ? c - '0' : c - 'a' + 10)) & 0xFFFFFF;
  }
  if (digits == 0) return std::nullopt;
  return v;
}

bool IsWhite(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Whether a tag ends a paragraph of a multiline field: after one, condensed whitespace goes.
bool EndsParagraph(std::string_view tag) {
  size_t k = 1 + (tag.size() > 1 && tag[1] == '/');
  size_t e = k;
  while (e < tag.size() && std::isalpha(static_cast<unsigned char>(tag[e]))) ++e;
  std::string name(tag.substr(k, e - k));
  for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return name == "p" || name == "br" || name == "li";
}

// See ParseHtml: whitespace as the field keeps it, for that version.
std::string CondenseWhite(std::string_view html, bool condense, int version, bool multiline) {
  const bool across_tags = version >= 8;
  std::string out;
  bool last_white = true;  // at the start nothing condensed is written
  size_t i = 0;
  while (i < html.size()) {
    if (html[i] == '<') {
      const size_t end = html.find('>', i);
      const size_t stop = end == std::string_view::npos ? html.size() : end + 1;
      const std::string_view tag = html.substr(i, stop - i);
      out.append(tag);
      if (multiline && EndsParagraph(tag)) last_white = true;
      i = stop;
      continue;
    }
    const size_t stop = std::min(html.find('<', i), html.size());
    const std::string_view text = html.substr(i, stop - i);
    i = stop;
    if (!condense) {
      const bool spaces = std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
      if (version >= 8 || !spaces) out.append(text);
      continue;
    }
    if (!across_tags) {
      if (std::all_of(text.begin(), text.end(), IsWhite)) continue;
      last_white = false;
    }
    for (char c : text) {
      if (!IsWhite(c)) {
        out.push_back(c);
        last_white = false;
      } else if (!last_white) {
        out.push_back(' ');
        last_white = true;
      }
    }
  }
  return out;
}

std::optional<TextAlign> ParseAlign(std::string_view s) {
  const std::string v = Lower(s);
  if (v == "left") return TextAlign::kLeft;
  if (v == "right") return TextAlign::kRight;
  if (v == "center") return TextAlign::kCenter;
  if (v == "justify") return TextAlign::kJustify;
  return std::nullopt;
}

// "&amp;" and friends at text[i] ('&'); on success i moves past the ';'.
std::optional<char32_t> Entity(std::string_view text, size_t& i) {
  const size_t end = text.find(';', i);
  if (end == std::string_view::npos || end - i > 10) return std::nullopt;
  const std::string_view name = text.substr(i + 1, end - i - 1);
  std::optional<char32_t> c;
  if (name == "lt") c = U'<';
  if (name == "gt") c = U'>';
  if (name == "amp") c = U'&';
  if (name == "quot") c = U'"';
  if (name == "apos") c = U'\'';
  if (name == "nbsp") c = U'\u00A0';
  if (name.size() > 1 && name[0] == '#') {
    const bool hex = name[1] == 'x' || name[1] == 'X';
    if (const auto v = Number(name.substr(hex ? 2 : 1), hex ? 16 : 10);
        v && *v > 0 && *v < 0x110000) {
      c = static_cast<char32_t>(*v);
    }
  }
  if (c) i = end + 1;
  return c;
}

}  // namespace

uint16_t StyledText::Intern(const TextFormat& format) {
  size_t index = formats.size();
  while (index > 0 && !(formats[index - 1] == format)) --index;
  if (index > 0) return static_cast<uint16_t>(index - 1);
  if (formats.size() < kMaxFormats) {
    formats.push_back(format);
    return static_cast<uint16_t>(formats.size() - 1);
  }
  return static_cast<uint16_t>(formats.size() - 1);  // past the limit: the last new format
}

void StyledText::Append(std::u32string_view text, const TextFormat& format) {
  if (text.empty()) return;
  if (paragraphs.empty()) paragraphs.emplace_back();
  const uint16_t index = Intern(format);
  chars.append(text);
  format_of.insert(format_of.end(), text.size(), index);
}

void StyledText::Compact() {
  if (formats.size() <= 1) return;
  std::vector<int> remap(formats.size(), -1);
  std::vector<TextFormat> kept{formats.front()};
  remap[0] = 0;
  for (uint16_t& f : format_of) {
    if (remap[f] < 0) {
      remap[f] = static_cast<int>(kept.size());
      kept.push_back(formats[f]);
    }
    f = static_cast<uint16_t>(remap[f]);
  }
  formats = std::move(kept);
}

void StyledText::BreakParagraph(const TextFormat& format, const ParagraphFormat& next) {
  if (paragraphs.empty()) paragraphs.emplace_back();
  Append(U"\n", format);
  paragraphs.push_back(next);
}

std::u32string DecodeUtf8(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    int extra = b >= 0xF0 && b < 0xF5 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : 0;
    if (b >= 0xF5) extra = 0;
    char32_t c = extra == 3 ? b & 0x07 : extra == 2 ? b & 0x0F : extra == 1 ? b & 0x1F : b;
    bool valid = i + static_cast<size_t>(extra) < text.size() || extra == 0;
    for (int k = 1; valid && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
      if ((next & 0xC0) != 0x80) valid = false;
      c = (c << 6) | (next & 0x3F);
    }
    if (!valid) {
      extra = 0;
      c = b;
    }
    out.push_back(c);
    i += static_cast<size_t>(extra) + 1;
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | ((c >> 18) & 0x07)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

StyledText PlainText(std::string_view text, const TextFormat& format,
                     const ParagraphFormat& paragraph) {
  StyledText out;
  out.paragraphs.push_back(paragraph);
  out.formats.push_back(format);
  const std::u32string chars = DecodeUtf8(text);
  size_t start = 0;
  for (size_t i = 0; i < chars.size(); ++i) {
    if (chars[i] != U'\r' && chars[i] != U'\n') continue;
    out.Append(std::u32string_view(chars).substr(start, i - start), format);
    out.BreakParagraph(format, paragraph);
    start = i + 1;
  }
  out.Append(std::u32string_view(chars).substr(start), format);
  return out;
}

const TextStyle* StyleTable::Find(std::string_view selector) const {
  const std::string key = Lower(selector);
  for (const auto& [name, style] : styles) {
    if (Lower(name) == key) return &style;
  }
  return nullptr;
}

StyledText ParseHtml(std::string_view source, const TextFormat& format,
                     const ParagraphFormat& paragraph, bool condense_white, bool multiline,
                     const StyleTable* styles, int version) {
  // Up to SWF 6 paragraphs end at </p> and </li> in single-line fields too.
  if (version <= 6) multiline = true;
  const std::string condensed = CondenseWhite(source, condense_white, version, multiline);
  const std::string_view html = condensed;
  StyledText out;
  out.paragraphs.push_back(paragraph);
  out.formats.push_back(format);
  struct Open {
    std::string tag;
    TextFormat before;
    bool hidden_before = false;
    bool block = false;                          // ends its paragraph when it closes
    std::optional<ParagraphFormat> para_before;  // <textformat>'s, restored when it closes
  };
  std::vector<Open> open;
  TextFormat current = format;
  ParagraphFormat para = paragraph;
  bool at_paragraph_start = true;
  bool break_pending = false;
  bool hidden = false;  // inside a style with display: none
  bool fixed = false;   // the paragraph's format is set
  bool pending_from_li = false;
  TextFormat last_format = format, pending_format = format;
  ParagraphFormat pending_para;
  std::vector<ParagraphFormat> blocks;
  std::u32string run;

  auto flush = [&] {
    out.Append(run, current);
    run.clear();
  };
  // A line break or <br> takes the format in force; the break that a closing </p> leaves
  // takes the last format its paragraph opened or wrote, closed tags or not
  // (edittext_html_swf8).
  auto emit_break = [&](bool of_text) {
    flush();
    if (!fixed) out.paragraphs.back() = of_text ? pending_para : para;
    fixed = false;
    out.BreakParagraph(of_text ? pending_format : current, para);
    at_paragraph_start = true;
    break_pending = false;
  };
  auto add_char = [&](char32_t c) {
    if (hidden) return;
    if (break_pending) emit_break(true);
    if (!fixed) out.paragraphs.back() = para;
    fixed = true;
    last_format = current;
    run.push_back(c);
    at_paragraph_start = false;
  };
  // A block (<p>, <li>) opens no paragraph of its own: it sets the format in force until it
  // closes, and a paragraph takes the format in force at its first character or its break
  // (edittext_html_swf8).
  auto start_block = [&](const ParagraphFormat& block) {
    if (break_pending) emit_break(true);
    // A list item in a multiline field starts a paragraph of its own.
    if (block.bullet && multiline && fixed) emit_break(false);
    if (blocks.size() < kMaxOpenTags) blocks.push_back(para);
    para = block;
  };
  auto end_block = [&](bool li) {
    // A closing </p> ends the paragraph unless one is ended already; after a </li> the next
    // closing block ends one more (edittext_html_swf8).
    if (multiline && (!break_pending || pending_from_li)) {
      if (break_pending) emit_break(true);
      pending_from_li = li;
      break_pending = true;
      pending_para = para;
      pending_format = last_format;
    }
    if (!blocks.empty()) {
      para = blocks.back();
      blocks.pop_back();
    }
  };

  for (size_t i = 0; i < html.size();) {
    const char c = html[i];
    if (c == '<') {
      const size_t end = html.find('>', i);
      if (end == std::string_view::npos) break;  // an unclosed tag ends the text
      std::string_view inside = html.substr(i + 1, end - i - 1);
      i = end + 1;
      const bool closing = !inside.empty() && inside[0] == '/';
      if (closing) inside.remove_prefix(1);
      std::vector<Attribute> attributes;
      bool malformed = false;
      const std::string tag = ParseTag(inside, attributes, malformed);
      // The player's parser rejects the whole text for a malformed tag: nothing shows.
      if (malformed) {
        StyledText empty;
        empty.paragraphs.push_back(paragraph);
        empty.formats.push_back(format);
        return empty;
      }
      const bool paragraph_tag = tag == "p" || tag == "li";
      if (closing) {
        if (paragraph_tag && !styles) {
          end_block(tag == "li");
          continue;
        }
        for (size_t k = open.size(); k-- > 0;) {
          if (open[k].tag != tag) continue;
          flush();
          if (open[k].block) end_block(tag == "li");
          current = open[k].before;
          hidden = open[k].hidden_before;
          if (open[k].para_before) para = *open[k].para_before;
          open.resize(k);
          break;
        }
        continue;
      }
      // A style sheet styles some tags by name and some by class (edittext_stylesheet: a
      // <font> or <span> selector styles nothing).
      TextStyle style;
      bool styled = false;
      if (styles) {
        auto take = [&](const TextStyle* s) {
          if (!s) return;
          styled = true;
          if (s->face) style.face = s->face;
          if (s->size) style.size = s->size;
          if (s->colour) style.colour = s->colour;
          if (s->bold) style.bold = s->bold;
          if (s->italic) style.italic = s->italic;
          if (s->underline) style.underline = s->underline;
          if (s->kerning) style.kerning = s->kerning;
          if (s->letter_spacing) style.letter_spacing = s->letter_spacing;
          if (s->align) style.align = s->align;
          if (s->left_margin) style.left_margin = s->left_margin;
          if (s->right_margin) style.right_margin = s->right_margin;
          if (s->indent) style.indent = s->indent;
          if (s->leading) style.leading = s->leading;
          if (s->display != TextStyle::Display::kUnset) style.display = s->display;
        };
        if (paragraph_tag || tag == "a") take(styles->Find(tag));
        if (paragraph_tag || tag == "a" || tag == "span") {
          if (const auto* a = Find(attributes, "class")) take(styles->Find("." + *a));
        }
      }
      if (tag == "br") {
        // A single-line field breaks at line breaks of the source only (edittext_html_swf8).
        if (!multiline) continue;
        if (break_pending) emit_break(true);
        emit_break(false);
        continue;
      }
      const bool pushes = tag == "font" || tag == "b" || tag == "i" || tag == "u" || tag == "a" ||
                          tag == "textformat" || (styles && (paragraph_tag || tag == "span"));
      if (pushes && open.size() >= kMaxOpenTags) continue;
      const bool block = style.display == TextStyle::Display::kUnset
                             ? paragraph_tag
                             : style.display == TextStyle::Display::kBlock;
      if (pushes) {
        flush();
        open.push_back({tag, current, hidden, styles && block, std::nullopt});
        if (tag == "textformat") open.back().para_before = para;
        if (style.display == TextStyle::Display::kNone) hidden = true;
      }
      if (styled) {
        if (style.face) current.face = *style.face;
        if (style.size) current.size = *style.size;
        if (style.colour)
          current.colour = {style.colour->r, style.colour->g, style.colour->b, current.colour.a};
        if (style.bold) current.bold = *style.bold;
        if (style.italic) current.italic = *style.italic;
        if (style.underline) current.underline = *style.underline;
        if (style.kerning) current.kerning = *style.kerning;
        if (style.letter_spacing) current.letter_spacing = *style.letter_spacing;
      }
      if (block) {
        ParagraphFormat next = para;
        next.bullet = tag == "li";
        if (style.align) next.align = *style.align;
        if (style.left_margin) next.left_margin = *style.left_margin;
        if (style.right_margin) next.right_margin = *style.right_margin;
        if (style.indent) next.indent = *style.indent;
        if (style.leading) next.leading = *style.leading;
        if (tag == "p") {
          if (const auto* a = Find(attributes, "align")) {
            if (const auto align = ParseAlign(*a)) next.align = *align;
          }
        }
        start_block(next);
      }
      if (tag == "textformat") {
        auto twips = [&](const char* name, double& field) {
          if (const auto* a = Find(attributes, name)) {
            if (const auto v = Number(*a)) field = static_cast<double>(*v) * 20;
          }
        };
        twips("leftmargin", para.left_margin);
        twips("rightmargin", para.right_margin);
        twips("indent", para.indent);
        twips("leading", para.leading);
      } else if (tag == "b") {
        current.bold = true;
      } else if (tag == "i") {
        current.italic = true;
      } else if (tag == "u") {
        current.underline = true;
      } else if (tag == "a") {
        if (const auto* a = Find(attributes, "href")) current.url = *a;
        if (const auto* a = Find(attributes, "target")) current.target = *a;
      } else if (tag == "font") {
        if (const auto* a = Find(attributes, "face")) current.face = *a;
        if (const auto* a = Find(attributes, "letterspacing")) {
          current.letter_spacing = std::strtod(a->c_str(), nullptr);
        }
        if (const auto* a = Find(attributes, "kerning")) current.kerning = *a == "1";
        if (const auto* a = Find(attributes, "size")) {
          if (const auto v = Number(*a)) {
            const bool relative = !a->empty() && (a->front() == '+' || a->front() == '-');
            const double px =
                relative ? current.size / 20 + static_cast<double>(*v) : static_cast<double>(*v);
            current.size = std::max(0.0, px) * 20;
          }
        }
        if (const auto* a = Find(attributes, "color")) {
          if (const auto v = HtmlColour(*a)) {
            current.colour = {static_cast<uint8_t>(*v >> 16), static_cast<uint8_t>(*v >> 8),
                              static_cast<uint8_t>(*v), current.colour.a};
          }
        }
      }
      // A <font> counts for the break a closing </p> leaves; <b>, <i> and <u> do not.
      if (tag == "font") last_format = current;
      continue;
    }
    if (c == '\r' || c == '\n') {
      if (break_pending) emit_break(true);
      emit_break(false);
      i += (c == '\r' && i + 1 < html.size() && html[i + 1] == '\n') ? 2 : 1;
      continue;
    }
    if (c == '&') {
      if (const auto e = Entity(html, i)) {
        add_char(*e);
        continue;
      }
    }
    // One UTF-8 sequence, up to the next markup.
    size_t stop = i + 1;
    while (stop < html.size() && (static_cast<unsigned char>(html[stop]) & 0xC0) == 0x80) ++stop;
    for (char32_t d : DecodeUtf8(html.substr(i, stop - i))) add_char(d);
    i = stop;
  }
  // A closing </p> or </li> at the very end still ends its paragraph.
  if (break_pending) emit_break(true);
  flush();
  if (!fixed) out.paragraphs.back() = para;
  return out;
}

}  // namespace flashsaver
