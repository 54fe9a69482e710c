// sxtool xml format FILE|-: reads an XML document as the engine reads it and writes it back the
// way the engine writes it (TAB indent, CR LF line ends, attributes encoded), byte for byte.
// sxtool xml check FILE|-: the strict well-formedness check the builder runs on project files.
#include <cstdio>
#include <optional>
#include <string>

#include "tools/common/project_text.h"
#include "tools/sxtool/commands.h"
#include "tools/sxtool/local_files.h"
#include "xml/xml_parser_error.h"
#include "xml/xml_settings.h"
#include "xml/xml_tag.h"

namespace sx::tool {
namespace {

const char kUsage[] =
    "usage: sxtool xml format FILE|-\n"
    "       sxtool xml check FILE|-\n"
    "\n"
    "FILE is a file of this computer; - reads standard input.\n"
    "\n"
    "format  parses the document with the engine's reader and settings and writes it to standard\n"
    "        output as the engine writes XML. It shows what the engine reads, and the engine's\n"
    "        reader is tolerant: a document cut off, with an undefined entity or with text after\n"
    "        its root is read as far as it goes and shown without complaint. Only errors the\n"
    "        engine's reader itself reports (a mismatched end tag, a bad name, ...) go to standard\n"
    "        error with their line and position. Use check to find out whether a file is\n"
    "        well-formed.\n"
    "check   checks that the document is well-formed XML, strictly (as sxbuild checks\n"
    "        project.xml; a file without declaration that is no UTF-8 is taken as 8-bit text):\n"
    "        the first error goes to standard error with its line and column.\n"
    "\n"
    "Exit status: 0 done (check: well-formed), 1 the file cannot be read or the reader reports\n"
    "an error (check: not well-formed), 2 bad usage.\n";

int Format(const std::string& text) {
  TXMLSettingsScope settings;
  settings->PreserveAttributeWhitespace = true;  // as the engine reads every document
  TXMLTag root;
  try {
    root.Parse(text);
  } catch (const TXMLParserError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return kFailed;
  }
  std::string xml = root.GetXML(0);
  std::fwrite(xml.data(), 1, xml.size(), stdout);
  return std::fflush(stdout) == 0 ? kOk : kFailed;
}

int Check(const std::string& path, const std::string& text) {
  const std::string name = path == "-" ? "standard input" : path;
  if (const auto error = CheckProjectWellFormed(text)) {
    std::fprintf(stderr, "sxtool xml: %s\n", DescribeXmlError(name, *error).c_str());
    return kFailed;
  }
  std::printf("%s: well-formed\n", name.c_str());
  return kOk;
}

}  // namespace

int XmlCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  if (args.size() != 2 || (args[0] != "format" && args[0] != "check")) {
    std::fputs(kUsage, stderr);
    return kBadUsage;
  }
  std::string problem;
  std::optional<std::string> text = ReadLocalFile(args[1], &problem);
  if (!text) {
    std::fprintf(stderr, "sxtool xml: %s\n", CannotReadMessage(args[1], problem).c_str());
    return kFailed;
  }
  return args[0] == "format" ? Format(*text) : Check(args[1], *text);
}

}  // namespace sx::tool
