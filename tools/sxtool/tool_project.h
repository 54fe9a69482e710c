// The project a command works on, as the engine sees its project after start-up: conditions and
// expressions decided by the installer's evaluator, the project file loaded, the machine's system
// variables and the process environment defined.
#pragma once

#include <memory>
#include <string>

#include "database/sx_main_database.h"
#include "expr/sx_evaluator.h"

namespace sx::tool {

class ToolProject {
 public:
  // `command` names the command in messages ("eval").
  explicit ToolProject(std::string command);
  ~ToolProject();
  ToolProject(const ToolProject&) = delete;
  ToolProject& operator=(const ToolProject&) = delete;

  // Loads the project file `path` (a file of this computer, root <sx2project>; none when empty),
  // then defines the machine's variables. Prints why and returns false when the file cannot be
  // read or parsed.
  bool Open(const std::string& path);

  TsxMainDatabase& database() { return database_; }
  TsxEvaluator& evaluator() { return *evaluator_; }

 private:
  class Services;

  std::string command_;
  TsxMainDatabase database_;
  std::unique_ptr<Services> services_;
  std::unique_ptr<TsxEvaluator> evaluator_;
  bool savedConditionsEnabled_;
};

}  // namespace sx::tool
