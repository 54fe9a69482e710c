// A project as the engine holds it while it runs: the database with the installer's evaluator
// connected to its condition and expression hooks, fresh for every input so that nothing one
// input sets is seen by the next.
#pragma once

#include "database/sx_condition_object.h"
#include "database/sx_main_database.h"
#include "expr/database_services.h"
#include "expr/sx_evaluator.h"

namespace sx::fuzz {

class FuzzProject {
 public:
  FuzzProject() : services_(Database), evaluator_(services_) {
    InstallEvaluatorHooks(&evaluator_);
    ConditionsEnabled = true;
  }
  ~FuzzProject() { InstallEvaluatorHooks(nullptr); }
  FuzzProject(const FuzzProject&) = delete;
  FuzzProject& operator=(const FuzzProject&) = delete;

  TsxEvaluator& Evaluator() { return evaluator_; }

  TsxMainDatabase Database;

 private:
  TDatabaseServices services_;
  TsxEvaluator evaluator_;
};

}  // namespace sx::fuzz
