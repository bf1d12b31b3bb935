// TextField.StyleSheet: named styles set from script or parsed from CSS text. A field keeps the
// sheet it is given; the styles are kept here, copied in and out as Flash copies them.
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "player/avm1/builtins/text_format.h"
#include "player/avm1/display/script_host.h"

namespace flashsaver {
namespace {

using avm1::CallArgs;
using avm1::Object;
using avm1::Value;
using avm1::Vm;

class StyleSheetObject final : public Object {
 public:
  StyleSheetObject() : Object(avm1::ObjectKind::kOther) {}
  std::vector<std::pair<std::string, Object*>> styles;  // in the order they were set
  void Trace(avm1::Tracer& tracer) override {
    Object::Trace(tracer);
    for (auto& [name, style] : styles) tracer.Mark(style);
  }
};

StyleSheetObject* SheetOf(Object* o) {
  return o && o->kind() == avm1::ObjectKind::kOther ? dynamic_cast<StyleSheetObject*>(o) : nullptr;
}

// A plain object with the enumerable properties of from.
Object* CopyOf(Vm& vm, Object* from) {
  Object* copy = vm.NewObject();
  std::vector<std::pair<std::string, Value>> values;
  from->ForEachOwn([&](avm1::Property& p) {
    if (!(p.flags & avm1::prop_flag::kDontEnum) && !p.virtual_property) {
      values.emplace_back(p.name, p.value);
    }
  });
  for (auto& [name, value] : values) copy->SetOwn(name, value, true);
  return copy;
}

void SetStyle(Vm& vm, StyleSheetObject& sheet, const std::string& name, const Value& style) {
  std::erase_if(sheet.styles, [&](const auto& s) { return s.first == name; });
  if (Object* o = style.AsObject()) sheet.styles.emplace_back(name, CopyOf(vm, o));
}

Value Construct(Vm& vm, const CallArgs& c) {
  auto* sheet = vm.New<StyleSheetObject>();
  Object* proto = vm.GetMember(c.callee, "prototype").AsObject();
  sheet->Define("__proto__", proto ? Value(proto) : Value(vm.object_proto),
                avm1::prop_flag::kDontEnum);
  return static_cast<Object*>(sheet);
}

Value SetStyleMethod(Vm& vm, const CallArgs& c) {
  if (StyleSheetObject* sheet = SheetOf(c.this_obj)) {
    SetStyle(vm, *sheet, vm.ToString(c.Arg(0)), c.Arg(1));
  }
  return Value();
}

Value GetStyle(Vm& vm, const CallArgs& c) {
  StyleSheetObject* sheet = SheetOf(c.this_obj);
  if (!sheet) return Value();
  const std::string name = vm.ToString(c.Arg(0));
  for (auto& [n, style] : sheet->styles) {
    if (n == name) return Value(CopyOf(vm, style));
  }
  return Value::Null();
}

Value GetStyleNames(Vm& vm, const CallArgs& c) {
  StyleSheetObject* sheet = SheetOf(c.this_obj);
  if (!sheet) return Value();
  std::vector<Value> names;
  for (auto& [name, style] : sheet->styles) names.emplace_back(name);
  return Value(vm.NewArray(names));
}

Value Clear(Vm&, const CallArgs& c) {
  if (StyleSheetObject* sheet = SheetOf(c.this_obj)) sheet->styles.clear();
  return Value();
}

std::string Trimmed(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return std::string(s);
}

// "font-size" is the style's "fontSize".
std::string CamelCase(std::string_view property) {
  std::string out;
  bool upper = false;
  for (char ch : property) {
    if (ch == '-') {
      upper = true;
      continue;
    }
    out.push_back(upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(ch))) : ch);
    upper = false;
  }
  return out;
}

// "a, b { color: #FF0000; font-size: 12px }" and more such rules; false when a rule is left
// open, and then nothing is kept.
Value ParseCss(Vm& vm, const CallArgs& c) {
  StyleSheetObject* sheet = SheetOf(c.this_obj);
  if (!sheet) return Value();
  const std::string css = vm.ToString(c.Arg(0));
  std::vector<std::pair<std::vector<std::string>, std::vector<std::pair<std::string, Value>>>>
      rules;
  size_t at = 0;
  while (at < css.size()) {
    const size_t open = css.find('{', at);
    if (open == std::string::npos) {
      if (!Trimmed(std::string_view(css).substr(at)).empty()) return false;
      break;
    }
    const size_t close = css.find('}', open);
    if (close == std::string::npos) return false;
    std::vector<std::string> selectors;
    std::string_view list = std::string_view(css).substr(at, open - at);
    while (!list.empty()) {
      const size_t comma = list.find(',');
      const std::string name = Trimmed(list.substr(0, comma));
      if (!name.empty()) selectors.push_back(name);
      if (comma == std::string_view::npos) break;
      list.remove_prefix(comma + 1);
    }
    std::vector<std::pair<std::string, Value>> declarations;
    std::string_view body = std::string_view(css).substr(open + 1, close - open - 1);
    while (!body.empty()) {
      const size_t semicolon = body.find(';');
      const std::string_view declaration = body.substr(0, semicolon);
      const size_t colon = declaration.find(':');
      if (colon != std::string_view::npos) {
        declarations.emplace_back(CamelCase(Trimmed(declaration.substr(0, colon))),
                                  Value(Trimmed(declaration.substr(colon + 1))));
      }
      if (semicolon == std::string_view::npos) break;
      body.remove_prefix(semicolon + 1);
    }
    rules.emplace_back(std::move(selectors), std::move(declarations));
    at = close + 1;
  }
  for (auto& [selectors, declarations] : rules) {
    Object* style = vm.NewObject();
    for (auto& [name, value] : declarations) style->SetOwn(name, value, true);
    for (const std::string& selector : selectors) SetStyle(vm, *sheet, selector, Value(style));
  }
  return true;
}

std::optional<double> Pixels(std::string_view s) {
  const std::string text(s);
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::string Lower(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

// A style object's properties as the field applies them: the names parseCSS gives, the values
// as CSS writes them ("#FF0000", "12px", "bold"); others are ignored.
TextStyle StyleOf(Vm& vm, Object* style) {
  TextStyle out;
  auto text = [&](const char* name) -> std::optional<std::string> {
    const avm1::Property* p = style->FindOwn(name, true);
    // Only plain values count: an object's toString would run script while the sheet is read.
    if (!p || p->value.IsNullish() || p->value.IsObject()) return std::nullopt;
    return vm.ToString(p->value);
  };
  if (auto v = text("color"); v && v->size() > 1 && (*v)[0] == '#') {
    char* end = nullptr;
    const unsigned long rgb = std::strtoul(v->c_str() + 1, &end, 16);
    if (*end == '\0') {
      out.colour = Rgba{static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                        static_cast<uint8_t>(rgb), 255};
    }
  }
  if (auto v = text("fontFamily")) {
    // The first family named; CSS's generic names stand for the player's device fonts.
    std::string face = Trimmed(std::string_view(*v).substr(0, v->find(',')));
    const std::string generic = Lower(face);
    if (generic == "sans-serif") face = "_sans";
    if (generic == "serif") face = "_serif";
    if (generic == "mono" || generic == "monospace") face = "_typewriter";
    out.face = face;
  }
  if (auto v = text("fontSize")) {
    if (auto px = Pixels(*v); px && *px > 0) out.size = *px * 20;
  }
  if (auto v = text("fontWeight")) out.bold = Lower(*v) == "bold";
  if (auto v = text("fontStyle")) out.italic = Lower(*v) == "italic";
  if (auto v = text("textDecoration")) out.underline = Lower(*v) == "underline";
  if (auto v = text("kerning")) out.kerning = Lower(*v) == "true";
  if (auto v = text("letterSpacing")) out.letter_spacing = Pixels(*v);
  if (auto v = text("textAlign")) {
    const std::string a = Lower(*v);
    if (a == "left") out.align = TextAlign::kLeft;
    if (a == "right") out.align = TextAlign::kRight;
    if (a == "center") out.align = TextAlign::kCenter;
    if (a == "justify") out.align = TextAlign::kJustify;
  }
  auto twips = [&](const char* name, std::optional<double>& field) {
    if (auto v = text(name)) {
      if (auto px = Pixels(*v)) field = *px * 20;
    }
  };
  twips("marginLeft", out.left_margin);
  twips("marginRight", out.right_margin);
  twips("textIndent", out.indent);
  twips("leading", out.leading);
  if (auto v = text("display")) {
    const std::string d = Lower(*v);
    if (d == "block") out.display = TextStyle::Display::kBlock;
    if (d == "inline") out.display = TextStyle::Display::kInline;
    if (d == "none") out.display = TextStyle::Display::kNone;
  }
  return out;
}

// transform(style): the TextFormat a style object stands for, null for anything but an object.
// Sizes and margins come out as whole pixels (margins never below zero), fontFamily as the whole
// list with CSS's generic names turned into the player's device fonts.
Value Transform(Vm& vm, const CallArgs& c) {
  Object* style = c.Arg(0).AsObject();
  if (!style) return Value::Null();
  const TextStyle s = StyleOf(vm, style);
  avm1::TextFormatValues f;
  if (const avm1::Property* p = style->FindOwn("fontFamily", true);
      p && !p->value.IsNullish() && !p->value.IsObject()) {
    const std::string list = vm.ToString(p->value);
    std::string font;
    for (size_t start = 0; start <= list.size();) {
      size_t comma = list.find(',', start);
      if (comma == std::string::npos) comma = list.size();
      std::string face = Trimmed(std::string_view(list).substr(start, comma - start));
      const std::string generic = Lower(face);
      if (generic == "sans-serif") face = "_sans";
      if (generic == "serif") face = "_serif";
      if (generic == "mono" || generic == "monospace") face = "_typewriter";
      if (start) font += ',';
      font += face;
      start = comma + 1;
    }
    f.font = font;
  }
  auto pixels = [](double twips) { return static_cast<int32_t>(std::trunc(twips / 20)); };
  if (s.size) f.size = pixels(*s.size);
  if (s.colour) f.color = (s.colour->r << 16) | (s.colour->g << 8) | s.colour->b;
  f.bold = s.bold;
  f.italic = s.italic;
  f.underline = s.underline;
  f.kerning = s.kerning;
  if (s.letter_spacing) f.letter_spacing = std::trunc(*s.letter_spacing);
  if (s.align) {
    static constexpr const char* kNames[] = {"left", "right", "center", "justify"};
    const auto index = static_cast<size_t>(*s.align);
    if (index < std::size(kNames)) f.align = kNames[index];
  }
  if (s.left_margin) f.left_margin = std::max(pixels(*s.left_margin), 0);
  if (s.right_margin) f.right_margin = std::max(pixels(*s.right_margin), 0);
  if (s.indent) f.indent = pixels(*s.indent);
  if (s.leading) f.leading = pixels(*s.leading);
  if (s.display == TextStyle::Display::kInline) f.display = "inline";
  if (s.display == TextStyle::Display::kNone) f.display = "none";
  return avm1::NewTextFormat(vm, f);
}

}  // namespace

std::shared_ptr<const StyleTable> StylesOf(Vm& vm, const Value& sheet) {
  StyleSheetObject* s = SheetOf(sheet.AsObject());
  if (!s) return nullptr;
  auto table = std::make_shared<StyleTable>();
  for (const auto& [name, style] : s->styles) table->styles.emplace_back(name, StyleOf(vm, style));
  return table;
}

void InstallStyleSheetClass(Vm& vm, Object* text_field_class) {
  Object* proto = vm.NewObject();
  avm1::FunctionObject* ctor = vm.NewNative(Construct, Construct);
  ctor->Define("prototype", Value(proto), avm1::prop_flag::kDontEnum);
  proto->Define("constructor", Value(ctor), avm1::prop_flag::kDontEnum);
  vm.DefineMethod(proto, "setStyle", SetStyleMethod);
  vm.DefineMethod(proto, "getStyle", GetStyle);
  vm.DefineMethod(proto, "getStyleNames", GetStyleNames);
  vm.DefineMethod(proto, "clear", Clear);
  vm.DefineMethod(proto, "parseCSS", ParseCss);
  vm.DefineMethod(proto, "transform", Transform);
  // A class of SWF 7: older movies do not see it.
  text_field_class->Define("StyleSheet", Value(static_cast<Object*>(ctor)),
                           avm1::prop_flag::kDontEnum | avm1::prop_flag::kVersion7);
}

}  // namespace flashsaver
