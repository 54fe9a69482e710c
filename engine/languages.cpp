#include "engine/languages.h"

#include "database/sx_main_database.h"
#include "database/sx_variable_access.h"
#include "host/host.h"
#include "platform/ini_cache.h"
#include "plugins/plugin_host.h"
#include "util/case_tables.h"
#include "util/message_boxes.h"
#include "util/str_utils.h"

namespace sx {
namespace {

std::string Upper(std::string_view text) { return host::CurrentHost().UpperCaseLocale(text); }

std::string IdOf(const std::string& entry) { return entry.substr(0, entry.find('=')); }

// A language identifier names a file: nothing that leaves the "lng" folder or is no file name.
bool IsPlainName(std::string_view id) {
  if (id.empty() || id == "." || id == "..") return false;
  for (char c : id)
    if (c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' ||
        c == '>' || c == '|' || static_cast<unsigned char>(c) < 0x20)
      return false;
  return true;
}

}  // namespace

void TLanguages::Build() {
  list_.clear();
  const std::string languages = Upper(ReadVariable(&database_, "Languages", "ENU"));
  size_t start = 0;
  while (start <= languages.size()) {
    size_t comma = languages.find(',', start);
    if (comma == std::string::npos) comma = languages.size();
    const std::string id = Trim(std::string_view(languages).substr(start, comma - start));
    // An identifier listed twice gets one entry: plug-ins walk the list by the next ID.
    bool known = false;
    for (const auto& entry : list_) known = known || IdOf(entry) == id;
    if (!id.empty() && !known) list_.push_back(id + "=");
    start = comma + 1;
  }
  auto& host = host::CurrentHost();
  for (const auto& locale : host.Facts().installedLocales) {
    const std::string id = Upper(locale.abbreviation);
    for (auto& entry : list_)
      if (IdOf(entry) == id) entry = (id + "=" + locale.fullLanguageName).substr(0, 255);
  }
  for (auto& entry : list_) {
    if (entry.back() != '=') continue;
    const std::string id = IdOf(entry);
    const std::string file = FileOf(id);
    std::string name = file.empty() ? "" : IniReadString(file, "Strings", "LanguageName", "");
    entry += name.empty() ? id : name;
  }
  if (list_.empty()) list_.push_back("ENU=English (USA)");
}

void TLanguages::Choose() {
  if (!ReadVariable(&database_, "LangID", "").empty() || list_.empty()) return;
  std::string chosen = IdOf(list_.front());
  if (ReadVariableBool(&database_, "AutoSelectLanguage", true)) {
    const std::string user = Upper(host::CurrentHost().Facts().userLocale.abbreviation);
    bool found = false;
    for (const auto& id : {user, std::string("ENU")}) {
      for (const auto& entry : list_)
        if (!found && !id.empty() && IdOf(entry) == id) {
          chosen = id;
          found = true;
        }
    }
  }
  SetLanguage(chosen);
}

void TLanguages::SetLanguage(std::string_view idIn) {
  const std::string id(idIn);
  WriteVariable(&database_, "LangID", id);
  int charset = 1;
  for (const auto& locale : host::CurrentHost().Facts().installedLocales)
    if (SameTextFast(locale.abbreviation, id)) {
      charset = static_cast<int>(locale.charset);
      break;
    }
  WriteVariableInt(&database_, "Charset", charset);
  SetMessageTitle(ReadVariable(&database_, "AppName", "Application"));
  SendEvent(EV_LANGUAGECHANGED, reinterpret_cast<std::intptr_t>(id.c_str()), 0, true);
}

std::string TLanguages::FileOf(std::string_view id) const {
  if (!IsPlainName(id) || database_.Packages->Count() == 0) return "";
  return database_.Packages->Items(0).TempPath + "lng\\" + std::string(id) + ".lng";
}

std::string TLanguages::FilePath() const { return FileOf(ReadVariable(&database_, "LangID", "ENU")); }

std::string TLanguages::Text(std::string_view section, std::string_view key) const {
  const std::string file = FilePath();
  if (file.empty()) return "";
  return ExpandText(&database_, IniReadString(file, section, key, ""));
}

std::string TLanguages::Text(std::string_view section, int number) const {
  return Text(section, std::to_string(number));
}

std::string TLanguages::Text(int number) const { return Text("Strings", number); }


}  // namespace sx
