// Text expansion against large variable lists: a project of N variables and 100,000 expansions
// of a text with five references (one of them to a variable whose value refers to another, so
// six lookups per expansion). The references point near the end of the list, where a walk
// through the list would cost the most. Goal: the cost per expansion does not grow with N.
// Prints one table (best of five runs per size) and the check; the last column is what one
// lookup by walking the list costs, for comparison.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "database/sx_main_database.h"
#include "database/sx_variable_access.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kExpansions = 100000;

double Seconds(const std::function<void()>& work) {
  auto start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Name(int i) { return "Var" + std::to_string(i); }

void Fill(sx::TsxMainDatabase& db, int count) {
  for (int i = 0; i < count; ++i) {
    sx::TsxVariable& variable = db.Variables->AddNew();
    variable.Name = Name(i);
    variable.Value = "C:\\Program Files\\Product\\part" + std::to_string(i);
  }
  // The nested reference: the last variable refers to the one before it.
  db.Variables->Items(count - 1).Value = "%" + Name(count - 2) + "%\\bin";
  db.Variables->Reindex();
}

struct Result {
  double expand = 1e30;  // seconds for all expansions
  double scan = 1e30;    // seconds for one walk-through lookup
  bool correct = true;
};

Result Run(int count) {
  sx::TsxMainDatabase db;
  Fill(db, count);
  // Names in another letter case than defined, as projects write them.
  const std::string text = "%VAR" + std::to_string(count - 1) + "%;%var" + std::to_string(count - 3) +
                           "%;%Var" + std::to_string(count / 2) + "%|%VAR" + std::to_string(count - 4) +
                           "%|%vAr" + std::to_string(count - 5) + "%";
  auto part = [](int i) { return "C:\\Program Files\\Product\\part" + std::to_string(i); };
  const std::string expected = part(count - 2) + "\\bin;" + part(count - 3) + ";" + part(count / 2) +
                               "|" + part(count - 4) + "|" + part(count - 5);
  Result best;
  for (int run = 0; run < 5; ++run) {
    bool correct = true;
    best.expand = std::min(best.expand, Seconds([&] {
      for (int i = 0; i < kExpansions; ++i)
        if (sx::ExpandText(&db, text) != expected) correct = false;
    }));
    best.correct = best.correct && correct;
    const int scans = 200;
    best.scan = std::min(best.scan, Seconds([&] {
      for (int i = 0; i < scans; ++i)
        if (!db.Variables->ScanByName(Name(count - 1 - i % 5))) correct = false;
    }) / scans);
  }
  return best;
}

}  // namespace

int main() {
  const int sizes[] = {100, 1000, 10000};
  Result results[3];
  for (int i = 0; i < 3; ++i) results[i] = Run(sizes[i]);

  std::printf("%-10s %12s %14s %14s %20s\n", "variables", "expansions", "total ms",
              "ns/expansion", "ns/lookup by walking");
  for (int i = 0; i < 3; ++i)
    std::printf("%-10d %12d %14.1f %14.1f %20.1f\n", sizes[i], kExpansions, results[i].expand * 1e3,
                results[i].expand / kExpansions * 1e9, results[i].scan * 1e9);
  const double growth = results[2].expand / results[1].expand;
  const bool flat = growth < 1.5;
  const bool correct = results[0].correct && results[1].correct && results[2].correct;
  std::printf("time per expansion, 10k against 1k variables: %.2fx -> %s\n", growth,
              flat ? "does not grow" : "GROWS");
  if (!correct) std::printf("ERROR: an expansion gave a wrong text\n");
  return flat && correct ? 0 : 1;
}
