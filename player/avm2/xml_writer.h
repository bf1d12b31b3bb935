// XML trees to text: toXMLString and toString as Flash writes them, with its pretty printing,
// escaping and namespace declarations.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "player/avm2/xml_node.h"

namespace flashsaver::avm2 {

std::u16string EscapeXmlText(std::u16string_view text);
std::u16string EscapeXmlAttribute(std::u16string_view text);

// The markup of node. Declarations in scope (the node's own and its ancestors') that the
// ancestors list lacks are written on the node; names whose namespace has no prefix in scope get
// one made up ("" first, then "aaa", "aab", ...).
std::u16string XmlToXmlString(const XmlNode& node, const XmlSettings& settings,
                              std::vector<XmlNamespace> ancestors = {});

// toString: the text of simple content, else the markup.
std::u16string XmlToString(const XmlNode& node, const XmlSettings& settings);

}  // namespace flashsaver::avm2
