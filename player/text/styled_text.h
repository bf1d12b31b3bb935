// A text field's contents as characters with formats: plain text gets one format, HTML text
// one per run of its tags. Paragraphs are separated by '\n' and carry their own formats.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "player/swf/swf_types.h"

namespace flashsaver {

enum class TextAlign : uint8_t { kLeft, kRight, kCenter, kJustify };

struct TextFormat {
  std::string face;
  double size = 240;  // twips
  Rgba colour;
  bool bold = false, italic = false, underline = false, kerning = false;
  std::string url, target;
  double letter_spacing = 0;  // pixels
  friend bool operator==(const TextFormat&, const TextFormat&) = default;
};

struct ParagraphFormat {
  TextAlign align = TextAlign::kLeft;
  bool bullet = false;
  double left_margin = 0, right_margin = 0, indent = 0, leading = 0;  // twips
  double block_indent = 0;                                            // twips
  std::vector<int32_t> tab_stops;                                     // pixels
  friend bool operator==(const ParagraphFormat&, const ParagraphFormat&) = default;
};

struct StyledText {
  std::u32string chars;
  std::vector<uint16_t> format_of;  // per character, into formats
  std::vector<TextFormat> formats;
  std::vector<ParagraphFormat> paragraphs;  // one more than the '\n' in chars

  // Appends with the given format (merged with an equal earlier one).
  void Append(std::u32string_view text, const TextFormat& format);
  // The index of an equal format, added when there is none (within the limit).
  uint16_t Intern(const TextFormat& format);
  // Removes formats no character uses (keeps the first).
  void Compact();
  void BreakParagraph(const TextFormat& format, const ParagraphFormat& next);
  const TextFormat& FormatAt(size_t i) const { return formats[format_of[i]]; }
};

// UTF-8 to characters; a byte that starts no valid sequence stands for itself (Latin-1), as
// movies written for old players hold such bytes.
std::u32string DecodeUtf8(std::string_view text);
void AppendUtf8(std::string& out, char32_t c);

// Plain text: one format, '\r', '\n' and "\r\n" break paragraphs.
StyledText PlainText(std::string_view text, const TextFormat& format,
                     const ParagraphFormat& paragraph);

// One style of a style sheet: what it sets, each part optional.
struct TextStyle {
  enum class Display : uint8_t { kUnset, kBlock, kInline, kNone };
  std::optional<std::string> face;
  std::optional<double> size;  // twips
  std::optional<Rgba> colour;
  std::optional<bool> bold, italic, underline, kerning;
  std::optional<double> letter_spacing;  // pixels
  std::optional<TextAlign> align;
  std::optional<double> left_margin, right_margin, indent, leading;  // twips
  Display display = Display::kUnset;
};

// Styles by selector: a tag name ("p") or a class (".name"). Selectors match whatever their
// case, as the player matches them.
struct StyleTable {
  std::vector<std::pair<std::string, TextStyle>> styles;
  const TextStyle* Find(std::string_view selector) const;
};

// The HTML subset that text fields understand: <p align>, <br>, <font face size color>, <b>,
// <i>, <u>, <a href>, <li>, <textformat> margins, indent and leading, and character entities.
// Unknown tags are dropped, their text kept; whitespace is kept, as fields do by default, or
// condensed: line breaks become spaces, runs of spaces one, none at a paragraph's start. A
// field that is not multiline ends no paragraph at </p> or </li>; line breaks still do.
// With a style table, <p>, <li> and <a> take the style of their tag, and <p>, <li>, <a> and
// <span> the style their class names; a tag's own attributes come after its styles.
// For movies from SWF 8 (version) condensing is done over the whole text: a run of whitespace is
// one space unless the text or a paragraph starts there or one was just written, whatever tags
// come between; older ones condense each run between tags on its own, and drop text between
// tags that is only spaces even when not condensing.
StyledText ParseHtml(std::string_view html, const TextFormat& format,
                     const ParagraphFormat& paragraph, bool condense_white = false,
                     bool multiline = true, const StyleTable* styles = nullptr, int version = 8);

// The HTML that a field gives back for its contents: a <P> or <LI> per paragraph inside a
// <TEXTFORMAT> when it has margins, and <FONT> with every attribute of its first character,
// nested <FONT>, <A>, <B>, <I>, <U> where a run differs. `empty` formats an empty text.
std::string WriteHtml(const StyledText& text, const TextFormat& empty,
                      const ParagraphFormat& empty_paragraph);

}  // namespace flashsaver
