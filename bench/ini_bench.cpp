// The install log's pattern through the INI cache: N WriteString calls of distinct keys into one
// section, the write-back (UpdateFile, when the cache closes the document), then loading the file
// again and reading every key back. Goal: linear scaling, i.e. a cost per key that does not grow
// with the document. Prints one table (best of seven runs per size) and the check.
//
// Reading the check: the work per key is constant, but the memory it touches is not: at 10,000
// keys the document and its index sit in the CPU caches, at 100,000 (some 30 MB) they do not, so
// even a bare hash map shows up to a few times more time per key there. A cost per write that grew
// with the document (a search through the section's lines) would make the 100k row about ten
// times slower per key than the 10k row; the check allows 4.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "host/posix/posix_host.h"
#include "platform/ini_cache.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(const std::function<void()>& work) {
  auto start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Key(int i) { return "C:\\Program Files\\Product\\bin\\file" + std::to_string(i) + ".dll"; }
std::string Value(int i) { return "1," + std::to_string(i * 7) + ",0x" + std::to_string(i); }

struct Times {
  double write = 1e30, update = 1e30, read = 1e30;
  double Total() const { return write + update + read; }
};

bool failed = false;

Times Run(int keys, const std::string& file) {
  Times best;
  for (int run = 0; run < 7; ++run) {
    Times t;
    t.write = Seconds([&] {
      for (int i = 0; i < keys; ++i) sx::IniWriteString(file, "Files", Key(i), Value(i));
    });
    t.update = Seconds([&] {
      if (!sx::IniCloseFile(file)) failed = true;
    });
    t.read = Seconds([&] {
      for (int i = 0; i < keys; ++i)
        if (sx::IniReadString(file, "files", Key(i), "") != Value(i)) failed = true;
      sx::IniCloseAll();
    });
    best.write = std::min(best.write, t.write);
    best.update = std::min(best.update, t.update);
    best.read = std::min(best.read, t.read);
    sx::host::CurrentHost().DeleteFile(file);
  }
  return best;
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  std::string pattern = (fs::temp_directory_path() / "sx-ini-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  int status = 0;
  {
    auto host = sx::host::OpenPosixHost(pattern);
    sx::host::SetCurrentHost(host.get());
    sx::SetIniStripQuotes(false);

    const int sizes[] = {10000, 50000, 100000};
    Times times[3];
    for (int i = 0; i < 3; ++i) times[i] = Run(sizes[i], "C:\\bench\\install" + std::to_string(i) + ".log");

    std::printf("%-8s %12s %12s %14s %10s %12s\n", "keys", "write ms", "update ms",
                "load+read ms", "total ms", "us per key");
    for (int i = 0; i < 3; ++i) {
      std::printf("%-8d %12.1f %12.1f %14.1f %10.1f %12.3f\n", sizes[i], times[i].write * 1e3,
                  times[i].update * 1e3, times[i].read * 1e3, times[i].Total() * 1e3,
                  times[i].Total() / sizes[i] * 1e6);
    }
    auto perKey = [&](int i) { return times[i].Total() / sizes[i]; };
    const double fromSmall = perKey(2) / perKey(0), fromMiddle = perKey(2) / perKey(1);
    const bool linear = fromSmall < 4.0;
    std::printf("time per key, 100k against 10k: %.2fx, against 50k: %.2fx -> %s\n", fromSmall,
                fromMiddle, linear ? "linear" : "NOT LINEAR");
    if (failed) std::printf("ERROR: a value did not read back or a write-back failed\n");
    status = linear && !failed ? 0 : 1;
    sx::host::SetCurrentHost(nullptr);
  }
  std::error_code ignored;
  fs::remove_all(pattern, ignored);
  return status;
}
