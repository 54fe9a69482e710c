// The exception raised for every XML syntax error. Its message is the error text followed by
// " Line L, position P." where the line counts LF characters and the position counts the
// characters of that line before the error, CR characters not counted (both 1-based).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "util/errors.h"

namespace sx {

// Line and position (both 1-based) of the 1-based character `index` in `document`.
struct TXMLTextPlace {
  int Line = 1;
  int Position = 1;
};
TXMLTextPlace PlaceInDocument(std::string_view document, std::size_t index);

class TXMLParserError : public EEngineError {
 public:
  // `index` is the 1-based character index of the error in `document`.
  TXMLParserError(std::string_view text, std::string_view document, std::size_t index);
  // An error that has no place in a document (the message is used as it is).
  explicit TXMLParserError(const std::string& message) : EEngineError(message) {}

  int Line() const { return line_; }
  int Position() const { return position_; }

 private:
  TXMLParserError(std::string_view text, TXMLTextPlace place);
  int line_ = 0;
  int position_ = 0;
};

}  // namespace sx
