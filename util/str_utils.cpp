#include "util/str_utils.h"

#include <algorithm>

#include "host/host.h"

namespace sx {

std::string ReplaceAll(std::string_view text, std::string_view oldText, std::string_view newText) {
  if (oldText.empty()) return std::string(text);
  std::string result;
  result.reserve(text.size());
  size_t from = 0;
  for (size_t found; (found = text.find(oldText, from)) != std::string_view::npos;
       from = found + oldText.size()) {
    result.append(text.substr(from, found - from));
    result.append(newText);
  }
  result.append(text.substr(from));
  return result;
}

std::string RemoveChar(std::string_view text, char c) {
  std::string result;
  result.reserve(text.size());
  std::copy_if(text.begin(), text.end(), std::back_inserter(result),
               [c](char x) { return x != c; });
  return result;
}

std::string RemoveSpaces(std::string_view text) { return RemoveChar(text, ' '); }

int NthPos(std::string_view sub, std::string_view text, int n) {
  if (sub.empty() || n < 1) return 0;
  size_t found = std::string_view::npos;
  size_t from = 0;
  for (int i = 0; i < n; ++i) {
    found = text.find(sub, from);
    if (found == std::string_view::npos) return 0;
    from = found + 1;
  }
  return static_cast<int>(found) + 1;
}

std::string PadLeft(char c, std::string_view text, int length) {
  std::string result;
  if (length > 0 && text.size() < static_cast<size_t>(length)) {
    result.assign(static_cast<size_t>(length) - text.size(), c);
  }
  result.append(text);
  return result;
}

std::string TextBefore(std::string_view text, char c) {
  return std::string(text.substr(0, text.find(c)));
}

std::string TextAfter(std::string_view text, char c) {
  const size_t found = text.find(c);
  return found == std::string_view::npos ? std::string() : std::string(text.substr(found + 1));
}

std::string NameOf(std::string_view text) { return TextBefore(text, '='); }
std::string ValueOf(std::string_view text) { return TextAfter(text, '='); }

std::string Unquote(std::string_view text, char quote) {
  if (text.empty() || text.front() != quote) return std::string(text);
  std::string result;
  for (size_t i = 1; i < text.size(); ++i) {
    if (text[i] == quote) {
      if (i + 1 < text.size() && text[i + 1] == quote) {
        ++i;  // a doubled quote stands for one
      } else {
        break;  // the closing quote; what follows is dropped
      }
    }
    result.push_back(text[i]);
  }
  return result;
}

std::string ToOem(std::string_view text) { return host::CurrentHost().AnsiToOem(text); }

std::string Trim(std::string_view text) {
  size_t start = 0, end = text.size();
  while (start < end && static_cast<unsigned char>(text[start]) <= ' ') ++start;
  while (end > start && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return std::string(text.substr(start, end - start));
}

std::string FormatLanguageText(std::string_view format, std::string_view argument) {
  std::string out;
  bool used = false;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      if (format[i + 1] == '%') {
        out += '%';
        ++i;
        continue;
      }
      if (format[i + 1] == 's' && !used) {
        out += argument;
        used = true;
        ++i;
        continue;
      }
    }
    out += format[i];
  }
  return out;
}

}  // namespace sx
