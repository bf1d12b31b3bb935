#include "player/avm2/xml_ops.h"

#include <algorithm>

#include "player/avm2/xml_writer.h"

namespace flashsaver::avm2 {
namespace {

bool IsNameStart(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c >= 0xC0;
}

bool IsNameChar(char16_t c) {
  return IsNameStart(c) || (c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == 0xB7;
}

void CollectDescendants(const XmlNode& x, const XmlQuery& q, XmlNodes& out, int depth) {
  if (depth > kMaxXmlDepth) return;
  if (q.attribute) {
    for (const auto& a : x.attributes())
      if (q.Matches(*a)) out.push_back(a);
  }
  for (const auto& child : x.children()) {
    if (!q.attribute && q.Matches(*child)) out.push_back(child);
    if (child->IsElement()) CollectDescendants(*child, q, out, depth + 1);
  }
}

// #1118 when node is x or one of x's ancestors: adding it under x would make a loop.
bool WouldCycle(const XmlNode& x, const XmlNode& node) {
  int depth = 0;
  for (auto n = std::const_pointer_cast<XmlNode>(x.shared_from_this()); n && depth <= kMaxXmlDepth;
       n = n->parent(), ++depth) {
    if (n.get() == &node) return true;
  }
  return false;
}

}  // namespace

bool XmlQuery::Matches(const XmlNode& node) const {
  bool is_attribute = node.kind() == XmlKind::kAttribute;
  if (attribute != is_attribute) return false;
  if (!is_attribute && !node.IsElement()) return any_local && any_ns;
  if (!node.name()) return false;
  if (!any_local && node.name()->local != local) return false;
  if (any_ns) return true;
  return std::find(uris.begin(), uris.end(), node.name()->ns.uri) != uris.end();
}

std::optional<uint32_t> XmlQuery::Index() const {
  if (attribute || any_local || local.empty() || local.size() > 10) return std::nullopt;
  uint64_t value = 0;
  for (char16_t c : local) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - u'0');
  }
  if (value > 0xFFFFFFFEu || (local.size() > 1 && local[0] == u'0')) return std::nullopt;
  return static_cast<uint32_t>(value);
}

std::u16string XmlValue::ToText(const XmlSettings& settings) const {
  if (kind == Kind::kText) return text;
  return XmlListToString(nodes, settings);
}

XmlNodes XmlGet(const XmlNode& x, const XmlQuery& q) {
  XmlNodes out;
  for (const auto& node : q.attribute ? x.attributes() : x.children())
    if (q.Matches(*node)) out.push_back(node);
  return out;
}

bool XmlHas(const XmlNode& x, const XmlQuery& q) {
  const auto& nodes = q.attribute ? x.attributes() : x.children();
  return std::any_of(nodes.begin(), nodes.end(), [&](const auto& n) { return q.Matches(*n); });
}

XmlNodes XmlDescendants(const XmlNode& x, const XmlQuery& q) {
  XmlNodes out;
  CollectDescendants(x, q, out, 0);
  return out;
}

std::optional<XmlError> XmlPut(XmlNode& x, const XmlQuery& q, const XmlValue& value,
                               const XmlSettings& settings) {
  if (q.Index()) return MakeXmlError(1087);
  if (!x.IsElement()) return std::nullopt;

  // What is stored: text (also for a lone text or attribute node), or copies of the nodes.
  XmlValue c;
  if (value.kind != XmlValue::Kind::kText &&
      !(value.nodes.size() == 1 && (value.nodes[0]->kind() == XmlKind::kText ||
                                    value.nodes[0]->kind() == XmlKind::kAttribute))) {
    c.kind = XmlValue::Kind::kList;
    for (const auto& node : value.nodes) c.nodes.push_back(node->DeepCopy(settings));
  } else {
    c.text = value.ToText(settings);
  }

  if (q.attribute) {
    std::u16string text;
    if (c.kind == XmlValue::Kind::kText) {
      text = c.text;
    } else {
      // A list becomes its items' text joined by spaces.
      for (size_t i = 0; i < c.nodes.size(); ++i) {
        if (i) text += u' ';
        text += XmlToString(*c.nodes[i], settings);
      }
    }
    std::optional<size_t> found;
    for (size_t j = 0; j < x.attributes().size();) {
      if (!q.Matches(*x.attributes()[j])) {
        ++j;
      } else if (!found) {
        found = j++;
      } else {
        x.RemoveAttribute(j);
      }
    }
    if (found) {
      x.attributes()[*found]->set_value(std::move(text));
    } else if (!q.any_local) {
      auto attribute = XmlNode::Create(XmlKind::kAttribute, std::move(text));
      XmlNamespace ns = q.create_ns && !q.any_ns ? *q.create_ns : NamespaceForUri(u"");
      attribute->set_name(XmlName{q.local, std::move(ns)});
      x.AppendAttribute(attribute);
    }
    return std::nullopt;
  }

  if (!q.any_local && !IsXmlName(q.local)) return std::nullopt;
  const bool primitive = c.kind == XmlValue::Kind::kText && !q.any_local;
  std::optional<size_t> i;
  for (size_t k = x.children().size(); k-- > 0;) {
    if (!q.Matches(*x.children()[k])) continue;
    if (i) x.RemoveChild(*i);
    i = k;
  }
  if (!i) {
    i = x.children().size();
    if (primitive) {
      XmlNamespace ns = q.create_ns.value_or(NamespaceForUri(u""));
      auto element = XmlNode::CreateElement(XmlName{q.local, ns});
      x.AppendChild(element);
      element->AddInScopeNamespace(ns);
    }
  }
  if (primitive) {
    XmlNode& target = *x.children()[*i];
    target.ClearChildren();
    if (!c.text.empty()) target.AppendChild(XmlNode::Create(XmlKind::kText, c.text));
    return std::nullopt;
  }
  return XmlReplace(x, *i, c, settings);
}

void XmlDelete(XmlNode& x, const XmlQuery& q) {
  if (q.Index()) return;
  if (q.attribute) {
    for (size_t j = 0; j < x.attributes().size();) {
      if (q.Matches(*x.attributes()[j])) {
        x.RemoveAttribute(j);
      } else {
        ++j;
      }
    }
    return;
  }
  for (size_t k = 0; k < x.children().size();) {
    if (q.Matches(*x.children()[k])) {
      x.RemoveChild(k);
    } else {
      ++k;
    }
  }
}

std::optional<XmlError> XmlReplace(XmlNode& x, size_t i, const XmlValue& value,
                                   const XmlSettings& settings) {
  if (!x.IsElement()) return std::nullopt;
  i = std::min(i, x.children().size());
  if (value.kind == XmlValue::Kind::kList) {
    for (const auto& node : value.nodes)
      if (WouldCycle(x, *node)) return MakeXmlError(1118);
    if (i < x.children().size()) x.RemoveChild(i);
    return XmlInsert(x, i, value, settings);
  }
  XmlNode::Ptr node;
  if (value.kind == XmlValue::Kind::kNode && value.nodes[0]->kind() != XmlKind::kAttribute) {
    node = value.nodes[0];
    if (WouldCycle(x, *node)) return MakeXmlError(1118);
  } else {
    node = XmlNode::Create(XmlKind::kText, value.ToText(settings));
  }
  x.ReplaceChild(i, node);
  return std::nullopt;
}

std::optional<XmlError> XmlInsert(XmlNode& x, size_t i, const XmlValue& value,
                                  const XmlSettings& settings) {
  if (!x.IsElement()) return std::nullopt;
  i = std::min(i, x.children().size());
  if (value.kind != XmlValue::Kind::kList) {
    if (value.kind == XmlValue::Kind::kNode && WouldCycle(x, *value.nodes[0]))
      return MakeXmlError(1118);
    x.InsertChild(i, XmlNode::Create(XmlKind::kText));
    return XmlReplace(x, i, value, settings);
  }
  for (const auto& node : value.nodes)
    if (WouldCycle(x, *node)) return MakeXmlError(1118);
  for (size_t j = 0; j < value.nodes.size(); ++j) x.InsertChild(i + j, value.nodes[j]);
  return std::nullopt;
}

void XmlNormalize(XmlNode& x) {
  std::vector<XmlNode*> pending{&x};
  while (!pending.empty() && pending.size() < 1000000) {
    XmlNode* node = pending.back();
    pending.pop_back();
    for (size_t i = 0; i < node->children().size();) {
      XmlNode& child = *node->children()[i];
      if (child.IsElement()) {
        pending.push_back(&child);
      } else if (child.IsTextLike()) {
        std::u16string text = child.value();
        while (i + 1 < node->children().size() && node->children()[i + 1]->IsTextLike()) {
          text += node->children()[i + 1]->value();
          node->RemoveChild(i + 1);
        }
        // Flash drops whitespace-only text too.
        if (IsAllXmlSpace(text)) {
          node->RemoveChild(i);
          continue;
        }
        child.set_value(std::move(text));
      }
      ++i;
    }
  }
}

bool XmlListHasSimpleContent(const XmlNodes& nodes) {
  if (nodes.size() == 1) return nodes[0]->HasSimpleContent();
  return std::none_of(nodes.begin(), nodes.end(), [](const auto& n) { return n->IsElement(); });
}

std::u16string XmlListToXmlString(const XmlNodes& nodes, const XmlSettings& settings) {
  std::u16string out;
  for (size_t i = 0; i < nodes.size(); ++i) {
    if (i) out += u'\n';  // Flash separates the items even without pretty printing
    out += XmlToXmlString(*nodes[i], settings);
  }
  return out;
}

std::u16string XmlListToString(const XmlNodes& nodes, const XmlSettings& settings) {
  if (!XmlListHasSimpleContent(nodes)) return XmlListToXmlString(nodes, settings);
  std::u16string out;
  for (const auto& node : nodes) {
    if (node->kind() != XmlKind::kComment && node->kind() != XmlKind::kProcessingInstruction)
      out += XmlToString(*node, settings);
  }
  return out;
}

bool IsXmlName(std::u16string_view s) {
  if (s.empty() || !IsNameStart(s[0])) return false;
  return std::all_of(s.begin() + 1, s.end(), IsNameChar);
}

}  // namespace flashsaver::avm2
