// Text to XML trees the way Flash's E4X parser reads it: a lenient tag scanner (no DTD, few name
// checks), the five XML entities plus &nbsp; and numeric references, namespaces resolved by
// prefix through the enclosing elements, and the XML class's ignore settings applied while
// reading. Failures carry Flash's TypeError number and text.
#pragma once

#include <string>
#include <string_view>

#include "player/avm2/xml_node.h"

namespace flashsaver::avm2 {

struct XmlParseResult {
  XmlNode::Ptr node;  // null when error is set
  XmlError error;     // code 0: no error
  bool ok() const { return error.code == 0; }
};

// Reads text as the content of a wrapper element named "parent" whose default namespace is
// default_uri, and returns that wrapper: XMLList(string) takes its children.
XmlParseResult ParseXmlFragment(std::u16string_view text, const XmlSettings& settings,
                                const std::u16string& default_uri);

// XML(string): the one node the text holds, detached from the wrapper. Empty text gives an empty
// text node; around a single element, comments, processing instructions and whitespace are
// dropped; anything else is #1088.
XmlParseResult ParseXmlValue(std::u16string_view text, const XmlSettings& settings,
                             const std::u16string& default_uri);

// Entity and character references replaced; a reference Flash doesn't know stays as written.
std::u16string UnescapeXml(std::u16string_view text);

}  // namespace flashsaver::avm2
