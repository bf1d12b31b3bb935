// XMLNode: nodes of an XML tree with their navigation properties (read through getters, as the
// player exposes them), editing methods and serialization.
#include "player/avm1/builtins/xml_node.h"

#include "player/avm1/builtins/builtins.h"
#include "player/avm1/heap.h"

namespace flashsaver::avm1 {

void XmlNode::Trace(Tracer& tracer) {
  Object::Trace(tracer);
  tracer.Mark(parent);
  for (XmlNode* c : children) tracer.Mark(c);
  tracer.Mark(attributes);
  tracer.Mark(child_array);
}

XmlNode* AsXmlNode(Object* o) { return o ? dynamic_cast<XmlNode*>(o) : nullptr; }
XmlNode* AsXmlNode(const Value& v) { return AsXmlNode(v.AsObject()); }

XmlNode* NewXmlNode(Vm& vm, Object* proto, int type, std::string text, bool has_text) {
  auto* n = vm.New<XmlNode>();
  n->Define("__proto__", proto, prop_flag::kDontEnum);
  n->type = type;
  n->text = std::move(text);
  n->has_text = has_text;
  n->attributes = vm.NewObject();
  n->child_array = vm.NewArray();
  return n;
}

namespace {

void RefreshChildArray(Vm& vm, XmlNode* n) {
  Object* a = n->child_array;
  uint32_t old = vm.ArrayLength(a);
  for (uint32_t i = 0; i < n->children.size(); ++i) vm.SetIndex(a, i, n->children[i]);
  for (uint32_t i = static_cast<uint32_t>(n->children.size()); i < old; ++i) {
    vm.DeleteMember(a, std::to_string(i));
  }
  vm.SetArrayLength(a, static_cast<uint32_t>(n->children.size()));
}

void Detach(Vm& vm, XmlNode* child) {
  XmlNode* p = child->parent;
  if (!p) return;
  std::erase(p->children, child);
  child->parent = nullptr;
  RefreshChildArray(vm, p);
}

// Whether `node` is `of` or one of its ancestors: a node cannot be moved into itself.
bool IsAncestorOrSelf(XmlNode* node, XmlNode* of) {
  for (XmlNode* p = of; p; p = p->parent) {
    if (p == node) return true;
  }
  return false;
}

XmlNode* This(const CallArgs& c) { return AsXmlNode(c.this_obj); }

Value NodeOrNull(XmlNode* n) { return n ? Value(static_cast<Object*>(n)) : Value::Null(); }

XmlNode* Sibling(XmlNode* n, int step) {
  if (!n || !n->parent) return nullptr;
  auto& s = n->parent->children;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != n) continue;
    if (step < 0) return i > 0 ? s[i - 1] : nullptr;
    return i + 1 < s.size() ? s[i + 1] : nullptr;
  }
  return nullptr;
}

std::string Prefix(const XmlNode* n) {
  size_t colon = n->text.find(':');
  return colon == std::string::npos ? std::string() : n->text.substr(0, colon);
}

std::string LocalName(const XmlNode* n) {
  size_t colon = n->text.find(':');
  return colon == std::string::npos ? n->text : n->text.substr(colon + 1);
}

// The namespace a prefix names for this node: the nearest xmlns[:prefix] attribute upwards.
Value NamespaceFor(Vm& vm, XmlNode* n, const std::string& prefix) {
  std::string attr = prefix.empty() ? "xmlns" : "xmlns:" + prefix;
  for (XmlNode* p = n; p; p = p->parent) {
    if (p->attributes && p->attributes->FindOwn(attr, vm.case_sensitive())) {
      return vm.ToString(vm.GetMember(p->attributes, attr));
    }
  }
  return Value::Null();
}

Value GetNodeType(Vm&, const CallArgs& c) {
  XmlNode* n = This(c);
  return n ? Value(static_cast<double>(n->type)) : Value();
}
Value GetNodeName(Vm&, const CallArgs& c) {
  XmlNode* n = This(c);
  if (!n) return Value();
  return n->type == 1 && n->has_text ? Value(n->text) : Value::Null();
}
Value SetNodeName(Vm& vm, const CallArgs& c) {
  // Writing undefined leaves the name as it was (xml_to_string).
  if (XmlNode* n = This(c); n && n->type == 1 && !c.Arg(0).IsUndefined()) {
    n->has_text = !c.Arg(0).IsNullish();
    n->text = n->has_text ? vm.ToString(c.Arg(0)) : std::string();
  }
  return Value();
}
Value GetNodeValue(Vm&, const CallArgs& c) {
  XmlNode* n = This(c);
  if (!n) return Value();
  return n->type != 1 && n->has_text ? Value(n->text) : Value::Null();
}
Value SetNodeValue(Vm& vm, const CallArgs& c) {
  if (XmlNode* n = This(c); n && n->type != 1) {
    n->has_text = !c.Arg(0).IsNullish();
    n->text = n->has_text ? vm.ToString(c.Arg(0)) : std::string();
  }
  return Value();
}
Value GetAttributes(Vm&, const CallArgs& c) {
  XmlNode* n = This(c);
  return n ? Value(n->attributes) : Value();
}
Value SetAttributes(Vm&, const CallArgs& c) {
  XmlNode* n = This(c);
  if (n && c.Arg(0).IsObject()) n->attributes = c.Arg(0).AsObject();
  return Value();
}
Value GetChildNodes(Vm&, const CallArgs& c) {
  XmlNode* n = This(c);
  return n ? Value(n->child_array) : Value();
}
Value GetParentNode(Vm&, const CallArgs& c) {
  XmlNode* n = This(c);
  return n ? NodeOrNull(n->parent) : Value();
}
Value GetFirstChild(Vm&, const CallArgs& c) {
  XmlNode* n = This(c);
  if (!n) return Value();
  return NodeOrNull(n->children.empty() ? nullptr : n->children.front());
}
Value GetLastChild(Vm&, const CallArgs& c) {
  XmlNode* n = This(c);
  if (!n) return Value();
  return NodeOrNull(n->children.empty() ? nullptr : n->children.back());
}
Value GetNextSibling(Vm&, const CallArgs& c) {
  XmlNode* n = This(c);
  return n ? NodeOrNull(Sibling(n, 1)) : Value();
}
Value GetPreviousSibling(Vm&, const CallArgs& c) {
  XmlNode* n = This(c);
  return n ? NodeOrNull(Sibling(n, -1)) : Value();
}
Value GetPrefix(Vm&, const CallArgs& c) {
  XmlNode* n = This(c);
  if (!n) return Value();
  return n->type == 1 && n->has_text ? Value(Prefix(n)) : Value::Null();
}
Value GetLocalName(Vm&, const CallArgs& c) {
  XmlNode* n = This(c);
  if (!n) return Value();
  return n->type == 1 && n->has_text ? Value(LocalName(n)) : Value::Null();
}
Value GetNamespaceUri(Vm& vm, const CallArgs& c) {
  XmlNode* n = This(c);
  if (!n) return Value();
  if (n->type != 1 || !n->has_text) return Value::Null();
  Value ns = NamespaceFor(vm, n, Prefix(n));
  return ns.IsNull() ? Value("") : ns;
}

Value GetNamespaceForPrefix(Vm& vm, const CallArgs& c) {
  XmlNode* n = This(c);
  if (!n) return Value();
  return NamespaceFor(vm, n, vm.ToString(c.Arg(0)));
}

Value GetPrefixForNamespace(Vm& vm, const CallArgs& c) {
  XmlNode* n = This(c);
  if (!n) return Value();
  std::string uri = vm.ToString(c.Arg(0));
  for (XmlNode* p = n; p; p = p->parent) {
    Value found = Value::Null();
    p->attributes->ForEachOwn([&](Property& prop) {
      if (!found.IsNull() || prop.name.rfind("xmlns", 0) != 0) return;
      if (vm.ToString(prop.value) != uri) return;
      if (prop.name == "xmlns") found = Value("");
      if (prop.name.size() > 6 && prop.name[5] == ':') found = Value(prop.name.substr(6));
    });
    if (!found.IsNull()) return found;
  }
  return Value::Null();
}

Value AppendChild(Vm& vm, const CallArgs& c) {
  XmlNode* n = This(c);
  XmlNode* child = AsXmlNode(c.Arg(0));
  // A node that is a child already stays where it is (xml_append_child_with_parent).
  if (n && child && child->parent != n && !IsAncestorOrSelf(child, n)) XmlAppend(vm, n, child);
  return Value();
}

Value InsertBefore(Vm& vm, const CallArgs& c) {
  XmlNode* n = This(c);
  XmlNode* child = AsXmlNode(c.Arg(0));
  XmlNode* before = AsXmlNode(c.Arg(1));
  if (!n || !child || !before || child == before || before->parent != n) return Value();
  if (child->parent == n) return Value();  // as appendChild: siblings are not reordered
  if (IsAncestorOrSelf(child, n)) return Value();
  Detach(vm, child);
  auto it = std::find(n->children.begin(), n->children.end(), before);
  n->children.insert(it, child);
  child->parent = n;
  RefreshChildArray(vm, n);
  return Value();
}

Value RemoveNode(Vm& vm, const CallArgs& c) {
  if (XmlNode* n = This(c)) Detach(vm, n);
  return Value();
}

Value HasChildNodes(Vm&, const CallArgs& c) {
  XmlNode* n = This(c);
  return n ? Value(!n->children.empty()) : Value();
}

XmlNode* Clone(Vm& vm, XmlNode* n, bool deep) {
  auto* copy =
      NewXmlNode(vm, n->proto() ? n->proto() : vm.xml_node_proto, n->type, n->text, n->has_text);
  n->attributes->ForEachOwn([&](Property& p) {
    if (!p.virtual_property) copy->attributes->SetOwn(p.name, p.value, true);
  });
  if (deep) {
    for (XmlNode* child : n->children) XmlAppend(vm, copy, Clone(vm, child, true));
  }
  return copy;
}

Value CloneNode(Vm& vm, const CallArgs& c) {
  XmlNode* n = This(c);
  if (!n) return Value();
  return static_cast<Object*>(Clone(vm, n, vm.ToBool(c.Arg(0))));
}

Value ToStringMethod(Vm& vm, const CallArgs& c) {
  XmlNode* n = This(c);
  if (!n) return "";
  std::string out;
  XmlSerialize(vm, n, out);
  return out;
}

Value ConstructNode(Vm& vm, const CallArgs& c) {
  int type = c.args.empty() ? 1 : vm.ToInt(c.Arg(0));
  bool has_text = c.args.size() > 1 && !c.Arg(1).IsNullish();
  std::string text = has_text ? vm.ToString(c.Arg(1)) : std::string();
  Object* proto = vm.GetMember(c.callee, "prototype").AsObject();
  return static_cast<Object*>(
      NewXmlNode(vm, proto ? proto : vm.xml_node_proto, type, text, has_text));
}

void Getter(Vm& vm, Object* proto, std::string_view name, NativeFn get, NativeFn set = nullptr) {
  Property& p = proto->SetOwn(name, Value(), true);
  p.virtual_property = true;
  p.getter = vm.NewNative(get);
  p.setter = set ? vm.NewNative(set) : nullptr;
  p.flags = prop_flag::kDontEnum | prop_flag::kDontDelete;
}

}  // namespace

void XmlAppend(Vm& vm, XmlNode* parent, XmlNode* child) {
  Detach(vm, child);
  parent->children.push_back(child);
  child->parent = parent;
  RefreshChildArray(vm, parent);
}

void XmlRemoveChildren(Vm& vm, XmlNode* node) {
  for (XmlNode* c : node->children) c->parent = nullptr;
  node->children.clear();
  RefreshChildArray(vm, node);
}

std::string XmlEscape(std::string_view s) {
  std::string out;
  for (char ch : s) {
    switch (ch) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += ch;
    }
  }
  return out;
}

void XmlSerialize(Vm& vm, XmlNode* node, std::string& out) {
  // Iterative over (node, closing) pairs: a deep tree must not exhaust the native stack.
  std::vector<std::pair<XmlNode*, bool>> work{{node, false}};
  while (!work.empty()) {
    auto [n, closing] = work.back();
    work.pop_back();
    if (n->type != 1) {
      if (n->has_text) out += XmlEscape(n->text);
      continue;
    }
    if (closing) {
      out += "</" + n->text + ">";
      continue;
    }
    if (n->has_text) {
      out += "<" + n->text;
      // The player writes the attributes in the order for..in lists them.
      std::vector<std::string> names = vm.EnumerableNames(n->attributes);
      for (const std::string& a : names) {
        out += " " + a + "=\"" + XmlEscape(vm.ToString(vm.GetMember(n->attributes, a))) + "\"";
      }
      if (n->children.empty()) {
        out += " />";
        continue;
      }
      out += ">";
      work.push_back({n, true});
    }
    for (size_t i = n->children.size(); i-- > 0;) work.push_back({n->children[i], false});
  }
}

void InstallXmlNode(Vm& vm) {
  Object* proto = vm.NewObject();
  vm.xml_node_proto = proto;
  Getter(vm, proto, "nodeType", GetNodeType);
  Getter(vm, proto, "nodeName", GetNodeName, SetNodeName);
  Getter(vm, proto, "nodeValue", GetNodeValue, SetNodeValue);
  Getter(vm, proto, "attributes", GetAttributes, SetAttributes);
  Getter(vm, proto, "childNodes", GetChildNodes);
  Getter(vm, proto, "parentNode", GetParentNode);
  Getter(vm, proto, "firstChild", GetFirstChild);
  Getter(vm, proto, "lastChild", GetLastChild);
  Getter(vm, proto, "nextSibling", GetNextSibling);
  Getter(vm, proto, "previousSibling", GetPreviousSibling);
  Getter(vm, proto, "prefix", GetPrefix);
  Getter(vm, proto, "localName", GetLocalName);
  Getter(vm, proto, "namespaceURI", GetNamespaceUri);
  vm.DefineMethod(proto, "appendChild", AppendChild);
  vm.DefineMethod(proto, "insertBefore", InsertBefore);
  vm.DefineMethod(proto, "removeNode", RemoveNode);
  vm.DefineMethod(proto, "hasChildNodes", HasChildNodes);
  vm.DefineMethod(proto, "cloneNode", CloneNode);
  vm.DefineMethod(proto, "toString", ToStringMethod);
  vm.DefineMethod(proto, "getNamespaceForPrefix", GetNamespaceForPrefix);
  vm.DefineMethod(proto, "getPrefixForNamespace", GetPrefixForNamespace);
  vm.DefineClass("XMLNode", ConstructNode, ConstructNode, proto);
}

}  // namespace flashsaver::avm1
