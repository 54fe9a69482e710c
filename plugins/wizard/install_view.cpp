#include "plugins/wizard/install_view.h"

#include "plugins/sxplugin.h"
#include "plugins/wizard/screen_text.h"
#include "plugins/wizard/terminal.h"
#include "plugins/wizard/ui.h"

namespace sxwizard {

std::string StageText(int stage) {
  switch (stage) {
    case SX_STAGE_FILES: return "Copying files";
    case SX_STAGE_REGISTRY: return "Writing registry values";
    case SX_STAGE_INI: return "Writing INI entries";
    case SX_STAGE_SHORTCUTS: return "Creating shortcuts";
    case SX_STAGE_SERVERS: return "Registering components";
    case SX_STAGE_FONTS: return "Installing fonts";
    case SX_STAGE_RUNAPPS: return "Running programs";
    default: return "Installing";
  }
}

void InstallView::Begin(const std::string& appName) {
  title_ = appName + " Setup - Installing";
  appName_ = appName;
  stage_ = "Preparing the installation";
  file_.clear();
  filePercent_ = totalPercent_ = 0;
  shown_ = true;
  Draw();
}

void InstallView::Stage(int stage) {
  stage_ = StageText(stage);
  file_.clear();
  filePercent_ = totalPercent_ = 0;
  Draw();
}

void InstallView::File(const std::string& path) {
  file_ = path;
  filePercent_ = 0;
  Draw();
}

void InstallView::Progress(int filePercent, int totalPercent) {
  filePercent = ClampPercent(filePercent);
  totalPercent = ClampPercent(totalPercent);
  if (filePercent == filePercent_ && totalPercent == totalPercent_) return;  // nothing to redraw
  filePercent_ = filePercent;
  totalPercent_ = totalPercent;
  Draw();
}

void InstallView::Status(const std::string& text) {
  status_ = text;
  Draw();
}

void InstallView::Draw() {
  if (shown_) DrawPage(title_, Body(), "");
}

std::vector<std::string> InstallView::Body() const {
  if (!shown_) return {};
  std::vector<std::string> body{stage_, ""};
  const std::string lines = ProgressLines(file_, filePercent_, totalPercent_, Terminal::Width());
  size_t start = 0;
  while (start <= lines.size()) {
    const size_t end = lines.find('\n', start);
    body.push_back(lines.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (!status_.empty()) {
    body.emplace_back();
    body.push_back(status_);
  }
  return body;
}

int InstallView::AskVersionConflict(const std::string& path) {
  Terminal::RawMode raw;
  std::vector<std::string> body = Body();
  if (!body.empty()) body.emplace_back();
  for (const char* line : {"The file on disk is newer than the one Setup would write:", ""}) body.emplace_back(line);
  body.push_back("  " + path);
  for (const char* line : {"", "  [1] Keep the file on disk", "  [2] Overwrite it", "  [3] Keep all such files",
                           "  [4] Overwrite all such files"})
    body.emplace_back(line);
  DrawPage(appName_ + " Setup - Version conflict", body, "[1-4] Answer");
  int answer = 0;
  while (answer == 0) {
    const Key key = Terminal::ReadKey();
    if (key.kind == KeyKind::kEnd) answer = 1;  // nobody to ask: keep the newer file
    if (key.kind == KeyKind::kChar && key.ch >= '1' && key.ch <= '4') answer = key.ch - '0';
  }
  Draw();
  return answer;
}

std::string InstallView::AskPackageFolder(const std::string& name, const std::string& folder, size_t maxLength) {
  std::string typed = folder;
  std::string error;
  for (;;) {
    const PageResult result =
        ReadLine(appName_ + " Setup - Package needed",
                 {"Setup needs the file " + name + ", which is not in", "  " + folder, "",
                  "Insert the disk that holds it, or type the folder it is in, and press Enter.",
                  "Escape stops the installation."},
                 typed, false, error, false);
    if (result != PageResult::kNext) {
      Draw();
      return "";
    }
    if (typed.empty()) {
      error = "Type the folder that holds " + name + ".";
    } else if (typed.size() > maxLength) {
      error = "The folder name is too long (at most " + std::to_string(maxLength) + " characters).";
    } else {
      Draw();
      return typed;
    }
  }
}

}  // namespace sxwizard
