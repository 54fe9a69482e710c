#include "util/tokens.h"

#include "host/host.h"
#include "util/str_utils.h"

namespace sx {

namespace {

// Calls `visit(start, length)` for each token, in order, until it returns false.
template <typename Visit>
void ForEachToken(std::string_view text, const CharSet& delimiters, Visit visit) {
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && Contains(delimiters, text[i])) ++i;
    if (i == text.size()) return;
    const size_t start = i;
    while (i < text.size() && !Contains(delimiters, text[i])) ++i;
    if (!visit(start, i - start)) return;
  }
}

// Offset and length of token n, or npos as offset when there is none.
std::pair<size_t, size_t> FindToken(int n, std::string_view text, const CharSet& delimiters) {
  std::pair<size_t, size_t> found{std::string_view::npos, 0};
  if (n < 1) return found;
  int count = 0;
  ForEachToken(text, delimiters, [&](size_t start, size_t length) {
    if (++count < n) return true;
    found = {start, length};
    return false;
  });
  return found;
}

}  // namespace

CharSet MakeCharSet(std::string_view chars) {
  CharSet set;
  for (char c : chars) set.set(static_cast<unsigned char>(c));
  return set;
}

int CountTokens(std::string_view text, const CharSet& delimiters) {
  int count = 0;
  ForEachToken(text, delimiters, [&](size_t, size_t) {
    ++count;
    return true;
  });
  return count;
}

int CountTokens(std::string_view text, std::string_view delimiters) {
  return CountTokens(text, MakeCharSet(delimiters));
}

int TokenStart(int n, std::string_view text, const CharSet& delimiters) {
  const auto [start, length] = FindToken(n, text, delimiters);
  return start == std::string_view::npos ? 0 : static_cast<int>(start) + 1;
}

int TokenStart(int n, std::string_view text, std::string_view delimiters) {
  return TokenStart(n, text, MakeCharSet(delimiters));
}

std::string GetToken(int n, std::string_view text, const CharSet& delimiters) {
  const auto [start, length] = FindToken(n, text, delimiters);
  return start == std::string_view::npos ? std::string() : std::string(text.substr(start, length));
}

std::string GetToken(int n, std::string_view text, std::string_view delimiters) {
  return GetToken(n, text, MakeCharSet(delimiters));
}

bool IsTokenOf(std::string_view text, std::string_view list, const CharSet& delimiters,
               bool caseSensitive) {
  if (text.empty()) return false;
  host::Host& host = host::CurrentHost();
  bool found = false;
  ForEachToken(list, delimiters, [&](size_t start, size_t length) {
    found = host.CompareLocale(list.substr(start, length), text, !caseSensitive) == 0;
    return !found;
  });
  return found;
}

bool IsTokenOf(std::string_view text, std::string_view list, std::string_view delimiters,
               bool caseSensitive) {
  return IsTokenOf(text, list, MakeCharSet(delimiters), caseSensitive);
}

std::string GetField(int n, std::string_view text, const CharSet& delimiters) {
  if (n < 1) return {};
  int field = 1;
  size_t fieldStart = 0;
  char quote = 0;  // the quotation mark of the quoted part we are in, 0 outside
  size_t i = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (Contains(delimiters, c)) {
      if (field == n) break;
      ++field;
      fieldStart = i + 1;
    } else if (c == '"' || c == '\'') {
      quote = c;
    }
  }
  if (field != n) return {};
  const std::string_view result = text.substr(fieldStart, i - fieldStart);
  if (!result.empty() && result.front() == '\'') return Unquote(result, '\'');
  return std::string(result);
}

std::string GetField(int n, std::string_view text, std::string_view delimiters) {
  return GetField(n, text, MakeCharSet(delimiters));
}

}  // namespace sx
