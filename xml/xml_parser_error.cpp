#include "xml/xml_parser_error.h"

#include <algorithm>

namespace sx {

TXMLTextPlace PlaceInDocument(std::string_view document, std::size_t index) {
  TXMLTextPlace place;
  std::size_t end = std::min(index > 0 ? index - 1 : 0, document.size());
  for (std::size_t i = 0; i < end; ++i) {
    char c = document[i];
    if (c == '\n') {
      ++place.Line;
      place.Position = 1;
    } else if (c != '\r') {
      ++place.Position;
    }
  }
  return place;
}

TXMLParserError::TXMLParserError(std::string_view text, std::string_view document,
                                 std::size_t index)
    : TXMLParserError(text, PlaceInDocument(document, index)) {}

TXMLParserError::TXMLParserError(std::string_view text, TXMLTextPlace place)
    : EEngineError(std::string(text) + " Line " + std::to_string(place.Line) + ", position " +
                   std::to_string(place.Position) + "."),
      line_(place.Line),
      position_(place.Position) {}

}  // namespace sx
