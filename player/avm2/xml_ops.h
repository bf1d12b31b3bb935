// The E4X operations on XML trees that don't need the machine: finding children, attributes and
// descendants by name, assignment that creates or replaces children, deletion, insertion with
// its cycle check, and normalisation. The XML and XMLList classes convert script values to and
// from these.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "player/avm2/xml_node.h"

namespace flashsaver::avm2 {

using XmlNodes = std::vector<XmlNode::Ptr>;

// A property name as E4X reads it: x.a, x.@a, x.*, x.ns::a. A name with no URIs matches every
// namespace.
struct XmlQuery {
  bool attribute = false;
  bool any_local = false;  // "*"
  std::u16string local;
  bool any_ns = true;
  std::vector<std::u16string> uris;  // when !any_ns: the node's URI must be one of these
  // The namespace a created node gets (qualified names; for unqualified ones the default).
  std::optional<XmlNamespace> create_ns;

  // Matches an attribute (attribute queries) or a child; text, comments and processing
  // instructions match only the "*" of children.
  bool Matches(const XmlNode& node) const;
  // "0", "12": a child index rather than a name.
  std::optional<uint32_t> Index() const;
};

// An assigned value as E4X sees it: text, one node, or a list of nodes.
struct XmlValue {
  enum class Kind { kText, kNode, kList } kind = Kind::kText;
  std::u16string text;
  XmlNodes nodes;  // one for kNode
  // The string form: the text, or each node's toString joined (for kList, without separator).
  std::u16string ToText(const XmlSettings& settings) const;
};

XmlNodes XmlGet(const XmlNode& x, const XmlQuery& q);
bool XmlHas(const XmlNode& x, const XmlQuery& q);
XmlNodes XmlDescendants(const XmlNode& x, const XmlQuery& q);

// x[q] = value. Errors: #1087 for an index name, #1118 for a cycle.
std::optional<XmlError> XmlPut(XmlNode& x, const XmlQuery& q, const XmlValue& value,
                               const XmlSettings& settings);
void XmlDelete(XmlNode& x, const XmlQuery& q);

// Puts value at child position i (past the end: appends). A list replaces the child with its
// nodes; text becomes a text node. #1118 when value contains x or an ancestor of x.
std::optional<XmlError> XmlReplace(XmlNode& x, size_t i, const XmlValue& value,
                                   const XmlSettings& settings);
std::optional<XmlError> XmlInsert(XmlNode& x, size_t i, const XmlValue& value,
                                  const XmlSettings& settings);
// Adjacent text (and CDATA) merged, empty and whitespace-only text removed, through the whole
// subtree.
void XmlNormalize(XmlNode& x);

// toXMLString of a list: its nodes' markup, one a line.
std::u16string XmlListToXmlString(const XmlNodes& nodes, const XmlSettings& settings);
// toString of a list: the joined text when every node has simple content, else the markup.
std::u16string XmlListToString(const XmlNodes& nodes, const XmlSettings& settings);
bool XmlListHasSimpleContent(const XmlNodes& nodes);

// Whether s is a valid XML name (no colon).
bool IsXmlName(std::u16string_view s);

}  // namespace flashsaver::avm2
