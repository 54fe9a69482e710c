// A strict well-formedness check of XML documents that users write (project files), done with
// expat. The engine's own reader (xml_tag.h) is tolerant on purpose and stays so; the tools run
// this check first so that a cut-off or damaged file is refused instead of read in part.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sx {

struct XmlWellFormedError {
  std::string message;   // expat's description ("unclosed token", "undefined entity", ...)
  uint64_t line = 0;     // 1-based
  uint64_t column = 0;   // 1-based, in bytes of the line
};

// Checks that `document` is one well-formed XML document. Documents declared in an 8-bit
// encoding expat does not know itself (windows-1252, cp1250, ...) are read byte for byte as
// Latin-1: well-formedness does not depend on which letters the upper bytes stand for.
// `undeclaredEncoding`, when not empty, is the encoding of a document that declares none (expat
// takes UTF-8 otherwise). Returns the first error, or std::nullopt for a well-formed document.
std::optional<XmlWellFormedError> CheckXmlWellFormed(std::string_view document,
                                                     const std::string& undeclaredEncoding = "");

// "<file>: line L, column C: <message>".
std::string DescribeXmlError(const std::string& file, const XmlWellFormedError& error);

}  // namespace sx
