// A recording double of the install services for in-process tests of install/: it owns a
// project database, keeps the engine's flags, records every call in order ("event 10 kind 1",
// "box Error: ...", "phase registry values Comp1", ...), answers events and message boxes from a
// script.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "database/sx_install_items.h"
#include "install/install_services.h"
#include "plugins/sxplugin.h"

namespace sx::test {

class RecordingServices : public TInstallServices {
 public:
  RecordingServices() : previous_(SetInstallServices(this)) {}
  ~RecordingServices() override { SetInstallServices(previous_); }

  std::unique_ptr<TsxMainDatabase> database = std::make_unique<TsxMainDatabase>();
  bool aborted = false, resumeMode = false, resumePending = false;
  std::string exeName;
  std::vector<std::string> calls;

  // Replies to SendEvent by (event number, kind in the high word of param1); 0 otherwise.
  std::map<std::pair<int, int>, std::intptr_t> eventReplies;
  std::deque<int> boxAnswers;  // answers to ShowBox, in order (default IDOK)
  std::function<void()> onBox;  // runs while a box is shown
  std::map<int, std::string> strings;
  std::vector<std::pair<std::string, std::vector<std::string>>> languageSections;
  std::function<bool(TsxWhenStart)> runApplications;
  std::vector<TsxRunApp*> uninstallApps[5];
  bool saveResumeStateResult = true;
  std::function<void()> onSaveResumeState;

  TsxMainDatabase& Database() override { return *database; }
  bool Aborted() override { return aborted; }
  void SetAborted(bool value) override { aborted = value; }
  bool ResumeMode() override { return resumeMode; }
  void SetResumeMode(bool value) override { resumeMode = value; }
  bool ResumePending() override { return resumePending; }
  void SetResumePending(bool value) override { resumePending = value; }
  std::string ExeName() override { return exeName; }

  std::intptr_t SendEvent(std::int32_t number, std::intptr_t param1, std::intptr_t, bool toAll) override {
    int kind = static_cast<int>((param1 >> 16) & 0xFFFF);
    calls.push_back("event " + std::to_string(number) + " kind " + std::to_string(kind) +
                    (toAll ? " all" : ""));
    auto found = eventReplies.find({number, kind});
    return found == eventReplies.end() ? 0 : found->second;
  }
  void ShowStatusText(std::string_view text) override { calls.push_back("status " + std::string(text)); }
  void HideStatusText() override { calls.push_back("hide status"); }
  std::string LanguageString(int number) override {
    auto found = strings.find(number);
    return found == strings.end() ? "" : found->second;
  }
  std::vector<std::string> LanguageSectionNames() override {
    std::vector<std::string> names;
    for (const auto& section : languageSections) names.push_back(section.first);
    return names;
  }
  std::vector<std::string> LanguageSectionLines(std::string_view name) override {
    for (const auto& section : languageSections)
      if (section.first == name) return section.second;
    return {};
  }
  int ShowErrorBox(std::string_view text) override {
    calls.push_back("error " + std::string(text));
    return 1;
  }
  int ShowBox(TBoxOwner owner, std::string_view title, std::string_view text, std::uint32_t style) override {
    calls.push_back(std::string(owner == TBoxOwner::kMainWindow ? "main " : "") + "box " + std::string(title) +
                    ": " + std::string(text) + " style " + std::to_string(style));
    if (onBox) onBox();
    if (boxAnswers.empty()) return 1;
    int answer = boxAnswers.front();
    boxAnswers.pop_front();
    return answer;
  }
  bool RunApplications(TsxWhenStart when) override {
    calls.push_back("run " + std::to_string(static_cast<int>(when)));
    return runApplications ? runApplications(when) : true;
  }
  std::vector<TsxRunApp*> UninstallRunApps(TsxWhenStart when) override {
    return uninstallApps[static_cast<int>(when)];
  }
  bool SaveResumeState() override {
    calls.push_back("save resume state");
    if (onSaveResumeState) onSaveResumeState();
    return saveResumeStateResult;
  }
  void RemoveFontResource(std::string_view path) override { calls.push_back("remove font " + std::string(path)); }
  bool RegisterServer(std::string_view path, bool registering) override {
    calls.push_back((registering ? "register " : "unregister ") + std::string(path));
    return true;
  }

  // The calls that start with `prefix`.
  std::vector<std::string> CallsStartingWith(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const auto& call : calls)
      if (call.rfind(prefix, 0) == 0) found.push_back(call);
    return found;
  }

 private:
  TInstallServices* previous_;
};

}  // namespace sx::test
