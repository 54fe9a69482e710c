// Helpers of the plug-in host tests: the engine as the plug-in host sees it, and a machine with a
// package folder into which the tests put the test plug-ins (tests/plugins/README.md).
//
// TestEngine forwards variables, selection and evaluation to the engine's real operations (the
// way the engine wires the plug-in host) and records the services that belong to the engine's
// run (abort flag, installation thread, language switch, password, install log, icon).
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "database/sx_selection.h"
#include "database/sx_variable_access.h"
#include "expr/database_services.h"
#include "expr/sx_evaluator.h"
#include "plugins/command_dispatcher.h"
#include "plugins/plugin_host.h"
#include "tests/database/hook_scope.h"
#include "tests/support/temp_machine.h"
#include "xml/xml_tag.h"

namespace sx::test {

// The evaluator's view of the engine: the project's variables, and plug-in functions and the
// abort service through the current plug-in host.
class PluginEvaluatorServices : public TDatabaseServices {
 public:
  using TDatabaseServices::TDatabaseServices;
  void AbortInstall() override {
    if (TPluginHost* host = CurrentPluginHost()) host->AbortInstall();
  }
  std::optional<std::string> CallPluginFunction(void* owner,
                                                const TPluginFunctionCall& call) override {
    TPluginHost* host = CurrentPluginHost();
    if (!host) return TDatabaseServices::CallPluginFunction(owner, call);
    return host->CallPluginFunction(static_cast<TPlugin*>(owner), call.ID, call.Name, call.Args,
                                    call.Context);
  }
};

class TestEngine : public TPluginEngineServices {
  TsxMainDatabase& database_;
  PluginEvaluatorServices evaluatorServices_;

 public:
  explicit TestEngine(TsxMainDatabase& database)
      : database_(database), evaluatorServices_(database), evaluator(evaluatorServices_) {}

  TsxEvaluator evaluator;
  // Engine services called, in order ("SetAborted", "SetLanguage DEU", ...), and the thread of
  // each call.
  std::vector<std::string> calls;
  std::vector<std::thread::id> callThreads;
  std::vector<std::string> languages = {"ENU=English", "DEU=Deutsch", "FRA=Fran\xE7" "ais"};
  std::string validPassword = "secret";
  bool passwordValid = false;

  std::string ReadVariable(TXMLObject& container, std::string_view name,
                           std::string_view def) override {
    return sx::ReadVariable(&container, name, def);
  }
  void WriteVariable(TXMLObject& container, std::string_view name,
                     std::string_view value) override {
    sx::WriteVariable(&container, name, value);
  }
  std::string ExpandText(TXMLObject& container, std::string_view text) override {
    return sx::ExpandText(&container, text);
  }
  TsxFeature* FindFeature(TsxFeatures& features, std::string_view id, TsxFeature*& parent,
                          TsxFeature*& next) override {
    return sx::FindFeature(features, id, parent, next);
  }
  TsxInstallType* FindInstallType(TsxInstallTypes& installTypes, std::string_view id,
                                  TsxInstallType*& next) override {
    return sx::FindInstallType(installTypes, id, next);
  }
  bool SetFeatureState(TsxMainDatabase& database, std::string_view id, bool value) override {
    return sx::SetFeatureState(database, id, value);
  }
  bool SetActiveInstallType(TsxMainDatabase& database, std::string_view id) override {
    return sx::SetActiveInstallType(database, id);
  }
  std::string EvaluateExpression(std::string_view text, std::intptr_t context) override {
    return evaluator.EvaluateExpression(text, context);
  }
  bool EvaluateCondition(std::string_view text, std::intptr_t context) override {
    return evaluator.EvaluateCondition(text, context);
  }
  int RegisterFunction(TPlugin& owner, std::string_view name, int32_t paramCount) override {
    return evaluator.RegisterFunction(&owner, name, paramCount);
  }
  void ReleaseFunctions(TPlugin& owner) override { evaluator.ReleaseFunctions(&owner); }

  void SetAborted() override { Record("SetAborted"); }
  void SuspendInstall() override { Record("SuspendInstall"); }
  void ResumeInstall() override { Record("ResumeInstall"); }
  std::vector<std::string> LanguageList() override { return languages; }
  // As the engine's language switch: LangID changes, every plug-in hears of it.
  void SetLanguage(std::string_view id) override {
    Record("SetLanguage " + std::string(id));
    sx::WriteVariable(&database_, "LangID", id);
    const std::string language(id);
    if (TPluginHost* host = CurrentPluginHost())
      host->SendEvent(EV_LANGUAGECHANGED, reinterpret_cast<std::intptr_t>(language.c_str()), 0,
                      true);
  }
  bool SetPassword(std::string_view password) override {
    Record("SetPassword " + std::string(password));
    if (password != validPassword) return false;
    database_.Password = std::string(password);
    passwordValid = true;
    return true;
  }
  bool IsPasswordValid() override { return passwordValid; }
  void LogAddRecord(std::string_view section, std::string_view record) override {
    Record("LogAddRecord [" + std::string(section) + "] " + std::string(record));
  }
  std::intptr_t InstallIcon(bool small) override {
    Record(small ? "InstallIcon small" : "InstallIcon large");
    return small ? 16 : 32;
  }

 private:
  void Record(const std::string& call) {
    calls.push_back(call);
    callThreads.push_back(std::this_thread::get_id());
  }
};

// The project of the tests: variables, a main package (whose plug-in items the tests add), a
// feature tree with a disabled feature, and install types with a disabled one.
inline constexpr const char* kPluginTestProject = R"xml(<sx2project>
  <variables>
    <var name="AppName" value="Demo"/>
    <var name="InstallPath" value="C:\Demo"/>
    <var name="Shared" value="from the project"/>
  </variables>
  <packages>
    <package id="main" main="1" filename="setup.exe" temppath="C:\windows\temp\sx1\">
      <variables><var name="Shared" value="from the package"/></variables>
    </package>
    <package id="extra" filename="extra.sxp" temppath="C:\windows\temp\sx2\"/>
  </packages>
  <features>
    <feature id="core" name="Core of %AppName%" description="Always there" required="1">
      <features>
        <feature id="help" name="Help"/>
        <feature id="hidden" name="Hidden" condition="0"/>
        <feature id="samples" name="Samples" description="%InstallPath%\samples"/>
      </features>
    </feature>
    <feature id="docs" name="Documents"/>
  </features>
  <installtypes>
    <installtype id="typical" name="Typical %AppName%" description="Most used" default="1">
      <features><feature id="core"/></features>
    </installtype>
    <installtype id="never" name="Never" condition="0"/>
    <installtype id="full" name="Full"><features><feature id="core"/><feature id="docs"/></features></installtype>
    <installtype id="custom" name="Custom" description="You choose" custom="1"/>
  </installtypes>
</sx2project>)xml";

// Turns the host's trace on into a file for the object's lifetime.
class TraceFile {
 public:
  explicit TraceFile(std::string path) : path_(std::move(path)) {
    setenv("SX_TRACE", path_.c_str(), 1);
  }
  ~TraceFile() { unsetenv("SX_TRACE"); }
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;
  // The texts of the trace lines of one kind ("messagebox", "plugin").
  std::vector<std::string> Lines(const std::string& kind) const {
    std::vector<std::string> lines;
    std::istringstream in(ReadHostFile(path_));
    for (std::string line; std::getline(in, line);)
      if (line.compare(0, kind.size() + 1, kind + " ") == 0) lines.push_back(line.substr(kind.size() + 1));
    return lines;
  }

 private:
  std::string path_;
};

class PluginHostTest : public ::testing::Test {
 protected:
  PluginHostTest() {
    database.LoadFromString(kPluginTestProject, "sx2project");
    ConditionsEnabled = true;
    InstallEvaluatorHooks(&engine.evaluator);
    host = std::make_unique<TPluginHost>(database, engine);
    host->ConnectDatabaseEvents();
  }
  ~PluginHostTest() override {
    host.reset();
    InstallEvaluatorHooks(nullptr);
  }

  TsxPackage& MainPackage() { return (*database.Packages)[0]; }
  TsxPackage& ExtraPackage() { return (*database.Packages)[1]; }

  // A plug-in item of the package.
  TsxPlugin& AddItem(TsxPackage& package, const std::string& id, const std::string& condition = "") {
    TsxPlugin& item = package.Plugins->AddNew();
    item.ID = id;
    item.Condition = condition;
    return item;
  }
  TsxPlugin& AddItem(const std::string& id, const std::string& condition = "") {
    return AddItem(MainPackage(), id, condition);
  }

  // Host path of a file of the machine ("C:\dir\file" or "drive_c/...").
  std::string HostPathOf(const std::string& windowsPath) {
    return *machine.host().MapPath(windowsPath);
  }
  static std::string HostFolderOf(const TsxPackage& package) {
    std::string relative = package.TempPath.substr(3);  // after "C:\"
    for (char& c : relative)
      if (c == '\\') c = '/';
    return "drive_c/" + relative;
  }

  // Copies a built plug-in into the package's plugins\<item>\ folder as `fileName`; returns its
  // host path.
  std::string PutPlugin(const TsxPackage& package, int item, const std::string& fileName,
                        const std::string& built) {
    const std::string target =
        machine.HostPath(HostFolderOf(package) + "plugins/" + std::to_string(item) + "/" + fileName);
    std::filesystem::create_directories(std::filesystem::path(target).parent_path());
    std::filesystem::copy_file(built, target, std::filesystem::copy_options::overwrite_existing);
    return target;
  }
  std::string PutPlugin(int item, const std::string& fileName, const std::string& built) {
    return PutPlugin(MainPackage(), item, fileName, built);
  }

  // Puts the recorder as plugins\<item>\<name>.dll with its script; every recorder logs into the
  // one shared log unless the script names another.
  std::string PutRecorder(const TsxPackage& package, int item, const std::string& name,
                          const std::string& script = "") {
    std::string dll = PutPlugin(package, item, name + ".dll", SX_RECORDER_PLUGIN);
    WriteHostFile(dll.substr(0, dll.size() - 4) + ".script", "log " + LogPath() + "\n" + script);
    return dll;
  }
  std::string PutRecorder(int item, const std::string& name, const std::string& script = "") {
    return PutRecorder(MainPackage(), item, name, script);
  }

  std::string LogPath() { return machine.HostPath("events.log"); }
  // The lines of the shared log, optionally only those of one plug-in (without its ID).
  std::vector<std::string> Log(const std::string& id = "") {
    std::vector<std::string> lines;
    std::istringstream in(ReadHostFile(LogPath()));
    for (std::string line; std::getline(in, line);) {
      if (id.empty()) lines.push_back(line);
      else if (line.compare(0, id.size() + 1, id + " ") == 0) lines.push_back(line.substr(id.size() + 1));
    }
    return lines;
  }
  // The log lines whose text after the plug-in ID starts with `prefix`: with an `id`, that
  // plug-in's lines without the ID; without, every plug-in's lines as they stand.
  std::vector<std::string> LogStarting(const std::string& prefix, const std::string& id = "") {
    std::vector<std::string> lines;
    for (const std::string& line : Log(id)) {
      const size_t text = id.empty() ? line.find(' ') + 1 : 0;
      if (line.compare(text, prefix.size(), prefix) == 0) lines.push_back(line);
    }
    return lines;
  }
  void ClearLog() { std::filesystem::remove(LogPath()); }

  TPlugin* Loaded(const std::string& id) {
    for (int i = 0; i < host->Plugins().Count(); ++i)
      if (host->Plugins()[i].ID == id) return &host->Plugins()[i];
    return nullptr;
  }
  std::vector<std::string> LoadedIDs() {
    std::vector<std::string> ids;
    for (int i = 0; i < host->Plugins().Count(); ++i) ids.push_back(host->Plugins()[i].ID);
    return ids;
  }

  // A command sent as the plug-in `number` would send it.
  std::intptr_t Send(int32_t number, int32_t command, std::intptr_t p1 = 0, std::intptr_t p2 = 0,
                     bool toAll = false) {
    return host->Commands().SendCommand(number, command, p1, p2, toAll);
  }
  static std::intptr_t P(const char* text) { return reinterpret_cast<std::intptr_t>(text); }
  static std::intptr_t P(const std::string& text) { return P(text.c_str()); }
  static std::intptr_t P(const void* p) { return reinterpret_cast<std::intptr_t>(p); }

  TempMachine machine;
  HookScope hooks;
  TsxMainDatabase database;
  TestEngine engine{database};
  std::unique_ptr<TPluginHost> host;
};

}  // namespace sx::test
