// The XML reader: one pass over the text with a small state machine.
//
// Before a character is dispatched TAB, LF and CR count as a space, and a space that follows a
// dispatched space is skipped, except inside comments, in text when PreserveTextWhitespace is
// on, and in attribute values when PreserveAttributeWhitespace is on. A character that ends a
// state is sometimes read again in the next state; a space read again is skipped the second
// time, which lets "</a >" and "<a x = '1'>" through.
#include <cstdint>
#include <string>
#include <string_view>

#include "util/case_tables.h"
#include "xml/xml_escape.h"
#include "xml/xml_parser_error.h"
#include "xml/xml_settings.h"
#include "xml/xml_tag.h"
#include "xml/xml_text.h"

namespace sx {

class TXMLParser {
 public:
  TXMLParser(TXMLTag& root, std::string_view text)
      : root_(root), text_(text), settings_(XMLSettings()) {}

  void Run();

 private:
  enum class State : std::uint8_t {
    Content,         // text between tags
    AfterLess,       // after "<"
    StartName,       // name of a start tag
    EndName,         // name of an end tag
    CloseBracket,    // expecting the ">" that closes an element
    AttributeName,
    BeforeEquals,
    BeforeValue,
    Value,
    AfterValue,
    AfterBang,       // after "<!"
    AfterBangDash,   // after "<!-"
    Comment,
    AfterComment,    // after the "--" that ends a comment
    Instruction,     // inside "<?...?>"
    AfterQuestion,   // after the "?" of an instruction
  };
  enum class Step : std::uint8_t { Next, ReadAgain, Done };

  bool KeepsRepeatedSpace() const {
    return state_ == State::Comment ||
           (state_ == State::Content && settings_.PreserveTextWhitespace) ||
           (state_ == State::Value && settings_.PreserveAttributeWhitespace);
  }
  char FoldName(char c) const {
    return settings_.LowerCaseNames && c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
  }
  [[noreturn]] void Fail(std::string_view message, std::size_t position) const {
    throw TXMLParserError(message, text_, position > 0 ? position : 1);
  }

  Step Dispatch(char ch, char raw, std::size_t position);
  void FlushText();
  void OpenElement(char first);
  Step CloseElement(std::size_t position);
  void AddAttribute();
  void AddComment();

  TXMLTag& root_;
  std::string_view text_;
  const TXMLSettings& settings_;
  State state_ = State::Content;
  TXMLTag* open_ = nullptr;
  std::string accumulator_;  // text or comment content
  std::string attributeName_;
  std::string attributeValue_;
  char quote_ = 0;  // 0 while reading an unquoted value
  std::string endName_;
  int dashes_ = 0;
};

void TXMLTag::Parse(std::string_view text) {
  Clear();
  Kind = xkElement;
  TXMLParser(*this, text).Run();
}

void TXMLParser::Run() {
  const char* chars = text_.data();
  const std::size_t size = text_.size();
  char previous = 0;
  std::size_t i = 0;
  while (i < size) {
    char raw = chars[i];
    char ch = (raw == '\t' || raw == '\n' || raw == '\r') ? ' ' : raw;
    if (ch == ' ' && previous == ' ' && !KeepsRepeatedSpace()) {
      ++i;
      continue;
    }
    // Runs of plain characters inside text and attribute values are taken at once: for them the
    // state machine would only append each one.
    if (state_ == State::Content && ch != '<' && ch != ' ') {
      std::size_t end = i + 1;
      while (end < size) {
        char c = chars[end];
        if (c == '<' || c == ' ' || c == '\t' || c == '\n' || c == '\r') break;
        ++end;
      }
      if (open_) accumulator_.append(chars + i, end - i);
      previous = chars[end - 1];
      i = end;
      continue;
    }
    if (state_ == State::Value && quote_ != 0 && ch != quote_ && ch != ' ') {
      std::size_t end = i + 1;
      while (end < size) {
        char c = chars[end];
        if (c == quote_ || c == ' ' || c == '\t' || c == '\n' || c == '\r') break;
        ++end;
      }
      attributeValue_.append(chars + i, end - i);
      previous = chars[end - 1];
      i = end;
      continue;
    }
    Step step = Dispatch(ch, raw, i + 1);
    previous = ch;
    if (step == Step::Next) ++i;
    else if (step == Step::Done) return;
  }
}

TXMLParser::Step TXMLParser::Dispatch(char ch, char raw, std::size_t position) {
  switch (state_) {
    case State::Content:
      if (ch == '<') {
        FlushText();
        state_ = State::AfterLess;
      } else if (open_) {
        accumulator_ += settings_.PreserveTextWhitespace ? raw : ch;
      }
      return Step::Next;

    case State::AfterLess:
      if (ch == '!') {
        state_ = State::AfterBang;
      } else if (ch == '/') {
        endName_.clear();
        state_ = State::EndName;
      } else if (ch == '?') {
        state_ = State::Instruction;
      } else if (IsXMLNameChar(ch)) {
        OpenElement(ch);
        state_ = State::StartName;
      } else {
        Fail("Invalid character in the tag name.", position);
      }
      return Step::Next;

    case State::StartName:
      if (ch == ' ') {
        attributeName_.clear();
        state_ = State::AttributeName;
      } else if (ch == '/') {
        endName_ = open_->name_;
        state_ = State::CloseBracket;
      } else if (ch == '>') {
        state_ = State::Content;
      } else if (IsXMLNameChar(ch)) {
        open_->name_ += FoldName(ch);
      } else {
        Fail("Invalid character in the tag name.", position);
      }
      return Step::Next;

    case State::EndName:
      if (IsXMLNameChar(ch)) {
        endName_ += ch;
        return Step::Next;
      }
      state_ = State::CloseBracket;
      return Step::ReadAgain;

    case State::CloseBracket:
      if (ch != '>') Fail("Right angle bracket (\">\") expected.", position);
      return CloseElement(position);

    case State::AttributeName:
      if (ch == ' ' || ch == '=') {
        if (attributeName_.empty()) Fail("Attribute name expected.", position);
        state_ = State::BeforeEquals;
        return Step::ReadAgain;
      }
      if (ch == '/') {
        endName_ = open_->name_;
        state_ = State::CloseBracket;
      } else if (ch == '>') {
        state_ = State::Content;
      } else if (IsXMLNameChar(ch)) {
        attributeName_ += ch;
      } else {
        Fail("Invalid character in the attribute name.", position);
      }
      return Step::Next;

    case State::BeforeEquals:
      if (ch == '=') state_ = State::BeforeValue;
      else if (ch != ' ') Fail("Equals sign (\"=\") expected between attribute name and value.", position);
      return Step::Next;

    case State::BeforeValue:
      if (ch == ' ') return Step::Next;
      if (ch == '"' || ch == '\'') {
        quote_ = ch;
        attributeValue_.clear();
        state_ = State::Value;
        return Step::Next;
      }
      if (settings_.AllowUnquotedValues && IsXMLNameChar(ch)) {
        quote_ = 0;
        attributeValue_.clear();
        state_ = State::Value;
        return Step::ReadAgain;
      }
      Fail("Opening quote character (single or double) expected.", position);

    case State::Value:
      if (quote_ != 0) {
        if (ch == quote_) {
          AddAttribute();
          state_ = State::AfterValue;
        } else {
          attributeValue_ += ch;
        }
        return Step::Next;
      }
      if (ch == ' ') {
        // An unquoted value ends at the space, which then separates it from the next attribute.
        AddAttribute();
        attributeName_.clear();
        state_ = State::AttributeName;
        return Step::Next;
      }
      if (ch == '/' || ch == '>') {
        AddAttribute();
        state_ = State::AfterValue;
        return Step::ReadAgain;
      }
      attributeValue_ += ch;
      return Step::Next;

    case State::AfterValue:
      if (ch == ' ') {
        attributeName_.clear();
        state_ = State::AttributeName;
      } else if (ch == '/') {
        endName_ = open_->name_;
        state_ = State::CloseBracket;
      } else if (ch == '>') {
        state_ = State::Content;
      } else {
        Fail("White space or tag closing expected.", position);
      }
      return Step::Next;

    case State::AfterBang:
      if (ch != '-') Fail("Syntax error.", position - 1);
      state_ = State::AfterBangDash;
      return Step::Next;

    case State::AfterBangDash:
      if (ch != '-') Fail("Double-hyphen (\"--\") expected.", position - 1);
      dashes_ = 0;
      accumulator_.clear();
      state_ = State::Comment;
      return Step::Next;

    case State::Comment:
      accumulator_ += raw;
      if (ch == '-') {
        if (++dashes_ == 2) state_ = State::AfterComment;
      } else {
        dashes_ = 0;
      }
      return Step::Next;

    case State::AfterComment:
      if (ch != '>') Fail("Right angle bracket (\">\") expected.", position);
      AddComment();
      state_ = State::Content;
      return Step::Next;

    case State::Instruction:
      if (ch == '?') state_ = State::AfterQuestion;
      return Step::Next;

    case State::AfterQuestion:
      if (ch != '>') Fail("Right angle bracket (\">\") expected.", position);
      state_ = State::Content;
      return Step::Next;
  }
  return Step::Next;
}

void TXMLParser::FlushText() {
  if (open_ && !settings_.SkipTextNodes) {
    TXMLTag& node = open_->Children.AddNew(xkText);
    node.Text = TrimBlanks(accumulator_);
  }
  accumulator_.clear();
}

void TXMLParser::OpenElement(char first) {
  if (open_) {
    open_ = &open_->Children.AddNew(xkElement);
  } else {
    open_ = &root_;
  }
  open_->name_.assign(1, FoldName(first));
}

TXMLParser::Step TXMLParser::CloseElement(std::size_t position) {
  std::size_t namePosition = position - endName_.size();
  if (!open_) {
    Fail("End tag \"" + endName_ + "\" found before any start tag.", namePosition);
  }
  if (!SameTextFast(endName_, open_->name_)) {
    Fail("End tag \"" + endName_ + "\" does not match the start tag \"" + open_->name_ + "\".",
         namePosition);
  }
  if (open_ == &root_) return Step::Done;
  open_ = open_->parent_;
  state_ = State::Content;
  return Step::Next;
}

void TXMLParser::AddAttribute() {
  std::string entry;
  std::string value = DecodeAttributeValue(attributeValue_);
  entry.reserve(attributeName_.size() + 1 + value.size());
  entry += attributeName_;
  entry += '=';
  entry += value;
  open_->Attributes.push_back(std::move(entry));
}

void TXMLParser::AddComment() {
  if (open_ && !settings_.SkipCommentNodes) {
    TXMLTag& node = open_->Children.AddNew(xkComment);
    node.Text = accumulator_.substr(0, accumulator_.size() - 2);
  }
  accumulator_.clear();
}

}  // namespace sx
