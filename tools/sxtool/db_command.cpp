// sxtool db format FILE [--in-place]: loads a project file into the project database model and
// writes it back through the model, so that authors can normalise project files: attributes in
// property order, default values and unknown names dropped, the engine's XML layout. The file
// keeps its encoding and its XML declaration.
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

#include "database/sx_main_database.h"
#include "host/posix/codepage.h"
#include "tools/common/project_text.h"
#include "tools/sxtool/commands.h"
#include "tools/sxtool/local_files.h"
#include "xml/xml_parser_error.h"
#include "xml/xml_settings.h"

namespace sx::tool {
namespace {

constexpr const char* kRoot = "sx2project";
constexpr uint32_t kDefaultCodePage = 1252;

const char kUsage[] =
    "usage: sxtool db format FILE|- [--in-place] [--codepage N]\n"
    "\n"
    "Loads the project file FILE (a file of this computer; - reads standard input), whose root\n"
    "element must be <sx2project>, into the project database model and writes the model back as\n"
    "XML: to standard output, or over FILE with --in-place. Attributes come in property order;\n"
    "values equal to their defaults, empty texts and names the model does not know are dropped,\n"
    "and so are comments: the model does not hold them. The file keeps its XML declaration and its\n"
    "encoding: a UTF-8 file is read in the setup's code page N (as sxbuild reads it; default\n"
    "1252) and written back in UTF-8.\n"
    "The file must be well-formed XML (see sxtool xml check).\n"
    "Exit status: 0 done, 1 the file cannot be read or written, is not well-formed or is no\n"
    "project, 2 bad usage.\n";

bool WriteHostFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace

int DbCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  bool inPlace = false;
  uint32_t codePageNumber = kDefaultCodePage;
  std::string path;
  bool bad = args.empty() || args[0] != "format";
  for (size_t i = 1; i < args.size() && !bad; ++i) {
    if (args[i] == "--in-place") {
      inPlace = true;
    } else if (args[i] == "--codepage" && i + 1 < args.size() &&
               args[i + 1].find_first_not_of("0123456789") == std::string::npos && !args[i + 1].empty() &&
               args[i + 1].size() <= 5) {
      codePageNumber = static_cast<uint32_t>(std::stoul(args[++i]));
    } else if (path.empty() && (args[i] == "-" || args[i][0] != '-')) {
      path = args[i];
    } else {
      bad = true;
    }
  }
  if (bad || path.empty() || (inPlace && path == "-")) {
    std::fputs(kUsage, stderr);
    return kBadUsage;
  }
  const host::CodePage codePage(codePageNumber);
  if (codePage.Number() != codePageNumber) {
    std::fprintf(stderr, "sxtool db: code page %u is not known here\n", codePageNumber);
    return kBadUsage;
  }
  std::string problem;
  std::optional<std::string> bytes = ReadLocalFile(path, &problem);
  if (!bytes) {
    std::fprintf(stderr, "sxtool db: %s\n", CannotReadMessage(path, problem).c_str());
    return kFailed;
  }
  // Rewriting a damaged file through the tolerant reader would drop what it skips.
  if (const auto error = CheckProjectWellFormed(*bytes)) {
    std::fprintf(stderr, "sxtool db: %s (the file is not well-formed XML)\n",
                 DescribeXmlError(path == "-" ? "standard input" : path, *error).c_str());
    return kFailed;
  }
  ProjectText document;
  try {
    document = DecodeProjectText(*bytes, codePage);
  } catch (const ProjectTextError& e) {
    std::fprintf(stderr, "sxtool db: %s: %s\n", path.c_str(), e.what());
    return kFailed;
  }
  TXMLSettingsScope settings;
  settings->PreserveAttributeWhitespace = true;  // as the engine reads every document
  TXMLTag root;
  try {
    root.Parse(document.text);
  } catch (const TXMLParserError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return kFailed;
  }
  if (root.Name() != kRoot) {
    std::fprintf(stderr, "sxtool db: %s: the root element is <%s>, not <%s>\n", path.c_str(),
                 root.Name().c_str(), kRoot);
    return kFailed;
  }
  TsxMainDatabase database;
  try {
    database.Assign(root);
  } catch (const TXMLParserError& e) {
    std::fprintf(stderr, "sxtool db: %s: %s\n", path.c_str(), e.what());
    return kFailed;
  }
  const std::string xml = EncodeProjectText(document, database.SaveToString(kRoot), codePage);
  if (inPlace) {
    if (!WriteHostFile(path, xml)) {
      std::fprintf(stderr, "sxtool db: cannot write %s\n", path.c_str());
      return kFailed;
    }
    return kOk;
  }
  std::fwrite(xml.data(), 1, xml.size(), stdout);
  return std::fflush(stdout) == 0 ? kOk : kFailed;
}

}  // namespace sx::tool
