#include "player/avm2/builtins/xml_support.h"

#include "player/avm2/heap.h"
#include "player/avm2/vm.h"
#include "player/avm2/xml_parser.h"
#include "player/avm2/xml_writer.h"

namespace flashsaver::avm2 {
namespace {

// Holds the E4X state; kept on the XML class object under a name scripts can't write.
class XmlStateObject : public BoxedObject {
 public:
  using BoxedObject::BoxedObject;
  XmlState state;
};

constexpr char16_t kStateKey[] = u"\u0000e4x";

ClassObject* ClassNamed(Vm& vm, const char* name) { return vm.FindClass(name); }

}  // namespace

void XmlListObject::Trace(Tracer& tracer) {
  BoxedObject::Trace(tracer);
  tracer.Mark(target_object);
}

XmlState& XmlStateOf(Vm& vm) {
  ClassObject* cls = ClassNamed(vm, "XML");
  std::u16string_view key(kStateKey, 4);
  if (cls) {
    if (auto* entry = cls->dynamic().FindEntry(key))
      if (auto* holder = dynamic_cast<XmlStateObject*>(entry->value.AsObject()))
        return holder->state;
    auto* holder = vm.heap().New<XmlStateObject>(vm.classes().object, nullptr);
    cls->dynamic().Set(Str(std::u16string(key)), Value(static_cast<Object*>(holder)));
    cls->dynamic().FindEntry(key)->enumerable = false;
    return holder->state;
  }
  static XmlState fallback;
  return fallback;
}

void SetXmlSwfVersion(Vm& vm, int version) { XmlStateOf(vm).parse_text_children = version < 10; }

XmlObject* AsXml(const Value& v) {
  Object* o = v.AsObject();
  return o && o->kind() == ObjectKind::kBoxed ? dynamic_cast<XmlObject*>(o) : nullptr;
}

XmlListObject* AsXmlList(const Value& v) {
  Object* o = v.AsObject();
  return o && o->kind() == ObjectKind::kBoxed ? dynamic_cast<XmlListObject*>(o) : nullptr;
}

bool IsXmlOrList(const Value& v) { return AsXml(v) || AsXmlList(v); }

Value NewXml(Vm& vm, XmlNode::Ptr node) {
  if (!node) return Value::Null();
  ClassObject* cls = ClassNamed(vm, "XML");
  return Value(static_cast<Object*>(
      vm.heap().New<XmlObject>(cls, cls ? cls->prototype : nullptr, std::move(node))));
}

XmlListObject* NewXmlList(Vm& vm, XmlNodes nodes, Value target, std::optional<XmlQuery> property) {
  ClassObject* cls = ClassNamed(vm, "XMLList");
  auto* list = vm.heap().New<XmlListObject>(cls, cls ? cls->prototype : nullptr);
  list->nodes = std::move(nodes);
  list->target_object = std::move(target);
  list->target_property = std::move(property);
  return list;
}

void ThrowXmlError(Vm& vm, const XmlError& error) {
  ClassObject* type_error = vm.FindClass("TypeError");
  std::u16string message =
      u"Error #" + Utf8ToUtf16(std::to_string(error.code)) + u": " + error.message;
  Value args[] = {Value(Str(std::move(message))), Value(static_cast<int32_t>(error.code))};
  if (!type_error) vm.Throw(args[0]);
  vm.Throw(vm.Construct(Value(static_cast<Object*>(type_error)), args));
}

XmlNode::Ptr ToXmlNode(Vm& vm, const Value& v) {
  if (v.IsNullish()) vm.ThrowError(ErrorType::kTypeError, v.IsNull() ? 1009 : 1010);
  if (XmlObject* x = AsXml(v)) return x->node;
  if (XmlListObject* list = AsXmlList(v)) {
    if (list->nodes.size() != 1) ThrowXmlError(vm, MakeXmlError(1088));
    return list->nodes[0];
  }
  XmlState& state = XmlStateOf(vm);
  XmlParseResult result = ParseXmlValue(vm.ToString(v).view(), state.settings, state.default_uri);
  if (!result.ok()) ThrowXmlError(vm, result.error);
  return result.node;
}

XmlListObject* ToXmlList(Vm& vm, const Value& v) {
  if (v.IsNullish()) vm.ThrowError(ErrorType::kTypeError, v.IsNull() ? 1009 : 1010);
  if (XmlListObject* list = AsXmlList(v)) return list;
  if (XmlObject* x = AsXml(v)) return NewXmlList(vm, {x->node});
  XmlState& state = XmlStateOf(vm);
  XmlParseResult result =
      ParseXmlFragment(vm.ToString(v).view(), state.settings, state.default_uri);
  if (!result.ok()) ThrowXmlError(vm, result.error);
  XmlNodes nodes = result.node->children();
  for (const auto& node : nodes) node->set_parent(nullptr);
  return NewXmlList(vm, std::move(nodes));
}

XmlValue ToXmlValue(Vm& vm, const Value& v) {
  if (XmlObject* x = AsXml(v)) return XmlValue{XmlValue::Kind::kNode, {}, {x->node}};
  if (XmlListObject* list = AsXmlList(v)) return XmlValue{XmlValue::Kind::kList, {}, list->nodes};
  return XmlValue{XmlValue::Kind::kText, vm.ToString(v).str(), {}};
}

XmlQuery QueryFromName(Vm& vm, const Name& name) {
  XmlQuery q;
  q.attribute = name.attribute;
  q.local = name.local.str();
  if (!q.attribute && !q.local.empty() && q.local[0] == u'@') {
    q.attribute = true;
    q.local.erase(0, 1);
  }
  q.any_local = name.any_name || q.local == u"*";
  const std::u16string& default_uri = XmlStateOf(vm).default_uri;
  if (name.any_ns) return q;
  // One user namespace: a qualified name (ns::a). Private, internal and protected namespaces
  // are the language's, not XML's: E4X reads them as no namespace.
  if (name.set.size() == 1 && name.set[0]->kind == NsKind::kPublic &&
      name.set[0] != vm.public_ns()) {
    q.any_ns = false;
    q.uris = {name.set[0]->uri.str()};
    q.create_ns = NamespaceForUri(name.set[0]->uri.str());
    return q;
  }
  // Unqualified "*" matches every namespace; other unqualified names the public namespaces of
  // the set and the default xml namespace.
  if (q.any_local) return q;
  q.any_ns = false;
  for (Ns ns : name.set) q.uris.push_back(ns->kind == NsKind::kPublic ? ns->uri.str() : u"");
  q.uris.push_back(default_uri);
  if (!q.attribute) q.create_ns = NamespaceForUri(default_uri);
  return q;
}

XmlQuery QueryFromValue(Vm& vm, const Value& v, bool attribute) {
  if (auto* qn = dynamic_cast<QNameObject*>(v.AsObject())) {
    XmlQuery q;
    q.attribute = attribute;
    q.local = qn->local.str();
    q.any_local = qn->any_name || q.local == u"*";
    if (qn->ns) {
      q.any_ns = false;
      q.uris = {qn->ns->uri.str()};
      q.create_ns = NamespaceForUri(qn->ns->uri.str());
    }
    return q;
  }
  Name name;
  name.local = v.IsUndefined() ? Str(u"undefined") : vm.ToString(v);
  name.set.push_back(vm.public_ns());
  name.attribute = attribute;
  XmlQuery q = QueryFromName(vm, name);
  // A string name other than "*" is in the default namespace only.
  return q;
}

Value NamespaceValue(Vm& vm, const XmlNamespace& ns) {
  ClassObject* cls = vm.classes().namespace_;
  if (!cls) return Value::Null();
  if (ns.prefix) {
    Value args[] = {Value(Str(*ns.prefix)), Value(Str(ns.uri))};
    return vm.Construct(Value(static_cast<Object*>(cls)), args);
  }
  Value args[] = {Value(Str(ns.uri))};
  return vm.Construct(Value(static_cast<Object*>(cls)), args);
}

Value QNameValue(Vm& vm, const XmlName& name) {
  ClassObject* cls = vm.classes().qname;
  if (!cls) return Value::Null();
  Value args[] = {NamespaceValue(vm, name.ns), Value(Str(name.local))};
  return vm.Construct(Value(static_cast<Object*>(cls)), args);
}

XmlNamespace NamespaceFromValue(Vm& vm, const Value& v) {
  if (auto* n = dynamic_cast<NamespaceObject*>(v.AsObject())) {
    XmlNamespace ns;
    ns.uri = n->ns ? n->ns->uri.str() : std::u16string();
    if (n->has_prefix) {
      ns.prefix = n->prefix.str();
    } else if (ns.uri.empty()) {
      ns.prefix = std::u16string();
    }
    return ns;
  }
  if (auto* q = dynamic_cast<QNameObject*>(v.AsObject()))
    return NamespaceForUri(q->ns ? q->ns->uri.str() : std::u16string());
  return NamespaceForUri(vm.ToString(v).str());
}

void XmlSetDefaultNamespace(Vm& vm, const Value& v) {
  XmlStateOf(vm).default_uri = NamespaceFromValue(vm, v).uri;
}

}  // namespace flashsaver::avm2
