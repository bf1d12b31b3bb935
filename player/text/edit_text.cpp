#include "player/text/edit_text.h"

#include <algorithm>
#include <cmath>

#include "player/display/character_library.h"
#include "player/swf/byte_reader.h"
#include "player/text/record_reading.h"
#include "player/text/static_text.h"

namespace flashsaver {
namespace {

Path RectPath(double x0, double y0, double x1, double y1) {
  Path p;
  p.MoveTo({x0, y0});
  p.LineTo({x1, y0});
  p.LineTo({x1, y1});
  p.LineTo({x0, y1});
  p.LineTo({x0, y0});
  return p;
}

Path RectPath(const SwfRect& r) {
  return RectPath(r.x_min.value, r.y_min.value, r.x_max.value, r.y_max.value);
}

}  // namespace

TextField::TextField(std::shared_ptr<const EditTextDefinition> definition)
    : settings_(*definition) {
  const EditTextDefinition& d = settings_;
  new_format.face = d.fonts.embedded ? d.fonts.embedded->name : d.font_class;
  if (new_format.face.empty()) new_format.face = "Times New Roman";  // the player's default
  if (d.fonts.embedded) {
    new_format.bold = d.fonts.embedded->bold;
    new_format.italic = d.fonts.embedded->italic;
  }
  new_format.size = d.height;
  new_format.colour = d.colour;
  new_paragraph.align = d.align;
  new_paragraph.left_margin = d.left_margin;
  new_paragraph.right_margin = d.right_margin;
  new_paragraph.indent = d.indent;
  new_paragraph.leading = d.leading;
  if (d.html) {
    SetHtmlText(d.initial_text);
  } else {
    SetText(d.initial_text);
  }
}

std::string TextField::text() const {
  std::string out;
  for (char32_t c : content_.chars) AppendUtf8(out, c == U'\n' ? U'\r' : c);
  return out;
}

std::string TextField::HtmlText() const {
  if (styles_) {
    return styled_source_ ? *styled_source_ : WriteHtml(content_, new_format, new_paragraph);
  }
  // Turning html off later leaves HTML contents written back as HTML (clone_sprite_edittext).
  if (!settings_.html && !html_content_) return text();
  return WriteHtml(content_, new_format, new_paragraph);
}

void TextField::SetText(std::string_view text) {
  if (styles_) return ParseStyled(text);
  source_ = std::string(text);
  source_html_ = false;
  html_content_ = false;
  content_ = PlainText(text, new_format, new_paragraph);
  LayOut();
}

void TextField::SetHtmlText(std::string_view html) {
  if (styles_) return ParseStyled(html);
  if (!settings_.html) return SetText(html);
  source_ = std::string(html);
  source_html_ = true;
  html_content_ = true;
  // Markup says itself what is bold or italic: the font's own style does not carry over.
  TextFormat base = new_format;
  base.bold = base.italic = base.underline = false;
  content_ = ParseHtml(html, base, new_paragraph, settings_.condense_white, settings_.multiline,
                       nullptr, settings_.html_version);
  LayOut();
}

void TextField::SetStyles(std::shared_ptr<const StyleTable> styles) {
  styles_ = std::move(styles);
  if (!styles_) {
    styled_source_.reset();
  } else if (styled_source_) {
    ParseStyled(std::string(*styled_source_));
  }
}

void TextField::ParseStyled(std::string_view html) {
  // Never the same twice for a bound variable: the styles may have changed under it.
  source_.reset();
  styled_source_ = std::string(html);
  html_content_ = false;  // once the styles go, the field reads as it did before them
  TextFormat base = new_format;
  base.bold = base.italic = base.underline = false;
  content_ = ParseHtml(html, base, new_paragraph, settings_.condense_white, settings_.multiline,
                       styles_.get(), settings_.html_version);
  LayOut();
}

void TextField::ReplaceText(size_t begin, size_t end, std::string_view text) {
  styled_source_.reset();
  StyledText& c = content_;
  end = std::min(end, c.chars.size());
  begin = std::min(begin, end);
  const StyledText added = PlainText(text, new_format, new_paragraph);
  StyledText out;
  out.paragraphs.push_back(c.paragraphs.empty() ? new_paragraph : c.paragraphs.front());
  out.formats.push_back(c.formats.empty() ? new_format : c.formats.front());
  size_t paragraph = 0;
  auto copy = [&](const StyledText& from, size_t i, size_t& para_index) {
    if (from.chars[i] == U'\n') {
      ++para_index;
      const ParagraphFormat& next =
          para_index < from.paragraphs.size() ? from.paragraphs[para_index] : new_paragraph;
      out.BreakParagraph(from.FormatAt(i), next);
    } else {
      out.Append(std::u32string_view(&from.chars[i], 1), from.FormatAt(i));
    }
  };
  for (size_t i = 0; i < begin; ++i) copy(c, i, paragraph);
  size_t added_paragraph = 0;
  for (size_t i = 0; i < added.chars.size(); ++i) copy(added, i, added_paragraph);
  // Skipped paragraph breaks still count, so the rest keeps its own paragraph formats.
  for (size_t i = begin; i < end; ++i) paragraph += c.chars[i] == U'\n';
  for (size_t i = end; i < c.chars.size(); ++i) copy(c, i, paragraph);
  content_ = std::move(out);
  source_.reset();
  LayOut();
}

void TextField::LayOut() {
  selection_end = std::min(selection_end, content_.chars.size());
  selection_begin = std::min(selection_begin, selection_end);
  const EditTextDefinition& d = settings_;
  bounds_ = d.bounds;
  LayoutBox box{static_cast<double>(bounds_.x_min.value), static_cast<double>(bounds_.y_min.value),
                static_cast<double>(bounds_.Width().value), d.word_wrap, d.password};
  layout_ = LayOutText(content_, d.fonts, box);
  if (d.auto_size == AutoSize::kNone) return;

  // An auto-sized field grows or shrinks to its text, held at the side its mode names.
  bounds_.y_max = Twips{bounds_.y_min.value +
                        static_cast<int32_t>(std::ceil(layout_.text_height + 2 * kTextGutter))};
  if (!d.word_wrap) {
    const auto width = static_cast<int32_t>(std::ceil(layout_.text_width + 2 * kTextGutter));
    if (d.auto_size == AutoSize::kRight) {
      bounds_.x_min = Twips{bounds_.x_max.value - width};
    } else if (d.auto_size == AutoSize::kCenter) {
      bounds_.x_min = Twips{(bounds_.x_min.value + bounds_.x_max.value - width) / 2};
      bounds_.x_max = Twips{bounds_.x_min.value + width};
    } else {
      bounds_.x_max = Twips{bounds_.x_min.value + width};
    }
    box.left = bounds_.x_min.value;
    box.width = width;
    layout_ = LayOutText(content_, d.fonts, box);
  }
}

void TextField::Draw(Canvas& canvas, const RenderState& state) const {
  const EditTextDefinition& d = settings_;
  if (d.border || d.background) {
    // The background inside the bounds and a one-pixel line whatever the field's
    // scale, drawn as Flash draws it: the line's pixels start at each edge and go right and
    // down, so the top and left lines reach one pixel past the right and bottom edges and the
    // bottom-right corner pixel stays empty.
    const Matrix& m = state.matrix;
    const double pixels_per_twip = std::sqrt(std::abs(m.a * m.d - m.b * m.c));
    const double px = pixels_per_twip > 0 ? 1 / pixels_per_twip : Twips::kPerPixel;
    double x0 = bounds_.x_min.value, x1 = bounds_.x_max.value;
    double y0 = bounds_.y_min.value, y1 = bounds_.y_max.value;
    // Unrotated fields sit on whole pixels, as the player snaps their box.
    if (m.b == 0 && m.c == 0 && m.a != 0 && m.d != 0) {
      auto snap = [](double v, double scale, double offset) {
        return (std::floor(v * scale + offset) - offset) / scale;
      };
      // The corner goes down to a pixel, the size to the nearest whole pixel.
      const double w = std::round((x1 - x0) * m.a) / m.a, h = std::round((y1 - y0) * m.d) / m.d;
      x0 = snap(x0, m.a, m.tx);
      y0 = snap(y0, m.d, m.ty);
      x1 = x0 + w;
      y1 = y0 + h;
    }
    if (d.background) {
      canvas.FillPath(RectPath(x0, y0, x1, y1), FillRule::kEvenOdd, d.background_colour, state);
    }
    Path line = RectPath(x0, y0, x1 + px, y0 + px);             // top
    const Path left = RectPath(x0, y0 + px, x0 + px, y1 + px);  // left
    const Path right = RectPath(x1, y0 + px, x1 + px, y1);      // right
    const Path bottom = RectPath(x0 + px, y1, x1, y1 + px);     // bottom
    for (const Path* part : {&left, &right, &bottom}) {
      line.commands.insert(line.commands.end(), part->commands.begin(), part->commands.end());
    }
    if (d.border) canvas.FillPath(line, FillRule::kNonZero, d.border_colour, state);
    // A field drawn with embedded fonts has its border's open corner partly covered, as the
    // player draws the frame of such fields as one outline (edittext_stylesheet; a field of
    // device text leaves it empty, edittext_border_basic).
    if (d.border && d.use_outlines) {
      Rgba corner = d.border_colour;
      corner.a = static_cast<uint8_t>(corner.a * 5 / 8);
      canvas.FillPath(RectPath(x1, y1, x1 + px, y1 + px), FillRule::kNonZero, corner, state);
    }
  }
  if (layout_.glyphs.empty() && layout_.underlines.empty()) return;

  // Text that leaves the field is cut at its bounds.
  bool overflows =
      layout_.lines.empty()
          ? false
          : layout_.lines.back().baseline + layout_.lines.back().descent > bounds_.y_max.value;
  for (const LaidOutLine& line : layout_.lines) {
    overflows = overflows || line.x < bounds_.x_min.value ||
                line.x + line.width > bounds_.x_max.value ||
                line.baseline - line.ascent < bounds_.y_min.value;
  }
  if (overflows) {
    canvas.BeginMask();
    canvas.FillPath(RectPath(bounds_), FillRule::kEvenOdd, {0, 0, 0, 255}, state);
    canvas.EndMask();
  }
  for (const LaidOutGlyph& g : layout_.glyphs) {
    DrawGlyph(canvas, *g.outline, g.scale, g.x, g.y, g.colour, state);
  }
  for (const SwfRect& u : layout_.underlines) {
    canvas.FillPath(RectPath(u), FillRule::kEvenOdd, d.colour, state);
  }
  if (overflows) canvas.PopMask();
}

// Format notes: CharacterID, Bounds RECT, two flag bytes (HasText, WordWrap, Multiline,
// Password, ReadOnly, HasTextColor, HasMaxLength, HasFont; HasFontClass, AutoSize, HasLayout,
// NoSelect, Border, WasStatic, HTML, UseOutlines), FontID UI16 (HasFont), FontClass STRING
// (HasFontClass), FontHeight UI16 (either), TextColor RGBA, MaxLength UI16, then with HasLayout
// Align UI8, LeftMargin UI16, RightMargin UI16, Indent UI16, Leading SI16; VariableName STRING
// and InitialText STRING (HasText).
std::shared_ptr<EditTextCharacter> ReadDefineEditText(const SwfTag& tag,
                                                      const CharacterLibrary& library) {
  ByteReader reader(tag.body);
  reader.Skip(2);
  auto d = std::make_shared<EditTextDefinition>();
  d->bounds = ReadRect(reader);
  const uint8_t f1 = reader.U8();
  const uint8_t f2 = reader.U8();
  const bool has_text = f1 & 0x80;
  d->word_wrap = f1 & 0x40;
  d->multiline = f1 & 0x20;
  d->password = f1 & 0x10;
  d->read_only = f1 & 0x08;
  const bool has_colour = f1 & 0x04;
  const bool has_max_length = f1 & 0x02;
  const bool has_font = f1 & 0x01;
  const bool has_font_class = f2 & 0x80;
  const bool auto_size = f2 & 0x40;
  const bool has_layout = f2 & 0x20;
  d->no_select = f2 & 0x10;
  d->border = d->background = f2 & 0x08;
  d->was_static = f2 & 0x04;
  d->html = f2 & 0x02;
  d->use_outlines = f2 & 0x01;
  const uint8_t version = library.swf_version();
  if (has_font) d->font_id = reader.U16();
  if (has_font_class) d->font_class = text::ReadString(reader, version);
  if (has_font || has_font_class) d->height = reader.U16();
  if (has_colour) {
    d->colour = ReadRgba(reader);
    // Fields draw their text opaque whatever alpha the tag gives (text colours are RGB in
    // Flash; the render set's gameswf_event-test1 shows a field with alpha 131 drawn black).
    d->colour.a = 255;
  }
  if (has_max_length) d->max_length = reader.U16();
  if (has_layout) {
    const uint8_t align = reader.U8();
    d->align = align <= 3 ? static_cast<TextAlign>(align) : TextAlign::kLeft;
    d->left_margin = reader.U16();
    d->right_margin = reader.U16();
    d->indent = reader.U16();
    d->leading = static_cast<int16_t>(reader.U16());
  }
  d->variable_name = text::ReadString(reader, version);
  if (has_text) d->initial_text = text::ReadString(reader, version);
  if (!reader.ok()) throw SwfError(SwfErrorKind::kBadTag, "DefineEditText truncated", tag.code);
  // The tag's auto-size keeps the side that the alignment names.
  if (auto_size) {
    d->auto_size = d->align == TextAlign::kRight    ? AutoSize::kRight
                   : d->align == TextAlign::kCenter ? AutoSize::kCenter
                                                    : AutoSize::kLeft;
  }

  d->fonts.embedded = std::dynamic_pointer_cast<const FontCharacter>(library.Shared(d->font_id));
  d->fonts.use_outlines = d->use_outlines;
  d->fonts.device = library.device_fonts;
  d->fonts.library = &library;
  return std::make_shared<EditTextCharacter>(std::move(d));
}

}  // namespace flashsaver
