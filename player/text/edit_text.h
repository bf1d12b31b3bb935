// DefineEditText: the field's definition, and the text field that draws it. The field's text is
// state apart from the definition, so that scripts can change it later.
#pragma once

#include <memory>
#include <string>

#include "player/display/character.h"
#include "player/swf/swf_movie.h"
#include "player/text/text_layout.h"

namespace flashsaver {

class CharacterLibrary;

struct EditTextDefinition {
  SwfRect bounds;
  bool word_wrap = false, multiline = false, password = false, read_only = false;
  bool auto_size = false, no_select = false, border = false, was_static = false;
  bool html = false, use_outlines = false;
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

class TextField {
 public:
  explicit TextField(std::shared_ptr<const EditTextDefinition> definition);

  const EditTextDefinition& definition() const { return *definition_; }
  // The text as set, plain or HTML as the field reads it.
  const std::string& text() const { return text_; }
  // Plain text; for an HTML field, HTML text.
  void SetText(std::string text);
  void SetHtml(bool html);

  // Bounds after auto-size, twips in the field's space.
  const SwfRect& bounds() const { return bounds_; }
  const TextLayout& layout() const { return layout_; }
  void Draw(Canvas& canvas, const RenderState& state) const;

 private:
  void LayOut();

  std::shared_ptr<const EditTextDefinition> definition_;
  std::string text_;
  bool html_ = false;
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
