#include "tools/sxtool/local_files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

namespace sx::tool {

std::optional<std::string> ReadLocalFile(const std::string& path, std::string* problem) {
  auto fail = [&](const std::string& why) -> std::optional<std::string> {
    if (problem) *problem = why;
    return std::nullopt;
  };
  std::ostringstream content;
  if (path == "-") {
    content << std::cin.rdbuf();
    if (std::cin.bad()) return fail("standard input cannot be read");
    return content.str();
  }
  // A stream opens a folder without complaint and reads nothing from it.
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return fail(std::strerror(errno));
  if (S_ISDIR(st.st_mode)) return fail("is a folder, not a file");
  std::ifstream in(path, std::ios::binary);
  if (!in) return fail(std::strerror(errno));
  content << in.rdbuf();
  if (in.bad()) return fail("read error");
  return content.str();
}

std::string CannotReadMessage(const std::string& path, const std::string& problem) {
  return "cannot read \"" + path + "\": " + problem;
}

}  // namespace sx::tool
