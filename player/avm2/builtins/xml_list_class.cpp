// The XMLList class: E4X's methods over a list of nodes. Most gather the XML method's answer
// over the list's elements; the one-node methods work only on a list of one item.
#include <algorithm>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/builtins/xml_class.h"
#include "player/avm2/builtins/xml_support.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

XmlListObject* List(Vm& vm, const Value& self) {
  return ThisAs<XmlListObject>(vm, self, "XMLList");
}
const XmlSettings& Settings(Vm& vm) { return XmlStateOf(vm).settings; }

// Calls the XML method on each item (elements only unless all) and joins the lists they give.
Value Gather(Vm& vm, const Value& self, const char* method, std::span<const Value> args,
             bool elements_only = true) {
  XmlListObject* list = List(vm, self);
  XmlNodes out;
  std::optional<XmlQuery> property;
  for (const auto& node : list->nodes) {
    if (elements_only && !node->IsElement()) continue;
    Value part = vm.CallMethod(NewXml(vm, node), method, args);
    if (XmlListObject* l = AsXmlList(part)) {
      out.insert(out.end(), l->nodes.begin(), l->nodes.end());
      property = l->target_property;
    }
  }
  return ListValue(NewXmlList(vm, std::move(out), self, property));
}

// child() and attribute() take a name: null or undefined is no name (#1009 / #1010), even
// for an empty list.
void CheckNameArg(Vm& vm, std::string_view method, std::span<const Value> args) {
  if ((method == "child" || method == "attribute") && !args.empty() && args[0].IsNullish())
    vm.ThrowError(ErrorType::kTypeError, args[0].IsNull() ? 1009 : 1010);
}

template <const char* kMethod>
Value GatherFn(Vm& vm, const Value& self, std::span<const Value> args) {
  CheckNameArg(vm, kMethod, args);
  return Gather(vm, self, kMethod, args);
}

constexpr char kAttribute[] = "attribute";
constexpr char kAttributes[] = "attributes";
constexpr char kChild[] = "child";
constexpr char kChildren[] = "children";
constexpr char kComments[] = "comments";
constexpr char kDescendants[] = "descendants";
constexpr char kElements[] = "elements";
constexpr char kProcessingInstructions[] = "processingInstructions";
constexpr char kText[] = "text";

// A one-node method: TypeError #1086 unless the list holds exactly one item.
template <const char* kMethod>
Value Single(Vm& vm, const Value& self, std::span<const Value> args) {
  XmlListObject* list = List(vm, self);
  if (list->nodes.size() != 1) ThrowXmlError(vm, MakeXmlError(1086, Utf8ToUtf16(kMethod)));
  return XmlMethodFor(kMethod)(vm, NewXml(vm, list->nodes[0]), args);
}

constexpr char kAddNamespace[] = "addNamespace";
constexpr char kAppendChild[] = "appendChild";
constexpr char kChildIndex[] = "childIndex";
constexpr char kInScopeNamespaces[] = "inScopeNamespaces";
constexpr char kInsertChildAfter[] = "insertChildAfter";
constexpr char kInsertChildBefore[] = "insertChildBefore";
constexpr char kLocalName[] = "localName";
constexpr char kName[] = "name";
constexpr char kNamespace[] = "namespace";
constexpr char kNamespaceDeclarations[] = "namespaceDeclarations";
constexpr char kNodeKind[] = "nodeKind";
constexpr char kPrependChild[] = "prependChild";
constexpr char kRemoveNamespace[] = "removeNamespace";
constexpr char kReplace[] = "replace";
constexpr char kSetChildren[] = "setChildren";
constexpr char kSetLocalName[] = "setLocalName";
constexpr char kSetName[] = "setName";
constexpr char kSetNamespace[] = "setNamespace";

Value Contains(Vm& vm, const Value& self, std::span<const Value> args) {
  for (const auto& node : List(vm, self)->nodes)
    if (vm.LooseEquals(NewXml(vm, node), Arg(args, 0))) return Value(true);
  return Value(false);
}

Value Copy(Vm& vm, const Value& self, std::span<const Value>) {
  XmlListObject* list = List(vm, self);
  XmlNodes copies;
  for (const auto& node : list->nodes) copies.push_back(node->DeepCopy(Settings(vm)));
  return ListValue(NewXmlList(vm, std::move(copies), list->target_object, list->target_property));
}

Value HasComplexContent(Vm& vm, const Value& self, std::span<const Value>) {
  const XmlNodes& nodes = List(vm, self)->nodes;
  if (nodes.size() == 1) return Value(nodes[0]->HasComplexContent());
  return Value(
      std::any_of(nodes.begin(), nodes.end(), [](const auto& n) { return n->IsElement(); }));
}

Value HasSimpleContent(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(XmlListHasSimpleContent(List(vm, self)->nodes));
}

Value HasOwnProperty(Vm& vm, const Value& self, std::span<const Value> args) {
  bool out = false;
  XmlHasOwn(vm, self, vm.PublicName(vm.ToString(Arg(args, 0)).view()), out);
  return Value(out);
}

Value PropertyIsEnumerable(Vm& vm, const Value& self, std::span<const Value> args) {
  int64_t i = Vm::ArrayIndex(vm.ToString(Arg(args, 0)).view());
  return Value(i >= 0 && static_cast<uint64_t>(i) < List(vm, self)->nodes.size());
}

Value Length(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(static_cast<int32_t>(List(vm, self)->nodes.size()));
}

Value Normalize(Vm& vm, const Value& self, std::span<const Value>) {
  XmlListObject* list = List(vm, self);
  XmlNodes kept;
  for (const auto& node : list->nodes) {
    if (node->IsElement()) XmlNormalize(*node);
    // Adjacent text items merge into the first; empty text goes.
    if (node->kind() == XmlKind::kText) {
      if (!kept.empty() && kept.back()->kind() == XmlKind::kText) {
        kept.back()->set_value(kept.back()->value() + node->value());
        if (XmlNode::Ptr parent = node->parent())
          if (int32_t at = node->ChildIndex(); at >= 0)
            parent->RemoveChild(static_cast<size_t>(at));
        continue;
      }
    }
    kept.push_back(node);
  }
  std::erase_if(kept,
                [](const auto& n) { return n->kind() == XmlKind::kText && n->value().empty(); });
  list->nodes = std::move(kept);
  return self;
}

// The items' common parent, else undefined.
Value Parent(Vm& vm, const Value& self, std::span<const Value>) {
  const XmlNodes& nodes = List(vm, self)->nodes;
  if (nodes.empty()) return Value();
  XmlNode::Ptr parent = nodes[0]->parent();
  for (const auto& node : nodes)
    if (node->parent() != parent) return Value();
  return parent ? NewXml(vm, parent) : Value();
}

Value ToStringFn(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Str(XmlListToString(List(vm, self)->nodes, Settings(vm))));
}

Value ToXmlStringFn(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Str(XmlListToXmlString(List(vm, self)->nodes, Settings(vm))));
}

Value ValueOf(Vm&, const Value& self, std::span<const Value>) { return self; }
Value ToJson(Vm&, const Value&, std::span<const Value>) { return Value(Str(u"XMLList")); }

Object* CreateList(Vm& vm, ClassObject* cls) {
  return vm.heap().New<XmlListObject>(cls, cls->prototype);
}

Value ListConstruct(Vm& vm, const Value& self, std::span<const Value> args) {
  auto* list = dynamic_cast<XmlListObject*>(self.AsObject());
  if (!list || args.empty() || args[0].IsNullish()) return Value();
  list->nodes = ToXmlList(vm, args[0])->nodes;
  return Value();
}

Value ListCall(Vm& vm, const Value&, std::span<const Value> args) {
  if (args.empty() || args[0].IsNullish()) return ListValue(NewXmlList(vm));
  return ListValue(ToXmlList(vm, args[0]));
}

}  // namespace

const NativeClass& XmlListClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "";
    c.name = "XMLList";
    c.flags = class_flag::kFinal;
    c.instance = {
        AS3Method("addNamespace", Single<kAddNamespace>, 1),
        AS3Method("appendChild", Single<kAppendChild>, 1),
        AS3Method("attribute", GatherFn<kAttribute>, 1),
        AS3Method("attributes", GatherFn<kAttributes>),
        AS3Method("child", GatherFn<kChild>, 1),
        AS3Method("childIndex", Single<kChildIndex>),
        AS3Method("children", GatherFn<kChildren>),
        AS3Method("comments", GatherFn<kComments>),
        AS3Method("contains", Contains, 1),
        AS3Method("copy", Copy),
        AS3Method("descendants", GatherFn<kDescendants>),
        AS3Method("elements", GatherFn<kElements>),
        AS3Method("hasComplexContent", HasComplexContent),
        AS3Method("hasOwnProperty", HasOwnProperty, 1),
        AS3Method("hasSimpleContent", HasSimpleContent),
        AS3Method("inScopeNamespaces", Single<kInScopeNamespaces>),
        AS3Method("insertChildAfter", Single<kInsertChildAfter>, 2),
        AS3Method("insertChildBefore", Single<kInsertChildBefore>, 2),
        AS3Method("length", Length),
        AS3Method("localName", Single<kLocalName>),
        AS3Method("name", Single<kName>),
        AS3Method("namespace", Single<kNamespace>),
        AS3Method("namespaceDeclarations", Single<kNamespaceDeclarations>),
        AS3Method("nodeKind", Single<kNodeKind>),
        AS3Method("normalize", Normalize),
        AS3Method("parent", Parent),
        AS3Method("prependChild", Single<kPrependChild>, 1),
        AS3Method("processingInstructions", GatherFn<kProcessingInstructions>),
        AS3Method("propertyIsEnumerable", PropertyIsEnumerable, 1),
        AS3Method("removeNamespace", Single<kRemoveNamespace>, 1),
        AS3Method("replace", Single<kReplace>, 2),
        AS3Method("setChildren", Single<kSetChildren>, 1),
        AS3Method("setLocalName", Single<kSetLocalName>, 1),
        AS3Method("setName", Single<kSetName>, 1),
        AS3Method("setNamespace", Single<kSetNamespace>, 1),
        AS3Method("text", GatherFn<kText>),
        AS3Method("toJSON", ToJson, 1),
        AS3Method("toString", ToStringFn),
        AS3Method("toXMLString", ToXmlStringFn),
        AS3Method("valueOf", ValueOf),
    };
    c.constructor = ListConstruct;
    c.call = ListCall;
    c.create = CreateList;
    c.constructor_length = 1;
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
