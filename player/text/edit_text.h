// DefineEditText: the field's definition, and the text field that draws it. The field's text is
// state apart from the definition, so that scripts can change it later.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "player/display/character.h"
#include "player/swf/swf_movie.h"
#include "player/text/text_layout.h"

namespace flashsaver {

class CharacterLibrary;

// Which side an auto-sized field keeps in place as it grows.
enum class AutoSize : uint8_t { kNone, kLeft, kCenter, kRight };

struct EditTextDefinition {
  SwfRect bounds;
  bool word_wrap = false, multiline = false, password = false, read_only = false;
  bool no_select = false, border = false, was_static = false;
  bool html = false, use_outlines = false;
  AutoSize auto_size = AutoSize::kNone;
  // Set by scripts only; the tag's border flag sets the background too.
  bool background = false, condense_white = false;
  uint8_t html_version = 8;  // the SWF version of the script that last gave HTML or condensing
  Rgba background_colour{255, 255, 255, 255}, border_colour{0, 0, 0, 255};
  uint16_t font_id = 0;  // 0: none
  std::string font_class;
  double height = 240;      // twips
  Rgba colour;              // black unless the tag gives one
  uint16_t max_length = 0;  // 0: no limit
  TextAlign align = TextAlign::kLeft;
  double left_margin = 0, right_margin = 0, indent = 0, leading = 0;  // twips
  std::string variable_name;
  std::string initial_text;  // UTF-8
  LayoutFonts fonts;
};

// A field on the display list: its settings start as the tag's and scripts change them; its
// contents are styled text, so that parts of it can carry their own formats.
class TextField {
 public:
  explicit TextField(std::shared_ptr<const EditTextDefinition> definition);

  const EditTextDefinition& definition() const { return settings_; }
  // Change the settings, then call Changed().
  EditTextDefinition& settings() {
    source_.reset();  // multiline and condenseWhite change how the same text reads
    return settings_;
  }
  void Changed() { LayOut(); }

  // The characters, paragraphs ending in '\r' as the player reports them (UTF-8).
  std::string text() const;
  // The contents as the player writes them back as HTML; plain text for a plain field.
  std::string HtmlText() const;
  // Replaces the contents with plain text in the format for new text.
  void SetText(std::string_view text);
  // Replaces the contents with HTML (an HTML field) or plain text (any other).
  void SetHtmlText(std::string_view html);
  // A style sheet's styles: while a field has them, text and HTML alike are read as HTML with
  // those styles, and the HTML set is what the field gives back. New styles read the last
  // HTML again; none leave the contents as they are.
  void SetStyles(std::shared_ptr<const StyleTable> styles);
  bool styled() const { return styles_ != nullptr; }
  // Replaces characters [begin, end) with plain text in the format of new text.
  void ReplaceText(size_t begin, size_t end, std::string_view text);
  // Whether the contents are still what this text, plain or HTML, last made them: a bound
  // variable that did not change need not be laid out again.
  bool MadeFrom(std::string_view text, bool html) const {
    return source_ && source_html_ == html && *source_ == text;
  }

  const StyledText& content() const { return content_; }
  // The selection, character indices with begin <= end; the caret is at end. Kept within the
  // text whatever replaces it.
  size_t selection_begin = 0, selection_end = 0;
  // Formats of characters changed in place: call Changed() after.
  StyledText& mutable_content() {
    source_.reset();
    styled_source_.reset();
    return content_;
  }
  // What text the script adds next looks like (setNewTextFormat): change it through
  // mutable_new_format(), so that setting the same text again takes it.
  TextFormat& mutable_new_format() {
    source_.reset();
    return new_format;
  }
  ParagraphFormat& mutable_new_paragraph() {
    source_.reset();
    return new_paragraph;
  }
  TextFormat new_format;
  ParagraphFormat new_paragraph;

  // Bounds after auto-size, twips in the field's space.
  const SwfRect& bounds() const { return bounds_; }
  const TextLayout& layout() const { return layout_; }
  void Draw(Canvas& canvas, const RenderState& state) const;

 private:
  void LayOut();
  void ParseStyled(std::string_view html);

  EditTextDefinition settings_;
  StyledText content_;
  std::optional<std::string> source_;
  bool source_html_ = false;
  bool html_content_ = false;  // the contents were last set as HTML
  std::shared_ptr<const StyleTable> styles_;
  std::optional<std::string> styled_source_;  // the HTML last set while styled
  SwfRect bounds_;
  TextLayout layout_;
};

class EditTextCharacter final : public DrawableCharacter {
 public:
  explicit EditTextCharacter(std::shared_ptr<const EditTextDefinition> definition)
      : definition_(definition), initial_(std::move(definition)) {}
  CharacterType type() const override { return CharacterType::kEditText; }
  void Draw(Canvas& canvas, const RenderState& state, const BitmapSource&,
            uint16_t) const override {
    initial_.Draw(canvas, state);
  }
  SwfRect Bounds(uint16_t) const override { return initial_.bounds(); }

  const std::shared_ptr<const EditTextDefinition>& definition() const { return definition_; }
  // The field as the movie defines it, with its initial text.
  const TextField& initial_field() const { return initial_; }

 private:
  std::shared_ptr<const EditTextDefinition> definition_;
  TextField initial_;
};

// Reads the tag after its character id; the field's font is looked up in the library now.
// Throws SwfError (kBadTag).
std::shared_ptr<EditTextCharacter> ReadDefineEditText(const SwfTag& tag,
                                                      const CharacterLibrary& library);

}  // namespace flashsaver
