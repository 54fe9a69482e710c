#include "plugins/wizard/destination.h"

#include <cctype>

namespace sxwizard {

std::string DestinationProblem(const std::string& path) {
  if (path.empty()) return "Type the folder to install into.";
  const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                     path[2] == '\\';
  const bool network = path.size() > 2 && path[0] == '\\' && path[1] == '\\';
  if (!drive && !network) return "The folder must be a full path such as C:\\Program Files\\App.";
  for (size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    if ((c == ':' && i != 1) || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*' || c == '/' ||
        static_cast<unsigned char>(c) < 0x20)
      return std::string("The folder name must not contain \"") + c + "\".";
  }
  return "";
}

}  // namespace sxwizard
