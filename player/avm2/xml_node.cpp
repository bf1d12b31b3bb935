#include "player/avm2/xml_node.h"

#include <algorithm>

namespace flashsaver::avm2 {

XmlNamespace NamespaceForUri(std::u16string uri) {
  XmlNamespace ns;
  if (uri.empty()) ns.prefix = std::u16string();
  ns.uri = std::move(uri);
  return ns;
}

XmlError MakeXmlError(int code, std::u16string_view arg1, std::u16string_view arg2) {
  struct Text {
    int code;
    const char16_t* text;
  };
  static constexpr Text kTexts[] = {
      {1023, u"Stack overflow occurred."},
      {1083, u"The prefix \"%1\" for element \"%2\" is not bound."},
      {1085, u"The element type \"%1\" must be terminated by the matching end-tag \"</%2>\"."},
      {1086, u"The %1 method only works on lists containing one item."},
      {1087, u"Assignment to indexed XML is not allowed."},
      {1088, u"The markup in the document following the root element must be well-formed."},
      {1089, u"Assignment to lists with more than one item is not supported."},
      {1090, u"XML parser failure: element is malformed."},
      {1091, u"XML parser failure: Unterminated CDATA section."},
      {1092, u"XML parser failure: Unterminated XML declaration."},
      {1093, u"XML parser failure: Unterminated DOCTYPE declaration."},
      {1094, u"XML parser failure: Unterminated comment."},
      {1095, u"XML parser failure: Unterminated attribute."},
      {1096, u"XML parser failure: Unterminated element."},
      {1097, u"XML parser failure: Unterminated processing instruction."},
      {1098, u"Illegal prefix %1 for no namespace."},
      {1104, u"Attribute \"%1\" was already specified for element \"%2\"."},
      {1117, u"Invalid XML name: %1."},
      {1118, u"Illegal cyclical loop between nodes."},
      {1119, u"Delete operator is not supported with operand of type %1."},
      {1120, u"Cannot delete property %1 on %2."},
  };
  XmlError error{code, {}};
  for (const auto& entry : kTexts) {
    if (entry.code != code) continue;
    for (const char16_t* p = entry.text; *p; ++p) {
      if (p[0] == u'%' && (p[1] == u'1' || p[1] == u'2')) {
        error.message += p[1] == u'1' ? arg1 : arg2;
        ++p;
      } else {
        error.message += *p;
      }
    }
  }
  return error;
}

bool IsXmlSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

bool IsAllXmlSpace(std::u16string_view s) { return std::all_of(s.begin(), s.end(), IsXmlSpace); }

std::u16string TrimXmlSpace(std::u16string_view s) {
  size_t start = 0;
  while (start < s.size() && IsXmlSpace(s[start])) ++start;
  size_t end = s.size();
  while (end > start && IsXmlSpace(s[end - 1])) --end;
  return std::u16string(s.substr(start, end - start));
}

XmlNode::Ptr XmlNode::Create(XmlKind kind, std::u16string value) {
  Ptr node(new XmlNode(kind));
  node->value_ = std::move(value);
  return node;
}

XmlNode::Ptr XmlNode::CreateElement(XmlName name) {
  Ptr node(new XmlNode(XmlKind::kElement));
  node->name_ = std::move(name);
  return node;
}

XmlNode::~XmlNode() {
  // Release a deep chain of sole-owned children iteratively: the default destructor would
  // recurse once per level.
  std::vector<Ptr> pending = std::move(children_);
  while (!pending.empty()) {
    Ptr node = std::move(pending.back());
    pending.pop_back();
    if (node && node.use_count() == 1) {
      for (auto& child : node->children_) pending.push_back(std::move(child));
      node->children_.clear();
    }
  }
}

void XmlNode::AppendChild(const Ptr& child) { InsertChild(children_.size(), child); }

void XmlNode::InsertChild(size_t index, const Ptr& child) {
  if (!IsElement() || !child) return;
  index = std::min(index, children_.size());
  children_.insert(children_.begin() + static_cast<std::ptrdiff_t>(index), child);
  child->parent_ = weak_from_this();
}

void XmlNode::ReplaceChild(size_t index, const Ptr& child) {
  if (!IsElement() || !child) return;
  if (index >= children_.size()) {
    AppendChild(child);
    return;
  }
  if (children_[index] != child && children_[index]->parent().get() == this)
    children_[index]->parent_.reset();
  children_[index] = child;
  child->parent_ = weak_from_this();
}

void XmlNode::RemoveChild(size_t index) {
  if (index >= children_.size()) return;
  if (children_[index]->parent().get() == this) children_[index]->parent_.reset();
  children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(index));
}

void XmlNode::ClearChildren() {
  for (auto& child : children_)
    if (child->parent().get() == this) child->parent_.reset();
  children_.clear();
}

void XmlNode::AppendAttribute(const Ptr& attribute) {
  if (!IsElement() || !attribute) return;
  attributes_.push_back(attribute);
  attribute->parent_ = weak_from_this();
}

void XmlNode::RemoveAttribute(size_t index) {
  if (index >= attributes_.size()) return;
  attributes_[index]->parent_.reset();
  attributes_.erase(attributes_.begin() + static_cast<std::ptrdiff_t>(index));
}

void XmlNode::RemoveNamespace(size_t index) {
  if (index < namespaces_.size())
    namespaces_.erase(namespaces_.begin() + static_cast<std::ptrdiff_t>(index));
}

void XmlNode::AddInScopeNamespace(const XmlNamespace& ns) {
  if (!IsElement() || !ns.prefix) return;
  // A default declaration of "no namespace" on an element in no namespace says nothing.
  if (ns.prefix->empty() && name_ && name_->ns.uri.empty()) return;
  for (size_t i = namespaces_.size(); i-- > 0;) {
    if (namespaces_[i].prefix != ns.prefix) continue;
    if (namespaces_[i].uri == ns.uri) return;
    namespaces_.erase(namespaces_.begin() + static_cast<std::ptrdiff_t>(i));
    break;
  }
  namespaces_.push_back(ns);
  if (name_ && name_->ns.prefix == ns.prefix) name_->ns.prefix.reset();
  for (auto& attribute : attributes_) {
    if (attribute->name_ && attribute->name_->ns.prefix == ns.prefix)
      attribute->name_->ns.prefix.reset();
  }
}

std::vector<XmlNamespace> XmlNode::InScopeNamespaces() const {
  std::vector<XmlNamespace> result;
  int depth = 0;
  for (Ptr node = std::const_pointer_cast<XmlNode>(shared_from_this());
       node && depth <= kMaxXmlDepth; node = node->parent(), ++depth) {
    for (const auto& ns : node->namespaces_) {
      bool shadowed = std::any_of(result.begin(), result.end(), [&](const XmlNamespace& seen) {
        return ns.prefix ? seen.prefix == ns.prefix : seen.uri == ns.uri;
      });
      if (!shadowed) result.push_back(ns);
    }
  }
  return result;
}

int32_t XmlNode::ChildIndex() const {
  Ptr parent = this->parent();
  if (!parent || kind_ == XmlKind::kAttribute) return -1;
  for (size_t i = 0; i < parent->children_.size(); ++i)
    if (parent->children_[i].get() == this) return static_cast<int32_t>(i);
  return -1;
}

bool XmlNode::HasSimpleContent() const {
  if (kind_ == XmlKind::kComment || kind_ == XmlKind::kProcessingInstruction) return false;
  return std::none_of(children_.begin(), children_.end(),
                      [](const Ptr& child) { return child->IsElement(); });
}

bool XmlNode::HasComplexContent() const {
  return IsElement() && std::any_of(children_.begin(), children_.end(),
                                    [](const Ptr& child) { return child->IsElement(); });
}

std::u16string XmlNode::SimpleText() const {
  if (!IsElement()) return value_;
  std::u16string text;
  for (const auto& child : children_)
    if (child->IsTextLike()) text += child->value_;
  return text;
}

XmlNode::Ptr XmlNode::DeepCopy(const XmlSettings& settings) const { return CopyAt(settings, 0); }

XmlNode::Ptr XmlNode::CopyAt(const XmlSettings& settings, int depth) const {
  Ptr copy(new XmlNode(kind_));
  copy->name_ = name_;
  copy->value_ = value_;
  copy->namespaces_ = namespaces_;
  for (const auto& attribute : attributes_) copy->AppendAttribute(attribute->CopyAt(settings, 0));
  if (depth >= kMaxXmlDepth) return copy;
  for (const auto& child : children_) {
    if (child->kind_ == XmlKind::kComment && settings.ignore_comments) continue;
    if (child->kind_ == XmlKind::kProcessingInstruction && settings.ignore_processing_instructions)
      continue;
    copy->AppendChild(child->CopyAt(settings, depth + 1));
  }
  return copy;
}

bool XmlNode::Equals(const XmlNode& other) const { return EqualsAt(other, 0); }

bool XmlNode::EqualsAt(const XmlNode& other, int depth) const {
  if (this == &other) return true;
  if (kind_ != other.kind_ || name_.has_value() != other.name_.has_value()) return false;
  if (name_ && !name_->SameAs(*other.name_)) return false;
  if (attributes_.size() != other.attributes_.size()) return false;
  if (children_.size() != other.children_.size() || value_ != other.value_) return false;
  for (const auto& attribute : attributes_) {
    bool found = std::any_of(other.attributes_.begin(), other.attributes_.end(),
                             [&](const Ptr& a) { return attribute->EqualsAt(*a, depth); });
    if (!found) return false;
  }
  if (depth >= kMaxXmlDepth) return children_.empty();
  for (size_t i = 0; i < children_.size(); ++i)
    if (!children_[i]->EqualsAt(*other.children_[i], depth + 1)) return false;
  return true;
}

}  // namespace flashsaver::avm2
