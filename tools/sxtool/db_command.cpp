// sxtool db format FILE [--in-place]: loads a project file into the project database model and
// writes it back through the model, so that authors can normalise project files: attributes in
// property order, default values and unknown names dropped, the engine's XML layout.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

#include "database/sx_main_database.h"
#include "tools/sxtool/commands.h"
#include "tools/sxtool/local_files.h"
#include "xml/xml_parser_error.h"
#include "xml/xml_settings.h"

namespace sx::tool {
namespace {

constexpr const char* kRoot = "sx2project";

const char kUsage[] =
    "usage: sxtool db format FILE|- [--in-place]\n"
    "\n"
    "Loads the project file FILE (a file of this computer; - reads standard input), whose root\n"
    "element must be <sx2project>, into the project database model and writes the model back as\n"
    "XML: to standard output, or over FILE with --in-place. Attributes come in property order;\n"
    "values equal to their defaults, empty texts and names the model does not know are dropped.\n"
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
  bool inPlace = args.size() == 3 && args[2] == "--in-place";
  if ((args.size() != 2 && !inPlace) || args[0] != "format" || (inPlace && args[1] == "-")) {
    std::fputs(kUsage, stderr);
    return kBadUsage;
  }
  const std::string& path = args[1];
  std::optional<std::string> text = ReadLocalFile(path);
  if (!text) {
    std::fprintf(stderr, "sxtool db: cannot read %s\n", path.c_str());
    return kFailed;
  }
  TXMLSettingsScope settings;
  settings->PreserveAttributeWhitespace = true;  // as the engine reads every document
  TXMLTag root;
  try {
    root.Parse(*text);
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
  std::string xml = database.SaveToString(kRoot);
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
