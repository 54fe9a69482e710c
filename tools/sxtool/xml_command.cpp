// sxtool xml format FILE|-: reads an XML document as the engine reads it and writes it back the
// way the engine writes it (TAB indent, CR LF line ends, attributes encoded), byte for byte.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>

#include "tools/sxtool/commands.h"
#include "tools/sxtool/local_files.h"
#include "xml/xml_parser_error.h"
#include "xml/xml_settings.h"
#include "xml/xml_tag.h"

namespace sx::tool {
namespace {

const char kUsage[] =
    "usage: sxtool xml format FILE|-\n"
    "\n"
    "Parses the XML document in FILE (a file of this computer; - reads standard input) with the\n"
    "engine's reader and settings and writes it to standard output as the engine writes XML.\n"
    "A syntax error is reported on standard error with its line and position.\n"
    "Exit status: 0 done, 1 the file cannot be read or is not well-formed, 2 bad usage.\n";

}  // namespace

int XmlCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  if (args.size() != 2 || args[0] != "format") {
    std::fputs(kUsage, stderr);
    return kBadUsage;
  }
  std::optional<std::string> text = ReadLocalFile(args[1]);
  if (!text) {
    std::fprintf(stderr, "sxtool xml: cannot read %s\n", args[1].c_str());
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
  std::string xml = root.GetXML(0);
  std::fwrite(xml.data(), 1, xml.size(), stdout);
  return std::fflush(stdout) == 0 ? kOk : kFailed;
}

}  // namespace sx::tool
