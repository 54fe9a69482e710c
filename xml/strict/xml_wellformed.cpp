#include "xml/strict/xml_wellformed.h"

#include <expat.h>

#include <algorithm>
#include <memory>

namespace sx {
namespace {

struct ParserDeleter {
  void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

// The single-byte encodings the tools take are read as Latin-1; others stay unknown (an error).
int OnUnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
  const std::string_view encoding = name;
  auto startsWith = [&](std::string_view prefix) {
    if (encoding.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
      if ((encoding[i] | 0x20) != prefix[i]) return false;
    return true;
  };
  if (!startsWith("windows-") && !startsWith("cp") && !startsWith("iso-8859-") && !startsWith("latin") &&
      !startsWith("ascii"))
    return XML_STATUS_ERROR;
  for (int byte = 0; byte < 256; ++byte) info->map[byte] = byte;
  info->data = nullptr;
  info->convert = nullptr;
  info->release = nullptr;
  return XML_STATUS_OK;
}

}  // namespace

std::optional<XmlWellFormedError> CheckXmlWellFormed(std::string_view document,
                                                     const std::string& undeclaredEncoding) {
  std::unique_ptr<XML_ParserStruct, ParserDeleter> parser(XML_ParserCreate(nullptr));
  if (!parser) return XmlWellFormedError{"out of memory", 1, 1};
  if (!undeclaredEncoding.empty()) XML_SetEncoding(parser.get(), undeclaredEncoding.c_str());
  XML_SetUnknownEncodingHandler(parser.get(), OnUnknownEncoding, nullptr);
  // Expat takes at most INT_MAX bytes per call: feed larger documents in pieces.
  constexpr size_t kPiece = 1u << 30;
  size_t offset = 0;
  XML_Status status = XML_STATUS_OK;
  do {
    const size_t size = std::min(kPiece, document.size() - offset);
    const bool last = offset + size == document.size();
    status = XML_Parse(parser.get(), document.data() + offset, static_cast<int>(size), last);
    offset += size;
  } while (status == XML_STATUS_OK && offset < document.size());
  if (status == XML_STATUS_OK) return std::nullopt;
  return XmlWellFormedError{XML_ErrorString(XML_GetErrorCode(parser.get())),
                            static_cast<uint64_t>(XML_GetCurrentLineNumber(parser.get())),
                            static_cast<uint64_t>(XML_GetCurrentColumnNumber(parser.get())) + 1};
}

std::string DescribeXmlError(const std::string& file, const XmlWellFormedError& error) {
  return file + ": line " + std::to_string(error.line) + ", column " + std::to_string(error.column) +
         ": " + error.message;
}

}  // namespace sx
