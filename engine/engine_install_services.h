// The engine's side of the installation library's services (install/install_services.h): the
// project, the state flags, plug-in events, language texts, message boxes, programs to run and
// the resume state, all taken from the running engine (TEngineContext).
//
// Calls that touch windows or plug-ins are carried to the main thread when they come from the
// copy thread, through the main window's queue, as the plug-in host carries plug-in calls.
#pragma once

#include "install/install_services.h"

namespace sx {

class TEngineContext;

class TEngineInstallServices : public TInstallServices {
 public:
  explicit TEngineInstallServices(TEngineContext& engine) : engine_(engine) {}

  TsxMainDatabase& Database() override;
  bool Aborted() override;
  void SetAborted(bool value) override;
  bool ResumeMode() override;
  void SetResumeMode(bool value) override;
  bool ResumePending() override;
  void SetResumePending(bool value) override;
  std::string ExeName() override;

  std::intptr_t SendEvent(std::int32_t number, std::intptr_t param1, std::intptr_t param2,
                          bool toAll) override;
  void PostEvent(std::int32_t number, std::intptr_t param1, std::intptr_t param2) override;
  void PostItemEvent(std::int32_t number, std::intptr_t param1, const SxFileItem& item) override;
  void WaitForEvents() override;
  void ShowStatusText(std::string_view text) override;
  void HideStatusText() override;

  std::string LanguageString(int number) override;
  std::vector<std::string> LanguageSectionNames() override;
  std::vector<std::string> LanguageSectionLines(std::string_view section) override;
  int ShowErrorBox(std::string_view text) override;
  int ShowBox(TBoxOwner owner, std::string_view title, std::string_view text,
              std::uint32_t style) override;

  bool RunApplications(TsxWhenStart when) override;
  std::vector<TsxRunApp*> UninstallRunApps(TsxWhenStart when) override;
  bool SaveResumeState() override;

  // Font resources and server registration belong to the file and server phases, which this
  // engine does not carry out yet: nothing to remove, and a registration that fails.
  void RemoveFontResource(std::string_view path) override;
  bool RegisterServer(std::string_view path, bool registering) override;
  bool RepairMode() override;

 private:
  TEngineContext& engine_;
};

}  // namespace sx
