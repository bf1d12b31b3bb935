// TextField: the script face of edit text on the display list, with its text, its settings
// and formats, fields made by createTextField, and fields bound to variables.
#include <algorithm>
#include <cmath>

#include "player/avm1/builtins/text_format.h"
#include "player/avm1/display/script_host.h"

namespace flashsaver {
namespace {

using avm1::CallArgs;
using avm1::ClipProperty;
using avm1::Object;
using avm1::TextFormatValues;
using avm1::Value;
using avm1::Vm;

// Only the movie player installs this class, always with its ScriptHost.
ScriptHost& HostOf(Vm& vm) { return static_cast<ScriptHost&>(vm.host()); }

TextFieldObject* ScriptFace(Object* o) {
  if (!o || o->kind() != avm1::ObjectKind::kOther) return nullptr;
  return dynamic_cast<TextFieldObject*>(o);
}

DisplayObject* FieldOf(Object* o) {
  TextFieldObject* t = ScriptFace(o);
  return t ? t->field : nullptr;
}

// Every change of contents or look goes through here, so the field redraws.
void Touched(DisplayObject& field) {
  field.text->Changed();
  ++field.text_revision;
}

void SetText(DisplayObject& field, std::string_view text, bool html) {
  const bool as_html = html && field.text->definition().html;
  if (field.text->MadeFrom(text, as_html)) return;
  if (as_html) {
    field.text->SetHtmlText(text);
  } else {
    field.text->SetText(text);
  }
  ++field.text_revision;
}

Rgba ColourOf(double n) {
  const auto v = static_cast<uint32_t>(avm1::ToInt32(n));
  return {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v),
          255};
}
double NumberOf(const Rgba& c) { return (c.r << 16) | (c.g << 8) | c.b; }

// --- Formats between the script's TextFormat and the field's styled text ---

const char* AlignName(TextAlign a) {
  switch (a) {
    case TextAlign::kRight:
      return "right";
    case TextAlign::kCenter:
      return "center";
    case TextAlign::kJustify:
      return "justify";
    case TextAlign::kLeft:
      break;
  }
  return "left";
}

TextFormatValues ValuesOf(const TextFormat& f, const ParagraphFormat& p) {
  TextFormatValues v;
  v.font = f.face;
  v.size = static_cast<int32_t>(std::lround(f.size / 20));
  v.color = NumberOf(f.colour);
  v.bold = f.bold;
  v.italic = f.italic;
  v.underline = f.underline;
  v.url = f.url;
  v.target = f.target;
  v.kerning = f.kerning;
  v.letter_spacing = f.letter_spacing;
  v.align = AlignName(p.align);
  v.left_margin = static_cast<int32_t>(std::lround(p.left_margin / 20));
  v.right_margin = static_cast<int32_t>(std::lround(p.right_margin / 20));
  v.indent = static_cast<int32_t>(std::lround(p.indent / 20));
  v.leading = static_cast<int32_t>(std::lround(p.leading / 20));
  v.block_indent = static_cast<int32_t>(std::lround(p.block_indent / 20));
  v.bullet = p.bullet;
  v.tab_stops = p.tab_stops;
  return v;
}

// Settings that differ between the two become unset: "mixed" to the script.
void Intersect(TextFormatValues& a, const TextFormatValues& b) {
  auto keep = [](auto& x, const auto& y) {
    if (x != y) x.reset();
  };
  keep(a.font, b.font);
  keep(a.url, b.url);
  keep(a.target, b.target);
  keep(a.align, b.align);
  keep(a.size, b.size);
  keep(a.indent, b.indent);
  keep(a.leading, b.leading);
  keep(a.block_indent, b.block_indent);
  keep(a.left_margin, b.left_margin);
  keep(a.right_margin, b.right_margin);
  keep(a.color, b.color);
  keep(a.letter_spacing, b.letter_spacing);
  keep(a.bold, b.bold);
  keep(a.italic, b.italic);
  keep(a.underline, b.underline);
  keep(a.bullet, b.bullet);
  keep(a.kerning, b.kerning);
  keep(a.tab_stops, b.tab_stops);
}

void ApplyCharacter(const TextFormatValues& v, TextFormat& f) {
  if (v.font) f.face = *v.font;
  if (v.size) f.size = std::max(0, *v.size) * 20.0;
  if (v.color) f.colour = ColourOf(*v.color);
  if (v.bold) f.bold = *v.bold;
  if (v.italic) f.italic = *v.italic;
  if (v.underline) f.underline = *v.underline;
  if (v.url) f.url = *v.url;
  if (v.target) f.target = *v.target;
  if (v.kerning) f.kerning = *v.kerning;
  if (v.letter_spacing) f.letter_spacing = *v.letter_spacing;
}

void ApplyParagraph(const TextFormatValues& v, ParagraphFormat& p) {
  if (v.align) {
    p.align = *v.align == "right"     ? TextAlign::kRight
              : *v.align == "center"  ? TextAlign::kCenter
              : *v.align == "justify" ? TextAlign::kJustify
                                      : TextAlign::kLeft;
  }
  if (v.left_margin) p.left_margin = *v.left_margin * 20.0;
  if (v.right_margin) p.right_margin = *v.right_margin * 20.0;
  if (v.indent) p.indent = *v.indent * 20.0;
  if (v.leading) p.leading = *v.leading * 20.0;
  if (v.block_indent) p.block_indent = *v.block_indent * 20.0;
  if (v.bullet) p.bullet = *v.bullet;
  if (v.tab_stops) p.tab_stops = *v.tab_stops;
}

size_t ParagraphAt(const StyledText& t, size_t i) {
  return static_cast<size_t>(
      std::count(t.chars.begin(), t.chars.begin() + static_cast<ptrdiff_t>(i), U'\n'));
}

// (), (index) or (begin, end) as a range of characters, clamped to the text.
std::pair<size_t, size_t> RangeOf(Vm& vm, const CallArgs& c, size_t args, size_t length) {
  auto at = [&](size_t i) {
    const double n = vm.ToNumber(c.Arg(i));
    return std::isnan(n) || n < 0 ? size_t{0} : static_cast<size_t>(std::min<double>(n, length));
  };
  if (args == 0) return {0, length};
  if (args == 1) {
    const size_t b = at(0);
    return {b, std::min(b + 1, length)};
  }
  const size_t b = at(0), e = at(1);
  return {std::min(b, e), e};
}

Value GetTextFormat(Vm& vm, const CallArgs& c) {
  DisplayObject* f = FieldOf(c.this_obj);
  if (!f) return Value();
  TextField& field = *f->text;
  const StyledText& t = field.content();
  const auto [begin, end] = RangeOf(vm, c, std::min<size_t>(c.args.size(), 2), t.chars.size());
  // An empty range has no characters to report: nothing is set.
  if (begin >= end) return avm1::NewTextFormat(vm, TextFormatValues{});
  size_t paragraph = ParagraphAt(t, begin);
  auto paragraph_of = [&](size_t p) -> const ParagraphFormat& {
    return p < t.paragraphs.size() ? t.paragraphs[p] : field.new_paragraph;
  };
  TextFormatValues values = ValuesOf(t.FormatAt(begin), paragraph_of(paragraph));
  for (size_t i = begin + 1; i < end; ++i) {
    if (t.chars[i - 1] == U'\n') ++paragraph;
    Intersect(values, ValuesOf(t.FormatAt(i), paragraph_of(paragraph)));
  }
  return avm1::NewTextFormat(vm, values);
}

Value SetTextFormat(Vm& vm, const CallArgs& c) {
  DisplayObject* f = FieldOf(c.this_obj);
  if (!f || c.args.empty()) return Value();
  const TextFormatValues* values = avm1::AsTextFormat(c.args.back());
  if (!values) return Value();
  TextField& field = *f->text;
  StyledText& t = field.mutable_content();
  const auto [begin, end] = RangeOf(vm, c, std::min<size_t>(c.args.size() - 1, 2), t.chars.size());
  for (size_t i = begin; i < end; ++i) {
    TextFormat format = t.FormatAt(i);
    ApplyCharacter(*values, format);
    t.format_of[i] = t.Intern(format);
  }
  if (begin < end) {
    const size_t last = std::min(ParagraphAt(t, end - 1), t.paragraphs.size() - 1);
    for (size_t p = ParagraphAt(t, begin); p <= last && p < t.paragraphs.size(); ++p) {
      ApplyParagraph(*values, t.paragraphs[p]);
    }
  }
  t.Compact();
  Touched(*f);
  return Value();
}

Value GetNewTextFormat(Vm& vm, const CallArgs& c) {
  DisplayObject* f = FieldOf(c.this_obj);
  if (!f) return Value();
  return avm1::NewTextFormat(vm, ValuesOf(f->text->new_format, f->text->new_paragraph));
}

Value SetNewTextFormat(Vm&, const CallArgs& c) {
  DisplayObject* f = FieldOf(c.this_obj);
  const TextFormatValues* values = avm1::AsTextFormat(c.Arg(0));
  if (!f || !values) return Value();
  ApplyCharacter(*values, f->text->mutable_new_format());
  ApplyParagraph(*values, f->text->mutable_new_paragraph());
  return Value();
}

Value ReplaceText(Vm& vm, const CallArgs& c) {
  DisplayObject* f = FieldOf(c.this_obj);
  if (!f || c.args.size() < 3) return Value();
  const size_t length = f->text->content().chars.size();
  const auto [begin, end] = RangeOf(vm, c, 2, length);
  f->text->ReplaceText(begin, end, vm.ToString(c.Arg(2)));
  ++f->text_revision;
  return Value();
}

// The selection goes, the text comes in its place and the caret after it; a field never
// focused has its caret at the start (edittext_focus_selection).
Value ReplaceSel(Vm& vm, const CallArgs& c) {
  DisplayObject* f = FieldOf(c.this_obj);
  if (!f || c.args.empty()) return Value();
  TextField& field = *f->text;
  const std::string text = vm.ToString(c.Arg(0));
  const size_t begin = field.selection_begin;
  field.ReplaceText(begin, field.selection_end, text);
  field.selection_begin = field.selection_end =
      std::min(begin + DecodeUtf8(text).size(), field.content().chars.size());
  ++f->text_revision;
  return Value();
}

Value RemoveTextField(Vm&, const CallArgs& c) {
  DisplayObject* f = FieldOf(c.this_obj);
  // Only fields at script depths go, as with removeMovieClip.
  if (!f || !f->parent || f->depth < ScriptHost::kDepthOffset) return Value();
  f->parent->children.erase(f->depth);
  return Value();
}

Value GetDepth(Vm&, const CallArgs& c) {
  DisplayObject* f = FieldOf(c.this_obj);
  return f ? Value(f->depth - ScriptHost::kDepthOffset) : Value();
}

Value GetFontList(Vm& vm, const CallArgs&) {
  const Value names[] = {Value("_sans"), Value("_serif"), Value("_typewriter")};
  return vm.NewArray(names);
}

// --- Properties ---

enum class Prop {
  kText,
  kHtmlText,
  kHtml,
  kVariable,
  kLength,
  kTextWidth,
  kTextHeight,
  kScroll,
  kMaxScroll,
  kBottomScroll,
  kHScroll,
  kMaxHScroll,
  kSelectable,
  kMultiline,
  kPassword,
  kWordWrap,
  kBackground,
  kBorder,
  kEmbedFonts,
  kMaxChars,
  kType,
  kAutoSize,
  kTextColor,
  kBackgroundColor,
  kBorderColor,
  kCondenseWhite,
  kRestrict,
  kTabIndex,
  kStyleSheet,
  kMouseWheelEnabled,
  kFilters,
  kSharpness,
  kThickness,
  kAntiAliasType,
  kGridFitType,
};

const char* AutoSizeName(AutoSize a) {
  switch (a) {
    case AutoSize::kLeft:
      return "left";
    case AutoSize::kCenter:
      return "center";
    case AutoSize::kRight:
      return "right";
    case AutoSize::kNone:
      break;
  }
  return "none";
}

// Lines that fit in the field's height, at least one.
size_t VisibleLines(const TextField& field) {
  const TextLayout& l = field.layout();
  const double bottom = field.bounds().y_max.value - kTextGutter;
  size_t n = 0;
  for (const LaidOutLine& line : l.lines) {
    if (line.baseline + line.descent > bottom && n > 0) break;
    ++n;
  }
  return std::max<size_t>(n, 1);
}

Value Read(Vm& vm, TextFieldObject& face, DisplayObject& object, Prop p) {
  TextField& field = *object.text;
  const EditTextDefinition& d = field.definition();
  switch (p) {
    case Prop::kText:
      return field.text();
    case Prop::kHtmlText:
      return field.HtmlText();
    case Prop::kHtml:
      return d.html;
    case Prop::kVariable:
      return d.variable_name.empty() ? Value::Null() : Value(d.variable_name);
    case Prop::kLength:
      return static_cast<double>(field.content().chars.size());
    case Prop::kTextWidth:
      return std::floor(field.layout().text_width / 20);
    case Prop::kTextHeight:
      return std::floor(field.layout().text_height / 20);
    case Prop::kScroll:
    case Prop::kHScroll:
      return p == Prop::kScroll ? 1 : 0;
    case Prop::kMaxScroll: {
      const size_t lines = std::max<size_t>(field.layout().lines.size(), 1);
      return static_cast<double>(lines - std::min(lines, VisibleLines(field)) + 1);
    }
    case Prop::kBottomScroll:
      return static_cast<double>(
          std::min(std::max<size_t>(field.layout().lines.size(), 1), VisibleLines(field)));
    case Prop::kMaxHScroll:
      return 0;
    case Prop::kSelectable:
      return !d.no_select;
    case Prop::kMultiline:
      return d.multiline;
    case Prop::kPassword:
      return d.password;
    case Prop::kWordWrap:
      return d.word_wrap;
    case Prop::kBackground:
      return d.background;
    case Prop::kBorder:
      return d.border;
    case Prop::kEmbedFonts:
      return d.use_outlines;
    case Prop::kMaxChars:
      return d.max_length ? Value(d.max_length) : Value::Null();
    case Prop::kType:
      return d.read_only ? "dynamic" : "input";
    case Prop::kAutoSize:
      return AutoSizeName(d.auto_size);
    // The field's own colour, for text to come: HTML colours of the text do not change it.
    case Prop::kTextColor:
      return NumberOf(field.new_format.colour);
    case Prop::kBackgroundColor:
      return NumberOf(d.background_colour);
    case Prop::kBorderColor:
      return NumberOf(d.border_colour);
    case Prop::kCondenseWhite:
      return d.condense_white;
    case Prop::kRestrict:
      return face.restrict;
    case Prop::kTabIndex:
      return face.tab_index;
    case Prop::kStyleSheet:
      return face.style_sheet;
    case Prop::kMouseWheelEnabled:
      return face.mouse_wheel;
    case Prop::kFilters:
      return face.filters.IsObject() ? face.filters : Value(vm.NewArray());
    case Prop::kSharpness:
      return face.sharpness;
    case Prop::kThickness:
      return face.thickness;
    case Prop::kAntiAliasType:
      return face.anti_alias;
    case Prop::kGridFitType:
      return face.grid_fit;
  }
  return Value();
}

void Write(Vm& vm, TextFieldObject& face, DisplayObject& object, Prop p, const Value& v) {
  TextField& field = *object.text;
  EditTextDefinition& d = field.settings();
  auto flag = [&](bool& setting) {
    setting = vm.ToBool(v);
    Touched(object);
  };
  switch (p) {
    case Prop::kText:
    case Prop::kHtmlText: {
      const std::string text = vm.ToString(v);
      // The value's toString may have run script: the field may be gone.
      DisplayObject* still = face.field;
      if (!still || !still->text) return;
      if (p == Prop::kHtmlText) {
        still->text->settings().html_version = static_cast<uint8_t>(vm.swf_version());
      }
      if (!face.style_sheet.IsObject()) return SetText(*still, text, p == Prop::kHtmlText);
      // A styled field reads either as HTML, with the sheet's styles as they are now.
      std::shared_ptr<const StyleTable> styles = StylesOf(vm, face.style_sheet);
      if (!styles) return SetText(*still, text, p == Prop::kHtmlText);
      still->text->SetStyles(nullptr);  // no reading of the old HTML in between
      still->text->SetStyles(std::move(styles));
      still->text->SetHtmlText(text);
      ++still->text_revision;
      return;
    }
    case Prop::kHtml: {
      // The contents keep their formats; only how they read and write changes.
      d.html = vm.ToBool(v);
      return Touched(object);
    }
    case Prop::kVariable:
      d.variable_name = v.IsNullish() ? std::string() : vm.ToString(v);
      return;
    case Prop::kScroll:
    case Prop::kHScroll:
    case Prop::kLength:
    case Prop::kTextWidth:
    case Prop::kTextHeight:
    case Prop::kMaxScroll:
    case Prop::kBottomScroll:
    case Prop::kMaxHScroll:
      return;  // read-only
    case Prop::kSelectable:
      d.no_select = !vm.ToBool(v);
      return;
    case Prop::kMultiline:
      return flag(d.multiline);
    case Prop::kPassword:
      return flag(d.password);
    case Prop::kWordWrap:
      return flag(d.word_wrap);
    case Prop::kBackground:
      return flag(d.background);
    case Prop::kBorder:
      return flag(d.border);
    case Prop::kEmbedFonts:
      flag(d.use_outlines);
      d.fonts.use_outlines = d.use_outlines;
      return Touched(object);
    case Prop::kMaxChars: {
      const double n = vm.ToNumber(v);
      d.max_length = std::isfinite(n) && n > 0 ? static_cast<uint16_t>(std::min(n, 65535.0)) : 0;
      return;
    }
    case Prop::kType: {
      const std::string s = vm.ToString(v);
      if (avm1::NamesEqual(s, "input", false)) d.read_only = false;
      if (avm1::NamesEqual(s, "dynamic", false)) d.read_only = true;
      return;
    }
    case Prop::kAutoSize: {
      AutoSize mode = AutoSize::kNone;
      if (v.IsBool()) {
        mode = v.AsBool() ? AutoSize::kLeft : AutoSize::kNone;
      } else {
        const std::string s = vm.ToString(v);
        if (avm1::NamesEqual(s, "left", false)) mode = AutoSize::kLeft;
        if (avm1::NamesEqual(s, "center", false)) mode = AutoSize::kCenter;
        if (avm1::NamesEqual(s, "right", false)) mode = AutoSize::kRight;
      }
      d.auto_size = mode;
      return Touched(object);
    }
    case Prop::kTextColor: {
      // The whole text and whatever comes next take the colour.
      const Rgba colour = ColourOf(vm.ToNumber(v));
      StyledText& t = field.mutable_content();
      for (TextFormat& f : t.formats) f.colour = colour;
      field.mutable_new_format().colour = colour;
      d.colour = colour;
      return Touched(object);
    }
    case Prop::kBackgroundColor:
      d.background_colour = ColourOf(vm.ToNumber(v));
      return Touched(object);
    case Prop::kBorderColor:
      d.border_colour = ColourOf(vm.ToNumber(v));
      return Touched(object);
    case Prop::kCondenseWhite:
      d.condense_white = vm.ToBool(v);
      d.html_version = static_cast<uint8_t>(vm.swf_version());
      return;
    case Prop::kRestrict:
      face.restrict =
          v.IsNullish() || vm.ToString(v).empty() ? Value::Null() : Value(vm.ToString(v));
      return;
    case Prop::kTabIndex:
      // Kept as an unsigned 32-bit number (tab_ordering_properties).
      face.tab_index =
          v.IsNullish() ? Value() : Value(static_cast<double>(static_cast<uint32_t>(vm.ToInt(v))));
      return;
    case Prop::kStyleSheet: {
      // Any object but a clip is kept; anything else clears it (edittext_stylesheet).
      Object* o = v.AsObject();
      face.style_sheet = o && o->kind() != avm1::ObjectKind::kClip ? v : Value();
      // The HTML set under the old styles reads again under the new; without a sheet the
      // contents stay as they are.
      std::shared_ptr<const StyleTable> styles = StylesOf(vm, face.style_sheet);
      if (DisplayObject* still = face.field; still && still->text) {
        still->text->SetStyles(std::move(styles));
        Touched(*still);
      }
      return;
    }
    case Prop::kMouseWheelEnabled:
      face.mouse_wheel = vm.ToBool(v);
      return;
    case Prop::kFilters:
      face.filters = v.IsObject() ? v : Value();
      return;
    case Prop::kSharpness:
      face.sharpness = vm.ToNumber(v);  // kept as given, 500 too
      return;
    case Prop::kThickness:
      face.thickness = vm.ToNumber(v);  // kept as given, past the documented -200..200 too
      return;
    case Prop::kAntiAliasType: {
      const std::string s = vm.ToString(v);
      if (s == "normal" || s == "advanced") face.anti_alias = s;
      return;
    }
    case Prop::kGridFitType: {
      const std::string s = vm.ToString(v);
      if (s == "none" || s == "pixel" || s == "subpixel") face.grid_fit = s;
      return;
    }
  }
}

void SyncFromVariable(ScriptHost& host, Object* o);
void SyncToVariable(ScriptHost& host, Object* o);

// A field bound to a variable reads it when its text is asked for and writes it when the text
// is set, at once, not only when the frame ends.
template <Prop P>
Value Get(Vm& vm, const CallArgs& c) {
  if constexpr (P == Prop::kText || P == Prop::kHtmlText) SyncFromVariable(HostOf(vm), c.this_obj);
  TextFieldObject* face = ScriptFace(c.this_obj);
  if (!face || !face->field) return Value();
  return Read(vm, *face, *face->field, P);
}

template <Prop P>
Value Set(Vm& vm, const CallArgs& c) {
  TextFieldObject* face = ScriptFace(c.this_obj);
  if (face && face->field) Write(vm, *face, *face->field, P, c.Arg(0));
  if constexpr (P == Prop::kText || P == Prop::kHtmlText) SyncToVariable(HostOf(vm), c.this_obj);
  if constexpr (P == Prop::kVariable) SyncFromVariable(HostOf(vm), c.this_obj);
  return Value();
}

void Accessor(Vm& vm, Object* proto, const char* name, avm1::NativeFn get, avm1::NativeFn set,
              uint16_t flags) {
  avm1::Property& p = proto->SetOwn(name, Value(), true);
  p.virtual_property = true;
  p.getter = vm.NewNative(get);
  p.setter = set ? vm.NewNative(set) : nullptr;
  p.flags = flags;
}

template <Prop P>
void Field(Vm& vm, Object* proto, const char* name, uint16_t flags = 0) {
  Accessor(vm, proto, name, Get<P>, Set<P>, flags);
}

template <ClipProperty P>
Value GetProperty(Vm& vm, const CallArgs& c) {
  DisplayObject* f = FieldOf(c.this_obj);
  return f ? HostOf(vm).PropertyOf(f, nullptr, P) : Value();
}
template <ClipProperty P>
Value SetProperty(Vm& vm, const CallArgs& c) {
  if (DisplayObject* f = FieldOf(c.this_obj)) HostOf(vm).SetPropertyOf(f, nullptr, P, c.Arg(0));
  return Value();
}

template <ClipProperty P>
void Display(Vm& vm, Object* proto, const char* name) {
  Accessor(vm, proto, name, GetProperty<P>, SetProperty<P>, avm1::prop_flag::kDontEnum);
}

Value Constructor(Vm&, const CallArgs&) { return Value(); }

// createTextField(name, depth, x, y, width, height): an empty dynamic field in the player's
// default format (Times New Roman, 12, black).
Value CreateTextField(Vm& vm, const CallArgs& c) {
  Clip* clip = ScriptHost::ClipOf(c.this_obj);
  if (!clip || c.args.size() < 6) return Value();
  const double depth = vm.ToNumber(c.Arg(1));
  if (!std::isfinite(depth) || depth < -16384 || depth > 2130690044) return Value();
  ScriptHost& host = HostOf(vm);
  auto twips = [&](size_t i) {
    const double n = vm.ToNumber(c.Arg(i));
    return Twips{std::isfinite(n) ? static_cast<int32_t>(std::clamp(n, -1e6, 1e6) * 20) : 0};
  };
  auto d = std::make_shared<EditTextDefinition>();
  const Twips x = twips(2), y = twips(3), w = twips(4), h = twips(5);
  d->bounds = {Twips{0}, Twips{std::max(0, w.value)}, Twips{0}, Twips{std::max(0, h.value)}};
  d->font_class = "Times New Roman";
  d->read_only = true;
  d->colour = {0, 0, 0, 255};
  d->fonts.device = host.movie().library.device_fonts;
  d->fonts.library = &host.movie().library;
  DisplayObject* object = host.list().AddScriptedText(
      *clip, std::make_shared<EditTextCharacter>(std::move(d)),
      static_cast<int32_t>(depth) + ScriptHost::kDepthOffset, vm.ToString(c.Arg(0)));
  if (!object) return Value();
  object->matrix.tx = x.value;
  object->matrix.ty = y.value;
  // Movies of SWF 8 get the field back; older ones get nothing.
  return vm.swf_version() >= 8 ? Value(host.TextObjectFor(*object)) : Value();
}

// "a.b:var", "/a/b:var", "a.b.var" or "var": the clip path and the variable's name.
std::pair<std::string, std::string> SplitVariable(const std::string& path) {
  size_t cut = path.rfind(':');
  if (cut == std::string::npos) cut = path.rfind('.');
  if (cut == std::string::npos) return {"", path};
  return {path.substr(0, cut), path.substr(cut + 1)};
}

// The clip and name of the variable a field is bound to; no clip when it has none.
std::pair<Object*, std::string> BoundVariable(ScriptHost& host, DisplayObject* field) {
  if (!field || !field->text || !field->parent) return {nullptr, ""};
  const std::string& variable = field->text->definition().variable_name;
  if (variable.empty()) return {nullptr, ""};
  const auto [path, name] = SplitVariable(variable);
  if (name.empty()) return {nullptr, ""};
  return {host.vm().ResolveTarget(host.ObjectFor(*field->parent), path), name};
}

// The field takes the variable's value, or gives its text to a variable not set yet.
void SyncFromVariable(ScriptHost& host, Object* o) {
  const auto [target, name] = BoundVariable(host, FieldOf(o));
  if (!target) return;
  // Getters and toString run script: a throw or a runaway ends this field's update only.
  try {
    const Value v = host.vm().GetMember(target, name);
    DisplayObject* field = FieldOf(o);
    if (!field) return;
    if (v.IsUndefined()) {
      host.vm().SetMember(target, name, Value(field->text->text()));
      return;
    }
    std::string text = host.vm().ToString(v);
    if ((field = FieldOf(o))) SetText(*field, text, field->text->definition().html);
  } catch (const avm1::ScriptThrow&) {
  } catch (const avm1::ScriptAbort&) {
  }
}

void SyncToVariable(ScriptHost& host, Object* o) {
  DisplayObject* field = FieldOf(o);
  const auto [target, name] = BoundVariable(host, field);
  if (target) host.vm().SetMember(target, name, Value(field->text->text()));
}

}  // namespace

void InstallTextFieldClass(ScriptHost& host) {
  Vm& vm = host.vm();
  Object* proto = vm.NewObject();
  avm1::FunctionObject* ctor = vm.DefineClass("TextField", Constructor, nullptr, proto);
  vm.DefineMethod(ctor, "getFontList", GetFontList);
  InstallStyleSheetClass(vm, ctor);
  using avm1::prop_flag::kVersion7;
  using avm1::prop_flag::kVersion8;
  // Added last to first: for..in lists them in the player's order.
  Field<Prop::kGridFitType>(vm, proto, "gridFitType", kVersion8);
  Field<Prop::kAntiAliasType>(vm, proto, "antiAliasType", kVersion8);
  Field<Prop::kThickness>(vm, proto, "thickness", kVersion8);
  Field<Prop::kSharpness>(vm, proto, "sharpness", kVersion8);
  Field<Prop::kFilters>(vm, proto, "filters", kVersion8);
  Field<Prop::kScroll>(vm, proto, "scroll");
  Field<Prop::kMaxScroll>(vm, proto, "maxscroll");
  Field<Prop::kBorderColor>(vm, proto, "borderColor");
  Field<Prop::kBackgroundColor>(vm, proto, "backgroundColor");
  Field<Prop::kTextColor>(vm, proto, "textColor");
  Field<Prop::kTabIndex>(vm, proto, "tabIndex");
  Field<Prop::kAutoSize>(vm, proto, "autoSize");
  Field<Prop::kText>(vm, proto, "text");
  Field<Prop::kType>(vm, proto, "type");
  Field<Prop::kHtmlText>(vm, proto, "htmlText");
  Field<Prop::kVariable>(vm, proto, "variable");
  Field<Prop::kHScroll>(vm, proto, "hscroll");
  Field<Prop::kMaxHScroll>(vm, proto, "maxhscroll");
  Field<Prop::kMaxChars>(vm, proto, "maxChars");
  Field<Prop::kEmbedFonts>(vm, proto, "embedFonts");
  Field<Prop::kHtml>(vm, proto, "html");
  Field<Prop::kBorder>(vm, proto, "border");
  Field<Prop::kBackground>(vm, proto, "background");
  Field<Prop::kWordWrap>(vm, proto, "wordWrap");
  Field<Prop::kPassword>(vm, proto, "password");
  Field<Prop::kMultiline>(vm, proto, "multiline");
  Field<Prop::kSelectable>(vm, proto, "selectable");
  Field<Prop::kLength>(vm, proto, "length");
  Field<Prop::kBottomScroll>(vm, proto, "bottomScroll");
  Field<Prop::kTextWidth>(vm, proto, "textWidth");
  Field<Prop::kTextHeight>(vm, proto, "textHeight");
  Field<Prop::kRestrict>(vm, proto, "restrict");
  Field<Prop::kCondenseWhite>(vm, proto, "condenseWhite");
  Field<Prop::kMouseWheelEnabled>(vm, proto, "mouseWheelEnabled");
  Field<Prop::kStyleSheet>(vm, proto, "styleSheet");

  // Fields became scriptable objects in Flash 6: SWF 5 movies see none of their methods.
  constexpr uint8_t kMethodFlags = avm1::prop_flag::kDontEnum | avm1::prop_flag::kVersion6;
  vm.DefineMethod(proto, "replaceSel", ReplaceSel, kMethodFlags);
  vm.DefineMethod(proto, "getTextFormat", GetTextFormat, kMethodFlags);
  vm.DefineMethod(proto, "setTextFormat", SetTextFormat, kMethodFlags);
  vm.DefineMethod(proto, "removeTextField", RemoveTextField, kMethodFlags);
  vm.DefineMethod(proto, "getNewTextFormat", GetNewTextFormat, kMethodFlags);
  vm.DefineMethod(proto, "setNewTextFormat", SetNewTextFormat, kMethodFlags);
  vm.DefineMethod(proto, "getDepth", GetDepth, kMethodFlags);
  vm.DefineMethod(proto, "replaceText", ReplaceText, kMethodFlags);
  proto->FindOwn("replaceText", true)->flags |= kVersion7;

  Display<ClipProperty::kX>(vm, proto, "_x");
  Display<ClipProperty::kY>(vm, proto, "_y");
  Display<ClipProperty::kXScale>(vm, proto, "_xscale");
  Display<ClipProperty::kYScale>(vm, proto, "_yscale");
  Display<ClipProperty::kRotation>(vm, proto, "_rotation");
  Display<ClipProperty::kAlpha>(vm, proto, "_alpha");
  Display<ClipProperty::kVisible>(vm, proto, "_visible");
  Display<ClipProperty::kWidth>(vm, proto, "_width");
  Display<ClipProperty::kHeight>(vm, proto, "_height");
  Display<ClipProperty::kName>(vm, proto, "_name");
  Display<ClipProperty::kTarget>(vm, proto, "_target");

  Value clip_ctor = vm.GetMember(vm.global(), "MovieClip");
  if (Object* clip_proto = vm.GetMember(clip_ctor.AsObject(), "prototype").AsObject()) {
    vm.DefineMethod(clip_proto, "createTextField", CreateTextField);
  }
}

Object* ScriptHost::TextObjectFor(DisplayObject& field) {
  if (!field.text_script) {
    auto* o = vm_->New<TextFieldObject>();
    o->field = &field;
    Value proto =
        vm_->GetMember(vm_->GetMember(vm_->global(), "TextField").AsObject(), "prototype");
    o->Define("__proto__", proto.IsObject() ? proto : Value(vm_->object_proto),
              avm1::prop_flag::kDontEnum);
    // Each field carries _focusrect itself, not its class: SWF 5 reads the player's one setting
    // through it, later versions a null of the field's own.
    Accessor(*vm_, o, "_focusrect", GetProperty<ClipProperty::kFocusRect>,
             SetProperty<ClipProperty::kFocusRect>, avm1::prop_flag::kDontEnum);
    field.text_script = o;
  }
  return field.text_script;
}

void ScriptHost::CloneTextField(Object* obj, std::string_view name, int32_t depth) {
  DisplayObject* source = FieldOf(obj);
  const auto* character =
      source ? dynamic_cast<const EditTextCharacter*>(source->character) : nullptr;
  if (!character || !source->parent) return;
  // The copy starts from the definition, not the field's present state; a field made by
  // createTextField is defined with no size, its size was set after.
  auto definition = character->definition();
  if (source->own_character) {
    auto sized = std::make_shared<EditTextDefinition>(*definition);
    sized->bounds = {};
    // Its type is the one thing set later that the copy keeps (clone_sprite_edittext_dynamic).
    sized->read_only = source->text->definition().read_only;
    definition = std::move(sized);
  }
  DisplayObject* copy =
      list_.AddScriptedText(*source->parent, std::make_shared<EditTextCharacter>(definition),
                            depth + kDepthOffset, std::string(name));
  if (!copy) return;
  // Placement and colour carry over; visibility does not.
  copy->matrix = source->matrix;
  copy->color = source->color;
  copy->has_script_transform = source->has_script_transform;
  copy->script_xscale = source->script_xscale;
  copy->script_yscale = source->script_yscale;
  copy->script_rotation = source->script_rotation;
}

void ScriptHost::TextRemoved(DisplayObject& field) {
  if (auto* t = dynamic_cast<TextFieldObject*>(field.text_script)) t->field = nullptr;
  field.text_script = nullptr;
}

void ScriptHost::UpdateBoundFields() {
  // The fields are gathered first: reading a variable may run a getter that changes the list.
  std::vector<Object*> bound;
  std::vector<Clip*> stack{&list_.root()};
  while (!stack.empty()) {
    Clip* c = stack.back();
    stack.pop_back();
    for (auto& [depth, child] : c->children) {
      if (child->clip) stack.push_back(child->clip.get());
      if (child->text && !child->text->definition().variable_name.empty()) {
        bound.push_back(TextObjectFor(*child));
      }
    }
  }
  for (Object* o : bound) SyncFromVariable(*this, o);
}

}  // namespace flashsaver
