// TXMLObject: the base of every persistable object (project database, silent settings, install
// actions, resume state, actions scripts).
//
// A class only declares its published properties in its class table (xml_class.h). The mapping
// walks them: simple properties become attributes of the object's element, object properties
// child elements, list items child elements named by the list. Copying goes through a temporary
// tag; clearing, merging several files into one model and lookups by property value all use the
// same declarations. Properties are always taken in name order, so files list attributes and
// child elements alphabetically.
//
// An object owns the objects held in its object properties. Constructors take the owner; the
// chain of owners leads to the root of the model. Not thread-safe: one thread uses a model at a
// time.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "xml/xml_class.h"
#include "xml/xml_prop_text.h"
#include "xml/xml_tag.h"

namespace sx {

class TXMLObject {
 public:
  // Object properties that are lists are created (empty) by the member initialisers of each
  // class, so every object starts with its lists present.
  explicit TXMLObject(TXMLObject* owner = nullptr) : Owner(owner) {}
  virtual ~TXMLObject() = default;
  TXMLObject(const TXMLObject&) = delete;
  TXMLObject& operator=(const TXMLObject&) = delete;

  static const TXMLClass& StaticClass();
  virtual const TXMLClass& ClassInfo() const { return StaticClass(); }

  // The list or object that created this object; none for a root.
  TXMLObject* Owner = nullptr;
  // True while MergeFrom runs on this object.
  bool Merging = false;

  // Writes the object into `dest`: dest becomes an element, then the attributes, then the child
  // elements are added. The name of dest is left to the caller.
  void AssignTo(TXMLTag& dest) const;
  // Loads from a tag: cleared first unless merging, then every attribute and every child element
  // in document order. The tag's own name is not looked at.
  void Assign(const TXMLTag& source);
  // Copies another object through XML: only persisted state travels.
  void Assign(const TXMLObject& source);
  // Loads from a tag without clearing: attributes present overwrite, others keep their values;
  // object properties merge, lists keep their items and append.
  void MergeFrom(const TXMLTag& source);

  // One "name=value" attribute entry: sets the property it names; ignored when it names none.
  virtual void LoadAttribute(std::string_view entry);
  // One child element: loads the object or raw-tag property it names; ignored when none.
  virtual void LoadChild(const TXMLTag& tag);
  // Every child element of `source` through LoadChild, in document order.
  virtual void LoadChildren(const TXMLTag& source);
  // Every simple property, in name order, through SaveAttribute.
  virtual void SaveAttributes(TXMLTag& tag) const;
  // Adds the attribute of one property, unless its text is empty or (with OmitDefaultValues,
  // for other kinds than strings) equal to what a fresh object of the class holds.
  virtual void SaveAttribute(const TPropInfo& property, TXMLTag& tag) const;
  void SaveAttribute(std::string_view propName, TXMLTag& tag) const;
  // Every object property that holds an object (lists only with items) and every raw tag.
  virtual void SaveChildren(TXMLTag& tag) const;

  // Attribute and property names: a property may be written under another attribute name.
  // Element names are property names as they are.
  std::string XMLToPropName(std::string_view name, bool isElement) const;
  std::string PropToXMLName(std::string_view name, bool isElement) const;
  // The prefix stripped from the value names of an enumeration or set property.
  std::string_view EnumPrefix(std::string_view propName) const;

  virtual bool CanLoad(const TXMLTag& tag);
  // False keeps the object out of files (transient objects).
  virtual bool CanSave(const TXMLTag& tag) const;
  // Called at the end of Clear; constructors set their own starting values.
  virtual void Initialize() {}
  // Simple properties from the empty text (zero, false, ordinal 0, empty), object and tag
  // properties freed, lists created again empty, then Initialize.
  virtual void Clear();

  // Parses the file (a Windows path) and loads the object from its root element. False, with
  // the object untouched, when the file cannot be read, when `rootName` is not empty and differs
  // from the root's name (ignoring case) or when the document has no root element. Syntax errors
  // propagate as TXMLParserError.
  bool LoadFromFile(std::string_view fileName, std::string_view rootName);
  // Writes the object as element `rootName`; false for an empty root name or a failed write.
  bool SaveToFile(std::string_view fileName, std::string_view rootName) const;
  // Parses `text` and loads the object when `rootName` is empty or names the root element.
  void LoadFromString(std::string_view text, std::string_view rootName);
  // The object as XML text with root element `rootName`.
  std::string SaveToString(std::string_view rootName) const;
};

}  // namespace sx
