// A ".pdb" file as the engine reads a package's db.pdb: read through the machine and deciphered
// (enciphering the text again gives the file back), then parsed, its root checked and merged
// into a package of the project.
#include "database/sx_main_database.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_machine.h"
#include "packages/pdb_file.h"
#include "util/errors.h"
#include "xml/xml_settings.h"
#include "xml/xml_tag.h"

namespace {

constexpr char kFile[] = "C:\\fuzz\\db.pdb";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sx::fuzz::Machine();
  sx::XMLSettings().PreserveAttributeWhitespace = true;
  const std::string_view bytes = sx::fuzz::AsText(data, size);
  sx::fuzz::WriteMachineFile(kFile, bytes);
  const std::string text = sx::ReadPdbFile(kFile);
  sx::fuzz::Require(text.size() == bytes.size(), "a deciphered database is as long as its file");
  sx::fuzz::Require(sx::EncodePdb(text) == bytes, "enciphering the text gives the file back");
  if (text.empty()) return 0;
  sx::TsxMainDatabase database;
  try {
    sx::TXMLTag tag;
    tag.Parse(text);
    if (tag.Name() == "package") database.Packages->AddNew().MergeFrom(tag);
    else if (tag.Name() == "sx2project") database.MergeFrom(tag);
  } catch (const sx::EEngineError&) {
  }
  return 0;
}
