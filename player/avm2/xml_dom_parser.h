// The lenient reader behind flash.xml.XMLDocument.parseXML: a flat list of events (element
// start/end, text) the document builds its nodes from. Comments and processing instructions
// give no nodes; the XML declaration and DOCTYPE are kept as text. Malformed input never fails:
// what cannot be read is skipped.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace flashsaver::avm2 {

struct XmlDomEvent {
  enum Kind { kStart, kEnd, kText, kXmlDecl, kDocType } kind = kText;
  std::u16string text;  // element name, text (entities decoded) or the declaration's markup
  std::vector<std::pair<std::u16string, std::u16string>> attributes;  // in document order
  bool empty = false;  // <a/>: no matching end event follows
  bool cdata = false;  // text from a CDATA section (kept even when all white space)
};

std::vector<XmlDomEvent> ParseXmlDom(std::u16string_view src);
// The text with & < > " ' as entities.
std::u16string EscapeXmlDom(std::u16string_view s);
bool IsXmlDomWhite(std::u16string_view s);

}  // namespace flashsaver::avm2
