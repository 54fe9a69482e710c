// Throughput of the text search routines on a 1 MB text: case-insensitive search with the fixed
// tables, case-sensitive search, wildcard search and whole-text wildcard matching.
// Prints one table; each row searches for something that only stands at the end of the text.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "util/str_utils.h"

namespace {

constexpr size_t kTextSize = 1 << 20;

// Words of mixed case, Latin and Windows-1251 Cyrillic, separated by spaces and line breaks.
// Lower-case "e" is frequent, so searches for a needle starting with it meet many candidates.
std::string MakeText() {
  static const char* const kWords[] = {
      "Setup",  "engine", "the",   "Feature", "Component", "registry", "Value", "execute",
      "\xEF\xF0\xE8\xE2\xE5\xF2", "\xCC\xC8\xD0", "\xA8\xEB\xEA\xE0", "e",     "ee",
      "release", "EVENT", "seems"};
  std::string text;
  text.reserve(kTextSize + 64);
  uint32_t state = 12345;
  while (text.size() < kTextSize - 64) {
    state = state * 1103515245u + 12345u;
    text += kWords[(state >> 16) % (sizeof kWords / sizeof kWords[0])];
    text += (state >> 8) % 13 == 0 ? '\n' : ' ';
  }
  text += "EndOfInstallationMarker";
  return text;
}

volatile long long g_sink;

// MB/s of `run` over `bytes`, repeating it for at least 300 ms.
double Throughput(size_t bytes, const std::function<long long()>& run) {
  using Clock = std::chrono::steady_clock;
  long long sink = 0;
  int rounds = 0;
  const auto start = Clock::now();
  std::chrono::duration<double> elapsed{};
  do {
    sink += run();
    ++rounds;
    elapsed = Clock::now() - start;
  } while (elapsed.count() < 0.3);
  g_sink = sink;
  return static_cast<double>(bytes) * rounds / elapsed.count() / (1024.0 * 1024.0);
}

}  // namespace

int main() {
  const std::string text = MakeText();

  struct Row {
    const char* name;
    std::function<long long()> run;
  };
  const Row rows[] = {
      {"PosTextFrom   \"endofinstallation\"",
       [&] { return sx::PosTextFrom("endofinstallation", text, 1); }},
      {"PosTextFrom   \"ENDOFINSTALLATION\"",
       [&] { return sx::PosTextFrom("ENDOFINSTALLATION", text, 1); }},
      {"PosFrom       \"EndOfInstallation\"",
       [&] { return sx::PosFrom("EndOfInstallation", text, 1); }},
      {"WildPos       \"End?fInst?llation\"",
       [&] { return sx::WildPos("End?fInst?llation", text); }},
      {"WildPos       \"e?dOfInstallation\"",
       [&] { return sx::WildPos("e?dOfInstallation", text); }},
      {"MatchesWildcard \"*e?dOfInst*Marker\"",
       [&] { return sx::MatchesWildcard(text, "*e?dOfInst*Marker", false); }},
      {"MatchesWildcard \"*engine*OfInstallation*\"",
       [&] { return sx::MatchesWildcard(text, "*engine*OfInstallation*", false); }},
      {"MatchesWildcard \"*e?dOfInst*Mark\" (no match)",
       [&] { return sx::MatchesWildcard(text, "*e?dOfInst*Mark", false); }},
      {"LowerCaseFast",
       [&] { return static_cast<long long>(sx::LowerCaseFast(text).size()); }},
  };

  std::printf("%-44s %12s\n", "routine (1 MB text)", "MB/s");
  for (const Row& row : rows) {
    std::printf("%-44s %12.0f\n", row.name, Throughput(text.size(), row.run));
  }
  return 0;
}
