// flash.xml: XMLNode, XMLDocument and XMLNodeType, the ActionScript 2 style XML tree. A node's
// links (parentNode, firstChild, siblings...) are public variables the methods keep up to date;
// its children list lives in C++.
#include <algorithm>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/heap.h"
#include "player/avm2/vm.h"
#include "player/avm2/xml_dom_parser.h"

namespace flashsaver::avm2 {
namespace {

constexpr uint32_t kElementNode = 1;
constexpr uint32_t kTextNode = 3;
// Elements nested deeper than this are read as siblings: a hostile document cannot blow the
// stack of the recursive serializer.
constexpr size_t kMaxDepth = 256;

class XmlDomNode : public BoxedObject {
 public:
  using BoxedObject::BoxedObject;
  void Trace(Tracer& tracer) override {
    BoxedObject::Trace(tracer);
    for (Object* c : children) tracer.Mark(c);
    tracer.Mark(attributes);
  }
  std::vector<Object*> children;
  Value attributes;  // made on first use
};

XmlDomNode* AsNode(const Value& v) {
  Object* o = v.AsObject();
  return o && o->kind() == ObjectKind::kBoxed ? dynamic_cast<XmlDomNode*>(o) : nullptr;
}

XmlDomNode* This(Vm& vm, const Value& self) {
  return ThisAs<XmlDomNode>(vm, self, "flash.xml.XMLNode");
}

Value& Var(Vm& vm, Object* o, const char16_t* name) {
  const Trait* t = o->traits() ? o->traits()->FindQ(name, vm.public_ns()) : nullptr;
  if (!t || t->slot >= o->slots().size()) vm.ThrowError(ErrorType::kTypeError, 1009);
  return o->slots()[t->slot];
}

Object* Attributes(Vm& vm, XmlDomNode* n) {
  if (!n->attributes.AsObject()) n->attributes = Value(vm.NewObject());
  return n->attributes.AsObject();
}

// Re-links the children's sibling and parent variables and the node's first/last child.
void Relink(Vm& vm, XmlDomNode* n) {
  auto& c = n->children;
  Var(vm, n, u"firstChild") = c.empty() ? Value::Null() : Value(c.front());
  Var(vm, n, u"lastChild") = c.empty() ? Value::Null() : Value(c.back());
  for (size_t i = 0; i < c.size(); ++i) {
    Var(vm, c[i], u"parentNode") = Value(static_cast<Object*>(n));
    Var(vm, c[i], u"previousSibling") = i > 0 ? Value(c[i - 1]) : Value::Null();
    Var(vm, c[i], u"nextSibling") = i + 1 < c.size() ? Value(c[i + 1]) : Value::Null();
  }
}

XmlDomNode* ParentOf(Vm& vm, XmlDomNode* n) { return AsNode(Var(vm, n, u"parentNode")); }

void Detach(Vm& vm, XmlDomNode* n) {
  if (XmlDomNode* p = ParentOf(vm, n)) {
    std::erase(p->children, n);
    Relink(vm, p);
  }
  Var(vm, n, u"parentNode") = Value::Null();
  Var(vm, n, u"previousSibling") = Value::Null();
  Var(vm, n, u"nextSibling") = Value::Null();
}

bool IsAncestorOrSelf(Vm& vm, XmlDomNode* maybe_ancestor, XmlDomNode* n) {
  for (size_t depth = 0; n && depth < 100000; ++depth, n = ParentOf(vm, n))
    if (n == maybe_ancestor) return true;
  return false;
}

void Insert(Vm& vm, XmlDomNode* parent, XmlDomNode* child, XmlDomNode* before) {
  // A node cannot become its own descendant.
  if (IsAncestorOrSelf(vm, child, parent)) return;
  Detach(vm, child);
  auto& c = parent->children;
  auto it = before ? std::find(c.begin(), c.end(), before) : c.end();
  c.insert(it, child);
  Relink(vm, parent);
}

XmlDomNode* NewNode(Vm& vm, uint32_t type, const Value& text) {
  ClassObject* cls = vm.FindClass("flash.xml::XMLNode");
  Value a[2] = {Value(type), text};
  return AsNode(vm.Construct(Value(static_cast<Object*>(cls)), a));
}

void Serialize(Vm& vm, XmlDomNode* n, std::u16string& out, size_t depth) {
  Value type = Var(vm, n, u"nodeType");
  if (vm.ToUint32(type) != kElementNode) {
    Value v = Var(vm, n, u"nodeValue");
    if (!v.IsNullish()) out += EscapeXmlDom(vm.ToString(v).view());
    return;
  }
  Value name_v = Var(vm, n, u"nodeName");
  bool named = !name_v.IsNullish();
  std::u16string name = named ? vm.ToString(name_v).str() : std::u16string();
  if (named) out += u"<" + name;
  if (Object* attrs = n->attributes.AsObject()) {
    for (const auto& e : attrs->dynamic().entries()) {
      if (e.deleted || !e.enumerable) continue;
      out += u" " + e.key.str() + u"=\"" + EscapeXmlDom(vm.ToString(e.value).view()) + u"\"";
    }
  }
  if (!n->children.empty()) {
    if (named) out += u">";
    if (depth < kMaxDepth)
      for (Object* c : std::vector<Object*>(n->children))
        Serialize(vm, static_cast<XmlDomNode*>(c), out, depth + 1);
    if (named) out += u"</" + name + u">";
  } else if (named) {
    out += u" />";
  }
}

// ---- XMLNode ---------------------------------------------------------------------------------

Object* CreateNode(Vm& vm, ClassObject* cls) {
  return vm.heap().New<XmlDomNode>(cls, cls->prototype);
}

Value NodeInit(Vm& vm, const Value& self, std::span<const Value> args) {
  XmlDomNode* n = This(vm, self);
  uint32_t type = ArgUInt(vm, args, 0);
  Value text = Arg(args, 1);
  Value s = text.IsNullish() ? Value::Null() : Value(vm.ToString(text));
  Var(vm, n, u"nodeType") = Value(type);
  Var(vm, n, type == kElementNode ? u"nodeName" : u"nodeValue") = s;
  return Value();
}

Value GetAttributes(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Attributes(vm, This(vm, self)));
}
Value SetAttributes(Vm& vm, const Value& self, std::span<const Value> args) {
  This(vm, self)->attributes = Arg(args, 0).IsObject() ? Arg(args, 0) : Value();
  return Value();
}
Value GetChildNodes(Vm& vm, const Value& self, std::span<const Value>) {
  XmlDomNode* n = This(vm, self);
  std::vector<Value> v;
  for (Object* c : n->children) v.emplace_back(c);
  return Value(static_cast<Object*>(vm.NewArray(std::move(v))));
}

Str NameOf(Vm& vm, XmlDomNode* n, bool& is_null) {
  Value v = Var(vm, n, u"nodeName");
  is_null = v.IsNullish();
  return is_null ? Str() : vm.ToString(v);
}

Value GetLocalName(Vm& vm, const Value& self, std::span<const Value>) {
  bool null = false;
  Str name = NameOf(vm, This(vm, self), null);
  if (null) return Value::Null();
  size_t colon = name.view().find(u':');
  return colon == std::u16string_view::npos ? Value(name)
                                            : Value(Str(name.str().substr(colon + 1)));
}

Value GetPrefix(Vm& vm, const Value& self, std::span<const Value>) {
  bool null = false;
  Str name = NameOf(vm, This(vm, self), null);
  if (null) return Value::Null();
  size_t colon = name.view().find(u':');
  return colon == std::u16string_view::npos ? Value(Str())
                                            : Value(Str(name.str().substr(0, colon)));
}

// Walks up from n for an xmlns declaration: want_prefix finds the URI of a prefix ("" for the
// default namespace), otherwise the prefix declared for a URI.
Value FindNamespace(Vm& vm, XmlDomNode* n, const Str& key, bool want_uri) {
  for (size_t depth = 0; n && depth < 100000; ++depth, n = ParentOf(vm, n)) {
    Object* attrs = n->attributes.AsObject();
    if (!attrs) continue;
    for (const auto& e : attrs->dynamic().entries()) {
      if (e.deleted) continue;
      std::u16string_view k = e.key.view();
      bool is_default = k == u"xmlns";
      if (!is_default && !k.starts_with(u"xmlns:")) continue;
      std::u16string_view prefix = is_default ? std::u16string_view() : k.substr(6);
      if (want_uri) {
        if (prefix == key.view()) return Value(vm.ToString(e.value));
      } else if (!is_default && vm.ToString(e.value) == key) {
        return Value(Str(std::u16string(prefix)));
      }
    }
  }
  return Value::Null();
}

Value GetNamespaceUri(Vm& vm, const Value& self, std::span<const Value> args) {
  XmlDomNode* n = This(vm, self);
  Value prefix = GetPrefix(vm, self, args);
  if (prefix.IsNull()) return Value::Null();
  return FindNamespace(vm, n, prefix.AsStr(), true);
}
Value GetNamespaceForPrefix(Vm& vm, const Value& self, std::span<const Value> args) {
  return FindNamespace(vm, This(vm, self), ArgString(vm, args, 0), true);
}
Value GetPrefixForNamespace(Vm& vm, const Value& self, std::span<const Value> args) {
  return FindNamespace(vm, This(vm, self), ArgString(vm, args, 0), false);
}

Value HasChildNodes(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(!This(vm, self)->children.empty());
}

XmlDomNode* NodeArg(Vm& vm, std::span<const Value> args, size_t i) {
  Value v = Arg(args, i);
  if (v.IsNullish()) return nullptr;
  XmlDomNode* n = AsNode(v);
  if (!n)
    vm.ThrowError(ErrorType::kTypeError, 1034,
                  {vm.TypeNameForError(v) + "@0", "flash.xml.XMLNode"});
  return n;
}

Value AppendChild(Vm& vm, const Value& self, std::span<const Value> args) {
  XmlDomNode* n = This(vm, self);
  if (XmlDomNode* c = NodeArg(vm, args, 0); c && ParentOf(vm, c) != n) Insert(vm, n, c, nullptr);
  return Value();
}
Value InsertBefore(Vm& vm, const Value& self, std::span<const Value> args) {
  XmlDomNode* n = This(vm, self);
  XmlDomNode* c = NodeArg(vm, args, 0);
  XmlDomNode* before = NodeArg(vm, args, 1);
  if (c && c != before) Insert(vm, n, c, before);
  return Value();
}
Value RemoveNode(Vm& vm, const Value& self, std::span<const Value>) {
  Detach(vm, This(vm, self));
  return Value();
}

XmlDomNode* Clone(Vm& vm, XmlDomNode* n, bool deep, size_t depth) {
  uint32_t type = vm.ToUint32(Var(vm, n, u"nodeType"));
  XmlDomNode* c = NewNode(vm, type, Var(vm, n, type == kElementNode ? u"nodeName" : u"nodeValue"));
  if (Object* attrs = n->attributes.AsObject()) {
    Object* to = Attributes(vm, c);
    for (const auto& e : attrs->dynamic().entries())
      if (!e.deleted) to->dynamic().Set(e.key, e.value);
  }
  if (deep && depth < kMaxDepth) {
    for (Object* child : std::vector<Object*>(n->children))
      c->children.push_back(Clone(vm, static_cast<XmlDomNode*>(child), true, depth + 1));
    Relink(vm, c);
  }
  return c;
}

Value CloneNode(Vm& vm, const Value& self, std::span<const Value> args) {
  return Value(static_cast<Object*>(Clone(vm, This(vm, self), ArgBool(vm, args, 0), 0)));
}

Value NodeToString(Vm& vm, const Value& self, std::span<const Value>) {
  std::u16string out;
  Serialize(vm, This(vm, self), out, 0);
  return Value(Str(std::move(out)));
}

// ---- XMLDocument -----------------------------------------------------------------------------

Value ParseXml(Vm& vm, const Value& self, std::span<const Value> args) {
  XmlDomNode* doc = This(vm, self);
  Str src = ArgString(vm, args, 0, Str(u"null"));
  bool ignore_white = Vm::ToBoolean(Var(vm, doc, u"ignoreWhite"));
  for (Object* c : std::vector<Object*>(doc->children)) Detach(vm, static_cast<XmlDomNode*>(c));
  Value id_map = Var(vm, doc, u"idMap");
  std::vector<XmlDomNode*> open = {doc};
  for (XmlDomEvent& e : ParseXmlDom(src.view())) {
    XmlDomNode* parent = open.back();
    switch (e.kind) {
      case XmlDomEvent::kXmlDecl:
        Var(vm, doc, u"xmlDecl") = Value(Str(std::move(e.text)));
        break;
      case XmlDomEvent::kDocType:
        Var(vm, doc, u"docTypeDecl") = Value(Str(std::move(e.text)));
        break;
      case XmlDomEvent::kText:
        if (!e.cdata && ignore_white && IsXmlDomWhite(e.text)) break;
        parent->children.push_back(NewNode(vm, kTextNode, Value(Str(std::move(e.text)))));
        break;
      case XmlDomEvent::kStart: {
        XmlDomNode* n = NewNode(vm, kElementNode, Value(Str(e.text)));
        Object* attrs = Attributes(vm, n);
        for (auto& [k, v] : e.attributes) {
          attrs->dynamic().Set(Str(k), Value(Str(v)));
          if (k == u"id" && id_map.AsObject()) id_map.AsObject()->dynamic().Set(Str(v), Value(n));
        }
        parent->children.push_back(n);
        if (!e.empty && open.size() < kMaxDepth) open.push_back(n);
        break;
      }
      case XmlDomEvent::kEnd: {
        // Closes the innermost open element of that name; a stray end tag is ignored.
        for (size_t i = open.size(); i-- > 1;) {
          bool null = false;
          if (NameOf(vm, open[i], null) == Str(std::move(e.text))) {
            open.resize(i);
            break;
          }
        }
        break;
      }
    }
  }
  // Links are set once the tree is built.
  std::vector<XmlDomNode*> work = {doc};
  while (!work.empty()) {
    XmlDomNode* n = work.back();
    work.pop_back();
    Relink(vm, n);
    for (Object* c : n->children) work.push_back(static_cast<XmlDomNode*>(c));
  }
  return Value();
}

Value DocInit(Vm& vm, const Value& self, std::span<const Value> args) {
  XmlDomNode* doc = This(vm, self);
  Var(vm, doc, u"nodeType") = Value(kElementNode);
  Var(vm, doc, u"idMap") = Value(vm.NewObject());
  Value src = Arg(args, 0);
  if (!src.IsNullish()) ParseXml(vm, self, args);
  return Value();
}

Value CreateElement(Vm& vm, const Value&, std::span<const Value> args) {
  return Value(static_cast<Object*>(NewNode(vm, kElementNode, Value(ArgString(vm, args, 0)))));
}
Value CreateTextNode(Vm& vm, const Value&, std::span<const Value> args) {
  return Value(static_cast<Object*>(NewNode(vm, kTextNode, Value(ArgString(vm, args, 0)))));
}

Value DocToString(Vm& vm, const Value& self, std::span<const Value> args) {
  XmlDomNode* doc = This(vm, self);
  std::u16string out;
  for (const char16_t* decl : {u"xmlDecl", u"docTypeDecl"}) {
    Value v = Var(vm, doc, decl);
    if (!v.IsNullish()) out += vm.ToString(v).str();
  }
  out += NodeToString(vm, self, args).AsStr().str();
  return Value(Str(std::move(out)));
}

}  // namespace

constexpr const char* kNode = "flash.xml::XMLNode";
constexpr const char* kNodes = "flash.xml::XMLNode,flash.xml::XMLNode";

const NativeClass& XmlNodeClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.xml";
    c.name = "XMLNode";
    c.instance = {Slot("nodeType", Value(uint32_t{0})).Type("uint"),
                  Slot("nodeName", Value::Null()).Type("String"),
                  Slot("nodeValue", Value::Null()).Type("String"),
                  Slot("parentNode", Value::Null()).Type(kNode),
                  Slot("firstChild", Value::Null()).Type(kNode),
                  Slot("lastChild", Value::Null()).Type(kNode),
                  Slot("previousSibling", Value::Null()).Type(kNode),
                  Slot("nextSibling", Value::Null()).Type(kNode),
                  Getter("attributes", GetAttributes).Type("Object"),
                  Setter("attributes", SetAttributes).Params("Object"),
                  Getter("childNodes", GetChildNodes).Type("Array"),
                  Getter("localName", GetLocalName).Type("String"),
                  Getter("prefix", GetPrefix).Type("String"),
                  Getter("namespaceURI", GetNamespaceUri).Type("String"),
                  Method("getNamespaceForPrefix", GetNamespaceForPrefix, 1)
                      .Needs(1)
                      .Type("String")
                      .Params("String"),
                  Method("getPrefixForNamespace", GetPrefixForNamespace, 1)
                      .Needs(1)
                      .Type("String")
                      .Params("String"),
                  Method("hasChildNodes", HasChildNodes).Type("Boolean"),
                  Method("appendChild", AppendChild, 1).Needs(1).Type("void").Params(kNode),
                  Method("insertBefore", InsertBefore, 2).Needs(2).Type("void").Params(kNodes),
                  Method("removeNode", RemoveNode).Type("void"),
                  Method("cloneNode", CloneNode, 1).Needs(1).Type(kNode).Params("Boolean"),
                  Method("toString", NodeToString).Type("String")};
    c.constructor = NodeInit;
    c.constructor_length = 2;
    c.constructor_params = "uint,String";
    c.create = CreateNode;
    return c;
  }();
  return spec;
}

const NativeClass& XmlDocumentClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.xml";
    c.name = "XMLDocument";
    c.super_name = "flash.xml::XMLNode";
    c.instance = {Slot("ignoreWhite", Value(false)).Type("Boolean"),
                  Slot("xmlDecl", Value::Null()).Type("Object"),
                  Slot("docTypeDecl", Value::Null()).Type("Object"),
                  Slot("idMap", Value::Null()).Type("Object"),
                  Method("parseXML", ParseXml, 1).Needs(1).Type("void").Params("String"),
                  Method("createElement", CreateElement, 1).Needs(1).Type(kNode).Params("String"),
                  Method("createTextNode", CreateTextNode, 1).Needs(1).Type(kNode).Params("String"),
                  Method("toString", DocToString).Type("String")};
    c.constructor = DocInit;
    c.constructor_length = 0;
    c.constructor_params = "String?";
    return c;
  }();
  return spec;
}

const NativeClass& XmlNodeTypeClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.xml";
    c.name = "XMLNodeType";
    c.flags = class_flag::kFinal;
    c.statics = {Const("ELEMENT_NODE", Value(uint32_t{1})),
                 Const("TEXT_NODE", Value(uint32_t{3})),
                 Const("CDATA_NODE", Value(uint32_t{4})),
                 Const("PROCESSING_INSTRUCTION_NODE", Value(uint32_t{7})),
                 Const("COMMENT_NODE", Value(uint32_t{8})),
                 Const("DOCUMENT_TYPE_NODE", Value(uint32_t{10})),
                 Const("XML_DECLARATION", Value(uint32_t{13}))};
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
