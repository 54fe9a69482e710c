// TXMLTag: one node of a parsed XML document, and the tree below it.
//
// The reader is small and forgiving: elements, attributes, text, comments and processing
// instructions over 8-bit text; no DTD, no namespaces, no CDATA, no named entities. Its one
// escape is "&#xHH;" in attribute values. Element names are held in lower case (LowerCaseNames).
// Reading, writing, copying and freeing a tree use explicit stacks, so the depth of a document
// is limited by memory only, never by the call stack.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xml/owned_iterator.h"

namespace sx {

class TXMLObject;
class TXMLTag;
class TXMLParser;

enum TXMLTagKind : std::uint8_t { xkElement = 0, xkText = 1, xkComment = 2 };

// The children of a tag. Owns them; adding a child makes this list's tag its parent.
class TXMLTagList {
 public:
  explicit TXMLTagList(TXMLTag* owner) : owner_(owner) {}
  ~TXMLTagList();
  TXMLTagList(const TXMLTagList&) = delete;
  TXMLTagList& operator=(const TXMLTagList&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  TXMLTag& operator[](int index) const { return *items_[static_cast<std::size_t>(index)]; }
  TXMLTag& Add(std::unique_ptr<TXMLTag> child);
  // Appends a fresh tag of the given kind.
  TXMLTag& AddNew(TXMLTagKind kind = xkElement);
  // Frees every child and its subtree.
  void Clear();

  TOwnedIterator<TXMLTag> begin() const { return TOwnedIterator<TXMLTag>(items_.begin()); }
  TOwnedIterator<TXMLTag> end() const { return TOwnedIterator<TXMLTag>(items_.end()); }

 private:
  friend class TXMLTag;
  friend class TXMLParser;
  // Frees whole subtrees without recursion: every tag is detached from its children before it is
  // destroyed, and the children wait on an explicit stack.
  static void FreeTrees(std::vector<std::unique_ptr<TXMLTag>>&& roots);
  TXMLTag* owner_;
  std::vector<std::unique_ptr<TXMLTag>> items_;
};

class TXMLTag {
 public:
  // A fresh tag: an element with empty name, text, attributes and children.
  TXMLTag() = default;
  // An element with the given name (the case rule applies).
  explicit TXMLTag(std::string_view name) { SetName(name); }
  TXMLTag(const TXMLTag&) = delete;
  TXMLTag& operator=(const TXMLTag&) = delete;

  TXMLTagKind Kind = xkElement;
  TXMLTagList Children{this};
  // One entry "name=value" per attribute, in document order, values decoded; duplicate names
  // stay separate entries.
  std::vector<std::string> Attributes;
  // Content of a text or comment node.
  std::string Text;

  // The element this node is a child of; none for the root.
  TXMLTag* Parent() const { return parent_; }
  const std::string& Name() const { return name_; }
  // Sets the element name, folded to lower case while LowerCaseNames is on.
  void SetName(std::string_view name);

  // Makes this tag the root element of the document `text`. Raises TXMLParserError on a syntax
  // error; the tree read up to the error stays with this tag.
  void Parse(std::string_view text);
  // The XML text of this node and its subtree, indented for nesting `level`; GetXML(0) is the
  // whole document. Lines end in CR LF; no declaration is written.
  std::string GetXML(int level) const;
  // The attribute part of the start tag: name="value" pairs separated by one space, values
  // encoded and quoted with apostrophes when they hold a double quote.
  std::string AttributesText() const;
  // Reads the whole file (a Windows path) and parses it. False, without parsing, when the file
  // cannot be read; syntax errors propagate as TXMLParserError.
  bool LoadFromFile(std::string_view fileName);
  // Writes GetXML(0) to the file (a Windows path), replacing it. False when the tag has no name
  // (the file is then left alone) or when the file cannot be written.
  bool SaveToFile(std::string_view fileName) const;
  // Empties name, text, attributes and children.
  void Clear();
  // Structural copy: name, attributes and the element structure below. The text of text and
  // comment children is not carried over and `Kind` is not copied.
  void Assign(const TXMLTag& source);
  // The object writes itself into this tag (see TXMLObject::AssignTo); the name is kept.
  void Assign(const TXMLObject& source);

 private:
  friend class TXMLTagList;
  friend class TXMLParser;
  TXMLTag* parent_ = nullptr;
  std::string name_;
};

}  // namespace sx
