// The XML tree of the script's XML and XMLList objects: elements, attributes, text, CDATA,
// comments and processing instructions. Script objects hold nodes by shared pointer; the identity
// of an XML value is its node, so two script objects wrapping one node are the same XML. Children
// and attributes are owned by their element; the parent link is weak, so the tree holds no cycle
// and a child that outlives its parent simply has no parent.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace flashsaver::avm2 {

// A namespace as XML uses it: a URI and a prefix, which may be unset ("no prefix chosen yet";
// the writer then picks one). The empty URI is "no namespace".
struct XmlNamespace {
  std::optional<std::u16string> prefix;
  std::u16string uri;

  bool operator==(const XmlNamespace&) const = default;
  // Set and not empty.
  bool HasPrefix() const { return prefix && !prefix->empty(); }
};

// The namespace that `new Namespace(uri)` makes: prefix "" for the empty URI, else unset.
XmlNamespace NamespaceForUri(std::u16string uri);

struct XmlName {
  std::u16string local;
  XmlNamespace ns;

  // Names are the same when local names and URIs are; prefixes don't matter.
  bool SameAs(const XmlName& other) const { return local == other.local && ns.uri == other.ns.uri; }
};

enum class XmlKind : uint8_t {
  kElement,
  kAttribute,
  kText,
  kCData,
  kComment,
  kProcessingInstruction,
};

// The XML class's static settings, which change how text is parsed and written.
struct XmlSettings {
  bool ignore_comments = true;
  bool ignore_processing_instructions = true;
  bool ignore_whitespace = true;
  bool pretty_printing = true;
  int32_t pretty_indent = 2;
};

// A failure reported to the script as a TypeError with Flash's number and text.
struct XmlError {
  int code = 0;
  std::u16string message;
};

// Flash's text for error code (TypeError numbers 1083-1120 and 1023), %1 and %2 filled in.
XmlError MakeXmlError(int code, std::u16string_view arg1 = {}, std::u16string_view arg2 = {});

// Beyond this depth the recursive walks (writing, copying, comparing) stop, so a hostile tree
// can't exhaust the stack; the parser refuses deeper documents.
inline constexpr int kMaxXmlDepth = 1000;

class XmlNode : public std::enable_shared_from_this<XmlNode> {
 public:
  using Ptr = std::shared_ptr<XmlNode>;

  static Ptr Create(XmlKind kind, std::u16string value = {});
  static Ptr CreateElement(XmlName name);
  ~XmlNode();
  XmlNode(const XmlNode&) = delete;
  XmlNode& operator=(const XmlNode&) = delete;

  XmlKind kind() const { return kind_; }
  bool IsElement() const { return kind_ == XmlKind::kElement; }
  bool IsTextLike() const { return kind_ == XmlKind::kText || kind_ == XmlKind::kCData; }

  // Elements, attributes and processing instructions have a name; text and comments don't.
  const std::optional<XmlName>& name() const { return name_; }
  void set_name(std::optional<XmlName> name) { name_ = std::move(name); }
  const std::u16string& value() const { return value_; }
  void set_value(std::u16string value) { value_ = std::move(value); }

  Ptr parent() const { return parent_.lock(); }
  void set_parent(const Ptr& parent) { parent_ = parent; }

  const std::vector<Ptr>& children() const { return children_; }
  const std::vector<Ptr>& attributes() const { return attributes_; }
  const std::vector<XmlNamespace>& namespaces() const { return namespaces_; }

  // Tree edits; each keeps the moved node's parent link right. Non-elements ignore them.
  void AppendChild(const Ptr& child);
  void InsertChild(size_t index, const Ptr& child);
  void ReplaceChild(size_t index, const Ptr& child);
  void RemoveChild(size_t index);
  void ClearChildren();
  void AppendAttribute(const Ptr& attribute);
  void RemoveAttribute(size_t index);
  void RemoveNamespace(size_t index);

  // Declares ns here. A declaration of the same prefix with another URI is replaced, and this
  // element's and its attributes' names lose that prefix (the writer chooses again).
  void AddInScopeNamespace(const XmlNamespace& ns);
  // The declarations in force here: this element's, then its ancestors' not shadowed by prefix.
  std::vector<XmlNamespace> InScopeNamespaces() const;

  // The position among the parent's children, or -1 (no parent, or an attribute).
  int32_t ChildIndex() const;
  bool HasSimpleContent() const;
  bool HasComplexContent() const;
  // toString: the value of text and attributes; the joined text of an element of simple
  // content; otherwise empty (the caller then writes the markup).
  std::u16string SimpleText() const;

  // A copy with no parent. Comments and processing instructions among the children are left
  // out when the settings ignore them.
  Ptr DeepCopy(const XmlSettings& settings) const;
  // Same kind, name, value, attributes (in any order) and children (in order).
  bool Equals(const XmlNode& other) const;

 private:
  explicit XmlNode(XmlKind kind) : kind_(kind) {}
  Ptr CopyAt(const XmlSettings& settings, int depth) const;
  bool EqualsAt(const XmlNode& other, int depth) const;

  XmlKind kind_;
  std::optional<XmlName> name_;
  std::u16string value_;
  std::weak_ptr<XmlNode> parent_;
  std::vector<Ptr> children_;
  std::vector<Ptr> attributes_;
  std::vector<XmlNamespace> namespaces_;
};

// XML whitespace as Flash's parser sees it: space, tab, CR, LF.
bool IsXmlSpace(char16_t c);
bool IsAllXmlSpace(std::u16string_view s);
std::u16string TrimXmlSpace(std::u16string_view s);

}  // namespace flashsaver::avm2
