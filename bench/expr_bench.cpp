// Evaluations per second of the installer's evaluator on item-condition shaped expressions.
// Goal: one million evaluations of the reference condition (three variables, groups, "not",
// a function call) at 300,000 or more per second on one core. Prints one table.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "database/sx_main_database.h"
#include "database/sx_variable_access.h"
#include "expr/database_services.h"
#include "expr/sx_evaluator.h"
#include "host/host.h"
#include "host/posix/posix_host.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kEvaluations = 1'000'000;

struct Case {
  const char* name;
  const char* expression;
};

}  // namespace

int main() {
  namespace fs = std::filesystem;
  // A throw-away machine: the evaluator asks the host for the decimal separator.
  std::string pattern = (fs::temp_directory_path() / "sx-expr-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  sx::host::InitMachine(pattern);
  auto host = sx::host::OpenPosixHost(pattern);
  sx::host::SetCurrentHost(host.get());

  // The three variables of a project, read and expanded by the project's rules.
  sx::TsxMainDatabase project;
  sx::WriteVariable(&project, "A", "1");
  sx::WriteVariable(&project, "B", "5");
  sx::WriteVariable(&project, "C", "Index.txt");
  sx::TDatabaseServices services(project);
  sx::TsxEvaluator evaluator(services);

  const Case cases[] = {
      {"reference condition",
       "(%A% = '1') and not (%B% < 2) or FindSubStr(%C%, 'x', 1) > 0"},
      {"same, values written in", "('1' = '1') and not (5 < 2) or FindSubStr('Index.txt', 'x', 1) > 0"},
      {"arithmetic", "(1 + 2) * 3 - 4 / 5 >= 7.2"},
      {"one variable", "%A%"},
  };

  std::printf("%-26s %12s %10s %14s\n", "expression", "evaluations", "seconds", "per second");
  int trueResults = 0;
  for (const Case& c : cases) {
    const auto start = Clock::now();
    for (int i = 0; i < kEvaluations; ++i)
      trueResults += evaluator.EvaluateCondition(c.expression, 0) ? 1 : 0;
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%-26s %12d %10.3f %14.0f\n", c.name, kEvaluations, seconds,
                kEvaluations / seconds);
  }
  if (trueResults != 4 * kEvaluations) std::fprintf(stderr, "unexpected results\n");

  sx::host::SetCurrentHost(nullptr);
  host.reset();
  std::error_code ignored;
  fs::remove_all(pattern, ignored);
  return 0;
}
