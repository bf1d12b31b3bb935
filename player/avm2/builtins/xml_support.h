// The script side of E4X: XML and XMLList objects over the portable tree, the XML class's
// settings and default namespace, and conversions between script values and the tree's terms.
#pragma once

#include <optional>
#include <span>

#include "player/avm2/natives.h"
#include "player/avm2/object.h"
#include "player/avm2/xml_ops.h"

namespace flashsaver::avm2 {

class Vm;

// An XML value. Its identity is its node: two objects of one node are the same XML.
class XmlObject : public BoxedObject {
 public:
  XmlObject(ClassObject* cls, Object* proto, XmlNode::Ptr n)
      : BoxedObject(cls, proto), node(std::move(n)) {}
  XmlNode::Ptr node;
};

// An XMLList: nodes, and where they were read from (so assigning to an empty list can create
// the missing element there).
class XmlListObject : public BoxedObject {
 public:
  XmlListObject(ClassObject* cls, Object* proto) : BoxedObject(cls, proto) {}
  void Trace(Tracer& tracer) override;

  XmlNodes nodes;
  Value target_object;
  std::optional<XmlQuery> target_property;
};

// Per-machine E4X state: the XML class's settings and the default xml namespace.
struct XmlState {
  XmlSettings settings;
  std::u16string default_uri;
  // Movies before SWF 10 get Flash 9's reading of appendChild("<b/>") and its kin: the text is
  // parsed as XML. Later ones add it as text.
  bool parse_text_children = false;
};
XmlState& XmlStateOf(Vm& vm);
// The movie's SWF version, for the behaviours that depend on it.
void SetXmlSwfVersion(Vm& vm, int version);

XmlObject* AsXml(const Value& v);
XmlListObject* AsXmlList(const Value& v);
bool IsXmlOrList(const Value& v);

Value NewXml(Vm& vm, XmlNode::Ptr node);
XmlListObject* NewXmlList(Vm& vm, XmlNodes nodes = {}, Value target = Value(),
                          std::optional<XmlQuery> property = std::nullopt);
inline Value ListValue(XmlListObject* list) { return Value(static_cast<Object*>(list)); }

// XML(v): parses strings, unwraps one-item lists; TypeError for null and undefined.
XmlNode::Ptr ToXmlNode(Vm& vm, const Value& v);
// XMLList(v): a list of a parsed fragment, of one XML, or the list itself.
XmlListObject* ToXmlList(Vm& vm, const Value& v);
// A value to store into a tree.
XmlValue ToXmlValue(Vm& vm, const Value& v);

// A machine name (x.a, x.@a, x.ns::a, x["@a"]) as E4X reads it.
XmlQuery QueryFromName(Vm& vm, const Name& name);
// A method's name argument: a string ("a", "@a", "*"), a QName, or anything converted to text.
XmlQuery QueryFromValue(Vm& vm, const Value& v, bool attribute = false);

[[noreturn]] void ThrowXmlError(Vm& vm, const XmlError& error);
inline void CheckXml(Vm& vm, const std::optional<XmlError>& error) {
  if (error) ThrowXmlError(vm, *error);
}

// Namespace and QName objects for the tree's names.
Value NamespaceValue(Vm& vm, const XmlNamespace& ns);
Value QNameValue(Vm& vm, const XmlName& name);
// A Namespace argument (Namespace object, QName, or URI text) as the tree's namespace.
XmlNamespace NamespaceFromValue(Vm& vm, const Value& v);

// list[i] = v, with E4X's rules for a new index: the node is made in the list's target.
void XmlListPutIndex(Vm& vm, XmlListObject* list, uint32_t i, const Value& v);

// The E4X behaviour of the machine's generic operations (property access, calls, ==, +, for
// each). Each returns false when the value is neither XML nor XMLList.
bool XmlGetProperty(Vm& vm, const Value& obj, const Name& name, Value& out);
bool XmlSetProperty(Vm& vm, const Value& obj, const Name& name, const Value& v);
bool XmlHasProperty(Vm& vm, const Value& obj, const Name& name, bool& out);
// The E4X part alone: children, attributes and indices, without the methods.
bool XmlHasOwn(Vm& vm, const Value& obj, const Name& name, bool& out);
bool XmlDeleteProperty(Vm& vm, const Value& obj, const Name& name, bool& out);
bool XmlCallProperty(Vm& vm, const Value& obj, const Name& name, std::span<const Value> args,
                     Value& out);
// obj..name; TypeError #1016 for other values.
Value XmlDescendants(Vm& vm, const Value& obj, const Name& name);
bool XmlLooseEquals(Vm& vm, const Value& a, const Value& b, bool& out);
bool XmlStrictEquals(const Value& a, const Value& b, bool& out);
// XML and XMLList convert to their toString() text, whatever the prototype says.
bool XmlToPrimitive(Vm& vm, const Value& v, Value& out);
bool XmlAdd(Vm& vm, const Value& a, const Value& b, Value& out);
// for (in) / for each: positions 1..n; 0 ends.
bool XmlNextIndex(const Value& obj, uint32_t index, uint32_t& next);
bool XmlNextName(const Value& obj, uint32_t index, Value& out);
bool XmlNextValue(Vm& vm, const Value& obj, uint32_t index, Value& out);
// The value of {v} in an XML literal: XML and XMLList give their markup, anything else its
// text escaped for an element or an attribute value.
Value XmlEscapeForLiteral(Vm& vm, const Value& v, bool attribute);
// default xml namespace = v.
void XmlSetDefaultNamespace(Vm& vm, const Value& v);

}  // namespace flashsaver::avm2
