#include "tools/common/project_text.h"

#include <algorithm>

#include "host/posix/codepage.h"
#include "tools/common/attribute_references.h"

namespace sx::tool {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool AllAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// The declaration "<?xml ...?>" at the start of the document (blanks before it allowed).
std::string_view Declaration(std::string_view text) {
  const size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos || text.substr(start, 5) != "<?xml") return {};
  if (start + 5 < text.size() && text[start + 5] != ' ' && text[start + 5] != '\t' &&
      text[start + 5] != '\r' && text[start + 5] != '\n' && text[start + 5] != '?')
    return {};  // another instruction whose name begins with "xml"
  const size_t end = text.find("?>", start);
  return text.substr(start, end == std::string_view::npos ? text.size() - start : end + 2 - start);
}

}  // namespace

std::string DeclaredEncoding(std::string_view document) {
  if (document.substr(0, kByteOrderMark.size()) == kByteOrderMark) document.remove_prefix(kByteOrderMark.size());
  const std::string_view declaration = Declaration(document);
  const size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return "";
  const size_t quote = declaration.find_first_of("\"'", at);
  if (quote == std::string_view::npos) return "";
  const size_t close = declaration.find(declaration[quote], quote + 1);
  if (close == std::string_view::npos) return "";
  return Lower(std::string(declaration.substr(quote + 1, close - quote - 1)));
}

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t extra;
    if (c < 0x80) {
      extra = 0;
    } else if ((c >> 5) == 0x6) {
      extra = 1;
    } else if ((c >> 4) == 0xE) {
      extra = 2;
    } else if ((c >> 3) == 0x1E) {
      extra = 3;
    } else {
      return false;
    }
    if (text.size() - i <= extra) return false;
    for (size_t k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2) return false;
    i += extra + 1;
  }
  return true;
}

std::optional<XmlWellFormedError> CheckProjectWellFormed(const std::string& bytes) {
  const bool undeclared8Bit = DeclaredEncoding(bytes).empty() && !IsValidUtf8(bytes);
  return CheckXmlWellFormed(bytes, undeclared8Bit ? "ISO-8859-1" : "");
}

ProjectText DecodeProjectText(const std::string& bytes, const host::CodePage& codePage) {
  ProjectText out;
  std::string text = bytes;
  out.byteOrderMark = text.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0;
  if (out.byteOrderMark) text.erase(0, kByteOrderMark.size());
  out.declaration = std::string(Declaration(text));
  const std::string encoding = DeclaredEncoding(text);
  out.utf8 = out.byteOrderMark || encoding == "utf-8" || encoding == "utf8";
  if (!out.utf8 && encoding.empty()) out.utf8 = !AllAscii(text) && IsValidUtf8(text);
  if (!out.utf8) {
    const bool eightBit = encoding.empty() || encoding.rfind("windows-", 0) == 0 ||
                          encoding.rfind("cp", 0) == 0 || encoding.rfind("iso-8859-", 0) == 0 ||
                          encoding == "latin1" || encoding == "us-ascii" || encoding == "ascii";
    if (!eightBit)
      throw ProjectTextError("encoding \"" + encoding +
                             "\" is not supported (use UTF-8 or the 8-bit code page of the setup)");
    out.text = RewriteAttributeReferences(text, codePage);
    return out;
  }
  if (!IsValidUtf8(text)) throw ProjectTextError("the file is declared UTF-8 but is not valid UTF-8");
  out.text = codePage.FromUtf8(text);
  if (codePage.ToUtf8(out.text) != text) {
    // Name the first line that loses characters.
    size_t line = 1, start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      const std::string piece = text.substr(start, end - start);
      if (codePage.ToUtf8(codePage.FromUtf8(piece)) != piece) break;
      ++line;
      start = end + 1;
    }
    throw ProjectTextError("line " + std::to_string(line) + " holds characters that code page " +
                           std::to_string(codePage.Number()) + " cannot hold (see --codepage)");
  }
  out.text = RewriteAttributeReferences(out.text, codePage);
  return out;
}

std::string EncodeProjectText(const ProjectText& original, const std::string& xml,
                              const host::CodePage& codePage) {
  std::string out;
  if (original.byteOrderMark) out += kByteOrderMark;
  if (!original.declaration.empty()) out += original.declaration + "\r\n";
  out += original.utf8 ? codePage.ToUtf8(xml) : xml;
  return out;
}

}  // namespace sx::tool
