// sxtool attrib [/s] PATH: the attributes of a file or folder of the machine as its host reports
// them, one line per file as Windows' attrib shows them. Tests compare machines with it.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "host/host.h"
#include "tools/sxtool/commands.h"
#include "tools/sxtool/tool_host.h"
#include "util/case_tables.h"

namespace sx::tool {
namespace {

constexpr char kHelp[] =
    "usage: sxtool attrib [/s] PATH\n"
    "  Prints the attributes of the file or folder PATH (a Windows path of the machine): one\n"
    "  line per entry, the letters D (folder), A (archive), S (system), H (hidden) and R\n"
    "  (read-only), \"-\" for each that is not set, then the path. /s: the folder PATH and every\n"
    "  file and folder below it, sorted by path (ignoring case).\n"
    "  Exit status: 0 done, 1 PATH does not exist, 2 bad usage.\n";

int Usage(FILE* out) {
  std::fputs(kHelp, out);
  return out == stdout ? 0 : 2;
}

std::string Letters(uint32_t attributes) {
  std::string out = "-----";
  if (attributes & host::kAttrDirectory) out[0] = 'D';
  if (attributes & host::kAttrArchive) out[1] = 'A';
  if (attributes & host::kAttrSystem) out[2] = 'S';
  if (attributes & host::kAttrHidden) out[3] = 'H';
  if (attributes & host::kAttrReadOnly) out[4] = 'R';
  return out;
}

struct Line {
  std::string path;
  uint32_t attributes;
};

void ListBelow(host::Host& host, const std::string& folder, std::vector<Line>& out) {
  const auto entries = host.FindFiles(folder + "\\*");
  if (!entries) return;
  for (const host::FindEntry& entry : *entries) {
    if (entry.name == "." || entry.name == "..") continue;
    const std::string path = folder + "\\" + entry.name;
    out.push_back({path, entry.info.attributes});
    const uint32_t attributes = entry.info.attributes;
    if ((attributes & host::kAttrDirectory) && !(attributes & host::kAttrReparsePoint)) ListBelow(host, path, out);
  }
}

}  // namespace

int AttribCommand(const Args& args) {
  if (WantsHelp(args)) return Usage(stdout);
  bool recursive = false;
  std::string path;
  for (const std::string& arg : args) {
    if (arg == "/s" || arg == "/S") {
      recursive = true;
    } else if (path.empty() && !arg.empty() && arg[0] != '/') {
      path = arg;
    } else {
      return Usage(stderr);
    }
  }
  if (path.empty()) return Usage(stderr);
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  ToolHost tool;
  host::Host& host = tool.host();
  const auto info = host.GetFileInfo(path);
  if (!info) {
    std::fprintf(stderr, "sxtool attrib: %s does not exist\n", path.c_str());
    return kFailed;
  }
  std::vector<Line> lines = {{path, info->attributes}};
  if (recursive && (info->attributes & host::kAttrDirectory)) ListBelow(host, path, lines);
  std::sort(lines.begin() + 1, lines.end(),
            [](const Line& a, const Line& b) { return LowerCaseFast(a.path) < LowerCaseFast(b.path); });
  for (const Line& line : lines) std::printf("%s %s\n", Letters(line.attributes).c_str(), line.path.c_str());
  return kOk;
}

}  // namespace sx::tool
