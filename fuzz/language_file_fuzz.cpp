// A language file ("lng\<ID>.lng" of the main package) read as the engine reads its texts:
// through the INI cache with quotes kept, every text expanded against the project's variables
// (a text may name variables, and variables may name each other) and formatted with an argument.
#include "database/sx_variable_access.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_machine.h"
#include "fuzz/fuzz_project.h"
#include "platform/ini_cache.h"
#include "util/errors.h"
#include "util/str_utils.h"

namespace {

constexpr char kFile[] = "C:\\fuzz\\ENU.lng";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sx::fuzz::Machine();
  sx::SetIniStripQuotes(false);  // as the engine's main flow reads INI files
  sx::fuzz::WriteMachineFile(kFile, sx::fuzz::AsText(data, size));
  {
    sx::fuzz::ReadOnlyMachine readOnly;
    sx::fuzz::FuzzProject project;
    sx::WriteVariable(&project.Database, "AppName", "Fuzz");
    sx::WriteVariable(&project.Database, "AppDir", "%ProgramFilesDir%\\%AppName%");
    sx::WriteVariable(&project.Database, "Loop", "%Loop%");
    sx::WriteVariable(&project.Database, "LanguageName",
                      sx::IniReadString(kFile, "Strings", "LanguageName", ""));
    std::vector<std::string> sections;
    sx::IniReadSectionNames(kFile, sections);
    for (const std::string& section : sections) {
      std::vector<std::string> keys;
      sx::IniReadKeyNames(kFile, section, keys);
      for (const std::string& key : keys) {
        try {
          const std::string text =
              sx::ExpandText(&project.Database, sx::IniReadString(kFile, section, key, ""));
          sx::FormatLanguageText(text, "%AppName%");
        } catch (const sx::EEngineError&) {
        }
      }
    }
  }
  sx::IniCloseFile(kFile);
  return 0;
}
