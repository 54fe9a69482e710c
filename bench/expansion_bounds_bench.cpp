// Expansions whose work would grow exponentially or multiply the text: values that refer to the
// next level twice (V1 = "%V2%%V2%", ... 30 levels, 2^30 references within the depth limit), a
// value holding its own reference 200 and 300 times, and a value fed its own expansion back
// (SetVariable('X', GetVariable('X')) with X = "%X%%X%"). Goal: each ends within the expansion
// budget (kMaxExpansionReferences, kMaxExpansionOutput) in well under a second, with the
// infinite-reference text. Prints one line per case; "bench CASE" runs one case only.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "database/sx_main_database.h"
#include "database/sx_variable_access.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Case {
  const char* name;
  std::function<size_t()> run;  // the length of the result
};

void Set(sx::TsxMainDatabase& db, const std::string& name, const std::string& value) {
  sx::WriteVariable(&db, name, value);
  db.Variables->Reindex();
}

size_t Doubling() {
  sx::TsxMainDatabase db;
  for (int level = 1; level < 30; ++level) {
    const std::string next = "%V" + std::to_string(level + 1) + "%";
    Set(db, "V" + std::to_string(level), next + next);
  }
  Set(db, "V30", "x");
  return sx::ExpandText(&db, "%V1%").size();
}

size_t OwnReferences(int count) {
  sx::TsxMainDatabase db;
  std::string value;
  for (int i = 0; i < count; ++i) value += "%X%";
  Set(db, "X", value);
  return sx::ReadVariable(&db, "X", "").size();
}

size_t FedBack() {
  sx::TsxMainDatabase db;
  Set(db, "X", "%X%%X%");
  Set(db, "X", sx::ReadVariable(&db, "X", ""));
  return sx::ReadVariable(&db, "X", "").size();
}

}  // namespace

int main(int argc, char** argv) {
  const Case cases[] = {
      {"doubling-30-levels", Doubling},
      {"own-reference-200x", [] { return OwnReferences(200); }},
      {"own-reference-300x", [] { return OwnReferences(300); }},
      {"fed-back", FedBack},
  };
  std::printf("%-22s %12s %16s\n", "case", "ms", "result bytes");
  bool bounded = true;
  for (const Case& c : cases) {
    if (argc > 1 && std::strcmp(argv[1], c.name) != 0) continue;
    const auto start = Clock::now();
    const size_t length = c.run();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("%-22s %12.1f %16zu\n", c.name, ms, length);
    std::fflush(stdout);
    bounded = bounded && ms < 5000 && length <= sx::kMaxExpansionOutput + 1000;
  }
  std::printf("every case within the budget: %s\n", bounded ? "yes" : "NO");
  return bounded ? 0 : 1;
}
