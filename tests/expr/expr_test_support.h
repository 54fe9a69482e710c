// Helpers of the expression tests: a recording double of the evaluator services, the texts of
// evaluator errors, and a fixture with a fresh machine and the installer's evaluator.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "expr/evaluator_errors.h"
#include "expr/expr_evaluator.h"
#include "expr/sx_evaluator.h"
#include "database/sx_main_database.h"
#include "database/sx_variable_access.h"
#include "expr/database_services.h"
#include "tests/support/temp_machine.h"

namespace sx::test {

struct DatabaseHolder {
  TsxMainDatabase database;
};

// Services over a project database of its own that record every engine service the library
// calls, in order, as one line each ("AbortInstall", "SetLanguage DEU",
// "Plugin 34 MyFunc [1|a] context 7").
class RecordingServices : private DatabaseHolder, public TDatabaseServices {
 public:
  RecordingServices() : TDatabaseServices(database) {}

  // Sets a project variable.
  void DefineVariable(std::string_view name, std::string_view value) {
    sx::WriteVariable(&database, name, value);
  }

  std::vector<std::string> calls;
  std::string activeInstallType;
  std::set<std::string> enabledFeatures;
  WindowHandle window = 0;
  // Replies of plug-in functions by name; a missing name answers nothing (a nil reply).
  std::map<std::string, std::string> pluginReplies;
  std::vector<TPluginFunctionCall> pluginCalls;
  std::vector<void*> pluginOwners;
  // Called on every expansion, before it is made (to start a nested evaluation, for example).
  std::function<void(std::string_view)> onExpand;

  std::string ExpandText(std::string_view text) override {
    if (onExpand) onExpand(text);
    return TDatabaseServices::ExpandText(text);
  }
  void WriteVariable(std::string_view name, std::string_view value) override {
    calls.push_back("SetVariable " + std::string(name) + "=" + std::string(value));
    TDatabaseServices::WriteVariable(name, value);
  }
  std::string ActiveInstallType() override {
    calls.push_back("ActiveInstallType");
    return activeInstallType;
  }
  void SetInstallType(std::string_view id) override {
    calls.push_back("SetInstallType " + std::string(id));
    activeInstallType = std::string(id);
  }
  bool FeatureEnabled(std::string_view id) override {
    calls.push_back("FeatureEnabled " + std::string(id));
    return enabledFeatures.count(std::string(id)) != 0;
  }
  WindowHandle ActiveWindow() override {
    calls.push_back("ActiveWindow");
    return window;
  }
  std::optional<std::string> CallPluginFunction(void* owner,
                                                const TPluginFunctionCall& call) override {
    std::string args;
    for (const std::string& a : call.Args) args += (args.empty() ? "" : "|") + a;
    calls.push_back("Plugin " + std::to_string(call.ID) + " " + call.Name + " [" + args +
                    "] context " + std::to_string(call.Context));
    pluginCalls.push_back(call);
    pluginOwners.push_back(owner);
    auto it = pluginReplies.find(call.Name);
    if (it == pluginReplies.end()) return std::nullopt;
    return it->second;
  }

 protected:
  void Unavailable(std::string_view request) override { calls.emplace_back(request); }
};

// The message of an evaluator error raised at `position`.
inline std::string EvaluatorMessage(std::string_view message, std::string_view expression,
                                    size_t position) {
  return TqvEvaluatorError(message, expression, position).what();
}

// What evaluating the text raises: the exception's message, or "no error: <result>".
template <typename Evaluate>
std::string FailureOf(Evaluate&& evaluate) {
  try {
    return "no error: " + evaluate();
  } catch (const std::exception& e) {
    return e.what();
  }
}

// A fresh machine with the installer's evaluator over recording services.
class EvaluatorTest : public ::testing::Test {
 protected:
  explicit EvaluatorTest(const std::string& sxmachineIni = "") : machine(sxmachineIni) {}

  std::string Eval(std::string_view text, std::intptr_t context = 0) {
    return ev.EvaluateExpression(text, context);
  }
  std::string ErrorOf(std::string_view text) {
    return FailureOf([&] { return Eval(text); });
  }

  TempMachine machine;
  RecordingServices services;
  TsxEvaluator ev{services};
};

}  // namespace sx::test
