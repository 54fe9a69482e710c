// The installer's expression evaluator on any text, as a condition and as an action, over a
// project with a few variables and a machine that refuses every change the expression asks for
// (RenameFile, SetVariable of registry variables, ...). Syntax and arithmetic errors are the
// evaluator's answers; anything else is a fault.
#include "database/sx_variable_access.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_machine.h"
#include "fuzz/fuzz_project.h"
#include "util/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sx::fuzz::Machine();
  sx::fuzz::ReadOnlyMachine readOnly;
  sx::fuzz::FuzzProject project;
  sx::WriteVariable(&project.Database, "AppName", "Fuzz");
  sx::WriteVariable(&project.Database, "AppDir", "C:\\Program Files\\Fuzz");
  sx::WriteVariable(&project.Database, "Count", "42");
  sx::WriteVariable(&project.Database, "Self", "%Self%x");
  const std::string_view text = sx::fuzz::AsText(data, size);
  try {
    project.Evaluator().EvaluateCondition(text, 0);
  } catch (const sx::EEngineError&) {
  }
  try {
    project.Evaluator().EvaluateExpression(text, 1);
  } catch (const sx::EEngineError&) {
  }
  return 0;
}
