#include "util/wildcard.h"

#include <string>

#include "host/host.h"
#include "util/byte_search.h"

namespace sx {

namespace {

constexpr size_t kNone = std::string_view::npos;

// True when `segment` ("?" for any byte) matches `text` at `offset`; the caller checks that the
// segment fits.
bool SegmentMatchesAt(std::string_view segment, std::string_view text, size_t offset) {
  for (size_t i = 0; i < segment.size(); ++i) {
    if (segment[i] != '?' && segment[i] != text[offset + i]) return false;
  }
  return true;
}

// Offset of the first match of `segment` ("?" for any byte) in `text` at or after `from`.
size_t FindSegment(std::string_view segment, std::string_view text, size_t from) {
  if (segment.empty() || from > text.size() || segment.size() > text.size() - from) return kNone;
  const size_t anchor = segment.find_first_not_of('?');
  if (anchor == kNone) return from;  // only "?": any place with room for it
  if (segment.find('?') == kNone) return text.find(segment, from);

  // Candidates are the places where the first and the last fixed byte of the segment stand;
  // each is then checked in full.
  const size_t lastFixed = segment.find_last_not_of('?');
  const auto first = static_cast<unsigned char>(segment[anchor]);
  const auto second = static_cast<unsigned char>(segment[lastFixed]);
  return detail::FindCandidate(text, from, text.size() - segment.size(),
                               {anchor, first, first}, {lastFixed, second, second},
                               [&](size_t p) { return SegmentMatchesAt(segment, text, p); });
}

// The pattern with every run of "*" reduced to one "*".
std::string CollapseStars(std::string_view pattern) {
  std::string result;
  result.reserve(pattern.size());
  for (char c : pattern) {
    if (c == '*' && !result.empty() && result.back() == '*') continue;
    result.push_back(c);
  }
  return result;
}

bool Match(std::string_view text, std::string_view rawPattern) {
  if (text == rawPattern) return true;
  const std::string patternText = CollapseStars(rawPattern);
  const std::string_view pattern = patternText;
  if (pattern == "*") return true;
  if (text.empty() || pattern.empty()) return false;

  size_t t = 0, p = 0;
  while (t < text.size() && p < pattern.size()) {
    // A "*" is a wildcard even where the text holds a "*" too, so it is looked at first.
    if (pattern[p] == '*') {
      const size_t segmentStart = p + 1;
      const size_t nextStar = pattern.find('*', segmentStart);
      if (nextStar == kNone) {
        // The last segment must match the end of the text, but it may not reach back into the
        // part already matched.
        const std::string_view segment = pattern.substr(segmentStart);
        if (segment.size() > text.size() - t) return false;
        return SegmentMatchesAt(segment, text, text.size() - segment.size());
      }
      // A segment between two stars matches at its first place: later places only leave less
      // text for the rest of the pattern.
      const std::string_view segment = pattern.substr(segmentStart, nextStar - segmentStart);
      const size_t found = FindSegment(segment, text, t);
      if (found == kNone) return false;
      t = found + segment.size();
      p = nextStar;
    } else if (pattern[p] == '?' || pattern[p] == text[t]) {
      ++t;
      ++p;
    } else {
      return false;
    }
  }
  if (t < text.size()) return false;  // the pattern is used up, text remains
  // The text is used up: what remains of the pattern must match nothing, so it may hold only "*".
  return pattern.find_first_not_of('*', p) == kNone;
}

}  // namespace

bool HasWildcards(std::string_view text) { return text.find_first_of("*?") != kNone; }

int WildPos(std::string_view pattern, std::string_view text) {
  const size_t found = FindSegment(pattern, text, 0);
  return found == kNone ? 0 : static_cast<int>(found) + 1;
}

bool MatchesWildcard(std::string_view text, std::string_view pattern, bool ignoreCase) {
  if (!ignoreCase) return Match(text, pattern);
  host::Host& host = host::CurrentHost();
  return Match(host.UpperCaseLocale(text), host.UpperCaseLocale(pattern));
}

}  // namespace sx
