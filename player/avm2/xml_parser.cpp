#include "player/avm2/xml_parser.h"

#include <utility>
#include <vector>

namespace flashsaver::avm2 {
namespace {

enum class TokenKind { kText, kElement, kCData, kComment, kProcessingInstruction, kSkipped };

struct Token {
  TokenKind kind = TokenKind::kText;
  std::u16string text;  // element name ("/name" for an end tag), or the content
  bool empty = false;   // <name/>
  std::vector<std::pair<std::u16string, std::u16string>> attributes;
};

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool MatchesCaseless(std::u16string_view s, size_t pos, std::u16string_view what) {
  if (s.size() - pos < what.size()) return false;
  for (size_t i = 0; i < what.size(); ++i)
    if (Lower(s[pos + i]) != Lower(what[i])) return false;
  return true;
}

int EntityValue(std::u16string_view name) {
  static constexpr std::pair<std::u16string_view, int> kEntities[] = {
      {u"amp", '&'}, {u"quot", '"'}, {u"apos", '\''}, {u"lt", '<'}, {u"gt", '>'}, {u"nbsp", 0xA0},
  };
  for (const auto& [entity, value] : kEntities)
    if (entity == name) return value;
  return -1;
}

// The code of "#65" or "#x41", or -1. Values above 0xFFFF are refused.
int CharacterReference(std::u16string_view ref) {
  ref.remove_prefix(1);
  int base = 10;
  if (ref.size() >= 2 && ref[0] == u'x') {
    base = 16;
    ref.remove_prefix(1);
  }
  if (ref.empty()) return -1;
  int value = 0;
  for (char16_t c : ref) {
    int digit = -1;
    if (c >= u'0' && c <= u'9') digit = c - u'0';
    if (c >= u'a' && c <= u'f') digit = c - u'a' + 10;
    if (c >= u'A' && c <= u'F') digit = c - u'A' + 10;
    if (digit < 0 || digit >= base) return -1;
    value = value * base + digit;
    if (value > 0xFFFF) return -1;
  }
  return value;
}

class Scanner {
 public:
  enum Status {
    kOk = 0,
    kEnd = 1,
    kMalformedElement = 1090,
    kUnterminatedCData = 1091,
    kUnterminatedDeclaration = 1092,
    kUnterminatedDocType = 1093,
    kUnterminatedComment = 1094,
    kUnterminatedAttribute = 1095,
    kUnterminatedPi = 1097,
  };

  Scanner(std::u16string_view text, bool ignore_whitespace)
      : s_(text), ignore_whitespace_(ignore_whitespace) {}

  Status Next(Token& token);

 private:
  bool AtEnd() const { return pos_ >= s_.size(); }
  // Skips whitespace; false at the end of the text.
  bool SkipSpace() {
    while (!AtEnd() && IsXmlSpace(s_[pos_])) ++pos_;
    return !AtEnd();
  }
  size_t Find(std::u16string_view what, size_t from) const {
    size_t at = s_.find(what, from);
    return at == std::u16string_view::npos ? s_.size() + 1 : at;
  }
  Status ScanElement(Token& token);

  std::u16string_view s_;
  bool ignore_whitespace_;
  size_t pos_ = 0;
};

Scanner::Status Scanner::Next(Token& token) {
  token = Token();
  if (AtEnd()) return kEnd;
  if (ignore_whitespace_ && !SkipSpace()) return kEnd;
  size_t start = pos_;
  if (s_[pos_] != u'<') {
    size_t lt = s_.find(u'<', pos_ + 1);
    pos_ = lt == std::u16string_view::npos ? s_.size() : lt;
    token.kind = TokenKind::kText;
    token.text = UnescapeXml(s_.substr(start, pos_ - start));
    if (ignore_whitespace_) token.text = TrimXmlSpace(token.text);
    return kOk;
  }
  if (MatchesCaseless(s_, start, u"<?xml ")) {
    size_t end = Find(u"?>", start + 6);
    if (end > s_.size()) return kUnterminatedDeclaration;
    pos_ = end + 2;
    token.kind = TokenKind::kSkipped;
    return kOk;
  }
  // Flash compares only "<!DOCTYP" here.
  if (MatchesCaseless(s_, start, u"<!DOCTYP")) {
    int depth = 0;
    for (size_t end = start + 1; end < s_.size(); ++end) {
      if (s_[end] == u'<') {
        ++depth;
      } else if (s_[end] == u'>') {
        if (depth == 0) {
          pos_ = end + 1;
          token.kind = TokenKind::kSkipped;
          return kOk;
        }
        --depth;
      }
    }
    return kUnterminatedDocType;
  }
  if (MatchesCaseless(s_, start, u"<![CDATA[")) {
    size_t end = Find(u"]]>", start + 9);
    if (end > s_.size()) return kUnterminatedCData;
    token.kind = TokenKind::kCData;
    token.text = std::u16string(s_.substr(start + 9, end - start - 9));
    pos_ = end + 3;
    return kOk;
  }
  if (s_.substr(start, 2) == u"<?") {
    size_t end = Find(u"?>", start + 2);
    if (end > s_.size()) return kUnterminatedPi;
    token.kind = TokenKind::kProcessingInstruction;
    token.text = std::u16string(s_.substr(start + 2, end - start - 2));
    pos_ = end + 2;
    return kOk;
  }
  if (s_.substr(start, 4) == u"<!--") {
    size_t end = Find(u"-->", start + 4);
    if (end > s_.size()) return kUnterminatedComment;
    token.kind = TokenKind::kComment;
    token.text = std::u16string(s_.substr(start + 4, end - start - 4));
    pos_ = end + 3;
    return kOk;
  }
  ++pos_;
  return ScanElement(token);
}

Scanner::Status Scanner::ScanElement(Token& token) {
  auto empty_close = [&] {
    return s_[pos_] == u'/' && pos_ + 1 < s_.size() && s_[pos_ + 1] == u'>';
  };
  size_t start = pos_;
  while (!AtEnd() && s_[pos_] != u'>' && !IsXmlSpace(s_[pos_]) && !empty_close()) ++pos_;
  if (AtEnd() || pos_ == start) return kMalformedElement;
  token.kind = TokenKind::kElement;
  token.text = UnescapeXml(s_.substr(start, pos_ - start));
  for (;;) {
    if (!SkipSpace()) return kMalformedElement;
    if (s_[pos_] == u'>') break;
    if (empty_close()) {
      token.empty = true;
      ++pos_;
      break;
    }
    // An attribute name runs to whitespace, '=' or '>'.
    start = pos_;
    while (!IsXmlSpace(s_[pos_]) && s_[pos_] != u'=' && s_[pos_] != u'>') {
      if (++pos_ >= s_.size()) return kMalformedElement;
    }
    if (start == pos_) return kMalformedElement;
    std::u16string name = UnescapeXml(s_.substr(start, pos_ - start));
    if (!SkipSpace() || s_[pos_++] != u'=') return kMalformedElement;
    if (!SkipSpace()) return kMalformedElement;
    char16_t quote = s_[pos_++];
    if (quote != u'"' && quote != u'\'') return kMalformedElement;
    start = pos_;
    for (char16_t c = 0; c != quote;) {
      if (AtEnd() || c == u'<') return kUnterminatedAttribute;
      c = s_[pos_++];
    }
    token.attributes.emplace_back(std::move(name), UnescapeXml(s_.substr(start, pos_ - 1 - start)));
  }
  ++pos_;  // past '>'
  return kOk;
}

// Builds the tree from the scanner's tokens under the wrapper element.
class TreeBuilder {
 public:
  TreeBuilder(const XmlSettings& settings, const std::u16string& default_uri)
      : settings_(settings), default_uri_(default_uri) {
    XmlNamespace default_ns{std::u16string(), default_uri};
    root_ = XmlNode::Create(XmlKind::kElement);
    root_->AddInScopeNamespace(default_ns);
    root_->set_name(XmlName{u"parent", default_ns});
    current_ = root_;
  }

  XmlParseResult Run(std::u16string_view text);

 private:
  bool Fail(int code, std::u16string_view a = {}, std::u16string_view b = {}) {
    error_ = MakeXmlError(code, a, b);
    return false;
  }
  bool OnEndTag(const std::u16string& text);
  bool OnStartTag(Token& token);
  // The namespace a prefixed (or unprefixed) name refers to; strips the prefix from name.
  // Unprefixed attributes are in no namespace.
  bool ResolveName(const XmlNode& scope, std::u16string& name, bool attribute, XmlNamespace& out);

  const XmlSettings& settings_;
  const std::u16string& default_uri_;
  XmlNode::Ptr root_;
  XmlNode::Ptr current_;
  int depth_ = 0;
  XmlError error_;
};

bool TreeBuilder::ResolveName(const XmlNode& scope, std::u16string& name, bool attribute,
                              XmlNamespace& out) {
  size_t colon = name.find(u':');
  if (colon == 0) return Fail(1117, name);
  std::u16string prefix;
  if (colon != std::u16string::npos) {
    prefix = name.substr(0, colon);
    name.erase(0, colon + 1);
  }
  out = XmlNamespace{std::u16string(), std::u16string()};
  if (attribute && prefix.empty()) return true;
  int depth = 0;
  for (auto node = std::const_pointer_cast<XmlNode>(scope.shared_from_this());
       node && depth <= kMaxXmlDepth + 1; node = node->parent(), ++depth) {
    for (const auto& ns : node->namespaces()) {
      if (prefix.empty() ? !ns.HasPrefix() : ns.prefix == prefix) {
        out = ns;
        return true;
      }
    }
  }
  if (prefix == u"xml") {
    out = XmlNamespace{std::u16string(), u"http://www.w3.org/XML/1998/namespace"};
    return true;
  }
  if (!prefix.empty()) return Fail(1083, prefix, name);
  return true;
}

bool TreeBuilder::OnEndTag(const std::u16string& text) {
  const XmlName& name = *current_->name();
  std::u16string_view tag = std::u16string_view(text).substr(1);
  std::u16string qualified = name.ns.HasPrefix() ? *name.ns.prefix + u":" + name.local : name.local;
  // Flash also closes an element by its bare local name when it is in the default namespace.
  bool matches = tag == qualified || (tag == name.local && name.ns.uri == default_uri_);
  if (!matches || current_ == root_) {
    if (current_ == root_) return Fail(1088);
    return Fail(1085, name.local, name.local);
  }
  current_ = current_->parent();
  --depth_;
  return true;
}

bool TreeBuilder::OnStartTag(Token& token) {
  XmlNode::Ptr element = XmlNode::Create(XmlKind::kElement);
  current_->AppendChild(element);
  // Declarations first: an attribute may use a prefix declared after it in the same tag.
  std::vector<size_t> plain;
  for (size_t i = 0; i < token.attributes.size(); ++i) {
    const std::u16string& name = token.attributes[i].first;
    if (name.size() >= 5 && MatchesCaseless(name, 0, u"xmlns") &&
        (name.size() == 5 || name[5] == u':')) {
      if (name.size() == 6) return Fail(1117, name);
      std::u16string prefix = name.size() > 6 ? name.substr(6) : std::u16string();
      // A prefix can't be bound to "no namespace"; Flash drops such a declaration.
      if (prefix.empty() || !token.attributes[i].second.empty())
        element->AddInScopeNamespace(XmlNamespace{prefix, token.attributes[i].second});
    } else {
      plain.push_back(i);
    }
  }
  for (size_t i : plain) {
    std::u16string local = token.attributes[i].first;
    XmlNamespace ns;
    if (!ResolveName(*element, local, true, ns)) return false;
    XmlName name{local, ns};
    for (const auto& existing : element->attributes()) {
      if (existing->name()->SameAs(name)) return Fail(1104, token.attributes[i].first, token.text);
    }
    auto attribute = XmlNode::Create(XmlKind::kAttribute, std::move(token.attributes[i].second));
    attribute->set_name(std::move(name));
    element->AppendAttribute(attribute);
  }
  std::u16string local = token.text;
  XmlNamespace ns;
  if (!ResolveName(*element, local, false, ns)) return false;
  element->set_name(XmlName{std::move(local), std::move(ns)});
  if (!token.empty) {
    if (++depth_ > kMaxXmlDepth) return Fail(1023);
    current_ = element;
  }
  return true;
}

XmlParseResult TreeBuilder::Run(std::u16string_view text) {
  // Flash's parser stopped at a NUL character, and movies still rely on it.
  text = text.substr(0, text.find(u'\0'));
  Scanner scanner(text, settings_.ignore_whitespace);
  Token token;
  int status;
  while ((status = scanner.Next(token)) == Scanner::kOk) {
    XmlNode::Ptr node;
    switch (token.kind) {
      case TokenKind::kSkipped:
        break;
      case TokenKind::kElement:
        if (!token.text.empty() && token.text[0] == u'/' ? !OnEndTag(token.text)
                                                         : !OnStartTag(token))
          return {nullptr, error_};
        break;
      case TokenKind::kText:
        node = XmlNode::Create(XmlKind::kText, std::move(token.text));
        break;
      case TokenKind::kCData:
        node = XmlNode::Create(XmlKind::kCData, std::move(token.text));
        break;
      case TokenKind::kComment:
        if (!settings_.ignore_comments) node = XmlNode::Create(XmlKind::kComment, token.text);
        break;
      case TokenKind::kProcessingInstruction:
        if (!settings_.ignore_processing_instructions) {
          // The target runs to the first space; the value starts after the spaces that follow.
          size_t space = token.text.find(u' ');
          std::u16string target = token.text.substr(0, space);
          std::u16string value;
          if (space != std::u16string::npos) {
            while (space < token.text.size() && IsXmlSpace(token.text[space])) ++space;
            value = token.text.substr(space);
          }
          node = XmlNode::Create(XmlKind::kProcessingInstruction, std::move(value));
          node->set_name(XmlName{std::move(target), XmlNamespace{std::u16string(), {}}});
        }
        break;
    }
    if (node) current_->AppendChild(node);
  }
  if (status != Scanner::kEnd) return {nullptr, MakeXmlError(status)};
  if (current_ != root_) {
    const std::u16string& local = current_->name()->local;
    return {nullptr, MakeXmlError(1085, local, local)};
  }
  return {root_, {}};
}

}  // namespace

std::u16string UnescapeXml(std::u16string_view s) {
  std::u16string out;
  size_t copied = 0;  // s[copied, ...) is not yet in out
  size_t amp = s.find(u'&');
  while (amp != std::u16string_view::npos) {
    size_t semi = s.find(u';', amp + 1);
    if (semi == std::u16string_view::npos) break;
    std::u16string_view ref = s.substr(amp + 1, semi - amp - 1);
    int code = -1;
    if (ref.size() >= 2) code = ref[0] == u'#' ? CharacterReference(ref) : EntityValue(ref);
    if (code >= 0) {
      out.append(s.substr(copied, amp - copied));
      out += static_cast<char16_t>(code);
      copied = semi + 1;
      amp = s.find(u'&', semi + 1);
    } else {
      // Unknown: kept as written, and the search goes on after the ';'.
      amp = s.find(u'&', semi + 1);
    }
  }
  out.append(s.substr(copied));
  return out;
}

XmlParseResult ParseXmlFragment(std::u16string_view text, const XmlSettings& settings,
                                const std::u16string& default_uri) {
  return TreeBuilder(settings, default_uri).Run(text);
}

XmlParseResult ParseXmlValue(std::u16string_view text, const XmlSettings& settings,
                             const std::u16string& default_uri) {
  XmlParseResult result = ParseXmlFragment(text, settings, default_uri);
  if (!result.ok()) return result;
  XmlNode::Ptr wrapper = std::move(result.node);
  const auto& children = wrapper->children();
  XmlNode::Ptr chosen;
  if (children.empty()) {
    chosen = XmlNode::Create(XmlKind::kText);
  } else if (children.size() == 1) {
    chosen = children[0];
  } else {
    for (const auto& child : children) {
      bool stray_text = child->kind() == XmlKind::kText && !IsAllXmlSpace(child->value());
      if ((child->IsElement() && chosen) || stray_text) return {nullptr, MakeXmlError(1088)};
      if (child->IsElement()) chosen = child;
    }
    if (!chosen) return {nullptr, MakeXmlError(1088)};
  }
  chosen->set_parent(nullptr);
  return {chosen, {}};
}

}  // namespace flashsaver::avm2
