// Loading and saving the machine registry: the system.reg of a fresh Wine prefix (1.7 MB), and a
// file of 200,000 sibling keys in sorted and in shuffled order (each sub-key insertion must cost
// O(log n), so shuffled loads about as fast as sorted). Goal: loading at 100 MB/s or more.
// Prints one table (best of several runs).
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "host/posix/registry_hive.h"
#include "host/posix/wine_reg_format.h"

namespace {

using Clock = std::chrono::steady_clock;

// The best time of `runs` runs of `work`, in seconds.
double Best(int runs, const std::function<void()>& work) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

void Row(const char* what, size_t bytes, double seconds) {
  std::printf("%-34s %10.2f %12.1f\n", what, seconds * 1000.0, bytes / seconds / 1e6);
}

// A registry file of `count` sibling keys with one value each, in sorted or shuffled order.
std::string SiblingKeys(size_t count, bool shuffled) {
  std::vector<size_t> order(count);
  std::iota(order.begin(), order.end(), size_t{0});
  if (shuffled) std::shuffle(order.begin(), order.end(), std::mt19937(42));
  std::string text =
      "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win32\n";
  char line[96];
  for (size_t n : order) {
    std::snprintf(line, sizeof line, "\n[Software\\\\Many\\\\Key%07zu] 1700000000\n\"v\"=dword:%08zx\n", n,
                  n);
    text += line;
  }
  return text;
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  using namespace sx::host;
  const std::string sample = std::string(SX_FIXTURES_DIR) + "/wine-prefix/system.reg";
  std::ifstream in(sample, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", sample.c_str());
    return 1;
  }
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string text = buffer.str();

  std::string pattern = (fs::temp_directory_path() / "sx-registry-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path folder = pattern;
  const std::string path = (folder / "system.reg").string();
  fs::copy_file(sample, path);

  const int runs = 30;
  size_t keys = 0;
  double parse = Best(runs, [&] {
    HiveContent content = ParseWineRegistry(text, sample);
    keys = content.root->Children().size();
  });
  HiveContent content = ParseWineRegistry(text, sample);
  std::string written;
  double format = Best(runs, [&] { written = FormatWineRegistry(content); });

  // Through the file: read + parse, and format + write + fsync + rename.
  double load = Best(runs, [&] {
    RegistryHive hive(path, "", nullptr);
    hive.Refresh();
  });
  RegistryHive hive(path, "", nullptr);
  hive.Refresh();
  double save = Best(runs, [&] {
    hive.MarkChanged();
    if (!hive.Flush()) std::fprintf(stderr, "flush failed\n");
  });

  constexpr size_t kSiblings = 200000;
  const std::string sorted = SiblingKeys(kSiblings, false);
  const std::string shuffled = SiblingKeys(kSiblings, true);
  double parseSorted = Best(3, [&] { ParseWineRegistry(sorted, "sorted.reg"); });
  double parseShuffled = Best(3, [&] { ParseWineRegistry(shuffled, "shuffled.reg"); });

  std::printf("registry: %s (%.2f MB, %zu top-level keys)%s\n", sample.c_str(), text.size() / 1e6,
              keys, written == text ? "" : "  [saved text differs from the sample!]");
  std::printf("%-34s %10s %12s\n", "operation", "ms", "MB/s");
  Row("parse text -> keys", text.size(), parse);
  Row("format keys -> text", text.size(), format);
  Row("load file (read + parse)", text.size(), load);
  Row("save file (write, fsync, rename)", text.size(), save);
  Row("parse 200,000 sibling keys, sorted", sorted.size(), parseSorted);
  Row("parse 200,000 sibling keys, shuffled", shuffled.size(), parseShuffled);

  fs::remove_all(folder);
  return 0;
}
