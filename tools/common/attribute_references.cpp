#include "tools/common/attribute_references.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "host/posix/codepage.h"
#include "tools/common/project_text.h"

namespace sx::tool {
namespace {

std::string Utf8Of(unsigned long codePoint) {
  std::string out;
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | codePoint >> 6);
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | codePoint >> 12);
    out += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | codePoint >> 18);
    out += static_cast<char>(0x80 | (codePoint >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
  return out;
}

std::string ByteEscapes(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "&#x%02X;", c);
    out += escape;
  }
  return out;
}

bool IsByteEscape(std::string_view name) {
  auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); };
  return name.size() == 4 && name[0] == '#' && name[1] == 'x' && hex(name[2]) && hex(name[3]);
}

// The engine's escape for the reference "&NAME;".
std::string Rewritten(std::string_view name, const host::CodePage& codePage) {
  if (IsByteEscape(name)) return "&" + std::string(name) + ";";
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  for (const auto& [entity, character] : kNamed)
    if (name == entity) return ByteEscapes(std::string(1, character));
  // A character reference (the strict check let only valid ones through).
  const std::string digits(name.substr(name.size() > 1 && name[1] == 'x' ? 2 : 1));
  const unsigned long codePoint = std::strtoul(digits.c_str(), nullptr, name[1] == 'x' ? 16 : 10);
  const std::string utf8 = Utf8Of(codePoint);
  const std::string bytes = codePage.FromUtf8(utf8);
  if (bytes.empty() || codePage.ToUtf8(bytes) != utf8)
    throw ProjectTextError("the character reference &" + std::string(name) + "; names a character that code page " +
                           std::to_string(codePage.Number()) + " cannot hold (see --codepage)");
  return ByteEscapes(bytes);
}

}  // namespace

std::string RewriteAttributeReferences(std::string_view text, const host::CodePage& codePage) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  // Copies everything up to and including `end` (or the rest of the text).
  auto copyThrough = [&](std::string_view end) {
    const size_t at = text.find(end, i);
    const size_t stop = at == std::string_view::npos ? text.size() : at + end.size();
    out.append(text.substr(i, stop - i));
    i = stop;
  };
  while (i < text.size()) {
    if (text[i] != '<') {  // text between elements
      const size_t next = std::min(text.find('<', i), text.size());
      out.append(text.substr(i, next - i));
      i = next;
      continue;
    }
    const std::string_view rest = text.substr(i);
    if (rest.starts_with("<!--")) {
      copyThrough("-->");
    } else if (rest.starts_with("<?")) {
      copyThrough("?>");
    } else if (rest.starts_with("<![CDATA[")) {
      copyThrough("]]>");
    } else if (rest.starts_with("<!")) {
      copyThrough(">");
    } else {
      // A tag: its attribute values are the quoted runs.
      char quote = 0;
      while (i < text.size()) {
        const char c = text[i];
        if (quote && c == '&') {
          const size_t semicolon = text.find(';', i);
          if (semicolon == std::string_view::npos) break;
          out += Rewritten(text.substr(i + 1, semicolon - i - 1), codePage);
          i = semicolon + 1;
          continue;
        }
        out += c;
        ++i;
        if (quote) {
          if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
          quote = c;
        } else if (c == '>') {
          break;
        }
      }
    }
  }
  return out;
}

}  // namespace sx::tool
