// Font resources of the simulated machine: a per-process table of the font files added, as
// AddFontResource keeps one per session. A file is taken only when its first bytes show a font.
#include <algorithm>
#include <map>
#include <mutex>

#include "host/posix/posix_host_impl.h"

namespace sx::host {
namespace {

struct FontTable {
  std::mutex mutex;
  std::map<std::string, int> counts;  // host path -> times added
};

FontTable& Fonts() {
  static FontTable table;
  return table;
}

// TrueType (00 01 00 00 or "true"), OpenType ("OTTO"), a collection ("ttcf"), a Windows font
// resource file ("MZ", .fon) or a bare font resource (.fnt, version 2 or 3).
bool LooksLikeFont(const unsigned char* b, size_t n) {
  if (n < 4) return false;
  auto is = [&](const char* tag) { return std::equal(b, b + 4, reinterpret_cast<const unsigned char*>(tag)); };
  if ((b[0] == 0 && b[1] == 1 && b[2] == 0 && b[3] == 0) || is("true") || is("OTTO") || is("ttcf"))
    return true;
  if (b[0] == 'M' && b[1] == 'Z') return true;
  return b[0] == 0 && (b[1] == 2 || b[1] == 3);
}

}  // namespace

bool PosixHost::AddFontResource(std::string_view path) {
  auto hostPath = Map(path);
  unsigned char head[4] = {};
  size_t got = 0;
  if (auto file = OpenFile(path, {OpenMode::kRead, false}))
    if (auto n = file->Read(head, sizeof head)) got = *n;
  const bool font = hostPath && LooksLikeFont(head, got);
  Trace("font", std::string(font ? "add " : "add refused ") + std::string(path));
  if (!font) {
    SetLastError(kErrorBadFormat);
    return false;
  }
  FontTable& table = Fonts();
  std::lock_guard lock(table.mutex);
  ++table.counts[*hostPath];
  return true;
}

bool PosixHost::RemoveFontResource(std::string_view path) {
  auto hostPath = Map(path);
  FontTable& table = Fonts();
  std::lock_guard lock(table.mutex);
  auto found = hostPath ? table.counts.find(*hostPath) : table.counts.end();
  if (found == table.counts.end()) return false;
  if (--found->second == 0) table.counts.erase(found);
  Trace("font", "remove " + std::string(path));
  return true;
}

}  // namespace sx::host
