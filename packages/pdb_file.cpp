#include "packages/pdb_file.h"

#include "packages/password.h"
#include "util/file_io.h"

namespace sx {
namespace {

// Printable ASCII only; part of the file format, shared with every builder of ".pdb" files.
constexpr char kPdbKeyConstant[10] = {'Q', 'v', '7', '#', 'p', 'D', 'b', '!', 'k', '2'};

}  // namespace

std::string PdbKeyText(size_t fileSize) {
  std::string key(kPdbKeyConstant, sizeof kPdbKeyConstant);
  key += std::to_string(fileSize);
  return key;
}

std::string EncodePdb(std::string_view xmlText) {
  return EncipherText(xmlText, PdbKeyText(xmlText.size()));
}

std::string DecodePdb(std::string_view fileBytes) {
  return DecipherText(fileBytes, PdbKeyText(fileBytes.size()));
}

std::string ReadPdbFile(std::string_view path) {
  std::optional<std::string> bytes = ReadFileContent(path);
  if (!bytes || bytes->empty()) return "";
  return DecodePdb(*bytes);
}

}  // namespace sx
