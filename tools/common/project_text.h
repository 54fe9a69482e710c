// The text of a project file as the tools read and write it. Authors write project.xml in UTF-8
// (declared or not) or in the setup's 8-bit code page (declared as windows-1252 and the like);
// the engine's reader and the project model work on 8-bit text in that code page. Reading
// converts a UTF-8 document into the code page; writing turns the model's XML back into the
// document's own encoding under its own declaration.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "xml/strict/xml_wellformed.h"

namespace sx::host {
class CodePage;
}

namespace sx::tool {

// A document that cannot be used: the message says why (and on which line).
class ProjectTextError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ProjectText {
  std::string text;         // in the code page, without byte-order mark
  bool utf8 = false;        // the file is UTF-8
  bool byteOrderMark = false;
  std::string declaration;  // "<?xml ...?>" as written, "" when there is none
};

// The encoding named in the XML declaration, in lower case; "" when there is none.
std::string DeclaredEncoding(std::string_view document);
// True when the bytes are valid UTF-8.
bool IsValidUtf8(std::string_view text);

// The strict well-formedness check (xml/strict/xml_wellformed.h) of a project file's bytes; a
// file without declaration that is no UTF-8 is 8-bit text.
std::optional<XmlWellFormedError> CheckProjectWellFormed(const std::string& bytes);

// Reads the bytes of a project file. Throws ProjectTextError for an encoding that is neither
// UTF-8 nor 8-bit, for a UTF-8 file that is not valid UTF-8, and for characters the code page
// cannot hold (naming the first such line). The standard references of attribute values come
// back in the engine reader's escape (attribute_references.h).
ProjectText DecodeProjectText(const std::string& bytes, const host::CodePage& codePage);

// The engine's XML of the model (`xml`, without declaration, in the code page) written as the
// file `original` was: in its encoding, under its declaration and byte-order mark.
std::string EncodeProjectText(const ProjectText& original, const std::string& xml,
                              const host::CodePage& codePage);

}  // namespace sx::tool
