// The XML reader on any text: it either reads a tree or raises TXMLParserError; it reads
// everything the writer wrote, and from the second generation on a written document reads back
// to the same text. (The first generation may change: text nodes that stood apart only through a
// processing instruction the reader dropped are written on lines of their own and read back as
// one text, blanks collapsed.)
#include "fuzz/fuzz_input.h"
#include "xml/xml_parser_error.h"
#include "xml/xml_settings.h"
#include "xml/xml_tag.h"

namespace {

// The text the writer gives for the tree read from `text`; the reader must take `text`.
std::string Rewrite(std::string_view text) {
  sx::TXMLTag tag;
  try {
    tag.Parse(text);
  } catch (const sx::TXMLParserError&) {
    sx::fuzz::Require(false, "the reader rejects what the writer wrote");
  }
  return tag.GetXML(0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sx::XMLSettings().PreserveAttributeWhitespace = true;  // as the engine reads every document
  sx::TXMLTag root;
  try {
    root.Parse(sx::fuzz::AsText(data, size));
  } catch (const sx::TXMLParserError&) {
    return 0;
  }
  const std::string second = Rewrite(root.GetXML(0));
  sx::fuzz::Require(Rewrite(second) == second, "a written document reads back differently");
  return 0;
}
