// The tree behind XML and XMLNode: a node owns its child list and its attributes object; the
// script sees them through getters on XMLNode.prototype. Shared by xml_node.cpp (the node class)
// and xml.cpp (the document class and its parser).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "player/avm1/vm.h"

namespace flashsaver::avm1 {

class XmlNode : public Object {
 public:
  XmlNode() : Object(ObjectKind::kOther) {}
  int type = 1;           // 1 element, 3 text; other numbers are kept as given
  std::string text;       // the element's name or the text node's value
  bool has_text = false;  // a document (element without name) answers null
  XmlNode* parent = nullptr;
  std::vector<XmlNode*> children;
  Object* attributes = nullptr;
  Object* child_array = nullptr;  // the childNodes array, refreshed when children change
  void Trace(Tracer& tracer) override;
};

// The node of a script value, or null when it is none.
XmlNode* AsXmlNode(const Value& v);
XmlNode* AsXmlNode(Object* o);
// A fresh node with the given prototype (XMLNode.prototype or XML.prototype).
XmlNode* NewXmlNode(Vm& vm, Object* proto, int type, std::string text, bool has_text);
void XmlAppend(Vm& vm, XmlNode* parent, XmlNode* child);
void XmlRemoveChildren(Vm& vm, XmlNode* node);
// The node's markup: elements with their attributes and children, text escaped.
void XmlSerialize(Vm& vm, XmlNode* node, std::string& out);
std::string XmlEscape(std::string_view s);

}  // namespace flashsaver::avm1
