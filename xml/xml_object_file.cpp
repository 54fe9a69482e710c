// Objects to and from XML files and texts.
#include "util/case_tables.h"
#include "xml/xml_object.h"

namespace sx {

bool TXMLObject::LoadFromFile(std::string_view fileName, std::string_view rootName) {
  TXMLTag root;
  if (!root.LoadFromFile(fileName)) return false;
  if (root.Kind != xkElement || root.Name().empty()) return false;
  if (!rootName.empty() && !SameTextFast(rootName, root.Name())) return false;
  Assign(root);
  return true;
}

bool TXMLObject::SaveToFile(std::string_view fileName, std::string_view rootName) const {
  if (rootName.empty()) return false;
  TXMLTag root(LowerCaseFast(rootName));
  root.Assign(*this);
  return root.SaveToFile(fileName);
}

void TXMLObject::LoadFromString(std::string_view text, std::string_view rootName) {
  TXMLTag root;
  root.Parse(text);
  if (rootName.empty() || SameTextFast(rootName, root.Name())) Assign(root);
}

std::string TXMLObject::SaveToString(std::string_view rootName) const {
  TXMLTag root(LowerCaseFast(rootName));
  root.Assign(*this);
  return root.GetXML(0);
}

}  // namespace sx
