// The XML class: E4X's methods on one node, and the static settings.
#include "player/avm2/builtins/xml_class.h"

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/builtins/xml_support.h"
#include "player/avm2/vm.h"
#include "player/avm2/xml_writer.h"

namespace flashsaver::avm2 {
namespace {

XmlNode& Node(Vm& vm, const Value& self) { return *ThisAs<XmlObject>(vm, self, "XML")->node; }
const XmlSettings& Settings(Vm& vm) { return XmlStateOf(vm).settings; }

Value ListOf(Vm& vm, const Value& self, XmlNodes nodes, std::optional<XmlQuery> q = {}) {
  return ListValue(NewXmlList(vm, std::move(nodes), self, std::move(q)));
}

XmlQuery AnyChild() {
  XmlQuery q;
  q.any_local = true;
  return q;
}

// A child argument of appendChild and its kin: XML and XMLList as they are, anything else as
// text (read as XML markup in movies before SWF 10).
XmlValue ChildValue(Vm& vm, const Value& v) {
  if (IsXmlOrList(v)) return ToXmlValue(vm, v);
  if (!XmlStateOf(vm).parse_text_children) return ToXmlValue(vm, v);
  return XmlValue{XmlValue::Kind::kNode, {}, {ToXmlNode(vm, Value(vm.ToString(v)))}};
}

Value AddNamespace(Vm& vm, const Value& self, std::span<const Value> args) {
  Node(vm, self).AddInScopeNamespace(NamespaceFromValue(vm, Arg(args, 0)));
  return self;
}

// appendChild is x.*[x.*.length()] = child, with that assignment's naming quirks.
Value AppendChild(Vm& vm, const Value& self, std::span<const Value> args) {
  XmlNode& x = Node(vm, self);
  Value child = Arg(args, 0);
  if (!IsXmlOrList(child) && XmlStateOf(vm).parse_text_children)
    child = NewXml(vm, ToXmlNode(vm, Value(vm.ToString(child))));
  XmlListObject* children = NewXmlList(vm, x.children(), self, AnyChild());
  XmlListPutIndex(vm, children, static_cast<uint32_t>(x.children().size()), child);
  return self;
}

Value PrependChild(Vm& vm, const Value& self, std::span<const Value> args) {
  CheckXml(vm, XmlInsert(Node(vm, self), 0, ChildValue(vm, Arg(args, 0)), Settings(vm)));
  return self;
}

// insertChildAfter / insertChildBefore: null as the reference means the start (after) or the
// end (before); a reference that is not a child gives undefined.
Value InsertChild(Vm& vm, const Value& self, std::span<const Value> args, bool after) {
  XmlNode& x = Node(vm, self);
  if (!x.IsElement()) return Value();
  XmlValue child = ChildValue(vm, Arg(args, 1));
  Value ref = Arg(args, 0);
  size_t at = after ? 0 : x.children().size();
  if (!ref.IsNull()) {
    XmlObject* r = AsXml(ref);
    if (!r) return Value();
    int32_t i = r->node->parent().get() == &x ? r->node->ChildIndex() : -1;
    if (i < 0) return Value();
    at = static_cast<size_t>(i) + (after ? 1 : 0);
  }
  CheckXml(vm, XmlInsert(x, at, child, Settings(vm)));
  return self;
}
Value InsertChildAfter(Vm& vm, const Value& self, std::span<const Value> args) {
  return InsertChild(vm, self, args, true);
}
Value InsertChildBefore(Vm& vm, const Value& self, std::span<const Value> args) {
  return InsertChild(vm, self, args, false);
}

// A null or undefined name is no name: #1009 / #1010.
void CheckNameArg(Vm& vm, std::span<const Value> args) {
  if (!args.empty() && args[0].IsNullish())
    vm.ThrowError(ErrorType::kTypeError, args[0].IsNull() ? 1009 : 1010);
}

Value Attribute(Vm& vm, const Value& self, std::span<const Value> args) {
  CheckNameArg(vm, args);
  XmlQuery q = QueryFromValue(vm, Arg(args, 0), true);
  return ListOf(vm, self, XmlGet(Node(vm, self), q), q);
}

Value Attributes(Vm& vm, const Value& self, std::span<const Value>) {
  XmlQuery q = AnyChild();
  q.attribute = true;
  return ListOf(vm, self, XmlGet(Node(vm, self), q), q);
}

Value Child(Vm& vm, const Value& self, std::span<const Value> args) {
  CheckNameArg(vm, args);
  XmlNode& x = Node(vm, self);
  XmlQuery q = QueryFromValue(vm, Arg(args, 0));
  if (auto index = q.Index()) {
    XmlNodes one;
    if (*index < x.children().size()) one.push_back(x.children()[*index]);
    return ListOf(vm, self, std::move(one));
  }
  return ListOf(vm, self, XmlGet(x, q), q);
}

Value Children(Vm& vm, const Value& self, std::span<const Value>) {
  return ListOf(vm, self, Node(vm, self).children(), AnyChild());
}

Value ChildIndex(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Node(vm, self).ChildIndex());
}

XmlNodes ChildrenOfKind(const XmlNode& x, XmlKind kind) {
  XmlNodes out;
  for (const auto& child : x.children())
    if (child->kind() == kind || (kind == XmlKind::kText && child->IsTextLike()))
      out.push_back(child);
  return out;
}

Value Comments(Vm& vm, const Value& self, std::span<const Value>) {
  return ListOf(vm, self, ChildrenOfKind(Node(vm, self), XmlKind::kComment));
}

Value Text(Vm& vm, const Value& self, std::span<const Value>) {
  return ListOf(vm, self, ChildrenOfKind(Node(vm, self), XmlKind::kText));
}

Value ProcessingInstructions(Vm& vm, const Value& self, std::span<const Value> args) {
  XmlQuery q = args.empty() ? AnyChild() : QueryFromValue(vm, args[0]);
  XmlNodes out;
  for (const auto& pi : ChildrenOfKind(Node(vm, self), XmlKind::kProcessingInstruction))
    if (q.any_local || (pi->name() && pi->name()->local == q.local)) out.push_back(pi);
  return ListOf(vm, self, std::move(out));
}

Value Contains(Vm& vm, const Value& self, std::span<const Value> args) {
  XmlObject* other = AsXml(Arg(args, 0));
  return Value(other != nullptr && Node(vm, self).Equals(*other->node));
}

Value Copy(Vm& vm, const Value& self, std::span<const Value>) {
  return NewXml(vm, Node(vm, self).DeepCopy(Settings(vm)));
}

Value Descendants(Vm& vm, const Value& self, std::span<const Value> args) {
  XmlQuery q = args.empty() ? AnyChild() : QueryFromValue(vm, args[0]);
  return ListOf(vm, self, XmlDescendants(Node(vm, self), q));
}

Value Elements(Vm& vm, const Value& self, std::span<const Value> args) {
  XmlQuery q = args.empty() ? AnyChild() : QueryFromValue(vm, args[0]);
  XmlNodes out;
  for (const auto& child : Node(vm, self).children())
    if (child->IsElement() && (q.any_local ? q.any_ns || q.Matches(*child) : q.Matches(*child)))
      out.push_back(child);
  return ListOf(vm, self, std::move(out), q);
}

Value HasComplexContent(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Node(vm, self).HasComplexContent());
}

Value HasSimpleContent(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Node(vm, self).HasSimpleContent());
}

Value HasOwnProperty(Vm& vm, const Value& self, std::span<const Value> args) {
  XmlQuery q = QueryFromValue(vm, Arg(args, 0));
  if (auto index = q.Index()) return Value(*index == 0);
  return Value(XmlHas(Node(vm, self), q));
}

Value PropertyIsEnumerable(Vm& vm, const Value&, std::span<const Value> args) {
  return Value(vm.ToString(Arg(args, 0)).str() == u"0");
}

Value InScopeNamespaces(Vm& vm, const Value& self, std::span<const Value>) {
  std::vector<Value> out;
  for (const auto& ns : Node(vm, self).InScopeNamespaces()) out.push_back(NamespaceValue(vm, ns));
  if (out.empty()) out.push_back(NamespaceValue(vm, NamespaceForUri(u"")));
  return Value(static_cast<Object*>(vm.NewArray(std::move(out))));
}

Value NamespaceDeclarations(Vm& vm, const Value& self, std::span<const Value>) {
  XmlNode& x = Node(vm, self);
  std::vector<XmlNamespace> inherited;
  if (XmlNode::Ptr parent = x.parent()) inherited = parent->InScopeNamespaces();
  std::vector<Value> out;
  for (const auto& ns : x.namespaces()) {
    if (std::find(inherited.begin(), inherited.end(), ns) == inherited.end())
      out.push_back(NamespaceValue(vm, ns));
  }
  return Value(static_cast<Object*>(vm.NewArray(std::move(out))));
}

Value Length(Vm&, const Value&, std::span<const Value>) { return Value(int32_t{1}); }

Value LocalName(Vm& vm, const Value& self, std::span<const Value>) {
  const auto& name = Node(vm, self).name();
  return name ? Value(Str(name->local)) : Value::Null();
}

Value NameOf(Vm& vm, const Value& self, std::span<const Value>) {
  const auto& name = Node(vm, self).name();
  return name ? QNameValue(vm, *name) : Value::Null();
}

// namespace(): the namespace of the node's name, with the prefix in scope for its URI;
// namespace(prefix): the in-scope declaration of that prefix, or undefined.
Value NamespaceOf(Vm& vm, const Value& self, std::span<const Value> args) {
  XmlNode& x = Node(vm, self);
  std::vector<XmlNamespace> scope = x.InScopeNamespaces();
  if (!args.empty()) {
    std::u16string prefix = vm.ToString(args[0]).str();
    for (const auto& ns : scope)
      if (ns.prefix == prefix) return NamespaceValue(vm, ns);
    return Value();
  }
  if (!x.name() || x.kind() == XmlKind::kProcessingInstruction) return Value::Null();
  for (const auto& ns : scope)
    if (ns.uri == x.name()->ns.uri) return NamespaceValue(vm, ns);
  return NamespaceValue(vm, x.name()->ns);
}

Value NodeKind(Vm& vm, const Value& self, std::span<const Value>) {
  switch (Node(vm, self).kind()) {
    case XmlKind::kElement:
      return Value(Str(u"element"));
    case XmlKind::kAttribute:
      return Value(Str(u"attribute"));
    case XmlKind::kComment:
      return Value(Str(u"comment"));
    case XmlKind::kProcessingInstruction:
      return Value(Str(u"processing-instruction"));
    default:
      return Value(Str(u"text"));
  }
}

Value Normalize(Vm& vm, const Value& self, std::span<const Value>) {
  XmlNormalize(Node(vm, self));
  return self;
}

Value Parent(Vm& vm, const Value& self, std::span<const Value>) {
  XmlNode::Ptr parent = Node(vm, self).parent();
  return parent ? NewXml(vm, parent) : Value();
}

Value RemoveNamespace(Vm& vm, const Value& self, std::span<const Value> args) {
  XmlNode& x = Node(vm, self);
  XmlNamespace ns = NamespaceFromValue(vm, Arg(args, 0));
  // A namespace the element's or its attributes' names use stays declared.
  auto used = [&](const XmlNode& n) { return n.name() && n.name()->ns.uri == ns.uri; };
  if (!x.IsElement() || used(x)) return self;
  for (const auto& a : x.attributes())
    if (used(*a)) return self;
  for (size_t i = x.namespaces().size(); i-- > 0;) {
    const XmlNamespace& own = x.namespaces()[i];
    if (own.uri == ns.uri && (!ns.prefix || own.prefix == ns.prefix)) x.RemoveNamespace(i);
  }
  for (const auto& child : x.children())
    if (child->IsElement()) RemoveNamespace(vm, NewXml(vm, child), args);
  return self;
}

Value Replace(Vm& vm, const Value& self, std::span<const Value> args) {
  XmlNode& x = Node(vm, self);
  if (!x.IsElement()) return self;
  // The new content is a copy; text is read as XML, as appendChild reads it.
  XmlValue value = ChildValue(vm, Arg(args, 1));
  if (IsXmlOrList(Arg(args, 1))) {
    for (auto& node : value.nodes) node = node->DeepCopy(Settings(vm));
  }
  XmlQuery q = QueryFromValue(vm, Arg(args, 0));
  if (auto index = q.Index()) {
    CheckXml(vm, XmlReplace(x, *index, value, Settings(vm)));
    return self;
  }
  std::optional<size_t> at;
  for (size_t k = x.children().size(); k-- > 0;) {
    if (!q.Matches(*x.children()[k])) continue;
    if (at) x.RemoveChild(*at);
    at = k;
  }
  if (at) CheckXml(vm, XmlReplace(x, *at, value, Settings(vm)));
  return self;
}

Value SetChildren(Vm& vm, const Value& self, std::span<const Value> args) {
  CheckXml(vm, XmlPut(Node(vm, self), AnyChild(), ToXmlValue(vm, Arg(args, 0)), Settings(vm)));
  return self;
}

Value SetLocalName(Vm& vm, const Value& self, std::span<const Value> args) {
  XmlNode& x = Node(vm, self);
  if (!x.name()) return Value();
  Value v = Arg(args, 0);
  std::u16string local;
  if (auto* q = dynamic_cast<QNameObject*>(v.AsObject())) {
    local = q->local.str();
  } else {
    local = vm.ToString(v).str();
  }
  if (!IsXmlName(local)) ThrowXmlError(vm, MakeXmlError(1117, local));
  XmlName name = *x.name();
  name.local = std::move(local);
  x.set_name(std::move(name));
  return Value();
}

Value SetName(Vm& vm, const Value& self, std::span<const Value> args) {
  XmlNode& x = Node(vm, self);
  if (!x.name()) return Value();
  Value v = Arg(args, 0);
  XmlName name;
  if (auto* q = dynamic_cast<QNameObject*>(v.AsObject())) {
    name.local = q->local.str();
    name.ns = NamespaceForUri(q->ns ? q->ns->uri.str() : std::u16string());
  } else {
    name.local = vm.ToString(v).str();
    name.ns =
        NamespaceForUri(x.kind() == XmlKind::kProcessingInstruction ? std::u16string()
                                                                    : XmlStateOf(vm).default_uri);
  }
  if (!IsXmlName(name.local)) ThrowXmlError(vm, MakeXmlError(1117, name.local));
  if (x.kind() == XmlKind::kProcessingInstruction) name.ns = NamespaceForUri(u"");
  x.set_name(name);
  if (x.IsElement()) {
    x.AddInScopeNamespace(name.ns);
  } else if (XmlNode::Ptr parent = x.parent(); parent && x.kind() == XmlKind::kAttribute) {
    parent->AddInScopeNamespace(name.ns);
  }
  return Value();
}

Value SetNamespace(Vm& vm, const Value& self, std::span<const Value> args) {
  XmlNode& x = Node(vm, self);
  if (!x.name() || x.kind() == XmlKind::kProcessingInstruction) return Value();
  XmlNamespace ns = NamespaceFromValue(vm, Arg(args, 0));
  XmlName name = *x.name();
  name.ns = ns;
  x.set_name(std::move(name));
  if (x.IsElement()) {
    x.AddInScopeNamespace(ns);
  } else if (XmlNode::Ptr parent = x.parent(); parent && x.kind() == XmlKind::kAttribute) {
    parent->AddInScopeNamespace(ns);
  }
  return Value();
}

Value ToJson(Vm&, const Value&, std::span<const Value>) { return Value(Str(u"XML")); }

// On XML.prototype itself these give the empty string, as Flash's do.
Value ToStringFn(Vm& vm, const Value& self, std::span<const Value>) {
  if (!AsXml(self)) return Value(Str());
  return Value(Str(XmlToString(Node(vm, self), Settings(vm))));
}

Value ToXmlStringFn(Vm& vm, const Value& self, std::span<const Value>) {
  if (!AsXml(self)) return Value(Str());
  return Value(Str(XmlToXmlString(Node(vm, self), Settings(vm))));
}

Value ValueOf(Vm&, const Value& self, std::span<const Value>) { return self; }

// ---- The class ----------------------------------------------------------------------------

Object* CreateXml(Vm& vm, ClassObject* cls) {
  return vm.heap().New<XmlObject>(cls, cls->prototype, XmlNode::Create(XmlKind::kText));
}

Value XmlConstruct(Vm& vm, const Value& self, std::span<const Value> args) {
  auto* x = dynamic_cast<XmlObject*>(self.AsObject());
  if (!x || args.empty() || args[0].IsNullish()) return Value();
  XmlNode::Ptr node = ToXmlNode(vm, args[0]);
  // new XML(xml) copies; a parsed string is new already.
  x->node = IsXmlOrList(args[0]) ? node->DeepCopy(Settings(vm)) : node;
  return Value();
}

Value XmlCall(Vm& vm, const Value&, std::span<const Value> args) {
  if (args.empty() || args[0].IsNullish()) return NewXml(vm, XmlNode::Create(XmlKind::kText));
  if (AsXml(args[0])) return args[0];
  return NewXml(vm, ToXmlNode(vm, args[0]));
}

template <bool XmlSettings::*Flag>
Value GetFlag(Vm& vm, const Value&, std::span<const Value>) {
  return Value(XmlStateOf(vm).settings.*Flag);
}

template <bool XmlSettings::*Flag>
Value SetFlag(Vm& vm, const Value&, std::span<const Value> args) {
  XmlStateOf(vm).settings.*Flag = ArgBool(vm, args, 0);
  return Value();
}

Value GetIndent(Vm& vm, const Value&, std::span<const Value>) {
  return Value(XmlStateOf(vm).settings.pretty_indent);
}

Value SetIndent(Vm& vm, const Value&, std::span<const Value> args) {
  XmlStateOf(vm).settings.pretty_indent = ArgInt(vm, args, 0);
  return Value();
}

constexpr const char* kFlagNames[] = {"ignoreComments", "ignoreProcessingInstructions",
                                      "ignoreWhitespace", "prettyPrinting"};
constexpr bool XmlSettings::*kFlags[] = {
    &XmlSettings::ignore_comments, &XmlSettings::ignore_processing_instructions,
    &XmlSettings::ignore_whitespace, &XmlSettings::pretty_printing};

Value SettingsObject(Vm& vm, const XmlSettings& settings) {
  Object* o = vm.NewObject();
  for (size_t i = 0; i < 4; ++i)
    vm.SetProperty(Value(o), kFlagNames[i], Value(settings.*kFlags[i]));
  vm.SetProperty(Value(o), "prettyIndent", Value(settings.pretty_indent));
  return Value(o);
}

Value SettingsFn(Vm& vm, const Value&, std::span<const Value>) {
  return SettingsObject(vm, XmlStateOf(vm).settings);
}

Value DefaultSettings(Vm& vm, const Value&, std::span<const Value>) {
  return SettingsObject(vm, XmlSettings());
}

// setSettings(): defaults; setSettings(o): the settings o names with values of the right type.
Value SetSettings(Vm& vm, const Value&, std::span<const Value> args) {
  XmlSettings& settings = XmlStateOf(vm).settings;
  Value o = Arg(args, 0);
  if (o.IsNullish()) {
    if (args.empty() || o.IsUndefined()) settings = XmlSettings();
    return Value();
  }
  if (!o.IsObject()) return Value();
  for (size_t i = 0; i < 4; ++i) {
    Value v = vm.GetProperty(o, kFlagNames[i]);
    if (v.IsBoolean()) settings.*kFlags[i] = v.AsBoolean();
  }
  Value indent = vm.GetProperty(o, "prettyIndent");
  if (indent.IsNumeric()) settings.pretty_indent = vm.ToInt32(indent);
  return Value();
}

}  // namespace

Value IsXmlNameFn(Vm& vm, const Value&, std::span<const Value> args) {
  if (args.empty()) return Value(false);
  return Value(IsXmlName(vm.ToString(args[0]).view()));
}

// The XML methods XMLList forwards to its single item.
NativeFn XmlMethodFor(const char* name) {
  static const std::pair<const char*, NativeFn> kMethods[] = {
      {"addNamespace", AddNamespace},
      {"appendChild", AppendChild},
      {"childIndex", ChildIndex},
      {"inScopeNamespaces", InScopeNamespaces},
      {"insertChildAfter", InsertChildAfter},
      {"insertChildBefore", InsertChildBefore},
      {"localName", LocalName},
      {"name", NameOf},
      {"namespace", NamespaceOf},
      {"namespaceDeclarations", NamespaceDeclarations},
      {"nodeKind", NodeKind},
      {"prependChild", PrependChild},
      {"removeNamespace", RemoveNamespace},
      {"replace", Replace},
      {"setChildren", SetChildren},
      {"setLocalName", SetLocalName},
      {"setName", SetName},
      {"setNamespace", SetNamespace},
  };
  for (const auto& [n, fn] : kMethods)
    if (std::string_view(n) == name) return fn;
  return nullptr;
}

const NativeClass& XmlClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "";
    c.name = "XML";
    c.flags = class_flag::kFinal;
    c.instance = {
        AS3Method("addNamespace", AddNamespace, 1),
        AS3Method("appendChild", AppendChild, 1),
        AS3Method("attribute", Attribute, 1),
        AS3Method("attributes", Attributes),
        AS3Method("child", Child, 1),
        AS3Method("childIndex", ChildIndex),
        AS3Method("children", Children),
        AS3Method("comments", Comments),
        AS3Method("contains", Contains, 1),
        AS3Method("copy", Copy),
        AS3Method("descendants", Descendants),
        AS3Method("elements", Elements),
        AS3Method("hasComplexContent", HasComplexContent),
        AS3Method("hasOwnProperty", HasOwnProperty, 1),
        AS3Method("hasSimpleContent", HasSimpleContent),
        AS3Method("inScopeNamespaces", InScopeNamespaces),
        AS3Method("insertChildAfter", InsertChildAfter, 2),
        AS3Method("insertChildBefore", InsertChildBefore, 2),
        AS3Method("length", Length),
        AS3Method("localName", LocalName),
        AS3Method("name", NameOf),
        AS3Method("namespace", NamespaceOf),
        AS3Method("namespaceDeclarations", NamespaceDeclarations),
        AS3Method("nodeKind", NodeKind),
        AS3Method("normalize", Normalize),
        AS3Method("parent", Parent),
        AS3Method("prependChild", PrependChild, 1),
        AS3Method("processingInstructions", ProcessingInstructions),
        AS3Method("propertyIsEnumerable", PropertyIsEnumerable, 1),
        AS3Method("removeNamespace", RemoveNamespace, 1),
        AS3Method("replace", Replace, 2),
        AS3Method("setChildren", SetChildren, 1),
        AS3Method("setLocalName", SetLocalName, 1),
        AS3Method("setName", SetName, 1),
        AS3Method("setNamespace", SetNamespace, 1),
        AS3Method("text", Text),
        AS3Method("toJSON", ToJson, 1),
        AS3Method("toString", ToStringFn),
        AS3Method("toXMLString", ToXmlStringFn),
        AS3Method("valueOf", ValueOf),
    };
    c.statics = {
        Getter("ignoreComments", GetFlag<&XmlSettings::ignore_comments>),
        Setter("ignoreComments", SetFlag<&XmlSettings::ignore_comments>),
        Getter("ignoreProcessingInstructions",
               GetFlag<&XmlSettings::ignore_processing_instructions>),
        Setter("ignoreProcessingInstructions",
               SetFlag<&XmlSettings::ignore_processing_instructions>),
        Getter("ignoreWhitespace", GetFlag<&XmlSettings::ignore_whitespace>),
        Setter("ignoreWhitespace", SetFlag<&XmlSettings::ignore_whitespace>),
        Getter("prettyPrinting", GetFlag<&XmlSettings::pretty_printing>),
        Setter("prettyPrinting", SetFlag<&XmlSettings::pretty_printing>),
        Getter("prettyIndent", GetIndent),
        Setter("prettyIndent", SetIndent),
        // Declared in the AS3 namespace; reachable by public name too.
        AS3Method("settings", SettingsFn),
        AS3Method("setSettings", SetSettings),
        AS3Method("defaultSettings", DefaultSettings),
        Method("settings", SettingsFn),
        Method("setSettings", SetSettings),
        Method("defaultSettings", DefaultSettings),
    };
    c.constructor = XmlConstruct;
    c.call = XmlCall;
    c.create = CreateXml;
    c.constructor_length = 1;
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
