// The INI document on any file: loaded with the options the engine uses (the first input byte
// chooses whether quotes are stripped), read through every query, changed, written back, and
// loaded again: without quote stripping the file must read back as the document that wrote it.
// (With it, a write-back drops the quotes around values, as documented, so a value whose quotes
// held blanks or control characters at its ends, or further quotes, reads back without them.)
#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_machine.h"
#include "util/ini_file.h"

namespace {

constexpr char kFile[] = "C:\\fuzz\\input.ini";

std::vector<std::string> Content(sx::TqvIniFile& ini) {
  std::vector<std::string> lines;
  ini.GetStrings(lines);
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  sx::fuzz::Machine();
  const bool stripQuotes = data[0] & 1;
  sx::fuzz::WriteMachineFile(kFile, sx::fuzz::AsText(data + 1, size - 1));
  std::vector<std::string> written;
  {
    sx::TqvIniFile ini(kFile, false, true, true, true, stripQuotes);
    std::vector<std::string> sections;
    ini.ReadSections(sections);
    for (const std::string& section : sections) {
      std::vector<std::string> keys, values;
      ini.ReadSection(section, keys);
      ini.ReadSectionValues(section, values);
      for (const std::string& key : keys) {
        ini.ReadString(section, key, "");
        ini.ReadInteger(section, key, 0);
        ini.ReadBool(section, key, false);
      }
    }
    ini.WriteString("Fuzz", "Key", "Value");
    if (!sections.empty()) ini.DeleteKey(sections.front(), "Key");
    if (sections.size() > 1) ini.EraseSection(sections.back());
    sx::fuzz::Require(ini.ReadString("Fuzz", "Key", "") == "Value", "a written key reads back");
    sx::fuzz::Require(ini.UpdateFile(), "the document reaches its file");
    written = Content(ini);
  }
  sx::TqvIniFile again(kFile, true, true, true, true, stripQuotes);
  if (!stripQuotes)
    sx::fuzz::Require(Content(again) == written, "a written file reads back differently");
  return 0;
}
