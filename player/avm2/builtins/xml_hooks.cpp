// E4X's part of the machine's generic operations on XML and XMLList values.
#include <algorithm>

#include "player/avm2/builtins/xml_support.h"
#include "player/avm2/vm.h"
#include "player/avm2/xml_writer.h"

namespace flashsaver::avm2 {
namespace {

const XmlSettings& Settings(Vm& vm) { return XmlStateOf(vm).settings; }

// A list's nodes after ResolveValue: an empty list read from a missing name gets that name
// created in its target (x.a.b = 1 when x has no a). Null when it can't be resolved.
XmlListObject* Resolve(Vm& vm, XmlListObject* list, int depth = 0) {
  if (!list->nodes.empty()) return list;
  if (depth > 64 || list->target_object.IsUndefined() || !list->target_property ||
      list->target_property->attribute || list->target_property->any_local)
    return nullptr;
  XmlNode::Ptr base;
  if (XmlObject* x = AsXml(list->target_object)) {
    base = x->node;
  } else if (XmlListObject* outer = AsXmlList(list->target_object)) {
    XmlListObject* resolved = Resolve(vm, outer, depth + 1);
    if (!resolved || resolved->nodes.empty()) return nullptr;
    // Flash creates the missing property by assigning to the base list, which fails when
    // the list holds more than one item.
    if (resolved->nodes.size() > 1) ThrowXmlError(vm, MakeXmlError(1089));
    base = resolved->nodes[0];
  }
  if (!base) return nullptr;
  XmlNodes found = XmlGet(*base, *list->target_property);
  if (found.empty()) {
    CheckXml(vm, XmlPut(*base, *list->target_property, XmlValue{}, Settings(vm)));
    found = XmlGet(*base, *list->target_property);
  }
  list->nodes = std::move(found);
  return list;
}

XmlQuery QueryForName(const XmlNode& node) {
  XmlQuery q;
  q.attribute = node.kind() == XmlKind::kAttribute;
  q.local = node.name()->local;
  q.any_ns = false;
  q.uris = {node.name()->ns.uri};
  q.create_ns = node.name()->ns;
  return q;
}

// Flash takes a filled list's target from its last node: that node's parent, and its name
// (so appending to x.* makes an element named like the last child).
void FixTarget(Vm& vm, XmlListObject* list) {
  if (list->nodes.empty()) return;
  const XmlNode& last = *list->nodes.back();
  if (XmlNode::Ptr parent = last.parent()) {
    XmlObject* target = AsXml(list->target_object);
    if (!target || target->node != parent) list->target_object = NewXml(vm, parent);
  } else {
    list->target_object = Value::Null();
  }
  if (last.kind() != XmlKind::kProcessingInstruction && last.name())
    list->target_property = QueryForName(last);
}

}  // namespace

void XmlListPutIndex(Vm& vm, XmlListObject* list, uint32_t i, const Value& v) {
  const XmlSettings& settings = Settings(vm);
  FixTarget(vm, list);
  XmlNode::Ptr r;
  if (!list->target_object.IsNullish()) {
    if (XmlObject* x = AsXml(list->target_object)) r = x->node;
    if (XmlListObject* t = AsXmlList(list->target_object)) {
      XmlListObject* resolved = Resolve(vm, t);
      if (!resolved) return;
      if (i >= list->nodes.size()) {
        if (resolved->nodes.size() != 1) return;
        r = resolved->nodes[0];
      }
    }
  }
  XmlObject* v_xml = AsXml(v);
  if (i >= list->nodes.size()) {
    if (r && !r->IsElement()) return;
    const auto& prop = list->target_property;
    XmlNode::Ptr y;
    if (prop && prop->attribute) {
      // The attribute is made by the assignment below, through its element.
      if (!r || XmlHas(*r, *prop)) return;
      CheckXml(vm, XmlPut(*r, *prop, ToXmlValue(vm, v), settings));
      XmlNodes attrs = XmlGet(*r, *prop);
      if (!attrs.empty()) list->nodes.push_back(attrs[0]);
      return;
    }
    bool text_value = v_xml && (v_xml->node->kind() == XmlKind::kAttribute ||
                                v_xml->node->kind() == XmlKind::kText);
    if (!prop || prop->any_local || text_value) {
      y = XmlNode::Create(XmlKind::kText);
    } else {
      y = XmlNode::CreateElement(XmlName{prop->local, prop->create_ns.value_or(XmlNamespace{})});
    }
    if (r) {
      size_t at = r->children().size();
      if (!list->nodes.empty()) {
        size_t j = 0;
        while (j + 1 < r->children().size() && r->children()[j] != list->nodes.back()) ++j;
        at = j + 1;
      }
      r->InsertChild(at, y);
    }
    if (v_xml && v_xml->node->name() && y->IsElement()) y->set_name(v_xml->node->name());
    if (XmlListObject* vl = AsXmlList(v);
        vl && y->IsElement() && vl->target_property && !vl->target_property->any_local) {
      const XmlQuery& q = *vl->target_property;
      y->set_name(XmlName{q.local, q.create_ns.value_or(NamespaceForUri(u""))});
    }
    list->nodes.push_back(y);
    i = static_cast<uint32_t>(list->nodes.size() - 1);
  }
  XmlNode::Ptr item = list->nodes[i];
  XmlValue value = ToXmlValue(vm, v);
  if (value.kind != XmlValue::Kind::kText && value.nodes.size() == 1 &&
      (value.nodes[0]->kind() == XmlKind::kText || value.nodes[0]->kind() == XmlKind::kAttribute))
    value = XmlValue{XmlValue::Kind::kText, XmlToString(*value.nodes[0], settings), {}};
  XmlNode::Ptr parent = item->parent();
  if (item->kind() == XmlKind::kAttribute) {
    if (!parent || !item->name()) return;
    XmlQuery q = QueryForName(*item);
    CheckXml(vm, XmlPut(*parent, q, value, settings));
    XmlNodes attrs = XmlGet(*parent, q);
    if (!attrs.empty()) list->nodes[i] = attrs[0];
    return;
  }
  if (value.kind == XmlValue::Kind::kList) {
    if (parent) {
      int32_t at = item->ChildIndex();
      if (at >= 0) CheckXml(vm, XmlReplace(*parent, static_cast<size_t>(at), value, settings));
    }
    list->nodes.erase(list->nodes.begin() + i);
    list->nodes.insert(list->nodes.begin() + i, value.nodes.begin(), value.nodes.end());
    return;
  }
  if (value.kind == XmlValue::Kind::kNode || !item->IsElement()) {
    if (parent) {
      int32_t at = item->ChildIndex();
      if (at >= 0) {
        CheckXml(vm, XmlReplace(*parent, static_cast<size_t>(at), value, settings));
        list->nodes[i] = parent->children()[static_cast<size_t>(at)];
        return;
      }
    }
    // Every item of a list is XML: text is read as XML.
    list->nodes[i] = value.kind == XmlValue::Kind::kNode ? value.nodes[0]
                                                         : ToXmlNode(vm, Value(Str(value.text)));
    return;
  }
  XmlQuery any;
  any.any_local = true;
  CheckXml(vm, XmlPut(*item, any, value, settings));
}

namespace {

bool IsIndexName(const Name& name, uint32_t& index) {
  if (name.attribute || name.any_name) return false;
  int64_t i = Vm::ArrayIndex(name.local.view());
  if (i < 0) return false;
  index = static_cast<uint32_t>(i);
  return true;
}

}  // namespace

bool XmlGetProperty(Vm& vm, const Value& obj, const Name& name, Value& out) {
  uint32_t index = 0;
  // x.AS3::name is the method; every other name is looked up in the tree.
  if (IsXmlOrList(obj) && name.set.size() == 1 && name.set[0] == vm.as3_ns()) {
    if (const Trait* t = obj.AsObject()->traits() ? obj.AsObject()->traits()->Find(name) : nullptr;
        t && t->type == TraitType::kMethod) {
      out = Value(static_cast<Object*>(vm.BindMethod(t->method, obj)));
      return true;
    }
  }
  if (XmlObject* x = AsXml(obj)) {
    if (IsIndexName(name, index)) {
      out = index == 0 ? obj : Value();
      return true;
    }
    XmlQuery q = QueryFromName(vm, name);
    out = ListValue(NewXmlList(vm, XmlGet(*x->node, q), obj, q));
    return true;
  }
  XmlListObject* list = AsXmlList(obj);
  if (!list) return false;
  if (IsIndexName(name, index)) {
    out = index < list->nodes.size() ? NewXml(vm, list->nodes[index]) : Value();
    return true;
  }
  XmlQuery q = QueryFromName(vm, name);
  XmlNodes found;
  for (const auto& node : list->nodes) {
    if (!node->IsElement()) continue;
    XmlNodes part = XmlGet(*node, q);
    found.insert(found.end(), part.begin(), part.end());
  }
  out = ListValue(NewXmlList(vm, std::move(found), obj, q));
  return true;
}

bool XmlSetProperty(Vm& vm, const Value& obj, const Name& name, const Value& v) {
  uint32_t index = 0;
  if (XmlObject* x = AsXml(obj)) {
    CheckXml(vm, XmlPut(*x->node, QueryFromName(vm, name), ToXmlValue(vm, v), Settings(vm)));
    return true;
  }
  XmlListObject* list = AsXmlList(obj);
  if (!list) return false;
  if (IsIndexName(name, index)) {
    XmlListPutIndex(vm, list, index, v);
    return true;
  }
  if (list->nodes.size() > 1) ThrowXmlError(vm, MakeXmlError(1089));
  if (list->nodes.empty()) {
    XmlListObject* r = Resolve(vm, list);
    if (!r || r->nodes.size() != 1) return true;
  }
  CheckXml(vm, XmlPut(*list->nodes[0], QueryFromName(vm, name), ToXmlValue(vm, v), Settings(vm)));
  return true;
}

namespace {

// Whether the name is one of the methods XML and XMLList objects have: `in` counts them.
bool HasMethod(const Value& obj, const Name& name) {
  Object* o = obj.AsObject();
  if (o->traits() && o->traits()->Find(name)) return true;
  for (Object* p = o->proto(); p && name.IsPublic(); p = p->proto())
    if (p->dynamic().Find(name.local.view())) return true;
  return false;
}

}  // namespace

bool XmlHasProperty(Vm& vm, const Value& obj, const Name& name, bool& out) {
  if (!IsXmlOrList(obj)) return false;
  if (!XmlHasOwn(vm, obj, name, out) || !out) out = HasMethod(obj, name);
  return true;
}

bool XmlHasOwn(Vm& vm, const Value& obj, const Name& name, bool& out) {
  uint32_t index = 0;
  if (XmlObject* x = AsXml(obj)) {
    out = IsIndexName(name, index) ? index == 0 : XmlHas(*x->node, QueryFromName(vm, name));
    return true;
  }
  XmlListObject* list = AsXmlList(obj);
  if (!list) return false;
  if (IsIndexName(name, index)) {
    out = index < list->nodes.size();
    return true;
  }
  XmlQuery q = QueryFromName(vm, name);
  out = std::any_of(list->nodes.begin(), list->nodes.end(),
                    [&](const auto& n) { return n->IsElement() && XmlHas(*n, q); });
  return true;
}

bool XmlDeleteProperty(Vm& vm, const Value& obj, const Name& name, bool& out) {
  uint32_t index = 0;
  out = true;
  if (XmlObject* x = AsXml(obj)) {
    if (!IsIndexName(name, index)) XmlDelete(*x->node, QueryFromName(vm, name));
    return true;
  }
  XmlListObject* list = AsXmlList(obj);
  if (!list) return false;
  if (IsIndexName(name, index)) {
    if (index < list->nodes.size()) {
      XmlNode::Ptr node = list->nodes[index];
      if (XmlNode::Ptr parent = node->parent()) {
        if (node->kind() == XmlKind::kAttribute) {
          const auto& attrs = parent->attributes();
          auto it = std::find(attrs.begin(), attrs.end(), node);
          if (it != attrs.end()) parent->RemoveAttribute(static_cast<size_t>(it - attrs.begin()));
        } else if (int32_t at = node->ChildIndex(); at >= 0) {
          parent->RemoveChild(static_cast<size_t>(at));
        }
      }
      list->nodes.erase(list->nodes.begin() + index);
    }
    return true;
  }
  XmlQuery q = QueryFromName(vm, name);
  for (const auto& node : list->nodes)
    if (node->IsElement()) XmlDelete(*node, q);
  return true;
}

bool XmlCallProperty(Vm& vm, const Value& obj, const Name& name, std::span<const Value> args,
                     Value& out) {
  if (!IsXmlOrList(obj)) return false;
  Object* o = obj.AsObject();
  // Methods first: the class's traits, then functions on the prototype chain.
  if (o->traits()) {
    if (const Trait* t = o->traits()->Find(name); t && t->type == TraitType::kMethod) {
      out = vm.Invoke(t->method, obj, args, nullptr, nullptr);
      return true;
    }
  }
  if (name.IsPublic() || name.any_ns) {
    for (Object* p = o->proto(); p; p = p->proto()) {
      if (Value* f = p->dynamic().Find(name.local.view())) {
        out = vm.Call(*f, obj, args);
        return true;
      }
    }
  }
  Value f;
  XmlGetProperty(vm, obj, name, f);
  // A name that finds nothing on simple content is a String method: x.a.toUpperCase().
  XmlListObject* found = AsXmlList(f);
  bool simple = AsXml(obj) ? AsXml(obj)->node->HasSimpleContent()
                           : XmlListHasSimpleContent(AsXmlList(obj)->nodes);
  if (found && found->nodes.empty() && simple) {
    Value text = Value(vm.ToString(obj));
    if (!vm.HasProperty(text, name))
      vm.ThrowError(ErrorType::kTypeError, 1006, {name.local.ToUtf8()});
    out = vm.CallProperty(text, name, args);
    return true;
  }
  if (!f.AsObject() || f.AsObject()->kind() != ObjectKind::kFunction)
    vm.ThrowError(ErrorType::kTypeError, 1006, {name.local.ToUtf8()});
  out = vm.Call(f, obj, args);
  return true;
}

Value XmlDescendants(Vm& vm, const Value& obj, const Name& name) {
  XmlQuery q = QueryFromName(vm, name);
  if (XmlObject* x = AsXml(obj)) return ListValue(NewXmlList(vm, XmlDescendants(*x->node, q)));
  XmlListObject* list = AsXmlList(obj);
  if (!list) vm.ThrowError(ErrorType::kTypeError, 1016, {vm.TypeNameForError(obj)});
  XmlNodes found;
  for (const auto& node : list->nodes) {
    if (!node->IsElement()) continue;
    XmlNodes part = XmlDescendants(*node, q);
    found.insert(found.end(), part.begin(), part.end());
  }
  return ListValue(NewXmlList(vm, std::move(found)));
}

bool XmlStrictEquals(const Value& a, const Value& b, bool& out) {
  XmlObject* x = AsXml(a);
  XmlObject* y = AsXml(b);
  if (!x || !y) return false;
  out = x->node == y->node;
  return true;
}

bool XmlLooseEquals(Vm& vm, const Value& a, const Value& b, bool& out) {
  XmlListObject* la = AsXmlList(a);
  XmlListObject* lb = AsXmlList(b);
  if (la || lb) {
    XmlListObject* list = la ? la : lb;
    const Value& other = la ? b : a;
    if (XmlListObject* other_list = AsXmlList(other)) {
      out = list->nodes.size() == other_list->nodes.size();
      for (size_t i = 0; out && i < list->nodes.size(); ++i) {
        bool same = false;
        XmlLooseEquals(vm, NewXml(vm, list->nodes[i]), NewXml(vm, other_list->nodes[i]), same);
        out = same;
      }
      return true;
    }
    if (list->nodes.empty()) {
      out = other.IsUndefined();
      return true;
    }
    if (list->nodes.size() == 1) {
      out = vm.LooseEquals(NewXml(vm, list->nodes[0]), other);
      return true;
    }
    out = false;
    return true;
  }
  XmlObject* x = AsXml(a);
  XmlObject* y = AsXml(b);
  if (!x && !y) return false;
  if (x && y) {
    bool simple = x->node->HasSimpleContent() && y->node->HasSimpleContent();
    out = simple ? XmlToString(*x->node, Settings(vm)) == XmlToString(*y->node, Settings(vm))
                 : x->node->Equals(*y->node);
    return true;
  }
  XmlObject* xml = x ? x : y;
  const Value& other = x ? b : a;
  if (other.IsNullish()) {
    out = false;
    return true;
  }
  if (xml->node->HasSimpleContent()) {
    out = vm.LooseEquals(Value(Str(XmlToString(*xml->node, Settings(vm)))), other);
  } else {
    out = other.IsObject() ? false : vm.LooseEquals(Value(vm.ToString(Value(xml))), other);
  }
  return true;
}

bool XmlToPrimitive(Vm& vm, const Value& v, Value& out) {
  if (XmlObject* x = AsXml(v)) {
    out = Value(Str(XmlToString(*x->node, Settings(vm))));
    return true;
  }
  XmlListObject* list = AsXmlList(v);
  if (!list) return false;
  out = Value(Str(XmlListToString(list->nodes, Settings(vm))));
  return true;
}

bool XmlAdd(Vm& vm, const Value& a, const Value& b, Value& out) {
  if (!IsXmlOrList(a) || !IsXmlOrList(b)) return false;
  XmlNodes nodes = ToXmlList(vm, a)->nodes;
  const XmlNodes& more = ToXmlList(vm, b)->nodes;
  nodes.insert(nodes.end(), more.begin(), more.end());
  out = ListValue(NewXmlList(vm, std::move(nodes)));
  return true;
}

bool XmlNextIndex(const Value& obj, uint32_t index, uint32_t& next) {
  if (AsXml(obj)) {
    next = index == 0 ? 1 : 0;
    return true;
  }
  XmlListObject* list = AsXmlList(obj);
  if (!list) return false;
  next = index < list->nodes.size() ? index + 1 : 0;
  return true;
}

bool XmlNextName(const Value& obj, uint32_t index, Value& out) {
  if (!IsXmlOrList(obj)) return false;
  out = Value(Str(Utf8ToUtf16(std::to_string(index - 1))));
  return true;
}

bool XmlNextValue(Vm& vm, const Value& obj, uint32_t index, Value& out) {
  if (AsXml(obj)) {
    out = index == 1 ? obj : Value();
    return true;
  }
  XmlListObject* list = AsXmlList(obj);
  if (!list) return false;
  out = index >= 1 && index <= list->nodes.size() ? NewXml(vm, list->nodes[index - 1]) : Value();
  return true;
}

Value XmlEscapeForLiteral(Vm& vm, const Value& v, bool attribute) {
  const XmlSettings& settings = Settings(vm);
  if (XmlObject* x = AsXml(v)) return Value(Str(XmlToXmlString(*x->node, settings)));
  if (XmlListObject* list = AsXmlList(v))
    return Value(Str(XmlListToXmlString(list->nodes, settings)));
  std::u16string text = vm.ToString(v).str();
  if (attribute) return Value(Str(EscapeXmlAttribute(text)));
  // Element content: numbers, booleans, null and undefined as they print; other text escaped
  // with its surrounding whitespace dropped.
  if (!v.IsString() && !v.IsObject()) return Value(Str(std::move(text)));
  return Value(Str(EscapeXmlText(TrimXmlSpace(text))));
}

}  // namespace flashsaver::avm2
