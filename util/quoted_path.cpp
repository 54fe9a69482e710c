#include "util/quoted_path.h"

namespace sx {

std::string FolderOutsideQuotes(std::string_view text) {
  char quote = 0;
  size_t last = std::string_view::npos;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '\\') {
      last = i;
    }
  }
  return last == std::string_view::npos ? "" : std::string(text.substr(0, last));
}

}  // namespace sx
