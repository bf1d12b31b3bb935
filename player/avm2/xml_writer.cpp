#include "player/avm2/xml_writer.h"

#include <algorithm>

namespace flashsaver::avm2 {
namespace {

// No line is indented further than this, whatever prettyIndent says, so a huge setting can't
// ask for unbounded memory.
constexpr int64_t kMaxIndent = 4096;

class Writer {
 public:
  explicit Writer(const XmlSettings& settings)
      : settings_(settings), pretty_(settings.pretty_printing && settings.pretty_indent >= 0) {}

  void Write(const XmlNode& node, std::vector<XmlNamespace>& ancestors, int64_t indent, int depth);
  std::u16string& out() { return out_; }

 private:
  void Indent(int64_t count) {
    out_.append(static_cast<size_t>(std::clamp<int64_t>(count, 0, kMaxIndent)), u' ');
  }
  void WriteElement(const XmlNode& node, std::vector<XmlNamespace>& ancestors, int64_t indent,
                    int depth);

  const XmlSettings& settings_;
  bool pretty_;
  std::u16string out_;
};

// The first namespace in scope with uri, or a new one without a prefix.
XmlNamespace FindByUri(const std::u16string& uri, const std::vector<XmlNamespace>& namespaces) {
  for (const auto& ns : namespaces)
    if (ns.uri == uri) return ns;
  return NamespaceForUri(uri);
}

// A prefix no namespace in scope uses: "" if free, else the first free of "aaa".."zzz".
XmlNamespace WithFreePrefix(const std::u16string& uri,
                            const std::vector<XmlNamespace>& namespaces) {
  auto taken = [&](const std::u16string& prefix) {
    return std::any_of(namespaces.begin(), namespaces.end(),
                       [&](const XmlNamespace& ns) { return ns.prefix == prefix; });
  };
  if (!taken(u"")) return XmlNamespace{std::u16string(), uri};
  std::u16string prefix = u"aaa";
  for (char16_t a = u'a'; a <= u'z'; ++a) {
    for (char16_t b = u'a'; b <= u'z'; ++b) {
      for (char16_t c = u'a'; c <= u'z'; ++c) {
        prefix = {a, b, c};
        if (!taken(prefix)) return XmlNamespace{prefix, uri};
      }
    }
  }
  return XmlNamespace{prefix, uri};
}

XmlNamespace PrefixedNamespace(const std::u16string& uri, std::vector<XmlNamespace>& ancestors) {
  XmlNamespace ns = FindByUri(uri, ancestors);
  if (!ns.prefix) {
    ns = WithFreePrefix(uri, ancestors);
    ancestors.push_back(ns);
  }
  return ns;
}

void Writer::Write(const XmlNode& node, std::vector<XmlNamespace>& ancestors, int64_t indent,
                   int depth) {
  if (pretty_) Indent(indent);
  switch (node.kind()) {
    case XmlKind::kText:
      out_ += EscapeXmlText(pretty_ ? TrimXmlSpace(node.value()) : node.value());
      return;
    case XmlKind::kCData:
      out_ += u"<![CDATA[" + node.value() + u"]]>";
      return;
    case XmlKind::kAttribute:
      out_ += EscapeXmlAttribute(node.value());
      return;
    case XmlKind::kComment:
      out_ += u"<!--" + node.value() + u"-->";
      return;
    case XmlKind::kProcessingInstruction:
      out_ += u"<?";
      if (node.name()) out_ += node.name()->local + u" ";
      out_ += node.value() + u"?>";
      return;
    case XmlKind::kElement:
      WriteElement(node, ancestors, indent, depth);
      return;
  }
}

void Writer::WriteElement(const XmlNode& node, std::vector<XmlNamespace>& ancestors, int64_t indent,
                          int depth) {
  const size_t inherited = ancestors.size();
  for (const auto& ns : node.InScopeNamespaces()) {
    if (std::find(ancestors.begin(), ancestors.end(), ns) == ancestors.end())
      ancestors.push_back(ns);
  }
  const XmlName name = node.name().value_or(XmlName{});
  const std::u16string prefix = *PrefixedNamespace(name.ns.uri, ancestors).prefix;
  std::vector<XmlNamespace> attribute_ns;
  for (const auto& attribute : node.attributes()) {
    attribute_ns.push_back(PrefixedNamespace(
        attribute->name() ? attribute->name()->ns.uri : std::u16string(), ancestors));
  }

  const std::u16string tag = prefix.empty() ? name.local : prefix + u":" + name.local;
  out_ += u"<" + tag;
  for (size_t i = 0; i < node.attributes().size(); ++i) {
    const XmlNode& attribute = *node.attributes()[i];
    out_ += u" ";
    if (attribute_ns[i].HasPrefix()) out_ += *attribute_ns[i].prefix + u":";
    if (attribute.name()) out_ += attribute.name()->local;
    out_ += u"=\"" + EscapeXmlAttribute(attribute.value()) + u"\"";
  }
  // Declarations new at this element; "no namespace" is never declared.
  for (size_t i = inherited; i < ancestors.size(); ++i) {
    const XmlNamespace& ns = ancestors[i];
    if (ns.uri.empty()) continue;
    out_ += u" xmlns";
    if (ns.HasPrefix()) out_ += u":" + *ns.prefix;
    out_ += u"=\"" + ns.uri + u"\"";
  }
  const auto& children = node.children();
  if (children.empty() || depth >= kMaxXmlDepth) {
    out_ += u"/>";
    return;
  }
  out_ += u">";

  // A lone text child stays on the tag's line.
  const bool indent_children = children.size() > 1 || !children[0]->IsTextLike();
  const int64_t child_indent =
      settings_.pretty_printing && indent_children ? indent + settings_.pretty_indent : 0;
  // The children see this element's declarations; an inherited one whose prefix this element
  // redeclares is dropped, so a child using it declares it again.
  std::vector<XmlNamespace> scope;
  for (size_t i = 0; i < ancestors.size(); ++i) {
    bool shadowed =
        i < inherited &&
        std::any_of(ancestors.begin() + static_cast<std::ptrdiff_t>(inherited), ancestors.end(),
                    [&](const XmlNamespace& ns) { return ns.prefix == ancestors[i].prefix; });
    if (!shadowed) scope.push_back(ancestors[i]);
  }
  for (const auto& child : children) {
    if (pretty_ && indent_children) out_ += u"\n";
    std::vector<XmlNamespace> child_scope = scope;
    Write(*child, child_scope, child_indent, depth + 1);
  }
  if (pretty_ && indent_children) {
    out_ += u"\n";
    Indent(indent);
  }
  out_ += u"</" + tag + u">";
}

}  // namespace

std::u16string EscapeXmlText(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    switch (c) {
      case u'<':
        out += u"&lt;";
        break;
      case u'>':
        out += u"&gt;";
        break;
      case u'&':
        out += u"&amp;";
        break;
      case u'\0':
        out += u"&#x0;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::u16string EscapeXmlAttribute(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    switch (c) {
      case u'"':
        out += u"&quot;";
        break;
      case u'<':
        out += u"&lt;";
        break;
      case u'&':
        out += u"&amp;";
        break;
      case u'\n':
        out += u"&#xA;";
        break;
      case u'\r':
        out += u"&#xD;";
        break;
      case u'\t':
        out += u"&#x9;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::u16string XmlToXmlString(const XmlNode& node, const XmlSettings& settings,
                              std::vector<XmlNamespace> ancestors) {
  Writer writer(settings);
  writer.Write(node, ancestors, 0, 0);
  return std::move(writer.out());
}

std::u16string XmlToString(const XmlNode& node, const XmlSettings& settings) {
  if (node.HasSimpleContent()) return node.SimpleText();
  return XmlToXmlString(node, settings);
}

}  // namespace flashsaver::avm2
