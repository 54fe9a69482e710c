// The dialogs before the installation, in order: welcome, language (when the project offers
// several), password (when it needs one), install type, features, destination folder, ready to
// install. Left goes back a page; Escape asks whether to cancel the setup.
#pragma once

#include <string>

#include "plugins/wizard/engine_link.h"
#include "plugins/wizard/ui.h"

namespace sxwizard {

class Dialogs {
 public:
  // `activeInstallType` follows the engine's EV_INSTALLTYPECHANGED events.
  Dialogs(const EngineLink& engine, const std::string& activeInstallType)
      : engine_(engine), activeInstallType_(activeInstallType) {}

  // True when the user chose to install; false when the setup is cancelled.
  bool Run();

 private:
  std::string Title(const std::string& page) const;
  PageResult Welcome();
  PageResult Language();
  PageResult Password();
  PageResult InstallType();
  PageResult Features();
  PageResult Destination();
  PageResult Ready();
  bool ConfirmCancel();
  std::string FreeSpaceText() const;

  const EngineLink& engine_;
  const std::string& activeInstallType_;
  std::string appName_;
  SizeFacts sizes_;
  bool passwordAccepted_ = false;
};

}  // namespace sxwizard
