// What the wizard shows while the engine installs: the stage, the current file with its
// progress and that of the whole stage, status texts, and the questions the installation asks
// (a version conflict, a package not found).
#pragma once

#include <string>
#include <vector>

namespace sxwizard {

class InstallView {
 public:
  void Begin(const std::string& appName);  // shows the page; the questions name the product
  void Name(const std::string& appName) { appName_ = appName; }
  void Stage(int stage);
  void File(const std::string& path);
  void Progress(int filePercent, int totalPercent);
  void Status(const std::string& text);  // "" hides it

  // The four answers of a version conflict: 1 keep, 2 overwrite, 3 keep all, 4 overwrite all.
  int AskVersionConflict(const std::string& path);
  // A folder typed by the user to look for the package in; "" when the user gives up.
  std::string AskPackageFolder(const std::string& name, const std::string& folder, size_t maxLength);

 private:
  void Draw();
  // The stage, the progress block and the status text, as the page shows them.
  std::vector<std::string> Body() const;

  bool shown_ = false;
  std::string appName_ = "Application", title_, stage_, file_, status_;
  int filePercent_ = 0, totalPercent_ = 0;
};

// The name of an installation stage as the wizard shows it ("Copying files", ...).
std::string StageText(int stage);

}  // namespace sxwizard
