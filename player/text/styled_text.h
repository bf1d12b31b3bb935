// A text field's contents as characters with formats: plain text gets one format, HTML text
// one per run of its tags. Paragraphs are separated by '\n' and carry their own formats.
#pragma once

#include <cstdint>
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
  bool bold = false, italic = false, underline = false;
  std::string url;
  friend bool operator==(const TextFormat&, const TextFormat&) = default;
};

struct ParagraphFormat {
  TextAlign align = TextAlign::kLeft;
  bool bullet = false;
  double left_margin = 0, right_margin = 0, indent = 0, leading = 0;  // twips
  friend bool operator==(const ParagraphFormat&, const ParagraphFormat&) = default;
};

struct StyledText {
  std::u32string chars;
  std::vector<uint16_t> format_of;  // per character, into formats
  std::vector<TextFormat> formats;
  std::vector<ParagraphFormat> paragraphs;  // one more than the '\n' in chars

  // Appends with the given format (merged with an equal earlier one).
  void Append(std::u32string_view text, const TextFormat& format);
  void BreakParagraph(const TextFormat& format, const ParagraphFormat& next);
  const TextFormat& FormatAt(size_t i) const { return formats[format_of[i]]; }
};

// UTF-8 to characters; a byte that starts no valid sequence stands for itself (Latin-1), as
// movies written for old players hold such bytes.
std::u32string DecodeUtf8(std::string_view text);

// Plain text: one format, '\r', '\n' and "\r\n" break paragraphs.
StyledText PlainText(std::string_view text, const TextFormat& format,
                     const ParagraphFormat& paragraph);

// The HTML subset that text fields understand: <p align>, <br>, <font face size color>, <b>,
// <i>, <u>, <a href>, <li>, <textformat> margins, indent and leading, and character entities.
// Unknown tags are dropped, their text kept; whitespace is kept, as fields do by default.
StyledText ParseHtml(std::string_view html, const TextFormat& format,
                     const ParagraphFormat& paragraph);

}  // namespace flashsaver
