// The languages a setup offers and the engine's texts in the chosen one.
//
// The list holds "ID=display name" entries in the order of the project's "Languages" variable
// (identifiers upper-cased; one entry per identifier). Display names come from the machine's
// installed locales, else from the language file's "LanguageName", else the identifier.
// Language files are "<main package's TempPath>lng\<ID>.lng"; texts are read through the INI
// cache on every call (the language may change at any time) and expanded.
#pragma once

#include <string>
#include <string_view>
#include <vector>
#include "util/str_utils.h"  // FormatLanguageText, for the texts read here

namespace sx {

class TsxMainDatabase;

class TLanguages {
 public:
  explicit TLanguages(TsxMainDatabase& database) : database_(database) {}

  // Builds the list from "Languages" (default "ENU"); an empty one becomes "ENU=English (USA)".
  void Build();
  // When "LangID" is empty: the user's language when "AutoSelectLanguage" (default true) and
  // listed, else "ENU" when listed, else the first entry; then SetLanguage. A preset "LangID"
  // stands as it is.
  void Choose();
  // Makes the language current: "LangID", "Charset", the message title, EV_LANGUAGECHANGED.
  void SetLanguage(std::string_view id);
  const std::vector<std::string>& List() const { return list_; }
  void Clear() { list_.clear(); }

  // The language file of the current "LangID" (default "ENU"); "" for an identifier that is no
  // plain file name.
  std::string FilePath() const;
  // The text of the current language file, expanded; "" when missing.
  std::string Text(std::string_view section, std::string_view key) const;
  std::string Text(std::string_view section, int number) const;
  // From the section "Strings".
  std::string Text(int number) const;

 private:
  std::string FileOf(std::string_view id) const;

  TsxMainDatabase& database_;
  std::vector<std::string> list_;
};


}  // namespace sx
