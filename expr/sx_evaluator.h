// TsxEvaluator: the evaluator of every condition, action and computed value of a project.
//
// It gives TqvEvaluator the installer's operators and function library. Values are texts:
// numbers are read and written as expr_values.h says (15 significant digits, the locale's
// decimal separator on output), a text is true when it starts with "1", Boolean results are
// "1"/"0" and comparisons give "-1", "0" or "1". Every operand (word, quoted string, group,
// function result) is expanded through the services, so "%AppDir%" is the variable's value.
// '%' and '.' are operand characters here ("%AppDir%", "1.5"), and '%' is no operator character.
//
// The library reaches the machine directly (files, registry, message boxes, user rights) and the
// engine through TEvaluatorServices (variables, selection, abort, suspend and resume, language,
// password, install log, plug-ins).
//
// Plug-ins add functions at run time (RegisterFunction); a call to one goes to its plug-in. When
// a plug-in is unloaded its functions stay registered (their names and IDs stay taken) but are
// released: calling one raises an EEngineError that names the function.
//
// One instance serves the engine's whole run; one thread evaluates at a time. An evaluation may
// start another one (a variable's condition checked while an operand is expanded): the inner one
// leaves Expression and Context as the outer one had them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "expr/evaluator_services.h"
#include "expr/expr_evaluator.h"

namespace sx {

class TsxEvaluator : public TqvEvaluator {
 public:
  // The operator table, by index.
  enum TOperatorIndex : int {
    opPlus, opMinus, opMultiply, opDivide, opConcat, opEqual, opNotEqual,
    opAnd, opOr, opNot, opLess, opGreater, opLessEqual, opGreaterEqual,
  };
  // The built-in functions, by index (which is also their ID).
  enum TFunctionIndex : int {
    fnIif, fnFilePath, fnFileName, fnNormalPath, fnFileVersion, fnFileDate, fnFileExists,
    fnFolderExists, fnCompareVersion, fnCompareDate, fnCompareText, fnRegKeyExists,
    fnRegParamExists, fnRegParam, fnAskUser, fnSubStr, fnFindSubStr, fnLength, fnFileSize,
    fnRound, fnRenameFile, fnActiveInstallType, fnFeatureEnabled, fnDotNetInstalled, fnReturn,
    fnAbortInstall, fnSuspendInstall, fnResumeInstall, fnSetVariable, fnGetVariable,
    fnSetLanguage, fnSetInstallType, fnSetPassword, fnHasAdminRights,
    kBuiltinFunctionCount
  };

  explicit TsxEvaluator(TEvaluatorServices& services);

  // Remembered AskUser answers, lines "*<question>*=<answer>", for the evaluator's lifetime.
  std::vector<std::string> AnswerCache;
  // The context value of the current (or last) evaluation; handed to plug-in functions only.
  std::intptr_t Context = 0;

  // Evaluates the text with every CR and LF removed, in the given context.
  std::string EvaluateExpression(std::string_view text, std::intptr_t context);
  // True when EvaluateExpression's result starts with "1".
  bool EvaluateCondition(std::string_view text, std::intptr_t context);

  // Adds a function of a plug-in. 0 when a function of that name (ignoring case) exists already,
  // built-ins included, or the name is empty; otherwise the new function's ID (34 and up).
  int RegisterFunction(void* owner, std::string_view name, int32_t paramCount);
  // Releases the functions of an owner that is going away; calls to them are errors from now on.
  void ReleaseFunctions(void* owner);

  TEvaluatorServices& Services() { return services_; }

 protected:
  bool ResolveOperand(std::string& text) override;
  std::string CalcOperator(const TqvOperator& op, int arity, std::string&& left,
                           std::string&& right) override;
  std::string CalcFunction(const TqvFunction& function,
                           std::vector<std::string>* params) override;

 private:
  std::string CallBuiltin(const TqvFunction& function, std::vector<std::string>& args);
  std::string CallPlugin(const TqvFunction& function, std::vector<std::string>* params);
  std::string AskUser(const std::string& caption, const std::string& text,
                      const std::string& icon, const std::string& buttons);

  TEvaluatorServices& services_;
  int running_ = 0;  // evaluations in progress on this instance
};

// Connects the project database's ConditionHook (its mode becomes the context) and ExpressionHook
// to the evaluator; nullptr disconnects them.
void InstallEvaluatorHooks(TsxEvaluator* evaluator);

}  // namespace sx
