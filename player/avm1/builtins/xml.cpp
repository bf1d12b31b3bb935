// XML: a document node with the parser (parseXML), the declaration and doctype it keeps, status,
// idMap, and load/sendAndLoad of local files.

#include <algorithm>
#include <utility>
#include <vector>

#include "player/avm1/builtins/builtins.h"
#include "player/avm1/builtins/xml_node.h"
#include "player/avm1/text_util.h"

namespace flashsaver::avm1 {
namespace {

// The player's parse results, in XML.status.
enum XmlStatus {
  kOk = 0,
  kCdataUnterminated = -2,
  kDeclUnterminated = -3,
  kDoctypeUnterminated = -4,
  kCommentUnterminated = -5,
  kMalformedElement = -6,
  kAttributeUnterminated = -8,
  kMissingEndTag = -9,
  kEndTagWithoutStart = -10,
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The five named entities are decoded; anything else after '&' stays as written.
std::string Unescape(std::string_view s) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string out;
  for (size_t i = 0; i < s.size();) {
    bool done = false;
    if (s[i] == '&') {
      for (auto [name, ch] : kEntities) {
        if (s.substr(i, name.size()) == name) {
          out += ch;
          i += name.size();
          done = true;
          break;
        }
      }
    }
    // Character references (&#39; &#x27;); a malformed one stays as written.
    if (!done && s.substr(i, 2) == "&#") {
      size_t semi = s.find(';', i);
      bool hex = i + 2 < s.size() && (s[i + 2] == 'x' || s[i + 2] == 'X');
      size_t digits = i + (hex ? 3 : 2);
      uint32_t code = 0;
      bool ok = semi != std::string_view::npos && semi > digits && semi - digits <= 6;
      for (size_t k = digits; ok && k < semi; ++k) {
        char d = s[k];
        uint32_t v = d >= '0' && d <= '9'          ? d - '0'
                     : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
                     : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                   : 99;
        ok = v < (hex ? 16u : 10u);
        code = code * (hex ? 16 : 10) + v;
      }
      if (ok && code > 0 && code <= 0x10FFFF) {
        out += Utf8Encode(code);
        i = semi + 1;
        done = true;
      }
    }
    if (!done) out += s[i++];
  }
  return out;
}

class Parser {
 public:
  Parser(Vm& vm, XmlNode* doc, std::string_view src, bool ignore_white)
      : vm_(vm), doc_(doc), s_(src), ignore_white_(ignore_white) {}

  int Run() {
    XmlNode* open = doc_;
    int status = kOk;
    while (pos_ < s_.size()) {
      if (s_[pos_] != '<') {
        size_t end = s_.find('<', pos_);
        if (end == std::string_view::npos) end = s_.size();
        AddText(open, Unescape(s_.substr(pos_, end - pos_)));
        pos_ = end;
        continue;
      }
      std::string_view rest = s_.substr(pos_);
      if (rest.starts_with("<!--")) {
        size_t end = s_.find("-->", pos_ + 4);
        if (end == std::string_view::npos) return kCommentUnterminated;
        pos_ = end + 3;
      } else if (rest.starts_with("<![CDATA[")) {
        size_t end = s_.find("]]>", pos_ + 9);
        if (end == std::string_view::npos) return kCdataUnterminated;
        AddNode(open, 3, std::string(s_.substr(pos_ + 9, end - pos_ - 9)));
        pos_ = end + 3;
      } else if (rest.starts_with("<?")) {
        size_t end = s_.find("?>", pos_ + 2);
        if (end == std::string_view::npos) return kDeclUnterminated;
        xml_decl += s_.substr(pos_, end + 2 - pos_);
        has_decl = true;
        pos_ = end + 2;
      } else if (rest.starts_with("<!")) {
        size_t end = s_.find('>', pos_ + 2);
        if (end == std::string_view::npos) return kDoctypeUnterminated;
        doctype = std::string(s_.substr(pos_, end + 1 - pos_));
        has_doctype = true;
        pos_ = end + 1;
      } else if (rest.starts_with("</")) {
        size_t end = s_.find('>', pos_ + 2);
        if (end == std::string_view::npos) return kMalformedElement;
        std::string_view name = s_.substr(pos_ + 2, end - pos_ - 2);
        while (!name.empty() && IsSpace(name.back())) name.remove_suffix(1);
        if (open == doc_ || open->text != name) return kEndTagWithoutStart;
        open = open->parent;
        pos_ = end + 1;
      } else {
        int r = StartTag(open);
        if (r != kOk) return r;
      }
    }
    if (open != doc_) status = kMissingEndTag;
    return status;
  }

  std::string xml_decl;
  bool has_decl = false;
  std::string doctype;
  bool has_doctype = false;
  std::vector<XmlNode*> with_id;

 private:
  void AddText(XmlNode* parent, std::string text) {
    if (ignore_white_ && std::all_of(text.begin(), text.end(), IsSpace)) return;
    AddNode(parent, 3, std::move(text));
  }

  XmlNode* AddNode(XmlNode* parent, int type, std::string text) {
    XmlNode* n = NewXmlNode(vm_, vm_.xml_node_proto, type, std::move(text), true);
    XmlAppend(vm_, parent, n);
    return n;
  }

  // <name a="v" b='w'> or <name/>; `open` moves into an element that is not empty.
  int StartTag(XmlNode*& open) {
    size_t p = pos_ + 1;
    size_t name_start = p;
    while (p < s_.size() && !IsSpace(s_[p]) && s_[p] != '>' && s_[p] != '/') ++p;
    if (p >= s_.size() || p == name_start) return kMalformedElement;
    XmlNode* el = AddNode(open, 1, std::string(s_.substr(name_start, p - name_start)));
    // The attributes go into their object last first, so that for..in, and toString after it,
    // list them in the document's order, and one a script adds comes before them.
    std::vector<std::pair<std::string, std::string>> attrs;
    auto store = [&] {
      for (auto it = attrs.rbegin(); it != attrs.rend(); ++it) {
        el->attributes->SetOwn(it->first, std::move(it->second), true);
      }
    };
    for (;;) {
      while (p < s_.size() && IsSpace(s_[p])) ++p;
      if (p >= s_.size()) return kMalformedElement;
      if (s_[p] == '>') {
        store();
        open = el;
        pos_ = p + 1;
        return kOk;
      }
      if (s_[p] == '/') {
        if (p + 1 >= s_.size() || s_[p + 1] != '>') return kMalformedElement;
        store();
        pos_ = p + 2;
        return kOk;
      }
      size_t attr_start = p;
      while (p < s_.size() && !IsSpace(s_[p]) && s_[p] != '=' && s_[p] != '>' && s_[p] != '/') ++p;
      std::string name(s_.substr(attr_start, p - attr_start));
      while (p < s_.size() && IsSpace(s_[p])) ++p;
      if (name.empty() || p >= s_.size() || s_[p] != '=') return kMalformedElement;
      ++p;
      while (p < s_.size() && IsSpace(s_[p])) ++p;
      if (p >= s_.size() || (s_[p] != '"' && s_[p] != '\'')) return kMalformedElement;
      char quote = s_[p++];
      size_t end = s_.find(quote, p);
      if (end == std::string_view::npos) return kAttributeUnterminated;
      // A repeated attribute keeps its first value.
      if (std::none_of(attrs.begin(), attrs.end(),
                       [&](const auto& a) { return a.first == name; })) {
        attrs.emplace_back(name, Unescape(s_.substr(p, end - p)));
      }
      if (name == "id") with_id.push_back(el);
      p = end + 1;
    }
  }

  Vm& vm_;
  XmlNode* doc_;
  std::string_view s_;
  bool ignore_white_;
  size_t pos_ = 0;
};

XmlNode* This(const CallArgs& c) { return AsXmlNode(c.this_obj); }

void ParseInto(Vm& vm, XmlNode* doc, const std::string& src) {
  XmlRemoveChildren(vm, doc);
  Parser parser(vm, doc, src, vm.ToBool(vm.GetMember(doc, "ignoreWhite")));
  int status = parser.Run();
  vm.SetMember(doc, "status", static_cast<double>(status));
  vm.SetMember(doc, "xmlDecl", parser.has_decl ? Value(parser.xml_decl) : Value());
  vm.SetMember(doc, "docTypeDecl", parser.has_doctype ? Value(parser.doctype) : Value());
  if (vm.swf_version() >= 8) {
    Object* id_map = vm.GetMember(doc, "idMap").AsObject();
    if (!id_map) {
      id_map = vm.NewObject();
      vm.SetMember(doc, "idMap", id_map);
    }
    for (XmlNode* n : parser.with_id) {
      vm.SetMember(id_map, vm.ToString(vm.GetMember(n->attributes, "id")), n);
    }
  }
}

Value Construct(Vm& vm, const CallArgs& c) {
  Object* proto = vm.GetMember(c.callee, "prototype").AsObject();
  XmlNode* doc = NewXmlNode(vm, proto ? proto : vm.xml_proto, 1, "", false);
  if (vm.swf_version() >= 8) doc->Define("idMap", vm.NewObject(), 0);
  if (!c.Arg(0).IsNullish()) ParseInto(vm, doc, vm.ToString(c.Arg(0)));
  return static_cast<Object*>(doc);
}

Value ParseXml(Vm& vm, const CallArgs& c) {
  if (XmlNode* doc = This(c)) ParseInto(vm, doc, vm.ToString(c.Arg(0)));
  return Value();
}

Value CreateElement(Vm& vm, const CallArgs& c) {
  return static_cast<Object*>(
      NewXmlNode(vm, vm.xml_node_proto, 1, vm.ToString(c.Arg(0)), !c.Arg(0).IsNullish()));
}

Value CreateTextNode(Vm& vm, const CallArgs& c) {
  return static_cast<Object*>(
      NewXmlNode(vm, vm.xml_node_proto, 3, vm.ToString(c.Arg(0)), !c.Arg(0).IsNullish()));
}

Value ToStringMethod(Vm& vm, const CallArgs& c) {
  XmlNode* doc = This(c);
  if (!doc) return "";
  std::string out;
  Value decl = vm.GetMember(doc, "xmlDecl");
  if (!decl.IsNullish()) out += vm.ToString(decl);
  Value doctype = vm.GetMember(doc, "docTypeDecl");
  if (!doctype.IsNullish()) out += vm.ToString(doctype);
  XmlSerialize(vm, doc, out);
  return out;
}

Value OnData(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  bool ok = !c.Arg(0).IsUndefined();
  if (ok) {
    Value args[] = {c.Arg(0)};
    vm.CallMethod(c.this_obj, "parseXML", args);
  }
  vm.SetMember(c.this_obj, "loaded", ok);
  Value args[] = {ok};
  vm.CallMethod(c.this_obj, "onLoad", args);
  return Value();
}

Value Nothing(Vm&, const CallArgs&) { return Value(); }
Value Zero(Vm&, const CallArgs&) { return 0.0; }

}  // namespace

void InstallXml(Vm& vm) {
  Object* proto = vm.NewObject(vm.xml_node_proto);
  vm.xml_proto = proto;
  proto->Define("contentType", "application/x-www-form-urlencoded", 0);
  proto->Define("ignoreWhite", false, 0);
  proto->Define("loaded", Value(), 0);
  proto->Define("status", 0.0, 0);
  proto->Define("xmlDecl", Value(), 0);
  proto->Define("docTypeDecl", Value(), 0);
  vm.DefineMethod(proto, "parseXML", ParseXml);
  vm.DefineMethod(proto, "createElement", CreateElement);
  vm.DefineMethod(proto, "createTextNode", CreateTextNode);
  vm.DefineMethod(proto, "toString", ToStringMethod);
  vm.DefineMethod(proto, "load", LoadLocal);
  vm.DefineMethod(proto, "sendAndLoad", SendAndLoadLocal);
  vm.DefineMethod(proto, "send", Nothing);
  vm.DefineMethod(proto, "onData", OnData);
  vm.DefineMethod(proto, "onLoad", Nothing);
  vm.DefineMethod(proto, "addRequestHeader", Nothing);
  vm.DefineMethod(proto, "getBytesLoaded", Zero);
  vm.DefineMethod(proto, "getBytesTotal", Zero);
  vm.DefineClass("XML", Construct, Construct, proto);
}

}  // namespace flashsaver::avm1
