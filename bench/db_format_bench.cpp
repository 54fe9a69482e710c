// Loading and writing a project with many variables, the work of "sxtool db format": parse the
// XML, load it into the project model (a <var> with the name and condition of an earlier one
// replaces it, which must not mean comparing it with every earlier one), write it back. Goal:
// the time per variable does not grow with the number of variables (10,000 against 100,000).
// Prints one table (best of three runs per size) and the check.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "database/sx_main_database.h"
#include "xml/xml_settings.h"
#include "xml/xml_tag.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(const std::function<void()>& work) {
  auto start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// `count` variables with distinct names, and at the end one that replaces the first.
std::string Project(int count) {
  std::string xml = "<sx2project><variables>";
  for (int i = 0; i < count; ++i)
    xml += "<var name=\"Var" + std::to_string(i) + "\" value=\"C:\\Program Files\\part" + std::to_string(i) + "\"/>";
  xml += "<var name=\"VAR0\" value=\"replaced\"/></variables></sx2project>";
  return xml;
}

struct Result {
  double seconds = 1e30;
  bool correct = true;
};

Result Run(int count) {
  const std::string xml = Project(count);
  Result best;
  for (int run = 0; run < 3; ++run) {
    bool correct = true;
    best.seconds = std::min(best.seconds, Seconds([&] {
      sx::TXMLTag root;
      root.Parse(xml);
      sx::TsxMainDatabase db;
      db.Assign(root);
      const std::string out = db.SaveToString("sx2project");
      correct = db.Variables->Count() == count && db.Variables->Items(0).Name == "VAR0" &&
                out.size() > static_cast<size_t>(count) * 20;
    }));
    best.correct = best.correct && correct;
  }
  return best;
}

}  // namespace

int main() {
  sx::XMLSettings().PreserveAttributeWhitespace = true;  // as sxtool reads project files
  const int sizes[] = {10000, 100000};
  Result results[2];
  for (int i = 0; i < 2; ++i) results[i] = Run(sizes[i]);
  std::printf("%-10s %12s %16s\n", "variables", "total ms", "us/variable");
  for (int i = 0; i < 2; ++i)
    std::printf("%-10d %12.1f %16.3f\n", sizes[i], results[i].seconds * 1e3, results[i].seconds / sizes[i] * 1e6);
  const double growth = (results[1].seconds / sizes[1]) / (results[0].seconds / sizes[0]);
  const bool linear = growth < 3;
  const bool correct = results[0].correct && results[1].correct;
  std::printf("time per variable, 100k against 10k variables: %.2fx -> %s\n", growth,
              linear ? "does not grow with the list" : "GROWS");
  if (!correct) std::printf("ERROR: the model did not hold the variables read\n");
  return linear && correct ? 0 : 1;
}
