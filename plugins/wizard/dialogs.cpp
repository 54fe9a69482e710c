#include "plugins/wizard/dialogs.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "plugins/wizard/destination.h"
#include "plugins/wizard/disk_space.h"
#include "plugins/wizard/screen_text.h"
#include "plugins/wizard/ui.h"

namespace sxwizard {

std::string Dialogs::Title(const std::string& page) const { return appName_ + " Setup - " + page; }

bool Dialogs::Run() {
  appName_ = engine_.Variable("AppName");
  if (appName_.empty()) appName_ = "Application";
  sizes_ = engine_.Sizes();
  std::vector<std::function<PageResult()>> pages{[this] { return Welcome(); }};
  if (engine_.Languages().size() > 1) pages.push_back([this] { return Language(); });
  if (engine_.NeedsPassword()) pages.push_back([this] { return Password(); });
  if (!engine_.InstallTypes().empty()) pages.push_back([this] { return InstallType(); });
  if (!engine_.Features().Empty()) pages.push_back([this] { return Features(); });
  pages.push_back([this] { return Destination(); });
  pages.push_back([this] { return Ready(); });
  size_t page = 0;
  bool forward = true;
  while (page < pages.size()) {
    PageResult result = pages[page]();
    if (result == PageResult::kSkip) result = forward || page == 0 ? PageResult::kNext : PageResult::kBack;
    switch (result) {
      case PageResult::kNext: ++page; forward = true; break;
      case PageResult::kBack: page = page > 0 ? page - 1 : 0; forward = false; break;
      case PageResult::kCancel:
        if (ConfirmCancel()) return false;
        break;
      case PageResult::kSkip: break;
    }
  }
  return true;
}

bool Dialogs::ConfirmCancel() {
  if (Terminal::InputEnded()) return true;
  return AskYesNo(Title("Cancel"), {"Do you want to cancel the setup?", "", "Nothing will be installed."}, false);
}

PageResult Dialogs::Welcome() {
  Terminal::RawMode raw;
  const std::string version = engine_.Variable("AppVersion");
  DrawPage(Title("Welcome"),
           {"Welcome to the setup of " + appName_ + (version.empty() ? "" : " " + version) + ".", "",
            "This wizard installs " + appName_ + " on your computer.", "", "Press Enter to continue."},
           "[Enter] Next  [Esc] Cancel");
  for (;;) {
    const Key key = Terminal::ReadKey();
    if (key.kind == KeyKind::kEnter) return PageResult::kNext;
    if (key.kind == KeyKind::kEscape || key.kind == KeyKind::kInterrupt || key.kind == KeyKind::kEnd)
      return PageResult::kCancel;
  }
}

PageResult Dialogs::Language() {
  const std::vector<sxwizard::Language> languages = engine_.Languages();
  const std::string current = UpperAscii(engine_.Variable("LangID"));
  std::vector<std::string> entries;
  size_t chosen = 0;
  for (size_t i = 0; i < languages.size(); ++i) {
    entries.push_back(languages[i].name.empty() ? languages[i].id : languages[i].name + " (" + languages[i].id + ")");
    if (UpperAscii(languages[i].id) == current) chosen = i;
  }
  const PageResult result = ChooseFromList(Title("Language"), {"Choose the language of the setup:"}, entries, chosen, {});
  if (result == PageResult::kNext && UpperAscii(languages[chosen].id) != current) engine_.SetLanguage(languages[chosen].id);
  return result;
}

PageResult Dialogs::Password() {
  if (passwordAccepted_) return PageResult::kSkip;
  std::string error;
  for (;;) {
    std::string password;
    const PageResult result = ReadLine(Title("Password"), {"This setup is protected by a password.", "Type the password:"},
                                       password, true, error);
    if (result != PageResult::kNext) return result;
    if (engine_.SetPassword(password)) {
      passwordAccepted_ = true;
      return PageResult::kNext;
    }
    error = "The password is not correct. Try again.";
  }
}

PageResult Dialogs::InstallType() {
  const std::vector<sxwizard::InstallType> types = engine_.InstallTypes();
  const std::string active = UpperAscii(activeInstallType_);
  std::vector<std::string> entries;
  size_t chosen = 0;
  for (size_t i = 0; i < types.size(); ++i) {
    entries.push_back(types[i].name.empty() ? types[i].id : types[i].name);
    if (UpperAscii(types[i].id) == active) chosen = i;
  }
  const PageResult result = ChooseFromList(Title("Installation type"), {"Choose the type of installation:"}, entries,
                                           chosen, [&](size_t i) { return std::vector<std::string>{types[i].description}; });
  // Making the same type active again would undo the user's own choice of features.
  if (result == PageResult::kNext && UpperAscii(types[chosen].id) != active) engine_.SetInstallType(types[chosen].id);
  return result;
}

std::string Dialogs::FreeSpaceText() const {
  const std::optional<uint64_t> free = FreeBytesOnDrive(engine_.Variable("InstallPath"));
  return free ? FormatBytes(*free) : std::string("unknown");
}

PageResult Dialogs::Features() {
  Terminal::RawMode raw;
  FeatureTree tree = engine_.Features();
  size_t cursor = 0, first = 0;
  std::string message;
  for (;;) {
    const int width = Terminal::Width();
    std::vector<std::string> body{"Choose the features to install (Space selects or deselects):", ""};
    const auto& rows = tree.Rows();
    // A long tree scrolls: the rows around the cursor that fit above the page's other lines.
    const size_t room = static_cast<size_t>(std::max(3, Terminal::Height() - 12));
    first = std::min(first, cursor);
    if (cursor >= first + room) first = cursor - room + 1;
    const size_t last = std::min(rows.size(), first + room);
    if (first > 0) body.emplace_back("  ...");
    for (size_t i = first; i < last; ++i)
      body.push_back(FeatureLine(rows[i], i == cursor, sizes_.Known() ? FormatBytes(tree.BranchBytes(i, sizes_)) : "",
                                 width));
    if (last < rows.size()) body.emplace_back("  ...");
    body.emplace_back();
    if (!rows.empty() && !rows[cursor].description.empty()) body.push_back(rows[cursor].description);
    if (sizes_.Known())
      body.push_back("Disk space needed: " + FormatBytes(tree.NeededBytes(sizes_)) + "    Free: " + FreeSpaceText());
    if (!message.empty()) body.push_back("! " + message);
    DrawPage(Title("Features"), body, "[Up/Down] Move  [Space] Select  [Enter] Next  [Left] Back  [Esc] Cancel");
    message.clear();
    const Key key = Terminal::ReadKey();
    switch (key.kind) {
      case KeyKind::kUp: cursor = cursor > 0 ? cursor - 1 : cursor; break;
      case KeyKind::kDown: cursor = cursor + 1 < rows.size() ? cursor + 1 : cursor; break;
      case KeyKind::kChar:
        if (key.ch == ' ' && !rows.empty()) {
          const FeatureRow& row = rows[cursor];
          const bool select = row.state == FeatureState::kOff;
          if (!select && row.required) {
            message = (row.name.empty() ? row.id : row.name) + " is required and stays selected.";
          } else if (!engine_.SetFeature(row.id, select)) {
            message = "Setup cannot change " + (row.name.empty() ? row.id : row.name) + ".";
          }
          // The engine carries a change on to sub-features and dependants: read every state back.
          for (size_t i = 0; i < rows.size(); ++i) tree.SetState(i, engine_.StateOf(rows[i].id));
        }
        break;
      case KeyKind::kEnter: return PageResult::kNext;
      case KeyKind::kLeft: return PageResult::kBack;
      case KeyKind::kEscape: case KeyKind::kInterrupt: case KeyKind::kEnd: return PageResult::kCancel;
      default: break;
    }
  }
}

PageResult Dialogs::Destination() {
  const std::string before = engine_.Variable("InstallPath");
  std::string path = before;
  std::string error;
  for (;;) {
    const PageResult result = ReadLine(Title("Destination folder"),
                                       {"Setup installs " + appName_ + " into this folder.",
                                        "Type another folder, or press Enter to take it.", "",
                                        "Free space on the drive: " + FreeSpaceText()},
                                       path, false, error);
    if (result != PageResult::kNext) return result;
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    error = DestinationProblem(path);
    if (!error.empty()) continue;
    if (path != before) engine_.SetVariable("InstallPath", path);
    return PageResult::kNext;
  }
}

PageResult Dialogs::Ready() {
  Terminal::RawMode raw;
  std::vector<std::string> body{"Setup is ready to install " + appName_ + ".", ""};
  const std::string active = UpperAscii(activeInstallType_);
  for (const sxwizard::InstallType& type : engine_.InstallTypes())
    if (UpperAscii(type.id) == active) body.push_back("Installation type: " + (type.name.empty() ? type.id : type.name));
  const FeatureTree tree = engine_.Features();
  if (!tree.Empty()) {
    body.emplace_back("Features:");
    for (const FeatureRow& row : tree.Rows())
      if (row.state != FeatureState::kOff)
        body.push_back("  " + std::string(2 * row.depth, ' ') + (row.name.empty() ? row.id : row.name));
  }
  body.push_back("Destination folder: " + engine_.Variable("InstallPath"));
  if (sizes_.Known()) body.push_back("Disk space needed: " + FormatBytes(tree.NeededBytes(sizes_)));
  body.emplace_back();
  body.emplace_back("Press Enter to install.");
  DrawPage(Title("Ready to install"), body, "[Enter] Install  [Left] Back  [Esc] Cancel");
  for (;;) {
    const Key key = Terminal::ReadKey();
    if (key.kind == KeyKind::kEnter) return PageResult::kNext;
    if (key.kind == KeyKind::kLeft) return PageResult::kBack;
    if (key.kind == KeyKind::kEscape || key.kind == KeyKind::kInterrupt || key.kind == KeyKind::kEnd)
      return PageResult::kCancel;
  }
}

}  // namespace sxwizard
