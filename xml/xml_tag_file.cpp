// Reading and writing whole XML files through the host (Windows paths).
#include "host/host.h"
#include "util/file_io.h"
#include "xml/xml_tag.h"

namespace sx {

bool TXMLTag::LoadFromFile(std::string_view fileName) {
  std::optional<std::string> content = ReadFileContent(fileName);
  if (!content) return false;
  Parse(*content);
  return true;
}

bool TXMLTag::SaveToFile(std::string_view fileName) const {
  if (name_.empty()) return false;
  std::string text = GetXML(0);
  // A read-only file is replaced as well: its attribute is cleared first.
  auto& host = host::CurrentHost();
  if (auto info = host.GetFileInfo(fileName); info && (info->attributes & host::kAttrReadOnly))
    host.SetFileAttributes(fileName, info->attributes & ~uint32_t{host::kAttrReadOnly});
  return WriteFileAtomic(fileName, text);
}

}  // namespace sx
