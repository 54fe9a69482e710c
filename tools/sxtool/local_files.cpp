#include "tools/sxtool/local_files.h"

#include <fstream>
#include <iostream>
#include <sstream>

namespace sx::tool {

std::optional<std::string> ReadLocalFile(const std::string& path) {
  std::ostringstream content;
  if (path == "-") {
    content << std::cin.rdbuf();
    return content.str();
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return content.str();
}

}  // namespace sx::tool
